#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/HidBus.h"

namespace keylume::platform::win32 {

// HID interfaces through hid.dll and the device set-up interfaces.
//
// Interfaces are listed with SetupDiGetClassDevsW / SetupDiEnumDeviceInterfaces /
// SetupDiGetDeviceInterfaceDetailW for the HID class, and their names are the system's own device
// interface paths ("\\?\hid#vid_1a2c&pid_2d3e&mi_01&col02#7&...#{4d1e55b2-...}"), which already
// have the canonical form the path reader looks for; they open as they are. Ports open the path
// with CreateFileW for overlapped I/O, so a read and a write can be outstanding at the same time
// and every wait has a time-out. Threads: any. Failure: an empty list, a null port; every failing
// call is traced with its system error.
class HidBusWin32 final : public HidBus {
  public:
    std::vector<std::string> ListInterfaces() override;
    std::unique_ptr<HidPort> Open(std::string_view path, std::uint32_t access,
                                  std::uint32_t share) override;
};

// The bus that finds the virtual keyboard: the present HID interfaces as the configuration manager
// lists them (CM_Get_Device_Interface_List_SizeW and CM_Get_Device_Interface_ListW), opened like
// the HID bus does.
class CmHidBusWin32 final : public HidBus {
  public:
    std::vector<std::string> ListInterfaces() override;
    std::unique_ptr<HidPort> Open(std::string_view path, std::uint32_t access,
                                  std::uint32_t share) override;
};

// Opens a HID interface for overlapped I/O; null (with the error traced) when it cannot.
std::unique_ptr<HidPort> OpenHidPort(std::string_view path, std::uint32_t access,
                                     std::uint32_t share);

}  // namespace keylume::platform::win32
