#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pugi {
class xml_document;
}

namespace keylume {

// A media key that can be given to a key.
struct FunKeyEntry {
    // Never empty; also the translation key of the shown name.
    std::wstring name;
    // usage page << 16 | usage id.
    std::uint32_t code = 0;
    // Kept with the entry; nothing uses them.
    std::wstring path;
    std::wstring argm;

    bool operator==(const FunKeyEntry&) const = default;
};

// One key of a key combination and the delay that follows it in the generated events.
struct CombKeyPair {
    std::int32_t code = 0;
    std::int32_t delay = 0;

    bool operator==(const CombKeyPair&) const = default;
};

// A key combination that can be given to a key.
struct CombKeyEntry {
    std::wstring name;
    std::vector<CombKeyPair> keys;

    bool operator==(const CombKeyEntry&) const = default;
};

// The settings the user does not change from the interface, read once at start-up from config.xml,
// which the program never writes. `funkeys` and `combkeys` are addressed by position from the
// macro settings, so their order is part of the stored data.
// Threads: loaded on the UI thread at start-up, read-only afterwards.
class AppConfig {
  public:
    // Identity of the keyboard's command interface. Until a config.xml is read they name the
    // built-in keyboard, so the tool still finds it when the file is missing or broken.
    std::int32_t vid = 0x1A2C;
    std::int32_t pid = 0x2D3E;
    std::int32_t usbInterface = 1;
    std::int32_t subdevice = 2;
    // "local" / "language" is exactly "cn".
    bool chineseUi = false;
    std::vector<FunKeyEntry> funkeys;
    std::vector<CombKeyEntry> combkeys;

    // Reads DataFilePath("config.xml").
    void Load();
    // Reads `path`. A missing or unreadable file changes nothing and gives false; an unreadable
    // one is reported to the settings notices and left as it is.
    bool Load(const std::filesystem::path& path);
    // The same reading from bytes already in memory.
    bool LoadFromText(std::string_view xml);

  private:
    void Read(const pugi::xml_document& doc);
};

// The process-wide instance, created on first use.
AppConfig& GetAppConfig();

}  // namespace keylume
