#include "core/settings/GroupFile.h"

#include <cstring>
#include <pugixml.hpp>
#include <sstream>

#include "core/settings/MacroStore.h"

namespace keylume {

std::string GroupFileText(const std::vector<MacroGroup>& groups) {
    // The library's writer, less its <config> element.
    MacroStore store;
    store.groups = groups;
    pugi::xml_document doc;
    const std::string full = store.ToXml();
    doc.load_buffer(full.data(), full.size());
    doc.remove_child("config");
    std::ostringstream out;
    doc.save(out, "\t");
    return out.str();
}

bool ReadGroupFile(std::string_view text, std::vector<MacroGroup>& groups) {
    groups.clear();
    pugi::xml_document doc;
    if (!doc.load_buffer(text.data(), text.size()))
        return false;
    const pugi::xml_node macro = doc.child("macro");
    if (!macro || !macro.first_child())
        return false;
    for (const pugi::xml_node& group : macro.children()) {
        if (group.type() != pugi::node_element || std::strcmp(group.name(), "group") != 0)
            return false;
        for (const pugi::xml_node& item : group.children())
            if (item.type() != pugi::node_element || std::strcmp(item.name(), "item") != 0)
                return false;
    }
    // The library's reader gives the groups exactly as macro.xml would.
    MacroStore store;
    if (!store.LoadFromText(text))
        return false;
    groups = std::move(store.groups);
    return !groups.empty();
}

}  // namespace keylume
