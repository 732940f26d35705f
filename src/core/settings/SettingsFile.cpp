#include "core/settings/SettingsFile.h"

#include "platform/AtomicFile.h"
#include "platform/Trace.h"

namespace keylume::settings_file {

bool LoadFile(pugi::xml_document& doc, const std::filesystem::path& path,
              pugi::xml_encoding encoding) {
    return doc.load_file(path.c_str(), pugi::parse_default, encoding);
}

bool LoadBuffer(pugi::xml_document& doc, const void* data, std::size_t size,
                pugi::xml_encoding encoding) {
    return doc.load_buffer(data, size, pugi::parse_default, encoding);
}

bool Write(const std::filesystem::path& path, const std::string& text) {
    std::string error;
    if (platform::ReplaceFileAtomically(path, text, error))
        return true;
    platform::Trace::Write("settings", "save " + path.string() + " failed: " + error);
    return false;
}

std::wstring Wide(const char* utf8) {
    std::wstring out;
    if (utf8 == nullptr) return out;
    const char* p = utf8;
    while (*p != 0 && static_cast<unsigned char>(*p) < 0x80) ++p;
    // Key names are nearly always ASCII.
    if (*p == 0) return std::wstring(utf8, p);
    return pugi::as_wide(utf8);
}

}  // namespace keylume::settings_file
