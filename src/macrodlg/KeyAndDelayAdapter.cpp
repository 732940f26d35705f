#include "macrodlg/KeyAndDelayAdapter.h"

#include <cstdio>
#include <utility>

#include "ui/InputControls.h"

namespace keylume {

MacroGroup* KeyAndDelayAdapter::Group() const {
    return group_ < 0 ? nullptr : store_.Group(group_);
}

void KeyAndDelayAdapter::SetGroup(int index) {
    group_ = index < 0 || store_.Group(index) == nullptr ? -1 : index;
    notifyDataSetChanged();
}

int KeyAndDelayAdapter::getCount() {
    const MacroGroup* group = Group();
    return group == nullptr ? 0 : static_cast<int>(group->items.size());
}

void KeyAndDelayAdapter::getView(int position, ui::SWindow* row, const ui::XmlNode& xmlTemplate) {
    if (row->ChildWindows().empty())
        row->CreateChildren(xmlTemplate);
    const MacroItem* item = Item(position);
    if (item == nullptr)
        return;
    if (ui::SWindow* code = row->FindChildByName("key_code"))
        code->SetWindowText(QString::number(item->code, 16));
    if (ui::SWindow* name = row->FindChildByName("key_name"))
        name->SetWindowText(QString::fromStdWString(item->name));
    if (ui::SWindow* state = row->FindChildByName("key_state"))
        state->SetWindowText(item->state == 1 ? "key down" : "replace");
    if (auto* delay = row->FindChildByName2<ui::SEdit>("key_delay")) {
        delay->UnsubscribeAll();
        delay->SetUserData(position);
        delay->SetWindowText(QString::number(item->delay));
        delay->Subscribe(ui::EventType::TextNotify,
                         [this](ui::EventArgs& e) { return OnDelayChanged(e); });
    }
}

QString KeyAndDelayAdapter::GetColumnName(int column) const {
    return QString("col%1").arg(column + 1);
}

bool KeyAndDelayAdapter::OnSort(int column, int* sortFlags, int columnCount) {
    if (column == 5)
        return false;
    // Only the header's arrow changes; the events keep their recorded order.
    const int next =
        sortFlags[column] == ui::kSortAscending ? ui::kSortDescending : ui::kSortAscending;
    for (int i = 0; i < columnCount; ++i)
        sortFlags[i] = ui::kSortNone;
    if (column >= 0 && column < columnCount)
        sortFlags[column] = next;
    return true;
}

void KeyAndDelayAdapter::AddItem(std::uint32_t code, const std::wstring& name, std::uint32_t state,
                                 std::uint32_t delay) {
    MacroGroup* group = Group();
    if (group == nullptr || code == 0)
        return;
    group->items.push_back(MacroItem{code, state, delay, name});
    notifyDataSetChanged();
}

const MacroItem* KeyAndDelayAdapter::Item(int row) const {
    const MacroGroup* group = Group();
    if (group == nullptr || row < 0 || row >= static_cast<int>(group->items.size()))
        return nullptr;
    return &group->items[static_cast<std::size_t>(row)];
}

bool KeyAndDelayAdapter::MoveUp(int row) {
    MacroGroup* group = Group();
    if (group == nullptr || row <= 0 || row >= static_cast<int>(group->items.size()))
        return false;
    std::swap(group->items[static_cast<std::size_t>(row) - 1],
              group->items[static_cast<std::size_t>(row)]);
    notifyDataSetChanged();
    return true;
}

bool KeyAndDelayAdapter::MoveDown(int row) {
    MacroGroup* group = Group();
    if (group == nullptr || row < 0 || row + 1 >= static_cast<int>(group->items.size()))
        return false;
    std::swap(group->items[static_cast<std::size_t>(row)],
              group->items[static_cast<std::size_t>(row) + 1]);
    notifyDataSetChanged();
    return true;
}

void KeyAndDelayAdapter::DeleteItem(int row) {
    MacroGroup* group = Group();
    if (group == nullptr || row < 0 || row >= static_cast<int>(group->items.size()))
        return;
    group->items.erase(group->items.begin() + row);
    notifyDataSetChanged();
}

void KeyAndDelayAdapter::ClearItems() {
    if (MacroGroup* group = Group())
        group->items.clear();
    notifyDataSetChanged();
}

bool KeyAndDelayAdapter::OnDelayChanged(ui::EventArgs& e) {
    if (e.code != ui::kEnChange || e.sender == nullptr)
        return true;
    auto* edit = dynamic_cast<ui::SEdit*>(e.sender);
    if (edit == nullptr)
        return true;
    MacroGroup* group = Group();
    const auto row = static_cast<int>(edit->GetUserData());
    if (group == nullptr || row < 0 || row >= static_cast<int>(group->items.size()))
        return true;
    MacroItem& item = group->items[static_cast<std::size_t>(row)];
    int value = 0;
    const QByteArray text = edit->GetWindowText().toUtf8();
    // A negative delay would become a wait of weeks in the unsigned field: it is refused too.
    if (std::sscanf(text.constData(), "%d", &value) == 1 && value >= 0) {
        if (static_cast<std::uint32_t>(value) != item.delay)
            item.delay = static_cast<std::uint32_t>(value);
    } else {
        edit->SetWindowText(QString::number(item.delay));
    }
    return true;
}

}  // namespace keylume
