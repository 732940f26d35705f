#include "ui/Skin.h"

#include <QtWidgets/qdrawutil.h>
#include <QPainter>
#include <algorithm>

namespace keylume::ui {

QSize SSkin::StateSize() const {
    QSize full = pixmap.deviceIndependentSize().toSize();
    int n = std::max(1, states);
    return vertical ? QSize(full.width(), full.height() / n)
                    : QSize(full.width() / n, full.height());
}

void SSkin::Draw(QPainter& painter, const QRect& target, int state) const {
    if (pixmap.isNull() || target.isEmpty())
        return;
    int n = std::max(1, states);
    int s = std::clamp(state, 0, n - 1);
    // Source rectangles are in device pixels of the picture.
    int pw = pixmap.width(), ph = pixmap.height();
    QRect src = vertical ? QRect(0, s * (ph / n), pw, ph / n) : QRect(s * (pw / n), 0, pw / n, ph);
    QPixmap part = pixmap.copy(src);
    part.setDevicePixelRatio(pixmap.devicePixelRatio());
    if (margins.isNull()) {
        painter.drawPixmap(target, part);
    } else {
        qDrawBorderPixmap(&painter, target, margins, part);
    }
}

}  // namespace keylume::ui
