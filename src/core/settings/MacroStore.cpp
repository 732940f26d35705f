#include "core/settings/MacroStore.h"

#include <cwchar>

#include "core/settings/NumberText.h"
#include "core/settings/SettingsFile.h"

namespace keylume {

namespace {

using settings_file::ForEachElement;
using settings_text::UnsignedDecimal;

// Every number of this file is read as unsigned decimal text: "-1" wraps back to -1 in an int,
// and a 0x prefix reads as 0.
int ConfigValue(const pugi::xml_node& config, const char* name) {
    return static_cast<int>(UnsignedDecimal(config.attribute(name).value()));
}

void SetNumber(pugi::xml_node& node, const char* name, long long value) {
    node.append_attribute(name).set_value(value);
}

}  // namespace

bool MacroStore::Load(const std::filesystem::path& path) {
    path_ = path;
    pugi::xml_document doc;
    bool parsed = settings_file::LoadFile(doc, path, pugi::encoding_utf8);
    return Finish(parsed, doc);
}

bool MacroStore::LoadFromText(std::string_view xml) {
    pugi::xml_document doc;
    bool parsed = settings_file::LoadBuffer(doc, xml.data(), xml.size(), pugi::encoding_utf8);
    return Finish(parsed, doc);
}

bool MacroStore::Finish(bool parsed, const pugi::xml_document& doc) {
    if (!parsed)
        return false;

    groups.clear();
    ForEachElement(doc.child("macro"), [&](const pugi::xml_node& groupNode) {
        MacroGroup g;
        ForEachElement(groupNode, [&](const pugi::xml_node& itemNode) {
            MacroItem item;
            item.code = UnsignedDecimal(itemNode.attribute("code").value());
            item.state = UnsignedDecimal(itemNode.attribute("state").value());
            item.delay = UnsignedDecimal(itemNode.attribute("delay").value());
            item.name = settings_file::Wide(itemNode.attribute("name").value());
            g.items.push_back(std::move(item));
            return true;
        });
        g.name = settings_file::Wide(groupNode.attribute("name").value());
        groups.push_back(std::move(g));
        return true;
    });

    if (pugi::xml_node config = doc.child("config")) {
        play = ConfigValue(config, "play");
        type = ConfigValue(config, "type");
        repeat = ConfigValue(config, "repeat");
        delay = ConfigValue(config, "delay");
        mode = ConfigValue(config, "mode");
        media = ConfigValue(config, "media");
        function = ConfigValue(config, "function");
        group = ConfigValue(config, "group");
        skcode = ConfigValue(config, "skcode");
    }
    return true;
}

std::string MacroStore::ToXml() const {
    pugi::xml_document doc;
    pugi::xml_node config = doc.append_child("config");
    SetNumber(config, "type", type);
    SetNumber(config, "repeat", repeat);
    SetNumber(config, "mode", mode);
    SetNumber(config, "delay", delay);
    SetNumber(config, "media", media);
    SetNumber(config, "function", function);
    SetNumber(config, "group", group);
    SetNumber(config, "skcode", skcode);
    SetNumber(config, "play", play);

    pugi::xml_node macro = doc.append_child("macro");
    for (const MacroGroup& g : groups) {
        pugi::xml_node groupNode = macro.append_child("group");
        groupNode.append_attribute("name").set_value(settings_file::Utf8(g.name).c_str());
        for (const MacroItem& item : g.items) {
            pugi::xml_node itemNode = groupNode.append_child("item");
            itemNode.append_attribute("code").set_value(item.code);
            itemNode.append_attribute("state").set_value(item.state);
            itemNode.append_attribute("delay").set_value(item.delay);
            itemNode.append_attribute("name").set_value(settings_file::Utf8(item.name).c_str());
        }
    }
    return settings_file::Text(doc);
}

bool MacroStore::Save() const {
    return settings_file::Write(path_, ToXml());
}

void MacroStore::AddGroup() {
    for (std::size_t n = groups.size();; ++n) {
        wchar_t buffer[100];
        std::swprintf(buffer, 100, L"Group %zu", n);
        std::wstring name(buffer);
        bool taken = false;
        for (const MacroGroup& g : groups) {
            if (g.name == name) {
                taken = true;
                break;
            }
        }
        if (!taken) {
            groups.push_back(MacroGroup{std::move(name), {}});
            break;
        }
    }
    Save();
}

void MacroStore::DeleteGroup(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= groups.size())
        return;
    groups.erase(groups.begin() + index);
    Save();
}

bool MacroStore::RenameGroup(int index, const std::wstring& name) {
    MacroGroup* g = index < 0 ? nullptr : Group(index);
    if (g == nullptr || g->name == name)
        return false;
    g->name = name;
    Save();
    return true;
}

MacroGroup* MacroStore::Group(int index) {
    return const_cast<MacroGroup*>(static_cast<const MacroStore&>(*this).Group(index));
}

const MacroGroup* MacroStore::Group(int index) const {
    if (index < 0)
        index = group;
    if (index < 0 || static_cast<std::size_t>(index) >= groups.size())
        return nullptr;
    return &groups[static_cast<std::size_t>(index)];
}

void MacroStore::ResetChoices() {
    type = 0;
    repeat = 1;
    delay = 10;
    mode = 0;
    media = 0;
    function = 0;
    skcode = 0;
    group = 0;
}

MacroStore& GetMacroStore() {
    static MacroStore store;
    return store;
}

}  // namespace keylume
