#include "platform/linux/HidapiHidBus.h"

#include <hidapi.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace keylume::platform {

namespace {

bool StartHidapi() {
    static const bool started = hid_init() == 0;
    return started;
}

// The open node. Shared by the port and any helper thread whose write is still in the kernel.
class OpenNode {
  public:
    explicit OpenNode(hid_device* device) : device_(device) {}
    ~OpenNode() { hid_close(device_); }
    OpenNode(const OpenNode&) = delete;
    OpenNode& operator=(const OpenNode&) = delete;
    hid_device* Device() const { return device_; }

    // One write in the kernel at a time; the flag outlives a caller that stopped waiting.
    std::mutex writeMutex;
    std::condition_variable writeDone;
    bool writing = false;

  private:
    hid_device* const device_;
};

class HidapiPort final : public HidPort {
  public:
    HidapiPort(std::shared_ptr<OpenNode> node, HidapiDeviceInfo info)
        : node_(std::move(node)), info_(std::move(info)) {}

    bool GetAttributes(HidAttributes& out) override {
        out = HidAttributes{info_.vendorId, info_.productId, info_.releaseNumber};
        return true;
    }

    // hidapi 0.13 gives the usage but not the report lengths; 0 leaves lengths unbounded.
    bool GetCaps(HidCaps& out) override {
        out = HidCaps{info_.usage, info_.usagePage, 0, 0, 0};
        return true;
    }

    bool SetFeature(std::span<const std::uint8_t> report) override {
        if (report.empty())
            return false;
        return hid_send_feature_report(node_->Device(), report.data(), report.size()) > 0;
    }

    bool GetFeature(std::span<std::uint8_t> report) override {
        if (report.empty())
            return false;
        return hid_get_feature_report(node_->Device(), report.data(), report.size()) > 0;
    }

    int Write(std::span<const std::uint8_t> report, int timeoutMs) override {
        if (report.empty())
            return 0;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        std::unique_lock lock(node_->writeMutex);
        const auto idle = [&] { return !node_->writing; };
        if (timeoutMs < 0)
            node_->writeDone.wait(lock, idle);
        else if (!node_->writeDone.wait_until(lock, deadline, idle))
            return 0;

        struct Outcome {
            bool done = false;
            int result = 0;
        };
        auto outcome = std::make_shared<Outcome>();
        node_->writing = true;
        std::vector<std::uint8_t> bytes(report.begin(), report.end());
        std::thread([node = node_, outcome, bytes = std::move(bytes)] {
            const int written = hid_write(node->Device(), bytes.data(), bytes.size());
            std::lock_guard done(node->writeMutex);
            outcome->result = written;
            outcome->done = true;
            node->writing = false;
            node->writeDone.notify_all();
        }).detach();

        const auto finished = [&] { return outcome->done; };
        if (timeoutMs < 0)
            node_->writeDone.wait(lock, finished);
        else if (!node_->writeDone.wait_until(lock, deadline, finished))
            return 0;
        return std::max(outcome->result, 0);
    }

    int Read(std::span<std::uint8_t> buffer, int timeoutMs, Event* abort) override {
        if (buffer.empty())
            return 0;
        // Short slices, so an abort ends the wait promptly; hidapi hides the node's descriptor.
        constexpr int kSliceMs = 10;
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        for (;;) {
            if (abort != nullptr && abort->TryConsume()) {
                abort->ResetEvent();  // consumed, whether it resets itself or not
                return 0;
            }
            int slice = kSliceMs;
            if (timeoutMs >= 0) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                                      deadline - std::chrono::steady_clock::now())
                                      .count();
                slice = static_cast<int>(std::clamp<long long>(left, 0, kSliceMs));
            }
            const int got = hid_read_timeout(node_->Device(), buffer.data(), buffer.size(), slice);
            if (got != 0)
                return std::max(got, 0);
            if (timeoutMs >= 0 && std::chrono::steady_clock::now() >= deadline)
                return 0;
        }
    }

  private:
    std::shared_ptr<OpenNode> node_;
    HidapiDeviceInfo info_;
};

}  // namespace

std::vector<NamedHidInterface> ListHidapiInterfaces() {
    if (!StartHidapi())
        return {};
    std::vector<HidapiDeviceInfo> infos;
    hid_device_info* list = hid_enumerate(0, 0);
    for (const hid_device_info* d = list; d != nullptr; d = d->next) {
        if (d->path == nullptr)
            continue;
        infos.push_back(HidapiDeviceInfo{d->path, d->vendor_id, d->product_id, d->release_number,
                                         d->interface_number, d->usage_page, d->usage});
    }
    hid_free_enumeration(list);
    return NameHidInterfaces(infos);
}

std::vector<std::string> HidapiHidBus::ListInterfaces() {
    std::vector<std::string> names;
    for (auto& n : ListHidapiInterfaces())
        names.push_back(std::move(n.name));
    return names;
}

std::unique_ptr<HidPort> HidapiHidBus::Open(std::string_view path, std::uint32_t, std::uint32_t) {
    // hidraw nodes are always opened for reading and writing; the rights asked for do not narrow
    // that, and the node's file permissions decide.
    for (auto& n : ListHidapiInterfaces()) {
        if (n.name != path)
            continue;
        hid_device* device = hid_open_path(n.info.path.c_str());
        if (device == nullptr)
            return nullptr;
        return std::make_unique<HidapiPort>(std::make_shared<OpenNode>(device), std::move(n.info));
    }
    return nullptr;
}

}  // namespace keylume::platform
