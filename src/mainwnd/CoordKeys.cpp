#include "mainwnd/CoordKeys.h"

#include <algorithm>
#include <limits>

#include "ui/XmlNode.h"

namespace keylume {

namespace {

QString WithoutBlanks(QString s) {
    s.removeIf([](QChar c) { return c.isSpace(); });
    return s;
}

// A signed decimal read from `pos` the way the C runtime reads one: optional sign, then digits;
// false when there is no digit. Values beyond 32 bits saturate.
bool ReadDecimal(const QString& s, qsizetype& pos, std::int64_t& out) {
    qsizetype i = pos;
    while (i < s.size() && s[i].isSpace())
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    std::int64_t v = 0;
    qsizetype digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') {
        v = std::min<std::int64_t>(v * 10 + (s[i].unicode() - '0'), 1ll << 40);
        ++i;
        ++digits;
    }
    if (digits == 0)
        return false;
    out = std::clamp<std::int64_t>(negative ? -v : v, std::numeric_limits<std::int32_t>::min(),
                                   std::numeric_limits<std::int32_t>::max());
    pos = i;
    return true;
}

std::int32_t LeadingInt(const QString& s, std::int32_t missing, bool present) {
    if (!present)
        return missing;
    qsizetype pos = 0;
    std::int64_t v = 0;
    return ReadDecimal(s, pos, v) ? static_cast<std::int32_t>(v) : 0;
}

std::uint32_t LeadingHex(const QString& s) {
    std::uint64_t v = 0;
    for (QChar c : s) {
        int d = c.isDigit()              ? c.unicode() - '0'
                : (c >= 'a' && c <= 'f') ? c.unicode() - 'a' + 10
                : (c >= 'A' && c <= 'F') ? c.unicode() - 'A' + 10
                                         : -1;
        if (d < 0)
            break;
        v = std::min<std::uint64_t>(v * 16 + static_cast<std::uint64_t>(d), 0xFFFFFFFFull);
    }
    return static_cast<std::uint32_t>(v);
}

std::int32_t Sum(std::int64_t a, std::int64_t b) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        a + b, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

}  // namespace

std::vector<CoordKey> ReadCoordKeys(const QByteArray& bytes, std::uint32_t defaultColor) {
    std::vector<CoordKey> keys;
    auto root = ui::ParseXml(bytes);
    if (!root || root->tag != QLatin1String("positions"))
        return keys;
    for (const auto& element : root->children) {
        CoordKey key;
        key.id = LeadingInt(element->Attribute("id"), -1, element->HasAttribute("id"));
        key.va = LeadingInt(element->Attribute("va"), -1, element->HasAttribute("va"));
        key.name = element->Attribute("name");
        key.color = defaultColor;
        if (element->HasAttribute("color")) {
            key.color = LeadingHex(WithoutBlanks(element->Attribute("color")).remove('#'));
        }
        if (element->HasAttribute("rect")) {
            QString r = WithoutBlanks(element->Attribute("rect"));
            std::int64_t f[4] = {0, 0, 0, 0};
            qsizetype pos = 0;
            for (int i = 0; i < 4; ++i) {
                if (i > 0) {
                    if (pos >= r.size() || r[pos] != ',')
                        break;
                    ++pos;
                }
                if (!ReadDecimal(r, pos, f[i]))
                    break;
            }
            key.left = static_cast<std::int32_t>(f[0]);
            key.top = static_cast<std::int32_t>(f[1]);
            key.right = Sum(f[0], f[2]);
            key.bottom = Sum(f[1], f[3]);
        }
        keys.push_back(key);
    }
    return keys;
}

}  // namespace keylume
