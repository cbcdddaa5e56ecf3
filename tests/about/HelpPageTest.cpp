#include "AboutFixture.h"

#include "AppInfo.h"
#include "HelpPage.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextDocument>

namespace {

class HelpPageTest : public AboutFixture
{
protected:
    void TearDown() override
    {
        AppInfo::OverrideProgramFolder(QString());
        AboutFixture::TearDown();
    }
};

TEST_F(HelpPageTest, OpensThePageBesideTheProgram)
{
    const QString folders[] = {
        QString(), // the test program's own folder
        scratch.filePath(QStringLiteral("Program Files/Tallyweave")),
        QStringLiteral("/opt/tally weave #2"),
    };
    QWidget owner;
    for (const QString &folder : folders) {
        AppInfo::OverrideProgramFolder(folder);
        const QString expected = (folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder)
            + QStringLiteral("/tallyweave.htm");
        opened.clear();

        OpenHelpPage(&owner);

        ASSERT_EQ(opened.size(), 1);
        EXPECT_EQ(opened[0].owner, &owner);
        EXPECT_TRUE(opened[0].target.isLocalFile());
        EXPECT_EQ(opened[0].target.toLocalFile(), expected) << "asked for even when no page is there";
        EXPECT_EQ(HelpPagePath(), expected);
    }
    EXPECT_TRUE(feedback.messages.isEmpty());
    EXPECT_TRUE(started.isEmpty());
}

TEST_F(HelpPageTest, InstalledProgramFindsThePageWithTheDocumentation)
{
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString bin = scratch.filePath(QStringLiteral("usr/bin"));
    const QString doc = scratch.filePath(QStringLiteral("usr/share/doc/tallyweave"));
    ASSERT_TRUE(QDir().mkpath(bin));
    ASSERT_TRUE(QDir().mkpath(doc));
    QFile page(doc + QStringLiteral("/tallyweave.htm"));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.close();
    AppInfo::OverrideProgramFolder(bin);
    EXPECT_EQ(HelpPagePath(), doc + QStringLiteral("/tallyweave.htm"));

    // A page beside the program (a build folder, a portable copy) comes first.
    QFile beside(bin + QStringLiteral("/tallyweave.htm"));
    ASSERT_TRUE(beside.open(QIODevice::WriteOnly));
    beside.close();
    EXPECT_EQ(HelpPagePath(), bin + QStringLiteral("/tallyweave.htm"));
}

QString read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

TEST(HelpPageFile, BuildPutsItBesideTheProgram)
{
    const QString source = read(QStringLiteral(HELP_PAGE_SOURCE));
    ASSERT_FALSE(source.isEmpty());
    EXPECT_EQ(read(QStringLiteral(PROGRAM_FOLDER "/tallyweave.htm")), source);
}

TEST(HelpPageFile, NeedsNothingFromOutside)
{
    const QString page = read(QStringLiteral(HELP_PAGE_SOURCE));
    ASSERT_FALSE(page.isEmpty());
    const QRegularExpression outside(
        QStringLiteral(R"(<\s*(link|script|img|iframe|object|embed)\b|\bsrc\s*=|@import|url\s*\(|href\s*=\s*(?!["']?#))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = outside.match(page);
    EXPECT_FALSE(match.hasMatch()) << qPrintable(match.captured());
    EXPECT_TRUE(page.contains(QStringLiteral("<style>")));
}

TEST(HelpPageFile, ExplainsEveryResultLineAndTheRest)
{
    QTextDocument document;
    document.setHtml(read(QStringLiteral(HELP_PAGE_SOURCE)));
    const QString text = document.toPlainText();
    ASSERT_FALSE(text.isEmpty());
    for (const char *words : {"  --> OK", "  --> Search Term Not Found", "  --> Page Not Found",
                              "  --> Skipped", "Sites.dqx", "Finished . . .", "Skip",
                              "Start Scan", "Add Sites", "Back to Scan", "Double-click", "Enter",
                              "File > Partners...", "Check All", "Check Selected", "Stop", "Show", "Filter", "Export..."})
        EXPECT_TRUE(text.contains(QString::fromLatin1(words))) << words;
    EXPECT_EQ(document.metaInformation(QTextDocument::DocumentTitle), QStringLiteral("Tallyweave Help"));
}

TEST_F(HelpPageTest, WithoutABrowserTheUserIsToldWhereThePageIs)
{
    browserAnswers = false;
    AppInfo::OverrideProgramFolder(scratch.filePath(QStringLiteral("<b>Tally</b>")));
    QWidget owner;
    OpenHelpPage(&owner);
    ASSERT_EQ(opened.size(), 1);
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_TRUE(feedback.messages[0].contains(QStringLiteral("could not be opened")));
    EXPECT_TRUE(feedback.messages[0].contains(HelpPagePath())) << feedback.messages[0].toStdString();
}

TEST(HelpPageFile, TellsThatExitSavesAndWhatTheTerminalCheckerIsFor)
{
    QTextDocument document;
    document.setHtml(read(QStringLiteral(HELP_PAGE_SOURCE)));
    const QString text = document.toPlainText().simplified();
    EXPECT_FALSE(text.contains(QStringLiteral("without saving"), Qt::CaseInsensitive));
    EXPECT_TRUE(text.contains(QStringLiteral("File > Exit saves like closing the window")));
    EXPECT_TRUE(text.contains(QStringLiteral("tallyweave-check is a second program")));
    for (const char *words : {"--format text|json|csv", "exit status", "Sites.dqx", "F1", "Ctrl+Q"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(words))) << words;
}

} // namespace
