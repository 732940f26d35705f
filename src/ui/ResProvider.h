#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

namespace keylume::ui {

// A resource package: a folder (on disk, or a Qt resource path such as ":/keylume/sys") with an
// index "uires.idx" that maps "type:name" to files inside the folder. Types and names are compared
// without case: the program asks for "UIDEF:XML_INIT" as "uidef:xml_init".
//
// Index format: <resources><file type="LAYOUT" name="XML_MAINWND" path="layout/mainwnd.xml"/>...
class SResProviderFiles {
  public:
    // Reads the index. Returns false when the folder has no readable index; the provider then
    // knows no resources.
    bool Init(const QString& folder);

    QString Folder() const { return folder_; }
    bool HasResource(const QString& type, const QString& name) const;
    // Bytes of the resource, or a null array when it is unknown or cannot be read.
    QByteArray Load(const QString& type, const QString& name) const;
    // Absolute path of the file behind a resource, empty when unknown.
    QString FilePath(const QString& type, const QString& name) const;
    int Count() const { return static_cast<int>(files_.size()); }

    // "type:name" split at the first colon; false when there is no colon.
    static bool SplitName(const QString& full, QString* type, QString* name);

  private:
    static QString Key(const QString& type, const QString& name);
    QString folder_;
    QHash<QString, QString> files_;  // key -> path relative to folder_
};

}  // namespace keylume::ui
