#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Event.h"

namespace keylume::platform {

// What the system tells about an open HID interface.
struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
};

// The parts of the HID capabilities the program reads.
struct HidCaps {
    std::uint16_t usage = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t inputReportByteLength = 0;
    std::uint16_t outputReportByteLength = 0;
    std::uint16_t featureReportByteLength = 0;
};

// Access and share bits of an open, as the program's open modes carry them.
inline constexpr std::uint32_t kAccessRead = 0x80000000u;
inline constexpr std::uint32_t kAccessWrite = 0x40000000u;
inline constexpr std::uint32_t kShareRead = 1u;
inline constexpr std::uint32_t kShareWrite = 2u;

// Port: one open HID interface. Carries report bytes, never their meaning.
//
// Threads: any thread; a Read and a Write may be outstanding at the same time (from two threads).
// Calls of the same kind are serialised by the caller. The object is destroyed on one thread
// while no call on it is running.
// Failure: false or 0; the interface may have gone away at any moment (unplugged), after which
// every call fails at once.
class HidPort {
  public:
    virtual ~HidPort() = default;

    virtual bool GetAttributes(HidAttributes& out) = 0;
    virtual bool GetCaps(HidCaps& out) = 0;

    // Feature reports; byte 0 of the buffer is the report ID. GetFeature fills the buffer in place.
    virtual bool SetFeature(std::span<const std::uint8_t> report) = 0;
    virtual bool GetFeature(std::span<std::uint8_t> report) = 0;

    // Writes one output report (byte 0 = report ID). Gives up after `timeoutMs` (negative: no
    // limit), cancelling the write. Returns the bytes written, 0 on failure or time-out.
    virtual int Write(std::span<const std::uint8_t> report, int timeoutMs) = 0;

    // Reads one input report into `buffer`. Ends after `timeoutMs`, or as soon as `abort` (may be
    // null) is set; an abort consumes the event. Returns the bytes read, 0 on failure, time-out or
    // abort.
    virtual int Read(std::span<std::uint8_t> buffer, int timeoutMs, Event* abort) = 0;
};

// Port: the HID interfaces present on the machine.
//
// Interfaces are named in one canonical form on every backend,
// "hid#vid_1a2c&pid_2d3e&mi_01&col02#<backend tail>", lower case, so that the program's path
// reader and matching rules work unchanged. The virtual keyboard (vid 0xDEED, pid 0xFEED) is one of
// these interfaces too.
// Threads: any. Failure: an empty list; Open returns null when the path is not present or cannot
// be opened with the access asked for.
class HidBus {
  public:
    virtual ~HidBus() = default;

    virtual std::vector<std::string> ListInterfaces() = 0;
    virtual std::unique_ptr<HidPort> Open(std::string_view path, std::uint32_t access,
                                          std::uint32_t share) = 0;
};

}  // namespace keylume::platform
