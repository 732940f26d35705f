#pragma once

#include <QString>
#include <vector>

#include "ui/SWindow.h"

class QComboBox;
class QSlider;
class QLineEdit;

namespace keylume::ui {

// Drop-down list ("combobox"). Items come from <item text="..." data="..."/> children; their texts
// are shown through the translator. The selection-change event is raised only when the selection
// really changes, whether the user or the program changed it.
class SComboBox : public SWindow {
  public:
    static constexpr const char* kClassName = "combobox";
    explicit SComboBox(QWidget* parent = nullptr);

    bool SetAttribute(const QString& name, const QString& value) override;
    void CreateChildren(const XmlNode& node, int depth) override;
    void Retranslate() override;

    int GetCount() const { return static_cast<int>(items_.size()); }
    int GetCurSel() const { return curSel_; }
    // Selects `index` (-1 clears). An index equal to the current one or outside -1..count-1
    // changes nothing and raises nothing; returns whether the selection changed.
    bool SetCurSel(int index);
    int InsertItem(int index, const QString& text, std::intptr_t itemData = 0);  // -1 appends
    void ResetContent();
    QString GetLBText(int index) const;
    std::intptr_t GetItemData(int index) const;
    QComboBox* Widget() const { return combo_; }

  protected:
    void paintEvent(QPaintEvent*) override {}

  private:
    struct Item {
        QString text;
        std::intptr_t data = 0;
    };
    void Rebuild();
    void OnWidgetIndex(int index);
    QComboBox* combo_;
    std::vector<Item> items_;
    int curSel_ = -1;
    bool syncing_ = false;
};

// Slider ("sliderbar") with a range; a value outside the range shows the nearest end. Moving it by
// hand raises the position event; setting it from the program does not.
class SSliderBar : public SWindow {
  public:
    static constexpr const char* kClassName = "sliderbar";
    explicit SSliderBar(QWidget* parent = nullptr);

    bool SetAttribute(const QString& name, const QString& value) override;
    void SetRange(int minimum, int maximum);
    int GetMin() const;
    int GetMax() const;
    void SetValue(int value);
    int GetValue() const;
    // What a user's drag to `value` does (tests and scripts use it).
    void MoveByUser(int value);
    QSlider* Widget() const { return slider_; }

  protected:
    void paintEvent(QPaintEvent*) override {}

  private:
    QSlider* slider_;
    bool programmatic_ = false;
};

// Single-line edit ("edit"): every change of its text, typed or set, raises the text-change event
// with code 0x300. Its text is not translated.
class SEdit : public SWindow {
  public:
    static constexpr const char* kClassName = "edit";
    explicit SEdit(QWidget* parent = nullptr);

    bool SetAttribute(const QString& name, const QString& value) override;
    void SetWindowText(const QString& text) override;
    QString GetEditText() const;
    QString GetWindowText() const override;
    QLineEdit* Widget() const { return edit_; }

  protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent*) override {}

  private:
    QLineEdit* edit_;
};

class SEditEx : public SEdit {
  public:
    using SEdit::SEdit;
};

}  // namespace keylume::ui
