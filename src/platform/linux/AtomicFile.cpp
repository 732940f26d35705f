// Atomic file replacement on POSIX: temporary file, fsync, rename, fsync of the folder.

#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

namespace keylume::platform {

namespace {

std::string Reason(const char* what, int err) {
    return std::string(what) + ": " + std::strerror(err);
}

// The kind of an errno from creating or writing a file.
WriteProblem ProblemOf(int err) {
    switch (err) {
        case EACCES:
        case EPERM:
            return WriteProblem::kFolderNotWritable;
        case ENOENT:
        case ENOTDIR:
            return WriteProblem::kFolderMissing;
        case EROFS:
            return WriteProblem::kReadOnlyDisk;
        case ENOSPC:
        case EDQUOT:
            return WriteProblem::kDiskFull;
        case EISDIR:
            return WriteProblem::kFolderInPlace;
        default:
            return WriteProblem::kOther;
    }
}

bool Fail(WriteError& error, WriteProblem problem, std::string text) {
    error.problem = problem;
    error.text = std::move(text);
    return false;
}

bool FailErrno(WriteError& error, const char* what, int err) {
    return Fail(error, ProblemOf(err), Reason(what, err));
}

// Follows the links at `path` to the file they lead to, refusing any link or final file that is
// not the program's own user's. `target` is `path` itself when it is no link.
bool FollowOwnLinks(const std::filesystem::path& path, std::filesystem::path& target,
                    WriteError& error) {
    const uid_t self = ::geteuid();
    target = path;
    bool linked = false;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0) {
            if (errno == ENOENT && linked)
                return Fail(error, WriteProblem::kLinkTargetMissing,
                            "link " + path.string() + " leads to " + target.string() +
                                ", which does not exist");
            // Nothing there (a new file) or a folder on the way is missing: the create says.
            return true;
        }
        if (!S_ISLNK(st.st_mode)) {
            if (linked && st.st_uid != self)
                return Fail(error, WriteProblem::kForeignLink,
                            "link leads to " + target.string() + ", owned by user " +
                                std::to_string(st.st_uid));
            return true;
        }
        if (st.st_uid != self)
            return Fail(
                error, WriteProblem::kForeignLink,
                "link " + target.string() + " is owned by user " + std::to_string(st.st_uid));
        std::error_code ec;
        std::filesystem::path next = std::filesystem::read_symlink(target, ec);
        if (ec)
            return Fail(error, WriteProblem::kOther, "read link: " + ec.message());
        target = next.is_absolute() ? next : target.parent_path() / next;
        linked = true;
    }
    return Fail(error, WriteProblem::kOther, "too many levels of links");
}

// Opens a new, exclusive temporary file next to `target`.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& temporary,
                    WriteError& error) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = target;
        candidate += ".tmp." + std::to_string(::getpid()) + "." + std::to_string(counter++);
        int fd = ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            temporary = std::move(candidate);
            return fd;
        }
        if (errno != EEXIST) {
            FailErrno(error, "create temporary file", errno);
            return -1;
        }
    }
    Fail(error, WriteProblem::kOther, "create temporary file: no free name");
    return -1;
}

bool WriteAll(int fd, std::string_view contents, WriteError& error) {
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return FailErrno(error, "write", errno);
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

bool SyncFolder(const std::filesystem::path& folder, WriteError& error) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return FailErrno(error, "open folder", errno);
    bool ok = ::fsync(fd) == 0;
    if (!ok)
        FailErrno(error, "sync folder", errno);
    ::close(fd);
    return ok;
}

}  // namespace

bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view contents,
                           WriteError& error) {
    error = {};
    if (path.empty() || !path.has_filename())
        return Fail(error, WriteProblem::kOther, "no file name");
    // Replacing a link itself would cut the user's file off from its link, so a link is followed,
    // but only where it is the user's own and leads to the user's own file.
    std::filesystem::path target;
    if (!FollowOwnLinks(path, target, error))
        return false;

    struct stat existing {};
    bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        if (S_ISDIR(existing.st_mode))
            return Fail(error, WriteProblem::kFolderInPlace, "is a directory");
        if (!S_ISREG(existing.st_mode))
            return Fail(error, WriteProblem::kOther, "not a regular file");
        // A file without any write bit is read-only even for a superuser, who would pass access().
        if ((existing.st_mode & 0222) == 0)
            return Fail(error, WriteProblem::kReadOnlyFile, "file is read-only");
        if (::access(target.c_str(), W_OK) != 0) {
            int err = errno;
            return Fail(error,
                        err == EROFS ? WriteProblem::kReadOnlyDisk : WriteProblem::kReadOnlyFile,
                        Reason("file not writable", err));
        }
    }

    std::filesystem::path temporary;
    int fd = CreateTemporary(target, temporary, error);
    if (fd < 0)
        return false;

    bool ok = WriteAll(fd, contents, error);
    // The administrator replacing a user's file leaves it the user's, or the user could no longer
    // save it when running as themselves.
    if (ok && exists && ::geteuid() == 0 && ::fchown(fd, existing.st_uid, existing.st_gid) != 0)
        ok = FailErrno(error, "keep owner", errno);
    if (ok && exists && ::fchmod(fd, existing.st_mode & 07777) != 0)
        ok = FailErrno(error, "keep permissions", errno);
    if (ok && ::fsync(fd) != 0)
        ok = FailErrno(error, "sync", errno);
    if (::close(fd) != 0 && ok)
        ok = FailErrno(error, "close", errno);
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0)
        ok = FailErrno(error, "rename", errno);
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The new file is in place; a failed folder sync only means the rename may not yet be on the
    // disk, so it is reported but the file is not touched again.
    return SyncFolder(target.parent_path(), error);
}

bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view contents,
                           std::string& error) {
    WriteError detail;
    bool ok = ReplaceFileAtomically(path, contents, detail);
    if (!ok)
        error = detail.text;
    return ok;
}

}  // namespace keylume::platform
