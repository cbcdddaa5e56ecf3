#include "SitesFile.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QClipboard>

namespace {

class SiteEditor : public WindowTest
{
protected:
    frmMain *startWith(std::initializer_list<std::array<const char *, 3>> records)
    {
        writeSites(sites(records));
        start();
        click("cmdAdd");
        return window.get();
    }

    void goTo(int record)
    {
        while (text("lblCurrRecord").section(u' ', 1, 1).toInt() < record)
            click("cmdNext");
    }
};

const std::initializer_list<std::array<const char *, 3>> Five{
        {"One", "http://1/", "t1"}, {"Two", "http://2/", "t2"}, {"Three", "http://3/", "t3"},
        {"Four", "http://4/", "t4"}, {"Five", "http://5/", "t5"}};

TEST_F(SiteEditor, NextAtTheLastRecordBeepsAndPreviousStoresAndMovesBack)
{
    startWith(Five);
    goTo(5);
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 5 of 5"));
    find<QLineEdit>("txtName")->clear();
    type("txtName", QStringLiteral("Fifth"));
    const int beeps = feedback.beeps;
    click("cmdNext");
    EXPECT_EQ(feedback.beeps, beeps + 1);
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 5 of 5"));
    EXPECT_EQ(text("txtName"), QStringLiteral("Fifth"));
    click("cmdPrevious");
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 4 of 5"));
    EXPECT_EQ(text("txtName"), QStringLiteral("Four"));
    EXPECT_EQ(row("lstNames"), 3);
    EXPECT_EQ(row("lstUrl"), 3);
    EXPECT_EQ(Module1::Site(5).Name, QStringLiteral("Fifth"));
}

TEST_F(SiteEditor, PreviousAtTheFirstAndEveryMoveWithNoRecordsBeeps)
{
    startWith(Five);
    click("cmdPrevious");
    EXPECT_EQ(feedback.beeps, 1);
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 1 of 5"));

    window.reset();
    Module1::Reset();
    QFile::remove(path(QStringLiteral("Sites.dqx")));
    start();
    click("cmdAdd");
    for (const char *button : {"cmdPrevious", "cmdNext", "Command2"})
        click(button);
    EXPECT_EQ(feedback.beeps, 4);
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("No Records"));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("Sites.dqx"))));
}

