// The scenario runner and the simulator panel against the main window on the built-in keyboard.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QTimer>

#include "MainDlgFixture.h"
#include "app/ScenarioRunner.h"
#include "app/ScenarioScript.h"
#include "app/SimulatorPanel.h"

namespace keylume::test {
namespace {

class ScenarioRunnerTest : public MainDlgTest {
  protected:
    // Runs the script to its end; false when a line could not be carried out.
    bool RunScript(const std::string& text) {
        std::string error;
        auto steps = ParseScenario(text, error);
        EXPECT_TRUE(steps) << error;
        if (!steps)
            return false;
        ScenarioRunner runner(std::move(*steps), *main_, &platform_->sim);
        runner.Start();
        QElapsedTimer clock;
        clock.start();
        while (!runner.Failed() && main_->IsWindow() && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        EXPECT_LT(clock.elapsed(), 10000);
        return !runner.Failed();
    }
};

TEST_F(ScenarioRunnerTest, CarriesOutEveryKindOfStepAndClosesAtTheEnd) {
    Start();
    std::vector<std::pair<std::int32_t, std::int32_t>> clicks;
    main_->SetKeyClickHook([&](std::int32_t id, const QString&, std::int32_t state, unsigned) {
        clicks.emplace_back(id, state);
        return true;
    });
    EXPECT_TRUE(
        RunScript("select cbx_color_effect 1\n"
                  "check radio_loader_center_3\n"
                  "slide bar_const_brightness_3 2\n"
                  "page tab_color_effect 0\n"
                  "keyimg 4\n"
                  "answer cancel\n"
                  "click btn_restore_factory\n"
                  "click zh_cn\n"
                  "click jp\n"
                  "wait 10\n"
                  "key tap 0x70005\n"));
    EXPECT_FALSE(main_->IsWindow());
    EXPECT_EQ(GetLedEffectStore().Sel(), 1);
    EXPECT_EQ(GetLedEffectStore().Item(1)->selection, 2);
    EXPECT_EQ(GetLedEffectStore().Item(1)->brightness, 2);
    EXPECT_EQ(clicks, (std::vector<std::pair<std::int32_t, std::int32_t>>{{4, 0}, {4, 1}}));
    EXPECT_EQ(boxes_.size(), 0u);  // the runner answered the confirmation itself
    EXPECT_FALSE(main_->restoring);
    EXPECT_EQ(platform_->sim.SystemInput().Text(), "b");
}

// The editor opens on a timer after the click on the keyboard picture: the steps after "keyimg"
// wait for it instead of failing or working on the main window.
TEST_F(ScenarioRunnerTest, StepsAfterKeyimgWorkOnTheEditorThatIsAboutToOpen) {
    // A script that closed the main window in an earlier test asked the application to quit,
    // which makes every nested event loop (the editor's) return at once until the application's
    // own loop has run again.
    QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec();
    Start();
    const QString shot = QString::fromStdString((data_ / "editor.png").string());
    EXPECT_TRUE(
        RunScript("keyimg 58\n"
                  "screenshot " +
                  shot.toStdString() +
                  "\n"
                  "page tab_macro_mode_selection 2\n"
                  "click btnCancel\n"));
    const QImage image(shot);
    ASSERT_FALSE(image.isNull());
    EXPECT_NE(image.size(), main_->size());  // the editor, not the main window
    EXPECT_EQ(GetMacroStore().type, 2);      // the page was chosen in the editor
}

class BadStep : public ScenarioRunnerTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(BadStep, StopsTheScript) {
    Start();
    EXPECT_FALSE(RunScript(std::string(GetParam()) + "\nselect cbx_color_effect 5\n"));
    // Nothing after the bad line ran.
    EXPECT_EQ(Find<ui::SComboBox>("cbx_color_effect")->GetCurSel(), 20);
}

INSTANTIATE_TEST_SUITE_P(Lines, BadStep,
                         ::testing::Values("click no_such_control", "slide cbx_color_effect 3",
                                           "select cbx_color_effect 21",
                                           "select cbx_color_effect -1",
                                           "select bar_side_brightness 1",
                                           "page tab_color_effect 4", "text cbx_color_effect x",
                                           "check cbx_color_effect", "keyimg 999", "plug"));

TEST_F(MainDlgTest, SimulatorPanelTypesAndShowsTheLighting) {
    Start();
    SimulatorPanel panel(platform_->sim);
    panel.TypeText("Hi 2");
    EXPECT_EQ(platform_->sim.SystemInput().Text(), "Hi 2");
    EXPECT_TRUE(panel.StateText().contains("Effect 20, brightness 5"));
    Find<ui::SComboBox>("cbx_side_color_effect")->SetCurSel(5);
    EXPECT_TRUE(panel.StateText().contains("mode 5, level 4"));
}

}  // namespace
}  // namespace keylume::test
