#pragma once

#include <string>

#include "core/settings/MacroStore.h"
#include "ui/ListView.h"

namespace keylume {

// Told when the user clicks a group row of the macro editor.
class IOnMacroGroupClickedListener {
  public:
    virtual ~IOnMacroGroupClickedListener() = default;
    virtual void OnMacroGroupClicked(int index, const std::wstring& name) = 0;
};

// Feeds the editor's group list: one row per group of the library, whose name is edited in place.
// Threads: the UI thread only.
class MacroGroupAdapter : public ui::SAdapterBase {
  public:
    explicit MacroGroupAdapter(MacroStore& store) : store_(store) {}

    void SetListener(IOnMacroGroupClickedListener* listener) { listener_ = listener; }

    int getCount() override;
    void getView(int position, ui::SWindow* row, const ui::XmlNode& xmlTemplate) override;

  private:
    bool OnRename(ui::EventArgs& e);
    bool OnRowClick(ui::EventArgs& e);

    MacroStore& store_;
    IOnMacroGroupClickedListener* listener_ = nullptr;
};

}  // namespace keylume
