#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "core/protocol/KeyboardCommands.h"
#include "platform/HidBus.h"
#include "platform/NamedLock.h"

using namespace std::chrono_literals;

namespace keylume {
namespace {

using Ms = std::chrono::milliseconds;

// Time that moves only when someone sleeps or the test says so.
class ManualClock final : public platform::Clock {
  public:
    std::chrono::steady_clock::time_point Now() const override { return now_; }
    void SleepFor(std::chrono::nanoseconds d) override {
        sleeps.push_back(std::chrono::duration_cast<Ms>(d));
        now_ += d;
    }
    void Advance(std::chrono::nanoseconds d) { now_ += d; }
    Ms SinceStart() const { return std::chrono::duration_cast<Ms>(now_.time_since_epoch()); }

    std::vector<Ms> sleeps;

  private:
    std::chrono::steady_clock::time_point now_{};
};

struct Sent {
    enum Kind { SetFeature, GetFeature, Write } kind;
    CommandReport bytes;
    Ms at;  // clock time when the transfer began
};

// The keyboard's command collection as a recorder: every transfer takes 5 ms of clock time.
class RecordingKeyboard final : public platform::HidBus {
  public:
    explicit RecordingKeyboard(ManualClock& clock) : clock_(clock) {}

    std::vector<Sent> sent;
    bool setFails = false;
    bool getFails = false;
    CommandReport answer{0x07, 0x01, 0x00};

    std::vector<std::string> ListInterfaces() override { return {"hid#vid_1a2c&pid_2d3e#k"}; }
    std::unique_ptr<platform::HidPort> Open(std::string_view, std::uint32_t,
                                            std::uint32_t) override {
        return std::make_unique<Port>(*this);
    }

  private:
    struct Port final : platform::HidPort {
        explicit Port(RecordingKeyboard& k) : k_(k) {}
        bool GetAttributes(platform::HidAttributes&) override { return false; }
        bool GetCaps(platform::HidCaps&) override { return false; }
        bool SetFeature(std::span<const std::uint8_t> r) override {
            Record(Sent::SetFeature, r);
            return !k_.setFails;
        }
        bool GetFeature(std::span<std::uint8_t> r) override {
            Record(Sent::GetFeature, r);
            if (k_.getFails)
                return false;
            std::copy(k_.answer.begin(), k_.answer.end(), r.begin());
            return true;
        }
        int Write(std::span<const std::uint8_t> r, int) override {
            Record(Sent::Write, r);
            return static_cast<int>(r.size());
        }
        int Read(std::span<std::uint8_t>, int, platform::Event*) override { return 0; }
        void Record(Sent::Kind kind, std::span<const std::uint8_t> r) {
            CommandReport bytes{};
            std::copy(r.begin(), r.end(), bytes.begin());
            k_.sent.push_back({kind, bytes, k_.clock_.SinceStart()});
            k_.clock_.Advance(5ms);
        }
        RecordingKeyboard& k_;
    };
    ManualClock& clock_;
};

class NoLocks final : public platform::NamedLocks {
    struct NoHold final : Held {
        bool Owns() const override { return true; }
    };

  public:
    std::unique_ptr<Held> Acquire(std::string_view) override { return std::make_unique<NoHold>(); }
};

class KeyboardCommandsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        clock_.Advance(1000s);
        ASSERT_NE(device_.Open("hid#vid_1a2c&pid_2d3e#k"), 0);
    }

    std::vector<CommandReport> Reports() const {
        std::vector<CommandReport> out;
        for (const auto& s : keyboard_.sent)
            out.push_back(s.bytes);
        return out;
    }
    Ms At(std::size_t i) const { return keyboard_.sent.at(i).at; }

    ManualClock clock_;
    RecordingKeyboard keyboard_{clock_};
    NoLocks locks_;
    HidDevice device_{locks_, keyboard_};
    LedEffectStore ledEffects_;
    SideLightStore sideLights_;
    KeyboardCommands commands_{device_, clock_, ledEffects_, sideLights_};
};

// ---- payloads -------------------------------------------------------------------------------

struct LedCase {
    int effect;
    LedEffectItem item;
    CommandReport adjusted;
    CommandReport stored;
};

class LedEffectPayload : public KeyboardCommandsTest,
                         public ::testing::WithParamInterface<LedCase> {};

TEST_P(LedEffectPayload, BothForms) {
    const auto& c = GetParam();
    ASSERT_TRUE(ledEffects_.SetItem(c.effect, c.item));
    commands_.SendLedEffect(c.effect);
    commands_.SendLedEffectRaw(c.effect);
    EXPECT_EQ(Reports(), (std::vector<CommandReport>{c.adjusted, c.stored}));
}

