#include "MainDlgFixture.h"
#include "ui/ShellNotifyIcon.h"

namespace keylume::test {
namespace {

[[maybe_unused]] const auto* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new QtEnvironment);

TEST_F(MainDlgTest, WithoutKeyboardWarnsOnceAndStartsNothing) {
    SimulatedPlatform::Options absent;
    absent.keyboardPlugged = false;
    Start(absent);
    EXPECT_FALSE(main_->IsWindow());
    EXPECT_EQ(boxes_, std::vector<QString>{"Warning: Please insert USB device!"});
    EXPECT_FALSE(main_->ThreadsStarted());
    EXPECT_FALSE(main_->Filter().IsListening());
    EXPECT_EQ(platform_->filter.opens.load(), 0);
    EXPECT_EQ(main_->firmwareVersion, -1);
}

struct LoadCase {
    int effect;
    std::string item;
    int page;
    std::vector<std::pair<const char*, int>> sliders;
    std::array<bool, 3> loader;  // left, centre, right checked
};

class LightingLoad : public MainDlgTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LightingLoad, ShowsTheStoredItemWithoutChangingTheStore) {
    const LoadCase& c = GetParam();
    Write("ledeffect.xml", LedEffects(c.effect, c.effect, c.item));
    Start();
    const std::string before = Slurp(data_ / "ledeffect.xml");
    main_->LoadLightingPanel(true);
    EXPECT_EQ(Find<ui::SComboBox>("cbx_color_effect")->GetCurSel(), c.effect);
    EXPECT_EQ(Find<ui::STabCtrl>("tab_color_effect")->GetCurSel(), c.page);
    for (const auto& [name, value] : c.sliders)
        EXPECT_EQ(Find<ui::SSliderBar>(name)->GetValue(), value) << name;
    const char* radios[] = {"radio_loader_left_3", "radio_loader_center_3", "radio_loader_right_3"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Find<ui::SWindow>(radios[i])->IsChecked(), c.loader[i]) << radios[i];
    EXPECT_EQ(Slurp(data_ / "ledeffect.xml"), before);
    EXPECT_TRUE(Hid().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Effects, LightingLoad,
    ::testing::Values(
        LoadCase{0,
                 "<item speed=\"0\" brightness=\"3\" deriction=\"0\" selection=\"0\"/>",
                 2,
                 {{"bar_const_brightness_2", 3}},
                 {false, false, false}},
        LoadCase{1,
                 "<item speed=\"0\" brightness=\"2\" deriction=\"0\" selection=\"2\"/>",
                 3,
                 {{"bar_const_brightness_3", 2}},
                 {false, true, false}},
        LoadCase{1,
                 "<item speed=\"0\" brightness=\"2\" deriction=\"0\" selection=\"7\"/>",
                 3,
                 {{"bar_const_brightness_3", 2}},
                 {false, false, false}},
        // Brightness 13 shows the slider's end.
        LoadCase{5,
                 "<item speed=\"2\" brightness=\"13\" deriction=\"0\" selection=\"0\"/>",
                 1,
                 {{"bar_general_speed_1", 2}, {"bar_const_brightness_1", 5}},
                 {false, false, false}},
        LoadCase{20,
                 "<item speed=\"0\" brightness=\"1\" deriction=\"0\" selection=\"0\"/>",
                 2,
                 {},
                 {false, false, false}}));

TEST_F(MainDlgTest, BrightnessOfEffect5IsStoredSavedAndSent) {
    Write("ledeffect.xml",
          LedEffects(5, 5, "<item speed=\"2\" brightness=\"4\" deriction=\"0\" selection=\"3\"/>"));
    Start();
    Find<ui::SSliderBar>("bar_const_brightness_1")->MoveByUser(3);
    EXPECT_EQ(GetLedEffectStore().Item(5)->brightness, 3);
    EXPECT_EQ(GetLedEffectStore().Item(5)->speed, 2);
    LedEffectStore reread;
    reread.Load(data_ / "ledeffect.xml");
    EXPECT_EQ(reread.Item(5)->brightness, 3);
    EXPECT_EQ(Hid(), std::vector<std::string>{"hid set-feature 07 ff ff 05 03 02 02 00"});
}

TEST_F(MainDlgTest, Effect20SlidersLeaveItem20AsItIs) {
    Start();
    const LedEffectItem before = *GetLedEffectStore().Item(20);
    Find<ui::SSliderBar>("bar_const_brightness_2")->MoveByUser(1);
    Find<ui::SSliderBar>("bar_general_speed_3")->MoveByUser(2);
    EXPECT_EQ(*GetLedEffectStore().Item(20), before);
    EXPECT_EQ(Hid(), (std::vector<std::string>{"hid set-feature 07 ff ff 14 05 00 00 00",
                                               "hid set-feature 07 ff ff 14 05 00 00 00"}));
}

TEST_F(MainDlgTest, LoaderRightStoresSelection3) {
    Write("ledeffect.xml",
          LedEffects(1, 1, "<item speed=\"0\" brightness=\"4\" deriction=\"0\" selection=\"1\"/>"));
    Start();
    Find<ui::SRadioBox>("radio_loader_right_3")->Click();
    EXPECT_EQ(GetLedEffectStore().Item(1)->selection, 3);
    Find<ui::SSliderBar>("bar_const_brightness_3")->MoveByUser(2);
    EXPECT_EQ(GetLedEffectStore().Item(1)->selection, 3);
    EXPECT_EQ(Hid(), (std::vector<std::string>{"hid set-feature 07 ff ff 01 04 00 02 00",
                                               "hid set-feature 07 ff ff 01 02 00 02 00"}));
}

TEST_F(MainDlgTest, SideLabelFollowsTheModeAndTheLevelIsSent) {
    Write("sidemodel.xml", SideLights(1));
    Start();
    auto* label = Find<ui::SWindow>("text_side_brightness");
    EXPECT_EQ(label->GetWindowText(), "Speed");
    Find<ui::SComboBox>("cbx_side_color_effect")->SetCurSel(3);
    EXPECT_EQ(label->GetWindowText(), "Brightness");
    Find<ui::SComboBox>("cbx_side_color_effect")->SetCurSel(4);
    Find<ui::SSliderBar>("bar_side_brightness")->MoveByUser(6);
    EXPECT_EQ(GetSideLightStore().Item(4)->Level(), 6);
    EXPECT_EQ(GetSideLightStore().Sel(), 4);
    EXPECT_EQ(Hid(), (std::vector<std::string>{"hid set-feature 07 ff ff 20 00 00 43 00",
                                               "hid set-feature 07 ff ff 20 00 00 44 00",
                                               "hid set-feature 07 ff ff 20 00 00 64 00"}));
}

TEST_F(MainDlgTest, BoundKeysAreCheckedWithTheirLabelAlsoAfterReconnecting) {
    Write("record.xml",
          "<?xml version=\"1.0\"?>\n"
          "<record code=\"70004\" play=\"1\" type=\"1\" repeat=\"1\" name=\"A\" group=\"Copy\"/>\n"
          "<record code=\"70005\" play=\"1\" type=\"1\" repeat=\"1\" name=\"B\" group=\"\"/>\n");
    Start();
    auto* image = Find<CoordButtonImage>("img_keyboard");
    auto expectBound = [&] {
        CoordKey a, b;
        ASSERT_TRUE(image->GetKeyInfo(4, &a));
        ASSERT_TRUE(image->GetKeyInfo(5, &b));
        EXPECT_TRUE(a.checked);
        EXPECT_EQ(a.text, "A : Copy");
        EXPECT_TRUE(b.checked);
        EXPECT_EQ(b.text, "B");
    };
    expectBound();
    image->SetKeyChecked(CoordButtonImage::kAllKeys, false);
    main_->restoring = true;  // keeps the window through the removal
    platform_->sim.Keyboard().Unplug();
    platform_->sim.Keyboard().Plug();
    platform_->Broadcasts().DispatchPending();
    EXPECT_TRUE(main_->IsWindow());
    EXPECT_FALSE(main_->restoring);
    expectBound();
}

TEST_F(MainDlgTest, ArrivalOfAnotherDeviceOnlyReopensTheFilter) {
    Start();
    const int opens = platform_->filter.opens.load();
    platform_->sim.SimBroadcastQueue().Post({platform::kDeviceArrival,
                                             platform::kDeviceTypeInterface,
                                             "hid#vid_1a2c&pid_9999&mi_01&col02#other"});
    platform_->Broadcasts().DispatchPending();
    EXPECT_EQ(platform_->filter.opens.load(), opens + 3);
    EXPECT_TRUE(Hid().empty());
    EXPECT_TRUE(main_->Keyboard().IsOpen());
    // A broadcast that is not a HID path does nothing at all.
    platform_->sim.SimBroadcastQueue().Post(
        {platform::kDeviceArrival, platform::kDeviceTypeInterface, "usb#something"});
    platform_->Broadcasts().DispatchPending();
    EXPECT_EQ(platform_->filter.opens.load(), opens + 3);
}

TEST_F(MainDlgTest, RestoreWritesTheStoresBeforeTheReportAndWaitsForTheKeyboard) {
    Write("record.xml",
          "<?xml version=\"1.0\"?>\n"
          "<record code=\"70004\" play=\"1\" type=\"1\" repeat=\"1\" name=\"A\" group=\"B\"/>\n");
    Write("ledeffect.xml", LedEffects(5, -1, ""));
    Write("sidemodel.xml", SideLights(4));
    Write("macro.xml", "<?xml version=\"1.0\"?>\n<macro type=\"2\" repeat=\"3\"/>\n");
    SimulatedPlatform::Options options;
    options.restoreDelay = std::chrono::milliseconds(200);
    Start(options);
    const std::string macroBefore = Slurp(data_ / "macro.xml");
    std::string recordsAtReport, effectsAtReport, sidesAtReport;
    onHid_ = [&](const std::string& line) {
        if (line.rfind("hid write 07 f0 aa", 0) == 0) {
            recordsAtReport = Slurp(data_ / "record.xml");
            effectsAtReport = Slurp(data_ / "ledeffect.xml");
            sidesAtReport = Slurp(data_ / "sidemodel.xml");
        }
    };
    main_->RestoreFactory();
    onHid_ = nullptr;
    EXPECT_TRUE(main_->restoring);
    EXPECT_EQ(recordsAtReport.find("<record"), std::string::npos);
    EXPECT_NE(effectsAtReport.find("sel=\"20\""), std::string::npos);
    EXPECT_NE(sidesAtReport.find("sel=\"0\""), std::string::npos);
    EXPECT_EQ(Slurp(data_ / "macro.xml"), macroBefore);
    EXPECT_EQ(GetMacroStore().type, 0);
    CoordKey a;
    ASSERT_TRUE(Find<CoordButtonImage>("img_keyboard")->GetKeyInfo(4, &a));
    EXPECT_FALSE(a.checked);
    EXPECT_EQ(Hid(), (std::vector<std::string>{"hid set-feature 07 ff ff 20 00 00 40 00",
                                               "hid set-feature 07 ff ff 14 05 00 00 00",
                                               "hid write 07 f0 aa 00 00 00 00 00"}));
    ClearHid();
    // The keyboard leaves the bus and comes back; the window stays through it.
    platform_->Broadcasts().DispatchPending();
    EXPECT_TRUE(main_->IsWindow());
    EXPECT_EQ(main_->firmwareVersion, -1);
    ASSERT_TRUE(platform_->sim.Keyboard().WaitForComeback(std::chrono::seconds(5)));
    platform_->Broadcasts().DispatchPending();
    EXPECT_TRUE(main_->IsWindow());
    EXPECT_FALSE(main_->restoring);
    EXPECT_EQ(main_->firmwareVersion, 0x100);
    EXPECT_EQ(Hid(), (std::vector<std::string>{"hid set-feature 07 f1 00 00 00 00 00 00",
                                               "hid get-feature 07 01 00 00 00 00 00 00"}));
}

TEST_F(MainDlgTest, UnplugOutsideARestoreDestroysTheWindow) {
    Start();
    platform_->sim.Keyboard().Unplug();
    platform_->Broadcasts().DispatchPending();
    EXPECT_FALSE(main_->IsWindow());
    EXPECT_EQ(main_->firmwareVersion, -1);
}

struct FirmwareCase {
    std::uint8_t major, minor;
    int version;
    const char* english;
    const char* chinese;
};

class FirmwareText : public MainDlgTest, public ::testing::WithParamInterface<FirmwareCase> {};

TEST_P(FirmwareText, IsShownAndFollowsTheLanguage) {
    const FirmwareCase& c = GetParam();
    beforeStart_ = [&c](SimulatedPlatform& sim) {
        sim.Keyboard().SetFirmwareAnswer(
            std::array<std::uint8_t, 8>{0x07, c.major, c.minor, 0, 0, 0, 0, 0});
    };
    Start();
    EXPECT_EQ(main_->firmwareVersion, c.version);
    EXPECT_EQ(VersionText(), QString::fromUtf8(c.english));
    main_->SwitchLanguage(true);
    EXPECT_EQ(VersionText(), QString::fromUtf8(c.chinese));
    EXPECT_EQ(Find<ui::SWindow>("text_side_brightness")->DisplayText(), QString::fromUtf8("速度"));
    main_->SwitchLanguage(false);
    EXPECT_EQ(VersionText(), QString::fromUtf8(c.english));
    EXPECT_EQ(Find<ui::SWindow>("text_side_brightness")->DisplayText(), "Speed");
}

INSTANTIATE_TEST_SUITE_P(
    Answers, FirmwareText,
    ::testing::Values(FirmwareCase{1, 5, 261, "Firmware: v1.5", "固件: v1.5"},
                      FirmwareCase{2, 10, 0x20A, "Firmware: v2.10", "固件: v2.10"},
                      FirmwareCase{0, 0, 0, "Firmware: Early version", "固件：早期版本"},
                      FirmwareCase{0x81, 0xFF, 0x81FF, "Firmware: v129.255", "固件: v129.255"}));

TEST_F(MainDlgTest, FirmwareCheck) {
    Start();
    main_->OnCommand(1);
    EXPECT_EQ(boxes_.back(),
              "Warning: The firmware is already the latest version and no upgrade is required.");
    EXPECT_TRUE(Hid().empty());
    // Without a keyboard only the warning comes.
    main_->restoring = true;
    platform_->sim.Keyboard().Unplug();
    platform_->Broadcasts().DispatchPending();
    main_->OnCommand(1);
    EXPECT_EQ(boxes_.back(), "Warning: Please insert USB device");
    // Other command IDs do nothing.
    const auto count = boxes_.size();
    main_->OnCommand(7);
    EXPECT_EQ(boxes_.size(), count);
    EXPECT_TRUE(main_->IsWindow());
}

}  // namespace
}  // namespace keylume::test

namespace keylume::test {
namespace {

// The minimise button never leaves the window where nothing can bring it back: into the tray
// when the desktop has one, to the taskbar when it has none.
TEST_F(MainDlgTest, MinimiseHidesOnlyWhereATrayCanBringTheWindowBack) {
    Start();
    for (const bool tray : {true, false}) {
        ui::OverrideSystemTrayAvailable(tray);
        main_->showNormal();
        ASSERT_TRUE(main_->isVisible());
        Find<ui::SButton>("btn_min")->Click();
        QApplication::processEvents();
        EXPECT_EQ(main_->isVisible(), !tray) << "tray " << tray;
        EXPECT_EQ(main_->isMinimized(), !tray) << "tray " << tray;
    }
    ui::OverrideSystemTrayAvailable(std::nullopt);
}

}  // namespace
}  // namespace keylume::test
