#pragma once

// The few things tests need from the operating system that the standard library lacks: a fresh
// private folder, and setting an environment variable.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include <stdlib.h>

namespace keylume::test {

// Creates a new folder "<temp>/<prefix>-<unique>" and returns its path (empty when it cannot).
inline std::filesystem::path MakeTempFolder(std::string_view prefix) {
    static std::atomic<unsigned> counter{0};
    const auto base = std::filesystem::temp_directory_path();
    const auto seed = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = base / (std::string(prefix) + "-" + std::to_string(seed % 1000000007ULL) +
                                 "-" + std::to_string(counter++));
        std::error_code ec;
        if (std::filesystem::create_directory(candidate, ec))
            return candidate;
    }
    return {};
}

inline void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
    ::_putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

}  // namespace keylume::test
