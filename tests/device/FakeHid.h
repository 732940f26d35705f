#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/HidBus.h"
#include "platform/NamedLock.h"

namespace keylume::testing {

// What a fake interface does and what was done to it.
struct FakeInterface {
    platform::HidAttributes attributes{0x1A2C, 0x2D3E, 0x0100};
    platform::HidCaps caps{0x01, 0xFF1C, 8, 8, 8};
    bool opens = true;
    bool capsReadable = true;
    int writeResult = -1;  // -1: the length given
    int readResult = 0;
    std::vector<std::uint8_t> featureAnswer{0x07, 0x01, 0x00, 0, 0, 0, 0, 0};

    std::vector<std::vector<std::uint8_t>> writes;
    std::vector<int> writeTimeouts;
    std::vector<std::size_t> readLengths;
    int livePorts = 0;
    int portsOpened = 0;
};

// A bus of fake interfaces that records every call; for what a real device cannot be made to do.
class FakeHidBus final : public platform::HidBus {
  public:
    FakeInterface& Add(const std::string& path) {
        order_.push_back(path);
        return interfaces_[path];
    }
    int listCalls = 0;
    std::vector<int> livePortsAtOpen;  // live ports of the opened path when each open began

    std::vector<std::string> ListInterfaces() override {
        ++listCalls;
        return order_;
    }

    std::unique_ptr<platform::HidPort> Open(std::string_view path, std::uint32_t,
                                            std::uint32_t) override {
        const auto it = interfaces_.find(std::string(path));
        if (it == interfaces_.end())
            return nullptr;
        int live = 0;
        for (const auto& [p, i] : interfaces_)
            live += i.livePorts;
        livePortsAtOpen.push_back(live);
        if (!it->second.opens)
            return nullptr;
        return std::make_unique<Port>(it->second);
    }

  private:
    class Port final : public platform::HidPort {
      public:
        explicit Port(FakeInterface& i) : i_(i) {
            ++i_.livePorts;
            ++i_.portsOpened;
        }
        ~Port() override { --i_.livePorts; }
        bool GetAttributes(platform::HidAttributes& out) override {
            out = i_.attributes;
            return true;
        }
        bool GetCaps(platform::HidCaps& out) override {
            if (i_.capsReadable)
                out = i_.caps;
            return i_.capsReadable;
        }
        bool SetFeature(std::span<const std::uint8_t>) override { return true; }
        bool GetFeature(std::span<std::uint8_t> report) override {
            std::copy_n(i_.featureAnswer.begin(), std::min(report.size(), i_.featureAnswer.size()),
                        report.begin());
            return true;
        }
        int Write(std::span<const std::uint8_t> report, int timeoutMs) override {
            i_.writes.emplace_back(report.begin(), report.end());
            i_.writeTimeouts.push_back(timeoutMs);
            return i_.writeResult < 0 ? static_cast<int>(report.size()) : i_.writeResult;
        }
        int Read(std::span<std::uint8_t> buffer, int, platform::Event*) override {
            i_.readLengths.push_back(buffer.size());
            return i_.readResult;
        }

      private:
        FakeInterface& i_;
    };

    std::vector<std::string> order_;
    std::map<std::string, FakeInterface> interfaces_;
};

// In-process named locks that remember which names were taken, re-entrant per thread.
class RecordingLocks final : public platform::NamedLocks {
  public:
    std::unique_ptr<Held> Acquire(std::string_view name) override {
        std::lock_guard lock(mutex_);
        names_.emplace_back(name);
        return std::make_unique<NoHold>(owns);
    }
    bool owns = true;  // false: every lock fails, as without a runtime folder
    std::vector<std::string> Names() const {
        std::lock_guard lock(mutex_);
        return names_;
    }

  private:
    struct NoHold final : Held {
        explicit NoHold(bool owns) : owns_(owns) {}
        bool Owns() const override { return owns_; }
        bool owns_;
    };
    mutable std::mutex mutex_;
    std::vector<std::string> names_;
};

}  // namespace keylume::testing
