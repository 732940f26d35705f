#pragma once

#include <chrono>
#include <thread>

namespace keylume::testing {

// Polls `predicate` every millisecond until it holds or `limit` has passed; returns its last
// value. For conditions that another thread brings about.
template <class Predicate>
bool Eventually(Predicate predicate, std::chrono::milliseconds limit = std::chrono::seconds(3)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        if (predicate())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return predicate();
}

}  // namespace keylume::testing
