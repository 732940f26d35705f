#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace keylume::ui {

class SWindow;

// Control factories by XML tag. Every tag but "window" names the tag it extends; a control's class
// chain (its own tag, then each base up to "window") is what IsClass checks.
class SControlRegistry {
  public:
    using Factory = std::function<SWindow*(QWidget* parent)>;

    // False when the base tag is not registered (a tag must extend something known).
    bool Register(const QString& tag, const QString& baseTag, Factory factory);
    bool Has(const QString& tag) const;
    // The control for `tag` with its class chain set, or null for an unknown tag.
    SWindow* Create(const QString& tag, QWidget* parent) const;
    QStringList Chain(const QString& tag) const;

    // The toolkit's own controls: window, text, button, imgbtn, check, radio, combobox, sliderbar,
    // tabctrl, page, edit, listview, mclistview.
    void RegisterBuiltIns();

  private:
    struct Entry {
        QString base;
        Factory factory;
    };
    QHash<QString, Entry> entries_;
};

// The toolkit's extension controls that the program registers under its own tags at start-up:
// "shellnotifyicon" (window), "page2" (page), "tabctrl2" (tabctrl), "anmimg" (window),
// "editex" (edit), "radioex" (radio), "checkex" (check). "cbimg" lives with the main window.
void RegisterExtensionControls(SControlRegistry& registry);

}  // namespace keylume::ui
