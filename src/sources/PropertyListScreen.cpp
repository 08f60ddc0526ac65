#include "sources/PropertyListScreen.h"

#include <QRegularExpression>

#include <vector>

namespace {

bool xmlHasNulCharacter(const QByteArray& bytes) {
    static const QRegularExpression nulEntity("&#(x0*|0+);",
                                              QRegularExpression::CaseInsensitiveOption);
    return bytes.contains('\0') || nulEntity.match(QString::fromLatin1(bytes)).hasMatch();
}

// Counts open elements; quotes are honoured so that a "/>" inside an attribute value cannot
// hide an opening tag.
bool xmlNestsTooDeep(const QByteArray& bytes) {
    const auto skipPast = [&bytes](qsizetype from, const char* end) {
        const qsizetype at = bytes.indexOf(end, from);
        return at < 0 ? bytes.size() : at + qstrlen(end);
    };
    int depth = 0;
    qsizetype i = bytes.indexOf('<');
    while (i >= 0 && i < bytes.size()) {
        const QByteArray ahead = bytes.mid(i, 9);
        if (ahead.startsWith("<?")) {
            i = skipPast(i, "?>");
        } else if (ahead.startsWith("<!--")) {
            i = skipPast(i + 4, "-->");
        } else if (ahead.startsWith("<![CDATA[")) {
            i = skipPast(i, "]]>");
        } else if (ahead.startsWith("<!")) {
            i = skipPast(i, ">");
        } else if (ahead.startsWith("</")) {
            --depth;
            i = skipPast(i, ">");
        } else {
            char quote = 0;
            qsizetype j = i + 1;
            for (; j < bytes.size(); ++j) {
                const char c = bytes[j];
                if (quote) {
                    quote = c == quote ? 0 : quote;
                } else if (c == '"' || c == '\'') {
                    quote = c;
                } else if (c == '>') {
                    break;
                }
            }
            if (j >= bytes.size() || bytes[j - 1] != '/') {
                if (++depth > PropertyListScreen::kMaxDepth) {
                    return true;
                }
            }
            i = j + 1;
        }
        i = bytes.indexOf('<', i);
    }
    return false;
}

quint64 readBigEndian(const QByteArray& bytes, qsizetype offset, int size) {
    quint64 value = 0;
    for (int i = 0; i < size; ++i) {
        value = (value << 8) | static_cast<unsigned char>(bytes[offset + i]);
    }
    return value;
}

// The object table of a binary list, read defensively: every look-up is bounds-checked and
// anything malformed makes the whole list refused.
class BinaryObjects {
public:
    explicit BinaryObjects(const QByteArray& bytes) : m_bytes(bytes) {
        constexpr qsizetype kTrailer = 32;
        if (bytes.size() < 8 + kTrailer) {
            return;
        }
        m_end = bytes.size() - kTrailer;
        m_offsetSize = static_cast<unsigned char>(bytes[m_end + 6]);
        m_refSize = static_cast<unsigned char>(bytes[m_end + 7]);
        m_count = readBigEndian(bytes, m_end + 8, 8);
        m_top = readBigEndian(bytes, m_end + 16, 8);
        m_table = readBigEndian(bytes, m_end + 24, 8);
        m_valid = m_offsetSize >= 1 && m_offsetSize <= 8 && m_refSize >= 1 && m_refSize <= 8 &&
                  m_count <= static_cast<quint64>(bytes.size()) && m_top < m_count &&
                  m_table <= static_cast<quint64>(m_end) &&
                  m_count * m_offsetSize <= static_cast<quint64>(m_end) - m_table;
    }

    bool valid() const { return m_valid; }
    quint64 count() const { return m_count; }
    quint64 top() const { return m_top; }

    // Where object `index` starts, or -1 when outside the object area.
    qsizetype offset(quint64 index) const {
        const quint64 at = readBigEndian(
            m_bytes, static_cast<qsizetype>(m_table + index * m_offsetSize), m_offsetSize);
        return at < static_cast<quint64>(m_end) ? static_cast<qsizetype>(at) : -1;
    }

