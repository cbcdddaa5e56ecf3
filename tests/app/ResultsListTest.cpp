#include "HttpServer.h"
#include "PageFetcher.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHelpEvent>
#include <QToolTip>
#include <QTimer>

namespace {

using TestSupport::HttpServer;

// The ways a user acts on the selected line of a list.
enum class Gesture { DoubleClickOnLine, DoubleClickBelowTheLines, Enter, KeypadEnter };

std::string GestureName(const testing::TestParamInfo<Gesture> &info)
{
    switch (info.param) {
    case Gesture::DoubleClickOnLine:
        return "DoubleClickOnLine";
    case Gesture::DoubleClickBelowTheLines:
        return "DoubleClickBelowTheLines";
    case Gesture::Enter:
        return "Enter";
    case Gesture::KeypadEnter:
        return "KeypadEnter";
    }
    return "Unknown";
}

const auto EveryGesture = testing::Values(Gesture::DoubleClickOnLine, Gesture::DoubleClickBelowTheLines,
                                          Gesture::Enter, Gesture::KeypadEnter);

// Selects the line at position (unless the gesture is a double-click on it, whose first press
// selects it) and acts on it.
void ActOn(QListWidget *list, int position, Gesture gesture)
{
    const QPoint at = list->visualItemRect(list->item(position)).center();
    switch (gesture) {
    case Gesture::DoubleClickOnLine:
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        return;
    case Gesture::DoubleClickBelowTheLines: {
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        const QPoint below(at.x(), list->viewport()->height() - 3);
        ASSERT_FALSE(list->indexAt(below).isValid()) << "the list is full";
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, below);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, below);
        return;
    }
    case Gesture::Enter:
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::keyClick(list, Qt::Key_Return);
        return;
    case Gesture::KeypadEnter:
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
        return;
    }
}

// Result lines open the page of the site each was written for, whatever their position.
class ResultsList : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        server.route(QStringLiteral("/1"), "one MY.EXAMPLE");
        server.route(QStringLiteral("/2"), "two");
        server.route(QStringLiteral("/3"), "three my.example");
        QByteArray bytes("4,1\r\n");
        for (const char *n : {"1", "2", "3"})
            bytes += QByteArray("\"Site ") + n + "\"\r\n\"" + server.url(QStringLiteral("/") + QLatin1String(n)).toUtf8()
                    + "\"\r\n\"my.example\"\r\n";
        bytes += "\"Local\"\r\n\"file:///etc/hostname\"\r\n\"x\"\r\n";
        writeSites(bytes);
        start();
        for (const char *timer : {"tmrScan", "tmrSearch", "tmrScan2", "tmrSearch2"})
            find<QTimer>(timer)->setInterval(5);
    }

    void runScan(const std::function<void()> &begin)
    {
        begin();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000
               && (downloading()
                   || std::any_of(std::begin(timers), std::end(timers),
                                  [this](const char *t) { return find<QTimer>(t)->isActive(); })))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }

    bool downloading() const { return find<PageFetcher>("pageFetch")->busy(); }

    void selectLine(int position)
    {
        auto *list = find<QListWidget>("lstResults");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(position)).center());
    }

    void openLine(int position, Gesture gesture) { ActOn(find<QListWidget>("lstResults"), position, gesture); }

    HttpServer server;
    const char *const timers[4] = {"tmrScan", "tmrSearch", "tmrScan2", "tmrSearch2"};
};

class ResultsListOpen : public ResultsList, public testing::WithParamInterface<Gesture> { };

TEST_P(ResultsListOpen, ALineOpensItsOwnSitesPageAfterPartialAndSingleScans)
{
    // From the second site to the end, then the first site alone: no line sits at its
    // site's position.
    find<QListWidget>("lstNames")->setCurrentRow(1);
    runScan([this] { click("cmdStart"); });
    find<QListWidget>("lstNames")->setCurrentRow(0);
    runScan([this] { QTest::keyClick(find<QListWidget>("lstNames"), Qt::Key_Return); });
    ASSERT_EQ(items("lstResults"), (QStringList{"Site 2\t  --> Search Term Not Found", "Site 3\t  --> OK",
                                                 "Local\t  --> Page Not Found", "Site 1\t  --> OK"}));
    const int urlRow = row("lstUrl");
    openLine(3, GetParam());
    openLine(0, GetParam());
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened[0], QUrl(server.url(QStringLiteral("/1"))));
    EXPECT_EQ(opened[1], QUrl(server.url(QStringLiteral("/2"))));
    // Choosing result lines does not move the page the scan would fetch next.
    EXPECT_EQ(row("lstUrl"), urlRow);
}

INSTANTIATE_TEST_SUITE_P(Gestures, ResultsListOpen, EveryGesture, GestureName);

// A single-site scan starts from the name list with the same gestures.
class NameListScan : public ResultsList, public testing::WithParamInterface<Gesture> { };

TEST_P(NameListScan, ChecksTheSelectedSiteAlone)
{
    runScan([this] { ActOn(find<QListWidget>("lstNames"), 2, GetParam()); });
    EXPECT_EQ(items("lstResults"), QStringList{"Site 3\t  --> OK"});
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . ."));
    EXPECT_EQ(server.hits(QStringLiteral("/3")), 1);
    EXPECT_EQ(server.hits(QStringLiteral("/1")), 0);
}

INSTANTIATE_TEST_SUITE_P(Gestures, NameListScan, EveryGesture, GestureName);

