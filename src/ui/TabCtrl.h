#pragma once

#include <vector>

#include "ui/SWindow.h"

namespace keylume::ui {

// A page of a tab control ("page"); its "title" is the header text.
class STabPage : public SWindow {
  public:
    static constexpr const char* kClassName = "page";
    using SWindow::SWindow;
    bool SetAttribute(const QString& name, const QString& value) override;
    QString Title() const { return title_; }

  private:
    QString title_;
};

class STabPage2 : public STabPage {
  public:
    using STabPage::STabPage;
};

// Tab control ("tabctrl"): a header row ("tabHeight", 0 hides it) over pages; one page is shown.
// Changing the page, by a header click or from the program, raises the page-change event when the
// page really changes.
class STabCtrl : public SWindow {
  public:
    static constexpr const char* kClassName = "tabctrl";
    explicit STabCtrl(QWidget* parent = nullptr);

    bool SetAttribute(const QString& name, const QString& value) override;
    void CreateChildren(const XmlNode& node, int depth) override;

    int GetItemCount() const { return static_cast<int>(pages_.size()); }
    int GetCurSel() const { return curSel_; }
    bool SetCurSel(int index);
    STabPage* GetPage(int index) const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QRect HeaderRect(int index) const;
    void PlacePages();
    std::vector<STabPage*> pages_;
    int curSel_ = -1;
    int initialSel_ = 0;
    int tabHeight_ = 34;
    int tabWidth_ = 0;  // 0: share the width
    int hoverTab_ = -1;
};

class STabCtrl2 : public STabCtrl {
  public:
    using STabCtrl::STabCtrl;
};

}  // namespace keylume::ui
