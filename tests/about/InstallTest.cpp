// The installed folder: program, help page, icon and a desktop entry that starts the program
// from that folder.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>

#include "QtPrinting.h"

#include <gtest/gtest.h>

#include <map>

namespace {

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
        if (!inGroup || equals < 0 || line.startsWith(QLatin1Char('#')))
            continue;
        QString value;
        const QString raw = line.mid(equals + 1);
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (raw[i] == QLatin1Char('\\') && i + 1 < raw.size()) {
                const QChar next = raw[++i];
                value += next == QLatin1Char('s') ? QStringLiteral(" ")
                    : next == QLatin1Char('n')    ? QStringLiteral("\n")
                    : next == QLatin1Char('t')    ? QStringLiteral("\t")
                    : next == QLatin1Char('r')    ? QStringLiteral("\r")
                                                  : QString(next);
            } else {
                value += raw[i];
            }
        }
        entry[line.left(equals).trimmed()] = value;
    }
    return entry;
}

// The words of an Exec value, as a launcher splits them: the doubled percent signs become
// single ones first, then the line is split at blanks outside double quotes.
QStringList execWords(QString exec)
{
    exec.replace(QStringLiteral("%%"), QStringLiteral("%"));
    QStringList words;
    QString word;
    bool quoted = false;
    bool inWord = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (quoted) {
            if (c == QLatin1Char('\\') && i + 1 < exec.size())
                word += exec[++i];
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                word += c;
        } else if (c == QLatin1Char('"')) {
            quoted = inWord = true;
        } else if (c == QLatin1Char(' ')) {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

void expectFolder(const QString &installedAt, const QString &prefix)
{
    const QString program = installedAt + QStringLiteral("/tallyweave");
    EXPECT_TRUE(QFileInfo(program).isExecutable()) << qPrintable(program);
    QFile page(installedAt + QStringLiteral("/tallyweave.htm"));
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_TRUE(page.readAll().contains("<title>Tallyweave Help</title>"));
    EXPECT_TRUE(QFileInfo(installedAt + QStringLiteral("/tallyweave.png")).size() > 0);

    const auto entry = readEntry(installedAt + QStringLiteral("/tallyweave.desktop"));
    ASSERT_FALSE(entry.empty()) << "no desktop entry in " << qPrintable(installedAt);
    EXPECT_EQ(entry.at(QStringLiteral("Type")), QStringLiteral("Application"));
    EXPECT_EQ(entry.at(QStringLiteral("Name")), QStringLiteral("Tallyweave"));
    EXPECT_EQ(execWords(entry.at(QStringLiteral("Exec"))), QStringList{prefix + QStringLiteral("/tallyweave")});
    EXPECT_EQ(entry.at(QStringLiteral("Path")), prefix);
    EXPECT_EQ(entry.at(QStringLiteral("Icon")), prefix + QStringLiteral("/tallyweave.png"));
}

TEST(InstallTest, FolderHoldsProgramHelpPageIconAndEntry)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    // Blanks and characters a launcher treats specially must survive the Exec line. (A
    // backslash cannot be tried: CMake itself cannot install into such a folder.)
    const QString prefixes[] = {
        scratch.filePath(QStringLiteral("plain")),
        scratch.filePath(QStringLiteral("My Programs/Tally \"weave\" $HOME `x` 100%")),
    };
    for (const QString &prefix : prefixes) {
        const Installed result = install(prefix, scratch.path());
        ASSERT_TRUE(result.ok) << qPrintable(result.output);
        expectFolder(prefix, prefix);
    }
}

TEST(InstallTest, RelativePrefixIsWrittenOutInFull)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const Installed result = install(QStringLiteral("relative/Tallyweave"), scratch.path());
    ASSERT_TRUE(result.ok) << qPrintable(result.output);
    const QString prefix = scratch.filePath(QStringLiteral("relative/Tallyweave"));
    expectFolder(prefix, prefix);
}

TEST(InstallTest, StagedInstallNamesTheFinalFolder)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString stage = scratch.filePath(QStringLiteral("stage"));
    const Installed result = install(QStringLiteral("/opt/tallyweave"), scratch.path(), stage);
    ASSERT_TRUE(result.ok) << qPrintable(result.output);
    expectFolder(stage + QStringLiteral("/opt/tallyweave"), QStringLiteral("/opt/tallyweave"));
}

TEST(InstallTest, InstalledProgramStartsFromItsFolder)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString prefix = scratch.filePath(QStringLiteral("Tallyweave"));
    const Installed result = install(prefix, scratch.path());
    ASSERT_TRUE(result.ok) << qPrintable(result.output);

    // Started from elsewhere, as the desktop entry would start it; still running after a
    // moment means it found what it needs.
    QProcess program;
    program.setWorkingDirectory(scratch.path());
    program.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program.setProcessEnvironment(environment);
    program.start(prefix + QStringLiteral("/tallyweave"), {});
    ASSERT_TRUE(program.waitForStarted(10000));
    EXPECT_FALSE(program.waitForFinished(1500)) << qPrintable(QString::fromLocal8Bit(program.readAll()));
    program.kill();
    program.waitForFinished(5000);
}

} // namespace
