#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace pugi {
class xml_document;
}

namespace keylume {

// The settings of one lighting effect. The byte order is the payload order of the stored-form
// lighting command.
struct LedEffectItem {
    std::uint8_t brightness = 13;  // 0..13
    std::uint8_t speed = 0;        // 0..2
    std::uint8_t deriction = 0;    // 0..1
    std::uint8_t selection = 0;    // loader position, 1 left, 2 centre, 3 right

    bool operator==(const LedEffectItem&) const = default;
};

// The selected lighting effect and the settings of each of the 21 effects, kept in ledeffect.xml.
// A fresh store holds the reset values (every item brightness 13, "sel" 20).
// Threads: changed and saved on the UI thread only. Item() and Sel() may also be called from the
// executor thread that sends the start-up lighting command: they return copies taken under the
// store's lock.
class LedEffectStore {
  public:
    static constexpr int kItemCount = 21;
    static constexpr int kResetSel = 20;

    LedEffectStore();

    // Reads `path` and remembers it as the file to save to. A missing or unreadable file resets
    // the store, writes the reset values and gives false; an unreadable one is first moved aside,
    // and where it cannot be, it is never written (see settings_file::LoadFile).
    bool Load(const std::filesystem::path& path);
    // The same reading from bytes already in memory (the remembered path is kept).
    bool LoadFromText(std::string_view xml);
    // Writes the whole store to its path atomically. A failure is reported to the settings
    // notices and leaves memory as it is.
    bool Save() const;
    // The file's content as Save() writes it.
    std::string ToXml() const;

    // Index -1 is the selected effect; nothing for an index outside 0..20.
    std::optional<LedEffectItem> Item(int index) const;
    // Changes memory only; false for an index outside 0..20 (-1 is the selected effect).
    bool SetItem(int index, const LedEffectItem& item);
    int Sel() const;
    // Sets "sel" (any value, -1 included) and saves.
    void SetSel(int index);
    // Every item to its reset values, "sel" 20, then saves.
    void Reset();

    std::filesystem::path Path() const;

  private:
    bool Finish(bool parsed, const pugi::xml_document& doc);
    int IndexOf(int index) const;

    mutable std::mutex mutex_;
    std::filesystem::path path_;
    bool leaveFile_ = false;
    std::array<LedEffectItem, kItemCount> items_{};
    int sel_ = kResetSel;
};

// The process-wide instance, created on first use.
LedEffectStore& GetLedEffectStore();

}  // namespace keylume
