#include <cstdlib>

#include "RoundTrip.h"
#include "core/settings/SideLightStore.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    // No path: a broken input resets the store and its save fails quietly.
    keylume::SideLightStore store;
    store.LoadFromText(keylume::fuzz::Bytes(data, size));
    if (store.Sel() < 0 || store.Sel() > 11)
        std::abort();
    for (int i = 0; i < keylume::SideLightStore::kItemCount; ++i) {
        if (store.Item(i)->Level() > 7)
            std::abort();
    }
    keylume::fuzz::CheckRoundTrip(store);
    return 0;
}
