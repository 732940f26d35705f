#include "platform/linux/LinuxFilter.h"

#include <fcntl.h>
#include <libevdev/libevdev-uinput.h>
#include <libevdev/libevdev.h>
#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/linux/EvdevKeyRouter.h"

namespace keylume::platform {

struct LinuxFilter::Node {
    std::string devnode;
    int fd = -1;
    libevdev* dev = nullptr;
    libevdev_uinput* clone = nullptr;

    ~Node() {
        if (dev != nullptr)
            libevdev_grab(dev, LIBEVDEV_UNGRAB);
        if (clone != nullptr)
            libevdev_uinput_destroy(clone);
        if (dev != nullptr)
            libevdev_free(dev);
        if (fd >= 0)
            ::close(fd);
    }
};

namespace {

// Opens, clones and grabs one event node; null when it is not a key device or cannot be had.
std::unique_ptr<LinuxFilter::Node> GrabNode(const std::string& devnode) {
    auto node = std::make_unique<LinuxFilter::Node>();
    node->devnode = devnode;
    node->fd = ::open(devnode.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (node->fd < 0 || libevdev_new_from_fd(node->fd, &node->dev) != 0) {
        node->dev = nullptr;
        return nullptr;
    }
    if (!libevdev_has_event_type(node->dev, EV_KEY))
        return nullptr;
    // The clone comes first, so nothing typed between the grab and its creation is lost.
    const std::string name = std::string(libevdev_get_name(node->dev)) + " (Keylume)";
    libevdev_set_name(node->dev, name.c_str());
    if (libevdev_uinput_create_from_device(node->dev, LIBEVDEV_UINPUT_OPEN_MANAGED, &node->clone) !=
        0) {
        node->clone = nullptr;
        return nullptr;
    }
    if (libevdev_grab(node->dev, LIBEVDEV_GRAB) != 0)
        return nullptr;
    return node;
}

unsigned HexAttribute(udev_device* device, const char* name) {
    const char* value = udev_device_get_sysattr_value(device, name);
    return value == nullptr ? 0x10000u : static_cast<unsigned>(std::strtoul(value, nullptr, 16));
}

void Wake(int fd) {
    if (fd < 0)
        return;
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(fd, &one, sizeof one);
}

}  // namespace

LinuxFilter::LinuxFilter(std::uint16_t vendorId, std::uint16_t productId)
    : vendorId_(vendorId), productId_(productId) {
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

LinuxFilter::~LinuxFilter() {
    LetGo();
    if (wakeFd_ >= 0)
        ::close(wakeFd_);
}

void LinuxFilter::SetKeyboard(std::uint16_t vendorId, std::uint16_t productId) {
    std::lock_guard lock(mutex_);
    vendorId_ = vendorId;
    productId_ = productId;
}

std::unique_ptr<FilterHandle> LinuxFilter::Open(std::string_view path, std::uint32_t access) {
    auto handle = engine_.Open(path, access);
    if (!handle)
        return nullptr;
    std::lock_guard open(openMutex_);
    Scan();
    if (!reader_.joinable() && wakeFd_ >= 0)
        reader_ = std::thread(&LinuxFilter::ReaderMain, this);
    return handle;
}

void LinuxFilter::LetGo() {
    stop_.store(true);
    Wake(wakeFd_);
    if (reader_.joinable())
        reader_.join();
    std::lock_guard lock(mutex_);
    for (auto& node : nodes_)
        ReleaseHeld(*node);
    nodes_.clear();
}

std::size_t LinuxFilter::GrabbedNodes() const {
    std::lock_guard lock(mutex_);
    return nodes_.size();
}

std::vector<std::string> KeyboardEventNodes(std::uint16_t vendor, std::uint16_t product) {
    std::vector<std::string> nodes;
    udev* context = udev_new();
    if (context == nullptr)
        return nodes;
    udev_enumerate* enumerate = udev_enumerate_new(context);
    udev_enumerate_add_match_subsystem(enumerate, "input");
    udev_enumerate_add_match_sysname(enumerate, "event*");
    udev_enumerate_scan_devices(enumerate);
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate)) {
        udev_device* device =
            udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
        if (device == nullptr)
            continue;
        // The event node's parent is the input device, which carries the ids.
        udev_device* input =
            udev_device_get_parent_with_subsystem_devtype(device, "input", nullptr);
        udev_device* hid = udev_device_get_parent_with_subsystem_devtype(device, "hid", nullptr);
        const char* devnode = udev_device_get_devnode(device);
        if (input != nullptr && hid != nullptr && devnode != nullptr &&
            HexAttribute(input, "id/vendor") == vendor &&
            HexAttribute(input, "id/product") == product)
            nodes.emplace_back(devnode);
        udev_device_unref(device);
    }
    udev_enumerate_unref(enumerate);
    udev_unref(context);
    return nodes;
}

void LinuxFilter::Scan() {
    std::uint16_t vendor = 0;
    std::uint16_t product = 0;
    {
        std::lock_guard lock(mutex_);
        vendor = vendorId_;
        product = productId_;
    }
    const std::vector<std::string> wanted = KeyboardEventNodes(vendor, product);

    bool added = false;
    for (const auto& devnode : wanted) {
        {
            std::lock_guard lock(mutex_);
            bool known = false;
            for (const auto& node : nodes_)
                known = known || node->devnode == devnode;
            if (known)
                continue;
        }
        auto node = GrabNode(devnode);
        if (!node)
            continue;
        std::lock_guard lock(mutex_);
        nodes_.push_back(std::move(node));
        added = true;
    }
    if (added)
        Wake(wakeFd_);
}

void LinuxFilter::ReaderMain() {
    while (!stop_.load()) {
        std::vector<pollfd> fds{{wakeFd_, POLLIN, 0}};
        std::vector<Node*> polled;
        {
            std::lock_guard lock(mutex_);
            for (auto& node : nodes_) {
                fds.push_back({node->fd, POLLIN, 0});
                polled.push_back(node.get());
            }
        }
        if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR)
            break;
        if ((fds[0].revents & POLLIN) != 0) {
            std::uint64_t count = 0;
            [[maybe_unused]] const auto n = ::read(wakeFd_, &count, sizeof count);
        }
        for (std::size_t i = 0; i < polled.size(); ++i) {
            if (fds[i + 1].revents == 0)
                continue;
            bool gone = (fds[i + 1].revents & (POLLERR | POLLHUP | POLLNVAL)) != 0;
            if (!gone)
                ReadNode(*polled[i], gone);
            if (gone) {
                ReleaseHeld(*polled[i]);
                std::lock_guard lock(mutex_);
                std::erase_if(nodes_, [&](const auto& node) { return node.get() == polled[i]; });
            }
        }
    }
}

