#include "app/SimulatorPanel.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "app/ScenarioScript.h"
#include "app/SimulatedPlatform.h"

namespace keylume {

namespace {

// The usage id of a character on a US keyboard, 0 when there is no plain key for it.
std::uint16_t UsageOf(QChar c) {
    const char16_t u = c.toLower().unicode();
    if (u >= 'a' && u <= 'z')
        return static_cast<std::uint16_t>(0x04 + (u - 'a'));
    if (u >= '1' && u <= '9')
        return static_cast<std::uint16_t>(0x1E + (u - '1'));
    if (u == '0')
        return 0x27;
    if (u == ' ')
        return 0x2C;
    if (u == '\n')
        return 0x28;
    return 0;
}

}  // namespace

SimulatorPanel::SimulatorPanel(SimulatedPlatform& sim, QWidget* parent)
    : QWidget(parent, Qt::Window), sim_(sim) {
    setWindowTitle("Keylume - built-in keyboard");
    auto* grid = new QGridLayout(this);
    state_ = new QLabel(this);
    state_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(state_, 0, 0, 1, 3);

    input_ = new QLineEdit(this);
    input_->setPlaceholderText("Text to type on the keyboard");
    auto* type = new QPushButton("Type", this);
    grid->addWidget(input_, 1, 0, 1, 2);
    grid->addWidget(type, 1, 2);
    connect(type, &QPushButton::clicked, this, [this] {
        TypeText(input_->text());
        input_->clear();
    });
    connect(input_, &QLineEdit::returnPressed, type, &QPushButton::click);

    keyName_ = new QLineEdit(this);
    keyName_->setPlaceholderText("Key name or usage (Caps Lock, 0x7003a)");
    auto* tap = new QPushButton("Tap key", this);
    grid->addWidget(keyName_, 2, 0, 1, 2);
    grid->addWidget(tap, 2, 2);
    connect(tap, &QPushButton::clicked, this, [this] {
        if (auto usage = ParseUsage(keyName_->text().trimmed().toStdString())) {
            sim_.KeyFilter().TapKey(static_cast<std::uint16_t>(*usage >> 16),
                                    static_cast<std::uint16_t>(*usage & 0xFFFF));
            keyName_->setStyleSheet({});
        } else {
            keyName_->setStyleSheet("border-color:#ff5050;");
        }
    });

    plug_ = new QPushButton(this);
    grid->addWidget(plug_, 3, 0);
    connect(plug_, &QPushButton::clicked, this, [this] {
        if (sim_.Keyboard().IsPlugged()) {
            sim_.Keyboard().Unplug();
        } else {
            sim_.Keyboard().Plug();
        }
        Refresh();
    });

    typed_ = new QLabel(this);
    typed_->setWordWrap(true);
    typed_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(typed_, 4, 0, 1, 3);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &SimulatorPanel::Refresh);
    timer_->start(250);
    Refresh();
    resize(420, 260);
}

void SimulatorPanel::TypeText(const QString& text) {
    for (QChar c : text) {
        const std::uint16_t usage = UsageOf(c);
        if (usage == 0)
            continue;
        const bool shift = c.isUpper();
        if (shift)
            sim_.KeyFilter().InjectKey(7, 0xE1, true);
        sim_.KeyFilter().TapKey(7, usage);
        if (shift)
            sim_.KeyFilter().InjectKey(7, 0xE1, false);
    }
}

QString SimulatorPanel::StateText() const {
    const auto s = sim_.Keyboard().State();
    return QString(
               "Keyboard: %1\nEffect %2, brightness %3, speed %4, direction %5\n"
               "Side light: mode %6, level %7\nFactory restores: %8")
        .arg(sim_.Keyboard().IsPlugged() ? "plugged in" : "unplugged")
        .arg(s.effect)
        .arg(s.brightness)
        .arg(s.speed)
        .arg(s.direction)
        .arg(s.sideMode)
        .arg(s.sideLevel)
        .arg(s.restores);
}

void SimulatorPanel::Refresh() {
    state_->setText(StateText());
    plug_->setText(sim_.Keyboard().IsPlugged() ? "Unplug" : "Plug in");
    QString typed = QString::fromStdString(sim_.VirtualKeyboard().Text());
    if (typed.size() > 200)
        typed = "..." + typed.right(200);
    typed_->setText("Virtual keyboard typed: " + typed + "\nSystem received: " +
                    QString::fromStdString(sim_.SystemInput().Text()).right(200));
}

}  // namespace keylume
