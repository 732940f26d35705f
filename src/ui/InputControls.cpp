#include "ui/InputControls.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <algorithm>

#include "ui/SApplication.h"
#include "ui/XmlNode.h"

namespace keylume::ui {

namespace {
void FillParent(QWidget* host, QWidget* inner) {
    auto* layout = new QHBoxLayout(host);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(inner);
}
}  // namespace

SComboBox::SComboBox(QWidget* parent) : SWindow(parent), combo_(new QComboBox(this)) {
    FillParent(this, combo_);
    combo_->setCursor(Qt::PointingHandCursor);
    QObject::connect(combo_, &QComboBox::currentIndexChanged, combo_,
                     [this](int index) { OnWidgetIndex(index); });
}

bool SComboBox::SetAttribute(const QString& name, const QString& value) {
    if (name == "cursel") {
        int index = ParseInt(value);
        if (index < -1 || index >= GetCount()) {
            curSel_ = index;  // items come later; applied once they exist
            return true;
        }
        curSel_ = index;
        Rebuild();
        return true;
    }
    return SWindow::SetAttribute(name, value);
}

void SComboBox::CreateChildren(const XmlNode& node, int) {
    for (const auto& child : node.children) {
        if (child->tag.compare("item", Qt::CaseInsensitive) != 0)
            continue;
        items_.push_back({child->Attribute("text", child->text), child->IntAttribute("data", 0)});
    }
    if (curSel_ >= GetCount())
        curSel_ = -1;
    Rebuild();
}

void SComboBox::Rebuild() {
    syncing_ = true;
    {
        QSignalBlocker block(combo_);
        combo_->clear();
        for (const auto& item : items_)
            combo_->addItem(TrText(item.text));
        combo_->setCurrentIndex(curSel_);
    }
    syncing_ = false;
}

void SComboBox::Retranslate() {
    Rebuild();
    SWindow::Retranslate();
}

bool SComboBox::SetCurSel(int index) {
    if (index < -1 || index >= GetCount() || index == curSel_)
        return false;
    int old = curSel_;
    curSel_ = index;
    syncing_ = true;
    {
        QSignalBlocker block(combo_);
        combo_->setCurrentIndex(index);
    }
    syncing_ = false;
    FireSimple(EventType::SelChanged, index, old);
    return true;
}

void SComboBox::OnWidgetIndex(int index) {
    if (syncing_ || index == curSel_)
        return;
    int old = curSel_;
    curSel_ = index;
    FireSimple(EventType::SelChanged, index, old);
}

int SComboBox::InsertItem(int index, const QString& text, std::intptr_t itemData) {
    int at = (index < 0 || index > GetCount()) ? GetCount() : index;
    items_.insert(items_.begin() + at, Item{text, itemData});
    if (curSel_ >= at)
        ++curSel_;
    Rebuild();
    return at;
}

void SComboBox::ResetContent() {
    items_.clear();
    curSel_ = -1;
    Rebuild();
}

QString SComboBox::GetLBText(int index) const {
    if (index < 0 || index >= GetCount())
        return {};
    return items_[static_cast<size_t>(index)].text;
}

std::intptr_t SComboBox::GetItemData(int index) const {
    if (index < 0 || index >= GetCount())
        return 0;
    return items_[static_cast<size_t>(index)].data;
}

SSliderBar::SSliderBar(QWidget* parent)
    : SWindow(parent), slider_(new QSlider(Qt::Horizontal, this)) {
    FillParent(this, slider_);
    slider_->setRange(0, 100);
    slider_->setPageStep(1);
    slider_->setCursor(Qt::PointingHandCursor);
    QObject::connect(slider_, &QSlider::valueChanged, slider_, [this](int v) {
        if (!programmatic_)
            FireSimple(EventType::SliderPos, v);
    });
}

bool SSliderBar::SetAttribute(const QString& name, const QString& value) {
    if (name == "min") {
        SetRange(ParseInt(value), std::max(ParseInt(value), GetMax()));
    } else if (name == "max") {
        SetRange(std::min(GetMin(), ParseInt(value)), ParseInt(value));
    } else if (name == "value") {
        SetValue(ParseInt(value));
    } else if (name == "vertical") {
        slider_->setOrientation(value != "0" ? Qt::Vertical : Qt::Horizontal);
    } else {
        return SWindow::SetAttribute(name, value);
    }
    return true;
}

void SSliderBar::SetRange(int minimum, int maximum) {
    programmatic_ = true;
    slider_->setRange(minimum, std::max(minimum, maximum));
    programmatic_ = false;
}

int SSliderBar::GetMin() const {
    return slider_->minimum();
}
int SSliderBar::GetMax() const {
    return slider_->maximum();
}
int SSliderBar::GetValue() const {
    return slider_->value();
}

void SSliderBar::SetValue(int value) {
    programmatic_ = true;
    slider_->setValue(std::clamp(value, GetMin(), GetMax()));
    programmatic_ = false;
}

void SSliderBar::MoveByUser(int value) {
    slider_->setValue(std::clamp(value, GetMin(), GetMax()));
}

SEdit::SEdit(QWidget* parent) : SWindow(parent), edit_(new QLineEdit(this)) {
    FillParent(this, edit_);
    QObject::connect(edit_, &QLineEdit::textChanged, edit_, [this](const QString&) {
        FireSimple(EventType::TextNotify, 0, 0, kEnChange);
    });
}

bool SEdit::SetAttribute(const QString& name, const QString& value) {
    if (name == "maxlength") {
        edit_->setMaxLength(std::clamp(ParseInt(value), 1, 32767));
        return true;
    }
    if (name == "readonly") {
        edit_->setReadOnly(value != "0");
        return true;
    }
    if (name == "align") {
        edit_->setAlignment(value == "center"  ? Qt::AlignCenter
                            : value == "right" ? (Qt::AlignRight | Qt::AlignVCenter)
                                               : (Qt::AlignLeft | Qt::AlignVCenter));
        return true;
    }
    return SWindow::SetAttribute(name, value);
}

void SEdit::SetWindowText(const QString& text) {
    SWindow::SetWindowText(text);
    edit_->setText(text);
}

QString SEdit::GetEditText() const {
    return edit_->text();
}

QString SEdit::GetWindowText() const {
    return edit_->text();
}

void SEdit::changeEvent(QEvent* event) {
    if (event->type() == QEvent::EnabledChange)
        edit_->setEnabled(isEnabled());
    SWindow::changeEvent(event);
}

}  // namespace keylume::ui
