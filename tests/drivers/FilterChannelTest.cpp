#include "core/drivers/FilterChannel.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <deque>
#include <sstream>

#include "TestSupport.h"
#include "core/drivers/VHidev.h"
#include "platform/sim/SimBroadcasts.h"
#include "platform/sim/SimFilter.h"
#include "platform/sim/SimHidBus.h"
#include "platform/sim/SimVirtualKeyboard.h"

namespace keylume {
namespace {

using ::testing::ElementsAre;
using testing::TraceCapture;
using testing::WaitUntil;

std::string RecordsXml(const std::vector<std::uint32_t>& codes) {
    std::ostringstream xml;
    xml << "<?xml version=\"1.0\"?>\n";
    for (const auto code : codes)
        xml << "<record code=\"" << std::hex << code << std::dec
            << "\" play=\"1\" type=\"1\" repeat=\"0\" name=\"\" group=\"\"/>\n";
    return xml.str();
}

struct Event3 {
    std::uint16_t page;
    std::uint16_t usage;
    bool pressed;
    bool operator==(const Event3&) const = default;
};

// A listener that records what it sees and answers `result`.
struct Recorder {
    std::int32_t OnFilterKey(std::uint16_t page, std::uint16_t usage, bool pressed) {
        std::lock_guard lock(mutex);
        seen.push_back({page, usage, pressed});
        return result;
    }
    std::int32_t OtherKey(std::uint16_t page, std::uint16_t usage, bool pressed) {
        return OnFilterKey(page, usage, pressed);
    }
    std::vector<Event3> Seen() {
        std::lock_guard lock(mutex);
        return seen;
    }
    std::size_t Count() {
        std::lock_guard lock(mutex);
        return seen.size();
    }

    std::mutex mutex;
    std::vector<Event3> seen;
    std::int32_t result = 0;
};

class FilterChannelTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(records.LoadFromText(RecordsXml({0x70004}))); }

    std::vector<std::string> Ioctls() const { return trace.Lines("filter ioctl"); }

    TraceCapture trace;
    platform::SimSystemInput system;
    platform::SimFilter filter{&system};
    RecordStore records;
};

// --- Key table -------------------------------------------------------------------------------

struct KeyTableCase {
    const char* name;
    std::vector<std::uint32_t> codes;
    std::vector<std::array<std::uint8_t, 4>> firstEntries;
    std::size_t entries;  // non-zero entries expected

    friend void PrintTo(const KeyTableCase& c, std::ostream* os) { *os << c.name; }
};

class KeyTableTest : public FilterChannelTest,
                     public ::testing::WithParamInterface<KeyTableCase> {};

TEST_P(KeyTableTest, ReachesTheFilterAsEntriesOfFourBytes) {
    const auto& c = GetParam();
    RecordStore store;
    if (!c.codes.empty()) {
        ASSERT_TRUE(store.LoadFromText(RecordsXml(c.codes)));
    }
    FilterChannel channel(filter, store);
    channel.Open();
    trace.Clear();
    channel.UploadKeyTable();

    const auto table = filter.Engine().KeyTable();
    for (std::size_t i = 0; i < c.firstEntries.size(); ++i) {
        EXPECT_EQ(table[4 * i], c.firstEntries[i][0]) << i;
        EXPECT_EQ(table[4 * i + 1], c.firstEntries[i][1]) << i;
        EXPECT_EQ(table[4 * i + 2], c.firstEntries[i][2]) << i;
        EXPECT_EQ(table[4 * i + 3], c.firstEntries[i][3]) << i;
    }
    std::size_t used = 0;
    for (std::size_t i = 0; i < 256; ++i)
        used += table[4 * i + 3] != 0 ? 1 : 0;
    EXPECT_EQ(used, c.entries);
    ASSERT_EQ(Ioctls().size(), 1u);
    EXPECT_EQ(Ioctls()[0].rfind("filter ioctl 22a000 len=1024", 0), 0u) << Ioctls()[0];
}

