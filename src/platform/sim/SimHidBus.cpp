#include "platform/sim/SimHidBus.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "platform/Trace.h"
#include "platform/sim/SimBroadcasts.h"

namespace keylume::platform {

bool SimHidInterface::AcceptsOpen(std::uint32_t, std::uint32_t) const {
    return true;
}
int SimHidInterface::OnRead(std::span<std::uint8_t>) {
    return 0;
}
void SimHidInterface::AfterWrite(std::span<const std::uint8_t>, int) {}

// One stay of an interface on the bus. Handles keep their attachment, so a handle from before an
// unplug stays dead when the same interface comes back.
struct SimHidBus::Attachment {
    explicit Attachment(std::shared_ptr<SimHidInterface> i) : iface(std::move(i)) {}

    std::shared_ptr<SimHidInterface> iface;
    std::atomic<bool> present{true};
    Event gone{Event::Reset::Manual};
};

namespace {

using Clock = std::chrono::steady_clock;

void TraceExchange(const SimHidInterface& iface, std::string_view what,
                   std::span<const std::uint8_t> bytes, bool ok) {
    if (!iface.TracesExchanges() || !Trace::Enabled())
        return;
    std::string text(what);
    text.push_back(' ');
    text += HexBytes(bytes);
    if (!ok)
        text += " fail";
    Trace::Write("hid", text);
}

class SimHidPort final : public HidPort {
  public:
    explicit SimHidPort(std::shared_ptr<SimHidBus::Attachment> attachment)
        : attachment_(std::move(attachment)) {}

    bool GetAttributes(HidAttributes& out) override {
        if (!Present())
            return false;
        out = attachment_->iface->Attributes();
        return true;
    }

    bool GetCaps(HidCaps& out) override {
        if (!Present())
            return false;
        out = attachment_->iface->Caps();
        return true;
    }

    bool SetFeature(std::span<const std::uint8_t> report) override {
        auto& iface = *attachment_->iface;
        const bool ok = Present() && !report.empty() && iface.OnSetFeature(report);
        TraceExchange(iface, "set-feature", report, ok);
        return ok;
    }

    bool GetFeature(std::span<std::uint8_t> report) override {
        auto& iface = *attachment_->iface;
        const bool ok = Present() && !report.empty() && iface.OnGetFeature(report);
        TraceExchange(iface, "get-feature", report, ok);
        return ok;
    }

    int Write(std::span<const std::uint8_t> report, int timeoutMs) override {
        auto& iface = *attachment_->iface;
        int result = 0;
        if (Present() && !report.empty()) {
            result = iface.OnWrite(report);
            if (result == SimHidInterface::kWriteNeverCompletes) {
                // The write stays pending until the caller gives up (or the device goes away).
                attachment_->gone.Wait(std::chrono::milliseconds(timeoutMs < 0 ? -1 : timeoutMs));
                result = 0;
            }
            result = std::clamp(result, 0, static_cast<int>(report.size()));
        }
        TraceExchange(iface, "write", report, result > 0);
        if (Present())
            iface.AfterWrite(report, result);
        return result;
    }

    int Read(std::span<std::uint8_t> buffer, int timeoutMs, Event* abort) override {
        if (buffer.empty())
            return 0;
        const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            if (!Present())
                return 0;
            const int got = attachment_->iface->OnRead(buffer);
            if (got > 0)
                return std::min(got, static_cast<int>(buffer.size()));
            if (abort != nullptr && abort->TryConsume()) {
                abort->ResetEvent();  // consumed, whether it resets itself or not
                return 0;
            }
            if (timeoutMs >= 0 && Clock::now() >= deadline)
                return 0;
            // Input reports are rare on the emulated bus; a short poll keeps the handler simple.
            attachment_->gone.Wait(std::chrono::milliseconds(1));
        }
    }

  private:
    bool Present() const { return attachment_->present.load(std::memory_order_acquire); }

    std::shared_ptr<SimHidBus::Attachment> attachment_;
};

}  // namespace

SimHidBus::SimHidBus(SimBroadcasts& broadcasts) : broadcasts_(broadcasts) {}

SimHidBus::~SimHidBus() {
    std::lock_guard lock(mutex_);
    for (auto& a : attached_) {
        a->present.store(false, std::memory_order_release);
        a->gone.Set();
    }
}

std::vector<std::string> SimHidBus::ListInterfaces() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> paths;
    paths.reserve(attached_.size());
    for (const auto& a : attached_)
        paths.push_back(a->iface->Path());
    return paths;
}

std::unique_ptr<HidPort> SimHidBus::Open(std::string_view path, std::uint32_t access,
                                         std::uint32_t share) {
    std::shared_ptr<Attachment> found;
    {
        std::lock_guard lock(mutex_);
        for (const auto& a : attached_) {
            if (a->iface->Path() == path) {
                found = a;
                break;
            }
        }
    }
    if (!found || !found->iface->AcceptsOpen(access, share))
        return nullptr;
    return std::make_unique<SimHidPort>(std::move(found));
}

bool SimHidBus::Attach(std::shared_ptr<SimHidInterface> iface) {
    if (!iface)
        return false;
    const std::string path = iface->Path();
    std::lock_guard lock(mutex_);
    for (const auto& a : attached_) {
        if (a->iface->Path() == path)
            return false;
    }
    attached_.push_back(std::make_shared<Attachment>(std::move(iface)));
    // Queued under the bus lock so that broadcasts keep the order of the plugs and unplugs.
    broadcasts_.Post(DeviceBroadcast{kDeviceArrival, kDeviceTypeInterface, path});
    return true;
}

bool SimHidBus::Detach(const std::string& path) {
    std::lock_guard lock(mutex_);
    const auto it = std::find_if(attached_.begin(), attached_.end(),
                                 [&](const auto& a) { return a->iface->Path() == path; });
    if (it == attached_.end())
        return false;
    (*it)->present.store(false, std::memory_order_release);
    (*it)->gone.Set();
    attached_.erase(it);
    broadcasts_.Post(DeviceBroadcast{kDeviceRemoveComplete, kDeviceTypeInterface, path});
    return true;
}

bool SimHidBus::IsPresent(const std::string& path) const {
    std::lock_guard lock(mutex_);
    return std::any_of(attached_.begin(), attached_.end(),
                       [&](const auto& a) { return a->iface->Path() == path; });
}

}  // namespace keylume::platform
