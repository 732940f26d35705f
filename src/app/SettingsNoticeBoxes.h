#pragma once

#include <QString>

#include "core/settings/SettingsNotices.h"

namespace keylume {

// The message that tells the user about `notice`, in the current language: which file, what
// happened to it in plain words, and what the program does about it.
QString SettingsNoticeText(const SettingsNotice& notice);

// While it lives, every settings notice becomes a "Warning" message box, shown from the event
// loop (never from inside the save that failed, which may run in the middle of a slider's move)
// and traced like every message box. Notices that come before the loop runs wait for it.
// Threads: created and destroyed on the UI thread, after the QApplication exists; notices may come
// from any thread.
class SettingsNoticeBoxes {
  public:
    SettingsNoticeBoxes();
    ~SettingsNoticeBoxes();
    SettingsNoticeBoxes(const SettingsNoticeBoxes&) = delete;
    SettingsNoticeBoxes& operator=(const SettingsNoticeBoxes&) = delete;
};

}  // namespace keylume
