#include "app/ScenarioScript.h"

#include <charconv>
#include <climits>
#include <cstdio>
#include <map>

#include "core/macros/KeyNameTable.h"

namespace keylume {

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

// Splits off the first blank-separated word.
std::string_view NextWord(std::string_view& s) {
    s = Trim(s);
    const auto end = s.find_first_of(" \t");
    const auto word = s.substr(0, end);
    s = end == std::string_view::npos ? std::string_view{} : s.substr(end + 1);
    return word;
}

std::optional<long> Number(std::string_view text) {
    long value = 0;
    const auto* first = text.data();
    const auto* last = text.data() + text.size();
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        first += 2;
        base = 16;
    }
    const auto [ptr, ec] = std::from_chars(first, last, value, base);
    if (ec != std::errc{} || ptr != last || first == last)
        return std::nullopt;
    return value;
}

bool HasControlByte(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F)
            return true;
    }
    return false;
}

}  // namespace

std::string EscapeForMessage(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    auto escape = [&out](unsigned char byte) {
        char hex[5];
        std::snprintf(hex, sizeof hex, "\\x%02x", byte);
        out += hex;
    };
    while (i < text.size()) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if (byte < 0x20 || byte == 0x7F)
                escape(byte);
            else
                out += static_cast<char>(byte);
            ++i;
            continue;
        }
        // A well-formed UTF-8 sequence stays as it is, except the C1 controls (U+0080..U+009F),
        // which terminals act on like the C0 ones.
        std::size_t length = byte >= 0xF0 && byte <= 0xF4   ? 4
                             : byte >= 0xE0 && byte <= 0xEF ? 3
                             : byte >= 0xC2 && byte <= 0xDF ? 2
                                                            : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (valid && length == 3) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            // No overlong forms and no UTF-16 surrogates.
            valid = !(byte == 0xE0 && second < 0xA0) && !(byte == 0xED && second >= 0xA0);
        } else if (valid && length == 4) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            valid = !(byte == 0xF0 && second < 0x90) && !(byte == 0xF4 && second >= 0x90);
        }
        const bool c1 =
            valid && length == 2 && byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0;
        if (!valid || c1) {
            escape(byte);
            ++i;
            continue;
        }
        out.append(text.substr(i, length));
        i += length;
    }
    return out;
}

std::optional<std::uint32_t> ParseUsage(std::string_view text) {
    text = Trim(text);
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        const auto n = Number(text);
        if (!n || *n < 0 || *n > 0xFFFFFFFFL)
            return std::nullopt;
        return static_cast<std::uint32_t>(*n);
    }
    for (const auto& row : KeyNameTable()) {
        std::wstring_view name = row.name;
        if (name.size() != text.size() || name.empty())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) {
            same = static_cast<wchar_t>(static_cast<unsigned char>(text[i])) == name[i];
        }
        if (same)
            return row.usage;
    }
    return std::nullopt;
}

