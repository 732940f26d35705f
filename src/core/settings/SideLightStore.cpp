#include "core/settings/SideLightStore.h"

#include "core/settings/SettingsFile.h"
#include "core/settings/XmlOut.h"

namespace keylume {

SideLightStore::SideLightStore() {
    ResetValues();
}

void SideLightStore::ResetValues() {
    for (int i = 0; i < kItemCount; ++i) {
        items_[static_cast<std::size_t>(i)] = SideLightItem{};
        items_[static_cast<std::size_t>(i)].SetLevel(i < 3 ? 4 : 7);
    }
    sel_ = 0;
}

bool SideLightStore::Load(const std::filesystem::path& path) {
    path_ = path;
    pugi::xml_document doc;
    settings_file::LoadResult result = settings_file::LoadFile(doc, path, pugi::encoding_utf8);
    leaveFile_ = result.leaveFile;
    return Finish(result.parsed, doc);
}

bool SideLightStore::LoadFromText(std::string_view xml) {
    pugi::xml_document doc;
    bool parsed = settings_file::LoadBuffer(doc, xml.data(), xml.size(), pugi::encoding_utf8);
    return Finish(parsed, doc);
}

bool SideLightStore::Finish(bool parsed, const pugi::xml_document& doc) {
    if (!parsed) {
        Reset();
        return false;
    }
    pugi::xml_node effect = doc.child("effect");
    int sel = effect.attribute("sel").as_int(0);
    sel_ = sel >= 0 && sel < kItemCount ? sel : 0;

    // Modes the file does not cover keep their levels.
    std::size_t n = 0;
    settings_file::ForEachElement(effect, [&](const pugi::xml_node& child) {
        SideLightItem& item = items_[n];
        item.SetLevel(child.attribute("brightness").as_int(0));
        if (item.Level() > 7)
            item.SetLevel(0);
        return ++n < items_.size();
    });
    return true;
}

std::string SideLightStore::ToXml() const {
    XmlOut out;
    out.Open("effect");
    out.Attribute("sel", sel_);
    for (const SideLightItem& item : items_) {
        out.Open("item");
        out.Attribute("brightness", item.Level());
        out.Close();
    }
    return out.Take();
}

bool SideLightStore::Save() const {
    return settings_file::Write(path_, ToXml(), leaveFile_);
}

int SideLightStore::IndexOf(int index) const {
    if (index == -1)
        index = sel_;
    return index >= 0 && index < kItemCount ? index : -1;
}

std::optional<SideLightItem> SideLightStore::Item(int index) const {
    int i = IndexOf(index);
    if (i < 0)
        return std::nullopt;
    return items_[static_cast<std::size_t>(i)];
}

bool SideLightStore::SetItem(int index, SideLightItem item) {
    int i = IndexOf(index);
    if (i < 0)
        return false;
    items_[static_cast<std::size_t>(i)] = item;
    return true;
}

void SideLightStore::SetSel(int index) {
    sel_ = index;
    Save();
}

void SideLightStore::Reset() {
    ResetValues();
    Save();
}

SideLightStore& GetSideLightStore() {
    static SideLightStore store;
    return store;
}

}  // namespace keylume
