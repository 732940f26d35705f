#pragma once

#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace keylume::ctl {

// The exit codes of keylumectl.
inline constexpr int kDone = 0;
inline constexpr int kNoKeyboard = 1;
inline constexpr int kUsage = 2;
inline constexpr int kRefused = 3;
// firmware --check: the keyboard answered with another version than the latest one.
inline constexpr int kFirmwareNotLatest = 4;

// The names the window shows for the lighting effects and side-light modes, English and Chinese.
struct ModeName {
    const char* english;
    const char* chinese;
};
std::span<const ModeName> EffectNames();
std::span<const ModeName> SideModeNames();

// The index of `text` among `names`: a number in range, or a name matched without case (ASCII);
// -1 when it is neither.
int FindMode(std::span<const ModeName> names, std::string_view text);

// Runs one keylumectl command line (without the program name). Results go to `out`, errors and
// notices to `err`, one line each. Returns the exit code.
int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err);

}  // namespace keylume::ctl
