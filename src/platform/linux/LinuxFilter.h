#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/FilterEngine.h"

namespace keylume::platform {

// The event nodes of the keyboard `vendor`:`product` that the filter grabs: nodes of a HID device
// whose input device carries those ids (uinput devices, our clones among them, have no HID parent).
// Threads: any.
std::vector<std::string> KeyboardEventNodes(std::uint16_t vendor, std::uint16_t product);

// The keyboard filter on Linux, in user space: from the first Open of the control device on, the
// configured keyboard's event nodes (found through libudev: HID devices with its USB vendor and
// product ID) are grabbed with libevdev, so the system sees their input only through a uinput
// clone of each node, named after the node with " (Keylume)". Events of the bound keys (all keys
// after a capture request) are reported through the same request protocol as the Windows filter;
// withheld keys are not written to the clone, everything else is, unchanged. While no handle is
// open nothing is withheld, so the keyboard types normally through the clones.
//
// Every Open looks for nodes again, so a keyboard plugged in later is grabbed when the program
// re-opens the filter on its arrival. A node that goes away releases the keys it held.
// Destruction ungrabs every node and destroys the clones; after a crash the kernel does the same
// (the grab ends with the descriptor, a destroyed uinput device releases its keys).
//
// Threads: Open and SetKeyboard from the UI thread; a reader thread of its own reads the nodes.
class LinuxFilter final : public FilterDevice {
  public:
    LinuxFilter(std::uint16_t vendorId, std::uint16_t productId);
    ~LinuxFilter() override;
    LinuxFilter(const LinuxFilter&) = delete;
    LinuxFilter& operator=(const LinuxFilter&) = delete;

    // The keyboard to grab from the next Open on.
    void SetKeyboard(std::uint16_t vendorId, std::uint16_t productId);
    std::unique_ptr<FilterHandle> Open(std::string_view path, std::uint32_t access) override;

    std::size_t GrabbedNodes() const;

    struct Node;

  private:
    void LetGo();
    void Scan();
    void ReaderMain();
    void ReadNode(Node& node, bool& gone);
    void ReleaseHeld(Node& node);

    FilterEngine engine_;
    mutable std::mutex mutex_;
    std::uint16_t vendorId_;
    std::uint16_t productId_;
    std::mutex openMutex_;                      // serialises the scans of concurrent Opens
    std::vector<std::unique_ptr<Node>> nodes_;  // added by Scan, removed by the reader
    std::thread reader_;
    std::atomic<bool> stop_{false};
    int wakeFd_ = -1;
};

}  // namespace keylume::platform
