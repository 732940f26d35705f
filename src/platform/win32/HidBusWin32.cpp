#include "platform/win32/HidBusWin32.h"

// clang-format off
#include <windows.h>
#include <cfgmgr32.h>
extern "C" {  // mingw-w64's HID headers declare no C linkage of their own
#include <hidsdi.h>
#include <hidpi.h>
}
#include <setupapi.h>
// clang-format on

#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/Trace.h"
#include "platform/win32/OverlappedIo.h"
#include "platform/win32/Win32Util.h"

namespace keylume::platform::win32 {

namespace {

constexpr std::string_view kChannel = "hid";

// A device information set, destroyed with SetupDiDestroyDeviceInfoList.
class DeviceInfoList {
  public:
    explicit DeviceInfoList(HDEVINFO set) : set_(set) {}
    ~DeviceInfoList() {
        if (Valid())
            ::SetupDiDestroyDeviceInfoList(set_);
    }
    DeviceInfoList(const DeviceInfoList&) = delete;
    DeviceInfoList& operator=(const DeviceInfoList&) = delete;
    bool Valid() const { return set_ != INVALID_HANDLE_VALUE && set_ != nullptr; }
    HDEVINFO Get() const { return set_; }

  private:
    HDEVINFO set_;
};

// Preparsed data of one interface, freed with HidD_FreePreparsedData.
class PreparsedData {
  public:
    explicit PreparsedData(HANDLE device) {
        if (!::HidD_GetPreparsedData(device, &data_))
            data_ = nullptr;
    }
    ~PreparsedData() {
        if (data_ != nullptr)
            ::HidD_FreePreparsedData(data_);
    }
    PreparsedData(const PreparsedData&) = delete;
    PreparsedData& operator=(const PreparsedData&) = delete;
    PHIDP_PREPARSED_DATA Get() const { return data_; }

  private:
    PHIDP_PREPARSED_DATA data_ = nullptr;
};

class HidPortWin32 final : public HidPort {
  public:
    explicit HidPortWin32(UniqueHandle handle) : handle_(std::move(handle)) {}

    bool GetAttributes(HidAttributes& out) override {
        HIDD_ATTRIBUTES attributes{};
        attributes.Size = sizeof attributes;
        if (!::HidD_GetAttributes(handle_.Get(), &attributes)) {
            TraceFailure(kChannel, "HidD_GetAttributes");
            return false;
        }
        out = HidAttributes{attributes.VendorID, attributes.ProductID, attributes.VersionNumber};
        return true;
    }

    bool GetCaps(HidCaps& out) override {
        PreparsedData data(handle_.Get());
        if (data.Get() == nullptr) {
            TraceFailure(kChannel, "HidD_GetPreparsedData");
            return false;
        }
        HIDP_CAPS caps{};
        const NTSTATUS status = ::HidP_GetCaps(data.Get(), &caps);
        if (status != HIDP_STATUS_SUCCESS) {
            if (Trace::Enabled()) {
                char text[48];
                std::snprintf(text, sizeof text, "HidP_GetCaps failed: status %08lx",
                              static_cast<unsigned long>(status));
                Trace::Write(kChannel, text);
            }
            return false;
        }
        out = HidCaps{caps.Usage, caps.UsagePage, caps.InputReportByteLength,
                      caps.OutputReportByteLength, caps.FeatureReportByteLength};
        return true;
    }

    bool SetFeature(std::span<const std::uint8_t> report) override {
        std::vector<std::uint8_t> copy(report.begin(), report.end());
        if (!::HidD_SetFeature(handle_.Get(), copy.data(), static_cast<ULONG>(copy.size()))) {
            TraceFailure(kChannel, "HidD_SetFeature");
            return false;
        }
        return true;
    }

    bool GetFeature(std::span<std::uint8_t> report) override {
        if (!::HidD_GetFeature(handle_.Get(), report.data(), static_cast<ULONG>(report.size()))) {
            TraceFailure(kChannel, "HidD_GetFeature");
            return false;
        }
        return true;
    }

    int Write(std::span<const std::uint8_t> report, int timeoutMs) override {
        std::lock_guard lock(writeMutex_);
        const BOOL started =
            ::WriteFile(handle_.Get(), report.data(), static_cast<DWORD>(report.size()), nullptr,
                        write_.Prepare());
        return Result("WriteFile", write_.Finish(handle_.Get(), started, timeoutMs, nullptr));
    }

    int Read(std::span<std::uint8_t> buffer, int timeoutMs, Event* abort) override {
        std::lock_guard lock(readMutex_);
        const BOOL started =
            ::ReadFile(handle_.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), nullptr,
                       read_.Prepare());
        return Result("ReadFile", read_.Finish(handle_.Get(), started, timeoutMs, abort));
    }

