#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/MacroGroup.h"

namespace pugi {
class xml_document;
}

namespace keylume {

// The macro library and the key-function editor's current choices, kept in macro.xml. The editor
// changes the fields directly and calls Save() after each change; item edits inside a group reach
// the file with the next save.
// Threads: the UI thread only. Playback never reads this store; it works from RecordStore.
class MacroStore {
  public:
    // 0 macro, 1 single key, 2 media key, 3 function key; also the editor's shown page.
    int type = 0;
    // Repeat count given to a macro binding.
    int repeat = 1;
    // Recording delay mode: 0 real delay, 1 fixed delay, 2 no delay.
    int mode = 0;
    // The fixed delay in milliseconds (delay mode 1).
    int delay = 10;
    // Index into AppConfig::funkeys.
    int media = 0;
    // Index into AppConfig::combkeys.
    int function = 0;
    // The captured single key: usage page << 16 | usage id.
    int skcode = 0;
    // Index of the selected group; -1 when none is selected.
    int group = 0;
    // Index of the selected play-mode entry of the editor.
    int play = 0;
    // That entry's play mode; not stored, the editor sets it from `play` each time it opens.
    int playData = 2;
    // The macro library, in order.
    std::vector<MacroGroup> groups;

    // Reads `path` and remembers it as the file to save to. A missing or unreadable file changes
    // nothing else and gives false; no file is created. An unreadable file is moved aside, so the
    // first save of the (now empty) library loses nothing; where it cannot be, it is never
    // written (see settings_file::LoadFile).
    bool Load(const std::filesystem::path& path);
    // The same reading from bytes already in memory (the remembered path is kept).
    bool LoadFromText(std::string_view xml);
    // Writes the whole store to its path atomically. A failure is reported to the settings
    // notices and leaves memory as it is.
    bool Save() const;
    // The file's content as Save() writes it.
    std::string ToXml() const;

    // Appends an empty group named "Group n" with the first n from the group count up that no
    // group has, then saves.
    void AddGroup();
    // Removes the group at `index` and saves; does nothing for an index outside the library.
    void DeleteGroup(int index);
    // Sets the name and saves when `index` is valid and `name` differs; true when it did.
    bool RenameGroup(int index, const std::wstring& name);
    // Any negative index is the group at `group`; null when the index is outside the library.
    MacroGroup* Group(int index);
    const MacroGroup* Group(int index) const;

    // The factory restore's reset of the editor choices; the groups stay and nothing is saved.
    void ResetChoices();

    const std::filesystem::path& Path() const { return path_; }

  private:
    bool Finish(bool parsed, const pugi::xml_document& doc);

    std::filesystem::path path_;
    bool leaveFile_ = false;
};

// The process-wide instance, created on first use.
MacroStore& GetMacroStore();

}  // namespace keylume
