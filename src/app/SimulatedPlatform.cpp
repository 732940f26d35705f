#include "app/SimulatedPlatform.h"

namespace keylume {

SimulatedPlatform::SimulatedPlatform() : SimulatedPlatform(Options{}) {}

SimulatedPlatform::SimulatedPlatform(Options options)
    : virtualKeyboard_(std::make_shared<platform::SimVirtualKeyboard>(
          platform::SimVirtualKeyboard::kDefaultPath, &system_)) {
    // The virtual keyboard's driver is "installed": it is on the bus before anything looks.
    bus_.Attach(virtualKeyboard_);
    platform::SimKeyboard::Options keyboard;
    keyboard.plugged = options.keyboardPlugged;
    keyboard.firmwareMajor = options.firmwareMajor;
    keyboard.firmwareMinor = options.firmwareMinor;
    keyboard.restoreDelay = options.restoreDelay;
    keyboard_ = std::make_unique<platform::SimKeyboard>(bus_, keyboard);
    // The arrivals of devices present from the start are no news to anyone.
    broadcasts_.SetListener(nullptr);
    broadcasts_.DispatchPending();
}

SimulatedPlatform::~SimulatedPlatform() {
    keyboard_.reset();
    bus_.Detach(virtualKeyboard_->Path());
}

platform::NamedLocks& SimulatedPlatform::Locks() {
    return platform::SystemNamedLocks();
}

platform::Clock& SimulatedPlatform::Time() {
    return platform::SystemClock();
}

}  // namespace keylume
