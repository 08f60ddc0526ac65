#include "platform/TagValueCodec.h"

namespace TagValueCodec {
namespace {

QByteArray trimBlanks(const QByteArray& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t')) {
        ++begin;
    }
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t')) {
        --end;
    }
    return text.mid(begin, end - begin);
}

}  // namespace

QList<QByteArray> decode(const QByteArray& value) {
    QList<QByteArray> names;
    QByteArray current;
    auto finish = [&] {
        QByteArray name = trimBlanks(current);
        if (!name.isEmpty()) {
            names.append(std::move(name));
        }
        current.clear();
    };
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\' && i + 1 < value.size() && (value[i + 1] == '\\' || value[i + 1] == ',')) {
            current += value[++i];
        } else if (c == ',') {
            finish();
        } else {
            current += c;
        }
    }
    finish();
    return names;
}

QByteArray encode(const QList<QByteArray>& names) {
    QByteArray value;
    for (const QByteArray& name : names) {
        if (!value.isEmpty()) {
            value += ',';
        }
        for (const char c : name) {
            if (c == '\\' || c == ',') {
                value += '\\';
            }
            value += c;
        }
    }
    return value;
}

}  // namespace TagValueCodec
