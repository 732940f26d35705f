#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/HidBus.h"

namespace keylume::platform {

class SimBroadcasts;

// One emulated HID interface: what the system would tell about it and how it answers reports.
// The built-in keyboard's three interfaces and the emulated virtual keyboard are such interfaces.
//
// Threads: the handlers run on the thread of the port call, with no lock of the bus held; a read
// and a write may run at the same time from two threads, and several handles may be open.
class SimHidInterface {
  public:
    // OnWrite's answer for a write the device never completes: the port waits out the caller's
    // time-out and then fails the write, as a cancelled write does.
    static constexpr int kWriteNeverCompletes = -1;

    virtual ~SimHidInterface() = default;

    // Canonical path, "hid#vid_1a2c&pid_2d3e&mi_01&col02#sim2".
    virtual std::string Path() const = 0;
    virtual HidAttributes Attributes() const = 0;
    virtual HidCaps Caps() const = 0;

    // Whether an open with these rights is granted. The system keeps some collections (keyboards,
    // mice) to itself and refuses read or write access to them.
    virtual bool AcceptsOpen(std::uint32_t access, std::uint32_t share) const;

    // Byte 0 of every report is the report ID. Return false (0) to fail the transfer.
    virtual bool OnSetFeature(std::span<const std::uint8_t> report) = 0;
    virtual bool OnGetFeature(std::span<std::uint8_t> report) = 0;
    // Bytes taken, 0 to fail, or kWriteNeverCompletes.
    virtual int OnWrite(std::span<const std::uint8_t> report) = 0;
    // Copies the next waiting input report: its length, or 0 when none waits yet (the port keeps
    // asking until the time-out or the abort).
    virtual int OnRead(std::span<std::uint8_t> buffer);

    // Runs after a write has returned its result to the port and has been traced: the place for
    // what follows the transfer, such as leaving the bus.
    virtual void AfterWrite(std::span<const std::uint8_t> report, int result);

    // True when the port writes this interface's feature reports and writes to the trace
    // ("hid set-feature ...", "hid get-feature ...", "hid write ...").
    virtual bool TracesExchanges() const { return false; }
};

// The HID bus of the built-in devices. Emulated interfaces attach and detach at run time, which
// is plugging and unplugging: each queues an arrival or removal broadcast (device interface type)
// on the given broadcasts. Handles opened on an interface fail from the moment it is detached,
// even when an interface of the same path is attached again later.
//
// Threads: any.
class SimHidBus final : public HidBus {
  public:
    explicit SimHidBus(SimBroadcasts& broadcasts);
    ~SimHidBus() override;
    SimHidBus(const SimHidBus&) = delete;
    SimHidBus& operator=(const SimHidBus&) = delete;

    // Present interfaces in the order they were attached.
    std::vector<std::string> ListInterfaces() override;
    std::unique_ptr<HidPort> Open(std::string_view path, std::uint32_t access,
                                  std::uint32_t share) override;

    // Makes the interface present; false (and nothing changes) when it is null or its path is
    // already present.
    bool Attach(std::shared_ptr<SimHidInterface> iface);
    // Removes the interface of `path`; false when none is present.
    bool Detach(const std::string& path);
    bool IsPresent(const std::string& path) const;

    struct Attachment;

  private:
    SimBroadcasts& broadcasts_;
    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Attachment>> attached_;
};

}  // namespace keylume::platform
