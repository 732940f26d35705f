#pragma once

#include <cstdint>
#include <string>

#include "core/settings/MacroStore.h"
#include "ui/ListView.h"

namespace keylume {

// Feeds the editor's key list with the events of one macro group, and is how recording and the
// item buttons change them. Changes stay in memory; the next MacroStore::Save writes them.
// The shown group is kept by its index in the library, not by address: adding a group may move
// every group in memory.
// Threads: the UI thread only.
class KeyAndDelayAdapter : public ui::SMcAdapterBase {
  public:
    explicit KeyAndDelayAdapter(MacroStore& store) : store_(store) {}

    int getCount() override;
    void getView(int position, ui::SWindow* row, const ui::XmlNode& xmlTemplate) override;
    QString GetColumnName(int column) const override;
    bool OnSort(int column, int* sortFlags, int columnCount) override;

    // Shows group `index` of the library; a negative index or one outside it shows none.
    void SetGroup(int index);
    MacroGroup* Group() const;

    void AddItem(std::uint32_t code, const std::wstring& name, std::uint32_t state,
                 std::uint32_t delay);
    const MacroItem* Item(int row) const;
    bool MoveUp(int row);
    bool MoveDown(int row);
    void DeleteItem(int row);
    void ClearItems();

  private:
    bool OnDelayChanged(ui::EventArgs& e);

    MacroStore& store_;
    int group_ = -1;
};

}  // namespace keylume
