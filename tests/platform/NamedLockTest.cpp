#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/NamedLock.h"
#include "platform/linux/RuntimeFolder.h"

using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace keylume::platform {
namespace {

// Points the runtime folder at a private scratch folder for the test's life.
class NamedLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/keylume-locktest-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder_ = pattern;
        ::setenv("XDG_RUNTIME_DIR", folder_.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("XDG_RUNTIME_DIR");
        fs::remove_all(folder_);
    }
    std::string folder_;
};

TEST_F(NamedLockTest, TwoThreadsExcludeEachOther) {
    auto held = SystemNamedLocks().Acquire("HidDevice::Open");
    ASSERT_TRUE(held->Owns());
    std::atomic<bool> otherGotIt{false};
    std::thread other([&] {
        auto mine = SystemNamedLocks().Acquire("HidDevice::Open");
        otherGotIt = mine->Owns();
    });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(otherGotIt);
    held.reset();
    other.join();
    EXPECT_TRUE(otherGotIt);
}

TEST_F(NamedLockTest, DifferentNamesDoNotExclude) {
    auto open = SystemNamedLocks().Acquire("HidDevice::Open");
    std::atomic<bool> done{false};
    std::thread other([&] {
        auto write = SystemNamedLocks().Acquire("HidDevice::Write");
        done = write->Owns();
    });
    other.join();
    EXPECT_TRUE(done);
}

TEST_F(NamedLockTest, TheHoldingThreadReentersWithoutBlocking) {
    auto outer = SystemNamedLocks().Acquire("HidDevice::Open");
    {
        auto inner = SystemNamedLocks().Acquire("HidDevice::Open");
        EXPECT_TRUE(inner->Owns());
    }
    // Leaving the inner hold keeps the outer one: another thread still waits.
    std::atomic<bool> otherGotIt{false};
    std::thread other([&] { otherGotIt = SystemNamedLocks().Acquire("HidDevice::Open")->Owns(); });
    std::this_thread::sleep_for(30ms);
    EXPECT_FALSE(otherGotIt);
    outer.reset();
    other.join();
    EXPECT_TRUE(otherGotIt);
}

// The child takes the lock, says so through a pipe, and then either releases it after a while or
// waits to be killed.
pid_t ChildHolding(const char* name, int readyFd, bool releaseAfter100ms) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        auto held = SystemNamedLocks().Acquire(name);
        const char ok = held->Owns() ? '1' : '0';
        (void)!::write(readyFd, &ok, 1);
        if (releaseAfter100ms) {
            ::usleep(100'000);
            held.reset();
            ::_exit(0);
        }
        for (;;)
            ::pause();
    }
    return pid;
}

TEST_F(NamedLockTest, TwoProcessesExcludeEachOther) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ChildHolding("HidDevice::SetFeature", fds[1], true);
    ASSERT_GT(child, 0);
    char ok = 0;
    ASSERT_EQ(::read(fds[0], &ok, 1), 1);
    EXPECT_EQ(ok, '1');
    const auto before = std::chrono::steady_clock::now();
    auto mine = SystemNamedLocks().Acquire("HidDevice::SetFeature");
    EXPECT_TRUE(mine->Owns());
    EXPECT_GE(std::chrono::steady_clock::now() - before, 50ms);  // it waited for the child
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST_F(NamedLockTest, AKilledHolderFreesTheLock) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const pid_t child = ChildHolding("HidDevice::Write", fds[1], false);
    ASSERT_GT(child, 0);
    char ok = 0;
    ASSERT_EQ(::read(fds[0], &ok, 1), 1);
    std::atomic<bool> got{false};
    std::thread waiter([&] { got = SystemNamedLocks().Acquire("HidDevice::Write")->Owns(); });
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(got);
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    waiter.join();
    EXPECT_TRUE(got);
    ::close(fds[0]);
    ::close(fds[1]);
}

TEST_F(NamedLockTest, ARuntimeFolderThatIsALinkOrOpenToOthersIsRefused) {
    const std::string link = folder_ + "/link";
    const std::string real = folder_ + "/real";
    ASSERT_EQ(::mkdir(real.c_str(), 0700), 0);
    ASSERT_EQ(::symlink(real.c_str(), link.c_str()), 0);
    const std::string open = folder_ + "/open";
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);

    ::setenv("XDG_RUNTIME_DIR", real.c_str(), 1);
    EXPECT_EQ(UserRuntimeFolder(), real);
    for (const auto& refused : {link, open}) {
        ::setenv("XDG_RUNTIME_DIR", refused.c_str(), 1);
        const std::string chosen = UserRuntimeFolder();
        EXPECT_NE(chosen, refused);
        EXPECT_EQ(chosen.rfind("/tmp/keylume-", 0), 0u) << chosen;
    }
}

