#include "Module1.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <string>

namespace {

// Root writes into any folder whatever its permission bits say. For as long as this lives,
// the test gives up that power, so that a read-only folder refuses it as it refuses a user.
class WithoutPermissionOverride
{
public:
    WithoutPermissionOverride()
    {
        if (syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct reduced[2];
        std::memcpy(reduced, saved_, sizeof saved_);
        reduced[CAP_DAC_OVERRIDE / 32].effective &= ~(1u << (CAP_DAC_OVERRIDE % 32));
        changed_ = syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutPermissionOverride()
    {
        if (changed_)
            syscall(SYS_capset, &header_, saved_);
    }
    WithoutPermissionOverride(const WithoutPermissionOverride &) = delete;
    WithoutPermissionOverride &operator=(const WithoutPermissionOverride &) = delete;

private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool changed_ = false;
};

// Each test works in a folder of its own, which is the current directory, as the program's
// folder is at run time.
class Module1Files : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        previous_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir_.path()));
        Module1::Reset();
    }
    void TearDown() override
    {
        QDir::setCurrent(previous_);
        Module1::Reset();
    }

    QString path(const char *name) const { return dir_.filePath(QString::fromLatin1(name)); }

    void write(const char *name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray read(const char *name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir_;
    QString previous_;
};

TEST_F(Module1Files, MissingFileIsSilentAndEmpty)
{
    EXPECT_TRUE(Module1::LoadSites().isEmpty());
    EXPECT_EQ(Module1::SiteCount(), 0);
    EXPECT_EQ(Module1::CurrRecord, 0);
    EXPECT_FALSE(QFile::exists(path("Sites.dqx")));
}

TEST_F(Module1Files, SaveThenLoadRestoresTheListWithTheFirstCurrent)
{
    Module1::Sites = {{"a", "http://a.example/", "x"}, {"b", "http://b.example/", "y"}};
    Module1::CurrRecord = 2;
    EXPECT_TRUE(Module1::SaveSites().isEmpty());
    EXPECT_TRUE(read("Sites.dqx").startsWith("2,1\r\n"));
    Module1::Reset();
    EXPECT_TRUE(Module1::LoadSites().isEmpty());
    EXPECT_EQ(Module1::SiteCount(), 2);
    EXPECT_EQ(Module1::CurrRecord, 1);
    EXPECT_EQ(Module1::Site(2).Url, QStringLiteral("http://b.example/"));
}

TEST_F(Module1Files, ReadOnlyFileIsReportedAndLeftAsItWas)
{
    write("Sites.dqx", "0,1\r\n");
    QFile::setPermissions(path("Sites.dqx"), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    Module1::Sites = {{"a", "b", "c"}};
    const QString error = Module1::SaveSites();
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot write %1:").arg(QDir::toNativeSeparators(path("Sites.dqx")))))
            << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("read-only")));
    EXPECT_EQ(read("Sites.dqx"), QByteArray("0,1\r\n"));
    EXPECT_EQ(Module1::SiteCount(), 1);
}

TEST_F(Module1Files, UnwritableTargetNamesTheFileAndReason)
{
    // A folder where the file should be: the write cannot succeed whoever runs the test.
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("Sites.dqx")));
    const QString error = Module1::SaveSites();
    EXPECT_TRUE(error.startsWith(QStringLiteral("Cannot write %1: ").arg(QDir::toNativeSeparators(path("Sites.dqx")))))
            << error.toStdString();
    EXPECT_GT(error.size(), QStringLiteral("Cannot write %1: ").arg(path("Sites.dqx")).size());
    EXPECT_TRUE(QFileInfo(path("Sites.dqx")).isDir());
}

