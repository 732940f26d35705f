#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

namespace keylume::ui {

// Button sets and icons of a message box (the values follow the Windows ones).
inline constexpr unsigned kMbOk = 0x0, kMbOkCancel = 0x1, kMbAbortRetryIgnore = 0x2,
                          kMbYesNoCancel = 0x3, kMbYesNo = 0x4, kMbRetryCancel = 0x5;
inline constexpr unsigned kMbIconError = 0x10, kMbIconQuestion = 0x20, kMbIconWarning = 0x30,
                          kMbIconInformation = 0x40;

// A modal message box built from the executable's "SYS_XML_MSGBOX" layout (controls "msgtitle",
// "msgicon", "msgtext", and "btnSwitch" whose pages hold one to three of "button1st",
// "button2nd", "button3rd"). Caption and text go through the translator. Returns the chosen
// button (kIdOk, kIdCancel, kIdYes, ...); closing the box gives kIdCancel, or kIdOk when OK is
// the only button.
int SMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned type);

// While a script drives the program, it answers message boxes: the hook gets the untranslated
// caption and text and returns the answer, or nothing to let the user answer.
using MessageBoxAnswerHook =
    std::function<std::optional<int>(const QString& caption, const QString& text, unsigned type)>;
void SetMessageBoxAnswerHook(MessageBoxAnswerHook hook);

// Every answered box is reported as one line: msgbox "<caption>" "<text>" -> <answer>, with the
// untranslated caption and text; the program writes it to its trace on the channel "ui".
using MessageBoxTraceHook = std::function<void(const QString& line)>;
void SetMessageBoxTraceHook(MessageBoxTraceHook hook);

// "ok", "cancel", "abort", "retry", "ignore", "yes", "no", or the number.
QString AnswerName(int answer);

}  // namespace keylume::ui
