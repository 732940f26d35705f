#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace pugi {
class xml_document;
}

namespace keylume {

// One side-light mode's byte: the level 0..7 in the high nibble. The low nibble is not the store's;
// the side-light command puts the mode number there.
struct SideLightItem {
    std::uint8_t value = 0;

    int Level() const { return value >> 4; }
    // Puts the low four bits of `level` into the high nibble, keeping the low nibble.
    void SetLevel(int level) {
        value = static_cast<std::uint8_t>((value & 0x0F) | ((level & 0x0F) << 4));
    }

    bool operator==(const SideLightItem&) const = default;
};

// The selected side-light mode and the level of each of the 12 modes (speed for modes 0..2,
// brightness for the others), kept in sidemodel.xml. A fresh store holds the reset values.
// Threads: the UI thread only.
class SideLightStore {
  public:
    static constexpr int kItemCount = 12;

    SideLightStore();

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

    // Index -1 is the selected mode; nothing for an index outside 0..11.
    std::optional<SideLightItem> Item(int index) const;
    // Changes memory only; false for an index outside 0..11 (-1 is the selected mode).
    bool SetItem(int index, SideLightItem item);
    int Sel() const { return sel_; }
    // Sets "sel" (any value, -1 included) and saves.
    void SetSel(int index);
    // Levels 4, 4, 4 and 7 for modes 3..11, "sel" 0, then saves.
    void Reset();

    const std::filesystem::path& Path() const { return path_; }

  private:
    bool Finish(bool parsed, const pugi::xml_document& doc);
    void ResetValues();
    int IndexOf(int index) const;

    std::filesystem::path path_;
    bool leaveFile_ = false;
    std::array<SideLightItem, kItemCount> items_{};
    int sel_ = 0;
};

// The process-wide instance, created on first use.
SideLightStore& GetSideLightStore();

}  // namespace keylume
