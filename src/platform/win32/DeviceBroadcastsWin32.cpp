#include "platform/win32/DeviceBroadcastsWin32.h"

// clang-format off
#include <windows.h>
#include <dbt.h>
extern "C" {  // mingw-w64's HID headers declare no C linkage of their own
#include <hidsdi.h>
}
// clang-format on

#include <cstddef>
#include <string>

#include "platform/win32/Win32Util.h"

namespace keylume::platform::win32 {

namespace {

constexpr wchar_t kClassName[] = L"KeylumeDeviceBroadcasts";

ATOM RegisterWindowClass() {
    static const ATOM atom = [] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kClassName;
        return ::RegisterClassW(&windowClass);
    }();
    return atom;
}

}  // namespace

DeviceBroadcastsWin32::DeviceBroadcastsWin32() {
    if (RegisterWindowClass() == 0) {
        TraceFailure("broadcast", "RegisterClassW");
        return;
    }
    window_ = ::CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    if (window_ == nullptr) {
        TraceFailure("broadcast", "CreateWindowExW");
        return;
    }
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc));

    DEV_BROADCAST_DEVICEINTERFACE_W filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    ::HidD_GetHidGuid(&filter.dbcc_classguid);
    notification_ = ::RegisterDeviceNotificationW(
        window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE | DEVICE_NOTIFY_ALL_INTERFACE_CLASSES);
    if (notification_ == nullptr)
        TraceFailure("broadcast", "RegisterDeviceNotificationW");
}

DeviceBroadcastsWin32::~DeviceBroadcastsWin32() {
    if (notification_ != nullptr)
        ::UnregisterDeviceNotification(notification_);
    if (window_ != nullptr) {
        ::SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ::DestroyWindow(window_);
    }
}

void DeviceBroadcastsWin32::SetListener(Listener listener) {
    listener_ = std::move(listener);
}

void DeviceBroadcastsWin32::DispatchPending() {
    if (window_ == nullptr)
        return;
    MSG message;
    while (::PeekMessageW(&message, window_, 0, 0, PM_REMOVE))
        ::DispatchMessageW(&message);
}

bool DeviceBroadcastsWin32::Decode(WPARAM wParam, LPARAM lParam, DeviceBroadcast& out) {
    out = DeviceBroadcast{};
    out.eventCode = static_cast<std::uint32_t>(wParam);
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(lParam);
    if (header == nullptr)
        return true;
    out.deviceType = header->dbch_devicetype;
    if (header->dbch_devicetype != DBT_DEVTYP_DEVICEINTERFACE)
        return true;
    const auto* record = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(header);
    // The path runs to its terminator, but never past the record's stated size.
    const std::size_t offset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    if (record->dbcc_size <= offset)
        return true;
    const std::size_t maxChars = (record->dbcc_size - offset) / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < maxChars && record->dbcc_name[length] != L'\0')
        ++length;
    out.path = Narrow(std::wstring_view(record->dbcc_name, length));
    return true;
}

LRESULT CALLBACK DeviceBroadcastsWin32::WindowProc(HWND window, UINT message, WPARAM wParam,
                                                   LPARAM lParam) {
    if (message == WM_DEVICECHANGE) {
        auto* self =
            reinterpret_cast<DeviceBroadcastsWin32*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
        DeviceBroadcast broadcast;
        if (self != nullptr && Decode(wParam, lParam, broadcast))
            self->Deliver(broadcast);
        return TRUE;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

void DeviceBroadcastsWin32::Deliver(const DeviceBroadcast& broadcast) {
    // Without a listener nobody registered for broadcasts, so they are gone, as on Linux.
    if (listener_)
        listener_(broadcast);
}

}  // namespace keylume::platform::win32
