#include "ui/MessageBox.h"

#include <QFontMetrics>
#include <vector>

#include "ui/HostWnd.h"
#include "ui/SApplication.h"
#include "ui/TabCtrl.h"

namespace keylume::ui {

namespace {

MessageBoxAnswerHook g_answerHook;
MessageBoxTraceHook g_traceHook;

struct ButtonSet {
    std::vector<std::pair<int, const char*>> buttons;
};

ButtonSet ButtonsFor(unsigned type) {
    switch (type & 0xF) {
        case kMbOkCancel:
            return {{{kIdOk, "OK"}, {kIdCancel, "Cancel"}}};
        case kMbAbortRetryIgnore:
            return {{{kIdAbort, "Abort"}, {kIdRetry, "Retry"}, {kIdIgnore, "Ignore"}}};
        case kMbYesNoCancel:
            return {{{kIdYes, "Yes"}, {kIdNo, "No"}, {kIdCancel, "Cancel"}}};
        case kMbYesNo:
            return {{{kIdYes, "Yes"}, {kIdNo, "No"}}};
        case kMbRetryCancel:
            return {{{kIdRetry, "Retry"}, {kIdCancel, "Cancel"}}};
        default:
            return {{{kIdOk, "OK"}}};
    }
}

QString IconSkin(unsigned type) {
    switch (type & 0xF0) {
        case kMbIconError:
            return "SYS:SYS_ICON_ERROR_png";
        case kMbIconQuestion:
            return "SYS:SYS_ICON_QUESTION_png";
        case kMbIconInformation:
            return "SYS:SYS_ICON_INFO_png";
        default:
            return "SYS:SYS_ICON_WARNING_png";
    }
}

class MessageBoxDialog : public SHostDialog {
  public:
    MessageBoxDialog(const QString& text, const QString& caption, unsigned type)
        : SHostDialog("LAYOUT:SYS_XML_MSGBOX"), text_(text), caption_(caption), type_(type) {}

    bool OnControlEvent(EventArgs& e) override {
        if (e.type != EventType::Command)
            return false;
        if (e.name == "button1st" || e.name == "button2nd" || e.name == "button3rd") {
            EndDialog(static_cast<int>(e.sender->GetUserData()));
            return true;
        }
        if (e.name == "btn_close") {
            EndDialog(CloseAnswer());
            return true;
        }
        return false;
    }

    int CloseAnswer() const {
        ButtonSet set = ButtonsFor(type_);
        return set.buttons.size() == 1 ? set.buttons[0].first : kIdCancel;
    }

  protected:
    std::unique_ptr<XmlNode> LoadLayout() const override {
        auto* app = SApplication::Instance();
        return app ? app->LoadSystemXml("LAYOUT:SYS_XML_MSGBOX") : nullptr;
    }

    bool HandleMessage(unsigned message, std::uintptr_t, std::intptr_t,
                       std::intptr_t& result) override {
        if (message == msg::kClose) {
            EndDialog(CloseAnswer());
            result = 0;
            return true;
        }
        if (message != msg::kInitDialog)
            return false;
        Fill();
        result = 1;
        return true;
    }

  private:
    void Fill() {
        setWindowTitle(TrText(caption_));
        if (SWindow* title = FindChildByName("msgtitle"))
            title->SetWindowText(caption_);
        if (SWindow* icon = FindChildByName("msgicon"))
            icon->SetAttribute("skin", IconSkin(type_));
        SWindow* textCtl = FindChildByName("msgtext");
        if (textCtl) {
            textCtl->SetWindowText(text_);
            // Long texts make the box taller rather than being cut.
            QFontMetrics fm(textCtl->font());
            QRect need = fm.boundingRect(QRect(0, 0, std::max(50, textCtl->width()), 4000),
                                         Qt::TextWordWrap, textCtl->DisplayText());
            int extra = std::clamp(need.height() - textCtl->height(), 0, 600);
            if (extra > 0)
                setFixedSize(width(), height() + extra);
        }
        ButtonSet set = ButtonsFor(type_);
        auto* sw = FindChildByName2<STabCtrl>("btnSwitch");
        SWindow* page = sw ? sw->GetPage(static_cast<int>(set.buttons.size()) - 1) : GetRoot();
        if (sw)
            sw->SetCurSel(static_cast<int>(set.buttons.size()) - 1);
        const char* names[] = {"button1st", "button2nd", "button3rd"};
        for (size_t i = 0; i < set.buttons.size() && page; ++i) {
            if (SWindow* b = page->FindChildByName(names[i])) {
                b->SetWindowText(set.buttons[i].second);
                b->SetUserData(set.buttons[i].first);
            }
        }
    }

    QString text_;
    QString caption_;
    unsigned type_;
};

void Report(const QString& caption, const QString& text, int answer) {
    if (!g_traceHook)
        return;
    auto quote = [](QString s) { return '"' + s.replace('"', "\\\"").replace('\n', "\\n") + '"'; };
    g_traceHook(QString("msgbox %1 %2 -> %3").arg(quote(caption), quote(text), AnswerName(answer)));
}

}  // namespace

void SetMessageBoxAnswerHook(MessageBoxAnswerHook hook) {
    g_answerHook = std::move(hook);
}
void SetMessageBoxTraceHook(MessageBoxTraceHook hook) {
    g_traceHook = std::move(hook);
}

QString AnswerName(int answer) {
    switch (answer) {
        case kIdOk:
            return "ok";
        case kIdCancel:
            return "cancel";
        case kIdAbort:
            return "abort";
        case kIdRetry:
            return "retry";
        case kIdIgnore:
            return "ignore";
        case kIdYes:
            return "yes";
        case kIdNo:
            return "no";
        default:
            return QString::number(answer);
    }
}

int SMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned type) {
    if (g_answerHook) {
        if (std::optional<int> answer = g_answerHook(caption, text, type)) {
            Report(caption, text, *answer);
            return *answer;
        }
    }
    MessageBoxDialog box(text, caption, type);
    int answer = box.DoModal(owner);
    Report(caption, text, answer);
    return answer;
}

}  // namespace keylume::ui
