#include "EventNode.h"

#include <dirent.h>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <thread>

namespace keylume::vmtest {

namespace {

// Calls `visit` with each event node's descriptor and device until it returns true; the visitor
// then owns both, otherwise they are freed here.
template <class Visit>
bool ForEachNode(Visit visit) {
    DIR* dir = ::opendir("/dev/input");
    if (dir == nullptr)
        return false;
    bool taken = false;
    while (dirent* entry = ::readdir(dir)) {
        const std::string file = entry->d_name;
        if (file.rfind("event", 0) != 0)
            continue;
        const int fd = ::open(("/dev/input/" + file).c_str(), O_RDONLY | O_NONBLOCK);
        if (fd < 0)
            continue;
        libevdev* dev = nullptr;
        if (libevdev_new_from_fd(fd, &dev) == 0 && visit(file, fd, dev)) {
            taken = true;
            break;
        }
        if (dev != nullptr)
            libevdev_free(dev);
        ::close(fd);
    }
    ::closedir(dir);
    return taken;
}

}  // namespace

std::optional<EventNode> EventNode::Open(const std::string& deviceName,
                                         std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    do {
        std::optional<EventNode> found;
        ForEachNode([&](const std::string&, int fd, libevdev* dev) {
            if (deviceName != libevdev_get_name(dev))
                return false;
            libevdev_set_clock_id(dev, CLOCK_MONOTONIC);
            found.emplace(EventNode(fd, dev));
            return true;
        });
        if (found)
            return found;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    } while (std::chrono::steady_clock::now() < deadline);
    return std::nullopt;
}

std::string EventNode::PresentNames() {
    std::string names;
    ForEachNode([&](const std::string& file, int, libevdev* dev) {
        names += file + "=\"" + libevdev_get_name(dev) + "\" ";
        return false;
    });
    return names;
}

EventNode::EventNode(EventNode&& other) noexcept
    : fd_(other.fd_), dev_(other.dev_), gone_(other.gone_) {
    other.fd_ = -1;
    other.dev_ = nullptr;
}

EventNode::~EventNode() {
    if (dev_ != nullptr)
        libevdev_free(dev_);
    if (fd_ >= 0)
        ::close(fd_);
}

std::vector<input_event> EventNode::NextFrame(std::chrono::milliseconds timeout) {
    std::vector<input_event> frame;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        input_event ev{};
        const int rc = libevdev_next_event(dev_, LIBEVDEV_READ_FLAG_NORMAL, &ev);
        if (rc == LIBEVDEV_READ_STATUS_SUCCESS) {
            if (ev.type == EV_SYN && ev.code == SYN_REPORT) {
                if (!frame.empty())
                    return frame;
                continue;
            }
            frame.push_back(ev);
            continue;
        }
        if (rc == LIBEVDEV_READ_STATUS_SYNC)
            continue;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (rc == -ENODEV)
            gone_ = true;
        if (left.count() <= 0 || rc != -EAGAIN)
            return {};
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(left.count()));
    }
}

std::vector<input_event> EventNode::Drain(std::chrono::milliseconds timeout) {
    std::vector<input_event> all;
    for (;;) {
        auto frame = NextFrame(timeout);
        if (frame.empty())
            return all;
        all.insert(all.end(), frame.begin(), frame.end());
    }
}

bool EventNode::KeyHeld(unsigned code) {
    Drain(std::chrono::milliseconds(20));
    return libevdev_get_event_value(dev_, EV_KEY, code) != 0;
}

}  // namespace keylume::vmtest
