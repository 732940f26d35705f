#include "ui/ListView.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <functional>
#include <limits>

#include "ui/SApplication.h"

namespace keylume::ui {

namespace {
QColor Named(const char* name, const char* fallback) {
    auto* app = SApplication::Instance();
    return app ? app->GetColor(name, QColor(fallback)) : QColor(fallback);
}
// The scroll bar's width in the application's style.
constexpr int kScrollBarWidth = 8;
// Rows shown by a list that has no size yet.
constexpr int kUnsizedRows = 16;
}  // namespace

SAdapterBase::~SAdapterBase() {
    auto observers = observers_;
    for (SListView* list : observers) {
        if (list->GetAdapter() == this)
            list->SetAdapter(nullptr);
    }
}

void SAdapterBase::notifyDataSetChanged() {
    auto observers = observers_;
    for (SListView* list : observers)
        list->OnDataSetChanged();
}

void SAdapterBase::registerObserver(SListView* list) {
    if (std::find(observers_.begin(), observers_.end(), list) == observers_.end()) {
        observers_.push_back(list);
    }
}

void SAdapterBase::unregisterObserver(SListView* list) {
    observers_.erase(std::remove(observers_.begin(), observers_.end(), list), observers_.end());
}

QString SMcAdapterBase::GetColumnName(int column) const {
    return QString("col%1").arg(column + 1);
}

bool SMcAdapterBase::OnSort(int, int*, int) {
    return false;
}

void SListRow::SetSelected(bool selected) {
    selected_ = selected;
    update();
}

void SListRow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (selected_ || hovered_) {
        QColor accent = Named("accent", "#00c8ff");
        QColor fill = selected_ ? Named("row_selected", "#173848") : Named("field", "#22262f");
        p.setPen(Qt::NoPen);
        p.setBrush(fill);
        p.drawRoundedRect(QRectF(rect()).adjusted(2, 1, -2, -1), 4, 4);
        if (selected_)
            p.fillRect(QRect(2, 4, 3, height() - 8), accent);
    }
    PaintText(p, rect());
}

SListView::SListView(QWidget* parent)
    : SWindow(parent),
      viewport_(new SWindow(this)),
      scrollBar_(new QScrollBar(Qt::Vertical, this)) {
    viewport_->setAutoFillBackground(false);
    // Rows only ever move inside the viewport, which clips those half scrolled out.
    scrollBar_->hide();
    connect(scrollBar_, &QScrollBar::valueChanged, this, [this] { ShowVisibleRows(); });
    setFocusPolicy(Qt::StrongFocus);
}

SListView::~SListView() {
    if (adapter_)
        adapter_->unregisterObserver(this);
}

void SListView::CreateChildren(const XmlNode& node, int) {
    if (const XmlNode* t = node.Child("template")) {
        template_ = std::make_unique<XmlNode>();
        template_->tag = t->tag;
        template_->attributes = t->attributes;
        // The template is kept as a tree of its own so that rows can be built at any time.
        std::function<void(const XmlNode&, XmlNode&)> copy = [&](const XmlNode& from, XmlNode& to) {
            for (const auto& c : from.children) {
                auto n = std::make_unique<XmlNode>();
                n->tag = c->tag;
                n->attributes = c->attributes;
                n->text = c->text;
                copy(*c, *n);
                to.children.push_back(std::move(n));
            }
        };
        copy(*t, *template_);
        itemHeight_ = std::clamp(t->IntAttribute("itemHeight", itemHeight_), 8, 400);
    } else {
        template_ = std::make_unique<XmlNode>();
        template_->tag = "template";
    }
    scrollBar_->setSingleStep(itemHeight_);
}

void SListView::SetAdapter(SAdapterBase* adapter) {
    if (adapter_)
        adapter_->unregisterObserver(this);
    adapter_ = adapter;
    if (adapter_)
        adapter_->registerObserver(this);
    OnDataSetChanged();
}

