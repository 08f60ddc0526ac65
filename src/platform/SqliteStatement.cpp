#include "platform/SqliteStatement.h"

#include <sqlite3.h>

SqliteStatement::SqliteStatement(sqlite3* db, const char* sql) {
    sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr);
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_statement);
}

std::optional<qint64> SqliteStatement::singleInteger(sqlite3* db, const char* sql) {
    SqliteStatement statement(db, sql);
    return statement.ok() && statement.step() ? std::optional(statement.integer(0)) : std::nullopt;
}

SqliteStatement& SqliteStatement::bind(int index, qint64 value) {
    sqlite3_bind_int64(m_statement, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, const QByteArray& value) {
    sqlite3_bind_blob(m_statement, index, value.constData(), static_cast<int>(value.size()),
                      SQLITE_TRANSIENT);
    return *this;
}

bool SqliteStatement::step() {
    m_status = sqlite3_step(m_statement);
    return m_status == SQLITE_ROW;
}

bool SqliteStatement::finished() const {
    return m_status == SQLITE_DONE;
}

bool SqliteStatement::run() {
    const int result = sqlite3_step(m_statement);
    sqlite3_reset(m_statement);
    return result == SQLITE_DONE;
}

qint64 SqliteStatement::integer(int column) const {
    return sqlite3_column_int64(m_statement, column);
}

QByteArray SqliteStatement::bytes(int column) const {
    const auto* data = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
    return QByteArray(data, sqlite3_column_bytes(m_statement, column));
}
