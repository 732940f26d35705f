#include "RoundTrip.h"
#include "core/settings/MacroStore.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    keylume::MacroStore store;
    if (store.LoadFromText(keylume::fuzz::Bytes(data, size)))
        keylume::fuzz::CheckRoundTrip(store);
    return 0;
}
