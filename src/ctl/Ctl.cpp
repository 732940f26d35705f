#include "ctl/Ctl.h"

#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

#include "app/DataLocations.h"
#include "app/SimulatedPlatform.h"
#include "core/device/HidDevice.h"
#include "core/device/HidEnumeration.h"
#include "core/macros/KeyNameTable.h"
#include "core/protocol/CommandReports.h"
#include "core/protocol/KeyboardCommands.h"
#include "core/protocol/LightingSettings.h"
#include "core/settings/AppConfig.h"
#include "core/settings/DataFolder.h"
#include "core/settings/GroupFile.h"
#include "core/settings/LedEffectStore.h"
#include "core/settings/MacroStore.h"
#include "core/settings/RecordStore.h"
#include "core/settings/SettingsNotices.h"
#include "core/settings/SideLightStore.h"
#include "platform/AtomicFile.h"
#include "platform/Clock.h"
#include "platform/NamedLock.h"
#include "platform/Trace.h"
#include "platform/linux/HidapiHidBus.h"
#include "platform/linux/LinuxProgramFolder.h"
#include "platform/linux/RuntimeFolder.h"

#ifdef __linux__
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace keylume::ctl {

namespace {

constexpr ModeName kEffects[] = {
    {"Always on", "常亮"},
    {"Loader", "加载"},
    {"Breathing", "呼吸"},
    {"Wave", "波浪"},
    {"Rainbow wave", "彩虹波浪"},
    {"Ripple", "涟漪"},
    {"Reactive", "触发"},
    {"Starlight", "星光"},
    {"Rain drops", "雨滴"},
    {"Spectrum cycle", "光谱循环"},
    {"Snake", "贪吃蛇"},
    {"Fireworks", "烟花"},
    {"Neon stream", "霓虹流"},
    {"Radar", "雷达"},
    {"Rainbow ripple", "彩虹涟漪"},
    {"Cross", "十字"},
    {"Twinkle", "闪烁"},
    {"Flow", "流光"},
    {"Aurora", "极光"},
    {"Colour wheel", "色轮"},
    {"Lights off", "关闭灯光"},
};

constexpr ModeName kSideModes[] = {
    {"Breathing", "呼吸"},         {"Colour flow", "流光"},       {"Rainbow cycle", "彩虹循环"},
    {"Steady red", "红色常亮"},    {"Steady green", "绿色常亮"},  {"Steady blue", "蓝色常亮"},
    {"Steady yellow", "黄色常亮"}, {"Steady cyan", "青色常亮"},   {"Steady purple", "紫色常亮"},
    {"Steady white", "白色常亮"},  {"Steady orange", "橙色常亮"}, {"Side light off", "关闭侧灯"},
};

constexpr int kLatestFirmware = 0x0100;
// The name the window's single instance goes by (its string table's first entry).
constexpr char kInstanceName[] = "Keylume.Instance.7f3a91c2";
constexpr const char* kStartNames[] = {"left", "center", "right"};

const char kHelp[] =
    "usage: keylumectl [OPTIONS] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  status                         keyboard, firmware, lighting and bound keys\n"
    "  effect NAME|NUMBER [--brightness N] [--speed N] [--start left|center|right]\n"
    "                                 store and send a lighting effect\n"
    "  side NAME|NUMBER [--level N]   store and send a side-light mode\n"
    "  firmware [--check]             the firmware version; --check compares it with the latest\n"
    "  restore --yes                  restore the factory settings\n"
    "  bindings list | remove KEY | export FILE | import FILE\n"
    "  macros list | export GROUP FILE | import FILE\n"
    "\n"
    "Options:\n"
    "  --simulate        use the built-in simulated keyboard\n"
    "  --data-dir DIR    the folder of the settings files\n"
    "  --trace FILE      write every exchange with the keyboard to FILE\n"
    "  --json            machine-readable output\n"
    "  --help, --version\n"
    "\n"
    "Exit codes: 0 done, 1 keyboard absent or not accessible, 2 usage error,\n"
    "3 the keyboard refused or a file could not be read or written,\n"
    "4 (firmware --check) the firmware is not the latest.\n"
    "Do not use keylumectl while the Keylume window runs: both would write the same files.\n";

struct UsageError {
    std::string text;
};

// A failure that ends the command with `code`.
struct Failure {
    int code;
    std::string text;
};

std::string Lower(std::string_view s) {
    std::string r(s);
    for (char& c : r) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return r;
}

std::optional<long> ParseNumber(std::string_view text) {
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    const std::string s(text);
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(s.c_str(), &end, 0);
    if (errno != 0 || end != s.c_str() + s.size() || s[0] == ' ')
        return std::nullopt;
    return value;
}

std::string Utf8(const std::wstring& w) {
    std::string out;
    for (wchar_t wc : w) {
        const auto c = static_cast<std::uint32_t>(wc);
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string JsonString(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char buf[8];
                    std::snprintf(buf, sizeof buf, "\\u%04x", c);
                    out += buf;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string Hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%x", v);
    return buf;
}

std::string FirmwareText(int version) {
    if (version == kFirmwareNotRead)
        return "unknown";
    if (version == 0)
        return "early version";
    return "v" + std::to_string((version >> 8) & 0xFF) + "." + std::to_string(version & 0xFF);
}

std::string NoticeLine(const SettingsNotice& n) {
    const std::string file = n.file.string();
    switch (n.kind) {
        case SettingsNotice::Kind::kKeptUnreadable:
            return "keylumectl: " + file + " could not be read; it was kept as " + n.copy.string() +
                   " and the defaults are used";
        case SettingsNotice::Kind::kLeftUnreadable:
            return "keylumectl: " + file +
                   " could not be read; it is left as it is and will not be written";
        case SettingsNotice::Kind::kSaveFailed:
            break;
    }
    return "keylumectl: " + file + " could not be saved" +
           (n.detail.empty() ? std::string() : " (" + n.detail + ")") + "; the change is not kept";
}

// Command-line words after the command, with the command's own options taken out.
class Words {
  public:
    explicit Words(std::vector<std::string> words) : words_(std::move(words)) {}

    // The value of `--name VALUE` (or `--name=VALUE`), removed from the words.
    std::optional<std::string> Option(std::string_view name) {
        for (std::size_t i = 0; i < words_.size(); ++i) {
            const std::string& w = words_[i];
            if (w == name) {
                if (i + 1 >= words_.size())
                    throw UsageError{std::string(name) + " needs a value"};
                std::string value = words_[i + 1];
                words_.erase(words_.begin() + static_cast<long>(i),
                             words_.begin() + static_cast<long>(i) + 2);
                return value;
            }
            if (w.size() > name.size() && w.compare(0, name.size(), name) == 0 &&
                w[name.size()] == '=') {
                std::string value = w.substr(name.size() + 1);
                words_.erase(words_.begin() + static_cast<long>(i));
                return value;
            }
        }
        return std::nullopt;
    }

    bool Flag(std::string_view name) {
        const auto it = std::find(words_.begin(), words_.end(), name);
        if (it == words_.end())
            return false;
        words_.erase(it);
        return true;
    }

    std::optional<int> Number(std::string_view name) {
        const auto value = Option(name);
        if (!value)
            return std::nullopt;
        const auto n = ParseNumber(*value);
        if (!n || *n < -1000000 || *n > 1000000)
            throw UsageError{std::string(name) + " takes a number, not \"" + *value + "\""};
        return static_cast<int>(*n);
    }

    // The remaining words, exactly `count` of them, none an unknown option.
    const std::vector<std::string>& Exactly(std::size_t count, std::string_view what) {
        for (const std::string& w : words_) {
            if (w.size() > 1 && w[0] == '-' && !ParseNumber(w))
                throw UsageError{"unknown option " + w};
        }
        if (words_.size() < count)
            throw UsageError{std::string("missing ") + std::string(what)};
        if (words_.size() > count)
            throw UsageError{"unexpected argument \"" + words_[count] + "\""};
        return words_;
    }

  private:
    std::vector<std::string> words_;
};

class Tool {
  public:
    Tool(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    int Main(std::span<const std::string> args);

  private:
    int Dispatch(const std::string& command, Words& words);
    void Setup();
    void LoadStores();
    // Opens the configured keyboard; throws a Failure when there is none.
    void OpenKeyboard();
    bool TryOpenKeyboard();
    void SaveOrFail(bool saved) {
        if (!saved || saveFailed_)
            throw Failure{kRefused, ""};
    }

    int Status(Words& words);
    int Effect(Words& words);
    int Side(Words& words);
    int Firmware(Words& words);
    int Restore(Words& words);
    int Bindings(Words& words);
    int Macros(Words& words);

    std::string ReadFileOrFail(const std::string& path);
    void WriteFileOrFail(const std::string& path, std::string_view text);
    // A plain line, or the JSON object when --json was given.
    void Print(const std::string& text, const std::string& json) {
        out_ << (json_ ? json : text) << '\n';
    }

    std::ostream& out_;
    std::ostream& err_;
    bool simulate_ = false;
    bool json_ = false;
    std::string dataDir_;
    std::string traceFile_;

    std::unique_ptr<SimulatedPlatform> sim_;
    std::unique_ptr<platform::HidapiHidBus> realBus_;
    platform::HidBus* bus_ = nullptr;
    std::unique_ptr<HidDevice> keyboard_;
    std::unique_ptr<KeyboardCommands> commands_;
    std::string keyboardPath_;
    bool saveFailed_ = false;
};

int Tool::Main(std::span<const std::string> args) {
    std::vector<std::string> rest;
    std::string command;
    try {
        for (std::size_t i = 0; i < args.size(); ++i) {
            const std::string& a = args[i];
            auto value = [&](std::string_view name) {
                if (i + 1 >= args.size())
                    throw UsageError{std::string(name) + " needs a value"};
                return args[++i];
            };
            if (a == "--help" || a == "-h") {
                out_ << kHelp;
                return kDone;
            }
            if (a == "--version") {
                out_ << "keylumectl " << KEYLUME_VERSION << '\n';
                return kDone;
            }
            if (a == "--simulate") {
                simulate_ = true;
            } else if (a == "--json") {
                json_ = true;
            } else if (a == "--data-dir") {
                dataDir_ = value(a);
            } else if (a == "--trace") {
                traceFile_ = value(a);
            } else if (command.empty() && !a.empty() && a[0] != '-') {
                command = a;
            } else if (command.empty()) {
                throw UsageError{"unknown option " + a};
            } else {
                rest.push_back(a);
            }
        }
        if (command.empty())
            throw UsageError{"no command given (try --help)"};
        Words words(std::move(rest));
        return Dispatch(command, words);
    } catch (const UsageError& e) {
        err_ << "keylumectl: " << e.text << '\n';
        return kUsage;
    } catch (const Failure& f) {
        if (!f.text.empty())
            err_ << "keylumectl: " << f.text << '\n';
        return f.code;
    }
}

int Tool::Dispatch(const std::string& command, Words& words) {
    static constexpr const char* kCommands[] = {"status",  "effect",   "side",  "firmware",
                                                "restore", "bindings", "macros"};
    if (std::find_if(std::begin(kCommands), std::end(kCommands),
                     [&](const char* c) { return command == c; }) == std::end(kCommands))
        throw UsageError{"unknown command \"" + command + "\" (try --help)"};
    if (command == "status")
        return Status(words);
    if (command == "effect")
        return Effect(words);
    if (command == "side")
        return Side(words);
    if (command == "firmware")
        return Firmware(words);
    if (command == "restore")
        return Restore(words);
    if (command == "bindings")
        return Bindings(words);
    return Macros(words);
}

// Whether the window runs for this user: its instance answers on its socket in the private
// runtime folder. Only a connection is made; the window waits for a request that never comes.
bool WindowRuns() {
#ifdef __linux__
    const std::string folder = platform::UserRuntimeFolder();
    if (folder.empty())
        return false;
    const std::string path = folder + "/keylume-" + platform::LockFileName(kInstanceName) + ".sock";
    sockaddr_un address{};
    if (path.size() >= sizeof address.sun_path)
        return false;
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool connected =
        ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
#else
    return false;
#endif
}

void Tool::Setup() {
    // One writer: the window keeps the settings files and the keyboard while it runs.
    if (WindowRuns())
        throw Failure{kNoKeyboard,
                      "the Keylume window is running; make the change there or close it first"};
    if (!traceFile_.empty() && !platform::Trace::OpenFile(traceFile_))
        throw Failure{kRefused, "cannot write the trace file " + traceFile_};
    std::filesystem::path given;
    std::error_code ec;
    if (!dataDir_.empty()) {
        given = std::filesystem::absolute(dataDir_, ec);
        if (!std::filesystem::is_directory(given, ec))
            throw Failure{kRefused, "the data folder " + dataDir_ + " does not exist"};
    }
    // The same files as the window: its own folder for a build tree or a portable copy, the
    // user's config folder for an installed one.
    const DataLocations where =
        ResolveDataLocations(platform::LinuxProgramFolder().ExecutableFolder(), given);
    if (where.installed) {
        if (const std::string problem = CreatePrivateFolder(where.settings); !problem.empty())
            throw Failure{kRefused, problem};
    }
    SetDataFolder(where.settings);
    SetSettingsNoticeSink([this](const SettingsNotice& n) {
        if (n.kind == SettingsNotice::Kind::kSaveFailed)
            saveFailed_ = true;
        err_ << NoticeLine(n) << '\n';
    });
    GetAppConfig().Load(where.config);
    if (simulate_) {
        sim_ = std::make_unique<SimulatedPlatform>();
        bus_ = &sim_->Hid();
    } else {
        realBus_ = std::make_unique<platform::HidapiHidBus>();
        bus_ = realBus_.get();
    }
    keyboard_ = std::make_unique<HidDevice>(platform::SystemNamedLocks(), *bus_);
    commands_ = std::make_unique<KeyboardCommands>(*keyboard_, platform::SystemClock(),
                                                   GetLedEffectStore(), GetSideLightStore());
}

void Tool::LoadStores() {
    GetMacroStore().Load(DataFilePath("macro.xml"));
    GetRecordStore().Load(DataFilePath("record.xml"));
    GetSideLightStore().Load(DataFilePath("sidemodel.xml"));
    GetLedEffectStore().Load(DataFilePath("ledeffect.xml"));
}

bool Tool::TryOpenKeyboard() {
    const AppConfig& config = GetAppConfig();
    std::vector<std::int32_t> products;
    if (config.pid != 0)
        products.push_back(config.pid);
    auto held = platform::SystemNamedLocks().Acquire("HidDevice::Open");
    const auto matches =
        EnumerateHidInterfaces(*bus_, config.vid, products, config.usbInterface, config.subdevice);
    if (matches.empty() || keyboard_->Open(matches.front().path) == 0)
        return false;
    keyboardPath_ = matches.front().path;
    // The next lighting command keeps its distance from whatever was sent before this process
    // opened the keyboard.
    commands_->ResetPacing();
    return true;
}

void Tool::OpenKeyboard() {
    if (!TryOpenKeyboard())
        throw Failure{kNoKeyboard, "the keyboard is not connected or cannot be opened"};
}

std::string Tool::ReadFileOrFail(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw Failure{kRefused, "cannot read " + path};
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (in.bad())
        throw Failure{kRefused, "cannot read " + path};
    return text;
}

void Tool::WriteFileOrFail(const std::string& path, std::string_view text) {
    std::string problem;
    if (!platform::ReplaceFileAtomically(path, text, problem))
        throw Failure{kRefused, "cannot write " + path + (problem.empty() ? "" : ": " + problem)};
}

std::string EffectSettingsText(int effect, const LedEffectItem& item, bool json) {
    std::string text;
    auto add = [&](const char* name, const std::string& value, bool quoted) {
        if (json)
            text += std::string(",\"") + name + "\":" + (quoted ? JsonString(value) : value);
        else
            text += std::string(" ") + name + " " + value;
    };
    const EffectGroup group = GroupOfEffect(effect);
    if (group == EffectGroup::BrightnessOnly || group == EffectGroup::Loader ||
        group == EffectGroup::SpeedAndBrightness)
        add("brightness", std::to_string(std::min<int>(item.brightness, kMaxEffectBrightness)),
            false);
    if (group == EffectGroup::SpeedAndBrightness)
        add("speed", std::to_string(item.speed), false);
    if (group == EffectGroup::Loader)
        add("start",
            kStartNames[item.selection >= 1 && item.selection <= 3 ? item.selection - 1 : 0], true);
    return text;
}

std::string EffectName(int effect) {
    return effect >= 0 && effect < kLedEffectCount ? kEffects[effect].english : "none";
}

std::string SideName(int mode) {
    return mode >= 0 && mode < kSideLightModeCount ? kSideModes[mode].english : "none";
}

int Tool::Status(Words& words) {
    words.Exactly(0, "");
    Setup();
    LoadStores();
    const bool present = TryOpenKeyboard();
    const int version = present ? commands_->ReadFirmwareVersion() : kFirmwareNotRead;
    const int effect = GetLedEffectStore().Sel();
    const auto item = GetLedEffectStore().Item(effect).value_or(LedEffectItem{});
    const int side = GetSideLightStore().Sel();
    const auto sideItem = GetSideLightStore().Item(side);
    const std::size_t bound = GetRecordStore().Snapshot()->size();
    if (json_) {
        out_ << "{\"keyboard\":" << (present ? "true" : "false")
             << ",\"path\":" << (present ? JsonString(keyboardPath_) : "null") << ",\"firmware\":"
             << (version == kFirmwareNotRead ? "null" : JsonString(FirmwareText(version)))
             << ",\"effect\":{\"number\":" << effect
             << ",\"name\":" << JsonString(EffectName(effect))
             << EffectSettingsText(effect, item, true) << "}"
             << ",\"side\":{\"number\":" << side << ",\"name\":" << JsonString(SideName(side))
             << ",\"level\":" << (sideItem ? std::to_string(sideItem->Level()) : "null") << "}"
             << ",\"bound_keys\":" << bound << "}\n";
    } else {
        out_ << "keyboard:   " << (present ? "present " + keyboardPath_ : std::string("absent"))
             << '\n';
        if (present)
            out_ << "firmware:   " << FirmwareText(version) << '\n';
        out_ << "effect:     " << effect << " " << EffectName(effect)
             << EffectSettingsText(effect, item, false) << '\n';
        out_ << "side light: " << side << " " << SideName(side);
        if (sideItem)
            out_ << " level " << sideItem->Level();
        out_ << '\n' << "bound keys: " << bound << '\n';
    }
    return present ? kDone : kNoKeyboard;
}

int Tool::Effect(Words& words) {
    EffectChange change;
    change.brightness = words.Number("--brightness");
    change.speed = words.Number("--speed");
    if (const auto direction = words.Option("--direction")) {
        if (*direction != "left" && *direction != "right")
            throw UsageError{"--direction takes left or right"};
        throw UsageError{
            "no effect of this keyboard takes a direction (see --start for the loader)"};
    }
    if (const auto start = words.Option("--start")) {
        const auto it = std::find(std::begin(kStartNames), std::end(kStartNames), Lower(*start));
        if (it == std::end(kStartNames))
            throw UsageError{"--start takes left, center or right"};
        change.start = static_cast<int>(it - std::begin(kStartNames)) + 1;
    }
    const std::string name = words.Exactly(1, "effect name or number")[0];
    const int effect = FindMode(kEffects, name);
    if (effect < 0)
        throw UsageError{"no effect \"" + name + "\" (0..20 or a name from --help)"};
    if (const char* lacks = SettingEffectLacks(effect, change))
        throw UsageError{std::string("effect ") + kEffects[effect].english + " has no " + lacks +
                         " setting"};
    Setup();
    LoadStores();
    OpenKeyboard();
    LedEffectStore& store = GetLedEffectStore();
    store.SetSel(effect);
    const LedEffectItem item = ApplyEffectChange(effect, *store.Item(effect), change);
    store.SetItem(effect, item);
    SaveOrFail(store.Save());
    if (!commands_->SendLedEffect(effect))
        throw Failure{kRefused, "the keyboard did not take the lighting command"};
    Print("effect " + std::to_string(effect) + " " + kEffects[effect].english +
              EffectSettingsText(effect, item, false),
          "{\"effect\":{\"number\":" + std::to_string(effect) + ",\"name\":" +
              JsonString(kEffects[effect].english) + EffectSettingsText(effect, item, true) + "}}");
    return kDone;
}

int Tool::Side(Words& words) {
    const auto level = words.Number("--level");
    const std::string name = words.Exactly(1, "side-light mode name or number")[0];
    const int mode = FindMode(kSideModes, name);
    if (mode < 0)
        throw UsageError{"no side-light mode \"" + name + "\" (0..11 or a name from --help)"};
    Setup();
    LoadStores();
    OpenKeyboard();
    SideLightStore& store = GetSideLightStore();
    store.SetSel(mode);
    SideLightItem item = *store.Item(mode);
    if (level)
        item.SetLevel(ClampToRange(*level, 0, kMaxSideLevel));
    store.SetItem(mode, item);
    SaveOrFail(store.Save());
    if (!commands_->SendSideLight(mode))
        throw Failure{kRefused, "the keyboard did not take the side-light command"};
    Print("side light " + std::to_string(mode) + " " + kSideModes[mode].english + " level " +
              std::to_string(item.Level()),
          "{\"side\":{\"number\":" + std::to_string(mode) +
              ",\"name\":" + JsonString(kSideModes[mode].english) +
              ",\"level\":" + std::to_string(item.Level()) + "}}");
    return kDone;
}

int Tool::Firmware(Words& words) {
    const bool check = words.Flag("--check");
    words.Exactly(0, "");
    Setup();
    OpenKeyboard();
    const int version = commands_->ReadFirmwareVersion();
    if (version == kFirmwareNotRead)
        throw Failure{kRefused, "the keyboard did not answer the firmware query"};
    const bool latest = version == kLatestFirmware;
    std::string text = "firmware " + FirmwareText(version);
    if (check)
        text += latest ? ": the latest version, no upgrade is required"
                       : ": not the latest version (" + FirmwareText(kLatestFirmware) + ")";
    std::string json = "{\"firmware\":" + JsonString(FirmwareText(version));
    if (check)
        json += std::string(",\"latest\":") + (latest ? "true" : "false");
    Print(text, json + "}");
    return check && !latest ? kFirmwareNotLatest : kDone;
}

int Tool::Restore(Words& words) {
    const bool yes = words.Flag("--yes");
    words.Exactly(0, "");
    if (!yes)
        throw UsageError{"restore resets every setting and binding; add --yes to do it"};
    Setup();
    LoadStores();
    OpenKeyboard();
    // The window's order: the stores first, then the panels' lighting, then the keyboard's own
    // restore, after which it leaves the bus for a moment.
    const int effectBefore = GetLedEffectStore().Sel();
    const int sideBefore = GetSideLightStore().Sel();
    GetMacroStore().ResetChoices();
    GetRecordStore().Clear();
    GetLedEffectStore().Reset();
    GetSideLightStore().Reset();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    // The panels show the reset selections; a combobox that changes sends its mode.
    bool sent = true;
    if (sideBefore != GetSideLightStore().Sel())
        sent = commands_->SendSideLight(GetSideLightStore().Sel()) && sent;
    if (effectBefore != GetLedEffectStore().Sel())
        sent = commands_->SendLedEffect(GetLedEffectStore().Sel()) && sent;
    const bool restored = commands_->SendFactoryRestore() != 0;
    if (saveFailed_)
        throw Failure{kRefused, ""};
    if (!sent || !restored)
        throw Failure{kRefused, "the keyboard did not take the factory restore"};
    Print("factory settings restored; the keyboard restarts", "{\"restored\":true}");
    return kDone;
}

// A key by name (as the window names it, without case) or by usage code (0x70004 or 458756).
std::optional<std::uint32_t> FindKey(std::string_view text) {
    if (const auto n = ParseNumber(text); n && *n > 0 && *n <= 0xFFFFFFFF)
        return static_cast<std::uint32_t>(*n);
    const std::string wanted = Lower(text);
    for (const KeyNameRow& row : KeyNameTable()) {
        if (Lower(Utf8(row.name)) == wanted)
            return row.usage;
    }
    return std::nullopt;
}

// A file as bindings export writes it: only <record> elements at the top, and at least the XML
// declaration when there are none.
bool IsBindingsFile(std::string_view text) {
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_declaration))
        return false;
    bool any = false;
    for (const pugi::xml_node& node : doc.children()) {
        if (node.type() == pugi::node_declaration || node.type() == pugi::node_comment) {
            any = true;
            continue;
        }
        if (node.type() != pugi::node_element || std::string_view(node.name()) != "record")
            return false;
        any = true;
    }
    return any;
}

int Tool::Bindings(Words& words) {
    const auto& w = words.Exactly(words.Flag("list") ? 0 : 2, "bindings command and its argument");
    const std::string sub = w.empty() ? "list" : w[0];
    if (sub != "list" && sub != "remove" && sub != "export" && sub != "import")
        throw UsageError{"bindings takes list, remove KEY, export FILE or import FILE"};
    std::optional<std::uint32_t> key;
    if (sub == "remove" && !(key = FindKey(w[1])))
        throw UsageError{"no key \"" + w[1] + "\" (a key name or a usage code such as 0x70004)"};
    Setup();
    LoadStores();
    RecordStore& store = GetRecordStore();
    if (sub == "list") {
        const auto list = store.Snapshot();
        if (json_)
            out_ << "[";
        bool first = true;
        for (const KeyRecord& r : *list) {
            const std::string name = Utf8(r.name.empty() ? KeyName(r.code) : r.name);
            if (json_) {
                out_ << (first ? "" : ",") << "{\"key\":" << JsonString(name)
                     << ",\"code\":" << JsonString(Hex(r.code)) << ",\"type\":" << r.type
                     << ",\"play\":" << r.play << ",\"repeat\":" << r.repeat
                     << ",\"to\":" << JsonString(Utf8(r.group)) << ",\"events\":" << r.items.size()
                     << "}";
            } else {
                out_ << name << "\t" << Hex(r.code) << "\t" << Utf8(r.group) << '\n';
            }
            first = false;
        }
        if (json_)
            out_ << "]\n";
        return kDone;
    }
    if (sub == "remove") {
        if (!store.Remove(*key))
            throw Failure{kUsage, "the key " + w[1] + " has no binding"};
        SaveOrFail(store.Save());
        Print("removed the binding of " + w[1], "{\"removed\":" + JsonString(Hex(*key)) + "}");
        return kDone;
    }
    if (sub == "export") {
        WriteFileOrFail(w[1], store.ToXml());
        Print("exported " + std::to_string(store.Snapshot()->size()) + " bindings to " + w[1],
              "{\"exported\":" + std::to_string(store.Snapshot()->size()) + "}");
        return kDone;
    }
    // Import: the file must be a bindings file; only then does it replace the bindings.
    const std::string text = ReadFileOrFail(w[1]);
    if (!IsBindingsFile(text))
        throw Failure{kRefused, w[1] + " is not a bindings file; nothing was changed"};
    RecordStore incoming;
    if (!incoming.LoadFromText(text))
        throw Failure{kRefused, w[1] + " is not a bindings file; nothing was changed"};
    WriteFileOrFail(DataFilePath("record.xml").string(), incoming.ToXml());
    Print("imported " + std::to_string(incoming.Snapshot()->size()) + " bindings from " + w[1],
          "{\"imported\":" + std::to_string(incoming.Snapshot()->size()) + "}");
    return kDone;
}

int Tool::Macros(Words& words) {
    if (words.Flag("list")) {
        words.Exactly(0, "");
        Setup();
        LoadStores();
        const auto& groups = GetMacroStore().groups;
        if (json_)
            out_ << "[";
        for (std::size_t i = 0; i < groups.size(); ++i) {
            if (json_)
                out_ << (i ? "," : "") << "{\"number\":" << i + 1
                     << ",\"name\":" << JsonString(Utf8(groups[i].name))
                     << ",\"events\":" << groups[i].items.size() << "}";
            else
                out_ << i + 1 << "\t" << Utf8(groups[i].name) << "\t" << groups[i].items.size()
                     << " events\n";
        }
        if (json_)
            out_ << "]\n";
        return kDone;
    }
    if (words.Flag("import")) {
        const std::string file = words.Exactly(1, "FILE")[0];
        Setup();
        LoadStores();
        std::vector<MacroGroup> groups;
        if (!ReadGroupFile(ReadFileOrFail(file), groups))
            throw Failure{kRefused, file +
                                        " holds no macro groups that can be imported; "
                                        "nothing was changed"};
        MacroStore& store = GetMacroStore();
        const std::size_t count = groups.size();
        for (MacroGroup& g : groups)
            store.groups.push_back(std::move(g));
        SaveOrFail(store.Save());
        Print("imported " + std::to_string(count) + " macro groups from " + file,
              "{\"imported\":" + std::to_string(count) + "}");
        return kDone;
    }
    if (words.Flag("export")) {
        const auto& w = words.Exactly(2, "GROUP and FILE");
        Setup();
        LoadStores();
        const auto& groups = GetMacroStore().groups;
        std::optional<std::size_t> index;
        for (std::size_t i = 0; i < groups.size() && !index; ++i) {
            if (Utf8(groups[i].name) == w[0])
                index = i;
        }
        for (std::size_t i = 0; i < groups.size() && !index; ++i) {
            if (Lower(Utf8(groups[i].name)) == Lower(w[0]))
                index = i;
        }
        if (const auto n = ParseNumber(w[0]);
            !index && n && *n >= 1 && static_cast<std::size_t>(*n) <= groups.size())
            index = static_cast<std::size_t>(*n - 1);
        if (!index)
            throw Failure{kUsage, "no macro group \"" + w[0] + "\" (see macros list)"};
        WriteFileOrFail(w[1], GroupFileText({groups[*index]}));
        Print("exported macro group " + Utf8(groups[*index].name) + " to " + w[1],
              "{\"exported\":" + JsonString(Utf8(groups[*index].name)) + "}");
        return kDone;
    }
    words.Exactly(0, "");
    throw UsageError{"macros takes list, export GROUP FILE or import FILE"};
}

}  // namespace

std::span<const ModeName> EffectNames() {
    return kEffects;
}

std::span<const ModeName> SideModeNames() {
    return kSideModes;
}

int FindMode(std::span<const ModeName> names, std::string_view text) {
    if (const auto n = ParseNumber(text))
        return *n >= 0 && static_cast<std::size_t>(*n) < names.size() ? static_cast<int>(*n) : -1;
    const std::string wanted = Lower(text);
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (Lower(names[i].english) == wanted || names[i].chinese == text)
            return static_cast<int>(i);
    }
    return -1;
}

int Run(std::span<const std::string> args, std::ostream& out, std::ostream& err) {
    Tool tool(out, err);
    const int code = tool.Main(args);
    SetSettingsNoticeSink(nullptr);
    platform::Trace::OpenFile("");
    return code;
}

}  // namespace keylume::ctl