TEST_F(Module1Files, DamagedFileIsKeptAsBackupBeforeTheFirstWrite)
{
    const QByteArray damaged("3,1\r\n\"Only\"\r\n\"http://only.example/\"\r\n\"only\"\r\n");
    write("Sites.dqx", damaged);
    const QString error = Module1::LoadSites();
    EXPECT_TRUE(error.contains(QStringLiteral("site 2 of 3"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("Sites.dqx.bak")));
    EXPECT_EQ(Module1::SiteCount(), 3);
    EXPECT_EQ(Module1::Site(1).Name, QStringLiteral("Only"));
    EXPECT_FALSE(QFile::exists(path("Sites.dqx.bak")));

    EXPECT_TRUE(Module1::SaveSites().isEmpty());
    EXPECT_EQ(read("Sites.dqx.bak"), damaged);
    EXPECT_TRUE(read("Sites.dqx").startsWith("3,1\r\n"));

    // Only the first write of the run keeps the damaged file; later ones leave the backup be.
    Module1::Sites.removeLast();
    EXPECT_TRUE(Module1::SaveSites().isEmpty());
    EXPECT_EQ(read("Sites.dqx.bak"), damaged);
    EXPECT_TRUE(read("Sites.dqx").startsWith("2,1\r\n"));
}

TEST_F(Module1Files, OutOfRangeCountKeepsNoRecordsAndTheFile)
{
    write("Sites.dqx", "40000,1\r\n");
    const QString error = Module1::LoadSites();
    EXPECT_TRUE(error.contains(QStringLiteral("0 to 32767"))) << error.toStdString();
    EXPECT_EQ(Module1::SiteCount(), 0);
    EXPECT_TRUE(Module1::SaveSites().isEmpty());
    EXPECT_EQ(read("Sites.dqx.bak"), QByteArray("40000,1\r\n"));
    EXPECT_EQ(read("Sites.dqx"), QByteArray("0,1\r\n"));
}

TEST_F(Module1Files, RecordsAfterTheCountAreReportedAndKeptAsBackup)
{
    const QByteArray original("1,1\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n\"f\"\r\n");
    write("Sites.dqx", original);
    const QString error = Module1::LoadSites();
    EXPECT_TRUE(error.contains(QStringLiteral("1 more site"))) << error.toStdString();
    EXPECT_TRUE(error.contains(QStringLiteral("Sites.dqx.bak"))) << error.toStdString();
    EXPECT_EQ(Module1::SiteCount(), 1);
    EXPECT_EQ(Module1::CurrRecord, 1);
    EXPECT_TRUE(Module1::SaveSites().isEmpty());
    EXPECT_EQ(read("Sites.dqx.bak"), original);
    EXPECT_EQ(read("Sites.dqx"), QByteArray("1,1\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n"));
}

TEST_F(Module1Files, MissingCurrentRecordLeavesTheFirstCurrent)
{
    write("Sites.dqx", "2,x\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n\"d\"\r\n\"e\"\r\n\"f\"\r\n");
    EXPECT_TRUE(Module1::LoadSites().contains(QStringLiteral("current site")));
    EXPECT_EQ(Module1::SiteCount(), 2);
    EXPECT_EQ(Module1::CurrRecord, 1);
}

// A file too large for the memory the program may use: a sparse file of zeros, read by a
// child process whose address space is bounded a little above what it already uses.
struct TooLarge {
    const char *name;
    QByteArray head;      // before the zeros
    QByteArray tail;      // after them
    qint64 zeros;
    qint64 roomAboveUse;  // address space the child may add to what it uses
};

class Module1TooLarge : public Module1Files, public testing::WithParamInterface<TooLarge> { };

qint64 addressSpaceInUse()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmSize:", 0) == 0)
            return std::stoll(line.substr(7)) * 1024;
    return -1;
}

// In the child: loads with the address space bounded, writes the message and the site count,
// and exits with 0 when the message is the damaged-file one.
[[noreturn]] void loadWithRoom(qint64 room)
{
    const rlim_t bound = rlim_t(addressSpaceInUse() + room);
    const rlimit limit{bound, bound};
    setrlimit(RLIMIT_AS, &limit);
    const QString error = Module1::LoadSites();
    std::cerr << error.toStdString() << "|count " << Module1::SiteCount() << '\n';
    std::_Exit(error.contains(QStringLiteral("Sites.dqx.bak")) ? 0 : 1);
}

