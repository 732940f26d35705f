#include "ui/ControlRegistry.h"

#include "ui/AnimImg.h"
#include "ui/Buttons.h"
#include "ui/InputControls.h"
#include "ui/ListView.h"
#include "ui/ShellNotifyIcon.h"
#include "ui/TabCtrl.h"

namespace keylume::ui {

namespace {
template <class T>
SControlRegistry::Factory Make() {
    return [](QWidget* parent) -> SWindow* { return new T(parent); };
}
constexpr int kMaxChain = 32;
}  // namespace

bool SControlRegistry::Register(const QString& tag, const QString& baseTag, Factory factory) {
    QString t = tag.toLower();
    QString b = baseTag.toLower();
    if (t.isEmpty() || !factory)
        return false;
    if (t != "window" && !entries_.contains(b))
        return false;
    entries_.insert(t, Entry{t == "window" ? QString() : b, std::move(factory)});
    return true;
}

bool SControlRegistry::Has(const QString& tag) const {
    return entries_.contains(tag.toLower());
}

QStringList SControlRegistry::Chain(const QString& tag) const {
    QStringList chain;
    QString t = tag.toLower();
    while (!t.isEmpty() && entries_.contains(t) && chain.size() < kMaxChain && !chain.contains(t)) {
        chain.append(t);
        t = entries_.value(t).base;
    }
    return chain;
}

SWindow* SControlRegistry::Create(const QString& tag, QWidget* parent) const {
    auto it = entries_.constFind(tag.toLower());
    if (it == entries_.constEnd())
        return nullptr;
    SWindow* w = it->factory(parent);
    if (w)
        w->SetClassChain(Chain(tag));
    return w;
}

void SControlRegistry::RegisterBuiltIns() {
    Register("window", {}, Make<SWindow>());
    Register("text", "window", Make<SStatic>());
    Register("button", "window", Make<SButton>());
    Register("imgbtn", "button", Make<SImageButton>());
    Register("check", "button", Make<SCheckBox>());
    Register("radio", "button", Make<SRadioBox>());
    Register("combobox", "window", Make<SComboBox>());
    Register("sliderbar", "window", Make<SSliderBar>());
    Register("tabctrl", "window", Make<STabCtrl>());
    Register("page", "window", Make<STabPage>());
    Register("edit", "window", Make<SEdit>());
    Register("listview", "window", Make<SListView>());
    Register("mclistview", "listview", Make<SMcListView>());
}

void RegisterExtensionControls(SControlRegistry& registry) {
    registry.Register("shellnotifyicon", "window", Make<SShellNotifyIcon>());
    registry.Register("page2", "page", Make<STabPage2>());
    registry.Register("tabctrl2", "tabctrl", Make<STabCtrl2>());
    registry.Register("anmimg", "window", Make<SAnimImg>());
    registry.Register("editex", "edit", Make<SEditEx>());
    registry.Register("radioex", "radio", Make<SRadioBoxEx>());
    registry.Register("checkex", "check", Make<SCheckBoxEx>());
}

}  // namespace keylume::ui
