#include "core/settings/RecordStore.h"

#include "core/settings/NumberText.h"
#include "core/settings/SettingsFile.h"
#include "core/settings/XmlOut.h"

namespace keylume {

namespace {

using settings_file::ForEachElement;
using settings_file::Wide;
using settings_text::UnsignedDecimal;
using settings_text::UnsignedHex;

}  // namespace

RecordStore::RecordStore() : records_(std::make_shared<const List>()) {}

bool RecordStore::Load(const std::filesystem::path& path) {
    {
        std::lock_guard lock(mutex_);
        path_ = path;
        leaveFile_ = false;
    }
    pugi::xml_document doc;
    settings_file::LoadResult result = settings_file::LoadFile(doc, path, pugi::encoding_utf8);
    {
        std::lock_guard lock(mutex_);
        leaveFile_ = result.leaveFile;
    }
    return Finish(result.parsed, doc);
}

bool RecordStore::LoadFromText(std::string_view xml) {
    pugi::xml_document doc;
    bool parsed = settings_file::LoadBuffer(doc, xml.data(), xml.size(), pugi::encoding_utf8);
    return Finish(parsed, doc);
}

bool RecordStore::Finish(bool parsed, const pugi::xml_document& doc) {
    if (!parsed)
        return false;
    auto list = std::make_shared<List>();
    ForEachElement(doc, [&](const pugi::xml_node& node) {
        KeyRecord record;
        record.items.reserve(settings_file::CountElements(node));
        ForEachElement(node, [&](const pugi::xml_node& itemNode) {
            static constexpr const char* kNames[] = {"code", "state", "delay", "name"};
            auto values = settings_file::Values(itemNode, kNames);
            record.items.push_back({UnsignedHex(values[0]), UnsignedDecimal(values[1]),
                                    UnsignedDecimal(values[2]), Wide(values[3])});
            return true;
        });
        record.code = UnsignedHex(node.attribute("code").value());
        record.type = static_cast<int>(UnsignedDecimal(node.attribute("type").value()));
        record.play = settings_text::SignedDecimal(node.attribute("play").value());
        record.repeat = static_cast<int>(UnsignedDecimal(node.attribute("repeat").value()));
        record.name = Wide(node.attribute("name").value());
        record.group = Wide(node.attribute("group").value());
        list->push_back(std::move(record));
        return true;
    });
    Publish(std::move(list));
    return true;
}

std::string RecordStore::ToXml() const {
    std::shared_ptr<const List> list = Snapshot();
    std::size_t items = 0;
    for (const KeyRecord& record : *list)
        items += record.items.size() + 2;
    XmlOut out(64 + items * 72);
    for (const KeyRecord& record : *list) {
        out.Open("record");
        out.AttributeHex("code", record.code);
        out.Attribute("play", record.play);
        out.Attribute("type", record.type);
        out.Attribute("repeat", record.repeat);
        out.Attribute("name", record.name);
        out.Attribute("group", record.group);
        for (const MacroItem& item : record.items) {
            out.Open("item");
            out.AttributeHex("code", item.code);
            out.Attribute("state", item.state);
            out.Attribute("delay", item.delay);
            out.Attribute("name", item.name);
            out.Close();
        }
        out.Close();
    }
    return out.Take();
}

bool RecordStore::Save() const {
    std::filesystem::path path;
    bool leaveFile;
    {
        std::lock_guard lock(mutex_);
        path = path_;
        leaveFile = leaveFile_;
    }
    return settings_file::Write(path, ToXml(), leaveFile);
}

std::shared_ptr<const RecordStore::List> RecordStore::Snapshot() const {
    std::lock_guard lock(mutex_);
    return records_;
}

void RecordStore::Publish(std::shared_ptr<const List> list) {
    std::lock_guard lock(mutex_);
    records_ = std::move(list);
}

void RecordStore::AddOrReplace(const KeyRecord& record) {
    auto list = std::make_shared<List>(*Snapshot());
    for (KeyRecord& existing : *list) {
        if (existing.code == record.code) {
            existing = record;
            Publish(std::move(list));
            return;
        }
    }
    list->push_back(record);
    Publish(std::move(list));
    Save();
}

bool RecordStore::Remove(std::uint32_t code) {
    auto list = std::make_shared<List>(*Snapshot());
    for (auto it = list->begin(); it != list->end(); ++it) {
        if (it->code == code) {
            list->erase(it);
            Publish(std::move(list));
            return true;
        }
    }
    return false;
}

void RecordStore::Clear() {
    Publish(std::make_shared<const List>());
    Save();
}

std::filesystem::path RecordStore::Path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

RecordStore& GetRecordStore() {
    static RecordStore store;
    return store;
}

}  // namespace keylume
