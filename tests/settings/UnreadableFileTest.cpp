// What survives, and what the user is told, when a settings file cannot be read.

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"
#include "core/settings/AppConfig.h"
#include "core/settings/LedEffectStore.h"
#include "core/settings/MacroStore.h"
#include "core/settings/RecordStore.h"
#include "core/settings/SettingsNotices.h"
#include "core/settings/SideLightStore.h"

namespace keylume {
namespace {

namespace fs = std::filesystem;
using platform::ReadStatus;
using Kind = SettingsNotice::Kind;
using test::ReadFile;
using test::TempFolder;
using test::WriteFile;

// Collects what the user would be told.
class NoticeCapture {
  public:
    NoticeCapture() {
        ForgetSettingsNotices();
        SetSettingsNoticeSink([this](const SettingsNotice& n) { notices.push_back(n); });
    }
    ~NoticeCapture() {
        SetSettingsNoticeSink(nullptr);
        ForgetSettingsNotices();
    }
    std::vector<SettingsNotice> notices;
};

constexpr const char* kFiles[] = {"config.xml", "ledeffect.xml", "sidemodel.xml", "macro.xml",
                                  "record.xml"};

// Loads `path` into a fresh store of the file's kind, then makes one change that saves (config.xml
// has no save). Gives the store's text after the change, empty for config.xml.
std::string LoadAndChange(const std::string& file, const fs::path& path) {
    if (file == "config.xml") {
        AppConfig config;
        config.Load(path);
        return {};
    }
    if (file == "ledeffect.xml") {
        LedEffectStore store;
        store.Load(path);
        store.SetSel(3);
        return store.ToXml();
    }
    if (file == "sidemodel.xml") {
        SideLightStore store;
        store.Load(path);
        store.SetSel(3);
        return store.ToXml();
    }
    if (file == "macro.xml") {
        MacroStore store;
        store.Load(path);
        store.AddGroup();
        return store.ToXml();
    }
    RecordStore store;
    store.Load(path);
    store.AddOrReplace({0x70004, 0, 1, 1, L"A", L"", {}});
    return store.ToXml();
}

std::vector<fs::path> KeptCopies(const TempFolder& folder, const std::string& file) {
    std::vector<fs::path> copies;
    for (const auto& entry : fs::directory_iterator(folder.Path())) {
        if (entry.path().filename().string().starts_with(file + ".unreadable-"))
            copies.push_back(entry.path());
    }
    return copies;
}

struct DamageCase {
    const char* kind;
    // Puts the damaged file at `path`.
    std::function<void(const fs::path& path)> make;
    // Whether its bytes can be kept aside (a regular file) or it must stay exactly as it is.
    bool movable;
    ReadStatus status;
    bool empty = false;
};

const std::string kTruncated =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<macro>\n\t<group name=\"kept\">\n\t\t<item "
    "code=\"458756\" sta";

std::string Binary() {
    std::string bytes = "\x89PNG\r\n\x1a\n";
    for (int i = 0; i < 600; ++i)
        bytes.push_back(static_cast<char>((i * 37) & 0xFF));
    return bytes;
}

const std::vector<DamageCase>& DamageCases() {
    static const std::vector<DamageCase> cases = {
        {"empty", [](const fs::path& p) { WriteFile(p, ""); }, true, ReadStatus::kRead, true},
        {"truncated", [](const fs::path& p) { WriteFile(p, kTruncated); }, true, ReadStatus::kRead},
        {"binary", [](const fs::path& p) { WriteFile(p, Binary()); }, true, ReadStatus::kRead},
        {"NUL-filled", [](const fs::path& p) { WriteFile(p, std::string(4096, '\0')); }, true,
         ReadStatus::kRead},
        // Sparse: 300 MB on paper, nothing on the disk; it is never read, only moved.
        {"too large",
         [](const fs::path& p) {
             WriteFile(p, "<effect sel='3'/>");
             fs::resize_file(p, 300u << 20);
         },
         true, ReadStatus::kTooLarge},
        {"named pipe", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }, false,
         ReadStatus::kNotAFile},
        {"dangling link",
         [](const fs::path& p) { fs::create_symlink(p.parent_path() / "gone" / "x.xml", p); },
         false, ReadStatus::kDanglingLink},
    };
    return cases;
}

// Every kind of unreadable file, for each of the five files: nothing the user had is lost, the
// user is told once what happened, and a store writes its file only where the old one was kept.
TEST(UnreadableFile, IsKeptAndToldForEveryFileAndKind) {
    for (const DamageCase& damage : DamageCases()) {
        for (const std::string file : kFiles) {
            SCOPED_TRACE(file + " " + damage.kind);
            TempFolder folder;
            NoticeCapture capture;
            const fs::path path = folder.File(file);
            damage.make(path);
            const bool wasLink = fs::is_symlink(path);
            const std::string before = damage.movable && damage.status == ReadStatus::kRead
                                           ? ReadFile(path)
                                           : std::string();
            const bool onlyRead = file == "config.xml";

            auto start = std::chrono::steady_clock::now();
            const std::string written = LoadAndChange(file, path);
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10))
                << "a pipe must not be waited on";

            ASSERT_EQ(capture.notices.size(), 1u) << "told exactly once";
            const SettingsNotice& notice = capture.notices[0];
            EXPECT_EQ(notice.file, path);
            EXPECT_EQ(notice.readStatus, damage.status);
            EXPECT_EQ(notice.empty, damage.empty);
            EXPECT_EQ(notice.onlyRead, onlyRead);

            std::vector<fs::path> copies = KeptCopies(folder, file);
            if (damage.movable && !onlyRead) {
                EXPECT_EQ(notice.kind, Kind::kKeptUnreadable);
                ASSERT_EQ(copies.size(), 1u);
                EXPECT_EQ(notice.copy, copies[0]);
                if (damage.status == ReadStatus::kTooLarge)
                    EXPECT_EQ(fs::file_size(copies[0]), 300u << 20);
                else
                    EXPECT_EQ(ReadFile(copies[0]), before) << "the user's bytes survive";
                EXPECT_EQ(ReadFile(path), written) << "the store then writes a file of its own";
            } else {
                EXPECT_EQ(notice.kind, Kind::kLeftUnreadable);
                EXPECT_TRUE(copies.empty());
                // Exactly as it was: not replaced, not followed, not created.
                if (wasLink) {
                    EXPECT_TRUE(fs::is_symlink(path));
                    EXPECT_FALSE(fs::exists(folder.File("gone")));
                } else if (damage.status == ReadStatus::kNotAFile) {
                    EXPECT_TRUE(fs::is_fifo(path));
                } else if (damage.status == ReadStatus::kTooLarge) {
                    EXPECT_EQ(fs::file_size(path), 300u << 20);
                } else {
                    EXPECT_EQ(ReadFile(path), before);
                }
            }
        }
    }
}