// Another user (or a planted link) in the place of /tmp/keylume-<uid>: no folder, a message that
// says why, and no lock that only pretends to be held. Each case runs in a child under a user id
// nobody has, so the real users' folders are never touched.
TEST(RuntimeFolder, ASquattedFallbackFolderGivesNoLocks) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to play two users (chown and setuid)";
    enum class Squat { kNone, kOtherOwner, kLink, kFile, kOpenToOthers, kXdgOfOtherOwner };
    struct Case {
        const char* name;
        Squat squat;
        const char* problem;  // empty: the folder is usable
    };
    const Case cases[] = {
        {"nothing there", Squat::kNone, ""},
        {"folder of another user", Squat::kOtherOwner, "belongs to another user (uid 65534)"},
        {"link", Squat::kLink, "is a symbolic link"},
        {"file", Squat::kFile, "is not a folder"},
        {"open to others", Squat::kOpenToOthers, "is open to other users (mode 0755)"},
        {"XDG_RUNTIME_DIR not ours, fallback free", Squat::kXdgOfOtherOwner, ""},
    };
    constexpr uid_t kNobody = 65534;
    uid_t uid = 61000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ++uid;
        const std::string folder = "/tmp/keylume-" + std::to_string(uid);
        fs::remove_all(folder);
        const std::string other = folder + "-other";
        fs::remove_all(other);
        ASSERT_EQ(::mkdir(other.c_str(), 0700), 0);
        ASSERT_EQ(::chown(other.c_str(), kNobody, kNobody), 0);
        switch (c.squat) {
            case Squat::kOtherOwner:
                ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
                ASSERT_EQ(::chown(folder.c_str(), kNobody, kNobody), 0);
                break;
            case Squat::kLink:
                ASSERT_EQ(::symlink(other.c_str(), folder.c_str()), 0);
                ASSERT_EQ(::chown(other.c_str(), uid, uid), 0);  // even to a folder of ours
                break;
            case Squat::kFile:
                std::fclose(std::fopen(folder.c_str(), "w"));
                break;
            case Squat::kOpenToOthers:
                ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
                ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
                ASSERT_EQ(::chown(folder.c_str(), uid, uid), 0);
                break;
            default:
                break;
        }
        int fds[2];
        ASSERT_EQ(::pipe(fds), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(fds[0]);
            if (c.squat == Squat::kXdgOfOtherOwner)
                ::setenv("XDG_RUNTIME_DIR", other.c_str(), 1);
            else
                ::unsetenv("XDG_RUNTIME_DIR");
            if (::setgid(uid) != 0 || ::setuid(uid) != 0)
                ::_exit(3);
            const std::string problem = SystemNamedLocks().Problem();
            const bool owns = SystemNamedLocks().Acquire("HidDevice::Open")->Owns();
            const std::string report = (owns ? "1" : "0") + problem;
            [[maybe_unused]] const auto n = ::write(fds[1], report.data(), report.size());
            ::_exit(0);
        }
        ::close(fds[1]);
        std::string report;
        char buffer[512];
        for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;)
            report.append(buffer, static_cast<std::size_t>(n));
        ::close(fds[0]);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
        ASSERT_FALSE(report.empty());
        const bool owns = report[0] == '1';
        const std::string problem = report.substr(1);
        if (std::string(c.problem).empty()) {
            EXPECT_TRUE(owns);
            EXPECT_EQ(problem, "");
        } else {
            EXPECT_FALSE(owns);
            EXPECT_EQ(problem.rfind("cannot create a private runtime folder: " + folder + " ", 0),
                      0u)
                << problem;
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        }
        fs::remove_all(folder);
        fs::remove_all(other);
    }
}

TEST(LockFileName, KeepsSafeCharactersAndEscapesTheRest) {
    struct Case {
        const char* name;
        const char* file;
    };
    const Case cases[] = {
        {"HidDevice::Open", "HidDevice_3a_3aOpen"},
        {"a/b", "a_2fb"},
        {"..", "_2e."},
        {"x y-z.1", "x_20y-z.1"},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LockFileName(c.name), c.file) << c.name;
}

}  // namespace
}  // namespace keylume::platform
