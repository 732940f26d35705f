#include "RoundTrip.h"
#include "core/settings/KeyTable.h"
#include "core/settings/RecordStore.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    keylume::RecordStore store;
    if (!store.LoadFromText(keylume::fuzz::Bytes(data, size)))
        return 0;
    auto list = store.Snapshot();
    keylume::MakeKeyTable(*list);
    // A list without records writes a file without elements, which is no document to read.
    if (!list->empty())
        keylume::fuzz::CheckRoundTrip(store);
    return 0;
}
