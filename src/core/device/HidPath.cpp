#include "core/device/HidPath.h"

#include <regex>
#include <string>

namespace keylume {

namespace {

// The repetitions of the revision, interface and collection digits stand outside their groups,
// so groups 4, 6 and 8 capture only the last character.
const std::regex& HidPathPattern() {
    static const std::regex pattern(
        R"(hid#vid_([\da-zA-Z]{4})&pid_([\da-zA-Z]{4})(&rev_([\da-zA-Z]){4})?(&mi_([\da-zA-Z]){2})?(&col([\da-zA-Z]){2})?)",
        std::regex::ECMAScript);
    return pattern;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Hexadecimal up to the first character that is not a hex digit ("1g2c" is 1, "zz" is 0), as the
// C library's conversion reads it.
std::int32_t ReadHex(std::string_view text) {
    std::int32_t value = 0;
    for (const char c : text) {
        const int digit = HexDigit(c);
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return value;
}

std::int32_t GroupValue(const std::match_results<std::string_view::const_iterator>& m,
                        std::size_t group) {
    if (!m[group].matched)
        return -1;
    return ReadHex(std::string_view(&*m[group].first, static_cast<std::size_t>(m[group].length())));
}

}  // namespace

HidPathFields ParseHidPath(std::string_view path) {
    HidPathFields fields;
    std::match_results<std::string_view::const_iterator> m;
    if (!std::regex_search(path.begin(), path.end(), m, HidPathPattern()))
        return fields;
    fields.matched = true;
    fields.vendorId = GroupValue(m, 1);
    fields.productId = GroupValue(m, 2);
    fields.interfaceNumber = GroupValue(m, 6);
    fields.collectionNumber = GroupValue(m, 8);
    return fields;
}

}  // namespace keylume
