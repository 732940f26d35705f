#include "UhidKeyboard.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace keylume::vmtest {

std::vector<std::uint8_t> UhidKeyboard::KeyboardDescriptor() {
    return {
        0x05,
        0x01,
        0x09,
        0x06,
        0xA1,
        0x01,  // Generic Desktop, Keyboard, Application
        0x85,
        0x01,  // Report ID 1
        0x05,
        0x07,
        0x19,
        0xE0,
        0x29,
        0xE7,  // modifier keys
        0x15,
        0x00,
        0x25,
        0x01,
        0x75,
        0x01,
        0x95,
        0x08,
        0x81,
        0x02,
        0x95,
        0x01,
        0x75,
        0x08,
        0x81,
        0x01,  // reserved byte
        0x95,
        0x06,
        0x75,
        0x08,
        0x15,
        0x00,
        0x26,
        0xFF,
        0x00,
        0x05,
        0x07,
        0x19,
        0x00,
        0x2A,
        0xFF,
        0x00,
        0x81,
        0x00,  // six key slots
        0xC0,
        0x06,
        0x00,
        0xFF,
        0x09,
        0x01,
        0xA1,
        0x01,  // Vendor 0xFF00, usage 1, Application
        0x85,
        0x07,  // Report ID 7
        0x15,
        0x00,
        0x26,
        0xFF,
        0x00,
        0x75,
        0x08,
        0x95,
        0x07,
        0x09,
        0x02,
        0xB1,
        0x02,  // 7-byte
               // feature
               // report
        0x09,
        0x03,
        0x91,
        0x02,  // 7-byte output report
        0xC0,
    };
}

bool InVm() {
    if (std::getenv("KEYLUME_IN_VM") == nullptr)
        return false;
    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

UhidKeyboard::UhidKeyboard() : UhidKeyboard(Options{}) {}

UhidKeyboard::UhidKeyboard(Options options) {
    fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd_ < 0)
        return;
    if (options.descriptor.empty())
        options.descriptor = KeyboardDescriptor();
    uhid_event ev{};
    ev.type = UHID_CREATE2;
    std::strncpy(reinterpret_cast<char*>(ev.u.create2.name), options.name.c_str(),
                 sizeof ev.u.create2.name - 1);
    std::memcpy(ev.u.create2.rd_data, options.descriptor.data(), options.descriptor.size());
    ev.u.create2.rd_size = static_cast<std::uint16_t>(options.descriptor.size());
    ev.u.create2.bus = 0x03;  // BUS_USB
    ev.u.create2.vendor = options.vendor;
    ev.u.create2.product = options.product;
    if (::write(fd_, &ev, sizeof ev) != static_cast<ssize_t>(sizeof ev)) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    thread_ = std::thread(&UhidKeyboard::Loop, this);
}

UhidKeyboard::~UhidKeyboard() {
    Destroy();
}

void UhidKeyboard::Destroy() {
    if (fd_ < 0)
        return;
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
    uhid_event ev{};
    ev.type = UHID_DESTROY;
    (void)!::write(fd_, &ev, sizeof ev);
    ::close(fd_);
    fd_ = -1;
}

bool UhidKeyboard::Input(const std::vector<std::uint8_t>& report) {
    uhid_event ev{};
    ev.type = UHID_INPUT2;
    ev.u.input2.size = static_cast<std::uint16_t>(report.size());
    std::memcpy(ev.u.input2.data, report.data(), report.size());
    return ::write(fd_, &ev, sizeof ev) == static_cast<ssize_t>(sizeof ev);
}

std::vector<std::pair<int, std::vector<std::uint8_t>>> UhidKeyboard::SetReports() {
    std::lock_guard lock(mutex_);
    return setReports_;
}

std::vector<std::vector<std::uint8_t>> UhidKeyboard::OutputReports() {
    std::lock_guard lock(mutex_);
    return outputs_;
}

void UhidKeyboard::SetGetReportReply(std::vector<std::uint8_t> reply) {
    std::lock_guard lock(mutex_);
    getReply_ = std::move(reply);
}

void UhidKeyboard::Loop() {
    while (!stop_) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0)
            continue;
        uhid_event ev{};
        if (::read(fd_, &ev, sizeof ev) <= 0)
            continue;
        uhid_event reply{};
        switch (ev.type) {
            case UHID_SET_REPORT: {
                const int number = ev.u.set_report.rnum;
                const std::uint8_t* data = ev.u.set_report.data;
                std::vector<std::uint8_t> bytes(data, data + ev.u.set_report.size);
                std::lock_guard lock(mutex_);
                setReports_.emplace_back(number, std::move(bytes));
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = ev.u.set_report.id;
                reply.u.set_report_reply.err = 0;
                (void)!::write(fd_, &reply, sizeof reply);
                break;
            }
            case UHID_GET_REPORT: {
                std::lock_guard lock(mutex_);
                reply.type = UHID_GET_REPORT_REPLY;
                reply.u.get_report_reply.id = ev.u.get_report.id;
                reply.u.get_report_reply.err = 0;
                reply.u.get_report_reply.size = static_cast<std::uint16_t>(getReply_.size());
                std::memcpy(reply.u.get_report_reply.data, getReply_.data(), getReply_.size());
                (void)!::write(fd_, &reply, sizeof reply);
                break;
            }
            case UHID_OUTPUT: {
                const std::uint8_t* data = ev.u.output.data;
                std::vector<std::uint8_t> bytes(data, data + ev.u.output.size);
                std::lock_guard lock(mutex_);
                outputs_.push_back(std::move(bytes));
                break;
            }
            default:
                break;
        }
    }
}

}  // namespace keylume::vmtest
