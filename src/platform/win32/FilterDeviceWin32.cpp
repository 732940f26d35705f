#include "platform/win32/FilterDeviceWin32.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/Trace.h"
#include "platform/win32/OverlappedIo.h"
#include "platform/win32/Win32Util.h"

namespace keylume::platform::win32 {

namespace {

constexpr std::string_view kChannel = "filter";

class FilterHandleWin32 final : public FilterHandle {
  public:
    explicit FilterHandleWin32(UniqueHandle handle) : handle_(std::move(handle)) {}

    ControlOutcome Control(std::uint32_t code, std::span<const std::uint8_t> input,
                           std::span<std::uint8_t> output, Event& abort) override {
        // The system may write the input buffer's memory only through the output pointer, but a
        // driver gets a pointer it could write through: it gets a copy.
        std::vector<std::uint8_t> in(input.begin(), input.end());
        const BOOL started = ::DeviceIoControl(
            handle_.Get(), code, in.empty() ? nullptr : in.data(), static_cast<DWORD>(in.size()),
            output.empty() ? nullptr : output.data(), static_cast<DWORD>(output.size()), nullptr,
            call_.Prepare());
        const IoOutcome outcome = call_.Finish(handle_.Get(), started, -1, &abort);
        switch (outcome.status) {
            case IoStatus::CompletedAtOnce:
                return ControlOutcome::CompletedAtOnce;
            case IoStatus::Completed:
                return ControlOutcome::Completed;
            case IoStatus::Aborted:
            case IoStatus::TimedOut:
                return ControlOutcome::Aborted;
            case IoStatus::Failed:
                break;
        }
        // A request cancelled by CancelIo from another thread ends as "operation aborted".
        if (outcome.error == ERROR_OPERATION_ABORTED)
            return ControlOutcome::Aborted;
        if (Trace::Enabled()) {
            char what[40];
            std::snprintf(what, sizeof what, "DeviceIoControl %08lx",
                          static_cast<unsigned long>(code));
            TraceFailure(kChannel, what, outcome.error);
        }
        return ControlOutcome::Failed;
    }

    void CancelIo() override {
        if (!::CancelIoEx(handle_.Get(), nullptr) && ::GetLastError() != ERROR_NOT_FOUND)
            TraceFailure(kChannel, "CancelIoEx");
    }

  private:
    UniqueHandle handle_;
    OverlappedCall call_;
};

}  // namespace

std::unique_ptr<FilterHandle> FilterDeviceWin32::Open(std::string_view path, std::uint32_t access) {
    UniqueHandle handle(::CreateFileW(Widen(path).c_str(), access,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        TraceFailure(kChannel, "CreateFileW " + std::string(path));
        return nullptr;
    }
    return std::make_unique<FilterHandleWin32>(std::move(handle));
}

}  // namespace keylume::platform::win32
