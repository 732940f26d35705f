#include "core/settings/MacroStore.h"

#include <cwchar>

#include "core/settings/NumberText.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/XmlOut.h"

namespace keylume {

namespace {

using settings_file::ForEachElement;
using settings_text::UnsignedDecimal;

// Every number of this file is read as unsigned decimal text: "-1" wraps back to -1 in an int,
// and a 0x prefix reads as 0.
int ConfigValue(const pugi::xml_node& config, const char* name) {
    return static_cast<int>(UnsignedDecimal(config.attribute(name).value()));
}

}  // namespace

bool MacroStore::Load(const std::filesystem::path& path) {
    path_ = path;
    pugi::xml_document doc;
    settings_file::LoadResult result = settings_file::LoadFile(doc, path, pugi::encoding_utf8);
    leaveFile_ = result.leaveFile;
    return Finish(result.parsed, doc);
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
        g.items.reserve(settings_file::CountElements(groupNode));
        ForEachElement(groupNode, [&](const pugi::xml_node& itemNode) {
            static constexpr const char* kNames[] = {"code", "state", "delay", "name"};
            auto values = settings_file::Values(itemNode, kNames);
            g.items.push_back({UnsignedDecimal(values[0]), UnsignedDecimal(values[1]),
                               UnsignedDecimal(values[2]), settings_file::Wide(values[3])});
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
    std::size_t items = 0;
    for (const MacroGroup& g : groups)
        items += g.items.size() + 1;
    XmlOut out(256 + items * 72);
    out.Open("config");
    out.Attribute("type", type);
    out.Attribute("repeat", repeat);
    out.Attribute("mode", mode);
    out.Attribute("delay", delay);
    out.Attribute("media", media);
    out.Attribute("function", function);
    out.Attribute("group", group);
    out.Attribute("skcode", skcode);
    out.Attribute("play", play);
    out.Close();

    out.Open("macro");
    for (const MacroGroup& g : groups) {
        out.Open("group");
        out.Attribute("name", g.name);
        for (const MacroItem& item : g.items) {
            out.Open("item");
            out.Attribute("code", item.code);
            out.Attribute("state", item.state);
            out.Attribute("delay", item.delay);
            out.Attribute("name", item.name);
            out.Close();
        }
        out.Close();
    }
    out.Close();
    return out.Take();
}

bool MacroStore::Save() const {
    return settings_file::Write(path_, ToXml(), leaveFile_);
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
