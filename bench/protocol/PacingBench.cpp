// Paced commands fired back to back on the built-in keyboard: the gap between the end of one
// paced command and the start of the next must be 100 ms, never less, and at most 101 ms.
// The clock below is the real one; it only notes when each command starts and ends.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include "core/device/HidDevice.h"
#include "core/device/HidPath.h"
#include "core/protocol/KeyboardCommands.h"
#include "platform/NamedLock.h"
#include "platform/sim/SimBroadcasts.h"
#include "platform/sim/SimHidBus.h"
#include "platform/sim/SimKeyboard.h"

namespace keylume {
namespace {

using Steady = std::chrono::steady_clock;

// The system clock, noting for each command when its send began (after the pacing wait, or at
// its first clock reading when it did not wait) and when it ended (its last clock reading, taken
// by KeyboardCommands right after the send).
class NotingClock final : public platform::Clock {
  public:
    struct Command {
        Steady::time_point start{}, end{};
        bool any = false;
    };

    void BeginCommand() { commands.emplace_back(); }

    Steady::time_point Now() const override {
        const auto now = Steady::now();
        auto& c = commands.back();
        if (!c.any)
            c.start = now;
        c.any = true;
        c.end = now;
        return now;
    }
    void SleepFor(std::chrono::nanoseconds d) override {
        platform::SystemClock().SleepFor(d);
        commands.back().start = Steady::now();
    }

    mutable std::vector<Command> commands;
};

void BM_PacedCommandGaps(benchmark::State& state) {
    const int commands = static_cast<int>(state.range(0));
    platform::SimBroadcasts broadcasts;
    platform::SimHidBus bus(broadcasts);
    platform::SimKeyboard keyboard(bus);
    HidDevice device(platform::SystemNamedLocks(), bus);
    LedEffectStore ledEffects;
    SideLightStore sideLights;
    if (device.Open(platform::SimKeyboard::kCommandPath) == 0) {
        state.SkipWithError("the built-in keyboard did not open");
        return;
    }
    double minGap = 1e9, maxGap = 0, sumGap = 0, gaps = 0, over101 = 0;
    for (auto _ : state) {
        NotingClock clock;
        KeyboardCommands paced(device, clock, ledEffects, sideLights);
        for (int i = 0; i < commands; ++i) {
            clock.BeginCommand();
            if (i % 2 == 0)
                paced.SendLedEffect(i % 21);
            else
                paced.SendSideLight(i % 12);
        }
        for (std::size_t i = 1; i < clock.commands.size(); ++i) {
            const double gap = std::chrono::duration<double, std::milli>(clock.commands[i].start -
                                                                         clock.commands[i - 1].end)
                                   .count();
            minGap = std::min(minGap, gap);
            maxGap = std::max(maxGap, gap);
            sumGap += gap;
            ++gaps;
            if (gap > 101.0)
                ++over101;
        }
    }
    state.counters["min_gap_ms"] = minGap;
    state.counters["max_gap_ms"] = maxGap;
    state.counters["mean_gap_ms"] = gaps > 0 ? sumGap / gaps : 0;
    state.counters["gaps"] = gaps;
    state.counters["gaps_over_101ms"] = over101;
}
BENCHMARK(BM_PacedCommandGaps)->Arg(200)->Iterations(1)->Unit(benchmark::kMillisecond);

// One unpaced command through the whole stack: named lock, port, emulated keyboard.
void BM_UnpacedCommand(benchmark::State& state) {
    platform::SimBroadcasts broadcasts;
    platform::SimHidBus bus(broadcasts);
    platform::SimKeyboard keyboard(bus);
    HidDevice device(platform::SystemNamedLocks(), bus);
    LedEffectStore ledEffects;
    SideLightStore sideLights;
    KeyboardCommands commands(device, platform::SystemClock(), ledEffects, sideLights);
    device.Open(platform::SimKeyboard::kCommandPath);
    for (auto _ : state)
        commands.SendLedEffectRaw(7);
}
BENCHMARK(BM_UnpacedCommand)->Unit(benchmark::kMicrosecond);

void BM_ParseHidPath(benchmark::State& state) {
    const std::string path =
        R"(\\?\hid#vid_1a2c&pid_2d3e&mi_01&col02#7&1a2b3c&0&0001#{4d1e55b2-f16f-11cf-88cb-001111000030})";
    for (auto _ : state)
        benchmark::DoNotOptimize(ParseHidPath(path));
}
BENCHMARK(BM_ParseHidPath);

}  // namespace
}  // namespace keylume

BENCHMARK_MAIN();
