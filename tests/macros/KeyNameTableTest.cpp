#include <gtest/gtest.h>

#include <set>

#include "core/macros/KeyNameTable.h"

namespace keylume {
namespace {

TEST(KeyNameTable, HasItsRowsInOrderAndNamesTheFirstMatch) {
    const auto table = KeyNameTable();
    ASSERT_EQ(table.size(), 205u);
    EXPECT_EQ(table.front().usage, 0x10081u);
    EXPECT_EQ(table.back().usage, 0x10005u);

    struct Case {
        std::uint32_t usage;
        const wchar_t* name;
    };
    const Case cases[] = {
        {0x70004, L"A"},
        {0x70031, L"\\"},
        {0x70035, L"`"},
        {0x70085, L"Keypad , "},  // the trailing blank is part of the name
        {0x70088, L"Intl'2"},
        {0x7009E, L"Return"},
        {0xC00E9, L"Volume Up"},
        {0x70080, L"Volume Up"},
        {0xC022A, L"WWW Favorites"},
        {0x10001, L"Mouse Left"},
        {0x10083, L"System Wake"},
        {0x700E7, L"Right GUI"},
        {0x700A5, L""},  // a gap in the table
        {0x0, L""},
        {0xFFFFFFFF, L""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(KeyName(c.usage), c.name) << std::hex << c.usage;
}

}  // namespace
}  // namespace keylume
