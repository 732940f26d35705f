#include "core/settings/SettingsFile.h"

#include <fstream>

#include "platform/AtomicFile.h"
#include "platform/Trace.h"

namespace keylume::settings_file {

bool LoadFile(pugi::xml_document& doc, const std::filesystem::path& path,
              pugi::xml_encoding encoding) {
    // Only a regular file is read: a directory would report a bogus size and a pipe would block
    // the start-up forever.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        return false;
    std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxFileSize)
        return false;

    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    auto length = static_cast<std::size_t>(size);
    void* buffer = pugi::get_memory_allocation_function()(length > 0 ? length : 1);
    if (buffer == nullptr)
        return false;
    in.read(static_cast<char*>(buffer), static_cast<std::streamsize>(length));
    auto got = static_cast<std::size_t>(in.gcount());
    // The document owns the buffer from here on, also when parsing fails.
    return doc.load_buffer_inplace_own(buffer, got, pugi::parse_default, encoding);
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

namespace {

void AppendWide(std::wstring& out, char32_t c) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(c));
}

// Length and value of the well-formed UTF-8 sequence at `p`, or 0 when there is none.
int DecodeSequence(const unsigned char* p, char32_t& c) {
    unsigned char lead = p[0];
    int length;
    char32_t min;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        c = lead & 0x1F;
        min = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        c = lead & 0x0F;
        min = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        c = lead & 0x07;
        min = 0x10000;
    } else {
        return 0;
    }
    for (int i = 1; i < length; ++i) {
        // The terminating NUL is no continuation byte, so this never reads past the text.
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (p[i] & 0x3F);
    }
    if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
        return 0;
    return length;
}

}  // namespace

std::wstring Wide(const char* utf8) {
    std::wstring out;
    if (utf8 == nullptr)
        return out;
    const auto* p = reinterpret_cast<const unsigned char*>(utf8);
    // Key names are nearly always plain ASCII.
    const auto* ascii = p;
    while (*ascii != 0 && *ascii < 0x80)
        ++ascii;
    out.assign(p, ascii);
    p = ascii;
    while (*p != 0) {
        if (*p < 0x80) {
            out.push_back(static_cast<wchar_t>(*p++));
            continue;
        }
        char32_t c = 0;
        int length = DecodeSequence(p, c);
        if (length == 0) {
            // A byte that is not UTF-8 stays visible instead of vanishing from a name.
            AppendWide(out, 0xFFFD);
            ++p;
        } else {
            AppendWide(out, c);
            p += length;
        }
    }
    return out;
}

}  // namespace keylume::settings_file
