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

// Opens a new, exclusive temporary file next to `target`.
int CreateTemporary(const std::filesystem::path& target, std::filesystem::path& temporary,
                    std::string& error) {
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
            error = Reason("create temporary file", errno);
            return -1;
        }
    }
    error = "create temporary file: no free name";
    return -1;
}

bool WriteAll(int fd, std::string_view contents, std::string& error) {
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        ssize_t written = ::write(fd, data, left);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            error = Reason("write", errno);
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

bool SyncFolder(const std::filesystem::path& folder, std::string& error) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = Reason("open folder", errno);
        return false;
    }
    bool ok = ::fsync(fd) == 0;
    if (!ok)
        error = Reason("sync folder", errno);
    ::close(fd);
    return ok;
}

}  // namespace

bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view contents,
                           std::string& error) {
    if (path.empty() || !path.has_filename()) {
        error = "no file name";
        return false;
    }
    std::filesystem::path target = path;
    std::error_code ec;
    if (std::filesystem::is_symlink(target, ec)) {
        // Replacing the link itself would cut the user's file off from its link.
        auto resolved = std::filesystem::weakly_canonical(target, ec);
        if (ec) {
            error = "resolve link: " + ec.message();
            return false;
        }
        target = resolved;
    }

    struct stat existing {};
    bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists) {
        if (S_ISDIR(existing.st_mode)) {
            error = "is a directory";
            return false;
        }
        // A file without any write bit is read-only even for a superuser, who would pass access().
        if ((existing.st_mode & 0222) == 0) {
            error = "file is read-only";
            return false;
        }
        if (::access(target.c_str(), W_OK) != 0) {
            error = Reason("file not writable", errno);
            return false;
        }
    }

    std::filesystem::path temporary;
    int fd = CreateTemporary(target, temporary, error);
    if (fd < 0)
        return false;

    bool ok = WriteAll(fd, contents, error);
    if (ok && exists && ::fchmod(fd, existing.st_mode & 07777) != 0) {
        error = Reason("keep permissions", errno);
        ok = false;
    }
    if (ok && ::fsync(fd) != 0) {
        error = Reason("sync", errno);
        ok = false;
    }
    if (::close(fd) != 0 && ok) {
        error = Reason("close", errno);
        ok = false;
    }
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = Reason("rename", errno);
        ok = false;
    }
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The new file is in place; a failed folder sync only means the rename may not yet be on the
    // disk, so it is reported but the file is not touched again.
    return SyncFolder(target.parent_path(), error);
}

}  // namespace keylume::platform