// A well-formed file is read and no one is told anything; a missing one is created only by the
// stores that always write (the lighting stores), quietly.
TEST(UnreadableFile, GoodAndMissingFilesAreNotReported) {
    TempFolder folder;
    NoticeCapture capture;
    WriteFile(folder.File("macro.xml"), "<config repeat='4'/><macro/>");
    MacroStore macros;
    EXPECT_TRUE(macros.Load(folder.File("macro.xml")));
    RecordStore records;
    EXPECT_FALSE(records.Load(folder.File("record.xml")));
    LedEffectStore led;
    EXPECT_FALSE(led.Load(folder.File("ledeffect.xml")));
    EXPECT_TRUE(fs::exists(folder.File("ledeffect.xml")));
    EXPECT_FALSE(fs::exists(folder.File("record.xml")));
    EXPECT_TRUE(capture.notices.empty());
}

// An earlier kept copy is never replaced, also within the same second.
TEST(UnreadableFile, EachDamagedVersionGetsACopyOfItsOwn) {
    TempFolder folder;
    NoticeCapture capture;
    const fs::path path = folder.File("record.xml");
    for (const char* text : {"<record", "<record code='1'", "<record code='2'"}) {
        WriteFile(path, text);
        RecordStore records;
        records.Load(path);
        ForgetSettingsNotices();
    }
    std::vector<std::string> kept;
    for (const fs::path& copy : KeptCopies(folder, "record.xml"))
        kept.push_back(ReadFile(copy));
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(kept, (std::vector<std::string>{"<record", "<record code='1'", "<record code='2'"}));
    EXPECT_EQ(capture.notices.size(), 3u);
}

