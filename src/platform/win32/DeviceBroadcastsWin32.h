#pragma once

#include <windows.h>

#include <deque>
#include <mutex>

#include "platform/DeviceBroadcasts.h"

namespace keylume::platform::win32 {

// Device broadcasts on Windows: a message-only window of the UI thread registered with
// RegisterDeviceNotificationW for the HID interface class and every other interface class
// (DEVICE_NOTIFY_ALL_INTERFACE_CLASSES). WM_DEVICECHANGE with DBT_DEVICEARRIVAL or
// DBT_DEVICEREMOVECOMPLETE and a device-interface record reaches the window through the UI
// thread's message loop and goes to the listener at once, on that thread; other broadcasts are
// handed on with the event code and device type they carry and an empty path.
// NotifyFd() is -1: the message loop is the notification. DispatchPending() delivers what the
// window's queue holds without a message loop (tests, start-up).
// Threads: construct, use and destroy on the UI thread. Failure: Registered() false (traced).
class DeviceBroadcastsWin32 final : public DeviceBroadcasts {
  public:
    DeviceBroadcastsWin32();
    ~DeviceBroadcastsWin32() override;
    DeviceBroadcastsWin32(const DeviceBroadcastsWin32&) = delete;
    DeviceBroadcastsWin32& operator=(const DeviceBroadcastsWin32&) = delete;

    void SetListener(Listener listener) override;
    int NotifyFd() const override { return -1; }
    void DispatchPending() override;

    bool Registered() const { return notification_ != nullptr; }
    HWND Window() const { return window_; }

    // Reads a WM_DEVICECHANGE as the program sees it; false for anything but a broadcast record.
    static bool Decode(WPARAM wParam, LPARAM lParam, DeviceBroadcast& out);

  private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void Deliver(const DeviceBroadcast& broadcast);

    HWND window_ = nullptr;
    HDEVNOTIFY notification_ = nullptr;
    Listener listener_;
};

}  // namespace keylume::platform::win32