std::optional<std::vector<ScenarioStep>> ParseScenario(std::string_view script,
                                                       std::string& error) {
    using Verb = ScenarioStep::Verb;
    enum class Shape { None, Number, Name, NameNumber, NameText, Answer, Key, File };
    static const std::map<std::string_view, std::pair<Verb, Shape>> verbs = {
        {"wait", {Verb::Wait, Shape::Number}},
        {"click", {Verb::Click, Shape::Name}},
        {"select", {Verb::Select, Shape::NameNumber}},
        {"slide", {Verb::Slide, Shape::NameNumber}},
        {"check", {Verb::Check, Shape::Name}},
        {"uncheck", {Verb::Uncheck, Shape::Name}},
        {"page", {Verb::Page, Shape::NameNumber}},
        {"text", {Verb::Text, Shape::NameText}},
        {"command", {Verb::Command, Shape::Number}},
        {"answer", {Verb::Answer, Shape::Answer}},
        {"keyimg", {Verb::KeyImage, Shape::Number}},
        {"key", {Verb::KeyTap, Shape::Key}},
        {"unplug", {Verb::Unplug, Shape::None}},
        {"plug", {Verb::Plug, Shape::None}},
        {"screenshot", {Verb::Screenshot, Shape::File}},
        {"quit", {Verb::Quit, Shape::None}},
    };
    static const char* usageOf[] = {
        "",          "a number",          "NAME", "NAME NUMBER", "NAME VALUE",
        "ok|cancel", "down|up|tap USAGE", "FILE"};

    std::vector<ScenarioStep> steps;
    int lineNumber = 0;
    std::size_t position = 0;
    while (position < script.size()) {
        ++lineNumber;
        const auto newline = script.find('\n', position);
        const std::size_t end = newline == std::string_view::npos ? script.size() : newline;
        const std::string_view trimmed = Trim(script.substr(position, end - position));
        position = end + 1;
        if (trimmed.empty() || trimmed.front() == '#')
            continue;
        std::string_view rest = trimmed;
        const std::string_view word = NextWord(rest);
        const auto found = verbs.find(word);
        auto fail = [&](const std::string& why) {
            error = "line " + std::to_string(lineNumber) + ": " + why;
            return std::nullopt;
        };
        if (found == verbs.end())
            return fail("unknown command \"" + EscapeForMessage(word) + "\"");
        ScenarioStep step;
        step.line = lineNumber;
        step.verb = found->second.first;
        const Shape shape = found->second.second;
        const std::string expected = std::string(word) + " needs " +
                                     (word == "wait"           ? "MS"
                                      : shape == Shape::Number ? "ID"
                                                               : usageOf[static_cast<int>(shape)]);
        switch (shape) {
            case Shape::None:
                if (!Trim(rest).empty())
                    return fail(std::string(word) + " takes no argument");
                break;
            case Shape::Number: {
                const auto n = Number(NextWord(rest));
                if (!n || !Trim(rest).empty() || *n < 0)
                    return fail(expected);
                // A wait is a timer's interval and an ID an int: a larger number would wrap
                // (a wait of 2147483648 ms never ended).
                if (*n > INT_MAX)
                    return fail(expected + " from 0 to " + std::to_string(INT_MAX));
                step.number = *n;
                break;
            }
            case Shape::Name:
                step.name = std::string(NextWord(rest));
                if (step.name.empty() || !Trim(rest).empty())
                    return fail(expected);
                break;
            case Shape::NameNumber: {
                step.name = std::string(NextWord(rest));
                const auto n = Number(NextWord(rest));
                if (step.name.empty() || !n || !Trim(rest).empty())
                    return fail(expected);
                // Items, positions and pages are ints: a larger number would pick another one.
                if (*n > INT_MAX || *n < INT_MIN)
                    return fail(expected + " from " + std::to_string(INT_MIN) + " to " +
                                std::to_string(INT_MAX));
                step.number = *n;
                break;
            }
            case Shape::NameText:
                step.name = std::string(NextWord(rest));
                if (step.name.empty())
                    return fail(expected);
                step.text = std::string(Trim(rest));
                break;
            case Shape::Answer: {
                const auto a = NextWord(rest);
                if (a == "ok") {
                    step.number = kAnswerOk;
                } else if (a == "cancel") {
                    step.number = kAnswerCancel;
                } else {
                    return fail(expected);
                }
                if (!Trim(rest).empty())
                    return fail(expected);
                break;
            }
            case Shape::Key: {
                const auto how = NextWord(rest);
                if (how == "down") {
                    step.verb = Verb::KeyDown;
                } else if (how == "up") {
                    step.verb = Verb::KeyUp;
                } else if (how != "tap") {
                    return fail(expected);
                }
                const auto usage = ParseUsage(rest);
                if (!usage) {
                    return fail("unknown key \"" + EscapeForMessage(Trim(rest)) +
                                "\" (a hex usage like 0x70004 or a key name)");
                }
                step.usage = *usage;
                break;
            }
            case Shape::File:
                step.text = std::string(Trim(rest));
                if (step.text.empty())
                    return fail(expected);
                break;
        }
        // No control has such a name and no file should: refused here, so that no message about
        // the step carries the raw bytes to the terminal.
        if (HasControlByte(step.name))
            return fail("control byte in the name \"" + EscapeForMessage(step.name) + "\"");
        if (step.verb == Verb::Screenshot && HasControlByte(step.text))
            return fail("control byte in the file name \"" + EscapeForMessage(step.text) + "\"");
        steps.push_back(std::move(step));
    }
    return steps;
}

}  // namespace keylume
