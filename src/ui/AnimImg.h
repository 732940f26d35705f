#pragma once

#include <QTimer>

#include "ui/SWindow.h"

namespace keylume::ui {

// Animated picture ("anmimg"): the states of its skin shown one after another every "speed" ms.
class SAnimImg : public SWindow {
  public:
    static constexpr const char* kClassName = "anmimg";
    explicit SAnimImg(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value) override;
    int Frame() const { return frame_; }
    void Start();
    void Stop();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QTimer timer_;
    int frame_ = 0;
    bool autoStart_ = true;
};

}  // namespace keylume::ui
