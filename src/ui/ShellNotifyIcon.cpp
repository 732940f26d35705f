#include "ui/ShellNotifyIcon.h"

#include <QCursor>
#include <QSystemTrayIcon>

#include "ui/HostWnd.h"
#include "ui/Menu.h"
#include "ui/SApplication.h"

namespace keylume::ui {

namespace {
std::optional<bool> g_trayOverride;
}  // namespace

bool SystemTrayAvailable() {
    return g_trayOverride ? *g_trayOverride : QSystemTrayIcon::isSystemTrayAvailable();
}

void OverrideSystemTrayAvailable(std::optional<bool> available) {
    g_trayOverride = available;
}

SShellNotifyIcon::SShellNotifyIcon(QWidget* parent) : SWindow(parent) {
    hide();
}

SShellNotifyIcon::~SShellNotifyIcon() {
    if (tray_)
        tray_->hide();
    delete tray_;
}

bool SShellNotifyIcon::SetAttribute(const QString& name, const QString& value) {
    if (name == "ico") {
        icons_ = value.split(';', Qt::SkipEmptyParts);
    } else if (name == "menu") {
        menu_ = value;
    } else if (name == "visible" || name == "pos") {
        return true;  // never shown inside the window
    } else {
        return SWindow::SetAttribute(name, value);
    }
    return true;
}

QString SShellNotifyIcon::ToolTipText() const {
    return TrText(tip_).left(kMaxTipLength);
}

SHostWnd* SShellNotifyIcon::Host() const {
    return dynamic_cast<SHostWnd*>(window());
}

void SShellNotifyIcon::OnCreate() {
    hide();
    setToolTip({});
    auto* app = SApplication::Instance();
    QIcon icon;
    if (app) {
        icon =
            app->LoadIcon(icons_.isEmpty() ? QString("ICON:ICON_LOGO") : icons_.first().trimmed());
        if (icon.isNull())
            icon = app->LoadIcon("ICON:ICON_LOGO");
    }
    tray_ = new QSystemTrayIcon(icon);
    tray_->setToolTip(ToolTipText());
    QObject::connect(tray_, &QSystemTrayIcon::activated, tray_,
                     [this](QSystemTrayIcon::ActivationReason reason) {
                         if (reason == QSystemTrayIcon::Trigger)
                             OnLeftClick();
                         if (reason == QSystemTrayIcon::Context)
                             OnRightClick(QCursor::pos());
                     });
    if (SystemTrayAvailable())
        tray_->show();
}

void SShellNotifyIcon::Retranslate() {
    if (tray_)
        tray_->setToolTip(ToolTipText());
    setToolTip({});
}

void SShellNotifyIcon::OnLeftClick() {
    SHostWnd* host = Host();
    if (!host || !host->IsWindow())
        return;
    if (host->isVisible()) {
        host->hide();
    } else {
        host->show();
        host->raise();
        host->activateWindow();
    }
}

void SShellNotifyIcon::OnRightClick(const QPoint& globalPos) {
    SHostWnd* host = Host();
    if (!host || menu_.isEmpty())
        return;
    host->activateWindow();
    TrackMenu(menu_, globalPos, host, [host](int id) {
        if (id != kShowCommand)
            return false;
        host->show();
        host->raise();
        host->activateWindow();
        return true;
    });
}

}  // namespace keylume::ui
