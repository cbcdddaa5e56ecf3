#include "HeldLock.h"
#include "HistoryStore.h"
#include "ScanFixture.h"
#include "SecondLook.h"

#include <QDateTime>
#include <QImage>
#include <QLocale>

namespace {

QImage Picture(const QIcon &icon)
{
    return icon.pixmap(16, 16).toImage().convertToFormat(QImage::Format_ARGB32);
}

QImage PictureOf(const char *file)
{
    return Picture(QIcon(QString::fromLatin1(file)));
}

QImage LostPicture()
{
    return PictureOf(":/app/lost16.png");
}

class HistoryLines : public Scan
{
protected:
    QString historyFile() const { return HistoryStore::PathFor(path(QStringLiteral("Sites.dqx"))); }

    std::vector<HistoryStore::SiteRow> recorded()
    {
        HistoryStore store;
        EXPECT_TRUE(store.open(historyFile()).usable);
        return store.sites();
    }

    QListWidgetItem *line(int position) const { return find<QListWidget>("lstResults")->item(position); }

    static QString today() { return QLocale::c().toString(QDate::currentDate(), QStringLiteral("d MMMM")); }

    void scanAgain()
    {
        click("cmdAgain");
        ASSERT_TRUE(waitIdle());
    }
};

TEST_F(HistoryLines, ALinkThatWasOkAndIsGoneGetsTheLostSignAndItsPastInTheTip)
{
    startThree();
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(items("lstResults"), (QStringList{"Alpha\t  --> OK", "Beta\t  --> Search Term Not Found", "Gamma\t  --> OK"}));
    EXPECT_TRUE(line(0)->icon().isNull());
    EXPECT_TRUE(line(0)->toolTip().endsWith(QStringLiteral("History: first check of this page"))) << line(0)->toolTip().toStdString();

    server.route(QStringLiteral("/a"), "<html><body>the link was taken down</body></html>");
    find<SecondLook>("secondLook")->setPause(0);
    scanAgain();
    ASSERT_TRUE(waitFor([this] { return !find<SecondLook>("secondLook")->busy(); }));
    // The line texts stay as they are; only the sign and the tip tell the change.
    ASSERT_EQ(items("lstResults"), (QStringList{"Alpha\t  --> Search Term Not Found", "Beta\t  --> Search Term Not Found",
                                                "Gamma\t  --> OK"}));
    EXPECT_EQ(Picture(line(0)->icon()), LostPicture());
    EXPECT_TRUE(line(0)->toolTip().endsWith(QStringLiteral("Before: OK since %1; last checked %1").arg(today())))
            << line(0)->toolTip().toStdString();
    // A site that was not OK before, and one that stays OK, are not lost.
    EXPECT_TRUE(line(1)->icon().isNull());
    EXPECT_TRUE(line(1)->toolTip().endsWith(QStringLiteral("Before: Search Term Not Found since %1; last checked %1").arg(today())));
    EXPECT_TRUE(line(2)->icon().isNull());
    EXPECT_TRUE(line(2)->toolTip().endsWith(QStringLiteral("Before: OK since %1; last checked %1").arg(today())));
}

// A link that stays but no longer counts keeps the warning sign, not the lost one, and the
// history keeps why, with what changed in words.
TEST_F(HistoryLines, ALinkMarkedNofollowIsRecordedWithItsReasonAndNoLostSign)
{
    startThree();
    server.route(QStringLiteral("/a"), "<html><body><a href=\"https://my.example/\">Me</a></body></html>");
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    server.route(QStringLiteral("/a"), "<html><body><a rel=\"nofollow\" href=\"https://my.example/\">Me</a></body></html>");
    scanAgain();
    ASSERT_EQ(items("lstResults").value(0), QStringLiteral("Alpha\t  --> OK"));
    EXPECT_EQ(Picture(line(0)->icon()), PictureOf(":/app/warning16.png"));

    HistoryStore store;
    ASSERT_TRUE(store.open(historyFile()).usable);
    const auto row = store.site(server.url(QStringLiteral("/a")), QStringLiteral("my.example"));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->state, History::State::HollowOk);
    EXPECT_FALSE(row->lost);
    ASSERT_TRUE(row->details);
    EXPECT_EQ(row->details->reasons, QStringList{QStringLiteral("flagged-link")});
    EXPECT_EQ(row->details->rel, QStringLiteral("nofollow"));
    EXPECT_EQ(store.timeline(row->id).back().note, QStringLiteral("now nofollow"));
}

TEST_F(HistoryLines, TheLostSignIsNotTheHollowWarning)
{
    EXPECT_NE(LostPicture(), PictureOf(":/app/warning16.png"));
}

TEST_F(HistoryLines, FullAndSingleSiteScansAreRecordedAndSkippedSitesAreNot)
{
    startThree(1000);
    click("cmdStart");
    fire("tmrScan");
    fire("tmrSearch");
    click("cmdSkip");
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(items("lstResults"), (QStringList{"Alpha\t  --> OK", "Beta\t  --> Skipped", "Gamma\t  --> OK"}));
    doubleClickName(0);
    ASSERT_TRUE(waitIdle());

    std::vector<HistoryStore::SiteRow> rows = recorded();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, QStringLiteral("Alpha"));
    EXPECT_EQ(rows[0].url, server.url(QStringLiteral("/a")));
    EXPECT_EQ(rows[0].term, QStringLiteral("my.example"));
    EXPECT_EQ(rows[0].checks, 2);
    EXPECT_EQ(rows[1].name, QStringLiteral("Gamma"));
    EXPECT_EQ(rows[1].checks, 1);
    EXPECT_EQ(rows[1].state, History::State::Ok);
}

TEST_F(HistoryLines, AHistoryThatCannotBeOpenedIsSaidOnceAndTheScanGoesOn)
{
    // A folder where the history file belongs: nothing can be recorded there.
    ASSERT_TRUE(QDir().mkpath(historyFile()));
    startThree();
    ASSERT_EQ(feedback.messages.size(), 1);
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    scanAgain();
    EXPECT_EQ(items("lstResults"), (QStringList{"Alpha\t  --> OK", "Beta\t  --> Search Term Not Found", "Gamma\t  --> OK"}));
    EXPECT_EQ(feedback.messages.size(), 1);
    EXPECT_FALSE(line(0)->toolTip().contains(QStringLiteral("Before:")));
}

TEST_F(HistoryLines, ChecksAreRecordedThoughAnotherProgramHoldsTheHistory)
{
    startThree();
    const qsizetype messages = feedback.messages.size();
    HeldLock lock(historyFile());
    ASSERT_TRUE(lock.held());
    click("cmdStart");
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(items("lstResults"), (QStringList{"Alpha\t  --> OK", "Beta\t  --> Search Term Not Found", "Gamma\t  --> OK"}));
    EXPECT_EQ(feedback.messages.size(), messages) << feedback.messages.join(u'\n').toStdString();
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(line(i)->toolTip().endsWith(QStringLiteral("History: first check of this page"))) << i;
    EXPECT_TRUE(recorded().empty()) << "nothing can be written while the lock is held";

    lock.release();
    EXPECT_TRUE(waitFor([this] { return recorded().size() == 3; }, 10000));
    scanAgain();
    EXPECT_TRUE(line(0)->toolTip().endsWith(QStringLiteral("Before: OK since %1; last checked %1").arg(today())))
            << line(0)->toolTip().toStdString();
}

} // namespace
