#include "core/settings/RecordStore.h"

#include "core/settings/NumberText.h"
#include "core/settings/SettingsFile.h"

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
    }
    pugi::xml_document doc;
    bool parsed = settings_file::LoadFile(doc, path, pugi::encoding_utf8);
    return Finish(parsed, doc);
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
        ForEachElement(node, [&](const pugi::xml_node& itemNode) {
            MacroItem item;
            item.code = UnsignedHex(itemNode.attribute("code").value());
            item.name = Wide(itemNode.attribute("name").value());
            item.state = UnsignedDecimal(itemNode.attribute("state").value());
            item.delay = UnsignedDecimal(itemNode.attribute("delay").value());
            record.items.push_back(std::move(item));
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
    pugi::xml_document doc;
    for (const KeyRecord& record : *list) {
        pugi::xml_node node = doc.append_child("record");
        node.append_attribute("code").set_value(settings_text::HexDigits(record.code).c_str());
        node.append_attribute("play").set_value(record.play);
        node.append_attribute("type").set_value(record.type);
        node.append_attribute("repeat").set_value(record.repeat);
        node.append_attribute("name").set_value(settings_file::Utf8(record.name).c_str());
        node.append_attribute("group").set_value(settings_file::Utf8(record.group).c_str());
        for (const MacroItem& item : record.items) {
            pugi::xml_node itemNode = node.append_child("item");
            itemNode.append_attribute("code").set_value(
                settings_text::HexDigits(item.code).c_str());
            itemNode.append_attribute("state").set_value(item.state);
            itemNode.append_attribute("delay").set_value(item.delay);
            itemNode.append_attribute("name").set_value(settings_file::Utf8(item.name).c_str());
        }
    }
    return settings_file::Text(doc);
}

bool RecordStore::Save() const {
    return settings_file::Write(Path(), ToXml());
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