TEST_P(Module1TooLarge, IsReportedAsDamagedAndLeftAsItIs)
{
    const TooLarge &c = GetParam();
    {
        QFile file(path("Sites.dqx"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.head);
        ASSERT_TRUE(file.resize(c.head.size() + c.zeros));
        ASSERT_TRUE(file.seek(c.head.size() + c.zeros));
        file.write(c.tail);
    }
    const qint64 size = QFileInfo(path("Sites.dqx")).size();

    EXPECT_EXIT(loadWithRoom(c.roomAboveUse), testing::ExitedWithCode(0), "not enough memory.*\\|count 0");
    EXPECT_EQ(QFileInfo(path("Sites.dqx")).size(), size);
    EXPECT_FALSE(QFile::exists(path("Sites.dqx.bak")));
}

constexpr qint64 MiB = 1024 * 1024;

INSTANTIATE_TEST_SUITE_P(
        Files, Module1TooLarge,
        testing::Values(TooLarge{"ZerosBeyondTheRoomToRead", {}, {}, 1024 * MiB, 256 * MiB},
                        // Read whole, but its one field takes twice the room once decoded.
                        TooLarge{"FieldBeyondTheRoomToDecode", "1,1\r\n\"", "\"\r\n\"u\"\r\n\"t\"\r\n", 256 * MiB, 450 * MiB}),
        [](const testing::TestParamInfo<TooLarge> &info) { return std::string(info.param.name); });

TEST_F(Module1Files, SavingANewListCreatesTheFile)
{
    EXPECT_TRUE(Module1::LoadSites().isEmpty());
    EXPECT_TRUE(Module1::SaveSites().isEmpty());
    EXPECT_EQ(read("Sites.dqx"), QByteArray("0,1\r\n"));
    EXPECT_FALSE(QFile::exists(path("Sites.dqx.bak")));
}

// A folder the user may not write, holding a sites file he may.
class Module1ReadOnlyFolder : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        folder_ = dir_.filePath(QStringLiteral("shared"));
        ASSERT_TRUE(QDir().mkdir(folder_));
        QFile file(QDir(folder_).filePath(QStringLiteral("Sites.dqx")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("1,1\r\n\"old\"\r\n\"http://old.example/\"\r\n\"old\"\r\n");
        file.close();
        ASSERT_EQ(chmod(QFile::encodeName(folder_).constData(), 0555), 0);
        previous_ = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(folder_));
        Module1::Reset();
    }
    void TearDown() override
    {
        QDir::setCurrent(previous_);
        chmod(QFile::encodeName(folder_).constData(), 0755);
        Module1::Reset();
    }

    // Whether the folder really refuses a new file to this process as it now is.
    bool refusesNewFiles() const
    {
        QFile probe(QDir(folder_).filePath(QStringLiteral("probe")));
        if (!probe.open(QIODevice::WriteOnly))
            return true;
        probe.remove();
        return false;
    }

    QByteArray sitesFile() const
    {
        QFile file(QDir(folder_).filePath(QStringLiteral("Sites.dqx")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir_;
    QString folder_;
    QString previous_;
};

TEST_F(Module1ReadOnlyFolder, SavingWritesTheFileInPlace)
{
    const WithoutPermissionOverride asAUser;
    if (!refusesNewFiles())
        GTEST_SKIP() << "this file system lets the test create files in a read-only folder";
    ASSERT_TRUE(Module1::LoadSites().isEmpty());
    Module1::Site(1).Name = QStringLiteral("new name, longer than the old");
    Module1::Sites.append({QStringLiteral("b"), QStringLiteral("http://b.example/"), QStringLiteral("t")});
    EXPECT_EQ(Module1::SaveSites(), QString());
    EXPECT_EQ(sitesFile(), QByteArray("2,1\r\n\"new name, longer than the old\"\r\n\"http://old.example/\"\r\n\"old\"\r\n"
                                      "\"b\"\r\n\"http://b.example/\"\r\n\"t\"\r\n"));
    EXPECT_EQ(QDir(folder_).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("Sites.dqx")});
}

TEST_F(Module1Files, InAWritableFolderTheFileIsReplacedWholeNotRewritten)
{
    write("Sites.dqx", "0,1\r\n");
    // A second name for the old file still shows the old bytes after the save: the new list
    // went to a new file that took the old one's place in a single step.
    ASSERT_EQ(link(QFile::encodeName(path("Sites.dqx")).constData(), QFile::encodeName(path("old")).constData()), 0);
    Module1::Sites = {{"a", "b", "c"}};
    EXPECT_TRUE(Module1::SaveSites().isEmpty());
    EXPECT_EQ(read("old"), QByteArray("0,1\r\n"));
    EXPECT_EQ(read("Sites.dqx"), QByteArray("1,1\r\n\"a\"\r\n\"b\"\r\n\"c\"\r\n"));
}

} // namespace
