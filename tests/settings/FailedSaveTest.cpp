// A save that fails is told once per file, keeps the values in memory and is tried again; a save
// never writes through a link that is not wholly the user's.

#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"
#include "core/settings/LedEffectStore.h"
#include "core/settings/MacroStore.h"
#include "core/settings/RecordStore.h"
#include "core/settings/SettingsNotices.h"
#include "core/settings/SideLightStore.h"
#include "platform/Trace.h"

namespace keylume {
namespace {

namespace fs = std::filesystem;
using platform::WriteProblem;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

constexpr uid_t kNobody = 65534;

class NoticeCapture {
  public:
    NoticeCapture() {
        ForgetSettingsNotices();
        SetSettingsNoticeSink([this](const SettingsNotice& n) { notices.push_back(n); });
        platform::Trace::SetSink([this](std::string_view line) { lines.emplace_back(line); });
    }
    ~NoticeCapture() {
        platform::Trace::SetSink(nullptr);
        SetSettingsNoticeSink(nullptr);
        ForgetSettingsNotices();
    }
    std::size_t TracedFailures(const fs::path& path) const {
        std::size_t n = 0;
        for (const std::string& line : lines)
            n += line.find("settings save " + path.string() + " failed") != std::string::npos;
        return n;
    }
    std::vector<SettingsNotice> notices;
    std::vector<std::string> lines;
};

// A folder where each store's file should be: every save fails, the user hears of it once per
// file however often the values change, the values stay, and the first change after the folder
// has gone is saved.
TEST(FailedSave, AFolderInPlaceIsToldOncePerFileAndTheNextChangeTriesAgain) {
    TempFolder folder;
    NoticeCapture capture;
    for (const char* name : {"ledeffect.xml", "sidemodel.xml", "macro.xml", "record.xml"}) {
        fs::create_directory(folder.File(name));
        WriteFile(folder.File(name) / "inside", "x");
    }
    LedEffectStore led;
    led.Load(folder.File("ledeffect.xml"));  // the reset's write fails already
    SideLightStore side;
    side.Load(folder.File("sidemodel.xml"));
    MacroStore macros;
    macros.Load(folder.File("macro.xml"));
    RecordStore records;
    records.Load(folder.File("record.xml"));
    // A slider moving through its range.
    for (int i = 0; i < 20; ++i) {
        led.SetSel(i);
        side.SetSel(i % 12);
        macros.AddGroup();
        records.AddOrReplace({0x70004u + static_cast<unsigned>(i), 0, 1, 1, L"k", L"", {}});
    }
    EXPECT_EQ(led.Sel(), 19);
    EXPECT_EQ(side.Sel(), 7);
    EXPECT_EQ(macros.groups.size(), 20u);
    EXPECT_EQ(records.Snapshot()->size(), 20u);

    ASSERT_EQ(capture.notices.size(), 4u);
    for (const SettingsNotice& n : capture.notices) {
        EXPECT_EQ(n.kind, SettingsNotice::Kind::kSaveFailed) << n.file;
        EXPECT_EQ(n.writeProblem, WriteProblem::kFolderInPlace) << n.file;
        EXPECT_GE(capture.TracedFailures(n.file), 20u) << "later failures are traced";
        EXPECT_EQ(ReadFile(n.file / "inside"), "x");
    }

    fs::remove_all(folder.File("macro.xml"));
    macros.AddGroup();
    MacroStore reread;
    ASSERT_TRUE(reread.Load(folder.File("macro.xml")));
    EXPECT_EQ(reread.groups.size(), 21u);
    EXPECT_EQ(capture.notices.size(), 4u);
}

// A small file system of its own mounted on a temporary folder, where the test may mount one.
class SmallDisk {
  public:
    explicit SmallDisk(const fs::path& at) : at_(at) {
        mounted_ = ::mount("tmpfs", at.c_str(), "tmpfs", 0, "size=64k") == 0;
        if (!mounted_)
            why_ = std::strerror(errno);
    }
    ~SmallDisk() {
        if (mounted_)
            ::umount2(at_.c_str(), MNT_DETACH);
    }
    bool Mounted() const { return mounted_; }
    const std::string& Why() const { return why_; }
    bool MakeReadOnly() {
        return ::mount("tmpfs", at_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=64k") == 0;
    }
    // Writes until the disk is full.
    void Fill() {
        std::ofstream out(at_ / "filler", std::ios::binary);
        std::string block(4096, 'f');
        for (int i = 0; i < 64 && out; ++i)
            out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }

  private:
    fs::path at_;
    bool mounted_ = false;
    std::string why_;
};

// A full disk and a read-only disk: the save is told in its own words and the old file survives;
// on a read-only disk a damaged file cannot be set aside, so it is left alone.
TEST(FailedSave, AFullOrReadOnlyDiskIsToldAndTheOldFileSurvives) {
    TempFolder folder;
    SmallDisk disk(folder.Path());
    if (!disk.Mounted())
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << disk.Why()
                     << "); needs root and a mount namespace that allows it";
    NoticeCapture capture;
    const std::string old = "<config repeat='4'/><macro><group name='old'/></macro>";
    WriteFile(folder.File("macro.xml"), old);
    WriteFile(folder.File("ledeffect.xml"), "<effect sel='2'");
    WriteFile(folder.File("sidemodel.xml"), "<effect sel='3'/>");

    disk.Fill();
    MacroStore macros;
    ASSERT_TRUE(macros.Load(folder.File("macro.xml")));
    for (int g = 0; g < 20; ++g)
        macros.groups.push_back({L"big", std::vector<MacroItem>(100, {0x70004, 1, 10, L"A"})});
    EXPECT_FALSE(macros.Save());
    EXPECT_EQ(ReadFile(folder.File("macro.xml")), old);
    ASSERT_EQ(capture.notices.size(), 1u);
    EXPECT_EQ(capture.notices[0].writeProblem, WriteProblem::kDiskFull);

    ASSERT_TRUE(disk.MakeReadOnly());
    LedEffectStore led;
    EXPECT_FALSE(led.Load(folder.File("ledeffect.xml")));
    EXPECT_EQ(ReadFile(folder.File("ledeffect.xml")), "<effect sel='2'");
    SideLightStore side;
    ASSERT_TRUE(side.Load(folder.File("sidemodel.xml")));
    side.SetSel(5);
    EXPECT_EQ(side.Sel(), 5);
    ASSERT_EQ(capture.notices.size(), 3u);
    EXPECT_EQ(capture.notices[1].kind, SettingsNotice::Kind::kLeftUnreadable);
    EXPECT_EQ(capture.notices[1].writeProblem, WriteProblem::kReadOnlyDisk);
    EXPECT_EQ(capture.notices[2].kind, SettingsNotice::Kind::kSaveFailed);
    EXPECT_EQ(capture.notices[2].writeProblem, WriteProblem::kReadOnlyDisk);
    EXPECT_EQ(folder.OtherEntries("").size(), 4u) << "no temporary file is left behind";
}

// A folder the program may not write to: as root every folder is writable, so the save runs as
// another user (nobody) in a folder that is root's.
TEST(FailedSave, AFolderThatMayNotBeWrittenIsTold) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to save as another user into a folder that user cannot write";
    TempFolder folder;
    ::chmod(folder.Path().c_str(), 0755);
    WriteFile(folder.File("sidemodel.xml"), "<effect sel='3'/>");
    ::chmod(folder.File("sidemodel.xml").c_str(), 0666);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        std::string report;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            report = "cannot become nobody";
        } else {
            NoticeCapture capture;
            SideLightStore side;
            side.Load(folder.File("sidemodel.xml"));
            side.SetSel(5);
            side.SetSel(6);
            for (const SettingsNotice& n : capture.notices)
                report += std::to_string(static_cast<int>(n.writeProblem)) + " ";
            report += std::to_string(side.Sel());
        }
        (void)!::write(fds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    char buffer[128] = {};
    ssize_t n = ::read(fds[0], buffer, sizeof buffer - 1);
    ::close(fds[0]);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0),
              std::to_string(static_cast<int>(WriteProblem::kFolderNotWritable)) + " 6");
    EXPECT_EQ(ReadFile(folder.File("sidemodel.xml")), "<effect sel='3'/>");
    EXPECT_EQ(folder.OtherEntries("sidemodel.xml").size(), 0u);
}

