#pragma once

#include <QString>

#include <sqlite3.h>

// Owns one SQLite connection. Move-only; every call answers with an error value instead of
// throwing, so a history that fails never stops a check.
class SqliteDatabase
{
public:
    struct Error {
        int code = SQLITE_OK; // SQLite's primary result code; SQLITE_OK for none
        QString message;
        bool symlink = false; // the file was refused because its name is a symbolic link
        explicit operator bool() const { return code != SQLITE_OK; }
    };

    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(SqliteDatabase &&other) noexcept;
    SqliteDatabase &operator=(SqliteDatabase &&other) noexcept;
    SqliteDatabase(const SqliteDatabase &) = delete;
    SqliteDatabase &operator=(const SqliteDatabase &) = delete;

    // Opens (and creates when `create`) the file at `path`; any previous connection is closed.
    Error open(const QString &path, bool create);
    // Statements still prepared keep the connection until they are finalised.
    Error close();
    bool isOpen() const { return m_db != nullptr; }

    // Runs one or more statements that return no rows.
    Error exec(const char *sql);
    // The result code and message of the connection's last failure, as an error value.
    Error lastError(int code) const;

    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};
