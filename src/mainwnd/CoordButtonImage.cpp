#include "mainwnd/CoordButtonImage.h"

#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include "ui/ControlRegistry.h"
#include "ui/SApplication.h"
#include "ui/XmlNode.h"

namespace keylume {

namespace {

unsigned MouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    unsigned f = 0;
    if (buttons & Qt::LeftButton)
        f |= 0x1;
    if (buttons & Qt::RightButton)
        f |= 0x2;
    if (modifiers & Qt::ShiftModifier)
        f |= 0x4;
    if (modifiers & Qt::ControlModifier)
        f |= 0x8;
    if (buttons & Qt::MiddleButton)
        f |= 0x10;
    return f;
}

QColor KeyColor(std::uint32_t value) {
    return value > 0xFFFFFFu ? QColor::fromRgba(value) : QColor::fromRgb(value | 0xFF000000u);
}

QRect KeyRect(const CoordKey& k) {
    return QRect(QPoint(k.left, k.top), QPoint(k.right - 1, k.bottom - 1));
}

}  // namespace

CoordButtonImage::CoordButtonImage(QWidget* parent) : ui::SWindow(parent) {
    setMouseTracking(true);
    setCursor(Qt::PointingHandCursor);
}

bool CoordButtonImage::SetAttribute(const QString& name, const QString& value) {
    auto* app = ui::SApplication::Instance();
    auto image = [&](QPixmap& into) {
        QPixmap pix = app ? app->LoadImage(value) : QPixmap();
        if (pix.isNull())
            return false;  // the previous picture stays
        into = pix;
        update();
        return true;
    };
    QString n = name.toLower();
    if (n == "bg")
        return image(bg_);
    if (n == "chking")
        return image(chking_);
    if (n == "chked")
        return image(chked_);
    if (n == "crdxml") {
        crdxml_ = value.startsWith("@string/") && app ? app->GetString(value.mid(8)) : value;
        return true;
    }
    if (n == "type") {
        bool ok = false;
        int t = ui::ParseInt(value, &ok);
        if (!ok)
            return false;
        type_ = t;
        return true;
    }
    return ui::SWindow::SetAttribute(name, value);
}

QString CoordButtonImage::CoordPath(const QString& programFolder, const QString& crdxml) {
    QString path = programFolder;
    if (!crdxml.startsWith('/') && !crdxml.startsWith('\\'))
        path += '/';
    path += crdxml;
    // Both separators work everywhere: Windows takes "/", and here "\" is not one.
    return path.replace('\\', '/');
}

void CoordButtonImage::OnCreate() {
    if (crdxml_.isEmpty())
        return;
    auto* app = ui::SApplication::Instance();
    QFile file(CoordPath(app ? app->ProgramFolder() : QString("."), crdxml_));
    if (!file.open(QIODevice::ReadOnly))
        return;
    keys_ = ReadCoordKeys(file.readAll(), defaultColor_);
}

CoordKey* CoordButtonImage::FirstKey(std::int32_t id) {
    for (auto& k : keys_) {
        if (k.id == id)
            return &k;
    }
    return nullptr;
}

const CoordKey* CoordButtonImage::FirstKey(std::int32_t id) const {
    for (const auto& k : keys_) {
        if (k.id == id)
            return &k;
    }
    return nullptr;
}

void CoordButtonImage::SetKeyChecked(std::int32_t id, bool checked) {
    if (id == kAllKeys) {
        for (auto& k : keys_)
            k.checked = checked;
    } else if (CoordKey* k = FirstKey(id)) {
        k->checked = checked;
    }
    update();
}

void CoordButtonImage::SetKeyText(std::int32_t id, const QString& text) {
    if (id == kAllKeys) {
        for (auto& k : keys_)
            k.text = text;
    } else if (CoordKey* k = FirstKey(id)) {
        k->text = text;
    }
    update();
}

bool CoordButtonImage::GetKeyInfo(std::int32_t id, CoordKey* out) const {
    const CoordKey* k = FirstKey(id);
    if (!k)
        return false;
    if (out)
        *out = *k;
    return true;
}

void CoordButtonImage::ToggleKey(std::int32_t id) {
    if (id == kAllKeys) {
        for (auto& k : keys_)
            k.checked = !k.checked;
    } else if (CoordKey* k = FirstKey(id)) {
        k->checked = !k->checked;
    }
    update();
}

