#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "Win32TestSupport.h"
#include "platform/NamedLock.h"

namespace keylume {
namespace {

using namespace std::chrono_literals;

std::string UniqueName(const char* base) {
    return std::string(base) + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(::GetTickCount64());
}

TEST(NamedLocksWin32, ReentrantForItsThreadExclusiveForOthers) {
    auto& locks = platform::SystemNamedLocks();
    const std::string name = UniqueName("HidDevice::Open");
    auto outer = locks.Acquire(name);
    ASSERT_TRUE(outer->Owns());
    auto inner = locks.Acquire(name);  // would deadlock if not re-entrant
    ASSERT_TRUE(inner->Owns());

    std::atomic<bool> got{false};
    std::thread other([&] {
        auto held = locks.Acquire(name);
        got = held->Owns();
    });
    std::this_thread::sleep_for(150ms);
    inner.reset();
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(got) << "still held once by the outer hold";
    outer.reset();
    other.join();
    EXPECT_TRUE(got);
}

TEST(NamedLocksWin32, ANameWithABackslashStillLocks) {
    auto held = platform::SystemNamedLocks().Acquire(UniqueName("a\\b"));
    EXPECT_TRUE(held->Owns());
}

// Run as a child by the test below: holds the lock until told to let go, then ends without
// releasing it when asked to (the mutex is then abandoned).
TEST(NamedLocksWin32, DISABLED_ChildHoldsTheLock) {
    wchar_t name[256] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"KEYLUME_LOCK_NAME", name, 256), 0u);
    const std::wstring wide(name);
    const std::string lock(wide.begin(), wide.end());
    auto held = platform::SystemNamedLocks().Acquire(lock);
    ASSERT_TRUE(held->Owns());
    HANDLE ready = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, (wide + L"-ready").c_str());
    HANDLE go = ::OpenEventW(SYNCHRONIZE, FALSE, (wide + L"-go").c_str());
    ASSERT_NE(ready, nullptr);
    ASSERT_NE(go, nullptr);
    ::SetEvent(ready);
    ::WaitForSingleObject(go, 30000);
    ::ExitProcess(0);  // dies holding the lock
}

TEST(NamedLocksWin32, AnotherProcessHoldingTheLockBlocksUntilItDies) {
    const std::string name = UniqueName("HidDevice::Write");
    const std::wstring wide(name.begin(), name.end());
    HANDLE ready = ::CreateEventW(nullptr, TRUE, FALSE, (wide + L"-ready").c_str());
    HANDLE go = ::CreateEventW(nullptr, TRUE, FALSE, (wide + L"-go").c_str());
    HANDLE child = test::StartSelf(
        L"--gtest_also_run_disabled_tests "
        L"--gtest_filter=NamedLocksWin32.DISABLED_ChildHoldsTheLock",
        L"KEYLUME_LOCK_NAME=" + wide);
    ASSERT_NE(child, nullptr);
    ASSERT_EQ(::WaitForSingleObject(ready, 20000), WAIT_OBJECT_0) << "the child took the lock";

    std::atomic<bool> got{false};
    std::thread waiter([&] { got = platform::SystemNamedLocks().Acquire(name)->Owns(); });
    std::this_thread::sleep_for(200ms);
    EXPECT_FALSE(got) << "the child holds it";
    ::SetEvent(go);
    waiter.join();
    EXPECT_TRUE(got) << "an abandoned lock is free again";
    ::WaitForSingleObject(child, 20000);
    ::CloseHandle(child);
    ::CloseHandle(ready);
    ::CloseHandle(go);
}

}  // namespace
}  // namespace keylume
