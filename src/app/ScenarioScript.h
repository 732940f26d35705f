#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace keylume {

// One line of a scenario: what a user (or the keyboard) does next. Names are resolved when the
// step runs, against the dialog that is open then, or else the main window.
struct ScenarioStep {
    enum class Verb {
        Wait,      // number: milliseconds
        Click,     // name
        Select,    // name, number: item index
        Slide,     // name, number: position
        Check,     // name
        Uncheck,   // name
        Page,      // name, number: page index
        Text,      // name, text: the rest of the line
        Command,   // number: command ID
        Answer,    // number: 1 ok, 2 cancel
        KeyImage,  // number: usage id of a key on the keyboard picture
        KeyDown,   // usage
        KeyUp,     // usage
        KeyTap,    // usage
        Unplug,
        Plug,
        Screenshot,  // text: file
        Quit,
    };

    int line = 0;
    Verb verb = Verb::Wait;
    std::string name;
    long number = 0;
    std::string text;
    std::uint32_t usage = 0;  // usage page << 16 | usage id
};

inline constexpr long kAnswerOk = 1;
inline constexpr long kAnswerCancel = 2;

// Parses a whole scenario. Blank lines and lines starting with '#' are skipped. The first line
// that cannot be understood ends the parse: nothing is returned and `error` says which line and
// why ("line 3: slide needs NAME POS"). Numbers must fit an int (a wait is a timer's interval);
// names and screenshot files may hold no control bytes; what the error echoes is escaped.
std::optional<std::vector<ScenarioStep>> ParseScenario(std::string_view script, std::string& error);

// `text` fit to be shown in a message on a terminal: control bytes, C1 controls and bytes that are
// not UTF-8 become \xNN; the rest stays as it is.
std::string EscapeForMessage(std::string_view text);

// A key given as hexadecimal usage code ("0x70004") or as a name of the key name table ("A",
// "Caps Lock"). Nothing when it is neither.
std::optional<std::uint32_t> ParseUsage(std::string_view text);

}  // namespace keylume
