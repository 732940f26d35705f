// Atomic file replacement on Windows: the new contents go to a temporary file in the same folder,
// are flushed to the disk (FlushFileBuffers), and the temporary file replaces the target with
// MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH), a single rename on NTFS.
// ReplaceFileW is not used: it can leave the target renamed away when it fails half-way.

#include <windows.h>

#include <atomic>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/win32/Win32Util.h"

namespace keylume::platform {

namespace {

using win32::UniqueHandle;

// The kind of a failed file operation, for the message the user is shown.
WriteProblem ProblemOf(DWORD error) {
    switch (error) {
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return WriteProblem::kFolderNotWritable;
        case ERROR_PATH_NOT_FOUND:
            return WriteProblem::kFolderMissing;
        case ERROR_WRITE_PROTECT:
            return WriteProblem::kReadOnlyDisk;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return WriteProblem::kDiskFull;
        default:
            return WriteProblem::kOther;
    }
}

WriteError Failure(const char* what, DWORD error) {
    return {ProblemOf(error), std::string(what) + ": " + win32::ErrorText(error)};
}

UniqueHandle CreateTemporary(const std::wstring& target, std::wstring& temporary,
                             WriteError& error) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::wstring candidate = target + L".tmp." + std::to_wstring(::GetCurrentProcessId()) +
                                 L"." + std::to_wstring(counter++);
        UniqueHandle file(::CreateFileW(candidate.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            temporary = std::move(candidate);
            return file;
        }
        const DWORD err = ::GetLastError();
        if (err != ERROR_FILE_EXISTS && err != ERROR_ALREADY_EXISTS) {
            error = Failure("create temporary file", err);
            return {};
        }
    }
    error = {WriteProblem::kOther, "create temporary file: no free name"};
    return {};
}

bool WriteAll(HANDLE file, std::string_view contents, WriteError& error) {
    const char* data = contents.data();
    std::size_t left = contents.size();
    while (left > 0) {
        const DWORD chunk = left > (1u << 30) ? (1u << 30) : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!::WriteFile(file, data, chunk, &written, nullptr)) {
            error = Failure("write", ::GetLastError());
            return false;
        }
        if (written == 0) {
            error = {WriteProblem::kOther, "write: nothing written"};
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

}  // namespace

bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view contents,
                           WriteError& error) {
    error = {};
    if (path.empty() || !path.has_filename()) {
        error = {WriteProblem::kOther, "no file name"};
        return false;
    }
    const std::wstring wideTarget = path.wstring();
    const DWORD attributes = ::GetFileAttributesW(wideTarget.c_str());
    const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (exists) {
        // Whose file a link leads to is not checked here, so no save goes through one: a
        // program with more rights than the folder's owner could otherwise replace any file.
        if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            error = {WriteProblem::kForeignLink, "is a link"};
            return false;
        }
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            error = {WriteProblem::kFolderInPlace, "is a directory"};
            return false;
        }
        if (attributes & FILE_ATTRIBUTE_READONLY) {
            error = {WriteProblem::kReadOnlyFile, "file is read-only"};
            return false;
        }
    }

    std::wstring temporary;
    UniqueHandle file = CreateTemporary(wideTarget, temporary, error);
    if (!file)
        return false;

    bool ok = WriteAll(file.Get(), contents, error);
    if (ok && !::FlushFileBuffers(file.Get())) {
        error = Failure("flush", ::GetLastError());
        ok = false;
    }
    file.Reset();
    // The new file keeps the old one's hidden and system marks, which the rename would lose.
    const DWORD keep = exists ? attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) : 0;
    if (ok && keep != 0)
        ::SetFileAttributesW(temporary.c_str(), keep);
    if (ok && !::MoveFileExW(temporary.c_str(), wideTarget.c_str(),
                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = Failure("replace", ::GetLastError());
        ok = false;
    }
    if (!ok) {
        ::DeleteFileW(temporary.c_str());
        return false;
    }
    return true;
}

bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view contents,
                           std::string& error) {
    WriteError detail;
    const bool ok = ReplaceFileAtomically(path, contents, detail);
    if (!ok)
        error = detail.text;
    return ok;
}

}  // namespace keylume::platform
