#pragma once

#include <linux/input.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

struct libevdev;

namespace keylume::vmtest {

// Reads one input device's event node, found by the device's name, with kernel timestamps on
// CLOCK_MONOTONIC.
class EventNode {
  public:
    // Waits up to `timeout` for a node of that name to appear.
    static std::optional<EventNode> Open(const std::string& deviceName,
                                         std::chrono::milliseconds timeout);
    EventNode(EventNode&& other) noexcept;
    EventNode& operator=(EventNode&&) = delete;
    EventNode(const EventNode&) = delete;
    ~EventNode();

    // Events until a SYN_REPORT or `timeout`, whichever first; nothing on time-out.
    std::vector<input_event> NextFrame(std::chrono::milliseconds timeout);
    // Whether the device says `code` is held now.
    bool KeyHeld(unsigned code);
    // Every event read within `timeout`.
    std::vector<input_event> Drain(std::chrono::milliseconds timeout);
    // True once a read has found the device gone (ENODEV).
    bool Gone() const { return gone_; }

    // The names of every input device present, for failure messages.
    static std::string PresentNames();

  private:
    EventNode(int fd, libevdev* dev) : fd_(fd), dev_(dev) {}
    int fd_ = -1;
    libevdev* dev_ = nullptr;
    bool gone_ = false;
};

}  // namespace keylume::vmtest