  private:
    static int Result(std::string_view what, const IoOutcome& outcome) {
        switch (outcome.status) {
            case IoStatus::Completed:
            case IoStatus::CompletedAtOnce:
                return static_cast<int>(outcome.bytes);
            case IoStatus::TimedOut:
                if (Trace::Enabled())
                    Trace::Write(kChannel, std::string(what) + " timed out and was cancelled");
                return 0;
            case IoStatus::Aborted:
                if (Trace::Enabled())
                    Trace::Write(kChannel, std::string(what) + " aborted");
                return 0;
            case IoStatus::Failed:
                break;
        }
        TraceFailure(kChannel, what, outcome.error);
        return 0;
    }

    UniqueHandle handle_;
    // One outstanding read and one outstanding write at most; each has its own record.
    std::mutex readMutex_;
    std::mutex writeMutex_;
    OverlappedCall read_;
    OverlappedCall write_;
};

}  // namespace

std::unique_ptr<HidPort> OpenHidPort(std::string_view path, std::uint32_t access,
                                     std::uint32_t share) {
    const std::wstring wide = Widen(path);
    UniqueHandle handle(::CreateFileW(wide.c_str(), access, share, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        TraceFailure(kChannel, "CreateFileW " + std::string(path));
        return nullptr;
    }
    return std::make_unique<HidPortWin32>(std::move(handle));
}

std::vector<std::string> HidBusWin32::ListInterfaces() {
    std::vector<std::string> paths;
    GUID hidClass{};
    ::HidD_GetHidGuid(&hidClass);
    DeviceInfoList set(
        ::SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!set.Valid()) {
        TraceFailure(kChannel, "SetupDiGetClassDevsW");
        return paths;
    }
    for (DWORD index = 0;; ++index) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!::SetupDiEnumDeviceInterfaces(set.Get(), nullptr, &hidClass, index, &data)) {
            if (::GetLastError() != ERROR_NO_MORE_ITEMS)
                TraceFailure(kChannel, "SetupDiEnumDeviceInterfaces");
            break;
        }
        DWORD needed = 0;
        ::SetupDiGetDeviceInterfaceDetailW(set.Get(), &data, nullptr, 0, &needed, nullptr);
        if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) {
            TraceFailure(kChannel, "SetupDiGetDeviceInterfaceDetailW (size)");
            continue;
        }
        // Whole DWORDs keep the record aligned; cbSize is the fixed part of this process's layout.
        std::vector<DWORD> buffer((needed + sizeof(DWORD) - 1) / sizeof(DWORD));
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        if (!::SetupDiGetDeviceInterfaceDetailW(set.Get(), &data, detail, needed, nullptr,
                                                nullptr)) {
            TraceFailure(kChannel, "SetupDiGetDeviceInterfaceDetailW");
            continue;
        }
        paths.push_back(Narrow(detail->DevicePath));
    }
    return paths;
}

std::unique_ptr<HidPort> HidBusWin32::Open(std::string_view path, std::uint32_t access,
                                           std::uint32_t share) {
    return OpenHidPort(path, access, share);
}

std::vector<std::string> CmHidBusWin32::ListInterfaces() {
    std::vector<std::string> paths;
    GUID hidClass{};
    ::HidD_GetHidGuid(&hidClass);
    // The list can grow between the two calls; then it is asked for again.
    for (int attempt = 0; attempt < 3; ++attempt) {
        ULONG size = 0;
        CONFIGRET result = ::CM_Get_Device_Interface_List_SizeW(
            &size, &hidClass, nullptr, CM_GET_DEVICE_INTERFACE_LIST_PRESENT);
        if (result != CR_SUCCESS) {
            if (Trace::Enabled()) {
                char text[80];
                std::snprintf(text, sizeof text,
                              "Error 0x%lx retrieving device interface list size.",
                              static_cast<unsigned long>(result));
                Trace::Write(kChannel, text);
            }
            return paths;
        }
        if (size < 2) {
            Trace::Write(kChannel, "Error: No active device interfaces found.");
            return paths;
        }
        std::vector<wchar_t> list(size, L'\0');
        result = ::CM_Get_Device_Interface_ListW(&hidClass, nullptr, list.data(), size,
                                                 CM_GET_DEVICE_INTERFACE_LIST_PRESENT);
        if (result == CR_BUFFER_SMALL)
            continue;
        if (result != CR_SUCCESS) {
            if (Trace::Enabled()) {
                char text[80];
                std::snprintf(text, sizeof text, "Error 0x%lx retrieving device interface list.",
                              static_cast<unsigned long>(result));
                Trace::Write(kChannel, text);
            }
            return paths;
        }
        // Zero-terminated strings, ended by an empty one; never read past the buffer.
        std::size_t at = 0;
        while (at < list.size() && list[at] != L'\0') {
            std::size_t end = at;
            while (end < list.size() && list[end] != L'\0')
                ++end;
            paths.push_back(Narrow(std::wstring_view(list.data() + at, end - at)));
            at = end + 1;
        }
        return paths;
    }
    return paths;
}

std::unique_ptr<HidPort> CmHidBusWin32::Open(std::string_view path, std::uint32_t access,
                                             std::uint32_t share) {
    return OpenHidPort(path, access, share);
}

}  // namespace keylume::platform::win32
