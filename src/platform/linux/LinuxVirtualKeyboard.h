#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/HidBus.h"

namespace keylume::platform {

// The virtual keyboard on Linux: a uinput device named "Keylume virtual keyboard" (USB, vid 0xDEED,
// pid 0xFEED) that types what the program's 64-byte packets say. It shows on the HID bus as the
// interface "hid#vid_deed&pid_feed#uinput" (collection 0xFF00:1, 64-byte writes) whenever uinput
// can be written, so the program finds it as it finds the Windows driver's device; opening it
// creates the uinput device, closing the port destroys it, and the kernel then releases every key
// the device still held (as it does when the process dies).
//
// This bus wraps the machine's HID bus and passes every other path on to it.
// Threads: any; writes on one port are serialised.
class LinuxVirtualKeyboardBus final : public HidBus {
  public:
    static constexpr const char* kPath = "hid#vid_deed&pid_feed#uinput";

    explicit LinuxVirtualKeyboardBus(HidBus& devices, std::string uinputNode = "/dev/uinput");

    std::vector<std::string> ListInterfaces() override;
    std::unique_ptr<HidPort> Open(std::string_view path, std::uint32_t access,
                                  std::uint32_t share) override;

  private:
    HidBus& devices_;
    const std::string uinputNode_;
};

}  // namespace keylume::platform
