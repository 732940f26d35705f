#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include <pugixml.hpp>

namespace keylume::settings_file {

// Larger files are not settings files and are not read.
inline constexpr std::uintmax_t kMaxFileSize = std::uintmax_t{256} << 20;

// What reading a store's file came to.
struct LoadResult {
    // The file was read and is well-formed (a file without any element included).
    bool parsed = false;
    // The file is there but could not be read, and no copy of it could be kept: the store must
    // not write it in this run.
    bool leaveFile = false;
};

// How a file is used after it was read.
enum class FileUse {
    kReplaced,  // a store rewrites it: an unreadable file is first moved aside
    kOnlyRead,  // config.xml: never written, so an unreadable file is only reported
};

// Reads and parses `path` with the reader's default options. Only a regular file of at most
// kMaxFileSize is read. A missing file is quietly not parsed. Anything else that cannot be read
// (damaged, empty, too large, a pipe, a link that leads nowhere, no access) is reported to the
// settings notices; for a kReplaced file a damaged, empty or too large one is first moved aside so
// that no later save loses it, and where that is not possible (or for a pipe, a dangling link, no
// access) the result says to leave the file alone.
LoadResult LoadFile(pugi::xml_document& doc, const std::filesystem::path& path,
                    pugi::xml_encoding encoding, FileUse use = FileUse::kReplaced);
bool LoadBuffer(pugi::xml_document& doc, const void* data, std::size_t size,
                pugi::xml_encoding encoding);

// Replaces `path` with `text` atomically. A failure is reported to the settings notices (so the
// user hears of the first failure of each file) and the old file stays as it was. With
// `leaveFile` nothing is written: the save is only traced as skipped.
bool Write(const std::filesystem::path& path, const std::string& text, bool leaveFile = false);

// Text of the files (UTF-8) as the stores' wide strings; each byte that is not part of a
// well-formed sequence becomes U+FFFD.
std::wstring Wide(const char* utf8);

inline bool SameName(const char* a, const char* b) {
    while (*a != 0 && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// The values of the attributes `names` of `node` in one walk over its attributes; null for a
// missing one. Of duplicated attributes the first counts, as with a lookup by name.
template <std::size_t N>
std::array<const char*, N> Values(const pugi::xml_node& node, const char* const (&names)[N]) {
    std::array<const char*, N> values{};
    for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
        const char* name = a.name();
        // Files written by the program hold the attributes in the order asked for, so the first
        // name still missing is nearly always the one.
        for (std::size_t i = 0; i < N; ++i) {
            if (values[i] == nullptr && SameName(name, names[i])) {
                values[i] = a.value();
                break;
            }
        }
    }
    return values;
}

// The number of element children of `node`.
inline std::size_t CountElements(const pugi::xml_node& node) {
    std::size_t count = 0;
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        count += child.type() == pugi::node_element;
    }
    return count;
}

// The element children of `node`, in document order; text and other nodes are not items.
template <typename Visit>
void ForEachElement(const pugi::xml_node& node, Visit&& visit) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_element) {
            if (!visit(child))
                return;
        }
    }
}

}  // namespace keylume::settings_file
