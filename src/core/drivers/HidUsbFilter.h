#pragma once

#include <cstdint>

namespace keylume::HidUsbFilter {

// A key listener of the filter channel. Runs on the filter reader thread under the channel's
// listener mutex; a non-zero result ends the dispatch of this event (later listeners do not see
// it).
class IMonitorProxy {
  public:
    virtual ~IMonitorProxy() = default;
    virtual std::int32_t OnFilterKey(std::uint16_t usagePage, std::uint16_t usageId,
                                     bool pressed) = 0;
};

// Forwards key events to a member function of any target class.
template <class Target>
class MonitorProxy final : public IMonitorProxy {
  public:
    using Member = std::int32_t (Target::*)(std::uint16_t, std::uint16_t, bool);

    MonitorProxy(Target* target, Member member) : target_(target), member_(member) {}

    std::int32_t OnFilterKey(std::uint16_t usagePage, std::uint16_t usageId,
                             bool pressed) override {
        return (target_->*member_)(usagePage, usageId, pressed);
    }

    bool Binds(const Target* target, Member member) const {
        return target_ == target && member_ == member;
    }

  private:
    Target* target_;
    Member member_;
};

}  // namespace keylume::HidUsbFilter
