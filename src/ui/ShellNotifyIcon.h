#pragma once

#include <optional>

#include "ui/SWindow.h"

class QSystemTrayIcon;

namespace keylume::ui {

class SHostWnd;

// Whether the desktop shows tray icons. Without a tray a window must never be hidden where only
// the tray could bring it back: it is minimised to the taskbar instead.
bool SystemTrayAvailable();
// Decides the answer instead of asking the desktop (tests); std::nullopt asks the desktop again.
void OverrideSystemTrayAvailable(std::optional<bool> available);

// The notification-area icon of a host window ("shellnotifyicon"): "ico" (icon resources
// separated by ";", the first is shown; the program icon when none), "tip" (translated, at most
// 127 characters) and "menu" (menu resource). A left click shows or hides the host window, a
// right click shows the menu; the icon goes away with the host's layout. The system tray puts
// the icon back by itself when the shell restarts.
class SShellNotifyIcon : public SWindow {
  public:
    static constexpr const char* kClassName = "shellnotifyicon";
    static constexpr int kMaxTipLength = 127;
    // The tray menu's "show" entry, handled by the icon itself; other IDs go to the window.
    static constexpr int kShowCommand = 100;
    explicit SShellNotifyIcon(QWidget* parent = nullptr);
    ~SShellNotifyIcon() override;

    bool SetAttribute(const QString& name, const QString& value) override;
    void OnCreate() override;
    void Retranslate() override;

    QString ToolTipText() const;
    QString MenuName() const { return menu_; }
    QSystemTrayIcon* Tray() const { return tray_; }
    // Left click: hide the host when visible, else show it in front.
    void OnLeftClick();
    void OnRightClick(const QPoint& globalPos);

  private:
    SHostWnd* Host() const;
    QStringList icons_;
    QString menu_;
    QSystemTrayIcon* tray_ = nullptr;
};

}  // namespace keylume::ui