// Links: followed only when every link and the file it leads to are the user's own.
TEST(FailedSave, ALinkOfAnotherUserIsNotWrittenThrough) {
    TempFolder folder;
    const fs::path elsewhere = folder.File("elsewhere.xml");
    const fs::path link = folder.File("ledeffect.xml");
    WriteFile(elsewhere, "<effect sel='3'/>");
    fs::create_symlink(elsewhere, link);
    if (::lchown(link.c_str(), kNobody, kNobody) != 0)
        GTEST_SKIP() << "cannot give a link to another user here (needs root)";

    struct Case {
        const char* what;
        uid_t linkOwner;
        uid_t targetOwner;
        bool written;
    };
    const Case cases[] = {
        {"link of another user", kNobody, ::geteuid(), false},
        {"target of another user", ::geteuid(), kNobody, false},
        {"both the user's", ::geteuid(), ::geteuid(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        NoticeCapture capture;
        WriteFile(elsewhere, "<effect sel='3'/>");
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
        ASSERT_EQ(::chown(elsewhere.c_str(), c.targetOwner, c.targetOwner), 0);
        LedEffectStore led;
        ASSERT_TRUE(led.Load(link));
        led.SetSel(9);
        EXPECT_EQ(led.Sel(), 9);
        EXPECT_TRUE(fs::is_symlink(link));
        if (c.written) {
            EXPECT_NE(ReadFile(elsewhere).find("sel=\"9\""), std::string::npos);
            EXPECT_TRUE(capture.notices.empty());
        } else {
            EXPECT_EQ(ReadFile(elsewhere), "<effect sel='3'/>");
            ASSERT_EQ(capture.notices.size(), 1u);
            EXPECT_EQ(capture.notices[0].writeProblem, WriteProblem::kForeignLink);
        }
        struct stat st {};
        ASSERT_EQ(::stat(elsewhere.c_str(), &st), 0);
        EXPECT_EQ(st.st_uid, c.targetOwner) << "the file keeps its owner";
    }
    EXPECT_EQ(folder.OtherEntries("").size(), 2u) << "no temporary file is left behind";
}

// A link that came to lead nowhere after the store was read: its target is not created.
TEST(FailedSave, ALinkThatLeadsNowhereIsNotFollowed) {
    TempFolder folder;
    NoticeCapture capture;
    const fs::path link = folder.File("record.xml");
    RecordStore records;
    records.Load(link);
    fs::create_symlink(folder.File("sub") / "record.xml", link);
    fs::create_directory(folder.File("sub"));
    records.AddOrReplace({0x70004, 0, 1, 1, L"A", L"", {}});
    EXPECT_FALSE(fs::exists(folder.File("sub") / "record.xml"));
    EXPECT_TRUE(fs::is_symlink(link));
    ASSERT_EQ(capture.notices.size(), 1u);
    EXPECT_EQ(capture.notices[0].writeProblem, WriteProblem::kLinkTargetMissing);
}

// The administrator saving a user's file leaves it the user's.
TEST(FailedSave, AFileSavedByRootKeepsItsOwner) {
    TempFolder folder;
    const fs::path path = folder.File("macro.xml");
    WriteFile(path, "<config repeat='4'/><macro/>");
    if (::geteuid() != 0 || ::chown(path.c_str(), kNobody, kNobody) != 0)
        GTEST_SKIP() << "needs root to give the file to another user";
    ::chmod(path.c_str(), 0640);
    MacroStore macros;
    ASSERT_TRUE(macros.Load(path));
    macros.AddGroup();
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kNobody);
    EXPECT_EQ(st.st_gid, kNobody);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_NE(ReadFile(path).find("Group 0"), std::string::npos);
}

}  // namespace
}  // namespace keylume
