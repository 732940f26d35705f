#include "app/ScenarioRunner.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QTimer>
#include <cstdio>

#include "app/SimulatedPlatform.h"
#include "mainwnd/CMainDlg.h"
#include "ui/Buttons.h"
#include "ui/InputControls.h"
#include "ui/ListView.h"
#include "ui/MessageBox.h"
#include "ui/SApplication.h"
#include "ui/TabCtrl.h"

namespace keylume {

namespace {

// Key events go to the filter reader thread; give it a moment to hand them on.
constexpr int kKeySettleMs = 30;
// How often a step that waits for its window or control looks again.
constexpr int kAddressPollMs = 10;

bool NamesAControl(ScenarioStep::Verb verb) {
    using Verb = ScenarioStep::Verb;
    switch (verb) {
        case Verb::Click:
        case Verb::Select:
        case Verb::Slide:
        case Verb::Check:
        case Verb::Uncheck:
        case Verb::Page:
        case Verb::Text:
            return true;
        default:
            return false;
    }
}

// Shown as far as its window goes: a main window left hidden in the tray is still scripted, and so
// are the controls of a tab page that is not in front (the page hides them, not the program's
// state; the lighting panel sets such sliders itself).
bool ShownInItsWindow(const QWidget* w, const QWidget* window) {
    for (const QWidget* p = w; p != nullptr && p != window; p = p->parentWidget()) {
        if (!p->isVisibleTo(p->parentWidget()) && dynamic_cast<const ui::STabPage*>(p) == nullptr)
            return false;
    }
    return true;
}

bool AddressesAWindow(ScenarioStep::Verb verb) {
    return NamesAControl(verb) || verb == ScenarioStep::Verb::Answer ||
           verb == ScenarioStep::Verb::Screenshot;
}

bool HasNamedEntry(const ui::XmlNode& node, const QString& name) {
    if (node.Attribute("name") == name)
        return true;
    for (const auto& child : node.children) {
        if (HasNamedEntry(*child, name))
            return true;
    }
    return false;
}

// Named controls of the menus reach the main window's event handling by name.
bool IsMenuEntry(const QString& name) {
    auto* app = ui::SApplication::Instance();
    if (app == nullptr)
        return false;
    for (const char* menu : {"smenuex:menu_more", "smenu:menu_tray"}) {
        if (auto root = app->LoadXml(menu); root && HasNamedEntry(*root, name))
            return true;
    }
    return false;
}

QString NoControl(const QString& name) {
    return QString("no control named \"%1\"").arg(name);
}

QString WrongClass(const QString& name, const char* wanted) {
    return QString("\"%1\" is not a %2").arg(name, wanted);
}

}  // namespace

ScenarioRunner::ScenarioRunner(std::vector<ScenarioStep> steps, CMainDlg& main,
                               SimulatedPlatform* sim, QString baseFolder)
    : steps_(std::move(steps)), main_(main), sim_(sim), baseFolder_(std::move(baseFolder)) {
    ui::SetMessageBoxAnswerHook([this](const QString&, const QString&, unsigned) {
        int answer = ui::kIdOk;
        if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        }
        return std::optional<int>(answer);
    });
}

ScenarioRunner::~ScenarioRunner() {
    ui::SetMessageBoxAnswerHook(nullptr);
}

void ScenarioRunner::Start() {
    ScheduleNext(0);
}

void ScenarioRunner::ScheduleNext(int delayMs) {
    QTimer::singleShot(delayMs, [this] { RunNext(); });
}

ui::SHostWnd& ScenarioRunner::Host() const {
    if (auto* dialog = dynamic_cast<ui::SHostDialog*>(QApplication::activeModalWidget())) {
        if (dialog->IsModal())
            return *dialog;
    }
    return main_;
}