void SListView::OnDataSetChanged() {
    // Rows are measured in pixels by an int scroll bar; a list longer than that could hold would
    // hide its last rows, so the count stops where the pixels do.
    const int maxRows = std::numeric_limits<int>::max() / itemHeight_;
    count_ = adapter_ ? std::clamp(adapter_->getCount(), 0, maxRows) : 0;
    if (sel_ >= count_)
        sel_ = -1;
    // Any shown row may hold something else now.
    std::fill(shown_.begin(), shown_.end(), -1);
    PlaceRows();
}

int SListView::ViewportHeight() const {
    // A list that has not been laid out yet (its window not shown) shows its first rows as if
    // it were that many rows high, so that they can be reached before the window appears.
    const int height = QWidget::height() - HeaderHeight();
    return height > 0 ? height : kUnsizedRows * itemHeight_;
}

void SListView::PlaceRows() {
    const int viewHeight = ViewportHeight();
    const int total = count_ * itemHeight_;
    const bool scrolls = total > viewHeight;
    const int barWidth = scrolls ? kScrollBarWidth : 0;
    const int w = std::max(0, width() - barWidth);
    viewport_->setGeometry(0, HeaderHeight(), w, viewHeight);
    {
        const QSignalBlocker quiet(scrollBar_);
        scrollBar_->setGeometry(width() - kScrollBarWidth, HeaderHeight(), kScrollBarWidth,
                                viewHeight);
        scrollBar_->setRange(0, std::max(0, total - viewHeight));
        scrollBar_->setPageStep(std::max(1, viewHeight));
        scrollBar_->setVisible(scrolls);
    }
    // Enough windows for every row that can be partly in view at once.
    const std::size_t needed = static_cast<std::size_t>(viewHeight / itemHeight_ + 2);
    if (pool_.size() > needed) {
        // The list got shorter: its extra windows go (later, as one may be handling a click).
        while (pool_.size() > needed) {
            SListRow* gone = pool_.back();
            pool_.pop_back();
            gone->UnsubscribeAll();
            gone->hide();
            gone->setParent(nullptr);
            gone->deleteLater();
        }
        shown_.assign(pool_.size(), -1);
        for (SListRow* row : pool_)
            row->hide();
    }
    if (pool_.size() < needed) {
        while (pool_.size() < needed) {
            auto* row = new SListRow(viewport_);
            row->SetClassChain({"window"});
            row->hide();
            pool_.push_back(row);
        }
        // Rows go to other windows when the pool grows.
        shown_.assign(pool_.size(), -1);
        for (SListRow* row : pool_)
            row->hide();
    }
    if (w != rowWidth_) {
        rowWidth_ = w;
        std::fill(shown_.begin(), shown_.end(), -1);
    }
    ShowVisibleRows();
}

void SListView::ShowVisibleRows() {
    const int pos = scrollBar_->value();
    const int viewHeight = ViewportHeight();
    const int poolSize = static_cast<int>(pool_.size());
    int first = 0, last = -1;
    if (count_ > 0 && viewHeight > 0 && poolSize > 0) {
        first = pos / itemHeight_;
        last = std::min(count_ - 1, (pos + viewHeight - 1) / itemHeight_);
    }
    std::vector<bool> used(pool_.size(), false);
    for (int i = first; i <= last; ++i) {
        const auto slot = static_cast<std::size_t>(i % poolSize);
        used[slot] = true;
        SListRow* row = pool_[slot];
        if (shown_[slot] != i) {
            shown_[slot] = i;
            adapter_->getView(i, row, *template_);
            // Presses inside the row's fields select the row too.
            row->installEventFilter(this);
            for (QWidget* child : row->findChildren<QWidget*>())
                child->installEventFilter(this);
            PlaceRow(row, i);
        }
        row->SetSelected(i == sel_);
        row->move(0, i * itemHeight_ - pos);
        row->show();
    }
    for (std::size_t slot = 0; slot < pool_.size(); ++slot) {
        if (!used[slot]) {
            shown_[slot] = -1;
            pool_[slot]->hide();
        }
    }
}

