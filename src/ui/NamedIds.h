#pragma once

#include <QString>
#include <vector>

namespace keylume::ui {

struct NamedId {
    QString name;  // at most 51 characters
    int id = 0;
};

// Names compare as sequences of 16-bit code units, so capitals sort before "_", which sorts before
// small letters ("btnCancel" < "btn_min").
bool NamedIdLess(const QString& a, const QString& b);

// The table that gives layout controls their fixed IDs. Lookups are binary searches, so the table
// must be sorted; an unsorted table given as sorted is sorted here rather than trusted.
class SNamedIds {
  public:
    void Init(std::vector<NamedId> entries);
    // The ID for `name`, or 0 when the table has no such name.
    int Find(const QString& name) const;
    const std::vector<NamedId>& Entries() const { return entries_; }

  private:
    std::vector<NamedId> entries_;
};

// Keylume's table: "_name_start" (65535), then the controls of the main window, the macro editor
// and the message box with consecutive IDs from 65536, sorted by name.
std::vector<NamedId> KeylumeNamedIds();

}  // namespace keylume::ui
