// Playback timing: how late each event goes out, how long a long macro takes against its nominal
// length, and how long a stop takes until every key is up again.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

#include "core/macros/MacroPlayer.h"

namespace keylume {
namespace {

using Clock = std::chrono::steady_clock;

class TimingSink final : public KeySink {
  public:
    int PressUsage(std::uint16_t, std::uint16_t, bool pressed) override {
        const auto now = Clock::now();
        std::lock_guard lock(mutex_);
        times.push_back(now);
        held += pressed ? 1 : -1;
        return 1;
    }
    std::mutex mutex_;
    std::vector<Clock::time_point> times;
    int held = 0;
};

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[index];
}

// 2000 events 1 ms apart (nominal 2 s): per-event lateness against its due time, and the total.
void BM_MacroOf2000EventsAt1ms(benchmark::State& state) {
    for (auto _ : state) {
        TimingSink sink;
        RecordStore records;
        KeyRecord macro;
        macro.code = 0x7003A;
        macro.play = 2;
        macro.repeat = 1;
        for (int i = 0; i < 1000; ++i) {
            macro.items.push_back({0x70004, 1, 1, L"A"});
            macro.items.push_back({0x70004, 0, 1, L"A"});
        }
        records.AddOrReplace(macro);
        MacroPlayer player(sink, records);
        const auto start = Clock::now();
        player.OnFilterKey(7, 0x3A, true);
        while (player.IsPlaying())
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        const auto end = Clock::now();
        std::vector<double> lateness;
        {
            std::lock_guard lock(sink.mutex_);
            const auto first = sink.times.front();
            for (std::size_t i = 0; i < 2000; ++i) {
                const auto due = first + std::chrono::milliseconds(i);
                lateness.push_back(
                    std::chrono::duration<double, std::micro>(sink.times[i] - due).count());
            }
        }
        state.counters["late_p50_us"] = Percentile(lateness, 0.50);
        state.counters["late_p99_us"] = Percentile(lateness, 0.99);
        state.counters["late_max_us"] = Percentile(lateness, 1.0);
        state.counters["total_ms"] = std::chrono::duration<double, std::milli>(end - start).count();
        state.counters["drift_ms"] =
            std::chrono::duration<double, std::milli>(end - start).count() - 2000.0;
    }
}
BENCHMARK(BM_MacroOf2000EventsAt1ms)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

// From Stop on a macro that holds a key mid-delay to every key released.
void BM_StopToAllKeysReleased(benchmark::State& state) {
    TimingSink sink;
    RecordStore records;
    KeyRecord macro;
    macro.code = 0x7003A;
    macro.play = 3;
    macro.items = {{0x70004, 1, 1000, L"A"}, {0x70004, 0, 1000, L"A"}};
    records.AddOrReplace(macro);
    MacroPlayer player(sink, records);
    for (auto _ : state) {
        state.PauseTiming();
        player.OnFilterKey(7, 0x3A, true);
        for (;;) {
            std::lock_guard lock(sink.mutex_);
            if (sink.held == 1)
                break;
        }
        state.ResumeTiming();
        player.Stop();
        state.PauseTiming();
        {
            std::lock_guard lock(sink.mutex_);
            if (sink.held != 0)
                state.SkipWithError("a key stayed held");
        }
        state.ResumeTiming();
    }
}
BENCHMARK(BM_StopToAllKeysReleased)->Unit(benchmark::kMicrosecond)->Iterations(200);

}  // namespace
}  // namespace keylume

BENCHMARK_MAIN();
