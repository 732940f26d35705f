#include "core/settings/LedEffectStore.h"

#include "core/settings/SettingsFile.h"
#include "core/settings/XmlOut.h"

namespace keylume {

namespace {

std::uint8_t LowByte(unsigned value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

}  // namespace

LedEffectStore::LedEffectStore() = default;

bool LedEffectStore::Load(const std::filesystem::path& path) {
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

bool LedEffectStore::LoadFromText(std::string_view xml) {
    pugi::xml_document doc;
    bool parsed = settings_file::LoadBuffer(doc, xml.data(), xml.size(), pugi::encoding_utf8);
    return Finish(parsed, doc);
}

bool LedEffectStore::Finish(bool parsed, const pugi::xml_document& doc) {
    if (!parsed) {
        Reset();
        return false;
    }
    pugi::xml_node effect = doc.child("effect");
    int sel = effect.attribute("sel").as_int(0);
    if (sel < 0 || sel >= kItemCount)
        sel = 0;

    std::array<LedEffectItem, kItemCount> items;
    {
        std::lock_guard lock(mutex_);
        items = items_;
    }
    // Items the file does not cover keep what they hold.
    int n = 0;
    settings_file::ForEachElement(effect, [&](const pugi::xml_node& child) {
        LedEffectItem& item = items[static_cast<std::size_t>(n)];
        item.speed = LowByte(child.attribute("speed").as_uint(0));
        item.brightness = LowByte(child.attribute("brightness").as_uint(0));
        item.deriction = LowByte(child.attribute("deriction").as_uint(0));
        item.selection = LowByte(child.attribute("selection").as_uint(1));
        if (item.speed > 2)
            item.speed = 1;
        if (item.brightness > 13)
            item.brightness = 13;
        if (item.deriction > 1)
            item.deriction = 0;
        return ++n < kItemCount;
    });

    std::lock_guard lock(mutex_);
    items_ = items;
    sel_ = sel;
    return true;
}

std::string LedEffectStore::ToXml() const {
    std::array<LedEffectItem, kItemCount> items;
    int sel;
    {
        std::lock_guard lock(mutex_);
        items = items_;
        sel = sel_;
    }
    XmlOut out;
    out.Open("effect");
    out.Attribute("sel", sel);
    for (const LedEffectItem& item : items) {
        out.Open("item");
        out.Attribute("speed", item.speed);
        out.Attribute("brightness", item.brightness);
        out.Attribute("deriction", item.deriction);
        out.Attribute("selection", item.selection);
        out.Close();
    }
    return out.Take();
}

bool LedEffectStore::Save() const {
    std::filesystem::path path;
    bool leaveFile;
    {
        std::lock_guard lock(mutex_);
        path = path_;
        leaveFile = leaveFile_;
    }
    return settings_file::Write(path, ToXml(), leaveFile);
}

int LedEffectStore::IndexOf(int index) const {
    if (index == -1)
        index = sel_;
    return index >= 0 && index < kItemCount ? index : -1;
}

std::optional<LedEffectItem> LedEffectStore::Item(int index) const {
    std::lock_guard lock(mutex_);
    int i = IndexOf(index);
    if (i < 0)
        return std::nullopt;
    return items_[static_cast<std::size_t>(i)];
}

bool LedEffectStore::SetItem(int index, const LedEffectItem& item) {
    std::lock_guard lock(mutex_);
    int i = IndexOf(index);
    if (i < 0)
        return false;
    items_[static_cast<std::size_t>(i)] = item;
    return true;
}

int LedEffectStore::Sel() const {
    std::lock_guard lock(mutex_);
    return sel_;
}

void LedEffectStore::SetSel(int index) {
    {
        std::lock_guard lock(mutex_);
        sel_ = index;
    }
    Save();
}

void LedEffectStore::Reset() {
    {
        std::lock_guard lock(mutex_);
        items_.fill(LedEffectItem{});
        sel_ = kResetSel;
    }
    Save();
}

std::filesystem::path LedEffectStore::Path() const {
    std::lock_guard lock(mutex_);
    return path_;
}

LedEffectStore& GetLedEffectStore() {
    static LedEffectStore store;
    return store;
}

}  // namespace keylume
