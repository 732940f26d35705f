#include "ui/SWindow.h"

#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

#include "ui/SApplication.h"
#include "ui/XmlNode.h"

namespace keylume::ui {

namespace {
constexpr int kMsgSetLanguage = 2025;
constexpr int kMaxLayoutDepth = 48;
}  // namespace

QString TrText(const QString& text) {
    auto* app = SApplication::Instance();
    return app ? app->Tr(text) : text;
}

QColor ParseColor(const QString& text) {
    QString t = text.trimmed();
    if (t.isEmpty())
        return {};
    QColor c = QColor::fromString(t);
    return c;
}

PosSpec PosSpec::Parse(const QString& text) {
    PosSpec p;
    const auto parts = text.split(',');
    if (parts.size() != 4)
        return p;
    bool ok[4];
    p.x = parts[0].trimmed().toInt(&ok[0]);
    p.y = parts[1].trimmed().toInt(&ok[1]);
    p.w = parts[2].trimmed().toInt(&ok[2]);
    p.h = parts[3].trimmed().toInt(&ok[3]);
    p.set = ok[0] && ok[1] && ok[2] && ok[3];
    return p;
}

QRect PosSpec::Resolve(const QSize& parent) const {
    // Kept within sane bounds so that hostile layouts cannot ask for huge widgets.
    auto clampv = [](int v) { return std::clamp(v, -20000, 20000); };
    int pw = parent.width(), ph = parent.height();
    int width = w > 0 ? clampv(w) : std::max(0, pw - std::max(0, clampv(x)) + clampv(w));
    int height = h > 0 ? clampv(h) : std::max(0, ph - std::max(0, clampv(y)) + clampv(h));
    int left = x >= 0 ? clampv(x) : pw + clampv(x) - width;
    int top = y >= 0 ? clampv(y) : ph + clampv(y) - height;
    return QRect(left, top, width, height);
}

SWindow::SWindow(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_Hover);
    setMouseTracking(false);
}

SWindow::~SWindow() = default;

void SWindow::SetName(const QString& name) {
    name_ = name;
    setObjectName(name);
}

bool SWindow::IsClass(const QString& className) const {
    if (classChain_.isEmpty())
        return className == kClassName;
    return classChain_.contains(className);
}

void SWindow::SetWindowText(const QString& text) {
    text_ = text;
    update();
}

QString SWindow::DisplayText() const {
    auto* app = SApplication::Instance();
    return app ? app->Tr(text_) : text_;
}

bool SWindow::SetAttribute(const QString& name, const QString& value) {
    if (name == "name") {
        SetName(value);
    } else if (name == "id") {
        bool ok = false;
        int id = ParseInt(value, &ok);
        if (!ok)
            return false;
        id_ = id;
    } else if (name == "pos") {
        PosSpec p = PosSpec::Parse(value);
        if (!p.set)
            return false;
        SetPos(p);
    } else if (name == "text") {
        SetWindowText(value);
    } else if (name == "tip") {
        tip_ = value;
        auto* app = SApplication::Instance();
        setToolTip(app ? app->Tr(tip_) : tip_);
    } else if (name == "data") {
        SetUserData(ParseInt(value));
    } else if (name == "visible" || name == "show") {
        setVisible(value != "0");
    } else if (name == "enable") {
        setEnabled(value != "0");
    } else if (name == "colortext") {
        colorText_ = ParseColor(value);
    } else if (name == "colorbkgnd") {
        colorBkgnd_ = ParseColor(value);
    } else if (name == "colorborder") {
        colorBorder_ = ParseColor(value);
    } else if (name == "radius") {
        radius_ = std::clamp(value.toInt(), 0, 200);
    } else if (name == "skin") {
        skin_ = value;
    } else if (name == "align") {
        Qt::Alignment h = value == "center"  ? Qt::AlignHCenter
                          : value == "right" ? Qt::AlignRight
                                             : Qt::AlignLeft;
        align_ = h | Qt::AlignVCenter;
    } else if (name == "wrap") {
        wrap_ = value != "0";
    } else if (name == "padding") {
        padding_ = std::clamp(value.toInt(), 0, 100);
    } else if (name == "fontsize") {
        QFont f = font();
        f.setPixelSize(std::clamp(value.toInt(), 6, 96));
        setFont(f);
    } else if (name == "bold") {
        QFont f = font();
        f.setBold(value != "0");
        setFont(f);
    } else if (name == "drag") {
        dragsWindow_ = value != "0";
    } else if (name == "check" || name == "checked") {
        SetCheck(value != "0");
    } else {
        return false;
    }
    return true;
}

void SWindow::InitFromXml(const XmlNode& node, int depth) {
    auto* app = SApplication::Instance();
    for (const auto& attr : node.attributes) {
        QString value = app ? app->ResolveRefs(attr.second) : attr.second;
        SetAttribute(attr.first.toLower(), value);
    }
    // Names in the table carry the table's ID, whatever the layout says.
    if (app && !name_.isEmpty()) {
        if (int id = app->NamedIds().Find(name_))
            id_ = id;
    }
    OnCreate();
    CreateChildren(node, depth);
}

void SWindow::CreateChildren(const XmlNode& node, int depth) {
    auto* app = SApplication::Instance();
    if (!app || depth >= kMaxLayoutDepth)
        return;
    for (const auto& child : node.children) {
        SWindow* w = app->Registry().Create(child->tag.toLower(), this);
        if (!w) {
            qWarning("layout: unknown control <%s> skipped", qPrintable(child->tag));
            continue;
        }
        w->InitFromXml(*child, depth + 1);
        if (!w->Pos().set)
            w->SetPos(PosSpec{0, 0, 0, 0, true});
    }
    LayoutChildren();
}

