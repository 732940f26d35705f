#include "ui/TabCtrl.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/SApplication.h"
#include "ui/XmlNode.h"

namespace keylume::ui {

bool STabPage::SetAttribute(const QString& name, const QString& value) {
    if (name == "title") {
        title_ = value;
        return true;
    }
    return SWindow::SetAttribute(name, value);
}

STabCtrl::STabCtrl(QWidget* parent) : SWindow(parent) {
    setMouseTracking(true);
}

bool STabCtrl::SetAttribute(const QString& name, const QString& value) {
    if (name == "tabheight") {
        tabHeight_ = std::clamp(ParseInt(value), 0, 200);
    } else if (name == "tabwidth") {
        tabWidth_ = std::clamp(ParseInt(value), 0, 1000);
    } else if (name == "cursel") {
        initialSel_ = ParseInt(value);
    } else {
        return SWindow::SetAttribute(name, value);
    }
    return true;
}

void STabCtrl::CreateChildren(const XmlNode& node, int depth) {
    SWindow::CreateChildren(node, depth);
    pages_.clear();
    for (SWindow* w : ChildWindows()) {
        if (auto* page = dynamic_cast<STabPage*>(w))
            pages_.push_back(page);
    }
    curSel_ = (initialSel_ >= 0 && initialSel_ < GetItemCount()) ? initialSel_
              : pages_.empty()                                   ? -1
                                                                 : 0;
    PlacePages();
}

STabPage* STabCtrl::GetPage(int index) const {
    if (index < 0 || index >= GetItemCount())
        return nullptr;
    return pages_[static_cast<size_t>(index)];
}

bool STabCtrl::SetCurSel(int index) {
    if (index < 0 || index >= GetItemCount() || index == curSel_)
        return false;
    int old = curSel_;
    curSel_ = index;
    PlacePages();
    update();
    FireSimple(EventType::TabSelChanged, index, old);
    return true;
}

void STabCtrl::PlacePages() {
    QRect area = rect().adjusted(0, tabHeight_, 0, 0);
    for (int i = 0; i < GetItemCount(); ++i) {
        STabPage* page = pages_[static_cast<size_t>(i)];
        page->setGeometry(area);
        page->setVisible(i == curSel_);
    }
}

void STabCtrl::resizeEvent(QResizeEvent* event) {
    SWindow::resizeEvent(event);
    PlacePages();
}

QRect STabCtrl::HeaderRect(int index) const {
    int n = std::max(1, GetItemCount());
    int w = tabWidth_ > 0 ? tabWidth_ : width() / n;
    return QRect(index * w, 0, w, tabHeight_);
}

void STabCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintBackground(p);
    if (tabHeight_ <= 0)
        return;
    auto* app = SApplication::Instance();
    QColor accent = app ? app->GetColor("accent", QColor("#00c8ff")) : QColor("#00c8ff");
    QColor dim = app ? app->GetColor("text_dim", QColor("#8a93a6")) : QColor("#8a93a6");
    QColor border = app ? app->GetColor("border", QColor("#2c313c")) : QColor("#2c313c");
    p.setPen(border);
    p.drawLine(0, tabHeight_ - 1, width(), tabHeight_ - 1);
    for (int i = 0; i < GetItemCount(); ++i) {
        QRect r = HeaderRect(i);
        bool current = i == curSel_;
        p.setPen(current ? TextColor() : (i == hoverTab_ ? TextColor() : dim));
        QFont f = font();
        f.setBold(current);
        p.setFont(f);
        p.drawText(r, Qt::AlignCenter, TrText(pages_[static_cast<size_t>(i)]->Title()));
        if (current)
            p.fillRect(QRect(r.left() + 12, r.bottom() - 2, r.width() - 24, 3), accent);
    }
}

void STabCtrl::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || tabHeight_ <= 0)
        return;
    for (int i = 0; i < GetItemCount(); ++i) {
        if (HeaderRect(i).contains(event->position().toPoint())) {
            SetCurSel(i);
            return;
        }
    }
}

void STabCtrl::mouseMoveEvent(QMouseEvent* event) {
    int hover = -1;
    for (int i = 0; i < GetItemCount(); ++i) {
        if (HeaderRect(i).contains(event->position().toPoint()))
            hover = i;
    }
    if (hover != hoverTab_) {
        hoverTab_ = hover;
        update();
    }
}

void STabCtrl::leaveEvent(QEvent* event) {
    hoverTab_ = -1;
    SWindow::leaveEvent(event);
}

}  // namespace keylume::ui
