#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace keylume {

// Writes a settings file straight into text, in the layout the files have always had: an XML
// declaration, one element per line indented with one tab per level, empty elements as
// <name ... />, UTF-8 without a byte-order mark; code points that cannot be encoded (lone
// surrogates, values above U+10FFFF) are written as U+FFFD. Building a document tree first cost
// more than the disk for the largest files.
class XmlOut {
  public:
    // `sizeHint`: the expected length of the text, so that a large file is not copied as it grows.
    explicit XmlOut(std::size_t sizeHint = 4096);

    // Starts a child of the open element (or a top-level element).
    void Open(std::string_view name);
    // Attributes of the element opened last; only before its first child.
    void Attribute(std::string_view name, std::int64_t value);
    void AttributeHex(std::string_view name, std::uint32_t value);
    void Attribute(std::string_view name, const std::wstring& text);
    // Ends the element opened last.
    void Close();

    // The text; every element must be closed.
    std::string Take();

  private:
    void EndStartTag();
    void StartAttribute(std::string_view name);

    struct Open_ {
        std::string_view name;
        bool hasChildren = false;
    };
    std::string out_;
    std::vector<Open_> open_;
};

}  // namespace keylume
