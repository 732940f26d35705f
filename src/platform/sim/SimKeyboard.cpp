#include "platform/sim/SimKeyboard.h"

#include <algorithm>
#include <vector>

#include "platform/Trace.h"
#include "platform/sim/SimHidBus.h"

namespace keylume::platform {

namespace {

constexpr std::uint8_t kReportId = 0x07;
constexpr std::size_t kReportLength = 8;

enum class Collection { Keys, Media, Commands };

}  // namespace

// Everything the interfaces and the keyboard share. The interfaces stay on the bus's lists and in
// open handles after the keyboard object is gone, so they hold this, not the keyboard.
struct SimKeyboard::Core {
    explicit Core(SimHidBus& b, const Options& o) : bus(b), options(o) {}

    SimHidBus& bus;
    const Options options;

    // Serialises plugging and unplugging, which attach or detach three interfaces in a row.
    std::mutex plugMutex;
    bool plugged = false;
    bool retired = false;  // the keyboard object is gone: no more plugging
    std::vector<std::shared_ptr<SimHidInterface>> interfaces;

    mutable std::mutex mutex;  // everything below
    std::condition_variable changed;
    SimKeyboardState state;
    std::uint8_t firmwareMajor = 1;
    std::uint8_t firmwareMinor = 0;
    std::optional<std::array<std::uint8_t, 8>> firmwareAnswer;
    bool failTransfers = false;
    bool stallWrites = false;
    std::optional<std::chrono::steady_clock::time_point> comebackAt;
    bool comingBack = false;
    bool stopping = false;

    bool Plug() {
        std::lock_guard plug(plugMutex);
        if (plugged || retired)
            return false;
        plugged = true;
        Trace::Write("sim", "plug");
        for (const auto& iface : interfaces)
            bus.Attach(iface);
        return true;
    }

    bool Unplug() {
        std::lock_guard plug(plugMutex);
        {
            std::lock_guard lock(mutex);
            comebackAt.reset();
        }
        changed.notify_all();
        if (!plugged)
            return false;
        plugged = false;
        Trace::Write("sim", "unplug");
        for (const auto& iface : interfaces)
            bus.Detach(iface->Path());
        return true;
    }

    // The keyboard forgets its lighting, drops off the bus and re-enumerates a little later.
    void FactoryRestore() {
        {
            std::lock_guard lock(mutex);
            const int restores = state.restores + 1;
            state = SimKeyboardState{};
            state.restores = restores;
        }
        Unplug();
        {
            std::lock_guard lock(mutex);
            comebackAt = std::chrono::steady_clock::now() + options.restoreDelay;
        }
        changed.notify_all();
    }

    bool SetFeature(std::span<const std::uint8_t> r) {
        std::lock_guard lock(mutex);
        if (failTransfers || r.size() != kReportLength || r[0] != kReportId)
            return false;
        if (r[1] == 0xFF && r[2] == 0xFF) {
            if (r[3] <= 0x14) {
                state.effect = r[3];
                state.brightness = r[4];
                state.speed = r[5];
                state.direction = r[6];
                state.effectByte7 = r[7];
            } else if (r[3] == 0x20) {
                state.sideMode = r[6] & 0x0F;
                state.sideLevel = r[6] >> 4;
            }
        }
        // Other commands (the firmware query among them) are taken and change nothing here.
        return true;
    }

    bool GetFeature(std::span<std::uint8_t> r) {
        std::lock_guard lock(mutex);
        if (failTransfers || r.size() < kReportLength || r[0] != kReportId)
            return false;
        std::array<std::uint8_t, 8> answer{kReportId, firmwareMajor, firmwareMinor, 0, 0, 0, 0, 0};
        if (firmwareAnswer)
            answer = *firmwareAnswer;
        std::copy(answer.begin(), answer.end(), r.begin());
        return true;
    }

    int Write(std::span<const std::uint8_t> r) {
        std::lock_guard lock(mutex);
        if (failTransfers || r.empty() || r[0] != kReportId)
            return 0;
        if (stallWrites)
            return SimHidInterface::kWriteNeverCompletes;
        return static_cast<int>(r.size());
    }
};

namespace {

class KeyboardInterface final : public SimHidInterface {
  public:
    KeyboardInterface(Collection collection, std::shared_ptr<SimKeyboard::Core> core)
        : collection_(collection), core_(std::move(core)) {}

    std::string Path() const override {
        switch (collection_) {
            case Collection::Keys:
                return SimKeyboard::kKeysPath;
            case Collection::Media:
                return SimKeyboard::kMediaPath;
            case Collection::Commands:
                break;
        }
        return SimKeyboard::kCommandPath;
    }

    HidAttributes Attributes() const override {
        return HidAttributes{SimKeyboard::kVendorId, SimKeyboard::kProductId, 0x0100};
    }

