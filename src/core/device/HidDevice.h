#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>

#include "platform/Event.h"
#include "platform/HidBus.h"
#include "platform/NamedLock.h"

namespace keylume {

// The program's handle on one HID interface of the keyboard: open and close, 8-byte feature
// reports, 8-byte output reports with a time-out, reads with a time-out and an abort event.
//
// Every operation runs under the named lock of its own name ("HidDevice::Open", "HidDevice::Write",
// ...), so one operation never runs twice at once in any thread or process of the user; different
// operations are not serialised against each other. The lock is re-entrant: start-up holds
// "HidDevice::Open" itself around the enumeration and the open. An operation whose lock cannot be
// had fails (0 or false) rather than run unguarded; only Close, which merely lets go, goes on.
// Threads: the UI thread, and the executor thread for the start-up lighting command. The open
// interface is shared with calls in flight, so a Close on one thread never pulls it from under a
// transfer on another.
class HidDevice {
  public:
    using Report = std::array<std::uint8_t, 8>;

    // Read and write access, shared for reading and writing: the mode the program always opens
    // with.
    static constexpr std::uint32_t kOpenMode = 0xC0000003u;
    static constexpr int kWriteTimeoutMs = 3000;

    HidDevice(platform::NamedLocks& locks, platform::HidBus& bus);
    HidDevice(const HidDevice&) = delete;
    HidDevice& operator=(const HidDevice&) = delete;

    // Opens `path`; the top byte of `mode` is the access (0x80000000 read, 0x40000000 write), the
    // low byte the share mode (1 read, 2 write). Closes what was open first. An empty path changes
    // nothing and gives 0. Non-zero when the interface is open.
    int Open(std::string_view path, std::uint32_t mode = kOpenMode);
    // Opens the first present interface that EnumerateHidInterfaces finds for these values and
    // stores its version number in `versionNumber` (when given). 0 when none is found or the open
    // fails.
    int Open(std::int32_t vendorId, std::span<const std::int32_t> productIds,
             std::int32_t interfaceNumber, std::int32_t collectionNumber,
             std::uint16_t* versionNumber, std::uint32_t mode = kOpenMode);
    void Close();
    bool IsOpen() const;

    // Output report, cut to the interface's output report length when that is shorter; gives up
    // after kWriteTimeoutMs. The bytes written, 0 on failure.
    int Write(const Report& report);
    // Byte 0 holds the report ID; filled in place with the device's report.
    bool GetFeature(Report& report);
    bool SetFeature(const Report& report);
    // Reads at most the interface's input report length. Ends after `timeoutMs` (<= 0 reads
    // nothing) or when `abort` (may be null) is set. The bytes read, 0 on failure.
    int Read(std::span<std::uint8_t> buffer, platform::Event* abort, int timeoutMs);

    // The capabilities read at the last successful open.
    platform::HidCaps Caps() const;
    // The locks the operations take, for callers that hold "HidDevice::Open" around an open.
    platform::NamedLocks& Locks() { return locks_; }
    platform::HidBus& Bus() { return bus_; }

  private:
    std::shared_ptr<platform::HidPort> CurrentPort() const;

    platform::NamedLocks& locks_;
    platform::HidBus& bus_;
    mutable std::mutex mutex_;  // guards port_ and caps_, never held across a transfer
    std::shared_ptr<platform::HidPort> port_;
    platform::HidCaps caps_;
};

}  // namespace keylume
