#include "CsvRead.h"
#include "FileChooser.h"
#include "ScanFixture.h"

#include <QDate>
#include <QMenu>

namespace {

const QString CommaType = QStringLiteral("Comma-separated, UTF-8 (*.csv)");
const QString SpreadsheetType = QStringLiteral("Semicolon-separated, UTF-8 with byte-order mark, for spreadsheets (*.csv)");

// Import and export through the File menu, with the dialogs answered by the test. The user's
// home is a folder of the test's own, so that the save dialog's suggestion is in it.
class SitesTransfer : public Scan
{
protected:
    void SetUp() override
    {
        Scan::SetUp();
        for (const char *name : {"HOME", "XDG_CONFIG_HOME"})
            saved << std::pair{name, qgetenv(name)};
        qputenv("HOME", QFile::encodeName(path(QStringLiteral("home"))));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(path(QStringLiteral("home/.config"))));
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("home/Documents"))));
        FileChooser::SetSink([this](QWidget *, FileChooser::Purpose purpose, const QString &text) {
            switch (purpose) {
            case FileChooser::Purpose::Confirm:
                questions << text;
                return confirm ? QStringLiteral("yes") : QString();
            case FileChooser::Purpose::Show:
                shown << text;
                return QString();
            case FileChooser::Purpose::SaveType:
                types << text;
                return chosenType;
            case FileChooser::Purpose::Save:
                suggested << text;
                return chosen;
            case FileChooser::Purpose::Open:
                break;
            }
            return chosen;
        });
    }

    void TearDown() override
    {
        FileChooser::SetSink({});
        for (const auto &[name, value] : saved)
            qputenv(name, value);
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
    QList<std::pair<const char *, QByteArray>> saved;
    QString chosen;
    QString chosenType = CommaType;
    bool confirm = true;
    QStringList questions, shown, suggested, types;
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

TEST_F(SitesTransfer, TheConfirmationListsEveryRowToBeAddedAndEverySkippedOne)
{
    writeSites(listed);
    start();
    QByteArray file;
    for (int i = 1; i <= 30; ++i)
        file += QByteArray("Site ") + QByteArray::number(i) + ",http://s" + QByteArray::number(i) + ".example/,t\n";
    for (int i = 1; i <= 25; ++i)
        file += QByteArray("Nobody ") + QByteArray::number(i) + ",,t\n";
    importFile(file);
    ASSERT_EQ(questions.size(), 1);
    const QStringList lines = questions[0].split(u'\n');
    EXPECT_EQ(lines[0], QStringLiteral("30 site(s) will be added, 25 row(s) skipped."));
    for (int i = 1; i <= 30; ++i)
        EXPECT_TRUE(lines.contains(QStringLiteral("Line %1 Site %1 (http://s%1.example/): will be added").arg(i))) << i;
    for (int i = 1; i <= 25; ++i)
        EXPECT_TRUE(lines.contains(QStringLiteral("Line %1 Nobody %2: no address").arg(30 + i).arg(i))) << i;
    EXPECT_EQ(find<QListWidget>("lstNames")->count(), 31);
}

struct HeaderCase {
    const char *name;
    QByteArray file;
    bool guessed;
};

class ImportHeader : public SitesTransfer, public testing::WithParamInterface<HeaderCase>
{
};

TEST_P(ImportHeader, IsReadAsTitlesNotAsASite)
{
    writeSites(listed);
    start();
    importFile(GetParam().file);
    ASSERT_EQ(questions.size(), 1);
    EXPECT_TRUE(questions[0].startsWith(QStringLiteral("1 site(s) will be added, 0 row(s) skipped.\n"))) << questions[0].toStdString();
    EXPECT_TRUE(questions[0].contains(QStringLiteral("Line 2 Alpha (http://a.example/): will be added"))) << questions[0].toStdString();
    EXPECT_EQ(questions[0].contains(QStringLiteral("The first row holds no web address while the rows under it do: it is read as "
                                                   "the titles of the columns, not as a site.")),
              GetParam().guessed);
    EXPECT_EQ(sitesFile(), sites({{"Old", "http://old.example/", "me"}, {"Alpha", "http://a.example/", "my.example"}}));
}

INSTANTIATE_TEST_SUITE_P(
        Window, ImportHeader,
        testing::Values(HeaderCase{"HistoryWindowTitles", "Name;Page address;Search term\r\nAlpha;http://a.example/;my.example\r\n", false},
                        HeaderCase{"WordsInCapitalsWithBlanks", " NAME , Website , Keyword \nAlpha,http://a.example/,my.example\n", false},
                        HeaderCase{"UnknownTitles", "Nom,Adresse,Mot\nAlpha,http://a.example/,my.example\n", true}),
        [](const testing::TestParamInfo<HeaderCase> &info) { return std::string(info.param.name); });

class ExportDialect : public SitesTransfer, public testing::WithParamInterface<const char *>
{
};

// Terms a spreadsheet would take for formulas, one that really begins with a quote and one
// with a byte-order mark, out and back in the same list.
TEST_P(ExportDialect, ExportedSitesImportBackAddingNothing)
{
    const QByteArray tricky = sites({{"@mybrand", "http://a.example/", "@mybrand"},
                                     {"Phone", "http://b.example/", "+44 20 7946 0000"},
                                     {"'quoted'", "http://c.example/", "'=1"},
                                     {"Marked", "http://d.example/", "\xEF\xBB\xBFterm"}});
    writeSites(tricky);
    start();
    chosenType = std::string(GetParam()) == "Semicolons" ? SpreadsheetType : CommaType;
    chosen = path(QStringLiteral("out.csv"));
    find<QAction>("mnuExportSites")->trigger();
    ASSERT_EQ(types.size(), 1);
    EXPECT_EQ(types[0], CommaType + QStringLiteral(";;") + SpreadsheetType);
    find<QAction>("mnuImport")->trigger();
    EXPECT_TRUE(questions.isEmpty());
    ASSERT_EQ(shown.size(), 1);
    EXPECT_EQ(shown[0], QStringLiteral("0 site(s) will be added, 4 row(s) skipped.\n"
                                       "Line 2 @mybrand: already in the list\n"
                                       "Line 3 Phone: already in the list\n"
                                       "Line 4 'quoted': already in the list\n"
                                       "Line 5 Marked: already in the list"));
    EXPECT_EQ(sitesFile(), tricky);
}

INSTANTIATE_TEST_SUITE_P(Window, ExportDialect, testing::Values("Commas", "Semicolons"),
                         [](const testing::TestParamInfo<const char *> &info) { return std::string(info.param); });

TEST_F(SitesTransfer, TheSpreadsheetTypeWritesSemicolonsAfterAByteOrderMark)
{
    writeSites(sites({{"M\xC3\xBCller", "http://m.example/", "1,5"}}));
    start();
    chosenType = SpreadsheetType;
    chosen = path(QStringLiteral("out.csv"));
    find<QAction>("mnuExportSites")->trigger();
    EXPECT_EQ(sitesFile(QStringLiteral("out.csv")),
              QByteArray("\xEF\xBB\xBFname;address;term\r\nM\xC3\xBCller;http://m.example/;\"1,5\"\r\n"));
}

TEST_F(SitesTransfer, ExportsStartInTheDocumentsFolderWithADatedNameAndSayWhereTheyWent)
{
    writeSites(sites({{"Alpha", "http://a.example/", "t"}, {"Beta", "http://b.example/", "t"}}));
    start();
    const QString day = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    chosen = path(QStringLiteral("sites.csv"));
    find<QAction>("mnuExportSites")->trigger();
    chosen = path(QStringLiteral("results.csv"));
    find<QAction>("mnuExportResults")->trigger();
    EXPECT_EQ(suggested, (QStringList{path(QStringLiteral("home/Documents/tallyweave-sites-%1.csv").arg(day)),
                                      path(QStringLiteral("home/Documents/tallyweave-results-%1.csv").arg(day))}));
    EXPECT_EQ(feedback.messages, (QStringList{QStringLiteral("2 site(s) written to %1.").arg(path(QStringLiteral("sites.csv"))),
                                              QStringLiteral("0 result(s) written to %1.").arg(path(QStringLiteral("results.csv")))}));
}

TEST_F(SitesTransfer, WithoutADocumentsFolderExportsStartAtHome)
{
    ASSERT_TRUE(QDir(path(QStringLiteral("home/Documents"))).removeRecursively());
    startWith({});
    chosen = path(QStringLiteral("results.csv"));
    find<QAction>("mnuExportResults")->trigger();
    EXPECT_EQ(suggested, QStringList{path(QStringLiteral("home/tallyweave-results-%1.csv")
                                                  .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"))))});
}

TEST_F(SitesTransfer, ExportedResultsSayInWordsWhyAMatchDoesNotCount)
{
    startWith({site("Gone", server.url(QStringLiteral("/gone")))});
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    const CsvRows rows = exported("mnuExportResults", "results.csv");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][3], "OK");
    EXPECT_EQ(rows[1][4], "Found in the page text, not in a link. The page answered 404, an error.");
}

} // namespace
