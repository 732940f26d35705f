#include "ui/SApplication.h"

#include <QApplication>
#include <QFileInfo>
#include <QFont>
#include <QPalette>
#include <QTimer>
#include <algorithm>

#include "ui/HostWnd.h"

namespace keylume::ui {

namespace {
SApplication* g_instance = nullptr;

bool StringLess(const std::pair<QString, QString>& a, const std::pair<QString, QString>& b) {
    return NamedIdLess(a.first, b.first);
}
}  // namespace

SApplication::SApplication() {
    g_instance = this;
    registry_.RegisterBuiltIns();
    programFolder_ = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : ".";
}

SApplication::~SApplication() {
    if (g_instance == this)
        g_instance = nullptr;
}

SApplication* SApplication::Instance() {
    return g_instance;
}

bool SApplication::AddResProvider(std::shared_ptr<SResProviderFiles> provider,
                                  const QString& uidef) {
    if (!provider)
        return false;
    providers_.push_back(provider);
    QString type, name;
    if (!SResProviderFiles::SplitName(uidef, &type, &name))
        return false;
    auto def = ParseXml(provider->Load(type, name));
    if (!def)
        return false;
    for (const auto& entry : def->children) {
        QString t, n;
        if (!SResProviderFiles::SplitName(entry->Attribute("src"), &t, &n))
            continue;
        auto table = ParseXml(provider->Load(t, n));
        if (!table)
            continue;
        QString kind = entry->tag.toLower();
        if (kind == "string")
            ReadStrings(*table);
        if (kind == "color")
            ReadColors(*table);
        if (kind == "skin")
            ReadSkins(*table);
    }
    return true;
}

bool SApplication::LoadSystemResources(std::shared_ptr<SResProviderFiles> provider) {
    if (!provider || provider->Count() == 0)
        return false;
    system_ = provider;
    if (auto skins = ParseXml(provider->Load("XML", "SYS_XML_SKIN")))
        ReadSkins(*skins);
    return true;
}

void SApplication::ReadStrings(const XmlNode& root) {
    for (const auto& item : root.children) {
        QString name = item->Attribute("name");
        if (name.isEmpty())
            continue;
        auto entry = std::make_pair(name, item->Attribute("value", item->text));
        auto it = std::lower_bound(strings_.begin(), strings_.end(), entry, StringLess);
        if (it != strings_.end() && it->first == name) {
            it->second = entry.second;
        } else {
            strings_.insert(it, entry);
        }
    }
}

void SApplication::ReadColors(const XmlNode& root) {
    for (const auto& item : root.children) {
        QColor c = ParseColor(item->Attribute("value"));
        if (!item->Attribute("name").isEmpty() && c.isValid())
            colors_[item->Attribute("name")] = c;
    }
}

void SApplication::ReadSkins(const XmlNode& root) {
    for (const auto& item : root.children) {
        QString name = item->Attribute("name");
        QPixmap pix = LoadImage(item->Attribute("src"));
        if (name.isEmpty() || pix.isNull())
            continue;
        SSkin skin;
        skin.pixmap = pix;
        skin.states = std::clamp(item->IntAttribute("states", 1), 1, 16);
        skin.vertical = item->IntAttribute("vertical", 0) != 0;
        QStringList m = item->Attribute("margin").split(',');
        if (m.size() == 4) {
            skin.margins = QMargins(m[0].toInt(), m[1].toInt(), m[2].toInt(), m[3].toInt());
        }
        skins_[name] = skin;
    }
}

QByteArray SApplication::LoadResource(const QString& type, const QString& name) const {
    for (const auto& p : providers_) {
        if (p->HasResource(type, name))
            return p->Load(type, name);
    }
    if (system_ && system_->HasResource(type, name))
        return system_->Load(type, name);
    return {};
}

QByteArray SApplication::LoadResource(const QString& fullName) const {
    QString type, name;
    if (!SResProviderFiles::SplitName(fullName, &type, &name))
        return {};
    return LoadResource(type, name);
}

std::unique_ptr<XmlNode> SApplication::LoadXml(const QString& fullName) const {
    QByteArray bytes = LoadResource(fullName);
    if (bytes.isNull())
        return nullptr;
    return ParseXml(bytes);
}

std::unique_ptr<XmlNode> SApplication::LoadSystemXml(const QString& fullName) const {
    QString type, name;
    if (!system_ || !SResProviderFiles::SplitName(fullName, &type, &name))
        return nullptr;
    return ParseXml(system_->Load(type, name));
}

QString SApplication::ResourceFile(const QString& fullName) const {
    QString type, name;
    if (!SResProviderFiles::SplitName(fullName, &type, &name))
        return {};
    for (const auto& p : providers_) {
        if (p->HasResource(type, name))
            return p->FilePath(type, name);
    }
    return system_ ? system_->FilePath(type, name) : QString();
}

QPixmap SApplication::LoadImage(const QString& fullName) {
    if (fullName.isEmpty())
        return {};
    auto it = images_.constFind(fullName);
    if (it != images_.constEnd())
        return *it;
    QString type, name;
    if (!SResProviderFiles::SplitName(fullName, &type, &name))
        return {};
    QString path;
    for (const auto& p : providers_) {
        if (p->HasResource(type, name)) {
            path = p->FilePath(type, name);
            break;
        }
    }
    if (path.isEmpty() && system_)
        path = system_->FilePath(type, name);
    QPixmap pix;
    if (path.isEmpty() || !pix.load(path))
        return {};
    if (path.contains("@2x."))
        pix.setDevicePixelRatio(2.0);
    images_.insert(fullName, pix);
    return pix;
}

QIcon SApplication::LoadIcon(const QString& fullName) {
    QPixmap pix = LoadImage(fullName);
    return pix.isNull() ? QIcon() : QIcon(pix);
}

QString SApplication::GetString(const QString& name) const {
    auto it = std::lower_bound(strings_.begin(), strings_.end(), std::make_pair(name, QString()),
                               StringLess);
    if (it == strings_.end() || it->first != name)
        return {};
    return it->second;
}

QString SApplication::GetStringByIndex(int index) const {
    if (index < 0 || index >= StringCount())
        return {};
    return strings_[static_cast<size_t>(index)].second;
}

QColor SApplication::GetColor(const QString& name, const QColor& fallback) const {
    return colors_.value(name, fallback);
}

const SSkin* SApplication::GetSkin(const QString& name) {
    auto it = skins_.find(name);
    if (it != skins_.end())
        return &*it;
    QPixmap pix = LoadImage(name);
    if (pix.isNull())
        return nullptr;
    SSkin skin;
    skin.pixmap = pix;
    return &*skins_.insert(name, skin);
}

QString SApplication::ResolveRefs(const QString& value) const {
    if (value.startsWith("@string/"))
        return GetString(value.mid(8));
    if (value.startsWith("@color/")) {
        QColor c = GetColor(value.mid(7));
        return c.isValid() ? c.name(QColor::HexArgb) : QString();
    }
    return value;
}

QString SApplication::Tr(const QString& text, const QString& context) const {
    return translator_.Tr(text, context);
}

bool SApplication::LoadLanguage(const QString& resourceName) {
    auto doc = LoadXml("translator:" + resourceName);
    if (!doc)
        return false;
    const XmlNode* element =
        doc->tag.compare("language", Qt::CaseInsensitive) == 0 ? doc.get() : doc->Child("language");
    if (!element)
        return false;
    auto language = std::make_shared<SLanguage>();
    if (!language->Load(*element))
        return false;
    translator_.SetLanguage(language->Name());
    translator_.InstallLanguage(language);
    return true;
}

int SApplication::Run(SHostWnd* main) {
    mainWindow_ = main;
    return QApplication::exec();
}

void SApplication::ApplyTheme() {
    auto c = [this](const char* name, const char* fallback) {
        return GetColor(name, QColor(fallback)).name(QColor::HexArgb);
    };
    QString bg = c("bg", "#ff101217"), panel = c("panel", "#ff181b22"),
            field = c("field", "#ff22262f"), border = c("border", "#ff2c313c"),
            text = c("text", "#ffe4e7ee"), dim = c("text_dim", "#ff8a93a6"),
            accent = c("accent", "#ff00c8ff");
    QFont font;
    font.setFamilies({"Noto Sans CJK SC", "Noto Sans", "DejaVu Sans"});
    font.setPixelSize(13);
    QApplication::setFont(font);
    QPalette pal;
    pal.setColor(QPalette::Window, QColor(bg));
    pal.setColor(QPalette::Base, QColor(field));
    pal.setColor(QPalette::Text, QColor(text));
    pal.setColor(QPalette::WindowText, QColor(text));
    pal.setColor(QPalette::Button, QColor(panel));
    pal.setColor(QPalette::ButtonText, QColor(text));
    pal.setColor(QPalette::Highlight, QColor(accent));
    pal.setColor(QPalette::HighlightedText, QColor("#101217"));
    pal.setColor(QPalette::ToolTipBase, QColor(panel));
    pal.setColor(QPalette::ToolTipText, QColor(text));
    QApplication::setPalette(pal);
    qApp->setStyleSheet(
        QString(R"(/* window %1 */
QComboBox { background:%3; color:%5; border:1px solid %4; border-radius:6px; padding:2px 10px; }
QComboBox:hover { border-color:%7; }
QComboBox::drop-down { subcontrol-origin:padding; subcontrol-position:center right; border:none;
  width:24px; }
QComboBox::down-arrow { image:url("%8"); width:12px; height:12px; margin-right:8px; }
QComboBox QAbstractItemView { background:%2; color:%5; border:1px solid %4;
  selection-background-color:%7; selection-color:#101217; outline:0; }
QLineEdit { background:%3; color:%5; border:1px solid %4; border-radius:5px; padding:1px 6px;
  selection-background-color:%7; selection-color:#101217; }
QLineEdit:focus { border-color:%7; }
QLineEdit:disabled { color:%6; background:%2; }
QSlider::groove:horizontal { height:6px; background:%4; border-radius:3px; }
QSlider::sub-page:horizontal { background:%7; border-radius:3px; }
QSlider::handle:horizontal { background:%5; border:2px solid %7; width:12px; height:12px;
  margin:-5px 0; border-radius:8px; }
QSlider::handle:horizontal:hover { background:%7; }
QMenu { background:%2; color:%5; border:1px solid %4; padding:6px 0; }
QMenu::item { padding:7px 28px 7px 16px; }
QMenu::item:selected { background:%3; color:%7; }
QMenu::separator { height:1px; background:%4; margin:5px 10px; }
QToolTip { background:%2; color:%5; border:1px solid %7; padding:4px; }
QScrollBar:vertical { background:transparent; width:8px; margin:0; }
QScrollBar::handle:vertical { background:%4; border-radius:4px; min-height:24px; }
QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height:0; }
QScrollArea { background:transparent; border:none; }
)")
            .arg(bg, panel, field, border, text, dim, accent,
                 QFileInfo(ResourceFile("main:cbox_profile_ico_png")).absoluteFilePath()));
}

}  // namespace keylume::ui
