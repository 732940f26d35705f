#pragma once

#include <cstdint>

namespace keylume::settings_text {

// Number conversions of the settings files, as the C library's strtol/strtoul do them on a system
// with 32-bit longs: leading white space, an optional sign, for base 16 an optional 0x prefix,
// then digits up to the first character that does not fit; text without digits gives 0. Signed
// values saturate at the int32 range; unsigned values wrap a minus sign modulo 2^32 and saturate
// at 0xFFFFFFFF. A null pointer reads as empty text.
std::int32_t SignedDecimal(const char* text);
std::uint32_t UnsignedDecimal(const char* text);
std::int32_t SignedHex(const char* text);
std::uint32_t UnsignedHex(const char* text);

}  // namespace keylume::settings_text
