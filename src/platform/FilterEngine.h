#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>

#include "platform/FilterDevice.h"

namespace keylume::platform {

// The keyboard filter's control device and its requests, as the filter understands them.
inline constexpr std::string_view kFilterControlPath = "\\\\.\\vhidflt";
// Back to normal use: only the keys of the key table are reported (and withheld).
inline constexpr std::uint32_t kFilterEndCapture = 0x226008;
// Drops the key presses that wait for the program; releases stay queued.
inline constexpr std::uint32_t kFilterDropPresses = 0x22600C;
// 4-byte input 0: report every key, not only the key table's.
inline constexpr std::uint32_t kFilterCaptureAll = 0x226010;
// 4-byte output: the next key event record; pends until there is one.
inline constexpr std::uint32_t kFilterNextEvent = 0x226044;
// Input up to 1024 bytes: the key table, 256 entries of 4 bytes; missing entries are cleared.
inline constexpr std::uint32_t kFilterSetKeyTable = 0x22A000;

inline constexpr std::size_t kFilterKeyTableSize = 1024;

// One key event of the physical keyboard in HID terms.
struct FilterKey {
    std::uint16_t page = 0;
    std::uint16_t usage = 0;
    bool pressed = false;

    bool operator==(const FilterKey&) const = default;
};

// The keyboard filter's logic, shared by the built-in filter and the Linux user-space filter:
// the key table, the capture mode, the queue of key events waiting for the program and the pending
// event requests of the control device's handles.
//
// Routing: while at least one handle of the control device is open, the keys of the key table are
// reported to the program (queued for it) and withheld from the system. After a capture request
// every other key is reported too, and still reaches the system: the program sends the same
// requests when the macro editor starts recording as when it closes, so capturing must leave the
// keyboard usable. A release goes where its press went, so neither side sees half a key stroke.
// When the last handle closes, the queue and the capture mode end: a program that went away leaves
// a keyboard that types normally.
//
// Threads: OnKey from the thread that reads the keyboard; handles from any thread; Control may wait
// on one thread while CancelIo or the abort event come from another. Trace lines:
// "filter ioctl <code> len=<n>[ <input>]" for every request, "filter event <4 bytes>" for every
// record handed to a reader, "filter close" for every handle closed.
class FilterEngine final : public FilterDevice {
  public:
    // Receives the key events that are not withheld; called on the OnKey thread with no lock
    // held.
    using SystemSink = std::function<void(const FilterKey&)>;

    explicit FilterEngine(SystemSink toSystem = nullptr);
    ~FilterEngine() override;
    FilterEngine(const FilterEngine&) = delete;
    FilterEngine& operator=(const FilterEngine&) = delete;

    // Opens a handle on kFilterControlPath (compared without case); null for any other path.
    std::unique_ptr<FilterHandle> Open(std::string_view path, std::uint32_t access) override;

    struct Route {
        bool reported = false;  // queued for the program
        bool withheld = false;  // kept from the system
    };

    // A key event of the keyboard. The system sink gets it unless it is withheld.
    Route OnKey(const FilterKey& key);

    // True while a press of this key was withheld and its release has not come yet.
    bool Withheld(std::uint16_t page, std::uint16_t usage) const;
    bool Capturing() const;
    std::array<std::uint8_t, kFilterKeyTableSize> KeyTable() const;
    std::size_t OpenHandles() const;
    std::size_t QueuedEvents() const;
    // Event requests waiting right now, on every handle.
    std::size_t PendingRequests() const;

    struct State;

  private:
    std::shared_ptr<State> state_;
    SystemSink toSystem_;
};

}  // namespace keylume::platform