INSTANTIATE_TEST_SUITE_P(
    Items, LedEffectPayload,
    ::testing::Values(LedCase{7,
                              {13, 2, 1, 3},
                              {0x07, 0xFF, 0xFF, 0x07, 0x05, 0x02, 0x02, 0x00},
                              {0x07, 0xFF, 0xFF, 0x07, 0x0D, 0x02, 0x01, 0x03}},
                      LedCase{1,
                              {4, 0, 0, 1},
                              {0x07, 0xFF, 0xFF, 0x01, 0x04, 0x00, 0x00, 0x00},
                              {0x07, 0xFF, 0xFF, 0x01, 0x04, 0x00, 0x00, 0x01}},
                      LedCase{1,
                              {5, 1, 0, 2},
                              {0x07, 0xFF, 0xFF, 0x01, 0x05, 0x01, 0x01, 0x00},
                              {0x07, 0xFF, 0xFF, 0x01, 0x05, 0x01, 0x00, 0x02}},
                      // Selections other than 1..3 go out as they are.
                      LedCase{0,
                              {6, 0, 1, 0},
                              {0x07, 0xFF, 0xFF, 0x00, 0x05, 0x00, 0x00, 0x00},
                              {0x07, 0xFF, 0xFF, 0x00, 0x06, 0x00, 0x01, 0x00}},
                      LedCase{20,
                              {0, 2, 0, 5},
                              {0x07, 0xFF, 0xFF, 0x14, 0x00, 0x02, 0x05, 0x00},
                              {0x07, 0xFF, 0xFF, 0x14, 0x00, 0x02, 0x00, 0x05}}));

TEST_F(KeyboardCommandsTest, StartUpCommandOfAFreshStore) {
    commands_.SendLedEffectRaw(ledEffects_.Sel());
    EXPECT_EQ(Reports(),
              (std::vector<CommandReport>{{0x07, 0xFF, 0xFF, 0x14, 0x0D, 0x00, 0x00, 0x00}}));
}

struct SideCase {
    int mode;
    int level;
    std::uint8_t byte6;
};

class SideLightPayload : public KeyboardCommandsTest,
                         public ::testing::WithParamInterface<SideCase> {};

TEST_P(SideLightPayload, LevelAndModeShareByteSix) {
    SideLightItem item;
    item.SetLevel(GetParam().level);
    ASSERT_TRUE(sideLights_.SetItem(GetParam().mode, item));
    commands_.SendSideLight(GetParam().mode);
    EXPECT_EQ(
        Reports(),
        (std::vector<CommandReport>{{0x07, 0xFF, 0xFF, 0x20, 0x00, 0x00, GetParam().byte6, 0x00}}));
}

INSTANTIATE_TEST_SUITE_P(Modes, SideLightPayload,
                         ::testing::Values(SideCase{5, 7, 0x75}, SideCase{0, 4, 0x40},
                                           SideCase{11, 0, 0x0B}, SideCase{3, 7, 0x73}));

TEST_F(KeyboardCommandsTest, OutOfRangeIndexesSendNothingAndNeverWait) {
    commands_.ResetPacing();
    for (const int effect : {-1, 21, 1000}) {
        commands_.SendLedEffect(effect);
        commands_.SendLedEffectRaw(effect);
    }
    for (const int mode : {-1, 12})
        commands_.SendSideLight(mode);
    EXPECT_TRUE(keyboard_.sent.empty());
    EXPECT_TRUE(clock_.sleeps.empty());
}

// ---- pacing ---------------------------------------------------------------------------------

TEST_F(KeyboardCommandsTest, FirstCommandEverGoesAtOnce) {
    ManualClock zero;  // a clock that starts at 0 too
    RecordingKeyboard keyboard{zero};
    HidDevice device{locks_, keyboard};
    ASSERT_NE(device.Open("k"), 0);
    KeyboardCommands commands{device, zero, ledEffects_, sideLights_};
    commands.SendSideLight(0);
    EXPECT_TRUE(zero.sleeps.empty());
}

TEST_F(KeyboardCommandsTest, SecondPacedCommandWaitsOutTheHundredMilliseconds) {
    commands_.SendLedEffect(3);  // sent at t, returns at t+5
    clock_.Advance(30ms);
    commands_.SendLedEffect(3);
    EXPECT_EQ(clock_.sleeps, std::vector<Ms>{70ms});
    EXPECT_EQ(At(1) - At(0), 105ms);  // 100 ms after the first returned
}

TEST_F(KeyboardCommandsTest, PacedCommandLongAfterGoesAtOnce) {
    commands_.SendSideLight(2);
    clock_.Advance(2s);
    commands_.SendLedEffect(4);
    EXPECT_TRUE(clock_.sleeps.empty());
}

TEST_F(KeyboardCommandsTest, ResetPacingStartsTheSpacing) {
    commands_.ResetPacing();
    clock_.Advance(40ms);
    commands_.SendSideLight(1);
    EXPECT_EQ(clock_.sleeps, std::vector<Ms>{60ms});
}

