#pragma once

#include <QEventLoop>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "ui/Events.h"
#include "ui/SWindow.h"
#include "ui/XmlNode.h"

namespace keylume::ui {

// Window messages the hosts understand; the values follow the Windows ones the program uses.
namespace msg {
inline constexpr unsigned kCreate = 0x0001;
inline constexpr unsigned kDestroy = 0x0002;
inline constexpr unsigned kClose = 0x0010;
inline constexpr unsigned kInitDialog = 0x0110;
inline constexpr unsigned kCommand = 0x0111;  // wParam: command ID (notification code 0)
inline constexpr unsigned kSysCommand = 0x0112;
inline constexpr unsigned kUser = 0x0400;
inline constexpr unsigned kSetLanguage = 2025;  // every control re-reads its texts
inline constexpr std::uintptr_t kScMinimize = 0xF020;
inline constexpr std::uintptr_t kScMaximize = 0xF030;
inline constexpr std::uintptr_t kScRestore = 0xF120;
}  // namespace msg

// Dialog and message box results.
inline constexpr int kIdOk = 1, kIdCancel = 2, kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5,
                     kIdYes = 6, kIdNo = 7;

// A top-level window built from a layout resource:
//   <layout width=".." height=".." title=".." resizable="0"><root ...>controls</root></layout>
// Derived windows override HandleMessage (window messages) and OnControlEvent (control events
// nobody else handled). Messages may be posted from any thread; they are handled on the UI thread.
class SHostWnd : public QWidget, public IEventReceiver {
  public:
    explicit SHostWnd(const QString& layoutName);
    ~SHostWnd() override;

    // Builds the window. A missing or broken layout gives a window with an empty root and false.
    bool Create(QWidget* owner = nullptr);
    bool IsCreated() const { return created_; }
    bool IsWindow() const { return created_ && !destroyed_; }
    QString LayoutName() const { return layoutName_; }

    SWindow* GetRoot() const { return root_; }
    SWindow* FindChildByName(const QString& name) const;
    SWindow* FindChildByID(int id) const;
    template <class T>
    T* FindChildByName2(const QString& name) const {
        return dynamic_cast<T*>(FindChildByName(name));
    }
    template <class T>
    T* FindChildByID2(int id) const {
        return dynamic_cast<T*>(FindChildByID(id));
    }

    // Handled at once on the calling (UI) thread.
    std::intptr_t SendMessage(unsigned message, std::uintptr_t wParam = 0,
                              std::intptr_t lParam = 0);
    // Queued for the UI thread; safe from any thread.
    void PostMessage(unsigned message, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);

    // Destroys the layout (and the tray icon in it); the main window's destruction ends the
    // message loop with code 1. The object itself stays until its owner deletes it.
    void DestroyWindow();
    // Centres the window on its parent (when shown) or on the screen's free area, then moves it
    // back inside that area: a window larger than the area keeps its top left corner, and so its
    // title and the buttons there, on the screen.
    void CenterWindow();
    static QPoint CenteredInside(const QRect& area, const QSize& size);

    bool OnControlEvent(EventArgs& e) override;

  protected:
    // Return true when handled, with the message's result in `result`.
    virtual bool HandleMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam,
                               std::intptr_t& result);
    // The layout document; message boxes take theirs from the executable's resources.
    virtual std::unique_ptr<XmlNode> LoadLayout() const;
    // What the toolkit does with a message nobody handled.
    virtual std::intptr_t DefWindowProc(unsigned message, std::uintptr_t wParam,
                                        std::intptr_t lParam);

    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

  private:
    QString layoutName_;
    SWindow* root_ = nullptr;
    bool created_ = false;
    bool destroyed_ = false;
};

// A modal dialog host: DoModal runs until EndDialog and returns its code. Closing the window in
// any other way ends it with kIdCancel.
class SHostDialog : public SHostWnd {
  public:
    using SHostWnd::SHostWnd;
    int DoModal(QWidget* owner = nullptr);
    void EndDialog(int code);
    bool IsModal() const { return running_; }

  protected:
    std::intptr_t DefWindowProc(unsigned message, std::uintptr_t wParam,
                                std::intptr_t lParam) override;

  private:
    QEventLoop* loop_ = nullptr;
    int result_ = kIdCancel;
    bool ended_ = false;
    bool running_ = false;
};

}  // namespace keylume::ui