    HidCaps Caps() const override {
        switch (collection_) {
            case Collection::Keys:
                return HidCaps{0x06, 0x01, 9, 2, 0};
            case Collection::Media:
                return HidCaps{0x01, 0x0C, 3, 0, 0};
            case Collection::Commands:
                break;
        }
        return HidCaps{0x01, 0xFF1C, 8, 8, 8};
    }

    // The system keeps the keyboard collection to itself.
    bool AcceptsOpen(std::uint32_t access, std::uint32_t) const override {
        return collection_ != Collection::Keys || access == 0;
    }

    bool OnSetFeature(std::span<const std::uint8_t> report) override {
        return collection_ == Collection::Commands && core_->SetFeature(report);
    }
    bool OnGetFeature(std::span<std::uint8_t> report) override {
        return collection_ == Collection::Commands && core_->GetFeature(report);
    }
    int OnWrite(std::span<const std::uint8_t> report) override {
        return collection_ == Collection::Commands ? core_->Write(report) : 0;
    }

    void AfterWrite(std::span<const std::uint8_t> report, int result) override {
        if (collection_ != Collection::Commands || result != static_cast<int>(kReportLength))
            return;
        if (report[1] == 0xF0 && report[2] == 0xAA)
            core_->FactoryRestore();
    }

    bool TracesExchanges() const override { return true; }

  private:
    const Collection collection_;
    const std::shared_ptr<SimKeyboard::Core> core_;
};

}  // namespace

SimKeyboard::SimKeyboard(SimHidBus& bus) : SimKeyboard(bus, Options{}) {}

SimKeyboard::SimKeyboard(SimHidBus& bus, Options options)
    : bus_(bus), core_(std::make_shared<Core>(bus, options)) {
    core_->firmwareMajor = options.firmwareMajor;
    core_->firmwareMinor = options.firmwareMinor;
    for (const auto c : {Collection::Keys, Collection::Media, Collection::Commands})
        core_->interfaces.push_back(std::make_shared<KeyboardInterface>(c, core_));
    if (options.plugged) {
        // Present from the start, as a keyboard that was there before the program: no trace line.
        std::lock_guard plug(core_->plugMutex);
        core_->plugged = true;
        for (const auto& iface : core_->interfaces)
            bus_.Attach(iface);
    }
    comeback_ = std::thread([this] { ComebackMain(); });
}

SimKeyboard::~SimKeyboard() {
    {
        std::lock_guard lock(core_->mutex);
        core_->stopping = true;
    }
    core_->changed.notify_all();
    comeback_.join();
    std::lock_guard plug(core_->plugMutex);
    core_->retired = true;
    if (core_->plugged) {
        for (const auto& iface : core_->interfaces)
            bus_.Detach(iface->Path());
        core_->plugged = false;
    }
    // The interfaces hold the core; the core must not hold them back.
    core_->interfaces.clear();
}

bool SimKeyboard::Plug() {
    return core_->Plug();
}
bool SimKeyboard::Unplug() {
    return core_->Unplug();
}

bool SimKeyboard::IsPlugged() const {
    std::lock_guard plug(core_->plugMutex);
    return core_->plugged;
}

SimKeyboardState SimKeyboard::State() const {
    std::lock_guard lock(core_->mutex);
    return core_->state;
}

void SimKeyboard::SetFirmwareVersion(std::uint8_t major, std::uint8_t minor) {
    std::lock_guard lock(core_->mutex);
    core_->firmwareMajor = major;
    core_->firmwareMinor = minor;
}

void SimKeyboard::SetFirmwareAnswer(std::optional<std::array<std::uint8_t, 8>> answer) {
    std::lock_guard lock(core_->mutex);
    core_->firmwareAnswer = answer;
}

void SimKeyboard::SetFailTransfers(bool fail) {
    std::lock_guard lock(core_->mutex);
    core_->failTransfers = fail;
}

void SimKeyboard::SetStallWrites(bool stall) {
    std::lock_guard lock(core_->mutex);
    core_->stallWrites = stall;
}

bool SimKeyboard::WaitForComeback(std::chrono::milliseconds timeout) {
    std::unique_lock lock(core_->mutex);
    return core_->changed.wait_for(
        lock, timeout, [&] { return !core_->comebackAt.has_value() && !core_->comingBack; });
}

void SimKeyboard::ComebackMain() {
    std::unique_lock lock(core_->mutex);
    while (!core_->stopping) {
        if (!core_->comebackAt) {
            core_->changed.wait(lock);
            continue;
        }
        const auto at = *core_->comebackAt;
        if (std::chrono::steady_clock::now() < at) {
            core_->changed.wait_until(lock, at);
            continue;
        }
        core_->comebackAt.reset();
        core_->comingBack = true;
        lock.unlock();
        core_->Plug();
        lock.lock();
        core_->comingBack = false;
        core_->changed.notify_all();
    }
}

}  // namespace keylume::platform
