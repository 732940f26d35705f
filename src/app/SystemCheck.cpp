#include "app/SystemCheck.h"

#include <fcntl.h>
#include <libudev.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/DataLocations.h"
#include "core/settings/AppConfig.h"
#include "platform/HidBus.h"
#include "platform/linux/HidapiHidBus.h"
#include "platform/linux/LinuxFilter.h"
#include "platform/linux/LinuxVirtualKeyboard.h"

namespace keylume {

namespace {

std::string Hex4(std::uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

std::string Quote(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

CheckLine Nodes(const char* what, int found, int openable, const std::string& usb,
                const std::string& setup) {
    if (found == 0)
        return {false, std::string("the keyboard's ") + what + " nodes: none found (USB " + usb +
                           ") - fix: plug the keyboard in"};
    const std::string counts =
        std::to_string(found) + " found, " + std::to_string(openable) + " openable";
    if (openable < found)
        return {false, std::string("the keyboard's ") + what + " nodes: " + counts +
                           " - fix: the keyboard is there but you may not open it: run " + setup +
                           ", then unplug and plug in the keyboard"};
    return {true, std::string("the keyboard's ") + what + " nodes: " + counts};
}

}  // namespace

std::vector<CheckLine> DescribeSystem(const SystemFacts& f, const std::string& setupTool,
                                      std::uint16_t vendor, std::uint16_t product) {
    const std::string usb = Hex4(vendor) + ":" + Hex4(product);
    const std::string setup = "sudo " + Quote(setupTool) + " install";
    std::vector<CheckLine> lines;
    lines.push_back(Nodes("hidraw", f.hidrawFound, f.hidrawOpenable, usb, setup));
    lines.push_back(Nodes("input event", f.eventFound, f.eventOpenable, usb, setup));
    if (!f.uinputPresent)
        lines.push_back({false, "/dev/uinput: missing - fix: run " + setup +
                                    " (it loads the uinput module now and at every start)"});
    else if (!f.uinputWritable)
        lines.push_back({false, "/dev/uinput: present, not writable - fix: run " + setup +
                                    ", then log out and in again"});
    else
        lines.push_back({true, "/dev/uinput: present, writable"});
    if (f.ruleFile.empty())
        lines.push_back({false, "udev rule: not installed - fix: run " + setup});
    else
        lines.push_back({true, "udev rule: " + f.ruleFile});
    if (f.virtualKeyboard)
        lines.push_back({true, "virtual keyboard: can be created"});
    else
        lines.push_back({false, std::string("virtual keyboard: cannot be created - fix: ") +
                                    (f.uinputPresent && f.uinputWritable
                                         ? "check that the kernel allows uinput devices"
                                         : "make /dev/uinput writable (see above)")});
    return lines;
}

SystemFacts ProbeSystem(std::uint16_t vendor, std::uint16_t product) {
    SystemFacts facts;
    if (udev* context = udev_new()) {
        const std::string vid = Hex4(vendor);
        const std::string pid = Hex4(product);
        auto scan = [&](const char* subsystem, int openFlags, int& found, int& openable) {
            udev_enumerate* enumerate = udev_enumerate_new(context);
            if (enumerate == nullptr)
                return;
            udev_enumerate_add_match_subsystem(enumerate, subsystem);
            udev_enumerate_scan_devices(enumerate);
            udev_list_entry* entry = nullptr;
            udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
                udev_device* device =
                    udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
                if (device == nullptr)
                    continue;
                udev_device* usbDevice =
                    udev_device_get_parent_with_subsystem_devtype(device, "usb", "usb_device");
                const char* devnode = udev_device_get_devnode(device);
                const char* v =
                    usbDevice ? udev_device_get_sysattr_value(usbDevice, "idVendor") : nullptr;
                const char* p =
                    usbDevice ? udev_device_get_sysattr_value(usbDevice, "idProduct") : nullptr;
                if (devnode != nullptr && v != nullptr && p != nullptr && vid == v && pid == p) {
                    ++found;
                    const int fd = ::open(devnode, openFlags | O_CLOEXEC | O_NONBLOCK);
                    if (fd >= 0) {
                        ++openable;
                        ::close(fd);
                    }
                }
                udev_device_unref(device);
            }
            udev_enumerate_unref(enumerate);
        };
        scan("hidraw", O_RDWR, facts.hidrawFound, facts.hidrawOpenable);
        udev_unref(context);
    }
    // The event nodes the filter would grab, found the way it finds them.
    for (const std::string& devnode : platform::KeyboardEventNodes(vendor, product)) {
        ++facts.eventFound;
        const int fd = ::open(devnode.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            ++facts.eventOpenable;
            ::close(fd);
        }
    }
    facts.uinputPresent = ::access("/dev/uinput", F_OK) == 0;
    facts.uinputWritable = facts.uinputPresent && ::access("/dev/uinput", W_OK) == 0;
    for (const char* folder : {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/lib/udev/rules.d",
                               "/lib/udev/rules.d", "/usr/local/lib/udev/rules.d"}) {
        const std::string file = std::string(folder) + "/70-keylume.rules";
        if (::access(file.c_str(), R_OK) == 0) {
            facts.ruleFile = file;
            break;
        }
    }
    if (facts.uinputWritable) {
        platform::HidapiHidBus devices;
        platform::LinuxVirtualKeyboardBus bus(devices);
        facts.virtualKeyboard =
            bus.Open(platform::LinuxVirtualKeyboardBus::kPath,
                     platform::kAccessRead | platform::kAccessWrite, 0) != nullptr;
    }
    return facts;
}

int RunSystemCheck(const std::string& executableFolder, const std::string& dataDir) {
    std::error_code ec;
    const DataLocations where = ResolveDataLocations(
        executableFolder,
        dataDir.empty() ? std::filesystem::path() : std::filesystem::absolute(dataDir, ec));
    AppConfig config;
    config.Load(where.config);
    const auto vendor = static_cast<std::uint16_t>(config.vid);
    const auto product = static_cast<std::uint16_t>(config.pid);
    const std::string tool = (where.driverFolder / "keylume-driver-setup").string();
    bool ready = true;
    for (const CheckLine& line :
         DescribeSystem(ProbeSystem(vendor, product), tool, vendor, product)) {
        std::printf("%-4s %s\n", line.ok ? "ok" : "FAIL", line.text.c_str());
        ready = ready && line.ok;
    }
    std::printf(ready ? "ready\n" : "not ready: see the lines marked FAIL\n");
    return ready ? 0 : 1;
}

}  // namespace keylume
