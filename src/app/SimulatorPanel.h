#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

namespace keylume {

class SimulatedPlatform;

// The built-in keyboard's own small window in simulated mode: type on the emulated keyboard,
// unplug and plug it, and watch what its lighting is set to and what the virtual keyboard typed.
// Threads: UI thread; it reads the devices' state on a timer.
class SimulatorPanel : public QWidget {
  public:
    explicit SimulatorPanel(SimulatedPlatform& sim, QWidget* parent = nullptr);

    // Taps the keys for `text` (letters, digits, blank, line feed) on the emulated keyboard.
    void TypeText(const QString& text);
    // Re-reads the devices' state into the labels.
    void Refresh();
    QString StateText() const;

  private:
    SimulatedPlatform& sim_;
    QLabel* state_ = nullptr;
    QLabel* typed_ = nullptr;
    QLineEdit* input_ = nullptr;
    QLineEdit* keyName_ = nullptr;
    QPushButton* plug_ = nullptr;
    QTimer* timer_ = nullptr;
};

}  // namespace keylume
