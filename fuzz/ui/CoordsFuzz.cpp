// The keyboard coordinates reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "mainwnd/CoordKeys.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    auto keys = keylume::ReadCoordKeys(bytes);
    for (const auto& k : keys) {
        // A hit test on every key's corner must agree with the rectangle it reports.
        if (k.right > k.left && k.bottom > k.top && !k.Contains(k.left, k.top))
            __builtin_trap();
    }
    return 0;
}
