#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <dbt.h>
// clang-format on

#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/DeviceBroadcastsWin32.h"

namespace keylume {
namespace {

using platform::DeviceBroadcast;
using platform::win32::DeviceBroadcastsWin32;

// A device-interface broadcast record as the system builds it: the fixed part, then the path.
std::vector<std::uint8_t> InterfaceRecord(const std::wstring& path, DWORD sizeCut = 0) {
    const std::size_t offset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);
    std::vector<std::uint8_t> bytes(offset + (path.size() + 1) * sizeof(wchar_t) + 8, 0);
    auto* record = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_W*>(bytes.data());
    record->dbcc_size = static_cast<DWORD>(bytes.size()) - 8 - sizeCut;
    record->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(bytes.data() + offset, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    return bytes;
}

TEST(DeviceBroadcastsWin32, RegistersAMessageOnlyWindowAndDeliversOnItsThread) {
    DeviceBroadcastsWin32 broadcasts;
    ASSERT_NE(broadcasts.Window(), nullptr);
    EXPECT_TRUE(broadcasts.Registered()) << "RegisterDeviceNotificationW";
    EXPECT_EQ(broadcasts.NotifyFd(), -1) << "window messages are the notification";

    std::vector<DeviceBroadcast> seen;
    const DWORD uiThread = ::GetCurrentThreadId();
    broadcasts.SetListener([&](const DeviceBroadcast& b) {
        EXPECT_EQ(::GetCurrentThreadId(), uiThread);
        seen.push_back(b);
    });

    const std::wstring path =
        L"\\\\?\\hid#vid_1a2c&pid_2d3e&mi_01&col02#7&1a2b3c&0&0001#{4d1e55b2-f16f-11cf-88cb-"
        L"001111000030}";
    auto arrival = InterfaceRecord(path);
    ::SendMessageW(broadcasts.Window(), WM_DEVICECHANGE, DBT_DEVICEARRIVAL,
                   reinterpret_cast<LPARAM>(arrival.data()));
    // Posted messages wait in the queue until the loop (or DispatchPending) runs.
    DEV_BROADCAST_HDR volume{};
    volume.dbch_size = sizeof volume;
    volume.dbch_devicetype = DBT_DEVTYP_VOLUME;
    ::SendMessageW(broadcasts.Window(), WM_DEVICECHANGE, DBT_DEVICEREMOVECOMPLETE,
                   reinterpret_cast<LPARAM>(&volume));
    ::PostMessageW(broadcasts.Window(), WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_EQ(seen.size(), 2u);
    broadcasts.DispatchPending();

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[0].eventCode, platform::kDeviceArrival);
    EXPECT_EQ(seen[0].deviceType, platform::kDeviceTypeInterface);
    EXPECT_EQ(seen[0].path, std::string(path.begin(), path.end()));
    EXPECT_EQ(seen[1].eventCode, platform::kDeviceRemoveComplete);
    EXPECT_EQ(seen[1].deviceType, platform::kDeviceTypeVolume);
    EXPECT_TRUE(seen[1].path.empty());
    EXPECT_EQ(seen[2].eventCode, static_cast<std::uint32_t>(DBT_DEVNODES_CHANGED));
}

TEST(DeviceBroadcastsWin32, APathIsNeverReadPastItsRecord) {
    // A record whose stated size ends inside the path, with no terminator inside it.
    auto record = InterfaceRecord(L"hid#vid_1a2c&pid_2d3e#x", 3 * sizeof(wchar_t));
    DeviceBroadcast out;
    ASSERT_TRUE(DeviceBroadcastsWin32::Decode(DBT_DEVICEARRIVAL,
                                              reinterpret_cast<LPARAM>(record.data()), out));
    EXPECT_EQ(out.path, "hid#vid_1a2c&pid_2d3e") << "cut at the record's end";
}

}  // namespace
}  // namespace keylume
