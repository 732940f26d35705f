#include "platform/Clock.h"

#include "platform/ThreadTuning.h"

namespace keylume::platform {

namespace {

class SteadyClock final : public Clock {
  public:
    std::chrono::steady_clock::time_point Now() const override {
        return std::chrono::steady_clock::now();
    }
    void SleepFor(std::chrono::nanoseconds duration) override { SleepPrecisely(duration); }
};

const std::chrono::steady_clock::time_point processStart = std::chrono::steady_clock::now();

}  // namespace

std::uint32_t Clock::TickCount() const {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Now().time_since_epoch()).count();
    return static_cast<std::uint32_t>(ms);
}

Clock& SystemClock() {
    static SteadyClock clock;
    return clock;
}

std::uint64_t ProcessUptimeMs() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now() - processStart)
                                          .count());
}

}  // namespace keylume::platform
