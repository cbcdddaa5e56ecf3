// The owner classes of SQLite's C library report every failure, binding and closing included.
#include "SqliteDatabase.h"
#include "SqliteStatement.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

class SqliteBinding : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_FALSE(db_.open(dir_.filePath(QStringLiteral("t.db")), true));
        ASSERT_FALSE(db_.exec("CREATE TABLE t(a INTEGER, b TEXT)"));
    }

    QTemporaryDir dir_;
    SqliteDatabase db_;
};

TEST_F(SqliteBinding, ABindThatFailsFailsTheStatementInsteadOfWritingNull)
{
    SqliteStatement insert;
    ASSERT_FALSE(insert.prepare(db_, "INSERT INTO t(a, b) VALUES(?1, ?2)"));
    insert.bind(1, qint64(7));
    insert.bind(3, QStringLiteral("no such parameter"));
    const SqliteDatabase::Error error = insert.run();
    EXPECT_EQ(error.code, SQLITE_RANGE);
    EXPECT_EQ(error.message.toStdString(), "column index out of range");

    SqliteStatement count;
    ASSERT_FALSE(count.prepare(db_, "SELECT count(*) FROM t"));
    ASSERT_TRUE(count.step());
    EXPECT_EQ(count.integer(0), 0);
    count.reset();

    // The failure is spent: bound again, the statement runs.
    insert.bind(1, qint64(8));
    insert.bind(2, QStringLiteral("eight"));
    EXPECT_FALSE(insert.run());
    ASSERT_TRUE(count.step());
    EXPECT_EQ(count.integer(0), 1);
}

TEST_F(SqliteBinding, ClosingWithAStatementStillPreparedIsReported)
{
    SqliteStatement open;
    ASSERT_FALSE(open.prepare(db_, "SELECT a FROM t"));
    const SqliteDatabase::Error error = db_.close();
    EXPECT_EQ(error.code, SQLITE_BUSY);
    EXPECT_FALSE(db_.isOpen());
}

TEST_F(SqliteBinding, ClosingWithEveryStatementFinishedIsClean)
{
    {
        SqliteStatement done;
        ASSERT_FALSE(done.prepare(db_, "SELECT a FROM t"));
    }
    EXPECT_FALSE(db_.close());
}

TEST_F(SqliteBinding, ALinkIsNotOpened)
{
    const QString target = dir_.filePath(QStringLiteral("t.db"));
    const QString link = dir_.filePath(QStringLiteral("link.db"));
    ASSERT_TRUE(QFile::link(target, link));
    SqliteDatabase other;
    const SqliteDatabase::Error error = other.open(link, true);
    EXPECT_EQ(error.code, SQLITE_CANTOPEN);
    EXPECT_TRUE(error.symlink);
}

} // namespace
