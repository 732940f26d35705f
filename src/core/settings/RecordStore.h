#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/KeyRecord.h"

namespace pugi {
class xml_document;
}

namespace keylume {

// The key bindings in force, kept in record.xml. The list is immutable once published: every
// change builds a new list and swaps it in, so a reader holding a snapshot never sees a list being
// changed.
// Threads: changed and saved on the UI thread only; Snapshot() from any thread (the filter reader
// thread looks records up in it).
class RecordStore {
  public:
    using List = std::vector<KeyRecord>;

    RecordStore();

    // Reads `path` and remembers it as the file to save to. A missing or unreadable file leaves
    // the list as it was and gives false. An unreadable file is moved aside, so the first save
    // loses nothing; where it cannot be, it is never written (see settings_file::LoadFile).
    bool Load(const std::filesystem::path& path);
    // The same reading from bytes already in memory (the remembered path is kept).
    bool LoadFromText(std::string_view xml);
    // Writes the whole list to its path atomically. A failure is reported to the settings notices
    // and leaves memory as it is.
    bool Save() const;
    // The file's content as Save() writes it.
    std::string ToXml() const;

    // The current list; it never changes, later changes publish a new one.
    std::shared_ptr<const List> Snapshot() const;

    // When a record with the same code exists, the first one takes over every field of `record`
    // (not saved); otherwise `record` is appended and the file saved.
    void AddOrReplace(const KeyRecord& record);
    // Removes the first record with `code`; false when there is none. Not saved.
    bool Remove(std::uint32_t code);
    // Empties the list and saves.
    void Clear();

    std::filesystem::path Path() const;

  private:
    bool Finish(bool parsed, const pugi::xml_document& doc);
    void Publish(std::shared_ptr<const List> list);

    mutable std::mutex mutex_;
    std::filesystem::path path_;
    bool leaveFile_ = false;
    std::shared_ptr<const List> records_;
};

// The process-wide instance, created on first use.
RecordStore& GetRecordStore();

}  // namespace keylume
