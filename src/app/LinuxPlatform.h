#pragma once

#include <cstdint>

#include "platform/Platform.h"
#include "platform/linux/HidapiHidBus.h"
#include "platform/linux/LinuxFilter.h"
#include "platform/linux/LinuxProcess.h"
#include "platform/linux/LinuxProgramFolder.h"
#include "platform/linux/LinuxVirtualKeyboard.h"
#include "platform/linux/UdevBroadcasts.h"

namespace keylume {

// The real devices on Linux: hidapi for the keyboard's HID interfaces, the uinput virtual keyboard
// on the same bus, libudev for arrivals and removals, and the user-space filter that grabs the
// configured keyboard's event nodes.
class LinuxPlatform final : public platform::Platform {
  public:
    LinuxPlatform(std::uint16_t keyboardVendor, std::uint16_t keyboardProduct);

    platform::NamedLocks& Locks() override;
    platform::HidBus& Hid() override { return bus_; }
    platform::DeviceBroadcasts& Broadcasts() override { return broadcasts_; }
    platform::FilterDevice& Filter() override { return filter_; }
    platform::ProcessRunner& Processes() override { return processes_; }
    platform::ProgramFolder& Folder() override { return folder_; }
    platform::Clock& Time() override;

  private:
    platform::HidapiHidBus devices_;
    platform::LinuxVirtualKeyboardBus bus_{devices_};
    platform::UdevBroadcasts broadcasts_;
    platform::LinuxFilter filter_;
    platform::LinuxProcessRunner processes_;
    platform::LinuxProgramFolder folder_;
};

}  // namespace keylume
