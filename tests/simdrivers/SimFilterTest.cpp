#include "platform/sim/SimFilter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "platform/HidBus.h"

namespace keylume::platform {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr std::uint32_t kReadWrite = kAccessRead | kAccessWrite;

using Record = std::array<std::uint8_t, 4>;

class SimFilterTest : public ::testing::Test {
  protected:
    void SetUp() override {
        handle = filter.Open(kFilterControlPath, kReadWrite);
        ASSERT_NE(handle, nullptr);
    }

    ControlOutcome Send(std::uint32_t code, std::vector<std::uint8_t> input = {}) {
        return handle->Control(code, input, {}, abort);
    }
    void Bind(std::initializer_list<Record> entries) {
        std::vector<std::uint8_t> table;
        for (const auto& e : entries)
            table.insert(table.end(), e.begin(), e.end());
        ASSERT_EQ(Send(kFilterSetKeyTable, table), ControlOutcome::CompletedAtOnce);
    }
    // Every record waiting for the program, taken without blocking.
    std::vector<Record> Drain() {
        std::vector<Record> out;
        while (filter.Engine().QueuedEvents() > 0) {
            Record r{};
            EXPECT_EQ(handle->Control(kFilterNextEvent, {}, r, abort), ControlOutcome::Completed);
            out.push_back(r);
        }
        return out;
    }

