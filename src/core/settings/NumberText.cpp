#include "core/settings/NumberText.h"

#include <limits>

namespace keylume::settings_text {

namespace {

struct Scanned {
    bool negative = false;
    bool overflow = false;
    std::uint64_t magnitude = 0;
};

int DigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'Z')
        return c - 'A' + 10;
    return 99;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

Scanned Scan(const char* text, int base) {
    Scanned out;
    if (text == nullptr)
        return out;
    const char* p = text;
    while (IsSpace(*p))
        ++p;
    if (*p == '+' || *p == '-') {
        out.negative = *p == '-';
        ++p;
    }
    // The prefix counts only when a hexadecimal digit follows it; "0x" alone reads as the 0.
    if (base == 16 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X') && DigitValue(p[2]) < 16)
        p += 2;
    constexpr std::uint64_t kLimit = std::uint64_t{1} << 33;
    for (; DigitValue(*p) < base; ++p) {
        if (out.magnitude < kLimit) {
            out.magnitude = out.magnitude * static_cast<std::uint64_t>(base) +
                            static_cast<std::uint64_t>(DigitValue(*p));
        } else {
            out.overflow = true;
        }
    }
    if (out.magnitude >= kLimit)
        out.overflow = true;
    return out;
}

std::int32_t ToSigned(const Scanned& s) {
    constexpr std::uint64_t kMaxPositive = std::numeric_limits<std::int32_t>::max();
    if (s.negative) {
        if (s.overflow || s.magnitude > kMaxPositive + 1) {
            return std::numeric_limits<std::int32_t>::min();
        }
        return static_cast<std::int32_t>(-static_cast<std::int64_t>(s.magnitude));
    }
    if (s.overflow || s.magnitude > kMaxPositive)
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(s.magnitude);
}

std::uint32_t ToUnsigned(const Scanned& s) {
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint32_t>::max();
    if (s.overflow || s.magnitude > kMax)
        return std::numeric_limits<std::uint32_t>::max();
    auto value = static_cast<std::uint32_t>(s.magnitude);
    return s.negative ? static_cast<std::uint32_t>(0u - value) : value;
}

}  // namespace

std::int32_t SignedDecimal(const char* text) {
    return ToSigned(Scan(text, 10));
}
std::uint32_t UnsignedDecimal(const char* text) {
    return ToUnsigned(Scan(text, 10));
}
std::int32_t SignedHex(const char* text) {
    return ToSigned(Scan(text, 16));
}
std::uint32_t UnsignedHex(const char* text) {
    return ToUnsigned(Scan(text, 16));
}

}  // namespace keylume::settings_text
