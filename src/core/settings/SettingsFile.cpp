#include "core/settings/SettingsFile.h"

#include "platform/AtomicFile.h"
#include "platform/Trace.h"

namespace keylume::settings_file {

namespace {

class StringWriter final : public pugi::xml_writer {
  public:
    explicit StringWriter(std::string& out) : out_(out) {}
    void write(const void* data, std::size_t size) override {
        out_.append(static_cast<const char*>(data), size);
    }

  private:
    std::string& out_;
};

}  // namespace

bool LoadFile(pugi::xml_document& doc, const std::filesystem::path& path,
              pugi::xml_encoding encoding) {
    return doc.load_file(path.c_str(), pugi::parse_default, encoding);
}

bool LoadBuffer(pugi::xml_document& doc, const void* data, std::size_t size,
                pugi::xml_encoding encoding) {
    return doc.load_buffer(data, size, pugi::parse_default, encoding);
}

std::string Text(const pugi::xml_document& doc) {
    std::string out;
    StringWriter writer(out);
    doc.save(writer, "\t", pugi::format_default, pugi::encoding_utf8);
    return out;
}

bool Write(const std::filesystem::path& path, const std::string& text) {
    std::string error;
    if (platform::ReplaceFileAtomically(path, text, error))
        return true;
    platform::Trace::Write("settings", "save " + path.string() + " failed: " + error);
    return false;
}

std::wstring Wide(const char* utf8) {
    return pugi::as_wide(utf8 ? utf8 : "");
}

std::string Utf8(const std::wstring& wide) {
    return pugi::as_utf8(wide);
}

}  // namespace keylume::settings_file
