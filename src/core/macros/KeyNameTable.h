#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace keylume {

struct KeyNameRow {
    std::uint32_t usage;  // usage page << 16 | usage id
    const wchar_t* name;
};

// The 205 keys, buttons and media keys the program names, in table order.
std::span<const KeyNameRow> KeyNameTable();

// The name of the first row with `usage`, or an empty string when the table has none.
std::wstring KeyName(std::uint32_t usage);

}  // namespace keylume
