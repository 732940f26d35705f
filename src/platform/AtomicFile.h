#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace keylume::platform {

// Replaces the file at `path` with `contents` so that a crash, a kill or a full disk at any moment
// leaves either the whole old file or the whole new one: the bytes go to a temporary file in the
// same folder, are flushed to the disk, and the temporary file is renamed over `path`, after which
// the folder itself is flushed. A link at `path` is followed; a file that may not be written (a
// read-only file) is not replaced, and an existing file keeps its permissions.
// Threads: any; two writers of one path at the same time each leave a whole file.
// Failure: false with the reason in `error`; the old file is then untouched and no temporary file
// is left behind. Only when the final flush of the folder fails is the new file already in place.
bool ReplaceFileAtomically(const std::filesystem::path& path, std::string_view contents,
                           std::string& error);

}  // namespace keylume::platform
