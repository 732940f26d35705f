#pragma once

#include "platform/FilterEngine.h"
#include "platform/linux/UinputPacketTranslator.h"

namespace keylume::platform {

// What becomes of one event read from a grabbed keyboard node: true when it goes on to the system
// (written to the node's uinput clone). Presses and releases of keys with a HID usage go through
// the filter engine, which may report them to the program and withhold them; the autorepeat of a
// withheld key is dropped; every other event passes unchanged.
bool RouteEvdevEvent(FilterEngine& engine, const InputEventSpec& event);

}  // namespace keylume::platform
