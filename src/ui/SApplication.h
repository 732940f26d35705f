#pragma once

#include <QColor>
#include <QHash>
#include <QIcon>
#include <QPixmap>
#include <QString>
#include <memory>
#include <utility>
#include <vector>

#include "ui/ControlRegistry.h"
#include "ui/NamedIds.h"
#include "ui/ResProvider.h"
#include "ui/Skin.h"
#include "ui/Translator.h"
#include "ui/XmlNode.h"

namespace keylume::ui {

class SHostWnd;

// The toolkit's process-wide state: resource packages, named strings, colours and skins, the
// named-ID table, the translator and the control registry. One exists while windows exist; it is
// reached through Instance() by the controls, and owned by the program's entry point.
//
// Threads: UI thread only.
class SApplication {
  public:
    SApplication();
    ~SApplication();
    SApplication(const SApplication&) = delete;
    SApplication& operator=(const SApplication&) = delete;

    static SApplication* Instance();

    // Adds a package and reads the tables its UI definition names:
    //   <uidef><string src="values:string"/><color src="values:color"/><skin src="values:skin"/>
    // Returns false when the definition is missing (the package is still searched for resources).
    bool AddResProvider(std::shared_ptr<SResProviderFiles> provider,
                        const QString& uidef = "uidef:xml_init");
    // The toolkit's own resources (message box layout, system skins), searched after the packages.
    bool LoadSystemResources(std::shared_ptr<SResProviderFiles> provider);
    // The resources compiled into the executable.
    static QString SystemResourceFolder() { return ":/keylume/sys"; }

    QByteArray LoadResource(const QString& type, const QString& name) const;
    QByteArray LoadResource(const QString& fullName) const;  // "type:name"
    std::unique_ptr<XmlNode> LoadXml(const QString& fullName) const;
    // System resources only (the message box takes its template from the executable's copy).
    std::unique_ptr<XmlNode> LoadSystemXml(const QString& fullName) const;
    // A picture by resource name, cached; null when it cannot be loaded. Files named "*@2x.png"
    // are drawn at half their pixel size so that they stay sharp at 200%.
    QPixmap LoadImage(const QString& fullName);
    QIcon LoadIcon(const QString& fullName);
    // The file behind a resource (packages first, then the system's), empty when there is none.
    QString ResourceFile(const QString& fullName) const;

    void InitNamedIds(std::vector<NamedId> entries) { namedIds_.Init(std::move(entries)); }
    const SNamedIds& NamedIds() const { return namedIds_; }

    // Named strings, kept sorted by name (16-bit code units); index 0 is the name that sorts first.
    QString GetString(const QString& name) const;
    QString GetStringByIndex(int index) const;
    int StringCount() const { return static_cast<int>(strings_.size()); }
    QColor GetColor(const QString& name, const QColor& fallback = {}) const;
    // A named skin, or a picture name taken as a one-state skin; null when neither exists.
    const SSkin* GetSkin(const QString& name);
    // "@string/x" and "@color/x" replaced by their values; anything else unchanged.
    QString ResolveRefs(const QString& value) const;

    STranslator& Translator() { return translator_; }
    QString Tr(const QString& text, const QString& context = {}) const;
    // Loads "translator:<name>", installs it as the current language. False (nothing changes)
    // when the resource is missing or not a language document.
    bool LoadLanguage(const QString& resourceName);

    SControlRegistry& Registry() { return registry_; }

    // The folder of the executable, without trailing separator; settable for tests.
    QString ProgramFolder() const { return programFolder_; }
    void SetProgramFolder(const QString& folder) { programFolder_ = folder; }

    // Runs the message loop with `main` as the main window; returns the quit code.
    int Run(SHostWnd* main);
    SHostWnd* MainWindow() const { return mainWindow_; }
    void SetMainWindow(SHostWnd* host) { mainWindow_ = host; }

    // The dark theme: palette, fonts and widget styles built from the named colours.
    void ApplyTheme();

  private:
    void ReadStrings(const XmlNode& root);
    void ReadColors(const XmlNode& root);
    void ReadSkins(const XmlNode& root);

    std::vector<std::shared_ptr<SResProviderFiles>> providers_;
    std::shared_ptr<SResProviderFiles> system_;
    std::vector<std::pair<QString, QString>> strings_;
    QHash<QString, QColor> colors_;
    QHash<QString, SSkin> skins_;
    QHash<QString, QPixmap> images_;
    SNamedIds namedIds_;
    STranslator translator_;
    SControlRegistry registry_;
    QString programFolder_;
    SHostWnd* mainWindow_ = nullptr;
};

}  // namespace keylume::ui
