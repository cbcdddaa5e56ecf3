#include "CsvRead.h"
#include "FileChooser.h"
#include "ScanFixture.h"

#include <QMenu>

namespace {

// Import and export through the File menu, with the dialogs answered by the test.
class SitesTransfer : public Scan
{
protected:
    void SetUp() override
    {
        Scan::SetUp();
        FileChooser::SetSink([this](QWidget *, FileChooser::Purpose purpose, const QString &text) {
            if (purpose == FileChooser::Purpose::Confirm) {
                questions << text;
                return confirm ? QStringLiteral("yes") : QString();
            }
            return chosen;
        });
    }

    void TearDown() override
    {
        FileChooser::SetSink({});
        Scan::TearDown();
    }

    void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    void importFile(const QByteArray &bytes)
    {
        writeFile(QStringLiteral("partners.csv"), bytes);
        chosen = path(QStringLiteral("partners.csv"));
        find<QAction>("mnuImport")->trigger();
    }

    CsvRows exported(const char *action, const char *file)
    {
        chosen = path(QString::fromLatin1(file));
        find<QAction>(action)->trigger();
        return readCsv(chosen);
    }

    const QByteArray listed = sites({{"Old", "http://old.example/", "me"}});
    QString chosen;
    bool confirm = true;
    QStringList questions;
};

TEST_F(SitesTransfer, TheNewItemsFollowTheFileMenusOwnWithAccessKeysOfTheirOwn)
{
    startWith({});
    QStringList captions;
    for (const QAction *action : find<QMenu>("mnuFile")->actions())
        if (!action->isSeparator())
            captions << action->text();
    ASSERT_EQ(captions, (QStringList{"&Add Sites", "&Start Scan", "&Exit", "&Import Sites...", "E&xport Sites...", "Export &Results...",
                                     "&Partners..."}));
    QSet<QChar> keys;
    for (const QString &caption : captions)
        keys.insert(caption[caption.indexOf(u'&') + 1].toLower());
    EXPECT_EQ(keys.size(), captions.size());
}

TEST_F(SitesTransfer, ImportShowsWhatItAddsAndSkipsAndSavesAfterConfirmation)
{
    writeSites(listed);
    start();
    importFile("name;address;term\nAlpha;http://a.example/;my.example\nOld again;http://old.example/;me\nNobody;;x\n"
               "Beta;http://b.example/;me\n");
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].startsWith(QStringLiteral("2 site(s) will be added, 2 row(s) skipped.\n"))) << questions[0].toStdString();
    EXPECT_TRUE(questions[0].contains(QStringLiteral("Line 3 Old again: already in the list")));
    EXPECT_TRUE(questions[0].contains(QStringLiteral("Line 4 Nobody: no address")));
    EXPECT_EQ(items("lstNames"), (QStringList{"Old", "Alpha", "Beta"}));
    EXPECT_EQ(sitesFile(), sites({{"Old", "http://old.example/", "me"}, {"Alpha", "http://a.example/", "my.example"},
                                  {"Beta", "http://b.example/", "me"}}));
}

TEST_F(SitesTransfer, ADeclinedImportLeavesTheListAsItWas)
{
    writeSites(listed);
    start();
    confirm = false;
    importFile("Alpha,http://a.example/,my.example\n");
    EXPECT_EQ(questions.size(), 1);
    EXPECT_EQ(items("lstNames"), QStringList{"Old"});
    EXPECT_EQ(sitesFile(), listed);
}

TEST_F(SitesTransfer, ABrokenFileIsRefusedWithAMessageAndTheListUnchanged)
{
    writeSites(listed);
    start();
    importFile("Alpha,http://a.example/,my.example\nBeta,\"http://b.example/,me\n");
    EXPECT_TRUE(questions.isEmpty());
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_TRUE(feedback.messages[0].contains(QStringLiteral("A quoted field that begins on line 2 is never closed.")));
    EXPECT_TRUE(feedback.messages[0].contains(QStringLiteral("The site list is unchanged.")));
    EXPECT_EQ(items("lstNames"), QStringList{"Old"});
    EXPECT_EQ(sitesFile(), listed);
}

TEST_F(SitesTransfer, ExportedSitesReadBackWithAHeaderRow)
{
    writeSites(sites({{"Old", "http://old.example/", "me"}, {"=Sum", "http://s.example/", "a, b"}}));
    start();
    EXPECT_EQ(exported("mnuExportSites", "out.csv"),
              (CsvRows{{"name", "address", "term"}, {"Old", "http://old.example/", "me"}, {"'=Sum", "http://s.example/", "a, b"}}));
}

TEST_F(SitesTransfer, ExportedResultsCarryTheScansFindings)
{
    startWith({site("Alpha", server.url(QStringLiteral("/a"))), site("Beta", server.url(QStringLiteral("/b")))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    const CsvRows rows = exported("mnuExportResults", "results.csv");
    const std::string a = server.url(QStringLiteral("/a")).toStdString(), b = server.url(QStringLiteral("/b")).toStdString();
    EXPECT_EQ(rows, (CsvRows{{"name", "address", "term", "result", "hollow reason", "status code", "final address", "change"},
                             {"Alpha", a, "my.example", "OK", "", "200", a, "new"},
                             {"Beta", b, "my.example", "Search Term Not Found", "", "200", b, "new"}}));
}

} // namespace