std::vector<std::uint32_t> ManyCodes(std::size_t n) {
    std::vector<std::uint32_t> codes;
    for (std::size_t i = 0; i < n; ++i)
        codes.push_back(0x00070000u | static_cast<std::uint32_t>(i % 0xFF + 1));
    return codes;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, KeyTableTest,
    ::testing::Values(KeyTableCase{"KeyA", {0x00070004}, {{0x04, 0x00, 0x07, 0x02}}, 1},
                      KeyTableCase{"VolumeUp", {0x000C00E9}, {{0xE9, 0x00, 0x0C, 0x02}}, 1},
                      KeyTableCase{"UsageAboveFF",
                                   {0x000C0223, 0x00070004},
                                   {{0x23, 0x00, 0x0C, 0x02}, {0x04, 0x00, 0x07, 0x02}},
                                   2},
                      KeyTableCase{"Empty", {}, {}, 0},
                      KeyTableCase{"ThreeHundredRecords",
                                   ManyCodes(300),
                                   {{0x01, 0x00, 0x07, 0x02}, {0x02, 0x00, 0x07, 0x02}},
                                   256}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(FilterChannelTest, EmptyListSendsOnlyZeros) {
    RecordStore empty;
    FilterChannel channel(filter, empty);
    channel.Open();
    trace.Clear();
    channel.UploadKeyTable();
    // Trailing zeros are left out of the trace: nothing but the length remains.
    EXPECT_THAT(Ioctls(), ElementsAre("filter ioctl 22a000 len=1024"));
}

TEST_F(FilterChannelTest, ClearAndCaptureSendTheirBuffers) {
    FilterChannel channel(filter, records);
    channel.Open();
    channel.UploadKeyTable();
    trace.Clear();
    channel.ClearKeyTable();
    channel.SendCaptureRequest();
    EXPECT_THAT(Ioctls(), ElementsAre("filter ioctl 22a000 len=256", "filter ioctl 226010 len=4"));
    const auto table = filter.Engine().KeyTable();
    EXPECT_TRUE(std::all_of(table.begin(), table.end(), [](auto b) { return b == 0; }));
    EXPECT_TRUE(filter.Engine().Capturing());
}

// --- Capture reasons ---------------------------------------------------------------------------

using Reason = FilterChannel::CaptureReason;

TEST_F(FilterChannelTest, CaptureLastsWhileAnyReasonRemains) {
    FilterChannel channel(filter, records);
    channel.Open();
    trace.Clear();
    channel.BeginCapture(Reason::Playback);
    channel.BeginCapture(Reason::Editor);
    channel.BeginCapture(Reason::Editor);  // the editor holds one reason however often it asks
    channel.BeginCapture(Reason::Playback);
    EXPECT_THAT(Ioctls(), ElementsAre("filter ioctl 226010 len=4"));
    EXPECT_EQ(channel.CaptureCount(Reason::Editor), 1);
    EXPECT_EQ(channel.CaptureCount(Reason::Playback), 2);

    channel.EndCapture(Reason::Playback);
    channel.EndCapture(Reason::Playback);
    EXPECT_TRUE(filter.Engine().Capturing());  // the editor still captures
    channel.EndCapture(Reason::Editor);
    channel.EndCapture(Reason::Editor);  // an end without a beginning changes nothing
    EXPECT_FALSE(filter.Engine().Capturing());
    EXPECT_THAT(Ioctls(), ElementsAre("filter ioctl 226010 len=4", "filter ioctl 226008 len=0"));
}

// What ends capture in the filter (a reader start, a re-open) asks for it again while a reason
// remains, and only then.
TEST_F(FilterChannelTest, RestartAndReopenKeepCaptureOnlyWhileAReasonRemains) {
    struct Case {
        const char* name;
        bool playback;
        bool editor;
        bool forgetEditor;
        bool capturing;
    } cases[] = {{"none", false, false, false, false},
                 {"playback", true, false, false, true},
                 {"editor", false, true, false, true},
                 {"editor forgotten", false, true, true, false},
                 {"editor forgotten, playback on", true, true, true, true}};
    Recorder listener;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FilterChannel channel(filter, records);
        channel.AddListener(&listener, &Recorder::OnFilterKey);
        channel.Open();
        if (c.playback)
            channel.BeginCapture(Reason::Playback);
        if (c.editor)
            channel.BeginCapture(Reason::Editor);
        if (c.forgetEditor)
            channel.ForgetCapture(Reason::Editor);
        ASSERT_TRUE(channel.StartListening());
        EXPECT_EQ(filter.Engine().Capturing(), c.capturing);
        channel.Open();
        EXPECT_EQ(filter.Engine().Capturing(), c.capturing);
        channel.StopListening();
    }
}

TEST_F(FilterChannelTest, CaptureBegunWhileClosedReachesTheFilterWhenOpened) {
    FilterChannel channel(filter, records);
    channel.BeginCapture(Reason::Playback);
    EXPECT_FALSE(filter.Engine().Capturing());
    channel.Open();
    EXPECT_TRUE(filter.Engine().Capturing());
    channel.Close();
    EXPECT_FALSE(filter.Engine().Capturing());  // the filter forgets it with the last handle
}

TEST_F(FilterChannelTest, ClosedChannelSendsNothing) {
    FilterChannel channel(filter, records);
    EXPECT_EQ(channel.Control(kFilterStartFirst), 0);
    channel.UploadKeyTable();
    EXPECT_TRUE(Ioctls().empty());
    EXPECT_FALSE(channel.IsOpen());
}

// --- Requests seen by a scripted filter --------------------------------------------------------

// A filter that logs every request and every handle's end, and answers event requests from a
// script of records. Shows the channel's side of the protocol without the engine's rules.
class ScriptedFilter final : public platform::FilterDevice {
  public:
    std::unique_ptr<platform::FilterHandle> Open(std::string_view, std::uint32_t access) override {
        return std::make_unique<Handle>(*this, access);
    }

    void Push(std::array<std::uint8_t, 4> record) {
        {
            std::lock_guard lock(mutex_);
            records_.push_back(record);
        }
        changed_.notify_all();
    }
    std::vector<std::string> Log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }
    std::size_t Count(const std::string& entry) const {
        std::lock_guard lock(mutex_);
        return static_cast<std::size_t>(std::count(log_.begin(), log_.end(), entry));
    }
    int Pending() const {
        std::lock_guard lock(mutex_);
        return pending_;
    }
    int MaxPending() const {
        std::lock_guard lock(mutex_);
        return maxPending_;
    }

    // Event requests complete at once (without going pending) when set.
    bool completeAtOnce = false;

  private:
    class Handle final : public platform::FilterHandle {
      public:
        Handle(ScriptedFilter& f, std::uint32_t access) : f_(f), access_(access) {}
        ~Handle() override { f_.Add("close " + std::to_string(access_ >> 30)); }

        platform::ControlOutcome Control(std::uint32_t code, std::span<const std::uint8_t> input,
                                         std::span<std::uint8_t> output,
                                         platform::Event& abort) override {
            char text[48];
            std::snprintf(text, sizeof text, "%x/%zu", code, input.size());
            f_.Add(text);
            if (code != kFilterRequestNextEvent)
                return platform::ControlOutcome::Completed;
            const auto waker = abort.Subscribe([this] { f_.changed_.notify_all(); });
            std::unique_lock lock(f_.mutex_);
            if (f_.completeAtOnce && !f_.records_.empty()) {
                std::copy_n(f_.records_.front().begin(), 4, output.begin());
                f_.records_.pop_front();
                lock.unlock();
                abort.Unsubscribe(waker);
                return platform::ControlOutcome::CompletedAtOnce;
            }
            f_.maxPending_ = std::max(f_.maxPending_, ++f_.pending_);
            const auto generation = cancel_;
            platform::ControlOutcome outcome = platform::ControlOutcome::Aborted;
            for (;;) {
                if (!f_.records_.empty() && !f_.completeAtOnce) {
                    std::copy_n(f_.records_.front().begin(), 4, output.begin());
                    f_.records_.pop_front();
                    outcome = platform::ControlOutcome::Completed;
                    break;
                }
                if (cancel_ != generation || abort.TryConsume())
                    break;
                f_.changed_.wait_for(lock, std::chrono::milliseconds(5));
            }
            --f_.pending_;
            lock.unlock();
            abort.Unsubscribe(waker);
            return outcome;
        }
        void CancelIo() override {
            std::lock_guard lock(f_.mutex_);
            ++cancel_;
            f_.changed_.notify_all();
        }

      private:
        ScriptedFilter& f_;
        std::uint32_t access_;
        int cancel_ = 0;
    };

    void Add(std::string entry) {
        std::lock_guard lock(mutex_);
        log_.push_back(std::move(entry));
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::array<std::uint8_t, 4>> records_;
    std::vector<std::string> log_;
    int pending_ = 0;
    int maxPending_ = 0;
};

struct RecordCase {
    std::array<std::uint8_t, 4> bytes;
    Event3 expected;
};

TEST_F(FilterChannelTest, EventRecordsAreDecodedAsPageUsageAndBitZero) {
    const RecordCase cases[] = {
        {{0x04, 0x00, 0x07, 0x01}, {7, 4, true}},      {{0x04, 0x00, 0x07, 0x00}, {7, 4, false}},
        {{0x04, 0x00, 0x07, 0x03}, {7, 4, true}},   // bit 1 is not read
        {{0x04, 0x00, 0x07, 0x02}, {7, 4, false}},  // nor alone
        {{0x23, 0x02, 0x0C, 0x01}, {12, 0x223, true}}, {{0x81, 0x00, 0x01, 0x01}, {1, 0x81, true}},
    };
    ScriptedFilter scripted;
    Recorder recorder;
    FilterChannel channel(scripted, records);
    channel.AddListener(&recorder, &Recorder::OnFilterKey);
    channel.Open();
    ASSERT_TRUE(channel.StartListening());
    for (const auto& c : cases)
        scripted.Push(c.bytes);
    ASSERT_TRUE(WaitUntil([&] { return recorder.Count() == std::size(cases); }));
    const auto seen = recorder.Seen();
    for (std::size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(seen[i], cases[i].expected) << i;
}

TEST_F(FilterChannelTest, EventsThatCompleteAtOnceAreNotDispatched) {
    ScriptedFilter scripted;
    scripted.completeAtOnce = true;
    Recorder recorder;
    FilterChannel channel(scripted, records);
    channel.AddListener(&recorder, &Recorder::OnFilterKey);
    channel.Open();
    scripted.Push({0x04, 0x00, 0x07, 0x01});
    channel.StartListening();
    ASSERT_TRUE(WaitUntil([&] { return scripted.Count("226044/0") >= 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(recorder.Count(), 0u);
}

TEST_F(FilterChannelTest, NoEventRequestWithoutListeners) {
    ScriptedFilter scripted;
    FilterChannel channel(scripted, records);
    channel.Open();
    ASSERT_TRUE(channel.StartListening());
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(scripted.Count("226044/0"), 0u);

    Recorder recorder;
    channel.AddListener(&recorder, &Recorder::OnFilterKey);
    EXPECT_TRUE(WaitUntil([&] { return scripted.Count("226044/0") == 1; }));
    channel.RemoveListener(&recorder, &Recorder::OnFilterKey);
}

TEST_F(FilterChannelTest, EveryStartSendsBothRequestsAndLeavesOneReader) {
    ScriptedFilter scripted;
    Recorder recorder;
    FilterChannel channel(scripted, records);
    channel.AddListener(&recorder, &Recorder::OnFilterKey);
    channel.Open();
    ASSERT_TRUE(channel.StartListening());
    ASSERT_TRUE(channel.StartListening());
    EXPECT_EQ(scripted.Count("226008/0"), 2u);
    EXPECT_EQ(scripted.Count("22600c/0"), 2u);
    ASSERT_TRUE(WaitUntil([&] { return scripted.Pending() == 1; }));
    // Each event reaches the listener once: a second reader would race for it or duplicate it.
    for (int i = 0; i < 20; ++i)
        scripted.Push({static_cast<std::uint8_t>(4 + i), 0x00, 0x07, 0x01});
    ASSERT_TRUE(WaitUntil([&] { return recorder.Count() == 20; }));
    EXPECT_EQ(scripted.MaxPending(), 1);
    const auto log = scripted.Log();
    const auto first008 = std::find(log.begin(), log.end(), "226008/0");
    ASSERT_NE(first008, log.end());
    EXPECT_EQ(*(first008 + 1), "22600c/0");
}

TEST_F(FilterChannelTest, DestructionClearsTheTableBeforeTheHandlesClose) {
    ScriptedFilter scripted;
    {
        Recorder recorder;
        FilterChannel channel(scripted, records);
        channel.AddListener(&recorder, &Recorder::OnFilterKey);
        channel.Open();
        channel.StartListening();
        ASSERT_TRUE(WaitUntil([&] { return scripted.Pending() == 1; }));
    }
    auto log = scripted.Log();
    // The reader's aborted request is the only 226044; drop it to compare the ending.
    std::erase(log, "226044/0");
    ASSERT_GE(log.size(), 4u);
    EXPECT_THAT(std::vector<std::string>(log.end() - 4, log.end()),
                ElementsAre("22a000/256", "close 2", "close 1", "close 3"));
}

// --- Listeners ---------------------------------------------------------------------------------

TEST_F(FilterChannelTest, ListenersRunInOrderUntilOneAnswersNonZero) {
    Recorder first, second, third;
    second.result = 1;
    FilterChannel channel(filter, records);
    channel.AddListener(&first, &Recorder::OnFilterKey);
    channel.AddListener(&second, &Recorder::OnFilterKey);
    channel.AddListener(&third, &Recorder::OnFilterKey);
    channel.AddListener(&first, &Recorder::OnFilterKey);  // the same pair again: kept once
    EXPECT_EQ(channel.ListenerCount(), 3u);
    channel.AddListener(&first, &Recorder::OtherKey);  // another member: a listener of its own
    EXPECT_EQ(channel.ListenerCount(), 4u);
    channel.RemoveListener(&first, &Recorder::OtherKey);

    channel.Open();
    channel.StartListening();
    channel.UploadKeyTable();
    filter.InjectKey(7, 4, true);
    ASSERT_TRUE(WaitUntil([&] { return second.Count() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_THAT(first.Seen(), ElementsAre(Event3{7, 4, true}));
    EXPECT_EQ(third.Count(), 0u);
}

// --- Abort by Close and Open -------------------------------------------------------------------

TEST_F(FilterChannelTest, PendingRequestIsAbortedByCloseAndByOpen) {
    Recorder recorder;
    FilterChannel channel(filter, records);
    channel.AddListener(&recorder, &Recorder::OnFilterKey);
    channel.Open();
    channel.StartListening();
    channel.UploadKeyTable();
    ASSERT_TRUE(WaitUntil([&] { return filter.Engine().PendingRequests() == 1; }));

    channel.Close();
    EXPECT_EQ(filter.Engine().PendingRequests(), 0u);
    EXPECT_EQ(filter.Engine().OpenHandles(), 0u);
    EXPECT_TRUE(channel.IsListening());  // the reader idles without a handle

    channel.Open();
    channel.UploadKeyTable();
    ASSERT_TRUE(WaitUntil([&] { return filter.Engine().PendingRequests() == 1; }));
    channel.Open();  // a re-open while the reader waits on the old handle
    EXPECT_EQ(filter.Engine().OpenHandles(), 3u);
    channel.UploadKeyTable();
    ASSERT_TRUE(WaitUntil([&] { return filter.Engine().PendingRequests() == 1; }));
    EXPECT_TRUE(filter.InjectKey(7, 4, true));
    ASSERT_TRUE(WaitUntil([&] { return recorder.Count() == 1; }));
}

TEST_F(FilterChannelTest, ReopeningWhileKeysArriveLosesNoHandleSafety) {
    Recorder recorder;
    FilterChannel channel(filter, records);
    channel.AddListener(&recorder, &Recorder::OnFilterKey);
    channel.Open();
    channel.StartListening();
    channel.UploadKeyTable();
    std::atomic<bool> done{false};
    std::thread typist([&] {
        while (!done.load()) {
            filter.TapKey(7, 4);
            std::this_thread::yield();
        }
    });
    for (int i = 0; i < 200; ++i) {
        channel.Open();
        channel.UploadKeyTable();
        if (i % 10 == 0)
            channel.StartListening();
    }
    done.store(true);
    typist.join();
    EXPECT_TRUE(channel.IsListening());
    EXPECT_EQ(filter.Engine().OpenHandles(), 3u);
}

// --- Remapping through the virtual keyboard ----------------------------------------------------

class RemapTest : public FilterChannelTest {
  public:
    // Remaps A to B, as a single-key binding does.
    std::int32_t OnFilterKey(std::uint16_t page, std::uint16_t usage, bool pressed) {
        if (page == 7 && usage == 4)
            vhidev.PressUsage(7, 5, pressed);
        return 0;
    }

  protected:
    void SetUp() override {
        FilterChannelTest::SetUp();
        bus.Attach(vkbd);
        ASSERT_TRUE(vhidev.FindDevice(bus));
    }

    platform::SimBroadcasts broadcasts;
    platform::SimHidBus bus{broadcasts};
    std::shared_ptr<platform::SimVirtualKeyboard> vkbd =
        std::make_shared<platform::SimVirtualKeyboard>(platform::SimVirtualKeyboard::kDefaultPath,
                                                       &system);
    VHidev vhidev;
};

TEST_F(RemapTest, BoundKeyIsWithheldAndTheRemapIsTyped) {
    FilterChannel channel(filter, records);
    channel.AddListener(this, &RemapTest::OnFilterKey);
    channel.Open();
    channel.StartListening();
    channel.UploadKeyTable();
    trace.Clear();

    filter.TapKey(7, 4);  // bound: reaches the program only
    ASSERT_TRUE(vkbd->WaitForPackets(2, 2000));
    filter.TapKey(7, 6);  // not bound: reaches the system
    EXPECT_EQ(system.Text(), "bc");
    EXPECT_EQ(filter.SystemText(), "c");

    const auto lines = trace.Lines();
    const auto event = std::find(lines.begin(), lines.end(), "filter event 04 00 07 01");
    ASSERT_NE(event, lines.end());
    ASSERT_NE(event + 1, lines.end());
    EXPECT_EQ(*(event + 1), "vkbd 05 01 00 20");
}

TEST_F(RemapTest, ClosingTheFilterReleasesAHeldRemap) {
    FilterChannel channel(filter, records);
    channel.AddListener(this, &RemapTest::OnFilterKey);
    channel.Open();
    channel.StartListening();
    channel.UploadKeyTable();
    filter.InjectKey(7, 4, true);
    ASSERT_TRUE(vkbd->WaitForPackets(1, 2000));
    EXPECT_THAT(vkbd->PressedKeys(), ElementsAre(5));

    channel.Close();
    EXPECT_TRUE(vkbd->NothingHeld());
    // The physical release comes after the filter closed: it goes to the system, harmlessly.
    filter.InjectKey(7, 4, false);
    EXPECT_TRUE(vkbd->NothingHeld());
}

TEST_F(RemapTest, CaptureReportsEveryKeyAndTheSystemStillGetsTheUnboundOnes) {
    Recorder recorder;
    FilterChannel channel(filter, records);
    channel.AddListener(&recorder, &Recorder::OnFilterKey);
    channel.Open();
    channel.StartListening();
    channel.UploadKeyTable();
    channel.SendCaptureRequest();
    filter.TapKey(7, 6);
    filter.TapKey(12, 0xE9);
    ASSERT_TRUE(WaitUntil([&] { return recorder.Count() == 4; }));
    EXPECT_THAT(recorder.Seen(), ElementsAre(Event3{7, 6, true}, Event3{7, 6, false},
                                             Event3{12, 0xE9, true}, Event3{12, 0xE9, false}));
    EXPECT_EQ(filter.SystemKeys().size(), 4u);

    // What the program sends when the macro editor closes: the keyboard types normally again.
    channel.StartListening();
    channel.SendCaptureRequest();
    filter.TapKey(7, 7);
    EXPECT_EQ(filter.SystemText(), "cd");
}

}  // namespace
}  // namespace keylume
