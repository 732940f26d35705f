#include "app/Application.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QScreen>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>

#include "app/DataLocations.h"
#include "app/DriverSetupConsent.h"
#include "app/LinuxPlatform.h"
#include "app/ScenarioRunner.h"
#include "app/SettingsNoticeBoxes.h"
#include "app/SimulatedPlatform.h"
#include "app/SimulatorPanel.h"
#include "app/SingleInstance.h"
#include "core/drivers/DriverInstaller.h"
#include "core/drivers/VHidev.h"
#include "core/settings/AppConfig.h"
#include "core/settings/DataFolder.h"
#include "core/settings/LedEffectStore.h"
#include "core/settings/MacroStore.h"
#include "core/settings/RecordStore.h"
#include "core/settings/SideLightStore.h"
#include "mainwnd/CMainDlg.h"
#include "platform/DataFiles.h"
#include "platform/NamedLock.h"
#include "platform/Trace.h"
#include "platform/linux/LinuxProcess.h"
#include "platform/linux/RootOnlyPath.h"
#include "ui/HostWnd.h"
#include "ui/MessageBox.h"
#include "ui/SApplication.h"
#include "ui/ShellNotifyIcon.h"

namespace keylume {

namespace {

constexpr int kNoSafeRunExitCode = 3;

// The window a stop signal closes; guarded so that it is never posted to once it is gone.
std::mutex g_stopMutex;
CMainDlg* g_stopTarget = nullptr;
bool g_stopRequested = false;

void WatchStopSignalsTarget(CMainDlg* target) {
    std::lock_guard lock(g_stopMutex);
    g_stopTarget = target;
    // A signal that came during start-up (perhaps while a message box had its own loop) still
    // ends the program once its window exists.
    if (target != nullptr && g_stopRequested)
        target->PostMessage(ui::msg::kClose);
}

void OnStopSignal(int) {
    // No key the program typed stays pressed, whatever happens next.
    VHidev::Instance().ReleaseAll();
    std::lock_guard lock(g_stopMutex);
    g_stopRequested = true;
    if (g_stopTarget != nullptr) {
        g_stopTarget->PostMessage(ui::msg::kClose);
    } else if (QCoreApplication::instance() != nullptr) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    }
}

void Fatal(const std::string& message) {
    std::fprintf(stderr, "keylume: %s\n", message.c_str());
}

std::unique_ptr<platform::Platform> MakePlatform(const CommandLine& cl,
                                                 const std::filesystem::path& configFile) {
    if (cl.simulate) {
        SimulatedPlatform::Options options;
        options.keyboardPlugged = !cl.simAbsent;
        options.firmwareMajor = static_cast<std::uint8_t>(cl.simFirmwareMajor);
        options.firmwareMinor = static_cast<std::uint8_t>(cl.simFirmwareMinor);
        return std::make_unique<SimulatedPlatform>(options);
    }
    // The filter has to know which keyboard to sit in front of before the settings are read.
    AppConfig config;
    config.Load(configFile);
    return std::make_unique<LinuxPlatform>(static_cast<std::uint16_t>(config.vid),
                                           static_cast<std::uint16_t>(config.pid));
}

// The running instance was asked to come forward by a later start.
void ShowInstanceWindows(const QByteArray& property) {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (property.isEmpty() || !w->property(property.constData()).isValid())
            continue;
        if (w->isMinimized())
            w->showNormal();
        if (!w->isVisible())
            w->show();
        w->raise();
        w->activateWindow();
    }
}

}  // namespace

bool WatchForStopSignals() {
    // A second stop signal during shutdown ends the process at once, but not with a key held.
    return platform::WatchStopSignals(OnStopSignal, [] { VHidev::Instance().ReleaseAll(); });
}

