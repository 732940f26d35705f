#pragma once

#include <QString>
#include <memory>
#include <vector>

#include "ui/SWindow.h"
#include "ui/XmlNode.h"

class QScrollArea;

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

// Vertical list of row windows built from the <template> child (its "itemHeight" gives the row
// height). A click on a row selects it, then raises the row's command event.
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
    int RowCount() const { return static_cast<int>(rows_.size()); }
    SWindow* GetRow(int index) const;
    // What a click on row `index` does (tests and scripts use it).
    void ClickRow(int index);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    virtual void PlaceRow(SWindow* row, int index);
    virtual int HeaderHeight() const { return 0; }
    void PlaceRows();
    int RowIndexOf(QObject* object) const;

    std::unique_ptr<XmlNode> template_;
    int itemHeight_ = 30;

  private:
    SAdapterBase* adapter_ = nullptr;
    QScrollArea* scroll_;
    SWindow* content_;
    std::vector<SListRow*> rows_;
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
