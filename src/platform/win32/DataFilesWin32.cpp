// Reading, setting aside and cleaning up the data files on Windows.

#include <windows.h>

#include <charconv>
#include <cstdio>
#include <ctime>
#include <string>

#include "platform/DataFiles.h"
#include "platform/win32/Win32Util.h"

namespace keylume::platform {

namespace {

using win32::UniqueHandle;

std::string Reason(const char* what, DWORD error) {
    return std::string(what) + ": " + win32::ErrorText(error);
}

bool Missing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
           error == ERROR_INVALID_NAME;
}

template <typename T>
bool Number(std::wstring_view text, T& value) {
    if (text.empty() || text.size() > 20)
        return false;
    std::string narrow;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        narrow.push_back(static_cast<char>(c));
    }
    auto [end, ec] = std::from_chars(narrow.data(), narrow.data() + narrow.size(), value);
    return ec == std::errc() && end == narrow.data() + narrow.size();
}

bool ProcessExists(DWORD pid) {
    if (pid == 0 || pid == ::GetCurrentProcessId())
        return true;
    UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process)
        // Access denied: it exists but belongs to someone else.
        return ::GetLastError() != ERROR_INVALID_PARAMETER;
    return ::WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
}

}  // namespace

ReadStatus ReadWholeFile(const std::filesystem::path& path, std::uintmax_t maxSize,
                         void* (*allocate)(std::size_t), FileBytes& bytes, std::string& detail) {
    bytes = {};
    detail.clear();
    const std::wstring wide = path.wstring();
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD err = ::GetLastError();
        if (Missing(err))
            return ReadStatus::kMissing;
        detail = Reason("look up", err);
        return err == ERROR_ACCESS_DENIED ? ReadStatus::kNoAccess : ReadStatus::kFailed;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return ReadStatus::kFolder;
    UniqueHandle file(::CreateFileW(wide.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD err = ::GetLastError();
        detail = Reason("open", err);
        if (Missing(err) && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
            return ReadStatus::kDanglingLink;
        return err == ERROR_ACCESS_DENIED ? ReadStatus::kNoAccess : ReadStatus::kFailed;
    }
    // Only a file on a disk is read: a pipe or a device could wait for a writer forever.
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK)
        return ReadStatus::kNotAFile;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) {
        detail = Reason("size", ::GetLastError());
        return ReadStatus::kFailed;
    }
    if (static_cast<std::uintmax_t>(size.QuadPart) > maxSize)
        return ReadStatus::kTooLarge;
    const std::size_t capacity = static_cast<std::size_t>(size.QuadPart);
    char* buffer = static_cast<char*>(allocate(capacity > 0 ? capacity : 1));
    if (buffer == nullptr) {
        detail = "out of memory";
        return ReadStatus::kFailed;
    }
    bytes.data = buffer;
    std::size_t got = 0;
    while (got < capacity) {
        const DWORD chunk =
            capacity - got > (1u << 30) ? (1u << 30) : static_cast<DWORD>(capacity - got);
        DWORD n = 0;
        if (!::ReadFile(file.Get(), buffer + got, chunk, &n, nullptr)) {
            detail = Reason("read", ::GetLastError());
            bytes.size = got;
            return ReadStatus::kFailed;
        }
        if (n == 0)
            break;
        got += n;
    }
    bytes.size = got;
    return ReadStatus::kRead;
}

bool MoveAside(const std::filesystem::path& path, std::filesystem::path& movedTo,
               WriteError& error) {
    error = {};
    const std::wstring wide = path.wstring();
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        error = {WriteProblem::kOther, Reason("look up", ::GetLastError())};
        return false;
    }
    // A link is the user's own arrangement: neither it nor the file it leads to is moved.
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        error = {WriteProblem::kIsLink, "is a link"};
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) {
        error = {WriteProblem::kReadOnlyFile, "file is read-only"};
        return false;
    }
    char stamp[32] = {};
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (::localtime_s(&local, &now) != 0 ||
        std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local) == 0) {
        std::snprintf(stamp, sizeof stamp, "%lld", static_cast<long long>(now));
    }
    const std::wstring base = wide + L".unreadable-" + win32::Widen(stamp);
    for (int n = 1; n < 1000; ++n) {
        const std::wstring candidate = n == 1 ? base : base + L"-" + std::to_wstring(n);
        // Without MOVEFILE_REPLACE_EXISTING a name that is taken is never replaced.
        if (::MoveFileExW(wide.c_str(), candidate.c_str(), MOVEFILE_WRITE_THROUGH)) {
            movedTo = std::filesystem::path(candidate);
            return true;
        }
        const DWORD err = ::GetLastError();
        if (err == ERROR_ALREADY_EXISTS || err == ERROR_FILE_EXISTS)
            continue;
        WriteProblem problem = WriteProblem::kOther;
        if (err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION)
            problem = WriteProblem::kFolderNotWritable;
        else if (err == ERROR_WRITE_PROTECT)
            problem = WriteProblem::kReadOnlyDisk;
        else if (err == ERROR_DISK_FULL)
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
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = (folder / L"*").wstring();
    HANDLE search = ::FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return removed;
    do {
        if (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT))
            continue;
        const std::wstring_view name = found.cFileName;
        for (std::string_view file : names) {
            // <file>.tmp.<pid>.<n>
            const std::wstring prefix = win32::Widen(file) + L".tmp.";
            if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix)
                continue;
            const std::wstring_view rest = name.substr(prefix.size());
            const std::size_t dot = rest.find(L'.');
            DWORD pid = 0;
            unsigned long n = 0;
            if (dot == std::wstring_view::npos || !Number(rest.substr(0, dot), pid) ||
                !Number(rest.substr(dot + 1), n) || ProcessExists(pid))
                continue;
            std::filesystem::path candidate = folder / std::wstring(name);
            if (::DeleteFileW(candidate.wstring().c_str()))
                removed.push_back(std::move(candidate));
        }
    } while (::FindNextFileW(search, &found));
    ::FindClose(search);
    return removed;
}

bool RunsAsAdministrator() {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!::AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0,
                                    0, 0, 0, 0, 0, &administrators))
        return false;
    BOOL member = FALSE;
    if (!::CheckTokenMembership(nullptr, administrators, &member))
        member = FALSE;
    ::FreeSid(administrators);
    return member != FALSE;
}

}  // namespace keylume::platform
