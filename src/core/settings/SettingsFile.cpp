#include "core/settings/SettingsFile.h"

#include <string_view>

#include "core/settings/SettingsNotices.h"
#include "platform/AtomicFile.h"
#include "platform/DataFiles.h"
#include "platform/Trace.h"

namespace keylume::settings_file {

namespace {

// Whether `text` holds nothing but blanks, an XML declaration and comments: what a store writes
// when it has nothing to keep (record.xml without bindings). The reader calls such a document
// malformed, as it has no element, but it is a well-formed file with nothing in it.
bool OnlyProlog(const char* text, std::size_t size) {
    const std::string_view rest(text, size);
    std::size_t i = 0;
    bool any = false;
    while (i < rest.size()) {
        const char c = rest[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        std::string_view close;
        if (rest.substr(i, 5) == "<?xml")
            close = "?>";
        else if (rest.substr(i, 4) == "<!--")
            close = "-->";
        else
            return false;
        const std::size_t end = rest.find(close, i + 2);
        if (end == std::string_view::npos)
            return false;
        i = end + close.size();
        any = true;
    }
    return any;
}

bool Accept(const pugi::xml_parse_result& result, bool onlyProlog) {
    return result || (result.status == pugi::status_no_document_element && onlyProlog);
}

bool Parse(pugi::xml_document& doc, const platform::FileBytes& bytes, pugi::xml_encoding encoding) {
    const bool onlyProlog =
        bytes.data != nullptr && OnlyProlog(static_cast<const char*>(bytes.data), bytes.size);
    // The document owns the buffer from here on, also when parsing fails.
    return Accept(
        doc.load_buffer_inplace_own(bytes.data, bytes.size, pugi::parse_default, encoding),
        onlyProlog);
}

}  // namespace

LoadResult LoadFile(pugi::xml_document& doc, const std::filesystem::path& path,
                    pugi::xml_encoding encoding, FileUse use) {
    platform::FileBytes bytes;
    SettingsNotice notice;
    notice.file = path;
    notice.onlyRead = use == FileUse::kOnlyRead;
    notice.readStatus = platform::ReadWholeFile(
        path, kMaxFileSize, pugi::get_memory_allocation_function(), bytes, notice.detail);
    switch (notice.readStatus) {
        case platform::ReadStatus::kMissing:
            return {};
        case platform::ReadStatus::kRead:
            notice.empty = bytes.size == 0;
            if (Parse(doc, bytes, encoding))
                return {true, false};
            break;
        case platform::ReadStatus::kFolder:
            // Nothing to lose and nothing to read; a store's save says that it cannot write.
            if (use == FileUse::kReplaced)
                return {};
            break;
        default:
            break;
    }
    if (notice.readStatus != platform::ReadStatus::kRead && bytes.data != nullptr)
        pugi::get_memory_deallocation_function()(bytes.data);

    // Only what holds the user's bytes and can be moved whole is set aside; a pipe, a link that
    // leads nowhere or a file the program may not open stays exactly as it is.
    const bool movable = notice.readStatus == platform::ReadStatus::kRead ||
                         notice.readStatus == platform::ReadStatus::kTooLarge;
    if (use == FileUse::kOnlyRead) {
        notice.kind = SettingsNotice::Kind::kLeftUnreadable;
        ReportSettingsNotice(notice);
        return {};
    }
    if (movable) {
        platform::WriteError error;
        if (platform::MoveAside(path, notice.copy, error)) {
            notice.kind = SettingsNotice::Kind::kKeptUnreadable;
            ReportSettingsNotice(notice);
            return {};
        }
        notice.writeProblem = error.problem;
        notice.detail = error.text;
    }
    notice.kind = SettingsNotice::Kind::kLeftUnreadable;
    ReportSettingsNotice(notice);
    return {false, true};
}

bool LoadBuffer(pugi::xml_document& doc, const void* data, std::size_t size,
                pugi::xml_encoding encoding) {
    return Accept(doc.load_buffer(data, size, pugi::parse_default, encoding),
                  data != nullptr && OnlyProlog(static_cast<const char*>(data), size));
}

bool Write(const std::filesystem::path& path, const std::string& text, bool leaveFile) {
    if (leaveFile) {
        platform::Trace::Write(
            "settings", "save " + path.string() + " skipped: the unreadable file is left as it is");
        return false;
    }
    platform::WriteError error;
    if (platform::ReplaceFileAtomically(path, text, error))
        return true;
    SettingsNotice notice;
    notice.kind = SettingsNotice::Kind::kSaveFailed;
    notice.file = path;
    notice.writeProblem = error.problem;
    notice.detail = error.text;
    ReportSettingsNotice(notice);
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
