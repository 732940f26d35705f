#include "ui/NamedIds.h"

#include <algorithm>

namespace keylume::ui {

bool NamedIdLess(const QString& a, const QString& b) {
    // QString compares UTF-16 code units by value when no locale is involved.
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

void SNamedIds::Init(std::vector<NamedId> entries) {
    entries_ = std::move(entries);
    if (!std::is_sorted(entries_.begin(), entries_.end(),
                        [](const auto& a, const auto& b) { return NamedIdLess(a.name, b.name); })) {
        std::stable_sort(entries_.begin(), entries_.end(),
                         [](const auto& a, const auto& b) { return NamedIdLess(a.name, b.name); });
    }
}

int SNamedIds::Find(const QString& name) const {
    auto it =
        std::lower_bound(entries_.begin(), entries_.end(), name,
                         [](const NamedId& e, const QString& n) { return NamedIdLess(e.name, n); });
    if (it == entries_.end() || it->name != name)
        return 0;
    return it->id;
}

std::vector<NamedId> KeylumeNamedIds() {
    // In ID order: one run per layout.
    static const char* const kNames[] = {
        // main window, 65536..65559
        "title", "btn_more", "btn_min", "img_keyboard", "cbx_color_effect", "tab_color_effect",
        "bar_general_speed_0", "bar_const_brightness_0", "radio_direction_left_0",
        "radio_direction_right_0", "bar_general_speed_1", "bar_const_brightness_1",
        "bar_const_brightness_2", "bar_general_speed_3", "bar_const_brightness_3",
        "radio_loader_left_3", "radio_loader_center_3", "radio_loader_right_3",
        "btn_restore_factory", "cbx_in_lv", "version", "cbx_side_color_effect",
        "text_side_brightness", "bar_side_brightness",
        // macro editor, 65560..65596
        "btnMin", "btnRestore", "btnCancel", "text_recording_keys", "tab_macro_mode_selection",
        "item_up", "item_down", "item_delete", "item_clear", "groupDel", "groupAdd", "groupImport",
        "groupExport", "macro_group", "group_name", "key_info", "col1", "key_code", "col2",
        "key_name", "col3", "key_state", "col4", "key_delay", "edit_macro_repeat_times",
        "edit_macro_delay_time", "chk_macro_realy_delay", "chk_macro_fixed_delay",
        "chk_macro_no_delay", "chk_macro_record", "macro_play_mode", "chk_single_record",
        "edit_single_key", "cmb_media_keys", "cmb_function_keys", "btnOK", "btnDelete",
        // message box, 65597..65603
        "msgtitle", "msgicon", "msgtext", "btnSwitch", "button1st", "button2nd", "button3rd"};
    std::vector<NamedId> table;
    table.push_back({"_name_start", 0xFFFF});
    int id = 0x10000;
    for (const char* name : kNames)
        table.push_back({QString::fromLatin1(name), id++});
    std::stable_sort(table.begin(), table.end(),
                     [](const auto& a, const auto& b) { return NamedIdLess(a.name, b.name); });
    return table;
}

}  // namespace keylume::ui
