#include "SqliteDatabase.h"

#include <utility>

SqliteDatabase::~SqliteDatabase()
{
    // A statement left unfinalised would keep a zombie connection; there is no one to tell.
    close();
}

SqliteDatabase::SqliteDatabase(SqliteDatabase &&other) noexcept : m_db(std::exchange(other.m_db, nullptr)) { }

SqliteDatabase &SqliteDatabase::operator=(SqliteDatabase &&other) noexcept
{
    if (this != &other) {
        close();
        m_db = std::exchange(other.m_db, nullptr);
    }
    return *this;
}

SqliteDatabase::Error SqliteDatabase::open(const QString &path, bool create)
{
    close();
    // A link would let one file be written through another's name, or create a file elsewhere.
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX
                      | SQLITE_OPEN_NOFOLLOW;
    const int code = sqlite3_open_v2(path.toUtf8().constData(), &m_db, flags, nullptr);
    if (code == SQLITE_OK)
        return {};
    // SQLite hands out a connection even when it fails, to carry the message.
    Error error = lastError(code);
    if (m_db && sqlite3_extended_errcode(m_db) == SQLITE_CANTOPEN_SYMLINK)
        error.symlink = true;
    close();
    return error;
}

SqliteDatabase::Error SqliteDatabase::close()
{
    if (!m_db)
        return {};
    sqlite3 *db = std::exchange(m_db, nullptr);
    // A statement left prepared keeps the file open behind a closed connection; a file set
    // aside then would have its journal removed by name when that connection finally goes.
    const bool statementsLeft = sqlite3_next_stmt(db, nullptr) != nullptr;
    const int code = sqlite3_close_v2(db);
    if (code == SQLITE_OK && statementsLeft)
        return {SQLITE_BUSY, QStringLiteral("statements are still prepared")};
    return code == SQLITE_OK ? Error{} : Error{code & 0xff, QString::fromUtf8(sqlite3_errstr(code))};
}

SqliteDatabase::Error SqliteDatabase::exec(const char *sql)
{
    if (!m_db)
        return {SQLITE_MISUSE, QStringLiteral("no database is open")};
    const int code = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
    return code == SQLITE_OK ? Error{} : lastError(code);
}

SqliteDatabase::Error SqliteDatabase::lastError(int code) const
{
    if (code == SQLITE_OK)
        return {};
    const char *text = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
    return {code & 0xff, QString::fromUtf8(text)};
}
