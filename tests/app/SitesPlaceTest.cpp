// The window of an installed program keeps its list in the user's data folder.
#include "WindowFixture.h"

#include "SitesFile.h"

#include <QFileInfo>

namespace {

class InstalledWindow : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        bin_ = path(QStringLiteral("usr/bin"));
        ASSERT_TRUE(QDir().mkpath(bin_));
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("usr/share/doc/tallyweave"))));
        AppInfo::OverrideProgramFolder(bin_);
        oldData_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(path(QStringLiteral("data"))));
    }

    void TearDown() override
    {
        qputenv("XDG_DATA_HOME", oldData_);
        WindowTest::TearDown();
    }

    QByteArray read(const QString &file) const
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

    QString bin_;
    QByteArray oldData_;
};

TEST_F(InstalledWindow, CopiesTheOldListOnceAndSavesInTheDataFolder)
{
    const QByteArray old = SitesFile::Encode({{QStringLiteral("Old"), QStringLiteral("http://old.example/"), QStringLiteral("me")}});
    {
        QFile beside(bin_ + QStringLiteral("/Sites.dqx"));
        ASSERT_TRUE(beside.open(QIODevice::WriteOnly));
        beside.write(old);
    }
    start();
    EXPECT_EQ(text("txtName"), QStringLiteral("Old"));
    EXPECT_TRUE(feedback.messages.isEmpty());

    find<QLineEdit>("txtName")->clear();
    type("txtName", QStringLiteral("Renamed"));
    window->close();

    const QString inData = path(QStringLiteral("data/tallyweave/Sites.dqx"));
    EXPECT_TRUE(read(inData).contains("\"Renamed\""));
    EXPECT_EQ(read(bin_ + QStringLiteral("/Sites.dqx")), old) << "the list beside the program is never changed";
}

TEST_F(InstalledWindow, StartsEmptyWithoutAnyList)
{
    start();
    EXPECT_EQ(find<QListWidget>("lstNames")->count(), 0);
    EXPECT_TRUE(feedback.messages.isEmpty());
    window->close();
    EXPECT_FALSE(QFileInfo::exists(bin_ + QStringLiteral("/Sites.dqx")));
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("data/tallyweave"))).isDir());
}

} // namespace
