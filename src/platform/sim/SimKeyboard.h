#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace keylume::platform {

class SimHidBus;

// What the built-in keyboard's lighting is set to, as its commands left it.
struct SimKeyboardState {
    int effect = 20;
    std::uint8_t brightness = 5;
    std::uint8_t speed = 0;
    std::uint8_t direction = 0;
    std::uint8_t effectByte7 = 0;  // the stored form carries the loader position here
    int sideMode = 0;
    int sideLevel = 4;
    int restores = 0;  // factory restores carried out since the keyboard was made

    bool operator==(const SimKeyboardState&) const = default;
};

// The built-in keyboard: vendor 0x1A2C, product 0x2D3E, with three interfaces on the emulated bus:
//   "hid#vid_1a2c&pid_2d3e&mi_00#sim0"        the keys (kept by the system: no read/write opens)
//   "hid#vid_1a2c&pid_2d3e&mi_01&col01#sim1"  media keys (no feature or output reports)
//   "hid#vid_1a2c&pid_2d3e&mi_01&col02#sim2"  the commands: report ID 7, 8-byte feature and
//                                             output reports
// It keeps the lighting the commands set, answers the firmware query, and on the factory-restore
// report resets itself, leaves the bus and comes back after the restore delay. Its exchanges on the
// command collection and its plugs and unplugs go to the trace ("hid ...", "sim plug",
// "sim unplug").
//
// Threads: any. The restore's comeback runs on a thread of the keyboard's own. The bus must
// outlive the keyboard; handles opened on it may outlive both and then simply fail.
class SimKeyboard {
  public:
    static constexpr std::uint16_t kVendorId = 0x1A2C;
    static constexpr std::uint16_t kProductId = 0x2D3E;
    static constexpr const char* kKeysPath = "hid#vid_1a2c&pid_2d3e&mi_00#sim0";
    static constexpr const char* kMediaPath = "hid#vid_1a2c&pid_2d3e&mi_01&col01#sim1";
    static constexpr const char* kCommandPath = "hid#vid_1a2c&pid_2d3e&mi_01&col02#sim2";

    struct Options {
        bool plugged = true;
        std::uint8_t firmwareMajor = 1;
        std::uint8_t firmwareMinor = 0;
        std::chrono::milliseconds restoreDelay{1000};
    };

    explicit SimKeyboard(SimHidBus& bus);
    SimKeyboard(SimHidBus& bus, Options options);
    ~SimKeyboard();
    SimKeyboard(const SimKeyboard&) = delete;
    SimKeyboard& operator=(const SimKeyboard&) = delete;

    // Attaches the three interfaces (arrival broadcasts); false when already plugged.
    bool Plug();
    // Detaches them (removal broadcasts) and drops a comeback that a restore scheduled; false when
    // not plugged.
    bool Unplug();
    bool IsPlugged() const;

    SimKeyboardState State() const;
    void SetFirmwareVersion(std::uint8_t major, std::uint8_t minor);
    // Replaces the answer to the firmware query with `answer` (a keyboard answering garbage);
    // nothing goes back to the version answer.
    void SetFirmwareAnswer(std::optional<std::array<std::uint8_t, 8>> answer);
    // Every transfer on the command collection fails while set.
    void SetFailTransfers(bool fail);
    // Writes on the command collection never complete while set.
    void SetStallWrites(bool stall);
    // Waits until a scheduled comeback has happened (or none is scheduled); false on time-out.
    bool WaitForComeback(std::chrono::milliseconds timeout);

    struct Core;

  private:
    void ComebackMain();

    SimHidBus& bus_;
    std::shared_ptr<Core> core_;
    std::thread comeback_;
};

}  // namespace keylume::platform
