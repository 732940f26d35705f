#pragma once

#include <QColor>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "ui/Events.h"

namespace keylume::ui {

class XmlNode;
class SSkin;

// Where a control sits in its parent: "x,y,w,h". A width or height of 0 or less stretches to the
// parent's far edge minus that amount; a negative x or y counts from the parent's right or bottom.
struct PosSpec {
    int x = 0, y = 0, w = 0, h = 0;
    bool set = false;
    static PosSpec Parse(const QString& text);
    QRect Resolve(const QSize& parent) const;
};

// The base of every control: a name, an ID from the named-ID table, a class name that controllers
// check, user data, a text that is shown through the translator, a background and event routing.
// Attributes the derived controls do not know end up in SetAttribute here.
class SWindow : public QWidget {
  public:
    static constexpr const char* kClassName = "window";

    explicit SWindow(QWidget* parent = nullptr);
    ~SWindow() override;

    QString GetName() const { return name_; }
    void SetName(const QString& name);
    int GetID() const { return id_; }
    void SetID(int id) { id_ = id; }
    // The tag the control was created as ("window", "combobox", "tabctrl2", ...).
    QString GetObjectClass() const { return classChain_.isEmpty() ? kClassName : classChain_[0]; }
    // True for the control's own class and every class it extends.
    bool IsClass(const QString& className) const;
    void SetClassChain(const QStringList& chain) { classChain_ = chain; }

    std::intptr_t GetUserData() const { return userData_; }
    void SetUserData(std::intptr_t value) { userData_ = value; }

    // The untranslated text; the control shows its translation.
    virtual QString GetWindowText() const { return text_; }
    virtual void SetWindowText(const QString& text);
    QString DisplayText() const;

    // Attribute names arrive in lower case and values with "@string/" and "@color/" resolved.
    // Returns false for an attribute nobody knows or a value that could not be used.
    virtual bool SetAttribute(const QString& name, const QString& value);
    // Applies the element's attributes, runs OnCreate, then builds the child elements.
    virtual void InitFromXml(const XmlNode& node, int depth = 0);
    // Builds one control per child element (unknown tags are skipped).
    virtual void CreateChildren(const XmlNode& node, int depth = 0);
    // Called after the attributes are set and before the children are built.
    virtual void OnCreate() {}
    // Re-reads every text through the translator, for this control and all below it.
    virtual void Retranslate();
    // 2025 re-translates; other messages are ignored by plain controls.
    virtual std::intptr_t SendMessage(unsigned msg, std::uintptr_t wParam = 0,
                                      std::intptr_t lParam = 0);

    SWindow* FindChildByName(const QString& name) const;
    SWindow* FindChildByID(int id) const;
    template <class T>
    T* FindChildByName2(const QString& name) const {
        return dynamic_cast<T*>(FindChildByName(name));
    }
    std::vector<SWindow*> ChildWindows() const;

    // Per-control subscriptions, called in the order they were made.
    using Handler = std::function<bool(EventArgs&)>;
    void Subscribe(EventType type, Handler handler);
    void UnsubscribeAll() { handlers_.clear(); }
    // Subscribers first; the receiver (host, menu owner) when no subscriber handled it.
    bool FireEvent(EventArgs& e);
    void FireSimple(EventType type, int value = 0, int oldValue = 0, int code = 0);
    // The nearest receiver up the parent chain.
    IEventReceiver* Receiver() const;
    void SetReceiver(IEventReceiver* receiver) { receiver_ = receiver; }

    const PosSpec& Pos() const { return pos_; }
    void SetPos(const PosSpec& pos);
    void LayoutChildren();

    bool IsChecked() const { return checked_; }
    virtual void SetCheck(bool checked);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    bool event(QEvent* event) override;

    // 0 normal, 1 hover, 2 pressed, 3 disabled.
    int VisualState() const;
    void PaintBackground(QPainter& p);
    void PaintText(QPainter& p, const QRect& area);
    QColor TextColor() const;

    bool hovered_ = false;
    bool pressed_ = false;
    bool checked_ = false;
    QColor colorText_;
    QColor colorBkgnd_;
    QColor colorBorder_;
    int radius_ = 0;
    Qt::Alignment align_ = Qt::AlignLeft | Qt::AlignVCenter;
    bool wrap_ = false;
    int padding_ = 0;
    QString skin_;
    QString tip_;
    bool dragsWindow_ = false;

  private:
    QString name_;
    int id_ = 0;
    QStringList classChain_;
    std::intptr_t userData_ = 0;
    QString text_;
    PosSpec pos_;
    IEventReceiver* receiver_ = nullptr;
    std::vector<std::pair<EventType, Handler>> handlers_;
};

// `text` through the application's translator (unchanged without one).
QString TrText(const QString& text);

// Colour from "#RRGGBB", "#AARRGGBB" or a named colour; invalid when it is none of them.
QColor ParseColor(const QString& text);

}  // namespace keylume::ui
