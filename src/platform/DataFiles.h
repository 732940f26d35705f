#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AtomicFile.h"

namespace keylume::platform {

// What the program found where a data file should be, when it tried to read it.
enum class ReadStatus {
    kRead,          // a regular file; its bytes were read
    kMissing,       // nothing there
    kTooLarge,      // a regular file above the size limit; not read
    kFolder,        // a folder has the file's name
    kNotAFile,      // a named pipe, socket or device: never opened in a way that could block
    kDanglingLink,  // a link that leads nowhere
    kNoAccess,      // there, but the program may not open it for reading
    kFailed,        // the system failed to read it (see the detail)
};

// Reads the whole file at `path` (a link is followed) into memory from `allocate`. The caller owns
// `bytes.data` whenever it is not null, whatever the status. `detail` gets the system's words or,
// for a dangling link, where the link leads.
// Threads: any.
struct FileBytes {
    void* data = nullptr;
    std::size_t size = 0;
};
ReadStatus ReadWholeFile(const std::filesystem::path& path, std::uintmax_t maxSize,
                         void* (*allocate)(std::size_t), FileBytes& bytes, std::string& detail);

// Moves the file at `path` aside to `<name>.unreadable-<local date>-<time>` in the same folder
// (`-2`, `-3`... added when that name is taken; no existing file is ever replaced), so that its
// bytes, permissions and times survive a store writing a new file in its place. A read-only file is
// not moved (the user made it so, and it must not be replaced), nor is a link (the user's own
// arrangement). Gives the new path, or false with the reason.
// Threads: any.
bool MoveAside(const std::filesystem::path& path, std::filesystem::path& movedTo,
               WriteError& error);

// Removes the temporary files `<name>.tmp.<pid>.<n>` that ReplaceFileAtomically left in `folder`
// for one of `names`, when the process <pid> no longer exists (a save killed half-way). Nothing
// else is touched: no other name, no link, no folder, no file of a live process. Gives the paths
// removed.
// Threads: any.
std::vector<std::filesystem::path> RemoveStrayTemporaryFiles(
    const std::filesystem::path& folder, std::span<const std::string_view> names);

// True when the program runs with the administrator's rights (root on Linux).
bool RunsAsAdministrator();

}  // namespace keylume::platform