TEST_F(SiteEditor, AddAppendsABlankRecordThatTheListsGetOnSave)
{
    startWith({{"a", "http://a/", "x"}, {"b", "http://b/", "y"}, {"c", "http://c/", "z"}});
    click("Command1");
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 4 of 4"));
    EXPECT_TRUE(text("txtName").isEmpty());
    EXPECT_TRUE(find("txtName")->isEnabled());
    EXPECT_TRUE(find("txtName")->hasFocus());
    EXPECT_EQ(items("lstNames").size(), 3);
    // Moving onto the new record from elsewhere leaves the name list where it is.
    click("cmdPrevious");
    const int selected = row("lstNames");
    click("cmdNext");
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 4 of 4"));
    EXPECT_EQ(row("lstNames"), selected);
    type("txtName", QStringLiteral("d"));
    click("Command3");
    EXPECT_EQ(items("lstNames"), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(items("lstUrl").size(), 4);
    EXPECT_EQ(items("lstSearch").size(), 4);
    EXPECT_EQ(row("lstNames"), 0);
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 4 of 4"));
}

TEST_F(SiteEditor, AddWithNoRecordsEnablesTheBoxesAndCloseSavesTheNewRecord)
{
    start();
    click("cmdAdd");
    EXPECT_FALSE(find("txtName")->isEnabled());
    click("Command1");
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 1 of 1"));
    EXPECT_TRUE(find("txtPhone1")->isEnabled());
    type("txtName", QStringLiteral("New"));
    window->close();
    EXPECT_EQ(sitesFile(), sites({{"New", "", ""}}));
}

struct Deletion {
    const char *name;
    int record;          // current when Delete is pressed
    const char *caption; // afterwards
    const char *shown;   // name in the boxes afterwards
    QStringList names;   // in the lists and the file afterwards
};

class SiteEditorDelete : public SiteEditor, public testing::WithParamInterface<Deletion> { };

TEST_P(SiteEditorDelete, RewritesTheFileAndTheLists)
{
    const Deletion &c = GetParam();
    if (c.names.isEmpty())
        startWith({{"only", "http://o/", "o"}});
    else
        startWith({{"a", "http://a/", "x"}, {"b", "http://b/", "y"}, {"c", "http://c/", "z"}});
    goTo(c.record);
    find<QLineEdit>("txtName")->setText(QStringLiteral("unsaved edit is dropped"));
    click("Command2");
    EXPECT_EQ(text("lblCurrRecord"), QString::fromLatin1(c.caption));
    EXPECT_EQ(text("txtName"), QString::fromLatin1(c.shown));
    EXPECT_EQ(items("lstNames"), c.names);
    EXPECT_EQ(items("lstUrl").size(), c.names.size());
    EXPECT_EQ(items("lstSearch").size(), c.names.size());
    const SitesFile::Decoded saved = SitesFile::Decode(sitesFile());
    QStringList savedNames;
    for (const SiteRecord &site : saved.records)
        savedNames << site.Name;
    EXPECT_EQ(savedNames, c.names);
    EXPECT_EQ(find("txtName")->isEnabled(), !c.names.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
        Records, SiteEditorDelete,
        testing::Values(Deletion{"Middle", 2, "Site 2 of 2", "c", {"a", "c"}},
                        Deletion{"Last", 3, "Site 2 of 2", "b", {"a", "b"}},
                        Deletion{"Only", 1, "No Records", "", {}}),
        [](const testing::TestParamInfo<Deletion> &info) { return std::string(info.param.name); });

TEST_F(SiteEditor, SaveAfterEditingTheAddressFeedsTheNewPageToTheLists)
{
    startWith({{"a", "http://a/", "x"}, {"b", "http://b/", "y"}});
    click("cmdNext");
    find<QLineEdit>("txtCompany")->clear();
    type("txtCompany", QStringLiteral("http://b.example/new"));
    click("Command3");
    EXPECT_EQ(items("lstUrl"), (QStringList{"http://a/", "http://b.example/new"}));
    EXPECT_EQ(row("lstNames"), 0);
    EXPECT_EQ(row("lstUrl"), 0);
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 2 of 2"));
    EXPECT_EQ(sitesFile(), sites({{"a", "http://a/", "x"}, {"b", "http://b.example/new", "y"}}));
}

TEST_F(SiteEditor, ThirtyCharactersAreAcceptedTheThirtyFirstEmptiesTheBox)
{
    startWith({{"a", "http://a/", ""}});
    const QString thirty(30, u'x');
    type("txtPhone1", thirty);
    EXPECT_EQ(text("txtPhone1"), thirty);
    EXPECT_TRUE(feedback.messages.isEmpty());
    type("txtPhone1", QStringLiteral("y"));
    ASSERT_EQ(feedback.messages, QStringList{QStringLiteral("Search term should be less than 30 characters     ")});
    EXPECT_TRUE(text("txtPhone1").isEmpty());
    EXPECT_TRUE(find("txtPhone1")->hasFocus());
}

TEST_F(SiteEditor, APastedFortyCharacterTermIsRefused)
{
    startWith({{"a", "http://a/", ""}});
    QApplication::clipboard()->setText(QString(40, u'p'));
    auto *box = find<QLineEdit>("txtPhone1");
    box->setFocus();
    QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    if (QApplication::clipboard()->text() != QString(40, u'p'))
        GTEST_SKIP() << "no clipboard on this platform";
    EXPECT_EQ(feedback.messages.size(), 1);
    EXPECT_TRUE(box->text().isEmpty());
}

TEST_F(SiteEditor, ALongTermFromTheFileIsShownAndKeptAsItIs)
{
    const QByteArray longTerm(45, 'L');
    startWith({{"a", "http://a/", longTerm.constData()}, {"b", "http://b/", "short"}});
    EXPECT_EQ(text("txtPhone1"), QString::fromLatin1(longTerm));
    click("cmdNext");
    click("cmdPrevious");
    EXPECT_TRUE(feedback.messages.isEmpty());
    window->close();
    EXPECT_EQ(SitesFile::Decode(sitesFile()).records[0].SearchTerm, QString::fromLatin1(longTerm));
}

TEST_F(SiteEditor, AddAtTheLimitBeepsAndAddsNothing)
{
    QList<SiteRecord> many(SitesFile::MaxSites, SiteRecord{QStringLiteral("n"), QStringLiteral("u"), QStringLiteral("t")});
    writeSites(SitesFile::Encode(many));
    start();
    click("cmdAdd");
    click("Command1");
    EXPECT_EQ(feedback.beeps, 1);
    EXPECT_EQ(Module1::SiteCount(), SitesFile::MaxSites);
    EXPECT_EQ(text("lblCurrRecord"), QStringLiteral("Site 1 of 32767"));
}

TEST_F(SiteEditor, FieldsLongerThanTheToolkitsDefaultLimitComeBackByteForByte)
{
    const QByteArray name(40'000, 'n');
    const QByteArray address = "http://long.example/?" + QByteArray(45'000, 'a');
    const QByteArray term(33'000, 't');
    writeSites(sites({{name.constData(), address.constData(), term.constData()}, {"b", "http://b/", "y"}}));
    const QByteArray original = sitesFile();
    start();
    click("cmdAdd");
    EXPECT_EQ(text("txtName").size(), name.size());
    // Through the editor and back: the fields are stored into the record on each move.
    click("cmdNext");
    click("cmdPrevious");
    window->close();
    EXPECT_TRUE(feedback.messages.isEmpty());
    EXPECT_EQ(sitesFile(), original);
}

TEST_F(SiteEditor, TypingPastTheToolkitsDefaultLimitKeepsEveryCharacter)
{
    startWith({{"a", "http://a/", "x"}});
    auto *box = find<QLineEdit>("txtName");
    box->setText(QString(32'767, u'k'));
    box->setFocus();
    box->end(false);
    QTest::keyClicks(box, QStringLiteral("more"));
    EXPECT_EQ(box->text().size(), 32'771);
    EXPECT_TRUE(box->text().endsWith(QStringLiteral("more")));
}

} // namespace