int RunApplication(const CommandLine& cl, const char* programPath) {
    if (platform::RunsAsAdministrator())
        Fatal(
            "should not run as root: it needs no root rights (the driver set-up asks for them "
            "itself), and new settings files would belong to root");
    // Without the instance lock and the device operation locks two programs could drive the
    // keyboard at once, or another user could answer on our socket: no run without them.
    if (const std::string problem = platform::SystemNamedLocks().Problem(); !problem.empty()) {
        Fatal(problem);
        return kNoSafeRunExitCode;
    }
    if (!cl.traceFile.empty() && !platform::Trace::OpenFile(cl.traceFile)) {
        Fatal("cannot write the trace file " + cl.traceFile);
        return ScenarioRunner::kFailureExitCode;
    }
    std::optional<std::vector<ScenarioStep>> steps;
    if (!cl.scriptFile.empty()) {
        QFile file(QString::fromStdString(cl.scriptFile));
        if (!file.open(QIODevice::ReadOnly)) {
            Fatal("cannot read the script " + cl.scriptFile);
            return ScenarioRunner::kFailureExitCode;
        }
        std::string error;
        steps = ParseScenario(file.readAll().toStdString(), error);
        if (!steps) {
            Fatal(cl.scriptFile + ": " + error);
            return ScenarioRunner::kFailureExitCode;
        }
    }

    // Where the program lives decides where its resources and the user's files are.
    platform::LinuxProgramFolder folderProbe;
    const std::string programFolder = folderProbe.ExecutableFolder();
    // Paths given on the command line mean what they meant where the program was started.
    std::error_code ec;
    const std::filesystem::path startFolder = std::filesystem::current_path(ec);
    const DataLocations where = ResolveDataLocations(
        programFolder,
        cl.dataDir.empty() ? std::filesystem::path() : std::filesystem::absolute(cl.dataDir, ec));
    if (where.installed) {
        if (const std::string problem = CreatePrivateFolder(where.settings); !problem.empty())
            Fatal(problem + "; settings will not be kept");
    }
    const std::filesystem::path& dataFolder = where.settings;
    std::unique_ptr<platform::Platform> platform = MakePlatform(cl, where.config);
    auto* sim = dynamic_cast<SimulatedPlatform*>(platform.get());

    // Drivers first: nothing may touch the virtual keyboard before it is known to be there. A
    // missing one is set up later, once the user can be asked (see below).
    VHidev& vhidev = VHidev::Instance();
    DriverInstallation drivers{vhidev, platform->Hid(), platform->Processes(), platform->Folder(),
                               LinuxDriverTool()};
    bool setUpDrivers = false;
    drivers.mayRun = [&setUpDrivers](const std::string&) {
        setUpDrivers = true;
        return false;
    };
    EnsureVirtualKeyboard(drivers, where.driverFolder.string());
    vhidev.ReleaseAll();

    std::filesystem::current_path(where.resourceBase, ec);

    int qtArgc = 1;
    char* qtArgv[] = {const_cast<char*>(programPath), nullptr};
    QApplication qt(qtArgc, qtArgv);
    QApplication::setQuitOnLastWindowClosed(false);

    int exitCode = 0;
    {
        ui::SApplication app;
        app.SetProgramFolder(QString::fromStdString(where.resourceBase.string()));
        auto files = std::make_shared<ui::SResProviderFiles>();
        files->Init(QString::fromStdString((where.resourceBase / "uires").string()));
        app.InitNamedIds(ui::KeylumeNamedIds());
        app.AddResProvider(files, "uidef:xml_init");
        auto system = std::make_shared<ui::SResProviderFiles>();
        system->Init(ui::SApplication::SystemResourceFolder());
        app.LoadSystemResources(system);

        // What the stores cannot read or save is told in message boxes from here on.
        SettingsNoticeBoxes settingsNotices;
        SetDataFolder(dataFolder);
        RemoveStrayTemporaryFiles();
        GetAppConfig().Load(where.config);
        const char* language = GetAppConfig().chineseUi ? "lang_cn" : "lang_en";
        const bool languageLoaded = app.LoadLanguage(language);
        platform::Trace::Write(
            "app", std::string("language ") + language + (languageLoaded ? "" : " (not found)"));
        app.ApplyTheme();

        ui::RegisterExtensionControls(app.Registry());
        RegisterCoordButtonImage(app.Registry());

        GetMacroStore().Load(DataFilePath("macro.xml"));
        GetRecordStore().Load(DataFilePath("record.xml"));
        GetSideLightStore().Load(DataFilePath("sidemodel.xml"));
        GetLedEffectStore().Load(DataFilePath("ledeffect.xml"));

        ui::SetMessageBoxTraceHook(
            [](const QString& line) { platform::Trace::Write("ui", line.toStdString()); });

        const QString instanceName = app.GetStringByIndex(0);
        SingleInstance instance(platform->Locks(), instanceName);
        const SingleInstance::Claim claim = instance.Acquire();
        if (claim == SingleInstance::Claim::kAnotherRuns) {
            const bool answered = instance.AskFirstToShow();
            platform::Trace::Write("app", answered ? "second instance: first one shown"
                                                   : "second instance: first one did not answer");
            ui::SetMessageBoxTraceHook(nullptr);
            // Nothing of this process may outlive it or touch a file on the way out.
            std::fflush(nullptr);
            std::_Exit(0);
        }
        if (claim == SingleInstance::Claim::kNoLock) {
            Fatal(platform::SystemNamedLocks().Problem());
            ui::SetMessageBoxTraceHook(nullptr);
            return kNoSafeRunExitCode;
        }

        // The driver set-up asks the user first, so it runs once the toolkit can show a message
        // box, and only in the one instance that goes on.
        if (setUpDrivers) {
            DriverSetupConsent consent(
                [](const std::string& tool) { return platform::WhyNotRootOnly(tool); },
                [](const std::string& question) {
                    return ui::SMessageBox(nullptr, QString::fromStdString(question), "Warning",
                                           ui::kMbYesNo | ui::kMbIconQuestion) == ui::kIdYes;
                },
                [&app](const std::string& message) {
                    // The command after the text is the same in every language.
                    const auto cut = std::min(message.find("\n\n"), message.size());
                    const QString text =
                        app.Translator().Tr(QString::fromStdString(message.substr(0, cut))) +
                        QString::fromStdString(message.substr(cut));
                    ui::SMessageBox(nullptr, text, "Warning", ui::kMbOk | ui::kMbIconWarning);
                });
            drivers.mayRun = [&consent](const std::string& tool) { return consent.MayRun(tool); };
            if (EnsureVirtualKeyboard(drivers, where.driverFolder.string()))
                vhidev.ReleaseAll();
            drivers.mayRun = nullptr;
        }

        {
            CMainDlg main(*platform, vhidev);
            // A script answers the message boxes from the first one on.
            std::unique_ptr<ScenarioRunner> runner;
            if (steps)
                runner = std::make_unique<ScenarioRunner>(
                    std::move(*steps), main, sim, QString::fromStdString(startFolder.string()));
            main.Create(nullptr);
            app.SetMainWindow(&main);
            WatchStopSignalsTarget(&main);
            main.SendMessage(ui::msg::kInitDialog);
            main.CenterWindow();

            std::unique_ptr<SimulatorPanel> panel;
            if (!main.IsWindow()) {
                // Destroyed while initialising: the loop would only pick up the quit that the
                // destruction posted, which a message box's own loop may already have taken.
                exitCode = 1;
            } else {
                // Hidden in the tray; without a tray, minimised, so that it can still be found.
                const bool tray = ui::SystemTrayAvailable();
                if (!cl.StartHidden())
                    main.show();
                else if (!tray)
                    main.showMinimized();
                platform::Trace::Write("app", !cl.StartHidden() ? "window shown"
                                              : tray            ? "window hidden"
                                                                : "window minimised (no tray)");
                const QByteArray property = instanceName.toUtf8();
                instance.Listen([property, &main] {
                    platform::Trace::Write("app", "asked to show");
                    ShowInstanceWindows(property);
                    if (main.isVisible())
                        platform::Trace::Write("app", "window shown");
                });
                if (sim != nullptr && !runner) {
                    panel = std::make_unique<SimulatorPanel>(*sim);
                    // Beside the window when there is room, else over it, but on the screen.
                    QPoint at = main.geometry().topRight() + QPoint(12, 0);
                    if (const QScreen* screen = main.screen()) {
                        const QRect area = screen->availableGeometry();
                        const QSize size = panel->sizeHint().expandedTo(panel->size());
                        at.setX(std::max(area.left(),
                                         std::min(at.x(), area.right() + 1 - size.width())));
                        at.setY(std::max(area.top(),
                                         std::min(at.y(), area.bottom() + 1 - size.height())));
                    }
                    panel->move(at);
                    panel->show();
                }
                if (runner)
                    runner->Start();
                exitCode = app.Run(&main);
            }
            if (main.IsWindow())
                main.DestroyWindow();
            if (runner && runner->Failed())
                exitCode = ScenarioRunner::kFailureExitCode;
            WatchStopSignalsTarget(nullptr);
            panel.reset();
            runner.reset();
        }
        ui::SetMessageBoxTraceHook(nullptr);
        platform::Trace::Write("app", "exit " + std::to_string(exitCode));
    }
    // The virtual keyboard lets go of its device before the devices go away.
    vhidev.Close();
    return exitCode;
}

}  // namespace keylume
