#include <cstdlib>

#include "RoundTrip.h"
#include "core/settings/AppConfig.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    keylume::AppConfig config;
    if (config.LoadFromText(keylume::fuzz::Bytes(data, size))) {
        for (const auto& key : config.funkeys) {
            if (key.name.empty())
                std::abort();  // nameless entries are skipped
        }
    }
    return 0;
}