void ScenarioRunner::RunNext() {
    if (failed_ || finished_ || !main_.IsWindow())
        return;
    if (next_ >= steps_.size()) {
        finished_ = true;
        Click(main_, "btn_close");
        return;
    }
    const ScenarioStep& step = steps_[next_];
    if (!Addressable(step)) {
        if (!addressWait_.isValid())
            addressWait_.start();
        if (!addressWait_.hasExpired(kAddressWaitMs)) {
            ScheduleNext(kAddressPollMs);
            return;
        }
    }
    addressWait_.invalidate();
    ++next_;
    int delayMs = 0;
    const QString error = Run(step, delayMs);
    if (!error.isEmpty()) {
        Fail(step, error);
        return;
    }
    // What the step caused is delivered before the next step runs.
    QCoreApplication::sendPostedEvents();
    if (sim_ != nullptr)
        sim_->Broadcasts().DispatchPending();
    ScheduleNext(delayMs);
}

bool ScenarioRunner::WindowOpening() const {
    return main_.KeyEditorRequested() && &Host() == &main_;
}

bool ScenarioRunner::Addressable(const ScenarioStep& step) const {
    if (!AddressesAWindow(step.verb))
        return true;
    if (WindowOpening())
        return false;
    if (!NamesAControl(step.verb))
        return true;
    ui::SHostWnd& host = Host();
    const QString name = QString::fromStdString(step.name);
    if (const ui::SWindow* w = host.FindChildByName(name))
        return ShownInItsWindow(w, &host);
    return step.verb == ScenarioStep::Verb::Click && &host == &main_ && IsMenuEntry(name);
}

void ScenarioRunner::Fail(const ScenarioStep& step, const QString& why) {
    failed_ = true;
    std::fprintf(stderr, "keylume: script line %d: %s\n", step.line, qPrintable(why));
    std::fflush(stderr);
    QCoreApplication::exit(kFailureExitCode);
}

QString ScenarioRunner::Click(ui::SHostWnd& host, const QString& name) {
    if (ui::SWindow* w = host.FindChildByName(name)) {
        if (auto* button = dynamic_cast<ui::SButton*>(w)) {
            button->Click();
        } else {
            w->FireSimple(ui::EventType::Command);
        }
        return {};
    }
    if (&host == &main_ && IsMenuEntry(name)) {
        ui::EventArgs e;
        e.type = ui::EventType::Command;
        e.name = name;
        main_.OnControlEvent(e);
        return {};
    }
    return NoControl(name);
}

