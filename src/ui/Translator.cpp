#include "ui/Translator.h"

#include "ui/XmlNode.h"

namespace keylume::ui {

namespace {
QString Key(const QString& context, const QString& source) {
    return context + QChar(0x1f) + source;
}
}  // namespace

bool SLanguage::Load(const XmlNode& language) {
    if (language.tag.compare("language", Qt::CaseInsensitive) != 0)
        return false;
    name_ = language.Attribute("name").left(STranslator::kMaxNameLength);
    identity_ = language.Attribute("id", name_);
    table_.clear();
    for (const auto& context : language.children) {
        if (context->tag.compare("context", Qt::CaseInsensitive) != 0)
            continue;
        QString ctx = context->Attribute("name");
        for (const auto& text : context->children) {
            if (text->tag.compare("text", Qt::CaseInsensitive) != 0)
                continue;
            // An empty translation is none: the source text is shown, and it never hides a
            // translation given earlier for the same text.
            if (!text->HasAttribute("src") || text->text.isEmpty())
                continue;
            table_.insert(Key(ctx, text->Attribute("src")), text->text);
        }
    }
    return true;
}

QString SLanguage::Find(const QString& source, const QString& context) const {
    auto it = table_.constFind(Key(context, source));
    if (it != table_.constEnd())
        return *it;
    if (!context.isEmpty()) {
        it = table_.constFind(Key({}, source));
        if (it != table_.constEnd())
            return *it;
    }
    return {};
}

void STranslator::SetLanguage(const QString& name) {
    QString cut = name.left(kMaxNameLength);
    if (cut != current_)
        installed_.clear();
    current_ = cut;
}

bool STranslator::InstallLanguage(std::shared_ptr<SLanguage> language) {
    if (!language || language->Name() != current_)
        return false;
    for (const auto& l : installed_) {
        if (l->Identity() == language->Identity())
            return false;
    }
    installed_.push_back(std::move(language));
    return true;
}

QString STranslator::Tr(const QString& source, const QString& context) const {
    if (source.isEmpty())
        return source;
    for (auto it = installed_.rbegin(); it != installed_.rend(); ++it) {
        QString t = (*it)->Find(source, context);
        if (!t.isNull())
            return t;
    }
    return source;
}

}  // namespace keylume::ui
