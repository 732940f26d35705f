#include "core/settings/XmlOut.h"

#include <charconv>

namespace keylume {

namespace {

void AppendCodePoint(std::string& out, char32_t c) {
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF)
        c = 0xFFFD;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Code points of a wide string: UTF-32 where wchar_t has 32 bits, UTF-16 where it has 16.
template <typename Visit>
void ForEachCodePoint(const std::wstring& text, Visit&& visit) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<char32_t>(text[i]);
        if constexpr (sizeof(wchar_t) == 2) {
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size()) {
                auto low = static_cast<char32_t>(text[i + 1]);
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        visit(c);
    }
}

}  // namespace

XmlOut::XmlOut(std::size_t sizeHint) {
    out_.reserve(sizeHint);
    out_ += "<?xml version=\"1.0\"?>\n";
}

void XmlOut::EndStartTag() {
    if (!open_.empty() && !open_.back().hasChildren) {
        out_ += ">\n";
        open_.back().hasChildren = true;
    }
}

void XmlOut::Open(std::string_view name) {
    EndStartTag();
    out_.append(open_.size(), '\t');
    out_ += '<';
    out_ += name;
    open_.push_back({name, false});
}

void XmlOut::StartAttribute(std::string_view name) {
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
}

void XmlOut::Attribute(std::string_view name, std::int64_t value) {
    StartAttribute(name);
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    out_.append(buffer, result.ptr);
    out_ += '"';
}

void XmlOut::AttributeHex(std::string_view name, std::uint32_t value) {
    StartAttribute(name);
    char buffer[16];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, 16);
    out_.append(buffer, result.ptr);
    out_ += '"';
}

void XmlOut::Attribute(std::string_view name, const std::wstring& text) {
    StartAttribute(name);
    ForEachCodePoint(text, [&](char32_t c) {
        switch (c) {
            case U'&':
                out_ += "&amp;";
                break;
            case U'<':
                out_ += "&lt;";
                break;
            case U'>':
                out_ += "&gt;";
                break;
            case U'"':
                out_ += "&quot;";
                break;
            // A reader cannot hold a NUL inside a value.
            case 0:
                break;
            default:
                if (c < 0x20) {
                    // Tabs and line breaks as references survive the reader's white-space
                    // normalisation of attribute values.
                    out_ += "&#";
                    if (c >= 10)
                        out_ += static_cast<char>('0' + c / 10);
                    out_ += static_cast<char>('0' + c % 10);
                    out_ += ';';
                } else {
                    AppendCodePoint(out_, c);
                }
        }
    });
    out_ += '"';
}

void XmlOut::Close() {
    if (open_.empty())
        return;
    if (open_.back().hasChildren) {
        out_.append(open_.size() - 1, '\t');
        out_ += "</";
        out_ += open_.back().name;
        out_ += ">\n";
    } else {
        out_ += " />\n";
    }
    open_.pop_back();
}

std::string XmlOut::Take() {
    while (!open_.empty())
        Close();
    return std::move(out_);
}

}  // namespace keylume
