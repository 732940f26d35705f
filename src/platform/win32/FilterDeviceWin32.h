#pragma once

#include <memory>
#include <string_view>

#include "platform/FilterDevice.h"

namespace keylume::platform::win32 {

// The keyboard filter's control device ("\\.\vhidflt") through CreateFileW (overlapped) and
// DeviceIoControl. A request that goes pending is waited for without time limit on its own
// OVERLAPPED event and the handle's abort event; an abort cancels it with CancelIo on the issuing
// thread. CancelIo from another thread (closing the channel while its reader waits) uses
// CancelIoEx on the handle, which reaches requests of every thread.
// Threads: as the port says. Failure: Open returns null, Control returns Failed (traced).
class FilterDeviceWin32 final : public FilterDevice {
  public:
    std::unique_ptr<FilterHandle> Open(std::string_view path, std::uint32_t access) override;
};

}  // namespace keylume::platform::win32
