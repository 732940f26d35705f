#pragma once

#include <QHash>
#include <QString>
#include <memory>
#include <vector>

namespace keylume::ui {

class XmlNode;

// One language: its name (at most 63 characters), an identity and the translation table.
// File format (element "language"):
//   <language name="lang_cn" id="keylume-cn">
//     <context name=""><text src="Warning">警告</text>...</context>
//   </language>
class SLanguage {
  public:
    // Fills the object from a "language" element; false when the element is not one.
    bool Load(const XmlNode& language);
    QString Name() const { return name_; }
    QString Identity() const { return identity_; }
    // The translation of `source` in `context`, or a null string when there is none.
    QString Find(const QString& source, const QString& context) const;

  private:
    QString name_;
    QString identity_;
    QHash<QString, QString> table_;  // context + '\x1f' + source -> translation
};

// The process's translator: a current language name and the language objects installed for it.
class STranslator {
  public:
    static constexpr int kMaxNameLength = 63;

    QString CurrentLanguage() const { return current_; }
    // Makes `name` (cut to 63 characters) current; a different name drops every installed object.
    void SetLanguage(const QString& name);
    // Accepted only when the object's name is the current language and no object with the same
    // identity is installed; otherwise the objects already installed stay in use.
    bool InstallLanguage(std::shared_ptr<SLanguage> language);
    void UninstallAll() { installed_.clear(); }
    int InstalledCount() const { return static_cast<int>(installed_.size()); }

    // The text in the current language; the source itself when no installed object knows it.
    // A context without a translation falls back to the empty context.
    QString Tr(const QString& source, const QString& context = {}) const;

  private:
    QString current_;
    std::vector<std::shared_ptr<SLanguage>> installed_;
};

}  // namespace keylume::ui