void LinuxFilter::ReadNode(Node& node, bool& gone) {
    auto handle = [&](const input_event& ev) {
        if (RouteEvdevEvent(engine_, InputEventSpec{ev.type, ev.code, ev.value}))
            libevdev_uinput_write_event(node.clone, ev.type, ev.code, ev.value);
    };
    for (;;) {
        input_event ev{};
        int rc = libevdev_next_event(node.dev, LIBEVDEV_READ_FLAG_NORMAL, &ev);
        if (rc == LIBEVDEV_READ_STATUS_SYNC) {
            // Events were dropped: libevdev hands out the difference to bring us up to date.
            while (rc == LIBEVDEV_READ_STATUS_SYNC) {
                handle(ev);
                rc = libevdev_next_event(node.dev, LIBEVDEV_READ_FLAG_SYNC, &ev);
            }
            continue;
        }
        if (rc == LIBEVDEV_READ_STATUS_SUCCESS) {
            handle(ev);
            continue;
        }
        if (rc != -EAGAIN)
            gone = true;
        return;
    }
}

void LinuxFilter::ReleaseHeld(Node& node) {
    // A node that goes away takes its key state with it: what the program holds is released.
    for (unsigned code = 0; code <= KEY_MAX; ++code) {
        if (libevdev_has_event_code(node.dev, EV_KEY, code) &&
            libevdev_get_event_value(node.dev, EV_KEY, code) != 0)
            RouteEvdevEvent(engine_, InputEventSpec{EV_KEY, static_cast<std::uint16_t>(code), 0});
    }
}

}  // namespace keylume::platform
