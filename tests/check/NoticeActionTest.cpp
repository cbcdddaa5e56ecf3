// Where a desktop notice of lost links leads: the checker's notice names the program's icon
// and desktop entry and, where the window is installed, offers a default action; the waiter it
// leaves behind starts the window on its Partners view when the action is invoked. All on a
// private session bus, with a stand-in notification service.
#include "DesktopNotice.h"
#include "LocalServer.h"
#include "NoticeStandIn.h"
#include "NoticeWaiter.h"
#include "PrivateBus.h"
#include "RunProgram.h"
#include "SitesFile.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QVariantMap>

#include <atomic>
#include <functional>

namespace {

const std::string Checker = TALLYWEAVE_CHECK;
const char Term[] = "my-site.example";
const QString Interface = QStringLiteral("org.freedesktop.Notifications");

bool WaitFor(const std::function<bool()> &done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

class NoticeAction : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_FALSE(bus_.address().isEmpty()) << "dbus-daemon did not start";
        ASSERT_TRUE(notices_.serve(bus_.address()));
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.address().toUtf8());
        // A window program that only writes down how it was started.
        QDir(dir_.path()).mkdir(QStringLiteral("bin"));
        window_ = dir_.filePath(QStringLiteral("bin/tallyweave"));
        QFile script(window_);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho \"$@\" > '" + started().toUtf8() + "'\n");
        script.close();
        script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    }

    void TearDown() override
    {
        notices_.leave();
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    QString started() const { return dir_.filePath(QStringLiteral("started")); }

    QString startedWith() const
    {
        QFile file(started());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }

    // A check of one partner whose link went since the last one, with the notice asked for;
    // this thread answers the bus meanwhile.
    RunResult runLosingTheLink(const std::string &path)
    {
        LocalServer server;
        std::atomic<bool> linked = true;
        server.http().Get("/links", [&linked](const httplib::Request &, httplib::Response &res) {
            res.set_content(linked ? std::string("<a href=\"https://") + Term + "/\">me</a>" : "gone", "text/html");
        });
        EXPECT_TRUE(server.start());
        const std::string sites = dir_.filePath(QStringLiteral("Sites.dqx")).toStdString();
        QFile file(QString::fromStdString(sites));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(SitesFile::Encode({{QStringLiteral("Garden"), server.url("/links"), QLatin1StringView(Term)}}));
        file.close();
        RunSettings settings;
        settings.environment = {"PATH=" + path};
        const std::vector<std::string> arguments = {"--sites", sites, "--quiet", "--confirm-after", "0", "--notify"};
        RunProgram(Checker, arguments, settings);
        linked = false;
        return RunAnsweringTheBus(Checker, arguments, settings);
    }

    QTemporaryDir dir_;
    PrivateBus bus_;
    NoticeStandIn notices_;
    QString window_;
};

TEST_F(NoticeAction, TheNoticeCarriesTheIconAndEntryAndItsActionOpensThePartners)
{
    const RunResult r = runLosingTheLink(dir_.filePath(QStringLiteral("bin")).toStdString());
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(notices_.notices.size(), 1u);
    const NoticeStandIn::Notice &notice = notices_.notices[0];
    EXPECT_EQ(notice.app, QStringLiteral("tallyweave-check"));
    EXPECT_EQ(notice.icon, QStringLiteral("tallyweave"));
    EXPECT_EQ(notice.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("tallyweave"));
    EXPECT_EQ(notice.actions, (QStringList{"default", "Show the partners"}));

    // The checker has ended; the waiter it left answers the click. It may still be starting.
    EXPECT_TRUE(WaitFor([this] {
        EXPECT_TRUE(notices_.emitSignal("ActionInvoked", {NoticeStandIn::FirstId, QStringLiteral("default")}));
        return !startedWith().isEmpty();
    })) << "the window was not started";
    EXPECT_EQ(startedWith(), QStringLiteral("--partners"));
}

TEST_F(NoticeAction, WithoutTheWindowInstalledTheNoticeOffersNoAction)
{
    const RunResult r = runLosingTheLink(dir_.filePath(QStringLiteral("nowhere")).toStdString());
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(notices_.notices.size(), 1u);
    EXPECT_EQ(notices_.notices[0].icon, QStringLiteral("tallyweave"));
    EXPECT_EQ(notices_.notices[0].hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("tallyweave"));
    EXPECT_TRUE(notices_.notices[0].actions.isEmpty());
}

struct WaitCase {
    const char *name;
    const char *signal;
    QVariantList arguments; // of the signal; the waiter waits for notice 7
    bool done;
    QString started; // the window's arguments; empty: not started
};

void PrintTo(const WaitCase &c, std::ostream *out)
{
    *out << c.name;
}

class Waiter : public NoticeAction, public testing::WithParamInterface<WaitCase> { };

TEST_P(Waiter, AnswersItsOwnNoticeOnly)
{
    const WaitCase &c = GetParam();
    QDBusConnection client = QDBusConnection::connectToBus(bus_.address(), QStringLiteral("client"));
    NoticeWaiter waiter(client, 7, window_, 60000);
    ASSERT_TRUE(waiter.listening());
    bool done = false;
    QObject::connect(&waiter, &NoticeWaiter::done, [&done] { done = true; });
    // A call to the bus returns after the bus has taken the waiter's interest in the signals.
    client.interface()->isServiceRegistered(Interface);
    ASSERT_TRUE(notices_.emitSignal(c.signal, c.arguments));
    WaitFor([&done] { return done; }, c.done ? 10000 : 500);
    EXPECT_EQ(done, c.done);
    if (!c.started.isEmpty())
        EXPECT_TRUE(WaitFor([this] { return !startedWith().isEmpty(); }));
    else
        WaitFor([] { return false; }, 300);
    EXPECT_EQ(startedWith(), c.started);
}

INSTANTIATE_TEST_SUITE_P(
        Table, Waiter,
        testing::Values(WaitCase{"DefaultAction", "ActionInvoked", {uint(7), QStringLiteral("default")}, true, "--partners"},
                        WaitCase{"AnotherAction", "ActionInvoked", {uint(7), QStringLiteral("other")}, true, {}},
                        WaitCase{"AnotherNotice", "ActionInvoked", {uint(8), QStringLiteral("default")}, false, {}},
                        WaitCase{"Closed", "NotificationClosed", {uint(7), uint(2)}, true, {}},
                        WaitCase{"AnotherClosed", "NotificationClosed", {uint(8), uint(2)}, false, {}}),
        [](const auto &info) { return std::string(info.param.name); });

TEST_F(NoticeAction, TheWaiterGivesUpAfterItsTime)
{
    QDBusConnection client = QDBusConnection::connectToBus(bus_.address(), QStringLiteral("client"));
    NoticeWaiter waiter(client, 7, window_, 50);
    bool done = false;
    QObject::connect(&waiter, &NoticeWaiter::done, [&done] { done = true; });
    EXPECT_TRUE(WaitFor([&done] { return done; }));
    EXPECT_EQ(startedWith(), QString());
}

TEST_F(NoticeAction, TheWaiterEndsWithTheSessionsBus)
{
    QDBusConnection client = QDBusConnection::connectToBus(bus_.address(), QStringLiteral("client"));
    NoticeWaiter waiter(client, 7, window_, 60000);
    ASSERT_TRUE(waiter.listening());
    bool done = false;
    QObject::connect(&waiter, &NoticeWaiter::done, [&done] { done = true; });
    bus_.end();
    EXPECT_TRUE(WaitFor([&done] { return done; }, 2 * NoticeWaiter::BusCheckMs + 2000));
}

} // namespace

