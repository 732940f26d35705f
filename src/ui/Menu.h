#pragma once

#include <QPoint>
#include <QString>
#include <functional>

class QMenu;
class QWidget;

namespace keylume::ui {

class SHostWnd;
class XmlNode;

// Shows the menu resource `resourceName` modally at `globalPos` for `owner`.
// A root element "menu" is a plain menu: <item id=".." text=".." icon=".."/>, <sep/>,
// <menu text="..">...</menu>. A root "menuRoot" (or "menuItem") is the extended kind: besides
// <menuItem id=..>, it holds <menuItem name=".."> entries and ordinary controls, whose command
// events go to the owner's control-event handler by name.
// A chosen item with an ID sends the owner the command message with that ID; dismissing sends
// nothing. Returns false when the resource cannot be loaded.
// `beforeCommand`, when given, sees a chosen ID first and returns true when it dealt with it.
bool TrackMenu(const QString& resourceName, const QPoint& globalPos, SHostWnd* owner,
               const std::function<bool(int id)>& beforeCommand = {});

// Builds the menu without showing it (the tray and tests use it). Item IDs are in each
// action's data; named entries have the name as object name.
QMenu* BuildMenu(const XmlNode& root, QWidget* parent, SHostWnd* owner);

}  // namespace keylume::ui
