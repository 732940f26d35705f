#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/HidBus.h"

namespace keylume {

// Where an input report is sent: the virtual keyboard device.
class IVHidevProxy {
  public:
    virtual ~IVHidevProxy() = default;
    // Sends `length` data bytes as the report `reportId` (0: no ID, the data's first byte leads).
    virtual bool Send(const std::uint8_t* data, std::size_t length, std::uint8_t reportId) = 0;
};

// The virtual keyboard's identity and the size of what it takes.
inline constexpr std::uint16_t kVirtualKeyboardVendor = 0xDEED;
inline constexpr std::uint16_t kVirtualKeyboardProduct = 0xFEED;
inline constexpr std::uint16_t kVirtualKeyboardUsagePage = 0xFF00;
inline constexpr std::uint16_t kVirtualKeyboardUsage = 0x01;
inline constexpr std::size_t kVirtualKeyboardPacketSize = 64;

// The virtual HID keyboard: the state of its four input reports (keyboard map of 256 usages, mouse
// buttons and axes, one consumer usage, one system-control usage) and the device they are written
// to, each change as one 64-byte packet.
//
// Threads: PressUsage from the filter reader thread and the playback worker, ReleaseAll and the
// device calls from the UI thread. Each change and the packet that shows it are one step under the
// state lock, so packets leave in the order of the changes and each shows the whole state after
// its change; the write mutex serialises the writes themselves.
class VHidev final : public IVHidevProxy {
  public:
    VHidev();
    ~VHidev() override;
    VHidev(const VHidev&) = delete;
    VHidev& operator=(const VHidev&) = delete;

    // The process-wide virtual keyboard, created on first use. Keys it holds when the process
    // exits normally are released.
    static VHidev& Instance();

    bool Send(const std::uint8_t* data, std::size_t length, std::uint8_t reportId) override;

    // Changes one usage and sends its report: page 7 keyboard (low 8 bits of the usage), 5 mouse
    // buttons (usage < 8), 1 system control (>= 0x80) or mouse X, Y, wheel (0x30, 0x31, 0x38:
    // 1 while pressed, 0 released), 12 consumer. The Send result, 0 when nothing was sent.
    int PressUsage(std::uint16_t usagePage, std::uint16_t usage, bool pressed);
    // Every report back to released and sent: keyboard, mouse, consumer, system. The last result.
    int ReleaseAll();

    // The device. SetDevice closes the held one first (releasing every key on it).
    bool IsOpen() const;
    void SetDevice(std::unique_ptr<platform::HidPort> device);
    // Releases every key, then closes the device.
    void Close();
    // Closes the held device and searches the bus for the virtual keyboard.
    bool FindDevice(platform::HidBus& bus);

  private:
    template <std::size_t N>
    struct InputReport {
        std::uint8_t reportId;
        IVHidevProxy* sink;
        std::array<std::uint8_t, N> data{};

        bool SendState() const { return sink->Send(data.data(), data.size(), reportId); }
    };

    int ReleaseAllLocked();

    std::mutex stateMutex_;          // the four reports; taken before the write mutex
    mutable std::mutex writeMutex_;  // the device and its writes
    std::unique_ptr<platform::HidPort> device_;
    InputReport<33> keyboard_{1, this};
    InputReport<4> mouse_{2, this};
    InputReport<2> consumer_{3, this};
    InputReport<2> system_{4, this};
};

// Searches the present HID interfaces for the virtual keyboard (vid 0xDEED, pid 0xFEED, top-level
// collection 0xFF00:1). When several are found the last one wins and the earlier ones are closed.
// `out` is set to null first; false and a trace line when `out` is null or nothing is found.
bool FindVirtualKeyboard(platform::HidBus& bus, std::unique_ptr<platform::HidPort>* out);

// The 64-byte packet that carries one report: 0x05, the report ID (when not 0), the data.
std::array<std::uint8_t, kVirtualKeyboardPacketSize> MakeVirtualKeyboardPacket(
    const std::uint8_t* data, std::size_t length, std::uint8_t reportId);

}  // namespace keylume