TEST_F(ResultsList, AnythingButAWebAddressIsNeverHandedToTheDesktop)
{
    find<QListWidget>("lstNames")->setCurrentRow(3);
    runScan([this] { click("cmdStart"); });
    ASSERT_EQ(items("lstResults"), QStringList{"Local\t  --> Page Not Found"});
    for (Gesture gesture : {Gesture::DoubleClickOnLine, Gesture::DoubleClickBelowTheLines, Gesture::Enter,
                            Gesture::KeypadEnter})
        openLine(0, gesture);
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(ResultsList, EnterWithNoLineSelectedOpensNothing)
{
    runScan([this] { click("cmdStart"); });
    auto *list = find<QListWidget>("lstResults");
    list->clearSelection();
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, QPoint(5, list->viewport()->height() - 3));
    EXPECT_TRUE(opened.isEmpty());
    // Any other key has no effect here either.
    selectLine(1);
    QTest::keyClick(list, Qt::Key_Space);
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(ResultsList, AnEmptyListOpensNothing)
{
    auto *list = find<QListWidget>("lstResults");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Return);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton);
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(ResultsList, ClickingALineDuringAScanDoesNotRedirectTheScan)
{
    for (const char *timer : timers)
        find<QTimer>(timer)->setInterval(3600000);
    click("cmdStart");
    const auto fire = [this](const char *name) {
        auto *timer = find<QTimer>(name);
        ASSERT_TRUE(timer->isActive()) << name;
        timer->setInterval(0);
        while (timer->isActive() || downloading())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        timer->setInterval(3600000);
    };
    fire("tmrScan");
    fire("tmrSearch"); // Site 1's line is in; Site 2 is next
    selectLine(0);
    fire("tmrScan");
    fire("tmrSearch");
    EXPECT_EQ(items("lstResults"), (QStringList{"Site 1\t  --> OK", "Site 2\t  --> Search Term Not Found"}));
    EXPECT_EQ(server.hits(QStringLiteral("/1")), 1);
    EXPECT_EQ(server.hits(QStringLiteral("/2")), 1);
}

TEST_F(ResultsList, WithoutABrowserTheUserIsToldTheAddress)
{
    browserAnswers = false;
    find<QListWidget>("lstNames")->setCurrentRow(2);
    runScan([this] { QTest::keyClick(find<QListWidget>("lstNames"), Qt::Key_Return); });
    ASSERT_EQ(items("lstResults"), QStringList{"Site 3\t  --> OK"});
    openLine(0, Gesture::Enter);
    ASSERT_EQ(opened.size(), 1);
    ASSERT_EQ(feedback.messages.size(), 1);
    EXPECT_TRUE(feedback.messages[0].contains(QStringLiteral("could not be opened"))) << feedback.messages[0].toStdString();
    EXPECT_TRUE(feedback.messages[0].contains(server.url(QStringLiteral("/3"))));
}

// Lines with and without the warning sign start their text in one column.
class ResultsColumn : public WindowTest
{
protected:
    HttpServer server;
};

TEST_F(ResultsColumn, TheTextOfAWarnedLineStartsWhereAPlainLinesDoes)
{
    server.route(QStringLiteral("/hidden"), "<!-- my.example -->");
    server.route(QStringLiteral("/clean"), "<a href=\"http://my.example/\">us</a>");
    writeSites(sites({{"Same", server.url(QStringLiteral("/hidden")).toUtf8().constData(), "my.example"},
                      {"Same", server.url(QStringLiteral("/clean")).toUtf8().constData(), "my.example"}}));
    start();
    for (const char *timer : {"tmrScan", "tmrSearch", "tmrScan2", "tmrSearch2"})
        find<QTimer>(timer)->setInterval(5);
    click("cmdStart");
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 15000 && !text("lblResults").startsWith(QStringLiteral("Finished")))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    auto *list = find<QListWidget>("lstResults");
    ASSERT_EQ(items("lstResults"), (QStringList{"Same\t  --> OK", "Same\t  --> OK"}));
    ASSERT_FALSE(list->item(0)->icon().isNull());
    ASSERT_TRUE(list->item(1)->icon().isNull());
    list->clearSelection();
    list->setCurrentIndex({});
    list->clearFocus();
    // Past the sign, the two lines are drawn alike only when their texts start in one column.
    const QImage drawn = list->viewport()->grab().toImage();
    const QRect warned = list->visualItemRect(list->item(0));
    const QRect plain = list->visualItemRect(list->item(1));
    const int pastTheSign = list->iconSize().width() + 8;
    const QImage warnedText = drawn.copy(warned.adjusted(pastTheSign, 0, 0, 0));
    const QImage plainText = drawn.copy(plain.adjusted(pastTheSign, 0, 0, 0));
    ASSERT_EQ(warned.height(), plain.height());
    EXPECT_EQ(warnedText, plainText);
}

TEST_F(ResultsColumn, ALinesToolTipShowsMarkupAsItsCharacters)
{
    writeSites(sites({{"Marked", "http://127.0.0.1:9/<b>bold</b>", "x"}, {"Next", "http://127.0.0.1:9/", "x"}}));
    start();
    click("cmdStart");
    click("cmdSkip");
    ASSERT_EQ(items("lstResults"), QStringList{"Marked\t  --> Skipped"});
    // The scan goes no further.
    for (const char *timer : {"tmrScan", "tmrSearch", "tmrScan2", "tmrSearch2"})
        find<QTimer>(timer)->stop();
    auto *list = find<QListWidget>("lstResults");
    const QPoint at = list->visualItemRect(list->item(0)).center();
    QHelpEvent hover(QEvent::ToolTip, at, list->viewport()->mapToGlobal(at));
    QApplication::sendEvent(list->viewport(), &hover);
    ASSERT_TRUE(QToolTip::isVisible());
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("http://127.0.0.1:9/&lt;b&gt;bold&lt;/b&gt;")))
            << QToolTip::text().toStdString();
    QToolTip::hideText();
}

} // namespace
