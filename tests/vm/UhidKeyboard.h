#pragma once

#include <linux/uhid.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace keylume::vmtest {

// Plays a HID device through /dev/uhid inside the test VM: by default the keyboard (vid 0x1A2C,
// pid 0x2D3E) with a boot-keyboard collection (report ID 1) and the vendor command collection
// (report ID 7, 8-byte feature and output reports). Feature and output reports that reach the
// device are recorded; feature reads are answered by `getReportReply`.
class UhidKeyboard {
  public:
    struct Options {
        std::uint32_t vendor = 0x1A2C;
        std::uint32_t product = 0x2D3E;
        std::string name = "Keylume test keyboard";
        std::vector<std::uint8_t> descriptor;  // empty: the keyboard's descriptor
    };

    UhidKeyboard();
    explicit UhidKeyboard(Options options);
    ~UhidKeyboard();
    UhidKeyboard(const UhidKeyboard&) = delete;
    UhidKeyboard& operator=(const UhidKeyboard&) = delete;

    bool Created() const { return fd_ >= 0; }
    void Destroy();

    // Sends an input report (byte 0 = report ID).
    bool Input(const std::vector<std::uint8_t>& report);

    // Reports set on the device, in arrival order: {report number, bytes as the host sent them}.
    std::vector<std::pair<int, std::vector<std::uint8_t>>> SetReports();
    std::vector<std::vector<std::uint8_t>> OutputReports();

    // The 8 bytes (starting with the report ID) returned for the next feature reads.
    void SetGetReportReply(std::vector<std::uint8_t> reply);

    static std::vector<std::uint8_t> KeyboardDescriptor();

  private:
    void Loop();

    int fd_ = -1;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::pair<int, std::vector<std::uint8_t>>> setReports_;
    std::vector<std::vector<std::uint8_t>> outputs_;
    std::vector<std::uint8_t> getReply_{0x07, 0, 0, 0, 0, 0, 0, 0};
};

// True inside the test VM (the init script sets KEYLUME_IN_VM) and when /dev/uhid can be opened.
bool InVm();

}  // namespace keylume::vmtest
