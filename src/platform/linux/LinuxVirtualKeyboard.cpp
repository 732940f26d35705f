#include "platform/linux/LinuxVirtualKeyboard.h"

#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <linux/input.h>
#include <unistd.h>

#include <mutex>

#include "platform/linux/UinputPacketTranslator.h"

namespace keylume::platform {

namespace {

class UinputKeyboardPort final : public HidPort {
  public:
    static std::unique_ptr<HidPort> Create(const std::string& node) {
        const int fd = ::open(node.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0)
            return nullptr;
        libevdev* dev = libevdev_new();
        if (dev == nullptr) {
            ::close(fd);
            return nullptr;
        }
        libevdev_set_name(dev, "Keylume virtual keyboard");
        libevdev_set_id_bustype(dev, BUS_USB);
        libevdev_set_id_vendor(dev, 0xDEED);
        libevdev_set_id_product(dev, 0xFEED);
        libevdev_set_id_version(dev, 1);
        libevdev_enable_event_type(dev, EV_KEY);
        for (const std::uint16_t code : UinputPacketTranslator::KeyCodes())
            libevdev_enable_event_code(dev, EV_KEY, code, nullptr);
        libevdev_enable_event_type(dev, EV_REL);
        for (const unsigned code : {REL_X, REL_Y, REL_WHEEL})
            libevdev_enable_event_code(dev, EV_REL, code, nullptr);
        libevdev_uinput* uidev = nullptr;
        const int rc = libevdev_uinput_create_from_device(dev, fd, &uidev);
        libevdev_free(dev);
        if (rc != 0) {
            ::close(fd);
            return nullptr;
        }
        return std::unique_ptr<HidPort>(new UinputKeyboardPort(fd, uidev));
    }

    ~UinputKeyboardPort() override {
        std::lock_guard lock(mutex_);
        Emit(translator_.ReleaseAll());
        libevdev_uinput_destroy(uidev_);
        ::close(fd_);
    }

    bool GetAttributes(HidAttributes& out) override {
        out = HidAttributes{0xDEED, 0xFEED, 1};
        return true;
    }
    bool GetCaps(HidCaps& out) override {
        out = HidCaps{};
        out.usage = 0x01;
        out.usagePage = 0xFF00;
        out.outputReportByteLength = 64;
        return true;
    }
    bool SetFeature(std::span<const std::uint8_t>) override { return false; }
    bool GetFeature(std::span<std::uint8_t>) override { return false; }
    int Read(std::span<std::uint8_t>, int, Event*) override { return 0; }

    int Write(std::span<const std::uint8_t> packet, int) override {
        if (packet.size() != 64 || packet[0] != 0x05)
            return 0;
        std::lock_guard lock(mutex_);
        return Emit(translator_.Translate(packet)) ? static_cast<int>(packet.size()) : 0;
    }

  private:
    UinputKeyboardPort(int fd, libevdev_uinput* uidev) : fd_(fd), uidev_(uidev) {}

    bool Emit(const std::vector<InputEventSpec>& events) {
        bool ok = true;
        for (const auto& e : events)
            ok = libevdev_uinput_write_event(uidev_, e.type, e.code, e.value) == 0 && ok;
        return ok;
    }

    std::mutex mutex_;
    const int fd_;
    libevdev_uinput* const uidev_;
    UinputPacketTranslator translator_;
};

}  // namespace

LinuxVirtualKeyboardBus::LinuxVirtualKeyboardBus(HidBus& devices, std::string uinputNode)
    : devices_(devices), uinputNode_(std::move(uinputNode)) {}

std::vector<std::string> LinuxVirtualKeyboardBus::ListInterfaces() {
    std::vector<std::string> paths = devices_.ListInterfaces();
    if (::access(uinputNode_.c_str(), R_OK | W_OK) == 0)
        paths.emplace_back(kPath);
    return paths;
}

std::unique_ptr<HidPort> LinuxVirtualKeyboardBus::Open(std::string_view path, std::uint32_t access,
                                                       std::uint32_t share) {
    if (path == kPath)
        return UinputKeyboardPort::Create(uinputNode_);
    return devices_.Open(path, access, share);
}

}  // namespace keylume::platform
