#pragma once

#include <memory>

#include "platform/Platform.h"
#include "platform/linux/LinuxProcess.h"
#include "platform/linux/LinuxProgramFolder.h"
#include "platform/sim/SimBroadcasts.h"
#include "platform/sim/SimFilter.h"
#include "platform/sim/SimHidBus.h"
#include "platform/sim/SimKeyboard.h"
#include "platform/sim/SimVirtualKeyboard.h"

namespace keylume {

// The built-in devices as one platform: the emulated keyboard on its HID bus, the emulated filter
// in front of it and the emulated virtual keyboard, both feeding one record of what the system
// received. Locks, processes, the program folder and the clock are the machine's own.
//
// Tests, the scenario runner and the simulator window reach the devices through the accessors.
// Threads: as the ports say; the devices themselves may be driven from any thread.
class SimulatedPlatform final : public platform::Platform {
  public:
    struct Options {
        bool keyboardPlugged = true;
        std::uint8_t firmwareMajor = 1;
        std::uint8_t firmwareMinor = 0;
        std::chrono::milliseconds restoreDelay{1000};
    };

    SimulatedPlatform();
    explicit SimulatedPlatform(Options options);
    ~SimulatedPlatform() override;

    platform::NamedLocks& Locks() override;
    platform::HidBus& Hid() override { return bus_; }
    platform::DeviceBroadcasts& Broadcasts() override { return broadcasts_; }
    platform::FilterDevice& Filter() override { return filter_; }
    platform::ProcessRunner& Processes() override { return processes_; }
    platform::ProgramFolder& Folder() override { return folder_; }
    platform::Clock& Time() override;

    platform::SimKeyboard& Keyboard() { return *keyboard_; }
    platform::SimFilter& KeyFilter() { return filter_; }
    platform::SimVirtualKeyboard& VirtualKeyboard() { return *virtualKeyboard_; }
    platform::SimSystemInput& SystemInput() { return system_; }
    platform::SimBroadcasts& SimBroadcastQueue() { return broadcasts_; }

  private:
    platform::SimBroadcasts broadcasts_;
    platform::SimHidBus bus_{broadcasts_};
    platform::SimSystemInput system_;
    platform::SimFilter filter_{&system_};
    std::shared_ptr<platform::SimVirtualKeyboard> virtualKeyboard_;
    std::unique_ptr<platform::SimKeyboard> keyboard_;
    platform::LinuxProcessRunner processes_;
    platform::LinuxProgramFolder folder_;
};

}  // namespace keylume
