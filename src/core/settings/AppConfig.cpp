#include "core/settings/AppConfig.h"

#include <cstring>

#include "core/settings/DataFolder.h"
#include "core/settings/NumberText.h"
#include "core/settings/SettingsFile.h"

namespace keylume {

namespace {

using settings_file::ForEachElement;
using settings_file::Wide;

std::int32_t UsbValue(const pugi::xml_node& usb, const char* name) {
    pugi::xml_attribute attribute = usb.attribute(name);
    return attribute ? settings_text::SignedHex(attribute.value()) : 0;
}

// "code,delay" pairs: "4:10, 5:0" -> {4,10},{5,0}. Blanks are dropped first; empty pieces add
// nothing. A piece with nothing before its colon names no key and is skipped.
std::vector<CombKeyPair> ParsePairs(const char* text) {
    std::string compact;
    for (const char* p = text; *p; ++p) {
        if (*p != ' ')
            compact.push_back(*p);
    }
    std::vector<CombKeyPair> pairs;
    std::size_t start = 0;
    while (start <= compact.size()) {
        std::size_t end = compact.find(',', start);
        if (end == std::string::npos)
            end = compact.size();
        std::string piece = compact.substr(start, end - start);
        start = end + 1;
        if (piece.empty() || piece.front() == ':')
            continue;
        CombKeyPair pair;
        pair.code = settings_text::SignedDecimal(piece.c_str());
        std::size_t colon = piece.find(':');
        if (colon != std::string::npos) {
            pair.delay = settings_text::SignedDecimal(piece.c_str() + colon + 1);
        }
        pairs.push_back(pair);
    }
    return pairs;
}

}  // namespace

void AppConfig::Load() {
    Load(DataFilePath("config.xml"));
}

bool AppConfig::Load(const std::filesystem::path& path) {
    pugi::xml_document doc;
    if (!settings_file::LoadFile(doc, path, pugi::encoding_auto, settings_file::FileUse::kOnlyRead)
             .parsed)
        return false;
    Read(doc);
    return true;
}

bool AppConfig::LoadFromText(std::string_view xml) {
    pugi::xml_document doc;
    if (!settings_file::LoadBuffer(doc, xml.data(), xml.size(), pugi::encoding_auto))
        return false;
    Read(doc);
    return true;
}

void AppConfig::Read(const pugi::xml_document& doc) {
    chineseUi = std::strcmp(doc.child("local").attribute("language").value(), "cn") == 0;

    pugi::xml_node usb = doc.child("usb");
    vid = UsbValue(usb, "vid");
    pid = UsbValue(usb, "pid");
    usbInterface = UsbValue(usb, "interface");
    subdevice = UsbValue(usb, "subdevice");

    funkeys.clear();
    ForEachElement(doc.child("funkey"), [&](const pugi::xml_node& child) {
        const char* name = child.attribute("name").value();
        if (*name == '\0')
            return true;
        FunKeyEntry entry;
        entry.name = Wide(name);
        entry.path = Wide(child.attribute("path").value());
        entry.argm = Wide(child.attribute("argm").value());
        entry.code = settings_text::UnsignedHex(child.attribute("code").value());
        funkeys.push_back(std::move(entry));
        return true;
    });

    combkeys.clear();
    ForEachElement(doc.child("combkey"), [&](const pugi::xml_node& child) {
        CombKeyEntry entry;
        entry.name = Wide(child.attribute("name").value());
        if (pugi::xml_attribute code = child.attribute("code"))
            entry.keys = ParsePairs(code.value());
        combkeys.push_back(std::move(entry));
        return true;
    });
}

AppConfig& GetAppConfig() {
    static AppConfig config;
    return config;
}

}  // namespace keylume
