#include "ui/XmlNode.h"

#include <QXmlStreamReader>

namespace keylume::ui {

bool XmlNode::HasAttribute(const QString& name) const {
    for (const auto& a : attributes) {
        if (a.first.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QString XmlNode::Attribute(const QString& name, const QString& fallback) const {
    for (const auto& a : attributes) {
        if (a.first.compare(name, Qt::CaseInsensitive) == 0)
            return a.second;
    }
    return fallback;
}

int XmlNode::IntAttribute(const QString& name, int fallback) const {
    bool ok = false;
    int v = ParseInt(Attribute(name), &ok);
    return ok ? v : fallback;
}

const XmlNode* XmlNode::Child(const QString& childTag) const {
    for (const auto& c : children) {
        if (c->tag.compare(childTag, Qt::CaseInsensitive) == 0)
            return c.get();
    }
    return nullptr;
}

std::unique_ptr<XmlNode> ParseXml(const QByteArray& bytes, QString* error, int maxDepth) {
    QXmlStreamReader reader(bytes);
    std::unique_ptr<XmlNode> root;
    std::vector<XmlNode*> stack;
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return nullptr;
    };
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
            case QXmlStreamReader::StartElement: {
                if (static_cast<int>(stack.size()) >= maxDepth)
                    return fail("nested too deeply");
                auto node = std::make_unique<XmlNode>();
                node->tag = reader.name().toString();
                for (const auto& a : reader.attributes()) {
                    node->attributes.append({a.qualifiedName().toString(), a.value().toString()});
                }
                XmlNode* raw = node.get();
                if (stack.empty()) {
                    if (root)
                        return fail("more than one root element");
                    root = std::move(node);
                } else {
                    stack.back()->children.push_back(std::move(node));
                }
                stack.push_back(raw);
                break;
            }
            case QXmlStreamReader::EndElement:
                if (!stack.empty())
                    stack.pop_back();
                break;
            case QXmlStreamReader::Characters:
                if (!stack.empty())
                    stack.back()->text += reader.text();
                break;
            default:
                break;
        }
    }
    if (reader.hasError())
        return fail(reader.errorString());
    if (!root)
        return fail("no root element");
    return root;
}

int ParseInt(const QString& text, bool* ok) {
    QString t = text.trimmed();
    bool negative = t.startsWith('-');
    if (negative)
        t = t.mid(1);
    bool good = false;
    qulonglong magnitude = t.startsWith("0x", Qt::CaseInsensitive) ? t.mid(2).toULongLong(&good, 16)
                                                                   : t.toULongLong(&good, 10);
    // Values that do not fit 32 bits wrap like the unsigned reading a C runtime would give.
    good = good && !t.startsWith('+') && !t.startsWith('-');
    qint64 v = static_cast<qint64>(magnitude & 0xFFFFFFFFull);
    if (negative)
        v = -v;
    if (ok)
        *ok = good;
    return good ? static_cast<int>(static_cast<quint32>(v)) : 0;
}

}  // namespace keylume::ui
