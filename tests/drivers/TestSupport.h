#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/Trace.h"

namespace keylume::testing {

// Polls `condition` for up to `timeoutMs`.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 2000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Collects trace lines without their time stamps while it lives.
class TraceCapture {
  public:
    TraceCapture() {
        platform::Trace::SetSink([this](std::string_view line) {
            const auto space = line.find(' ');
            std::lock_guard lock(mutex_);
            lines_.emplace_back(space == std::string_view::npos ? line : line.substr(space + 1));
        });
    }
    ~TraceCapture() { platform::Trace::SetSink(nullptr); }

    std::vector<std::string> Lines(const std::string& prefix = "") const {
        std::lock_guard lock(mutex_);
        std::vector<std::string> out;
        for (const auto& l : lines_) {
            if (l.rfind(prefix, 0) == 0)
                out.push_back(l);
        }
        return out;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

  private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace keylume::testing
