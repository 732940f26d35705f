#include "platform/Trace.h"

#include <atomic>
#include <cstdio>
#include <mutex>

#include "platform/Clock.h"

namespace keylume::platform {

namespace {

struct TraceState {
    std::mutex mutex;
    std::FILE* file = nullptr;
    std::function<void(std::string_view)> sink;
    std::atomic<bool> enabled{false};

    void UpdateEnabled() { enabled.store(file != nullptr || static_cast<bool>(sink)); }
};

TraceState& State() {
    static TraceState state;
    return state;
}

}  // namespace

bool Trace::OpenFile(const std::string& path) {
    auto& s = State();
    std::lock_guard lock(s.mutex);
    if (s.file != nullptr) {
        std::fclose(s.file);
        s.file = nullptr;
    }
    if (!path.empty())
        s.file = std::fopen(path.c_str(), "w");
    s.UpdateEnabled();
    return path.empty() || s.file != nullptr;
}

void Trace::SetSink(std::function<void(std::string_view line)> sink) {
    auto& s = State();
    std::lock_guard lock(s.mutex);
    s.sink = std::move(sink);
    s.UpdateEnabled();
}

bool Trace::Enabled() {
    return State().enabled.load();
}

void Trace::Write(std::string_view channel, std::string_view text) {
    auto& s = State();
    if (!s.enabled.load())
        return;
    std::lock_guard lock(s.mutex);
    std::string line = std::to_string(ProcessUptimeMs());
    line.push_back(' ');
    line.append(channel);
    line.push_back(' ');
    line.append(text);
    if (s.sink)
        s.sink(line);
    if (s.file != nullptr) {
        line.push_back('\n');
        std::fwrite(line.data(), 1, line.size(), s.file);
        std::fflush(s.file);
    }
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0)
            out.push_back(' ');
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 0x0F]);
    }
    return out;
}

}  // namespace keylume::platform