void SListView::PlaceRow(SWindow* row, int index) {
    row->setGeometry(0, index * itemHeight_ - ScrollPos(), rowWidth_, itemHeight_);
}

void SListView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceRows();
}

void SListView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintBackground(p);
}

void SListView::wheelEvent(QWheelEvent* event) {
    if (!scrollBar_->isVisible()) {
        event->ignore();
        return;
    }
    QCoreApplication::sendEvent(scrollBar_, event);
}

void SListView::keyPressEvent(QKeyEvent* event) {
    QAbstractSlider::SliderAction action = QAbstractSlider::SliderNoAction;
    switch (event->key()) {
        case Qt::Key_Up:
            action = QAbstractSlider::SliderSingleStepSub;
            break;
        case Qt::Key_Down:
            action = QAbstractSlider::SliderSingleStepAdd;
            break;
        case Qt::Key_PageUp:
            action = QAbstractSlider::SliderPageStepSub;
            break;
        case Qt::Key_PageDown:
            action = QAbstractSlider::SliderPageStepAdd;
            break;
        case Qt::Key_Home:
            action = QAbstractSlider::SliderToMinimum;
            break;
        case Qt::Key_End:
            action = QAbstractSlider::SliderToMaximum;
            break;
        default:
            SWindow::keyPressEvent(event);
            return;
    }
    scrollBar_->triggerAction(action);
}

int SListView::ScrollPos() const {
    return scrollBar_->value();
}

void SListView::SetScrollPos(int pixels) {
    scrollBar_->setValue(pixels);
}

void SListView::EnsureVisible(int index) {
    if (index < 0 || index >= count_)
        return;
    const int top = index * itemHeight_;
    const int viewHeight = ViewportHeight();
    if (top < ScrollPos())
        SetScrollPos(top);
    else if (top + itemHeight_ > ScrollPos() + viewHeight)
        SetScrollPos(top + itemHeight_ - viewHeight);
}

SWindow* SListView::GetRow(int index) const {
    if (index < 0 || index >= count_ || pool_.empty())
        return nullptr;
    const auto slot = static_cast<std::size_t>(index) % pool_.size();
    return shown_[slot] == index ? pool_[slot] : nullptr;
}

void SListView::SetSel(int index) {
    sel_ = (index >= 0 && index < count_) ? index : -1;
    for (std::size_t slot = 0; slot < pool_.size(); ++slot)
        pool_[slot]->SetSelected(shown_[slot] >= 0 && shown_[slot] == sel_);
}

void SListView::ClickRow(int index) {
    EnsureVisible(index);
    SWindow* row = GetRow(index);
    if (!row)
        return;
    SetSel(index);
    row->FireSimple(EventType::Command);
}

int SListView::RowIndexOf(QObject* object) const {
    for (QObject* o = object; o && o != viewport_; o = o->parent()) {
        auto it = std::find(pool_.begin(), pool_.end(), o);
        if (it != pool_.end())
            return shown_[static_cast<std::size_t>(it - pool_.begin())];
    }
    return -1;
}

bool SListView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton)
            pressedRow_ = RowIndexOf(watched);
        if (pressedRow_ >= 0)
            SetSel(pressedRow_);
    } else if (event->type() == QEvent::MouseButtonRelease) {
        int row = RowIndexOf(watched);
        auto* me = static_cast<QMouseEvent*>(event);
        if (me->button() == Qt::LeftButton && row >= 0 && row == pressedRow_) {
            pressedRow_ = -1;
            // Raised after the press handling so that a handler may refill the rows.
            if (SWindow* r = GetRow(row))
                r->FireSimple(EventType::Command);
        }
    }
    return false;
}

