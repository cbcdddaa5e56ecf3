#include "GetSource.h"
#include "RawServer.h"
#include "ScanFixture.h"

#include <QMenu>
#include <QMenuBar>

#include <chrono>

namespace {

using namespace std::chrono_literals;
using TestSupport::RawServer;

// A scan whose first site is on a server that takes the request and never answers, so that
// its download waits until the idle bound ends it.
class StalledDownload : public Scan
{
protected:
    static constexpr auto Hold = 1500ms;

    void SetUp() override
    {
        Scan::SetUp();
        ASSERT_TRUE(held.running());
        savedLimits = GetSource::DefaultLimits();
        GetSource::DefaultLimits().idleTimeout = Hold;
    }

    void TearDown() override
    {
        Scan::TearDown();
        GetSource::DefaultLimits() = savedLimits;
    }

    frmMain *startHeldFirst()
    {
        startWith({site("Held", held.url(QStringLiteral("/slow"))), site("Beta", server.url(QStringLiteral("/b")))});
        click("cmdStart");
        EXPECT_TRUE(waitFor([this] { return held.accepted() == 1; }));
        return window.get();
    }

    bool finished() { return waitFor([this] { return text("lblResults").startsWith(QStringLiteral("Finished")); }); }

    RawServer held{RawServer::Mode::NeverAnswer};
    GetSource::Limits savedLimits;
};

// What the window did with one piece of input given while the server holds the request.
struct Probe {
    qint64 late = -1; // how long after it was due the window got to it
    bool handled = false;
    bool whileHeld = false;
};

TEST_F(StalledDownload, TheWindowAnswersClicksMenusAndHelpWhileTheServerHolds)
{
    startWith({site("Held", held.url(QStringLiteral("/slow")))});
    Probe button, menu, help;
    auto *file = window->findChild<QMenu *>(QStringLiteral("mnuFile"));
    ASSERT_NE(file, nullptr);
    const auto stillHeld = [this] { return held.accepted() == 1 && items("lstResults").isEmpty(); };
    // Queued before the download begins, so that a window frozen by it gets to them late.
    QElapsedTimer clock;
    const auto at = [&](int ms, Probe &probe, const std::function<bool()> &act) {
        QTimer::singleShot(ms, Qt::PreciseTimer, window.get(), [&, ms, act] {
            probe.late = clock.elapsed() - ms;
            probe.whileHeld = stillHeld();
            probe.handled = act();
        });
    };
    at(300, button, [this] {
        click("cmdAdd");
        return find("frAdd")->isVisible();
    });
    at(400, menu, [this, file] {
        QMenuBar *bar = window->menuBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(file->menuAction()).center());
        const bool open = file->isVisible();
        file->hide();
        return open;
    });
    at(500, help, [this] {
        find<QAction>("mnuContents")->trigger();
        return opened.size() == 1;
    });
    clock.start();
    click("cmdStart");
    ASSERT_TRUE(waitFor([&] { return help.late >= 0; }));
    for (const Probe *probe : {&button, &menu, &help}) {
        EXPECT_TRUE(probe->handled);
        EXPECT_TRUE(probe->whileHeld);
        EXPECT_LT(probe->late, 100);
    }
    // The hold ends with the idle bound, and the scan goes on as before.
    ASSERT_TRUE(finished());
    EXPECT_EQ(items("lstResults"), QStringList{"Held\t  --> Page Not Found"});
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . . out of 1 verified"));
}

TEST_F(StalledDownload, CountsAsAPendingScan)
{
    startHeldFirst();
    ASSERT_TRUE(downloading());
    find<QAction>("mnuScan")->trigger();
    pressEnter("lstNames");
    doubleClickName(0);
    EXPECT_EQ(feedback.beeps, 3);
    EXPECT_FALSE(find<QTimer>("tmrScan2")->isActive());
    ASSERT_TRUE(finished());
    EXPECT_EQ(items("lstResults"), (QStringList{"Held\t  --> Page Not Found", "Beta\t  --> Search Term Not Found"}));
}

TEST_F(StalledDownload, SkipWritesSkippedAtOnceAndTheNextSiteIsFetched)
{
    startHeldFirst();
    QElapsedTimer clock;
    clock.start();
    click("cmdSkip");
    EXPECT_LT(clock.elapsed(), 100);
    EXPECT_EQ(items("lstResults"), QStringList{"Held\t  --> Skipped"});
    EXPECT_EQ(text("lblResults"), QStringLiteral("Scanning Beta . . . ."));
    ASSERT_TRUE(finished());
    EXPECT_EQ(server.hits(QStringLiteral("/b")), 1);
    // Past the moment the held download would have ended by itself: it never writes a line.
    QTest::qWait(int(Hold.count()) + 300);
    EXPECT_EQ(items("lstResults"), (QStringList{"Held\t  --> Skipped", "Beta\t  --> Search Term Not Found"}));
    EXPECT_EQ(text("lblResults"), QStringLiteral("Finished . . . out of 2 verified"));
}

TEST_F(StalledDownload, ChoosingAnotherSiteDropsTheDownloadAndFetchesThatSite)
{
    startHeldFirst();
    find<QListWidget>("lstNames")->setCurrentRow(1);
    ASSERT_TRUE(finished());
    QTest::qWait(int(Hold.count()) + 300);
    EXPECT_EQ(items("lstResults"), QStringList{"Beta\t  --> Search Term Not Found"});
}

TEST_F(StalledDownload, TheListCannotBeEditedUnderIt)
{
    startHeldFirst();
    click("cmdAdd");
    for (const char *command : {"Command1", "Command2", "Command3"})
        click(command);
    EXPECT_EQ(feedback.beeps, 3);
    EXPECT_EQ(items("lstNames"), (QStringList{"Held", "Beta"}));
    ASSERT_TRUE(finished());
    EXPECT_EQ(items("lstResults"), (QStringList{"Held\t  --> Page Not Found", "Beta\t  --> Search Term Not Found"}));
}

// Closing the window and File > Exit end a download at once and save what was typed.
class StalledDownloadEnding : public StalledDownload, public testing::WithParamInterface<bool> { };

TEST_P(StalledDownloadEnding, SavesTheTypedTextAndReturnsPromptly)
{
    startHeldFirst();
    click("cmdAdd");
    find<QLineEdit>("txtName")->clear();
    type("txtName", QStringLiteral("Typed while it waits"));
    QElapsedTimer clock;
    clock.start();
    if (GetParam())
        find<QAction>("mnuExit")->trigger();
    else
        window->close();
    EXPECT_LT(clock.elapsed(), 500);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(sitesFile().contains("\"Typed while it waits\"\r\n")) << sitesFile().toStdString();
    QTest::qWait(int(Hold.count()) + 300);
    EXPECT_TRUE(items("lstResults").isEmpty());
}

INSTANTIATE_TEST_SUITE_P(CloseOrExit, StalledDownloadEnding, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool> &info) { return info.param ? "Exit" : "Close"; });

} // namespace
