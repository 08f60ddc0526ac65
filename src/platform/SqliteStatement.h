#pragma once

#include <QByteArray>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;

// A prepared SQLite statement, finalized when it goes; what the journal and the index's store
// read and write their databases with.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // The first column of the first row of `sql`; absent when it cannot be read.
    static std::optional<qint64> singleInteger(sqlite3* db, const char* sql);

    bool ok() const { return m_statement != nullptr; }
    SqliteStatement& bind(int index, qint64 value);
    SqliteStatement& bind(int index, const QByteArray& value);
    // True while rows come; after the last one, `finished` tells a clean end from an error.
    bool step();
    bool finished() const;
    // Runs a statement that returns no rows, and resets it for the next binding.
    bool run();
    qint64 integer(int column) const;
    QByteArray bytes(int column) const;

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_status = 0;
};
