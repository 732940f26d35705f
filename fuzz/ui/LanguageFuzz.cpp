// A language file on arbitrary bytes: it loads or is refused, and the translator over it gives
// every text it holds and keeps the rules for names and identities.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "ui/Translator.h"
#include "ui/XmlNode.h"

namespace {

[[noreturn]] void Fail(const char* what, const QString& detail) {
    std::fprintf(stderr, "%s: %s\n", what, detail.toUtf8().constData());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using keylume::ui::SLanguage;
    using keylume::ui::STranslator;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const auto doc = keylume::ui::ParseXml(bytes);
    if (!doc)
        return 0;
    auto language = std::make_shared<SLanguage>();
    if (!language->Load(*doc))
        return 0;
    if (language->Name().size() > STranslator::kMaxNameLength)
        Fail("a name longer than the translator keeps", language->Name());

    STranslator translator;
    translator.SetLanguage(language->Name());
    if (!translator.InstallLanguage(language))
        Fail("a language of the current name was refused", language->Name());
    auto twin = std::make_shared<SLanguage>();
    twin->Load(*doc);
    if (translator.InstallLanguage(twin))
        Fail("the same identity was installed twice", twin->Identity());

    // Each text of the file is what the translator gives for it, in its context or, from a
    // context without it, through the empty context.
    for (const auto& context : doc->children) {
        const QString name = context->Attribute("name");
        for (const auto& text : context->children) {
            if (!text->HasAttribute("src"))
                continue;
            const QString source = text->Attribute("src");
            const QString found = language->Find(source, name);
            // An empty translation is no translation: the source text is shown.
            if (found.isNull() && !text->text.isEmpty() &&
                context->tag.compare("context", Qt::CaseInsensitive) == 0 &&
                text->tag.compare("text", Qt::CaseInsensitive) == 0)
                Fail("a text of the file is not found", source);
            const QString shown = translator.Tr(source, name);
            if (!source.isEmpty() && !found.isNull() && shown != found)
                Fail("the translator shows another text", source);
        }
    }
    translator.Tr(QString::fromUtf8(bytes.left(64)), QString::fromUtf8(bytes.right(16)));
    const QString name = language->Name();
    translator.SetLanguage(name.size() < STranslator::kMaxNameLength ? name + "x" : name.left(1));
    if (translator.InstalledCount() != 0)
        Fail("a language change kept the objects", language->Name());
    return 0;
}
