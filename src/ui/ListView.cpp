#include "ui/ListView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <algorithm>

#include "ui/SApplication.h"

namespace keylume::ui {

namespace {
QColor Named(const char* name, const char* fallback) {
    auto* app = SApplication::Instance();
    return app ? app->GetColor(name, QColor(fallback)) : QColor(fallback);
}
constexpr int kMaxRows = 100000;
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
    : SWindow(parent), scroll_(new QScrollArea(this)), content_(new SWindow) {
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll_->setWidget(content_);
    scroll_->setWidgetResizable(false);
    scroll_->viewport()->setAutoFillBackground(false);
    content_->setAutoFillBackground(false);
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
    int count = adapter_ ? std::clamp(adapter_->getCount(), 0, kMaxRows) : 0;
    while (RowCount() > count) {
        // A row may be the one whose click is being handled right now: let it go later.
        SListRow* gone = rows_.back();
        rows_.pop_back();
        gone->UnsubscribeAll();
        gone->hide();
        gone->setParent(nullptr);
        gone->deleteLater();
    }
    while (RowCount() < count) {
        auto* row = new SListRow(content_);
        row->SetClassChain({"window"});
        rows_.push_back(row);
    }
    for (int i = 0; i < count; ++i) {
        SListRow* row = rows_[static_cast<size_t>(i)];
        adapter_->getView(i, row, *template_);
        // Presses inside the row's fields select the row too.
        row->installEventFilter(this);
        for (QWidget* w : row->findChildren<QWidget*>())
            w->installEventFilter(this);
        row->show();
    }
    if (sel_ >= count)
        sel_ = -1;
    for (int i = 0; i < count; ++i)
        rows_[static_cast<size_t>(i)]->SetSelected(i == sel_);
    PlaceRows();
}

void SListView::PlaceRows() {
    QRect area = rect().adjusted(0, HeaderHeight(), 0, 0);
    scroll_->setGeometry(area);
    // The viewport of a hidden scroll area has not been laid out yet: go by our own size, less
    // the scroll bar when the rows do not fit.
    bool scrolls = RowCount() * itemHeight_ > area.height();
    int w = std::max(0, area.width() - (scrolls ? 8 : 0));
    content_->resize(w, std::max(1, RowCount() * itemHeight_));
    for (int i = 0; i < RowCount(); ++i)
        PlaceRow(rows_[static_cast<size_t>(i)], i);
}

void SListView::PlaceRow(SWindow* row, int index) {
    row->setGeometry(0, index * itemHeight_, content_->width(), itemHeight_);
}

void SListView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    PlaceRows();
}

void SListView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    PaintBackground(p);
}

SWindow* SListView::GetRow(int index) const {
    if (index < 0 || index >= RowCount())
        return nullptr;
    return rows_[static_cast<size_t>(index)];
}

void SListView::SetSel(int index) {
    sel_ = (index >= 0 && index < RowCount()) ? index : -1;
    for (int i = 0; i < RowCount(); ++i)
        rows_[static_cast<size_t>(i)]->SetSelected(i == sel_);
}

void SListView::ClickRow(int index) {
    SWindow* row = GetRow(index);
    if (!row)
        return;
    SetSel(index);
    row->FireSimple(EventType::Command);
}

int SListView::RowIndexOf(QObject* object) const {
    for (QObject* o = object; o && o != content_; o = o->parent()) {
        auto it = std::find(rows_.begin(), rows_.end(), o);
        if (it != rows_.end())
            return static_cast<int>(it - rows_.begin());
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
            // Raised after the press handling so that a handler may rebuild the rows.
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
    PlaceRows();
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
