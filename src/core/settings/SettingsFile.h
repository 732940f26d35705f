#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include <pugixml.hpp>

namespace keylume::settings_file {

// Parses with the reader's default options. False when the file cannot be read or is not
// well-formed (a file without any element included).
bool LoadFile(pugi::xml_document& doc, const std::filesystem::path& path,
              pugi::xml_encoding encoding);
bool LoadBuffer(pugi::xml_document& doc, const void* data, std::size_t size,
                pugi::xml_encoding encoding);

// The document as the settings files are written: an XML declaration, one tab per level,
// UTF-8 without a byte-order mark.
std::string Text(const pugi::xml_document& doc);

// Replaces `path` with `text` atomically. A failure is traced on the "settings" channel.
bool Write(const std::filesystem::path& path, const std::string& text);

// Text of the files (UTF-8) to and from the stores' wide strings.
std::wstring Wide(const char* utf8);
std::string Utf8(const std::wstring& wide);

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
