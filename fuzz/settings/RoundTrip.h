#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace keylume::fuzz {

// What a store writes, it reads back to the same store: loading the written text and writing it
// again gives the same text.
template <typename Store>
void CheckRoundTrip(const Store& loaded) {
    std::string written = loaded.ToXml();
    Store again;
    if (!again.LoadFromText(written)) {
        std::fprintf(stderr, "written text does not load:\n%s\n", written.c_str());
        std::abort();
    }
    if (again.ToXml() != written) {
        std::fprintf(stderr, "round trip changed the text:\n%s\n---\n%s\n", written.c_str(),
                     again.ToXml().c_str());
        std::abort();
    }
}

inline std::string_view Bytes(const unsigned char* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

}  // namespace keylume::fuzz