TEST_F(KeyboardCommandsTest, UnpacedCommandsNeitherWaitNorMoveTheSpacing) {
    commands_.SendSideLight(0);  // returns at t+5
    clock_.Advance(10ms);
    commands_.SendLedEffectRaw(7);  // t+15, returns at t+20
    commands_.ReadFirmwareVersion();
    commands_.SendFactoryRestore();
    EXPECT_TRUE(clock_.sleeps.empty());
    ASSERT_EQ(keyboard_.sent.size(), 5u);
    EXPECT_EQ(At(1) - At(0), 15ms);
    commands_.SendLedEffect(7);
    // Measured from the side-light command, not from the unpaced ones after it.
    EXPECT_EQ(At(5) - At(0), 105ms);
}

TEST_F(KeyboardCommandsTest, LightingAndSideLightShareOneSpacing) {
    commands_.SendLedEffect(2);
    clock_.Advance(20ms);
    commands_.SendSideLight(4);
    EXPECT_EQ(clock_.sleeps, std::vector<Ms>{80ms});
}

TEST_F(KeyboardCommandsTest, FailedPacedSendStillCounts) {
    keyboard_.setFails = true;
    commands_.SendLedEffect(2);
    keyboard_.setFails = false;
    clock_.Advance(50ms);
    commands_.SendLedEffect(2);
    EXPECT_EQ(clock_.sleeps, std::vector<Ms>{50ms});
    // Closed device: the send fails at once and the spacing still moves on.
    device_.Close();
    clock_.Advance(10ms);
    commands_.SendSideLight(3);
    EXPECT_EQ(clock_.sleeps, (std::vector<Ms>{50ms, 90ms}));
    EXPECT_EQ(keyboard_.sent.size(), 2u);
}

// ---- firmware version and factory restore ----------------------------------------------------

struct FirmwareCase {
    CommandReport answer;
    int expected;
};

class FirmwareAnswer : public KeyboardCommandsTest,
                       public ::testing::WithParamInterface<FirmwareCase> {};

TEST_P(FirmwareAnswer, MajorTimes256PlusMinor) {
    keyboard_.answer = GetParam().answer;
    EXPECT_EQ(commands_.ReadFirmwareVersion(), GetParam().expected);
    ASSERT_EQ(keyboard_.sent.size(), 2u);
    EXPECT_EQ(keyboard_.sent[0].kind, Sent::SetFeature);
    EXPECT_EQ(keyboard_.sent[0].bytes, kFirmwareQueryReport);
    // The read-back starts from the same buffer, report ID 7 in byte 0.
    EXPECT_EQ(keyboard_.sent[1].kind, Sent::GetFeature);
    EXPECT_EQ(keyboard_.sent[1].bytes[0], 0x07);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FirmwareAnswer,
    ::testing::Values(FirmwareCase{{0x07, 0x01, 0x05}, 261}, FirmwareCase{{0x07, 0x00, 0x00}, 0},
                      FirmwareCase{{0x07, 0x81, 0xFF}, 0x81FF},
                      FirmwareCase{{0x07, 0x01, 0x00}, 0x0100},
                      // Garbage is read the same way; it never turns into "not read".
                      FirmwareCase{{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFF}));

TEST_F(KeyboardCommandsTest, FirmwareNotReadWhenAnyStepFails) {
    keyboard_.getFails = true;
    EXPECT_EQ(commands_.ReadFirmwareVersion(), kFirmwareNotRead);
    keyboard_.getFails = false;
    keyboard_.setFails = true;
    EXPECT_EQ(commands_.ReadFirmwareVersion(), kFirmwareNotRead);
    EXPECT_EQ(keyboard_.sent.back().kind, Sent::SetFeature);  // no read-back after a failed query
    keyboard_.setFails = false;
    device_.Close();
    const auto before = keyboard_.sent.size();
    EXPECT_EQ(commands_.ReadFirmwareVersion(), kFirmwareNotRead);
    EXPECT_EQ(keyboard_.sent.size(), before);
}

TEST_F(KeyboardCommandsTest, FactoryRestoreIsOneOutputReport) {
    EXPECT_EQ(commands_.SendFactoryRestore(), 8);
    ASSERT_EQ(keyboard_.sent.size(), 1u);
    EXPECT_EQ(keyboard_.sent[0].kind, Sent::Write);
    EXPECT_EQ(keyboard_.sent[0].bytes,
              (CommandReport{0x07, 0xF0, 0xAA, 0x00, 0x00, 0x00, 0x00, 0x00}));
    device_.Close();
    EXPECT_EQ(commands_.SendFactoryRestore(), 0);
}

}  // namespace
}  // namespace keylume
