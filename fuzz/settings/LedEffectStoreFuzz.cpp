#include <cstdlib>

#include "RoundTrip.h"
#include "core/settings/LedEffectStore.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    // No path: a broken input resets the store and its save fails quietly.
    keylume::LedEffectStore store;
    store.LoadFromText(keylume::fuzz::Bytes(data, size));
    if (store.Sel() < 0 || store.Sel() > 20)
        std::abort();
    for (int i = 0; i < keylume::LedEffectStore::kItemCount; ++i) {
        auto item = store.Item(i);
        if (!item || item->speed > 2 || item->brightness > 13 || item->deriction > 1)
            std::abort();
    }
    keylume::fuzz::CheckRoundTrip(store);
    return 0;
}
