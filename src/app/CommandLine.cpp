#include "app/CommandLine.h"

#include <charconv>
#include <string_view>

namespace keylume {

namespace {

bool ParseVersion(std::string_view text, int& major, int& minor) {
    const auto dot = text.find('.');
    if (dot == std::string_view::npos)
        return false;
    const auto a = text.substr(0, dot);
    const auto b = text.substr(dot + 1);
    auto [pa, ea] = std::from_chars(a.data(), a.data() + a.size(), major);
    auto [pb, eb] = std::from_chars(b.data(), b.data() + b.size(), minor);
    return ea == std::errc{} && eb == std::errc{} && pa == a.data() + a.size() &&
           pb == b.data() + b.size() && !a.empty() && !b.empty() && major >= 0 && major <= 255 &&
           minor >= 0 && minor <= 255;
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args,
                                            std::string& error) {
    CommandLine line;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view arg = args[i];
        std::string inlineValue;
        bool hasInline = false;
        if (arg.rfind("--", 0) == 0) {
            if (const auto eq = arg.find('='); eq != std::string_view::npos) {
                inlineValue = std::string(arg.substr(eq + 1));
                hasInline = true;
                arg = arg.substr(0, eq);
            }
        }
        auto value = [&](std::string& out) {
            if (hasInline) {
                out = inlineValue;
            } else if (i + 1 < args.size()) {
                out = args[++i];
            } else {
                error = std::string(arg) + " needs a value";
                return false;
            }
            if (out.empty()) {
                error = std::string(arg) + " needs a value";
                return false;
            }
            return true;
        };
        if (arg == "--help" || args[i] == "-h") {
            line.showHelp = true;
        } else if (arg == "--version") {
            line.showVersion = true;
        } else if (arg == "--check") {
            line.check = true;
        } else if (arg == "--simulate") {
            line.simulate = true;
        } else if (arg == "--sim-absent") {
            line.simAbsent = true;
        } else if (arg == "--sim-firmware") {
            std::string v;
            if (!value(v))
                return std::nullopt;
            if (!ParseVersion(v, line.simFirmwareMajor, line.simFirmwareMinor)) {
                error = "--sim-firmware takes MAJOR.MINOR (0..255 each), not \"" + v + "\"";
                return std::nullopt;
            }
        } else if (arg == "--data-dir") {
            if (!value(line.dataDir))
                return std::nullopt;
        } else if (arg == "--trace") {
            if (!value(line.traceFile))
                return std::nullopt;
        } else if (arg == "--script") {
            if (!value(line.scriptFile))
                return std::nullopt;
        } else if (arg.rfind("--", 0) == 0) {
            error = "unknown option " + std::string(arg);
            return std::nullopt;
        } else {
            rest.emplace_back(args[i]);
        }
    }
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (i != 0)
            line.rest.push_back(' ');
        line.rest += rest[i];
    }
    return line;
}

std::string UsageText(const std::string& programName) {
    return "usage: " + programName +
           " [OPTION]... [-hid]\n"
           "  -hid                       start hidden in the tray (all that is left, exactly)\n"
           "  --check                    print what the keyboard needs, what is missing, how to "
           "fix it\n"
           "  --simulate                 the built-in keyboard, filter and virtual keyboard\n"
           "  --sim-absent               the built-in keyboard starts unplugged\n"
           "  --sim-firmware MAJOR.MINOR the built-in keyboard's firmware version (default 1.0)\n"
           "  --data-dir DIR             read and write config.xml and the settings files in DIR\n"
           "  --trace FILE               write every device exchange and message box to FILE\n"
           "  --script FILE              run a scenario (one command a line)\n"
           "  --version                  print the version and end\n"
           "  -h, --help                 print this help and end\n";
}

std::string VersionText() {
    return std::string("keylume ") + KEYLUME_VERSION;
}

}  // namespace keylume
