#include "ui/ResProvider.h"

#include <QDir>
#include <QFile>

#include "ui/XmlNode.h"

namespace keylume::ui {

namespace {

// Index paths stay inside the package: no absolute paths, no way up out of the folder.
bool SafeRelativePath(const QString& path) {
    if (path.isEmpty() || path.startsWith('/') || path.startsWith('\\') || path.contains(':')) {
        return false;
    }
    const auto parts = QString(path).replace('\\', '/').split('/');
    for (const auto& part : parts) {
        if (part == "..")
            return false;
    }
    return true;
}

}  // namespace

QString SResProviderFiles::Key(const QString& type, const QString& name) {
    return (type + ':' + name).toLower();
}

bool SResProviderFiles::SplitName(const QString& full, QString* type, QString* name) {
    int colon = full.indexOf(':');
    if (colon <= 0)
        return false;
    *type = full.left(colon);
    *name = full.mid(colon + 1);
    return true;
}

bool SResProviderFiles::Init(const QString& folder) {
    files_.clear();
    folder_ = folder;
    QFile index(folder + "/uires.idx");
    if (!index.open(QIODevice::ReadOnly))
        return false;
    auto root = ParseXml(index.readAll());
    if (!root)
        return false;
    for (const auto& entry : root->children) {
        QString type = entry->Attribute("type");
        QString name = entry->Attribute("name");
        QString path = entry->Attribute("path");
        if (type.isEmpty() || name.isEmpty() || !SafeRelativePath(path))
            continue;
        files_.insert(Key(type, name), QString(path).replace('\\', '/'));
    }
    return true;
}

bool SResProviderFiles::HasResource(const QString& type, const QString& name) const {
    return files_.contains(Key(type, name));
}

QString SResProviderFiles::FilePath(const QString& type, const QString& name) const {
    auto it = files_.constFind(Key(type, name));
    if (it == files_.constEnd())
        return {};
    return folder_ + '/' + *it;
}

QByteArray SResProviderFiles::Load(const QString& type, const QString& name) const {
    QString path = FilePath(type, name);
    if (path.isEmpty())
        return {};
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes = f.readAll();
    if (bytes.isNull())
        bytes = QByteArray("");  // an empty file is still a resource
    return bytes;
}

}  // namespace keylume::ui