void SWindow::Retranslate() {
    auto* app = SApplication::Instance();
    if (app && !tip_.isEmpty())
        setToolTip(app->Tr(tip_));
    update();
    for (SWindow* child : ChildWindows())
        child->Retranslate();
}

std::intptr_t SWindow::SendMessage(unsigned msg, std::uintptr_t, std::intptr_t) {
    if (msg == kMsgSetLanguage) {
        Retranslate();
        return 1;
    }
    return 0;
}

SWindow* SWindow::FindChildByName(const QString& name) const {
    if (name.isEmpty())
        return nullptr;
    // Breadth-first so that a control near the top wins over a namesake deep inside a row.
    std::vector<const SWindow*> queue{this};
    for (size_t i = 0; i < queue.size(); ++i) {
        for (SWindow* c : queue[i]->ChildWindows()) {
            if (c->GetName() == name)
                return c;
            queue.push_back(c);
        }
    }
    return nullptr;
}

SWindow* SWindow::FindChildByID(int id) const {
    if (id == 0)
        return nullptr;
    std::vector<const SWindow*> queue{this};
    for (size_t i = 0; i < queue.size(); ++i) {
        for (SWindow* c : queue[i]->ChildWindows()) {
            if (c->GetID() == id)
                return c;
            queue.push_back(c);
        }
    }
    return nullptr;
}

std::vector<SWindow*> SWindow::ChildWindows() const {
    std::vector<SWindow*> out;
    for (QObject* o : children()) {
        if (auto* w = dynamic_cast<SWindow*>(o))
            out.push_back(w);
    }
    return out;
}

void SWindow::Subscribe(EventType type, Handler handler) {
    handlers_.emplace_back(type, std::move(handler));
}

bool SWindow::FireEvent(EventArgs& e) {
    if (!e.sender)
        e.sender = this;
    e.name = e.sender->GetName();
    e.id = e.sender->GetID();
    // A handler may unsubscribe or destroy rows; walk a copy.
    auto handlers = handlers_;
    for (auto& [type, handler] : handlers) {
        if (type == e.type && handler(e))
            e.handled = true;
    }
    if (e.handled)
        return true;
    if (IEventReceiver* r = Receiver())
        e.handled = r->OnControlEvent(e);
    return e.handled;
}

void SWindow::FireSimple(EventType type, int value, int oldValue, int code) {
    EventArgs e;
    e.type = type;
    e.sender = this;
    e.value = value;
    e.oldValue = oldValue;
    e.code = code;
    FireEvent(e);
}

IEventReceiver* SWindow::Receiver() const {
    for (const QWidget* w = this; w; w = w->parentWidget()) {
        if (auto* s = dynamic_cast<const SWindow*>(w); s && s->receiver_)
            return s->receiver_;
        if (auto* r = dynamic_cast<IEventReceiver*>(const_cast<QWidget*>(w)))
            return r;
    }
    return nullptr;
}

void SWindow::SetPos(const PosSpec& pos) {
    pos_ = pos;
    if (parentWidget())
        setGeometry(pos_.Resolve(parentWidget()->size()));
}

void SWindow::LayoutChildren() {
    for (SWindow* c : ChildWindows()) {
        if (c->pos_.set)
            c->setGeometry(c->pos_.Resolve(size()));
    }
}

void SWindow::SetCheck(bool checked) {
    checked_ = checked;
    update();
}

int SWindow::VisualState() const {
    if (!isEnabled())
        return 3;
    if (pressed_ || checked_)
        return 2;
    if (hovered_)
        return 1;
    return 0;
}

QColor SWindow::TextColor() const {
    if (colorText_.isValid())
        return isEnabled() ? colorText_ : colorText_.darker(160);
    auto* app = SApplication::Instance();
    QColor c = app ? app->GetColor("text", QColor("#e4e7ee")) : QColor("#e4e7ee");
    return isEnabled() ? c : c.darker(170);
}

void SWindow::PaintBackground(QPainter& p) {
    QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (colorBkgnd_.isValid() || colorBorder_.isValid()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(colorBorder_.isValid() ? QPen(colorBorder_, 1) : Qt::NoPen);
        p.setBrush(colorBkgnd_.isValid() ? QBrush(colorBkgnd_) : Qt::NoBrush);
        p.drawRoundedRect(r, radius_, radius_);
    }
    if (!skin_.isEmpty()) {
        if (auto* app = SApplication::Instance()) {
            if (const SSkin* s = app->GetSkin(skin_))
                s->Draw(p, rect(), VisualState());
        }
    }
}

void SWindow::PaintText(QPainter& p, const QRect& area) {
    QString t = DisplayText();
    if (t.isEmpty())
        return;
    p.setPen(TextColor());
    p.setFont(font());
    int flags = static_cast<int>(align_) | (wrap_ ? Qt::TextWordWrap : 0);
    p.drawText(area.adjusted(padding_, 0, -padding_, 0), flags, t);
}

void SWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintBackground(p);
    PaintText(p, rect());
}

void SWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutChildren();
}

void SWindow::mousePressEvent(QMouseEvent* event) {
    if (dragsWindow_ && event->button() == Qt::LeftButton && window()->windowHandle()) {
        window()->windowHandle()->startSystemMove();
        return;
    }
    QWidget::mousePressEvent(event);
}

void SWindow::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QWidget::enterEvent(event);
}

void SWindow::leaveEvent(QEvent* event) {
    hovered_ = false;
    pressed_ = false;
    update();
    QWidget::leaveEvent(event);
}

bool SWindow::event(QEvent* event) {
    return QWidget::event(event);
}

}  // namespace keylume::ui
