#pragma once

#include "ui/SWindow.h"

namespace keylume::ui {

// Static text ("text").
class SStatic : public SWindow {
  public:
    static constexpr const char* kClassName = "text";
    using SWindow::SWindow;
};

// Push button ("button"): a skin when given, else the theme's rounded button; sends a command
// event when the left button is released over it.
class SButton : public SWindow {
  public:
    static constexpr const char* kClassName = "button";
    explicit SButton(QWidget* parent = nullptr);
    bool SetAttribute(const QString& name, const QString& value) override;
    // What a click does, also used by tests and scripts.
    virtual void Click();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    QString icon_;
    QString style_;  // "", "accent", "danger", "flat"
};

// Button drawn only from its skin's states ("imgbtn").
class SImageButton : public SButton {
  public:
    static constexpr const char* kClassName = "imgbtn";
    using SButton::SButton;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// Check box ("check"): a click toggles the mark, then sends the command event.
class SCheckBox : public SButton {
  public:
    static constexpr const char* kClassName = "check";
    explicit SCheckBox(QWidget* parent = nullptr);
    void Click() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

// Radio button ("radio"): a click checks it and unchecks the radios beside it (same parent), then
// sends the command event, also when it was checked already.
class SRadioBox : public SButton {
  public:
    static constexpr const char* kClassName = "radio";
    explicit SRadioBox(QWidget* parent = nullptr);
    void Click() override;
    void SetCheck(bool checked) override;

  protected:
    void paintEvent(QPaintEvent* event) override;
};

class SCheckBoxEx : public SCheckBox {
  public:
    using SCheckBox::SCheckBox;
};

class SRadioBoxEx : public SRadioBox {
  public:
    using SRadioBox::SRadioBox;
};

}  // namespace keylume::ui
