// Reading, setting aside and cleaning up the data files on POSIX.

#include "platform/DataFiles.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <string>

namespace keylume::platform {

namespace {

std::string Reason(const char* what, int err) {
    return std::string(what) + ": " + std::strerror(err);
}

ReadStatus OpenError(int err, std::string& detail) {
    detail = Reason("open", err);
    return err == EACCES || err == EPERM ? ReadStatus::kNoAccess : ReadStatus::kFailed;
}

ReadStatus Classify(const struct stat& st, std::uintmax_t maxSize) {
    if (S_ISDIR(st.st_mode))
        return ReadStatus::kFolder;
    if (!S_ISREG(st.st_mode))
        return ReadStatus::kNotAFile;
    if (static_cast<std::uintmax_t>(st.st_size) > maxSize)
        return ReadStatus::kTooLarge;
    return ReadStatus::kRead;
}

// True when `text` is all decimal digits (at least one) and fits `value`.
template <typename T>
bool Number(std::string_view text, T& value) {
    if (text.empty())
        return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() && end == text.data() + text.size();
}

bool ProcessExists(pid_t pid) {
    if (pid <= 0)
        return true;  // not a process id: never treat the file as stray
    if (pid == ::getpid())
        return true;
    // EPERM: it exists but belongs to someone else.
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

}  // namespace

ReadStatus ReadWholeFile(const std::filesystem::path& path, std::uintmax_t maxSize,
                         void* (*allocate)(std::size_t), FileBytes& bytes, std::string& detail) {
    bytes = {};
    detail.clear();
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            return ReadStatus::kMissing;
        detail = Reason("look up", err);
        return err == EACCES ? ReadStatus::kNoAccess : ReadStatus::kFailed;
    }
    if (S_ISLNK(st.st_mode)) {
        if (::stat(path.c_str(), &st) != 0) {
            int err = errno;
            std::error_code ec;
            auto target = std::filesystem::read_symlink(path, ec);
            detail = ec ? Reason("follow link", err) : target.string();
            if (err == ENOENT || err == ENOTDIR)
                return ReadStatus::kDanglingLink;
            return err == EACCES ? ReadStatus::kNoAccess : ReadStatus::kFailed;
        }
    }
    // Only a regular file is opened: opening a named pipe could wait for a writer forever.
    if (ReadStatus kind = Classify(st, maxSize); kind != ReadStatus::kRead)
        return kind;

    // O_NONBLOCK too, in case the file was swapped for a pipe since it was looked at.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return OpenError(errno, detail);
    ReadStatus status = ReadStatus::kRead;
    if (::fstat(fd, &st) != 0) {
        detail = Reason("stat", errno);
        status = ReadStatus::kFailed;
    } else {
        status = Classify(st, maxSize);
    }
    if (status == ReadStatus::kRead) {
        // A file that grows meanwhile is read up to the size it had; one that shrinks, up to its
        // end.
        std::size_t capacity = static_cast<std::size_t>(st.st_size);
        char* buffer = static_cast<char*>(allocate(capacity > 0 ? capacity : 1));
        if (buffer == nullptr) {
            detail = "out of memory";
            status = ReadStatus::kFailed;
        } else {
            std::size_t got = 0;
            while (got < capacity) {
                ssize_t n = ::read(fd, buffer + got, capacity - got);
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0) {
                    detail = Reason("read", errno);
                    status = ReadStatus::kFailed;
                    break;
                }
                if (n == 0)
                    break;
                got += static_cast<std::size_t>(n);
            }
            bytes.data = buffer;
            bytes.size = got;
        }
    }
    ::close(fd);
    return status;
}

bool MoveAside(const std::filesystem::path& path, std::filesystem::path& movedTo,
               WriteError& error) {
    error = {};
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        error = {WriteProblem::kOther, Reason("look up", errno)};
        return false;
    }
    // A link is the user's own arrangement: neither it nor the file it leads to is moved.
    if (S_ISLNK(st.st_mode)) {
        error = {WriteProblem::kIsLink, "is a link"};
        return false;
    }
    if ((st.st_mode & 0222) == 0) {
        error = {WriteProblem::kReadOnlyFile, "file is read-only"};
        return false;
    }
    char stamp[32] = {};
    time_t now = ::time(nullptr);
    struct tm local {};
    if (::localtime_r(&now, &local) == nullptr ||
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) == 0) {
        std::snprintf(stamp, sizeof stamp, "%lld", static_cast<long long>(now));
    }
    const std::string base = path.string() + ".unreadable-" + stamp;
    for (int n = 1; n < 1000; ++n) {
        std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
        // A hard link under the new name never replaces anything; then the old name goes.
        if (::link(path.c_str(), candidate.c_str()) == 0) {
            if (::unlink(path.c_str()) != 0) {
                int err = errno;
                ::unlink(candidate.c_str());
                error = {
                    err == EROFS ? WriteProblem::kReadOnlyDisk : WriteProblem::kFolderNotWritable,
                    Reason("remove old name", err)};
                return false;
            }
            movedTo = candidate;
            return true;
        }
        int err = errno;
        if (err == EEXIST)
            continue;
        if (err == EPERM || err == EOPNOTSUPP || err == EMLINK || err == EXDEV) {
            // No hard links on this file system: rename without replacing.
            if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, candidate.c_str(),
                            RENAME_NOREPLACE) == 0) {
                movedTo = candidate;
                return true;
            }
            err = errno;
            if (err == EEXIST)
                continue;
        }
        WriteProblem problem = WriteProblem::kOther;
        if (err == EACCES || err == EPERM)
            problem = WriteProblem::kFolderNotWritable;
        else if (err == EROFS)
            problem = WriteProblem::kReadOnlyDisk;
        else if (err == ENOSPC || err == EDQUOT)
            problem = WriteProblem::kDiskFull;
        error = {problem, Reason("keep a copy", err)};
        return false;
    }
    error = {WriteProblem::kOther, "keep a copy: no free name"};
    return false;
}

std::vector<std::filesystem::path> RemoveStrayTemporaryFiles(
    const std::filesystem::path& folder, std::span<const std::string_view> names) {
    std::vector<std::filesystem::path> removed;
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr)
        return removed;
    while (struct dirent* entry = ::readdir(dir)) {
        std::string_view name = entry->d_name;
        for (std::string_view file : names) {
            // <file>.tmp.<pid>.<n>
            if (name.size() <= file.size() + 5 || name.substr(0, file.size()) != file ||
                name.substr(file.size(), 5) != ".tmp.")
                continue;
            std::string_view rest = name.substr(file.size() + 5);
            std::size_t dot = rest.find('.');
            pid_t pid = 0;
            unsigned long n = 0;
            if (dot == std::string_view::npos || !Number(rest.substr(0, dot), pid) ||
                !Number(rest.substr(dot + 1), n) || ProcessExists(pid))
                continue;
            std::filesystem::path candidate = folder / std::string(name);
            struct stat st {};
            if (::lstat(candidate.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
                continue;
            if (::unlink(candidate.c_str()) == 0)
                removed.push_back(std::move(candidate));
        }
    }
    ::closedir(dir);
    return removed;
}

bool RunsAsAdministrator() {
    return ::geteuid() == 0;
}

}  // namespace keylume::platform
