#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "ui/SWindow.h"
#include "ui/XmlNode.h"

class QScrollBar;

namespace keylume::ui {

class SListView;

// Feeds a "listview": the number of rows and how to fill one row window from the list's row
// template. Changes are announced with notifyDataSetChanged, which refills the rows.
class SAdapterBase {
  public:
    virtual ~SAdapterBase();
    virtual int getCount() = 0;
    // Fills `row` for `position`. A new row is empty; the adapter builds its children from
    // `xmlTemplate` (row->CreateChildren(xmlTemplate)) before filling them.
    virtual void getView(int position, SWindow* row, const XmlNode& xmlTemplate) = 0;

    void notifyDataSetChanged();
    void registerObserver(SListView* list);
    void unregisterObserver(SListView* list);

  private:
    std::vector<SListView*> observers_;
};

enum SortFlag { kSortNone = 0, kSortAscending = 1, kSortDescending = 2 };

// Feeds a "mclistview": rows whose column containers are named by GetColumnName, and a header
// whose clicks ask OnSort what the sort arrows show.
class SMcAdapterBase : public SAdapterBase {
  public:
    virtual QString GetColumnName(int column) const;
    // `sortFlags` holds one SortFlag per column; return true when the arrows changed.
    virtual bool OnSort(int column, int* sortFlags, int columnCount);
};

// One row of a list; its class is "window". Shows the selection of its list.
class SListRow : public SWindow {
  public:
    using SWindow::SWindow;
    void SetSelected(bool selected);
    bool IsSelected() const { return selected_; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool selected_ = false;
};

// Vertical list of rows built from the <template> child (its "itemHeight" gives the row height).
// The list is virtual: only the rows on screen have windows, taken from a small pool and refilled
// by the adapter as they scroll into view, so a list of any length opens at once. A click on a
// row selects it, then raises the row's command event.
class SListView : public SWindow {
  public:
    static constexpr const char* kClassName = "listview";
    explicit SListView(QWidget* parent = nullptr);
    ~SListView() override;

    void CreateChildren(const XmlNode& node, int depth) override;
    void SetAdapter(SAdapterBase* adapter);  // not owned; null detaches
    SAdapterBase* GetAdapter() const { return adapter_; }
    void OnDataSetChanged();

    int GetSel() const { return sel_; }
    void SetSel(int index);  // -1 clears; outside the rows clears too
    int RowCount() const { return count_; }
    // The window that shows row `index` while it is on screen; null for a row scrolled out of
    // view (EnsureVisible brings it in) and for an index outside the list.
    SWindow* GetRow(int index) const;
    // Scrolls the least distance that shows row `index` whole.
    void EnsureVisible(int index);
    // The scroll position in pixels from the top of the first row.
    int ScrollPos() const;
    void SetScrollPos(int pixels);
    // What a click on row `index` does (tests and scripts use it); scrolls the row into view.
    void ClickRow(int index);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // Lays out a row window that was just filled or whose width changed.
    virtual void PlaceRow(SWindow* row, int index);
    virtual int HeaderHeight() const { return 0; }
    // Sizes the viewport and scroll bar, then shows the rows in view.
    void PlaceRows();
    int RowIndexOf(QObject* object) const;

    std::unique_ptr<XmlNode> template_;
    int itemHeight_ = 30;

  private:
    void ShowVisibleRows();
    int ViewportHeight() const;

    SAdapterBase* adapter_ = nullptr;
    SWindow* viewport_;
    QScrollBar* scrollBar_;
    // pool_[slot] shows row shown_[slot] (-1: hidden); row i goes to slot i % pool size.
    std::vector<SListRow*> pool_;
    std::vector<int> shown_;
    int rowWidth_ = -1;
    int count_ = 0;
    int sel_ = -1;
    int pressedRow_ = -1;
};

// Multi-column list ("mclistview"): a <header> of <item text=".." width=".."/> columns above the
// rows; each row's column containers are placed under their header column.
class SMcListView : public SListView {
  public:
    static constexpr const char* kClassName = "mclistview";
    using SListView::SListView;

    void CreateChildren(const XmlNode& node, int depth) override;
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    int SortFlagOf(int column) const;
    // What a click on header column `column` does.
    void ClickHeader(int column);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void PlaceRow(SWindow* row, int index) override;
    int HeaderHeight() const override { return headerHeight_; }

  private:
    struct Column {
        QString text;
        int width = 80;
    };
    std::vector<Column> columns_;
    std::vector<int> sortFlags_;
    int headerHeight_ = 30;
};

}  // namespace keylume::ui
