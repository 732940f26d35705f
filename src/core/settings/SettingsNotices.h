#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/DataFiles.h"

namespace keylume {

// Something about a settings file that the user has to be told: the stores report here, the
// application shows it. Every notice is traced on the "settings" channel; the sink (a message box
// in the program) gets each kind of notice once per file in a run, so a slider that moves while
// the disk is full gives one message, not hundreds.
struct SettingsNotice {
    enum class Kind {
        // The file could not be read; its bytes were moved aside to `copy` and the store goes on
        // from its defaults (and may write a new file).
        kKeptUnreadable,
        // The file could not be read and is left exactly as it is: the store works in memory
        // and never writes it in this run. `writeProblem` says why no copy was made, if one
        // was tried.
        kLeftUnreadable,
        // A save failed (`writeProblem`); the values stay in memory and the next change tries
        // again.
        kSaveFailed,
    };

    Kind kind = Kind::kSaveFailed;
    std::filesystem::path file;
    std::filesystem::path copy;
    // Why the file could not be read; kRead for a file that was read but is not well-formed.
    platform::ReadStatus readStatus = platform::ReadStatus::kRead;
    // Set for a file that was read whole but held nothing.
    bool empty = false;
    // config.xml: read, never written.
    bool onlyRead = false;
    platform::WriteProblem writeProblem = platform::WriteProblem::kNone;
    // The system's own words (or a link's target), for the trace.
    std::string detail;
};

// Where notices go. Called on the thread that reported (the stores: the UI thread).
using SettingsNoticeSink = std::function<void(const SettingsNotice&)>;
void SetSettingsNoticeSink(SettingsNoticeSink sink);

// Traces the notice and hands it to the sink unless that file already had a notice of the same
// group in this run (the two "could not be read" kinds are one group, failed saves another).
// Without a sink nothing is counted as told.
// Threads: any.
void ReportSettingsNotice(const SettingsNotice& notice);

// Forgets which files were told about (tests, and a new start of the program in one process).
void ForgetSettingsNotices();

}  // namespace keylume
