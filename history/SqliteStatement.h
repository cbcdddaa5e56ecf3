#pragma once

#include "SqliteDatabase.h"

#include <QString>

#include <optional>

// One prepared statement of a SqliteDatabase, reset and reused. Move-only.
class SqliteStatement
{
public:
    SqliteStatement() = default;
    ~SqliteStatement();
    SqliteStatement(SqliteStatement &&other) noexcept;
    SqliteStatement &operator=(SqliteStatement &&other) noexcept;
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    SqliteDatabase::Error prepare(const SqliteDatabase &db, const char *sql);
    bool isPrepared() const { return m_statement != nullptr; }

    // Parameters count from 1, as in SQLite. A failed bind fails the next step().
    void bind(int index, qint64 value);
    void bind(int index, const QString &text);
    // NULL when there is no text.
    void bind(int index, const std::optional<QString> &text);

    // Steps once: true while it delivers a row; at the end (or on failure) false, and error()
    // tells which. Resets itself at the end, so the statement can be bound and run again.
    bool step();
    // Runs a statement that returns no rows.
    SqliteDatabase::Error run();
    SqliteDatabase::Error error() const { return m_error; }
    void reset();

    qint64 integer(int column) const;
    QString text(int column) const;
    bool isNull(int column) const;

private:
    void release();
    void noteBind(int code);

    sqlite3_stmt *m_statement = nullptr;
    sqlite3 *m_db = nullptr;
    SqliteDatabase::Error m_error;
    SqliteDatabase::Error m_bindError;
};
