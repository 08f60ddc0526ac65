#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

using plist_t = void*;

// An owned property list read from binary or XML bytes, with typed look-ups that refuse a
// value of the wrong type instead of guessing.
class PropertyList {
public:
    // Absent when the bytes are neither a binary nor an XML property list.
    static std::optional<PropertyList> fromBytes(const QByteArray& bytes);

    plist_t root() const { return m_root.get(); }

    static bool isDictionary(plist_t node);
    static bool isArrayOfDictionaries(plist_t node);
    static plist_t member(plist_t dictionary, const char* key);  // null when absent
    static QStringList keys(plist_t dictionary);                 // in stored order
    static std::optional<QString> text(plist_t node);
    static std::optional<qint64> integer(plist_t node);
    static std::optional<double> real(plist_t node);

private:
    struct Free {
        void operator()(void* node) const;
    };
    explicit PropertyList(plist_t root) : m_root(root) {}
    std::unique_ptr<void, Free> m_root;
};
