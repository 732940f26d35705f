#include "macrodlg/MacroGroupAdapter.h"

#include "ui/InputControls.h"

namespace keylume {

int MacroGroupAdapter::getCount() {
    return static_cast<int>(store_.groups.size());
}

void MacroGroupAdapter::getView(int position, ui::SWindow* row, const ui::XmlNode& xmlTemplate) {
    if (row->ChildWindows().empty())
        row->CreateChildren(xmlTemplate);
    row->SetUserData(position);
    // Rows are reused when the list refills: drop the previous fill's handlers first.
    row->UnsubscribeAll();
    auto* name = row->FindChildByName2<ui::SEdit>("group_name");
    if (name != nullptr && name->IsClass("edit")) {
        name->UnsubscribeAll();
        name->Subscribe(ui::EventType::TextNotify,
                        [this](ui::EventArgs& e) { return OnRename(e); });
        // The row index goes in before the text, so the text shown below renames nothing.
        name->SetUserData(position);
        if (const MacroGroup* group = store_.Group(position))
            name->SetWindowText(QString::fromStdWString(group->name));
    }
    row->Subscribe(ui::EventType::Command, [this](ui::EventArgs& e) { return OnRowClick(e); });
}

bool MacroGroupAdapter::OnRename(ui::EventArgs& e) {
    if (e.code != ui::kEnChange || e.sender == nullptr || !e.sender->IsClass("edit"))
        return false;
    const auto index = static_cast<int>(e.sender->GetUserData());
    store_.RenameGroup(index, e.sender->GetWindowText().toStdWString());
    return true;
}

bool MacroGroupAdapter::OnRowClick(ui::EventArgs& e) {
    if (e.sender == nullptr || !e.sender->IsClass("window"))
        return true;
    const auto index = static_cast<int>(e.sender->GetUserData());
    // The library may have lost this group since the row was filled.
    if (const MacroGroup* group = store_.Group(index); group != nullptr && listener_ != nullptr)
        listener_->OnMacroGroupClicked(index, group->name);
    return true;
}

}  // namespace keylume
