// The installed tree: programs in bin/, the menu entry, icons, manual pages and documentation
// where a desktop and `man` look for them.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include "QtPrinting.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using TestSupport::ReadFile;

struct Installed {
    bool ok = false;
    QString output;
};

Installed install(const QString &prefix, const QString &workingFolder, const QString &destDir = {})
{
    QProcess cmake;
    cmake.setWorkingDirectory(workingFolder);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DESTDIR"));
    if (!destDir.isEmpty())
        environment.insert(QStringLiteral("DESTDIR"), destDir);
    cmake.setProcessEnvironment(environment);
    cmake.setProcessChannelMode(QProcess::MergedChannels);
    cmake.start(QStringLiteral(CMAKE_COMMAND_PATH),
                {QStringLiteral("--install"), QStringLiteral(BUILD_FOLDER), QStringLiteral("--prefix"), prefix});
    const bool finished = cmake.waitForFinished(120000);
    Installed result;
    result.output = QString::fromLocal8Bit(cmake.readAll());
    result.ok = finished && cmake.exitStatus() == QProcess::NormalExit && cmake.exitCode() == 0;
    return result;
}

// The [Desktop Entry] group, its values with the text escapes undone.
std::map<QString, QString> readEntry(const QString &path)
{
    std::map<QString, QString> entry;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return entry;
    bool inGroup = false;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (inGroup && equals > 0 && !line.startsWith(QLatin1Char('#')))
            entry[line.left(equals).trimmed()] = line.mid(equals + 1);
    }
    return entry;
}

void expectTree(const QString &prefix)
{
    for (const char *program : {"bin/tallyweave", "bin/tallyweave-check"})
        EXPECT_TRUE(QFileInfo(prefix + QLatin1Char('/') + QLatin1StringView(program)).isExecutable()) << program;
    EXPECT_TRUE(ReadFile(prefix + QStringLiteral("/share/doc/tallyweave/tallyweave.htm")).contains("<title>Tallyweave Help</title>"));
    EXPECT_TRUE(ReadFile(prefix + QStringLiteral("/share/doc/tallyweave/README.md")).startsWith("# Tallyweave"));
    EXPECT_TRUE(ReadFile(prefix + QStringLiteral("/share/man/man1/tallyweave-check.1")).startsWith(".TH TALLYWEAVE-CHECK 1"));
    EXPECT_TRUE(ReadFile(prefix + QStringLiteral("/share/man/man1/tallyweave.1")).startsWith(".TH TALLYWEAVE 1"));
    for (const char *size : {"16x16", "32x32", "48x48", "64x64", "128x128", "256x256"})
        EXPECT_TRUE(ReadFile(prefix + QStringLiteral("/share/icons/hicolor/%1/apps/tallyweave.png").arg(QLatin1StringView(size)))
                            .startsWith("\x89PNG"))
                << size;
    EXPECT_TRUE(ReadFile(prefix + QStringLiteral("/share/icons/hicolor/scalable/apps/tallyweave.svg")).contains("<svg"));
    // Nothing left in the prefix itself, as the old flat folder had it; lib holds only the
    // daily check's systemd user units.
    EXPECT_EQ(QDir(prefix).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("bin"), QStringLiteral("lib"), QStringLiteral("share")}));
    EXPECT_EQ(QDir(prefix + QStringLiteral("/lib/systemd/user")).entryList(QDir::Files),
              (QStringList{QStringLiteral("tallyweave-check.service"), QStringLiteral("tallyweave-check.timer")}));

    // On the PATH the entry needs no folder: a launcher finds the program and the icon by name.
    const auto entry = readEntry(prefix + QStringLiteral("/share/applications/tallyweave.desktop"));
    ASSERT_FALSE(entry.empty());
    EXPECT_EQ(entry.at(QStringLiteral("Type")), QStringLiteral("Application"));
    EXPECT_EQ(entry.at(QStringLiteral("Name")), QStringLiteral("Tallyweave"));
    EXPECT_EQ(entry.at(QStringLiteral("Exec")), QStringLiteral("tallyweave"));
    EXPECT_EQ(entry.at(QStringLiteral("Icon")), QStringLiteral("tallyweave"));
    EXPECT_EQ(entry.count(QStringLiteral("Path")), 0u);
}

TEST(InstallTest, PrefixHoldsTheStandardTree)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString prefix = scratch.filePath(QStringLiteral("My Programs/Tally weave"));
    const Installed result = install(prefix, scratch.path());
    ASSERT_TRUE(result.ok) << qPrintable(result.output);
    expectTree(prefix);
    // The daily check names the program where it was installed, blanks and all.
    EXPECT_TRUE(ReadFile(prefix + QStringLiteral("/lib/systemd/user/tallyweave-check.service"))
                        .contains("ExecStart=\"" + QFile::encodeName(prefix) + "/bin/tallyweave-check\" "));
}

TEST(InstallTest, StagedInstallPutsTheTreeUnderTheStage)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString stage = scratch.filePath(QStringLiteral("stage"));
    const Installed result = install(QStringLiteral("/usr"), scratch.path(), stage);
    ASSERT_TRUE(result.ok) << qPrintable(result.output);
    expectTree(stage + QStringLiteral("/usr"));
    EXPECT_TRUE(ReadFile(stage + QStringLiteral("/usr/lib/systemd/user/tallyweave-check.service"))
                        .contains("ExecStart=\"/usr/bin/tallyweave-check\" "));
}

// Started from elsewhere, as a launcher would start it; still running after a moment means it
// found what it needs. The list goes to the user's data folder, not into bin/.
TEST(InstallTest, InstalledProgramStartsAndKeepsItsListInTheDataFolder)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString prefix = scratch.filePath(QStringLiteral("Tallyweave"));
    const Installed result = install(prefix, scratch.path());
    ASSERT_TRUE(result.ok) << qPrintable(result.output);

    QProcess program;
    program.setWorkingDirectory(scratch.path());
    program.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("HOME"), scratch.filePath(QStringLiteral("home")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), scratch.filePath(QStringLiteral("data")));
    program.setProcessEnvironment(environment);
    program.start(prefix + QStringLiteral("/bin/tallyweave"), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    EXPECT_FALSE(program.waitForFinished(1500)) << qPrintable(QString::fromLocal8Bit(program.readAll()));
    program.terminate();
    program.waitForFinished(5000);
    EXPECT_TRUE(QFileInfo(scratch.filePath(QStringLiteral("data/tallyweave"))).isDir());
    EXPECT_FALSE(QFileInfo::exists(prefix + QStringLiteral("/bin/Sites.dqx")));
}

} // namespace
