#pragma once

#include <QElapsedTimer>
#include <QString>
#include <deque>
#include <functional>
#include <vector>

#include "app/ScenarioScript.h"

namespace keylume {

class CMainDlg;
class SimulatedPlatform;

namespace ui {
class SHostWnd;
}

// Plays a scenario against the running program, one step after the previous one was handled:
// each step runs from the event loop once the events the previous step caused (posted messages,
// device broadcasts) have been delivered. Names resolve in the modal dialog when one is open,
// else in the main window. Message boxes are answered from the script ("answer"), OK when no
// answer is queued.
//
// A step that names a control waits until the control exists and is visible, and such a step,
// "answer" and "screenshot" wait while a window is about to open (the editor opens on a timer
// after the click on the keyboard picture): up to kAddressWaitMs, after which the step is tried
// as it stands.
//
// A step that cannot be carried out stops the script with a message on standard error and ends
// the program with exit code 2. When the script ends the program closes as with "quit".
// Threads: UI thread only.
class ScenarioRunner {
  public:
    static constexpr int kFailureExitCode = 2;
    static constexpr int kAddressWaitMs = 2000;

    // `sim` may be null (real devices): key and plug steps then fail. Relative screenshot paths
    // are taken from `baseFolder`.
    ScenarioRunner(std::vector<ScenarioStep> steps, CMainDlg& main, SimulatedPlatform* sim,
                   QString baseFolder = {});
    ~ScenarioRunner();
    ScenarioRunner(const ScenarioRunner&) = delete;
    ScenarioRunner& operator=(const ScenarioRunner&) = delete;

    void Start();
    bool Failed() const { return failed_; }

  private:
    void ScheduleNext(int delayMs);
    void RunNext();
    // False while the window or the control the step addresses is not there yet.
    bool Addressable(const ScenarioStep& step) const;
    bool WindowOpening() const;
    // Empty when the step was carried out, else what went wrong.
    QString Run(const ScenarioStep& step, int& delayMs);
    QString Click(ui::SHostWnd& host, const QString& name);
    void Fail(const ScenarioStep& step, const QString& why);
    ui::SHostWnd& Host() const;

    std::vector<ScenarioStep> steps_;
    std::size_t next_ = 0;
    CMainDlg& main_;
    SimulatedPlatform* sim_;
    QString baseFolder_;
    std::deque<int> answers_;
    bool failed_ = false;
    bool finished_ = false;
    QElapsedTimer addressWait_;  // running while the next step waits for what it addresses
};

}  // namespace keylume
