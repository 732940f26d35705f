#include "core/settings/NumberText.h"

#include <cstdint>

#include <gtest/gtest.h>

namespace keylume::settings_text {
namespace {

enum class Kind { SignedDec, UnsignedDec, SignedHex, UnsignedHex };

struct Case {
    Kind kind;
    const char* text;
    std::int64_t expected;

    friend void PrintTo(const Case& c, std::ostream* os) { *os << (c.text ? c.text : "(null)"); }
};

std::int64_t Convert(Kind kind, const char* text) {
    switch (kind) {
        case Kind::SignedDec:
            return SignedDecimal(text);
        case Kind::UnsignedDec:
            return UnsignedDecimal(text);
        case Kind::SignedHex:
            return SignedHex(text);
        case Kind::UnsignedHex:
            return UnsignedHex(text);
    }
    return -999;
}

class NumberTextTest : public ::testing::TestWithParam<Case> {};

TEST_P(NumberTextTest, ConvertsLikeTheCLibraryWith32BitLongs) {
    const Case& c = GetParam();
    EXPECT_EQ(Convert(c.kind, c.text), c.expected) << '"' << (c.text ? c.text : "(null)") << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NumberTextTest,
    ::testing::Values(
        // Hexadecimal with and without prefix, blanks, sign, stop at the first non-digit.
        Case{Kind::SignedHex, "0x1A2C", 0x1A2C}, Case{Kind::SignedHex, "1a2c", 0x1A2C},
        Case{Kind::SignedHex, "  0X2d3e", 0x2D3E}, Case{Kind::SignedHex, "-0x10", -16},
        Case{Kind::SignedHex, "12g4", 0x12}, Case{Kind::SignedHex, "0x", 0},
        Case{Kind::SignedHex, "0xg", 0}, Case{Kind::SignedHex, "zz", 0},
        Case{Kind::SignedHex, "", 0}, Case{Kind::SignedHex, nullptr, 0},
        Case{Kind::SignedHex, "FFFFFFFFFF", INT32_MAX},
        Case{Kind::SignedHex, "-FFFFFFFFFF", INT32_MIN},
        Case{Kind::SignedHex, "80000000", INT32_MAX}, Case{Kind::UnsignedHex, "70004", 0x70004},
        Case{Kind::UnsignedHex, "0x70004", 0x70004},
        Case{Kind::UnsignedHex, "FFFFFFFF", 0xFFFFFFFF},
        Case{Kind::UnsignedHex, "1FFFFFFFF", 0xFFFFFFFF}, Case{Kind::UnsignedHex, "-1", 0xFFFFFFFF},
        Case{Kind::UnsignedHex, "x1", 0},
        // Decimal: a 0x prefix reads as 0, a minus sign wraps for unsigned values.
        Case{Kind::UnsignedDec, "458756", 458756}, Case{Kind::UnsignedDec, "0x70004", 0},
        Case{Kind::UnsignedDec, "-1", 0xFFFFFFFF}, Case{Kind::UnsignedDec, " +12abc", 12},
        Case{Kind::UnsignedDec, "4294967295", 0xFFFFFFFF},
        Case{Kind::UnsignedDec, "4294967296", 0xFFFFFFFF},
        Case{Kind::UnsignedDec, "99999999999999999999999999", 0xFFFFFFFF},
        Case{Kind::UnsignedDec, "abc", 0}, Case{Kind::SignedDec, "-5", -5},
        Case{Kind::SignedDec, "2147483647", INT32_MAX},
        Case{Kind::SignedDec, "2147483648", INT32_MAX},
        Case{Kind::SignedDec, "-2147483648", INT32_MIN},
        Case{Kind::SignedDec, "-2147483649", INT32_MIN}, Case{Kind::SignedDec, "\t7:8", 7},
        Case{Kind::SignedDec, "- 5", 0}));

}  // namespace
}  // namespace keylume::settings_text
