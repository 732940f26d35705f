#pragma once

#include <QMargins>
#include <QPixmap>
#include <QRect>

class QPainter;

namespace keylume::ui {

// A picture cut into equal states (normal, hover, pressed, disabled; side by side, or stacked when
// vertical), each drawn stretched or, with margins, as a nine-patch that keeps its corners.
class SSkin {
  public:
    QPixmap pixmap;
    int states = 1;
    bool vertical = false;
    QMargins margins;

    bool IsNull() const { return pixmap.isNull(); }
    // Size of one state in device-independent pixels.
    QSize StateSize() const;
    // State `state` (clamped to the states there are) drawn over `target`.
    void Draw(QPainter& painter, const QRect& target, int state) const;
};

}  // namespace keylume::ui