    SimSystemInput system;
    SimFilter filter{&system};
    std::unique_ptr<FilterHandle> handle;
    Event abort{Event::Reset::Auto};
};

TEST_F(SimFilterTest, OpensOnlyTheControlDevice) {
    EXPECT_NE(filter.Open("\\\\.\\VHIDFLT", kAccessRead), nullptr);
    EXPECT_EQ(filter.Open("\\\\.\\other", kAccessRead), nullptr);
}

TEST_F(SimFilterTest, RefusesWhatItCannotTake) {
    auto readOnly = filter.Open(kFilterControlPath, kAccessRead);
    const std::vector<std::uint8_t> table(1024, 0);
    EXPECT_EQ(readOnly->Control(kFilterSetKeyTable, table, {}, abort), ControlOutcome::Failed);
    EXPECT_EQ(Send(kFilterSetKeyTable, std::vector<std::uint8_t>(1025, 0)), ControlOutcome::Failed);
    EXPECT_EQ(Send(kFilterCaptureAll, {0, 0}), ControlOutcome::Failed);
    EXPECT_EQ(Send(kFilterCaptureAll, {1, 0, 0, 0}), ControlOutcome::Failed);
    EXPECT_EQ(Send(0x226000), ControlOutcome::Failed);
    std::array<std::uint8_t, 2> small{};
    EXPECT_EQ(handle->Control(kFilterNextEvent, {}, small, abort), ControlOutcome::Failed);
    EXPECT_FALSE(filter.Engine().Capturing());
}

TEST_F(SimFilterTest, BoundKeysGoToTheProgramAndTheRestToTheSystem) {
    Bind({{0x04, 0x00, 0x07, 0x02}, {0xE9, 0x00, 0x0C, 0x02}, {0x23, 0x00, 0x0C, 0x02}});
    EXPECT_TRUE(filter.InjectKey(7, 4, true));
    EXPECT_FALSE(filter.InjectKey(7, 5, true));
    EXPECT_TRUE(filter.InjectKey(12, 0xE9, true));
    EXPECT_TRUE(filter.InjectKey(12, 0x223, true));  // the table holds the low 8 bits only
    EXPECT_THAT(Drain(), ElementsAre(Record{0x04, 0x00, 0x07, 0x01}, Record{0xE9, 0x00, 0x0C, 0x01},
                                     Record{0x23, 0x02, 0x0C, 0x01}));
    EXPECT_THAT(filter.SystemKeys(), ElementsAre(SimKeyTransition{7, 5, true}));
}

TEST_F(SimFilterTest, AReleaseGoesWhereItsPressWent) {
    Bind({{0x04, 0x00, 0x07, 0x02}});
    filter.InjectKey(7, 4, true);
    filter.InjectKey(7, 5, true);
    Bind({{0x05, 0x00, 0x07, 0x02}});  // the table changes while both keys are held
    EXPECT_TRUE(filter.InjectKey(7, 4, false));
    EXPECT_FALSE(filter.InjectKey(7, 5, false));
    EXPECT_THAT(Drain(),
                ElementsAre(Record{0x04, 0x00, 0x07, 0x01}, Record{0x04, 0x00, 0x07, 0x00}));
    EXPECT_THAT(filter.SystemKeys(),
                ElementsAre(SimKeyTransition{7, 5, true}, SimKeyTransition{7, 5, false}));
}

TEST_F(SimFilterTest, CaptureReportsEveryKeyUntilTheNextReset) {
    Bind({{0x04, 0x00, 0x07, 0x02}});
    ASSERT_EQ(Send(kFilterCaptureAll, {0, 0, 0, 0}), ControlOutcome::CompletedAtOnce);
    filter.TapKey(7, 6);
    filter.TapKey(7, 4);
    EXPECT_EQ(Drain().size(), 4u);
    EXPECT_EQ(filter.SystemText(), "c");  // unbound keys still type

    ASSERT_EQ(Send(kFilterEndCapture), ControlOutcome::CompletedAtOnce);
    filter.TapKey(7, 6);
    EXPECT_THAT(Drain(), IsEmpty());
}

TEST_F(SimFilterTest, StartRequestDropsWaitingPressesButKeepsReleases) {
    Bind({{0x04, 0x00, 0x07, 0x02}, {0x05, 0x00, 0x07, 0x02}});
    filter.InjectKey(7, 4, true);
    filter.TapKey(7, 5);
    ASSERT_EQ(Send(kFilterDropPresses), ControlOutcome::CompletedAtOnce);
    EXPECT_THAT(Drain(), ElementsAre(Record{0x05, 0x00, 0x07, 0x00}));
    filter.InjectKey(7, 4, false);
    EXPECT_THAT(Drain(), ElementsAre(Record{0x04, 0x00, 0x07, 0x00}));
}

TEST_F(SimFilterTest, WithoutOpenHandlesTheKeyboardTypesNormally) {
    Bind({{0x04, 0x00, 0x07, 0x02}});
    ASSERT_EQ(Send(kFilterCaptureAll, {0, 0, 0, 0}), ControlOutcome::CompletedAtOnce);
    filter.InjectKey(7, 4, true);
    handle.reset();
    EXPECT_FALSE(filter.Engine().Capturing());
    EXPECT_EQ(filter.Engine().QueuedEvents(), 0u);
    filter.InjectKey(7, 4, false);
    filter.TapKey(7, 4);
    EXPECT_EQ(filter.SystemText(), "a");
}

TEST_F(SimFilterTest, PendingRequestCompletesAbortsOrCancels) {
    Bind({{0x04, 0x00, 0x07, 0x02}});
    auto waitOne = [this](Event& e) {
        return std::async(std::launch::async, [this, &e] {
            Record r{};
            const auto outcome = handle->Control(kFilterNextEvent, {}, r, e);
            return std::make_pair(outcome, r);
        });
    };
    auto waitPending = [this] {
        while (filter.Engine().PendingRequests() == 0)
            std::this_thread::yield();
    };

    auto completed = waitOne(abort);
    waitPending();
    filter.InjectKey(7, 4, true);
    EXPECT_EQ(completed.get(),
              std::make_pair(ControlOutcome::Completed, Record{0x04, 0x00, 0x07, 0x01}));

    auto aborted = waitOne(abort);
    waitPending();
    abort.Set();
    EXPECT_EQ(aborted.get().first, ControlOutcome::Aborted);
    EXPECT_FALSE(abort.IsSet());  // the abort was consumed

    auto cancelled = waitOne(abort);
    waitPending();
    handle->CancelIo();
    EXPECT_EQ(cancelled.get().first, ControlOutcome::Aborted);
    EXPECT_EQ(filter.Engine().PendingRequests(), 0u);
}

TEST_F(SimFilterTest, ProgramThatStopsReadingDoesNotSwallowTheKeyboard) {
    Bind({{0x04, 0x00, 0x07, 0x02}});
    for (int i = 0; i < 1100; ++i)
        filter.TapKey(7, 4);
    EXPECT_LE(filter.Engine().QueuedEvents(), 2048u);
    EXPECT_FALSE(filter.SystemKeys().empty());
}

// --- What the user saw -----------------------------------------------------------------------

TEST(TypedText, FollowsShiftBackspaceAndShortcuts) {
    const std::vector<SimKeyTransition> keys = {
        {7, 0xE1, true}, {7, 0x0B, true},  {7, 0x0B, false}, {7, 0xE1, false},
        {7, 0x08, true}, {7, 0x08, false}, {7, 0x2A, true},  {7, 0x0C, true},
        {7, 0x1E, true}, {7, 0xE0, true},  {7, 0x06, true},  {7, 0xE0, false},
        {7, 0x2C, true}, {7, 0x28, true},  {12, 0xE9, true}, {7, 0x62, true},
    };
    EXPECT_EQ(TypedText(keys), "Hi1 \n0");
}

TEST(SimVirtualKeyboard, DecodesEveryReportAndRefusesOtherPackets) {
    SimSystemInput system;
    SimVirtualKeyboard vkbd(SimVirtualKeyboard::kDefaultPath, &system);
    auto packet = [](std::initializer_list<std::uint8_t> head) {
        std::array<std::uint8_t, 64> p{};
        std::copy(head.begin(), head.end(), p.begin());
        return p;
    };
    EXPECT_EQ(vkbd.OnWrite(packet({0x05, 0x01, 0x00, 0x30})), 64);  // A and B
    EXPECT_EQ(vkbd.OnWrite(packet({0x05, 0x02, 0x05, 0xFF, 0x01, 0x01})), 64);
    EXPECT_EQ(vkbd.OnWrite(packet({0x05, 0x03, 0xE9, 0x00})), 64);
    EXPECT_EQ(vkbd.OnWrite(packet({0x05, 0x04, 0x82, 0x00})), 64);
    EXPECT_THAT(vkbd.PressedKeys(), ElementsAre(4, 5));
    EXPECT_EQ(vkbd.MouseButtons(), 0x05);
    EXPECT_EQ(vkbd.MouseX(), -1);
    EXPECT_EQ(vkbd.MouseY(), 1);
    EXPECT_EQ(vkbd.Wheel(), 1);
    EXPECT_EQ(vkbd.Consumer(), 0xE9);
    EXPECT_EQ(vkbd.SystemControl(), 0x82);
    EXPECT_EQ(system.Text(), "ab");

    EXPECT_EQ(vkbd.OnWrite(packet({0x05, 0x03, 0xEA, 0x00})), 64);
    const auto transitions = vkbd.Transitions();
    EXPECT_THAT(std::vector<SimKeyTransition>(transitions.end() - 2, transitions.end()),
                ElementsAre(SimKeyTransition{12, 0xE9, false}, SimKeyTransition{12, 0xEA, true}));

    EXPECT_EQ(vkbd.OnWrite(packet({0x06, 0x01})), 0);
    EXPECT_EQ(vkbd.OnWrite(packet({0x05, 0x07})), 0);
    const std::array<std::uint8_t, 8> shortPacket{0x05, 0x01};
    EXPECT_EQ(vkbd.OnWrite(shortPacket), 0);
    EXPECT_EQ(vkbd.PacketCount(), 5u);
    EXPECT_FALSE(vkbd.NothingHeld());
}

}  // namespace
}  // namespace keylume::platform