CoordKey* CoordButtonImage::KeyAt(int x, int y) {
    for (auto& k : keys_) {
        if (k.Contains(x, y))
            return &k;
    }
    return nullptr;
}

void CoordButtonImage::Report(CoordKey& key, std::int32_t state, unsigned flags, int x, int y) {
    // Copies: the listener may change the keys while it runs.
    std::int32_t id = key.id;
    QString name = key.name;
    bool handled = listener_ && listener_->OnCoordButtonClick(id, name, state, flags, x, y);
    if (handled || state != 0)
        return;
    if (type_ == 1) {
        for (auto& k : keys_)
            k.checked = false;
        ToggleKey(id);
    } else if (type_ == 2) {
        ToggleKey(id);
    }
}

void CoordButtonImage::PressAt(int x, int y, unsigned flags) {
    CoordKey* key = KeyAt(x, y);
    if (!key)
        return;
    std::size_t index = static_cast<std::size_t>(key - keys_.data());
    Report(*key, 0, flags, x, y);
    if (index < keys_.size())
        keys_[index].pressed = true;
    update();
}

void CoordButtonImage::ReleaseAt(int x, int y, unsigned flags) {
    CoordKey* key = KeyAt(x, y);
    if (!key)
        return;
    std::size_t index = static_cast<std::size_t>(key - keys_.data());
    if (key->pressed)
        Report(*key, 1, flags, x, y);
    if (index < keys_.size())
        keys_[index].pressed = false;
    update();
}

void CoordButtonImage::MoveTo(int x, int y) {
    const CoordKey* last = nullptr;
    for (auto& k : keys_) {
        k.hover = k.Contains(x, y);
        if (k.hover)
            last = &k;
    }
    currentTip_ = !last ? QString() : !last->text.isEmpty() ? last->text : last->name;
    update();
}

void CoordButtonImage::Leave() {
    for (auto& k : keys_)
        k.hover = false;
    currentTip_.clear();
    update();
}

void CoordButtonImage::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    QPoint pt = event->position().toPoint();
    PressAt(pt.x(), pt.y(), MouseFlags(event->buttons(), event->modifiers()));
}

void CoordButtonImage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return;
    QPoint pt = event->position().toPoint();
    ReleaseAt(pt.x(), pt.y(), MouseFlags(event->buttons(), event->modifiers()));
}

void CoordButtonImage::mouseMoveEvent(QMouseEvent* event) {
    QPoint pt = event->position().toPoint();
    QString before = currentTip_;
    MoveTo(pt.x(), pt.y());
    if (currentTip_ != before) {
        if (currentTip_.isEmpty()) {
            QToolTip::hideText();
        } else {
            QToolTip::showText(event->globalPosition().toPoint(), currentTip_, this);
        }
    }
}

void CoordButtonImage::leaveEvent(QEvent* event) {
    Leave();
    QToolTip::hideText();
    ui::SWindow::leaveEvent(event);
}

void CoordButtonImage::DrawRegions(QPainter& p, const QPixmap& picture, bool CoordKey::*flag) {
    if (picture.isNull())
        return;
    qreal dpr = picture.devicePixelRatio();
    for (const auto& k : keys_) {
        if (!(k.*flag))
            continue;
        QRect target = KeyRect(k);
        // Key rectangles are in the picture's own pixels at its nominal size.
        QRectF source(target.left() * dpr, target.top() * dpr, target.width() * dpr,
                      target.height() * dpr);
        p.drawPixmap(QRectF(target), picture, source);
    }
}

void CoordButtonImage::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    for (const auto& k : keys_)
        p.fillRect(KeyRect(k), KeyColor(k.color));
    if (!bg_.isNull())
        p.drawPixmap(rect(), bg_);
    DrawRegions(p, chking_, &CoordKey::hover);
    DrawRegions(p, chked_, &CoordKey::checked);
}

void RegisterCoordButtonImage(ui::SControlRegistry& registry) {
    registry.Register("cbimg", "window",
                      [](QWidget* parent) -> ui::SWindow* { return new CoordButtonImage(parent); });
}

}  // namespace keylume
