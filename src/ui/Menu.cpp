#include "ui/Menu.h"

#include <QMenu>
#include <QWidgetAction>

#include "ui/HostWnd.h"
#include "ui/SApplication.h"
#include "ui/XmlNode.h"

namespace keylume::ui {

namespace {

constexpr int kMaxMenuDepth = 8;
const char* const kNamedEntry = "keylume_named";

// Receives the events of controls placed in an extended menu: the menu closes first, then the
// event goes to the owner, while the control still exists.
class MenuEventForwarder : public QObject, public IEventReceiver {
  public:
    MenuEventForwarder(QObject* parent, QMenu* menu, SHostWnd* owner)
        : QObject(parent), menu_(menu), owner_(owner) {}
    bool OnControlEvent(EventArgs& e) override {
        if (e.type != EventType::Command)
            return false;
        menu_->close();
        return owner_ ? owner_->OnControlEvent(e) : false;
    }

  private:
    QMenu* menu_;
    SHostWnd* owner_;
};

void Fill(QMenu* menu, const XmlNode& node, SHostWnd* owner, bool extended, int depth) {
    auto* app = SApplication::Instance();
    for (const auto& child : node.children) {
        QString tag = child->tag.toLower();
        QString text =
            TrText(app ? app->ResolveRefs(child->Attribute("text")) : child->Attribute("text"));
        if (tag == "sep" || tag == "separator") {
            menu->addSeparator();
        } else if ((tag == "menu" || (extended && tag == "menuitem")) && !child->children.empty()) {
            if (depth >= kMaxMenuDepth)
                continue;
            QMenu* sub = menu->addMenu(text);
            Fill(sub, *child, owner, extended, depth + 1);
        } else if (tag == "item" || tag == "menuitem") {
            QAction* action = menu->addAction(text);
            if (app && child->HasAttribute("icon"))
                action->setIcon(app->LoadIcon(child->Attribute("icon")));
            action->setEnabled(child->IntAttribute("disable", 0) == 0);
            if (child->HasAttribute("name")) {
                action->setObjectName(child->Attribute("name"));
                action->setProperty(kNamedEntry, true);
            } else {
                action->setData(child->IntAttribute("id", 0));
            }
        } else if (extended && app && app->Registry().Has(tag)) {
            // An ordinary control inside the menu.
            auto* holder = new SWindow;
            holder->SetClassChain({"window"});
            holder->SetReceiver(new MenuEventForwarder(holder, menu, owner));
            SWindow* control = app->Registry().Create(tag, holder);
            control->InitFromXml(*child, depth + 1);
            PosSpec pos = control->Pos();
            QSize size(pos.set && pos.w > 0 ? pos.w : 200, pos.set && pos.h > 0 ? pos.h : 32);
            holder->setFixedSize(size + QSize(pos.set ? std::max(0, pos.x) * 2 : 0,
                                              pos.set ? std::max(0, pos.y) * 2 : 0));
            control->SetPos(pos.set ? pos : PosSpec{0, 0, 0, 0, true});
            auto* action = new QWidgetAction(menu);
            action->setDefaultWidget(holder);
            menu->addAction(action);
        }
    }
}

}  // namespace

QMenu* BuildMenu(const XmlNode& root, QWidget* parent, SHostWnd* owner) {
    auto* menu = new QMenu(parent);
    QString tag = root.tag.toLower();
    bool extended = tag == "menuroot" || tag == "menuitem";
    Fill(menu, root, owner, extended, 0);
    return menu;
}

bool TrackMenu(const QString& resourceName, const QPoint& globalPos, SHostWnd* owner,
               const std::function<bool(int id)>& beforeCommand) {
    auto* app = SApplication::Instance();
    auto doc = app ? app->LoadXml(resourceName) : nullptr;
    if (!doc)
        return false;
    QMenu* menu = BuildMenu(*doc, owner, owner);
    QAction* chosen = menu->exec(globalPos);
    if (chosen && owner) {
        if (chosen->property(kNamedEntry).toBool()) {
            // Handlers may look at the sender: a stand-in carries the entry's name and ID.
            SWindow entry;
            entry.SetName(chosen->objectName());
            entry.SetID(app->NamedIds().Find(entry.GetName()));
            EventArgs e;
            e.type = EventType::Command;
            e.sender = &entry;
            e.name = entry.GetName();
            e.id = entry.GetID();
            owner->OnControlEvent(e);
        } else if (int id = chosen->data().toInt()) {
            if (!beforeCommand || !beforeCommand(id)) {
                owner->SendMessage(msg::kCommand, static_cast<std::uintptr_t>(id));
            }
        }
    }
    menu->deleteLater();
    return true;
}

}  // namespace keylume::ui
