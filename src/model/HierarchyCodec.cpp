#include "model/HierarchyCodec.h"

#include "model/TagNode.h"
#include "model/TagTree.h"

#include <nlohmann/json.hpp>

#include <limits>

namespace HierarchyCodec {
namespace {

using Json = nlohmann::json;

void writeString(QByteArray& out, const QString& text) {
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '/':
                out += "\\/";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += QByteArray("\\u00") +
                           QByteArray::number(static_cast<int>(c), 16).rightJustified(2, '0');
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void writeIndent(QByteArray& out, int depth) {
    out += QByteArray(depth * 2, ' ');
}

void writeNodes(QByteArray& out, const QList<TagNode>& nodes, int depth);

void writeNode(QByteArray& out, const TagNode& node, int depth) {
    // Members in sorted key order; absent optionals are left out, never written as null.
    out += "{\n";
    writeIndent(out, depth + 1);
    out += "\"children\" : ";
    writeNodes(out, node.children, depth + 1);
    out += ",\n";
    writeIndent(out, depth + 1);
    out += "\"colorIndex\" : " + QByteArray::number(node.colorIndex);
    if (node.customColorHex) {
        out += ",\n";
        writeIndent(out, depth + 1);
        out += "\"customColorHex\" : ";
        writeString(out, *node.customColorHex);
    }
    if (node.customIconData) {
        out += ",\n";
        writeIndent(out, depth + 1);
        out += "\"customIconData\" : ";
        writeString(out, QString::fromLatin1(node.customIconData->toBase64()));
    }
    if (node.iconName) {
        out += ",\n";
        writeIndent(out, depth + 1);
        out += "\"iconName\" : ";
        writeString(out, *node.iconName);
    }
    out += ",\n";
    writeIndent(out, depth + 1);
    out += "\"id\" : ";
    writeString(out, tagIdText(node.id));
    out += ",\n";
    writeIndent(out, depth + 1);
    out += "\"name\" : ";
    writeString(out, node.name);
    out += '\n';
    writeIndent(out, depth);
    out += '}';
}

void writeNodes(QByteArray& out, const QList<TagNode>& nodes, int depth) {
    // An empty array keeps the opening and closing lines apart ("[", blank line, "]"), the
    // layout earlier versions of the file were written with.
    out += "[\n";
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        if (i > 0) {
            out += ",\n";
        }
        writeIndent(out, depth + 1);
        writeNode(out, nodes[i], depth + 1);
    }
    out += '\n';
    writeIndent(out, depth);
    out += ']';
}

std::optional<QString> optionalString(const Json& object, const char* key, bool* ok) {
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return std::nullopt;
    }
    if (!it->is_string()) {
        *ok = false;
        return std::nullopt;
    }
    return QString::fromStdString(it->get<std::string>());
}

std::optional<QByteArray> decodeBase64(const QString& text) {
    const QByteArray ascii = text.toLatin1();
    if (ascii.size() % 4 != 0 || text.size() != ascii.size()) {
        return std::nullopt;
    }
    auto result = QByteArray::fromBase64Encoding(ascii, QByteArray::AbortOnBase64DecodingErrors);
    if (!result) {
        return std::nullopt;
    }
    return *result;
}

std::optional<TagNode> readNode(const Json& object, int depth);

std::optional<QList<TagNode>> readNodes(const Json& array, int depth) {
    if (!array.is_array() || depth > TagTree::kMaxLevels) {
        return std::nullopt;
    }
    QList<TagNode> nodes;
    nodes.reserve(static_cast<qsizetype>(array.size()));
    for (const Json& element : array) {
        std::optional<TagNode> node = readNode(element, depth);
        if (!node) {
            return std::nullopt;
        }
        nodes.append(std::move(*node));
    }
    return nodes;
}

std::optional<TagNode> readNode(const Json& object, int depth) {
    if (!object.is_object()) {
        return std::nullopt;
    }
    const auto id = object.find("id");
    const auto name = object.find("name");
    const auto colorIndex = object.find("colorIndex");
    const auto children = object.find("children");
    if (id == object.end() || name == object.end() || colorIndex == object.end() ||
        children == object.end() || !id->is_string() || !name->is_string() ||
        !colorIndex->is_number_integer()) {
        return std::nullopt;
    }
    if (colorIndex->is_number_unsigned() &&
        colorIndex->get<std::uint64_t>() >
            static_cast<std::uint64_t>(std::numeric_limits<qint64>::max())) {
        return std::nullopt;
    }
    TagNode node;
    const auto uuid = parseTagId(QString::fromStdString(id->get<std::string>()));
    if (!uuid) {
        return std::nullopt;
    }
    node.id = *uuid;
    node.name = QString::fromStdString(name->get<std::string>());
    node.colorIndex = colorIndex->get<qint64>();
    bool ok = true;
    node.iconName = optionalString(object, "iconName", &ok);
    node.customColorHex = optionalString(object, "customColorHex", &ok);
    if (const auto data = optionalString(object, "customIconData", &ok)) {
        node.customIconData = decodeBase64(*data);
        ok = ok && node.customIconData.has_value();
    }
    if (!ok) {
        return std::nullopt;
    }
    auto childNodes = readNodes(*children, depth + 1);
    if (!childNodes) {
        return std::nullopt;
    }
    node.children = std::move(*childNodes);
    return node;
}

}  // namespace

QByteArray encode(const QList<TagNode>& forest) {
    QByteArray out;
    writeNodes(out, forest, 0);
    return out;
}

std::optional<QList<TagNode>> decode(const QByteArray& bytes) {
    // The SAX parser behind parse() keeps its own stack, but the DOM it builds is destroyed
    // recursively, so nesting is bounded before a DOM exists.
    int depth = 0;
    int maxDepth = 0;
    bool inString = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
        } else if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            maxDepth = std::max(maxDepth, ++depth);
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    if (maxDepth > 2 * TagTree::kMaxLevels + 4) {
        return std::nullopt;
    }
    const Json root = Json::parse(bytes.constBegin(), bytes.constEnd(), nullptr, false);
    if (root.is_discarded()) {
        return std::nullopt;
    }
    return readNodes(root, 0);
}

}  // namespace HierarchyCodec