void SMcListView::CreateChildren(const XmlNode& node, int depth) {
    SListView::CreateChildren(node, depth);
    columns_.clear();
    if (const XmlNode* header = node.Child("header")) {
        headerHeight_ = std::clamp(header->IntAttribute("height", headerHeight_), 0, 200);
        for (const auto& item : header->children) {
            if (item->tag.compare("item", Qt::CaseInsensitive) != 0)
                continue;
            columns_.push_back({item->Attribute("text", item->text),
                                std::clamp(item->IntAttribute("width", 80), 0, 4000)});
            if (columns_.size() >= 64)
                break;
        }
    }
    sortFlags_.assign(columns_.size(), kSortNone);
    // Rows already shown take the new columns.
    OnDataSetChanged();
}

int SMcListView::SortFlagOf(int column) const {
    if (column < 0 || column >= ColumnCount())
        return kSortNone;
    return sortFlags_[static_cast<size_t>(column)];
}

void SMcListView::ClickHeader(int column) {
    if (column < 0 || column >= ColumnCount())
        return;
    auto* adapter = dynamic_cast<SMcAdapterBase*>(GetAdapter());
    if (adapter && adapter->OnSort(column, sortFlags_.data(), ColumnCount()))
        update();
    FireSimple(EventType::HeaderClick, column);
}

void SMcListView::mousePressEvent(QMouseEvent* event) {
    QPoint pt = event->position().toPoint();
    if (pt.y() >= headerHeight_)
        return;
    int x = 0;
    for (int c = 0; c < ColumnCount(); ++c) {
        int w = columns_[static_cast<size_t>(c)].width;
        if (pt.x() >= x && pt.x() < x + w) {
            ClickHeader(c);
            return;
        }
        x += w;
    }
}

void SMcListView::PlaceRow(SWindow* row, int index) {
    SListView::PlaceRow(row, index);
    auto* adapter = dynamic_cast<SMcAdapterBase*>(GetAdapter());
    int x = 0;
    for (int c = 0; c < ColumnCount(); ++c) {
        int w = columns_[static_cast<size_t>(c)].width;
        QString name = adapter ? adapter->GetColumnName(c) : QString("col%1").arg(c + 1);
        // Kept as the column's position, so that the row's own layout keeps it too.
        if (SWindow* col = row->FindChildByName(name))
            col->SetPos(PosSpec{x, 0, w, 0, true});
        x += w;
    }
}

void SMcListView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    PaintBackground(p);
    if (headerHeight_ <= 0)
        return;
    p.fillRect(QRect(0, 0, width(), headerHeight_), Named("header", "#1b1f27"));
    p.setPen(Named("border", "#2c313c"));
    p.drawLine(0, headerHeight_ - 1, width(), headerHeight_ - 1);
    int x = 0;
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    for (int c = 0; c < ColumnCount(); ++c) {
        const Column& col = columns_[static_cast<size_t>(c)];
        QRect r(x, 0, col.width, headerHeight_);
        p.setPen(Named("text_dim", "#8a93a6"));
        p.drawText(r.adjusted(10, 0, -18, 0), Qt::AlignLeft | Qt::AlignVCenter, TrText(col.text));
        int flag = sortFlags_[static_cast<size_t>(c)];
        if (flag != kSortNone) {
            QPointF m(r.right() - 12, r.center().y());
            QPainterPath arrow;
            double d = flag == kSortAscending ? -1 : 1;
            arrow.moveTo(m.x() - 4, m.y() - 2 * d);
            arrow.lineTo(m.x() + 4, m.y() - 2 * d);
            arrow.lineTo(m.x(), m.y() + 3 * d);
            arrow.closeSubpath();
            p.fillPath(arrow, Named("accent", "#00c8ff"));
        }
        if (c + 1 < ColumnCount()) {
            p.setPen(Named("border", "#2c313c"));
            p.drawLine(r.right(), 8, r.right(), headerHeight_ - 8);
        }
        x += col.width;
    }
}

}  // namespace keylume::ui
