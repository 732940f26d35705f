#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace keylume {

// One clickable key of the keyboard picture. Rectangles are in picture pixels relative to the
// control's top-left corner; left and top edges are inside, right and bottom outside.
struct CoordKey {
    std::int32_t id = -1;  // HID usage id
    std::int32_t va = -1;  // HID usage page
    QString name;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
    std::uint32_t color = 0xFFFFFF;
    QString text;  // tooltip set by the owner
    bool checked = false;
    bool hover = false;
    bool pressed = false;

    bool Contains(int x, int y) const { return x >= left && x < right && y >= top && y < bottom; }
};

// Reads a coordinates file: a top-level "positions" element whose children, of any name, are the
// keys in order, with "id" and "va" (decimal, -1 when missing), "name", "color" ("#" and hex
// digits; blanks and "#" removed; `defaultColor` when missing) and "rect" ("left,top,width,height";
// blanks removed; fields that cannot be read stay 0). Numbers are read as far as they fit their
// format. A document that does not parse, or has another root, gives no keys.
std::vector<CoordKey> ReadCoordKeys(const QByteArray& bytes, std::uint32_t defaultColor = 0xFFFFFF);

}  // namespace keylume
