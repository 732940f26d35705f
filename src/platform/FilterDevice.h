#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "platform/Event.h"

namespace keylume::platform {

// How a control request ended.
enum class ControlOutcome {
    Failed,           // refused at once (bad handle, unknown code, device gone)
    CompletedAtOnce,  // finished without going pending
    Completed,        // went pending, then finished; the output is filled
    Aborted,          // went pending, then the abort event ended the wait; the request is cancelled
};

// Port: one open handle on the keyboard filter's control device ("\\.\vhidflt").
//
// The filter reports key events of the physical keyboard and withholds the bound ones from the
// system; what each request code means is the filter's business (see docs/design.md).
// Threads: Control may run on one thread while CancelIo runs on another. The handle is destroyed
// only when no Control call on it is running.
class FilterHandle {
  public:
    virtual ~FilterHandle() = default;

    // Issues request `code` with `input`, waiting without time limit until it completes or `abort`
    // is set (an abort consumes the event and cancels the request).
    virtual ControlOutcome Control(std::uint32_t code, std::span<const std::uint8_t> input,
                                   std::span<std::uint8_t> output, Event& abort) = 0;

    // Cancels every request pending on this handle; their Control calls return Aborted.
    virtual void CancelIo() = 0;
};

// Port: opens the filter's control device. Returns null when the filter is not there.
// Threads: any.
class FilterDevice {
  public:
    virtual ~FilterDevice() = default;
    virtual std::unique_ptr<FilterHandle> Open(std::string_view path, std::uint32_t access) = 0;
};

}  // namespace keylume::platform
