#include "ui/Buttons.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/SApplication.h"

namespace keylume::ui {

namespace {
QColor Named(const char* name, const char* fallback) {
    auto* app = SApplication::Instance();
    return app ? app->GetColor(name, QColor(fallback)) : QColor(fallback);
}
}  // namespace

SButton::SButton(QWidget* parent) : SWindow(parent) {
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    align_ = Qt::AlignCenter;
}

bool SButton::SetAttribute(const QString& name, const QString& value) {
    if (name == "icon") {
        icon_ = value;
    } else if (name == "style") {
        style_ = value;
    } else {
        return SWindow::SetAttribute(name, value);
    }
    update();
    return true;
}

void SButton::Click() {
    FireSimple(EventType::Command);
}

void SButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressed_ = true;
        update();
    }
}

void SButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    bool wasPressed = pressed_;
    pressed_ = false;
    update();
    if (wasPressed && rect().contains(event->position().toPoint()))
        Click();
}

void SButton::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) {
        Click();
        return;
    }
    SWindow::keyPressEvent(event);
}

void SButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (!skin_.isEmpty()) {
        PaintBackground(p);
    } else if (style_ != "flat") {
        QColor accent = Named("accent", "#00c8ff");
        QColor base = style_ == "accent"   ? accent
                      : style_ == "danger" ? Named("danger", "#ff3b5c")
                                           : Named("field", "#22262f");
        if (colorBkgnd_.isValid())
            base = colorBkgnd_;
        QColor fill = !isEnabled() ? base.darker(160)
                      : pressed_   ? base.darker(125)
                      : hovered_   ? base.lighter(style_.isEmpty() ? 135 : 115)
                                   : base;
        p.setPen(style_.isEmpty() ? QPen(hovered_ ? accent : Named("border", "#2c313c"), 1)
                                  : Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius_ ? radius_ : 6,
                          radius_ ? radius_ : 6);
    } else if (hovered_ || pressed_) {
        p.setPen(Qt::NoPen);
        p.setBrush(Named("field", "#22262f").lighter(pressed_ ? 110 : 130));
        p.drawRoundedRect(rect(), 6, 6);
    }
    QRect area = rect();
    if (auto* app = SApplication::Instance(); app && !icon_.isEmpty()) {
        if (const SSkin* icon = app->GetSkin(icon_)) {
            QSize s = icon->StateSize().boundedTo(QSize(height() - 8, height() - 8));
            bool alone = DisplayText().isEmpty();
            int x = alone ? (width() - s.width()) / 2 : 10;
            icon->Draw(p, QRect(QPoint(x, (height() - s.height()) / 2), s), VisualState());
            if (!alone)
                area.setLeft(x + s.width() + 4);
        }
    }
    if (style_ == "accent" && !colorText_.isValid()) {
        p.setPen(QColor("#0b0d11"));
        p.setFont(font());
        p.drawText(area, static_cast<int>(align_), DisplayText());
    } else {
        PaintText(p, area);
    }
}

void SImageButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    PaintBackground(p);
    PaintText(p, rect());
}

SCheckBox::SCheckBox(QWidget* parent) : SButton(parent) {
    align_ = Qt::AlignLeft | Qt::AlignVCenter;
}

SRadioBox::SRadioBox(QWidget* parent) : SButton(parent) {
    align_ = Qt::AlignLeft | Qt::AlignVCenter;
}

void SCheckBox::Click() {
    SetCheck(!checked_);
    FireSimple(EventType::Command);
}

void SCheckBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor accent = Named("accent", "#00c8ff");
    int box = std::min(16, height());
    QRectF b(1.5, (height() - box) / 2.0 + 0.5, box - 1, box - 1);
    p.setPen(QPen(checked_ || hovered_ ? accent : Named("border", "#3a404d"), 1.5));
    p.setBrush(checked_ ? accent : Named("field", "#22262f"));
    p.drawRoundedRect(b, 3, 3);
    if (checked_) {
        p.setPen(QPen(QColor("#0b0d11"), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        QPointF o = b.topLeft();
        double s = b.width();
        p.drawPolyline(QList<QPointF>{o + QPointF(s * 0.22, s * 0.52),
                                      o + QPointF(s * 0.43, s * 0.72),
                                      o + QPointF(s * 0.78, s * 0.3)});
    }
    PaintText(p, rect().adjusted(box + 8, 0, 0, 0));
}

void SRadioBox::Click() {
    SetCheck(true);
    FireSimple(EventType::Command);
}

void SRadioBox::SetCheck(bool checked) {
    if (checked && parentWidget()) {
        for (QObject* o : parentWidget()->children()) {
            if (auto* r = dynamic_cast<SRadioBox*>(o); r && r != this)
                r->SWindow::SetCheck(false);
        }
    }
    SWindow::SetCheck(checked);
}

void SRadioBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor accent = Named("accent", "#00c8ff");
    int box = std::min(16, height());
    QRectF b(1.5, (height() - box) / 2.0 + 0.5, box - 1, box - 1);
    p.setPen(QPen(checked_ || hovered_ ? accent : Named("border", "#3a404d"), 1.5));
    p.setBrush(Named("field", "#22262f"));
    p.drawEllipse(b);
    if (checked_) {
        p.setPen(Qt::NoPen);
        p.setBrush(accent);
        p.drawEllipse(b.adjusted(4, 4, -4, -4));
    }
    PaintText(p, rect().adjusted(box + 8, 0, 0, 0));
}

}  // namespace keylume::ui
