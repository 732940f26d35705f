#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace keylume::platform {

// The exchange trace: one line per event, "<ms> <channel> <text>", <ms> being whole milliseconds
// since the process started on the monotonic clock. The built-in devices write every exchange here
// ("hid set-feature 07 ff ...", "sim unplug", "filter event ...", "vkbd ..."), the UI its message
// boxes; end-to-end tests read the file. Off unless a file or a sink is set.
//
// Threads: any; lines are written whole and in the order the calls take the trace's lock.
class Trace {
  public:
    // Starts writing to `path` (truncated). Returns false when it cannot be opened. An empty path
    // stops file output.
    static bool OpenFile(const std::string& path);
    // Also hands every finished line (without the line feed) to `sink`; null removes it.
    static void SetSink(std::function<void(std::string_view line)> sink);
    static bool Enabled();
    static void Write(std::string_view channel, std::string_view text);
};

// Bytes as lowercase two-digit hex separated by single spaces: "07 ff ff 05".
std::string HexBytes(std::span<const std::uint8_t> bytes);

}  // namespace keylume::platform