QString ScenarioRunner::Run(const ScenarioStep& step, int& delayMs) {
    using Verb = ScenarioStep::Verb;
    ui::SHostWnd& host = Host();
    const QString name = QString::fromStdString(step.name);
    auto find = [&]() { return host.FindChildByName(name); };
    auto needSim = [&]() -> QString {
        return sim_ == nullptr ? QString("needs the built-in keyboard (--simulate)") : QString();
    };
    switch (step.verb) {
        case Verb::Wait:
            delayMs = static_cast<int>(step.number);
            return {};
        case Verb::Click:
            return Click(host, name);
        case Verb::Quit:
            finished_ = true;
            return Click(main_, "btn_close");
        case Verb::Select: {
            ui::SWindow* w = find();
            if (w == nullptr)
                return NoControl(name);
            if (auto* combo = dynamic_cast<ui::SComboBox*>(w)) {
                if (step.number < 0 || step.number >= combo->GetCount())
                    return QString("\"%1\" has no item %2").arg(name).arg(step.number);
                combo->SetCurSel(static_cast<int>(step.number));
                return {};
            }
            if (auto* list = dynamic_cast<ui::SListView*>(w)) {
                list->ClickRow(static_cast<int>(step.number));
                return {};
            }
            return WrongClass(name, "combobox or list");
        }
        case Verb::Slide: {
            ui::SWindow* w = find();
            if (w == nullptr)
                return NoControl(name);
            auto* slider = dynamic_cast<ui::SSliderBar*>(w);
            if (slider == nullptr)
                return WrongClass(name, "sliderbar");
            slider->MoveByUser(static_cast<int>(step.number));
            return {};
        }
        case Verb::Check:
        case Verb::Uncheck: {
            ui::SWindow* w = find();
            if (w == nullptr)
                return NoControl(name);
            const bool want = step.verb == Verb::Check;
            if (auto* radio = dynamic_cast<ui::SRadioBox*>(w)) {
                if (want) {
                    radio->Click();
                } else {
                    radio->SetCheck(false);
                }
                return {};
            }
            if (auto* check = dynamic_cast<ui::SCheckBox*>(w)) {
                if (check->IsChecked() != want)
                    check->Click();
                return {};
            }
            return WrongClass(name, "check box or radio");
        }
        case Verb::Page: {
            ui::SWindow* w = find();
            if (w == nullptr)
                return NoControl(name);
            auto* tabs = dynamic_cast<ui::STabCtrl*>(w);
            if (tabs == nullptr)
                return WrongClass(name, "tabctrl");
            if (step.number < 0 || step.number >= tabs->GetItemCount())
                return QString("\"%1\" has no page %2").arg(name).arg(step.number);
            tabs->SetCurSel(static_cast<int>(step.number));
            return {};
        }
        case Verb::Text: {
            ui::SWindow* w = find();
            if (w == nullptr)
                return NoControl(name);
            auto* edit = dynamic_cast<ui::SEdit*>(w);
            if (edit == nullptr)
                return WrongClass(name, "edit");
            edit->SetWindowText(QString::fromStdString(step.text));
            return {};
        }
        case Verb::Command:
            main_.SendMessage(ui::msg::kCommand, static_cast<std::uintptr_t>(step.number));
            return {};
        case Verb::Answer:
            answers_.push_back(step.number == kAnswerCancel ? ui::kIdCancel : ui::kIdOk);
            return {};
        case Verb::KeyImage: {
            auto* image = main_.FindChildByName2<CoordButtonImage>("img_keyboard");
            if (image == nullptr)
                return NoControl("img_keyboard");
            CoordKey key;
            if (!image->GetKeyInfo(static_cast<std::int32_t>(step.number), &key))
                return QString("the keyboard picture has no key %1").arg(step.number);
            const int x = (key.left + key.right) / 2;
            const int y = (key.top + key.bottom) / 2;
            image->PressAt(x, y, 1);
            image->ReleaseAt(x, y, 1);
            return {};
        }
        case Verb::KeyDown:
        case Verb::KeyUp:
        case Verb::KeyTap: {
            if (QString e = needSim(); !e.isEmpty())
                return e;
            const auto page = static_cast<std::uint16_t>(step.usage >> 16);
            const auto usage = static_cast<std::uint16_t>(step.usage & 0xFFFF);
            if (step.verb == Verb::KeyTap) {
                sim_->KeyFilter().TapKey(page, usage);
            } else {
                sim_->KeyFilter().InjectKey(page, usage, step.verb == Verb::KeyDown);
            }
            delayMs = kKeySettleMs;
            return {};
        }
        case Verb::Unplug:
        case Verb::Plug: {
            if (QString e = needSim(); !e.isEmpty())
                return e;
            const bool ok =
                step.verb == Verb::Plug ? sim_->Keyboard().Plug() : sim_->Keyboard().Unplug();
            if (!ok)
                return step.verb == Verb::Plug ? "the keyboard is plugged in already"
                                               : "the keyboard is not plugged in";
            return {};
        }
        case Verb::Screenshot: {
            QString file = QString::fromStdString(step.text);
            if (QDir::isRelativePath(file) && !baseFolder_.isEmpty())
                file = QDir(baseFolder_).filePath(file);
            if (!host.grab().save(file))
                return QString("cannot write the screenshot \"%1\"").arg(file);
            return {};
        }
    }
    return "unknown step";
}

}  // namespace keylume
