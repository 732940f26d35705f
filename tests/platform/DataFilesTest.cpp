#include "platform/DataFiles.h"

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace keylume::platform {
namespace {

namespace fs = std::filesystem;

class Folder {
  public:
    Folder() {
        std::string pattern = (fs::temp_directory_path() / "keylume-data-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr)
            ADD_FAILURE() << "mkdtemp failed";
        path_ = pattern;
    }
    ~Folder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    fs::path File(const std::string& name) const { return path_ / name; }
    void Write(const std::string& name) const { std::ofstream(File(name)) << "x"; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    const fs::path& Path() const { return path_; }

  private:
    fs::path path_;
};

// A process that has ended and been reaped: its id names no process now.
pid_t DeadPid() {
    pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

// Only our own temporary files of processes that are gone are removed; a live process's save, other
// names, links and folders stay.
TEST(StrayTemporaryFiles, OnlyThoseOfEndedProcessesAreRemoved) {
    Folder folder;
    const std::string dead = std::to_string(DeadPid());
    pid_t liveChild = ::fork();
    if (liveChild == 0) {
        ::pause();
        ::_exit(0);
    }
    const std::string live = std::to_string(liveChild);
    const std::string self = std::to_string(::getpid());

    folder.Write("macro.xml");
    folder.Write("macro.xml.tmp." + dead + ".0");    // removed
    folder.Write("record.xml.tmp." + dead + ".17");  // removed
    folder.Write("macro.xml.tmp." + live + ".3");    // a save in progress elsewhere
    folder.Write("record.xml.tmp." + self + ".1");   // our own
    folder.Write("notes.txt.tmp." + dead + ".0");    // not one of the names
    folder.Write("macro.xml.tmp." + dead + ".x");    // not the pattern
    folder.Write("macro.xml.tmp." + dead);           // not the pattern
    folder.Write("macro.xml.tmp.-1.0");              // not a process id
    fs::create_directory(folder.File("ledeffect.xml.tmp." + dead + ".0"));
    fs::create_symlink(folder.File("macro.xml"), folder.File("sidemodel.xml.tmp." + dead + ".0"));

    const std::string_view names[] = {"macro.xml", "record.xml", "sidemodel.xml", "ledeffect.xml"};
    std::vector<fs::path> removed = RemoveStrayTemporaryFiles(folder.Path(), names);
    ::kill(liveChild, SIGKILL);
    ::waitpid(liveChild, nullptr, 0);

    std::sort(removed.begin(), removed.end());
    EXPECT_EQ(removed, (std::vector<fs::path>{folder.File("macro.xml.tmp." + dead + ".0"),
                                              folder.File("record.xml.tmp." + dead + ".17")}));
    std::vector<std::string> expected = {"ledeffect.xml.tmp." + dead + ".0",
                                         "macro.xml",
                                         "macro.xml.tmp." + dead,
                                         "macro.xml.tmp." + dead + ".x",
                                         "macro.xml.tmp." + live + ".3",
                                         "macro.xml.tmp.-1.0",
                                         "notes.txt.tmp." + dead + ".0",
                                         "record.xml.tmp." + self + ".1",
                                         "sidemodel.xml.tmp." + dead + ".0"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder.Names(), expected);
}

TEST(StrayTemporaryFiles, AMissingFolderRemovesNothing) {
    const std::string_view names[] = {"macro.xml"};
    EXPECT_TRUE(RemoveStrayTemporaryFiles("/nonexistent-keylume-folder", names).empty());
}

}  // namespace
}  // namespace keylume::platform
