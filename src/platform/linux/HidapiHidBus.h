#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/HidBus.h"
#include "platform/linux/HidNaming.h"

namespace keylume::platform {

// hidapi's present hidraw interfaces, named (see NameHidInterfaces). Empty when hidapi cannot
// start.
std::vector<NamedHidInterface> ListHidapiInterfaces();

// The HID bus of the real machine, on hidapi's hidraw backend. Names are mapped back to their
// hidraw node at every open, so a name always means the node that serves it now.
//
// What hidraw allows for writes: a write() on a hidraw node cannot be cancelled; the kernel ends a
// transfer the device never takes after its own USB time-out (5 s in usbhid). Write therefore
// runs the transfer on a helper thread and gives up waiting after the caller's time-out, returning
// 0; the node stays open until the helper's write has returned, and a following write waits,
// within its own time-out, for the stuck one to end first.
// Threads: any.
class HidapiHidBus final : public HidBus {
  public:
    std::vector<std::string> ListInterfaces() override;
    std::unique_ptr<HidPort> Open(std::string_view path, std::uint32_t access,
                                  std::uint32_t share) override;
};

}  // namespace keylume::platform
