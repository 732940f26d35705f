#pragma once

#include <QString>

namespace keylume::ui {

class SWindow;

// Control events. They go first to the sender's own subscribers, then, unless one of them handled
// the event, to the control-event handler of the window the control lives in.
enum class EventType {
    Command,        // click on a button, check, radio, row, menu control
    SelChanged,     // combobox selection really changed: value = new, oldValue = old
    SliderPos,      // slider moved by the user: value = position
    TextNotify,     // edit text changed: code = kEnChange
    TabSelChanged,  // tab control page changed: value = new page, oldValue = old
    HeaderClick,    // multi-column list header clicked: value = column
};

// Notification code of an edit's text change.
inline constexpr int kEnChange = 0x300;

struct EventArgs {
    EventType type = EventType::Command;
    SWindow* sender = nullptr;
    QString name;  // sender's name
    int id = 0;    // sender's ID
    int code = 0;
    int value = 0;
    int oldValue = 0;
    bool handled = false;
};

// Receives the events no subscriber handled: host windows, dialogs, the owner of a menu.
class IEventReceiver {
  public:
    virtual ~IEventReceiver() = default;
    virtual bool OnControlEvent(EventArgs& e) = 0;
};

}  // namespace keylume::ui