    // The marker's kind and the object's length, with `start` set past any length integer.
    bool header(qsizetype offset, int& kind, quint64& length, qsizetype& start) const {
        const auto marker = static_cast<unsigned char>(m_bytes[offset]);
        kind = marker >> 4;
        length = marker & 0x0F;
        start = offset + 1;
        if (length != 0x0F || (kind != 0x5 && kind != 0x6 && kind != 0xA && kind != 0xC &&
                               kind != 0xD && kind != 0x4 && kind != 0x8)) {
            return true;
        }
        if (start >= m_end) {
            return false;
        }
        const auto intMarker = static_cast<unsigned char>(m_bytes[start]);
        const int intSize = 1 << (intMarker & 0x0F);
        if ((intMarker >> 4) != 0x1 || intSize > 8 || start + 1 + intSize > m_end) {
            return false;
        }
        length = readBigEndian(m_bytes, start + 1, intSize);
        start += 1 + intSize;
        return true;
    }

    // The objects a container refers to, or false when its references run off the table.
    bool children(qsizetype offset, std::vector<quint64>& out) const {
        out.clear();
        int kind = 0;
        quint64 length = 0;
        qsizetype start = 0;
        if (!header(offset, kind, length, start)) {
            return false;
        }
        if (kind != 0xA && kind != 0xC && kind != 0xD) {
            return true;
        }
        const quint64 refs = kind == 0xD ? length * 2 : length;
        if (length > static_cast<quint64>(m_end) ||
            refs * m_refSize > static_cast<quint64>(m_end - start)) {
            return false;
        }
        for (quint64 i = 0; i < refs; ++i) {
            const quint64 ref =
                readBigEndian(m_bytes, start + static_cast<qsizetype>(i * m_refSize), m_refSize);
            if (ref >= m_count) {
                return false;
            }
            out.push_back(ref);
        }
        return true;
    }

    bool stringHasNul(qsizetype offset) const {
        int kind = 0;
        quint64 length = 0;
        qsizetype start = 0;
        if (!header(offset, kind, length, start)) {
            return true;
        }
        if (kind != 0x5 && kind != 0x6) {
            return false;
        }
        const quint64 byteLength = kind == 0x6 ? length * 2 : length;
        if (length > static_cast<quint64>(m_end) ||
            byteLength > static_cast<quint64>(m_end - start)) {
            return true;
        }
        for (quint64 j = 0; j < length; ++j) {
            const qsizetype at = start + static_cast<qsizetype>(kind == 0x6 ? j * 2 : j);
            if (m_bytes[at] == '\0' && (kind == 0x5 || m_bytes[at + 1] == '\0')) {
                return true;
            }
        }
        return false;
    }

private:
    const QByteArray& m_bytes;
    bool m_valid = false;
    qsizetype m_end = 0;
    int m_offsetSize = 0;
    int m_refSize = 0;
    quint64 m_count = 0;
    quint64 m_top = 0;
    quint64 m_table = 0;
};

// Depth first from the top object with an explicit stack; a reference back to an object still
// being walked (a cycle) refuses the list like one nested too deep.
bool binaryNestsTooDeep(const BinaryObjects& objects) {
    enum : unsigned char { Unseen, Open, Done };
    std::vector<unsigned char> state(objects.count(), Unseen);
    struct Frame {
        std::vector<quint64> children;
        size_t next = 0;
    };
    std::vector<Frame> stack;
    const auto enter = [&](quint64 index) {
        const qsizetype offset = objects.offset(index);
        Frame frame;
        if (offset < 0 || !objects.children(offset, frame.children)) {
            return false;
        }
        state[index] = Open;
        stack.push_back(std::move(frame));
        return static_cast<int>(stack.size()) <= PropertyListScreen::kMaxDepth;
    };
    std::vector<quint64> path;
    path.push_back(objects.top());
    if (!enter(objects.top())) {
        return true;
    }
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next == frame.children.size()) {
            state[path.back()] = Done;
            path.pop_back();
            stack.pop_back();
            continue;
        }
        const quint64 child = frame.children[frame.next++];
        if (state[child] == Open) {
            return true;
        }
        if (state[child] == Unseen) {
            path.push_back(child);
            if (!enter(child)) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

namespace PropertyListScreen {

bool acceptsXml(const QByteArray& bytes) {
    return !xmlHasNulCharacter(bytes) && !xmlNestsTooDeep(bytes);
}

bool acceptsBinary(const QByteArray& bytes) {
    const BinaryObjects objects(bytes);
    if (!objects.valid()) {
        return false;
    }
    for (quint64 i = 0; i < objects.count(); ++i) {
        const qsizetype offset = objects.offset(i);
        if (offset < 0 || objects.stringHasNul(offset)) {
            return false;
        }
    }
    return !binaryNestsTooDeep(objects);
}

}  // namespace PropertyListScreen
