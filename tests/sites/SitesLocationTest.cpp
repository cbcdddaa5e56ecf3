// Where the sites file lives: beside a portable program, in the user's data folder for an
// installed one.
#include "AppInfo.h"
#include "SitesLocation.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

using TestSupport::ReadFile;
using TestSupport::WriteFile;

struct FolderCase {
    const char *name;
    bool writable;
    bool installedTree;
    bool inDataFolder;
};

void PrintTo(const FolderCase &c, std::ostream *out)
{
    *out << c.name;
}

class ChosenFolder : public testing::TestWithParam<FolderCase> { };

TEST_P(ChosenFolder, FollowsTheRule)
{
    SitesLocation::Facts facts;
    facts.programFolder = QStringLiteral("/somewhere/bin");
    facts.dataFolder = QStringLiteral("/home/user/.local/share/tallyweave");
    facts.programFolderWritable = GetParam().writable;
    facts.installedTree = GetParam().installedTree;
    EXPECT_EQ(SitesLocation::Folder(facts), GetParam().inDataFolder ? facts.dataFolder : facts.programFolder);
}

INSTANTIATE_TEST_SUITE_P(Table, ChosenFolder,
                         testing::Values(FolderCase{"PortableFolder", true, false, false},
                                         FolderCase{"ReadOnlyFolder", false, false, true},
                                         FolderCase{"InstalledUnderUsr", false, true, true},
                                         FolderCase{"InstalledWhereTheUserMayWrite", true, true, true}),
                         [](const auto &info) { return std::string(info.param.name); });

class SitesPlace : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch_.isValid());
        ASSERT_TRUE(QDir().mkpath(programFolder()));
        facts_.programFolder = programFolder();
        facts_.dataFolder = scratch_.filePath(QStringLiteral("data/tallyweave"));
        facts_.programFolderWritable = false;
        facts_.installedTree = true;
    }

    QString programFolder() const { return scratch_.filePath(QStringLiteral("usr/bin")); }
    QString beside() const { return programFolder() + QStringLiteral("/Sites.dqx"); }
    QString inData() const { return facts_.dataFolder + QStringLiteral("/Sites.dqx"); }

    QTemporaryDir scratch_;
    SitesLocation::Facts facts_;
};

TEST_F(SitesPlace, FirstStartCopiesTheListBesideTheProgramAndLeavesIt)
{
    const QByteArray list = "1,1\r\n\"Shop\",\"http://shop.example/\",\"me\"\r\n";
    ASSERT_TRUE(WriteFile(beside(), list));
    const QDateTime before = QFileInfo(beside()).lastModified();

    QString error;
    EXPECT_EQ(SitesLocation::Prepare(facts_, &error), facts_.dataFolder);
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    EXPECT_EQ(ReadFile(inData()), list);
    EXPECT_TRUE(QFileInfo(inData()).isWritable());
    EXPECT_EQ(ReadFile(beside()), list);
    EXPECT_EQ(QFileInfo(beside()).lastModified(), before);
    EXPECT_EQ(SitesLocation::FileToRead(facts_), inData());
}

TEST_F(SitesPlace, LaterStartsKeepTheUsersOwnList)
{
    ASSERT_TRUE(WriteFile(beside(), "0\r\n"));
    ASSERT_TRUE(QDir().mkpath(facts_.dataFolder));
    ASSERT_TRUE(WriteFile(inData(), "1,1\r\n\"Mine\",\"http://mine.example/\",\"me\"\r\n"));

    SitesLocation::Prepare(facts_);
    EXPECT_EQ(ReadFile(inData()), "1,1\r\n\"Mine\",\"http://mine.example/\",\"me\"\r\n");
    EXPECT_EQ(SitesLocation::FileToRead(facts_), inData());
}

TEST_F(SitesPlace, ReaderTakesTheListBesideTheProgramUntilTheDataFolderHasOne)
{
    EXPECT_EQ(SitesLocation::FileToRead(facts_), inData()) << "nothing anywhere: the data folder's name";
    ASSERT_TRUE(WriteFile(beside(), "0\r\n"));
    EXPECT_EQ(SitesLocation::FileToRead(facts_), beside());
    EXPECT_FALSE(QFileInfo::exists(facts_.dataFolder)) << "a reader makes nothing";
}

TEST_F(SitesPlace, PortableFolderIsLeftAsItIs)
{
    facts_.programFolderWritable = true;
    facts_.installedTree = false;
    EXPECT_EQ(SitesLocation::Prepare(facts_), programFolder());
    EXPECT_EQ(SitesLocation::FileToRead(facts_), beside());
    EXPECT_FALSE(QFileInfo::exists(facts_.dataFolder));
}

TEST_F(SitesPlace, DataFolderThatCannotBeMadeIsReported)
{
    // A file where the folder should be cannot be turned into a folder, even by root.
    ASSERT_TRUE(WriteFile(scratch_.filePath(QStringLiteral("data")), "x"));
    QString error;
    SitesLocation::Prepare(facts_, &error);
    EXPECT_NE(error.indexOf(QStringLiteral("Cannot make the folder")), -1) << error.toStdString();
}

class Observed : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch_.isValid());
        oldData_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(scratch_.filePath(QStringLiteral("xdg"))));
    }
    void TearDown() override
    {
        AppInfo::OverrideProgramFolder(QString());
        qputenv("XDG_DATA_HOME", oldData_);
    }

    QTemporaryDir scratch_;
    QByteArray oldData_;
};

TEST_F(Observed, InstalledTreeIsKnownByItsDocumentation)
{
    const QString bin = scratch_.filePath(QStringLiteral("prefix/bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    AppInfo::OverrideProgramFolder(bin);
    EXPECT_FALSE(SitesLocation::Observe().installedTree) << "a bin folder alone is no installed tree";

    ASSERT_TRUE(QDir().mkpath(scratch_.filePath(QStringLiteral("prefix/share/doc/tallyweave"))));
    const SitesLocation::Facts facts = SitesLocation::Observe();
    EXPECT_TRUE(facts.installedTree);
    EXPECT_EQ(facts.dataFolder, scratch_.filePath(QStringLiteral("xdg/tallyweave")));
    EXPECT_EQ(SitesLocation::Folder(facts), scratch_.filePath(QStringLiteral("xdg/tallyweave")));

    EXPECT_FALSE(SitesLocation::IsInstalledTree(scratch_.filePath(QStringLiteral("prefix/share"))))
            << "only the program's bin folder counts";
}

TEST_F(Observed, WritableFolderIsPortable)
{
    AppInfo::OverrideProgramFolder(scratch_.path());
    const SitesLocation::Facts facts = SitesLocation::Observe();
    EXPECT_TRUE(facts.programFolderWritable);
    EXPECT_EQ(SitesLocation::Folder(facts), scratch_.path());
}

// Root may write any folder whatever its bits, so there this case is covered by the rule's
// table and by the installed tree (which root's /usr/bin is) instead.
TEST_F(Observed, FolderTheUserMayNotWriteIsNotPortable)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "permission bits do not bind root";
    const QString locked = scratch_.filePath(QStringLiteral("locked"));
    ASSERT_TRUE(QDir().mkpath(locked));
    ASSERT_TRUE(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ExeOwner));
    AppInfo::OverrideProgramFolder(locked);
    const SitesLocation::Facts facts = SitesLocation::Observe();
    QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(facts.programFolderWritable);
    EXPECT_EQ(SitesLocation::Folder(facts), scratch_.filePath(QStringLiteral("xdg/tallyweave")));
}

} // namespace
