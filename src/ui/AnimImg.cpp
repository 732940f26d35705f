#include "ui/AnimImg.h"

#include <QPainter>

#include "ui/SApplication.h"

namespace keylume::ui {

SAnimImg::SAnimImg(QWidget* parent) : SWindow(parent) {
    timer_.setInterval(80);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] {
        auto* app = SApplication::Instance();
        const SSkin* s = app ? app->GetSkin(skin_) : nullptr;
        int n = s ? s->states : 1;
        frame_ = (frame_ + 1) % std::max(1, n);
        update();
    });
}

bool SAnimImg::SetAttribute(const QString& name, const QString& value) {
    if (name == "speed") {
        timer_.setInterval(std::clamp(value.toInt(), 10, 10000));
    } else if (name == "autostart") {
        autoStart_ = value != "0";
    } else {
        return SWindow::SetAttribute(name, value);
    }
    return true;
}

void SAnimImg::Start() {
    timer_.start();
}
void SAnimImg::Stop() {
    timer_.stop();
}

void SAnimImg::showEvent(QShowEvent* event) {
    if (autoStart_)
        Start();
    SWindow::showEvent(event);
}

void SAnimImg::hideEvent(QHideEvent* event) {
    Stop();
    SWindow::hideEvent(event);
}

void SAnimImg::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (auto* app = SApplication::Instance()) {
        if (const SSkin* s = app->GetSkin(skin_))
            s->Draw(p, rect(), frame_);
    }
}

}  // namespace keylume::ui
