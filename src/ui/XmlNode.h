#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <memory>
#include <vector>

namespace keylume::ui {

// A small read-only XML tree for the toolkit's resources (layouts, menus, tables, translations).
// Built once from bytes; attribute order is kept because layouts apply attributes in file order.
class XmlNode {
  public:
    QString tag;
    QList<QPair<QString, QString>> attributes;
    QString text;  // concatenated character data directly inside this element
    std::vector<std::unique_ptr<XmlNode>> children;

    bool HasAttribute(const QString& name) const;
    // Value of the attribute `name` (compared without case), or `fallback`.
    QString Attribute(const QString& name, const QString& fallback = {}) const;
    int IntAttribute(const QString& name, int fallback = 0) const;
    // First child element with this tag (compared without case), or null.
    const XmlNode* Child(const QString& childTag) const;
};

// Parses a whole document. Returns the root element, or null (with `error` set) when the bytes are
// not well-formed XML. Documents nested deeper than `maxDepth` are refused so that hostile input
// cannot exhaust the stack of the recursive builders that walk the tree.
std::unique_ptr<XmlNode> ParseXml(const QByteArray& bytes, QString* error = nullptr,
                                  int maxDepth = 64);

// Decimal or 0x-hexadecimal integer; `ok` false when the text is not one.
int ParseInt(const QString& text, bool* ok = nullptr);

}  // namespace keylume::ui
