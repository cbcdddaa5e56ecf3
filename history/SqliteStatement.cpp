#include "SqliteStatement.h"

#include <utility>

SqliteStatement::~SqliteStatement()
{
    release();
}

SqliteStatement::SqliteStatement(SqliteStatement &&other) noexcept
    : m_statement(std::exchange(other.m_statement, nullptr)), m_db(std::exchange(other.m_db, nullptr)),
      m_error(std::move(other.m_error)), m_bindError(std::move(other.m_bindError))
{
}

SqliteStatement &SqliteStatement::operator=(SqliteStatement &&other) noexcept
{
    if (this != &other) {
        release();
        m_statement = std::exchange(other.m_statement, nullptr);
        m_db = std::exchange(other.m_db, nullptr);
        m_error = std::move(other.m_error);
        m_bindError = std::move(other.m_bindError);
    }
    return *this;
}

void SqliteStatement::release()
{
    if (m_statement)
        sqlite3_finalize(std::exchange(m_statement, nullptr));
    m_db = nullptr;
    m_bindError = {};
}

SqliteDatabase::Error SqliteStatement::prepare(const SqliteDatabase &db, const char *sql)
{
    release();
    if (!db.handle())
        return {SQLITE_MISUSE, QStringLiteral("no database is open")};
    m_db = db.handle();
    const int code = sqlite3_prepare_v3(m_db, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr);
    return code == SQLITE_OK ? SqliteDatabase::Error{} : db.lastError(code);
}

void SqliteStatement::noteBind(int code)
{
    if (code != SQLITE_OK && !m_bindError)
        m_bindError = {code & 0xff, QString::fromUtf8(sqlite3_errstr(code))};
}

void SqliteStatement::bind(int index, qint64 value)
{
    noteBind(sqlite3_bind_int64(m_statement, index, value));
}

void SqliteStatement::bind(int index, const QString &text)
{
    const QByteArray bytes = text.toUtf8();
    noteBind(sqlite3_bind_text64(m_statement, index, bytes.constData(), sqlite3_uint64(bytes.size()), SQLITE_TRANSIENT,
                                 SQLITE_UTF8));
}

void SqliteStatement::bind(int index, const std::optional<QString> &text)
{
    if (text)
        bind(index, *text);
    else
        noteBind(sqlite3_bind_null(m_statement, index));
}

bool SqliteStatement::step()
{
    if (m_bindError) {
        // Run with a parameter missing, the statement would write NULL or match nothing.
        m_error = std::exchange(m_bindError, {});
        reset();
        return false;
    }
    const int code = sqlite3_step(m_statement);
    if (code == SQLITE_ROW)
        return true;
    m_error = code == SQLITE_DONE ? SqliteDatabase::Error{}
                                  : SqliteDatabase::Error{code & 0xff, QString::fromUtf8(sqlite3_errmsg(m_db))};
    reset();
    return false;
}

SqliteDatabase::Error SqliteStatement::run()
{
    while (step()) { }
    return m_error;
}

void SqliteStatement::reset()
{
    sqlite3_reset(m_statement);
    sqlite3_clear_bindings(m_statement);
    m_bindError = {};
}

qint64 SqliteStatement::integer(int column) const
{
    return sqlite3_column_int64(m_statement, column);
}

QString SqliteStatement::text(int column) const
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
    return QString::fromUtf8(bytes, sqlite3_column_bytes(m_statement, column));
}

bool SqliteStatement::isNull(int column) const
{
    return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}
