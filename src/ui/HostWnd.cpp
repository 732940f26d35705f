#include "ui/HostWnd.h"

#include <algorithm>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

#include "ui/SApplication.h"
#include "ui/XmlNode.h"

namespace keylume::ui {

namespace {

const QEvent::Type kPostedMessage = static_cast<QEvent::Type>(QEvent::User + 25);

class PostedMessage : public QEvent {
  public:
    PostedMessage(unsigned m, std::uintptr_t w, std::intptr_t l)
        : QEvent(kPostedMessage), message(m), wParam(w), lParam(l) {}
    unsigned message;
    std::uintptr_t wParam;
    std::intptr_t lParam;
};

}  // namespace

SHostWnd::SHostWnd(const QString& layoutName) : layoutName_(layoutName) {
    setAttribute(Qt::WA_DeleteOnClose, false);
}

SHostWnd::~SHostWnd() {
    auto* app = SApplication::Instance();
    if (app && app->MainWindow() == this)
        app->SetMainWindow(nullptr);
}

bool SHostWnd::Create(QWidget* owner) {
    if (created_)
        return true;
    created_ = true;
    if (owner)
        setParent(owner, windowFlags());
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    root_ = new SWindow(this);
    root_->SetClassChain({"window"});
    root_->SetReceiver(this);
    auto* app = SApplication::Instance();
    std::unique_ptr<XmlNode> layout = LoadLayout();
    if (!layout) {
        qWarning("layout %s: missing or not well-formed", qPrintable(layoutName_));
        resize(320, 200);
        return false;
    }
    QSize size(std::clamp(layout->IntAttribute("width", 640), 80, 8000),
               std::clamp(layout->IntAttribute("height", 480), 60, 8000));
    if (!app)
        return false;
    setWindowTitle(TrText(app->ResolveRefs(layout->Attribute("title"))));
    QIcon icon = app->LoadIcon(layout->Attribute("icon", "ICON:ICON_LOGO"));
    if (!icon.isNull())
        setWindowIcon(icon);
    resize(size);
    root_->resize(size);
    const XmlNode* rootNode = layout->Child("root");
    root_->InitFromXml(rootNode ? *rootNode : *layout);
    root_->SetPos(PosSpec{0, 0, 0, 0, true});
    root_->setGeometry(rect());
    if (layout->IntAttribute("resizable", 0) == 0)
        setFixedSize(size);
    return true;
}

std::unique_ptr<XmlNode> SHostWnd::LoadLayout() const {
    auto* app = SApplication::Instance();
    return app ? app->LoadXml(layoutName_) : nullptr;
}

SWindow* SHostWnd::FindChildByName(const QString& name) const {
    return root_ ? root_->FindChildByName(name) : nullptr;
}

SWindow* SHostWnd::FindChildByID(int id) const {
    return root_ ? root_->FindChildByID(id) : nullptr;
}

std::intptr_t SHostWnd::SendMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    std::intptr_t result = 0;
    if (HandleMessage(message, wParam, lParam, result))
        return result;
    return DefWindowProc(message, wParam, lParam);
}

void SHostWnd::PostMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    QCoreApplication::postEvent(this, new PostedMessage(message, wParam, lParam));
}

bool SHostWnd::HandleMessage(unsigned, std::uintptr_t, std::intptr_t, std::intptr_t&) {
    return false;
}

std::intptr_t SHostWnd::DefWindowProc(unsigned message, std::uintptr_t wParam, std::intptr_t) {
    switch (message) {
        case msg::kClose:
            DestroyWindow();
            return 0;
        case msg::kSysCommand:
            if (wParam == msg::kScMinimize)
                showMinimized();
            if (wParam == msg::kScMaximize)
                showMaximized();
            if (wParam == msg::kScRestore)
                showNormal();
            return 0;
        case msg::kSetLanguage:
            if (root_)
                root_->Retranslate();
            return 1;
        default:
            return 0;
    }
}

bool SHostWnd::OnControlEvent(EventArgs&) {
    return false;
}

void SHostWnd::DestroyWindow() {
    if (!created_ || destroyed_)
        return;
    destroyed_ = true;
    SendMessage(msg::kDestroy);
    hide();
    if (root_) {
        // The control whose event led here may still be on the stack.
        root_->hide();
        root_->deleteLater();
        root_ = nullptr;
    }
    auto* app = SApplication::Instance();
    if (app && app->MainWindow() == this) {
        // Queued, so that a destruction before the loop starts still ends it.
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [] { QCoreApplication::exit(1); }, Qt::QueuedConnection);
    }
}

void SHostWnd::CenterWindow() {
    QRect area;
    if (parentWidget() && parentWidget()->isVisible()) {
        area = parentWidget()->window()->frameGeometry();
    } else if (QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen()) {
        area = s->availableGeometry();
    }
    if (area.isValid())
        move(CenteredInside(area, frameGeometry().size().expandedTo(size())));
}

QPoint SHostWnd::CenteredInside(const QRect& area, const QSize& size) {
    const QPoint centred = area.center() - QPoint(size.width() / 2, size.height() / 2);
    // Into the area from the right and bottom first, then from the left and top, so that when it
    // does not fit the top left corner wins.
    const int x = std::max(area.left(), std::min(centred.x(), area.right() + 1 - size.width()));
    const int y = std::max(area.top(), std::min(centred.y(), area.bottom() + 1 - size.height()));
    return {x, y};
}

bool SHostWnd::event(QEvent* event) {
    if (event->type() == kPostedMessage) {
        auto* m = static_cast<PostedMessage*>(event);
        SendMessage(m->message, m->wParam, m->lParam);
        return true;
    }
    return QWidget::event(event);
}

void SHostWnd::closeEvent(QCloseEvent* event) {
    event->ignore();
    if (!destroyed_)
        SendMessage(msg::kClose);
}

void SHostWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (root_)
        root_->setGeometry(rect());
}

void SHostWnd::paintEvent(QPaintEvent*) {
    QPainter p(this);
    auto* app = SApplication::Instance();
    p.fillRect(rect(), app ? app->GetColor("bg", QColor("#101217")) : QColor("#101217"));
}

int SHostDialog::DoModal(QWidget* owner) {
    if (!IsCreated())
        Create(owner);
    ended_ = false;
    result_ = kIdCancel;
    SendMessage(msg::kInitDialog);
    if (ended_)
        return result_;
    setWindowModality(Qt::ApplicationModal);
    CenterWindow();
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    loop_ = &loop;
    running_ = true;
    if (!ended_)
        loop.exec();
    running_ = false;
    loop_ = nullptr;
    hide();
    return result_;
}

void SHostDialog::EndDialog(int code) {
    if (ended_)
        return;
    ended_ = true;
    result_ = code;
    if (loop_)
        loop_->exit(0);
}

std::intptr_t SHostDialog::DefWindowProc(unsigned message, std::uintptr_t wParam,
                                         std::intptr_t lParam) {
    if (message == msg::kClose) {
        EndDialog(kIdCancel);
        return 0;
    }
    if (message == msg::kDestroy)
        EndDialog(result_);
    return SHostWnd::DefWindowProc(message, wParam, lParam);
}

}  // namespace keylume::ui
