#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace keylume::platform {

// Why a file could not be written, in kinds a user can be told about in plain words.
enum class WriteProblem {
    kNone,
    kFolderNotWritable,  // no right to create files in the folder
    kFolderMissing,
    kReadOnlyDisk,
    kDiskFull,
    kFolderInPlace,  // a folder has the file's name
    kReadOnlyFile,
    kForeignLink,        // a link that is not ours, or that leads to a file that is not ours
    kLinkTargetMissing,  // a link that leads nowhere
    kIsLink,             // a link that is not moved aside
    kOther,              // see the text
};

struct WriteError {
    WriteProblem problem = WriteProblem::kNone;
    // The system's own words ("create temporary file: Read-only file system"), for traces.
    std::string text;
};

// Replaces the file at `path` with `contents` so that a crash, a kill or a full disk at any moment
// leaves either the whole old file or the whole new one: the bytes go to a temporary file
// `<path>.tmp.<pid>.<n>` in the same folder, are flushed to the disk, and the temporary file is
// renamed over `path`, after which the folder itself is flushed.
// A link at `path` is followed only when every link on the way and the file it leads to belong to
// the user the program runs as (a link that leads nowhere is refused): otherwise a program with
// more rights than the folder's owner could be made to replace any file. A file that may not be
// written (a read-only file) is not replaced, and an existing file keeps its permissions, and its
// owner when the program runs as the administrator.
// Threads: any; two writers of one path at the same time each leave a whole file.
// Failure: false with the reason in `error`; the old file is then untouched and no temporary file
// is left behind. Only when the final flush of the folder fails is the new file already in place.
bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view contents,
                           WriteError& error);
bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view contents,
                           std::string& error);

}  // namespace keylume::platform