// A damaged file that cannot be set aside (it is read-only) is never replaced: the store works in
// memory and says so.
TEST(UnreadableFile, ADamagedFileThatCannotBeKeptIsLeftAlone) {
    TempFolder folder;
    NoticeCapture capture;
    const fs::path path = folder.File("ledeffect.xml");
    WriteFile(path, "<effect");
    fs::permissions(path, fs::perms::owner_read);
    LedEffectStore led;
    EXPECT_FALSE(led.Load(path));
    EXPECT_EQ(led.Sel(), 20) << "memory holds the defaults";
    led.SetSel(4);
    EXPECT_EQ(led.Sel(), 4);
    EXPECT_EQ(ReadFile(path), "<effect");
    ASSERT_EQ(capture.notices.size(), 1u);
    EXPECT_EQ(capture.notices[0].kind, Kind::kLeftUnreadable);
    EXPECT_EQ(capture.notices[0].writeProblem, platform::WriteProblem::kReadOnlyFile);
    EXPECT_TRUE(KeptCopies(folder, "ledeffect.xml").empty());
}

// Runs `body` in a child process as a user who is not root (nobody, when the test runs as root) and
// gives what it wrote to its pipe.
std::string AsAnotherUser(const std::function<std::string()>& body) {
    int fds[2];
    if (::pipe(fds) != 0)
        return "pipe failed";
    pid_t child = ::fork();
    if (child == 0) {
        ::close(fds[0]);
        std::string report;
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            report = "cannot become nobody";
        else
            report = body();
        (void)!::write(fds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string report;
    char buffer[256];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        report.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return report;
}

// A file the program may not open is never replaced, even where the folder would let it: the
// store works in memory and says so, and every save is skipped.
TEST(UnreadableFile, AFileThatMayNotBeOpenedIsNeverReplaced) {
    TempFolder folder;
    // Anyone may create and replace files in the folder; only the files themselves are closed.
    ::chmod(folder.Path().c_str(), 0777);
    for (const std::string file : kFiles) {
        WriteFile(folder.File(file), "<effect sel='3'/>");
        ::chmod(folder.File(file).c_str(), 0);
    }
    std::string report = AsAnotherUser([&] {
        std::string out;
        NoticeCapture capture;
        for (const std::string file : kFiles)
            LoadAndChange(file, folder.File(file));
        for (const SettingsNotice& n : capture.notices) {
            out += n.file.filename().string() + ":" +
                   (n.kind == Kind::kLeftUnreadable ? "left" : "other") +
                   (n.readStatus == ReadStatus::kNoAccess ? ",no access" : ",?") + " ";
        }
        return out;
    });
    EXPECT_EQ(report,
              "config.xml:left,no access ledeffect.xml:left,no access sidemodel.xml:left,no "
              "access macro.xml:left,no access record.xml:left,no access ");
    for (const std::string file : kFiles) {
        ::chmod(folder.File(file).c_str(), 0600);
        EXPECT_EQ(ReadFile(folder.File(file)), "<effect sel='3'/>") << file;
    }
    EXPECT_EQ(folder.OtherEntries("").size(), 5u) << "no copy and no temporary file";
}

}  // namespace
}  // namespace keylume
