// One key event through the built-in filter, the filter channel's reader thread and a listener
// that remaps it with PressUsage, to the packet at the virtual keyboard. Reports the median and
// p99 of the per-event latency as counters (microseconds).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "core/drivers/FilterChannel.h"
#include "core/drivers/VHidev.h"
#include "core/settings/RecordStore.h"
#include "platform/sim/SimBroadcasts.h"
#include "platform/sim/SimFilter.h"
#include "platform/sim/SimHidBus.h"
#include "platform/sim/SimVirtualKeyboard.h"

namespace {

using namespace keylume;
using Clock = std::chrono::steady_clock;

struct Remapper {
    std::int32_t OnFilterKey(std::uint16_t page, std::uint16_t usage, bool pressed) {
        if (page == 7 && usage == 4)
            vhidev->PressUsage(7, 5, pressed);
        return 0;
    }
    VHidev* vhidev = nullptr;
};

void BM_RemapThroughFilterAndVirtualKeyboard(benchmark::State& state) {
    platform::SimBroadcasts broadcasts;
    platform::SimHidBus bus(broadcasts);
    auto vkbd = std::make_shared<platform::SimVirtualKeyboard>();
    bus.Attach(vkbd);
    VHidev vhidev;
    vhidev.FindDevice(bus);

    RecordStore records;
    records.LoadFromText(
        "<record code=\"70004\" play=\"1\" type=\"1\" repeat=\"0\" name=\"A\" group=\"B\">"
        "<item code=\"70005\" state=\"1\" delay=\"0\" name=\"B\"/></record>");
    platform::SimFilter filter;
    Remapper remapper{&vhidev};
    FilterChannel channel(filter, records);
    channel.AddListener(&remapper, &Remapper::OnFilterKey);
    channel.Open();
    channel.StartListening();
    channel.UploadKeyTable();
    while (filter.Engine().PendingRequests() == 0)
        std::this_thread::yield();

    const auto gap = std::chrono::microseconds(state.range(0));
    std::vector<double> micros;
    micros.reserve(100000);
    bool pressed = false;
    std::size_t packets = vkbd->PacketCount();
    for (auto _ : state) {
        pressed = !pressed;
        const auto start = Clock::now();
        filter.InjectKey(7, 4, pressed);
        while (vkbd->PacketCount() == packets) {
        }
        const auto end = Clock::now();
        ++packets;
        const double us = std::chrono::duration<double, std::micro>(end - start).count();
        micros.push_back(us);
        state.SetIterationTime(us / 1e6);
        // Let the reader go back to waiting; with a gap it is asleep when the next key comes, as
        // between two real key strokes.
        while (filter.Engine().PendingRequests() == 0)
            std::this_thread::yield();
        if (gap.count() > 0)
            std::this_thread::sleep_for(gap);
    }
    std::sort(micros.begin(), micros.end());
    if (!micros.empty()) {
        state.counters["median_us"] = micros[micros.size() / 2];
        state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
        state.counters["max_us"] = micros.back();
    }
}
// Argument: the pause between two key events in microseconds (0: back to back).
BENCHMARK(BM_RemapThroughFilterAndVirtualKeyboard)->Arg(0)->UseManualTime()->Iterations(20000);
BENCHMARK(BM_RemapThroughFilterAndVirtualKeyboard)->Arg(500)->UseManualTime()->Iterations(5000);

}  // namespace

BENCHMARK_MAIN();
