// tallyweave-check --notify against a private session bus with a notification service that
// records each call.
#include "DesktopNotice.h"
#include "LocalServer.h"
#include "NoticeStandIn.h"
#include "PrivateBus.h"
#include "RunProgram.h"
#include "SitesFile.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QTemporaryDir>
#include <QVariantMap>

#include <atomic>

namespace {

const std::string Program = TALLYWEAVE_CHECK;
const char Term[] = "my-site.example";

class Notify : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        ASSERT_FALSE(bus_.address().isEmpty()) << "dbus-daemon did not start";
        ASSERT_TRUE(service_.serve(bus_.address()));
        qputenv("DBUS_SESSION_BUS_ADDRESS", bus_.address().toUtf8());

        for (const char *path : {"/a", "/b", "/c"}) {
            linked_[path] = true;
            flagged_[path] = false;
            server_.http().Get(path, [this, path = std::string(path)](const httplib::Request &, httplib::Response &res) {
                const std::string rel = flagged_[path] ? " rel=\"nofollow\"" : "";
                res.set_content(linked_[path] ? "<a" + rel + " href=\"https://" + Term + "/\">me</a>" : "gone",
                                "text/html");
            });
        }
        ASSERT_TRUE(server_.start());
        const QList<SiteRecord> sites = {{QStringLiteral("Garden <b>Shop</b>"), server_.url("/a"), QLatin1StringView(Term)},
                                         {QStringLiteral("Blog"), server_.url("/b"), QLatin1StringView(Term)},
                                         {QStringLiteral("Forum"), server_.url("/c"), QLatin1StringView(Term)}};
        sitesFile_ = dir_.filePath(QStringLiteral("Sites.dqx")).toStdString();
        QFile file(QString::fromStdString(sitesFile_));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(SitesFile::Encode(sites));
    }

    void TearDown() override
    {
        service_.leave();
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    }

    // Runs the checker while this thread answers the bus.
    RunResult run(const std::vector<std::string> &extra)
    {
        std::vector<std::string> arguments = {"--sites", sitesFile_, "--quiet", "--confirm-after", "0"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return RunAnsweringTheBus(Program, arguments);
    }

    QTemporaryDir dir_;
    PrivateBus bus_;
    NoticeStandIn service_;
    LocalServer server_;
    std::map<std::string, std::atomic<bool>> linked_;
    std::map<std::string, std::atomic<bool>> flagged_;
    std::string sitesFile_;
};

TEST_F(Notify, OneNoticeNamesThePartnersLost)
{
    run({});
    linked_["/a"] = false;
    linked_["/c"] = false;
    const RunResult r = run({"--notify", "--changes"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_EQ(r.err, "");
    ASSERT_EQ(service_.notices.size(), 1u);
    EXPECT_EQ(service_.notices[0].app, QStringLiteral("tallyweave-check"));
    EXPECT_EQ(service_.notices[0].summary, QStringLiteral("2 partners dropped your link"));
    EXPECT_EQ(service_.notices[0].body, QStringLiteral("Garden &lt;b&gt;Shop&lt;/b&gt;, Forum"));
}

// A link marked nofollow is still on the page, but no longer counts: the same notice names it.
TEST_F(Notify, OneNoticeNamesTheLinksLostAndWeakened)
{
    run({});
    flagged_["/b"] = true;
    linked_["/c"] = false;
    const RunResult r = run({"--notify", "--changes"});
    EXPECT_EQ(r.exitCode, 1) << r.err;
    EXPECT_NE(r.out.find("Blog\t  --> OK\tchanged: ok -> hollow_ok since "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\tnow nofollow\n"), std::string::npos) << r.out;
    ASSERT_EQ(service_.notices.size(), 1u);
    EXPECT_EQ(service_.notices[0].summary, QStringLiteral("2 partners dropped or weakened your link"));
    EXPECT_EQ(service_.notices[0].body,
              QStringLiteral("Lost: Forum\nWeakened (no longer counted by search engines): Blog"));

    // Weakened once is told once.
    run({"--notify"});
    EXPECT_EQ(service_.notices.size(), 1u);
}

TEST_F(Notify, NoNoticeWhenNothingWasLost)
{
    run({});
    linked_["/b"] = false;
    run({});
    linked_["/b"] = true;
    const RunResult r = run({"--notify"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(service_.notices.empty());
}

TEST_F(Notify, APageDownPastDownAfterIsNoticed)
{
    run({});
    server_.http().stop();
    std::vector<std::size_t> seen;
    for (int i = 0; i < 3; ++i) {
        run({"--notify", "--down-after", "2"});
        seen.push_back(service_.notices.size());
    }
    EXPECT_EQ(seen, (std::vector<std::size_t>{0, 1, 1}));
    ASSERT_FALSE(service_.notices.empty());
    EXPECT_EQ(service_.notices[0].summary, QStringLiteral("3 partners dropped your link"));
}

TEST_F(Notify, WithoutAServiceTheRunEndsAsItWouldAndSaysWhy)
{
    run({});
    service_.leave();
    linked_["/b"] = false;
    const RunResult r = run({"--notify"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.rfind("tallyweave-check: the desktop notice could not be shown: ", 0), 0u) << r.err;
}

struct NoticeCase {
    const char *name;
    QStringList lost;
    QStringList weakened;
    const char *summary;
    const char *body;
};

void PrintTo(const NoticeCase &c, std::ostream *out)
{
    *out << c.name;
}

class NoticeText : public testing::TestWithParam<NoticeCase> { };

TEST_P(NoticeText, NamesWhatHappenedToWhom)
{
    const NoticeCase &c = GetParam();
    EXPECT_EQ(DesktopNotice::Summary(c.lost.size(), c.weakened.size()).toStdString(), c.summary);
    EXPECT_EQ(DesktopNotice::Body(c.lost, c.weakened).toStdString(), c.body);
}

INSTANTIATE_TEST_SUITE_P(
        Table, NoticeText,
        testing::Values(NoticeCase{"OneLost", {"A & B\x1b]0;x\a"}, {}, "A partner dropped your link", "A &amp; B ]0;x "},
                        NoticeCase{"TwoLost", {"A", "B"}, {}, "2 partners dropped your link", "A, B"},
                        NoticeCase{"OneWeakened", {}, {"<i>C</i>"}, "A partner weakened your link", "&lt;i&gt;C&lt;/i&gt;"},
                        NoticeCase{"ThreeWeakened", {}, {"C", "D", "E"}, "3 partners weakened your link", "C, D, E"},
                        NoticeCase{"Both", {"A"}, {"C", "D"}, "3 partners dropped or weakened your link",
                                   "Lost: A\nWeakened (no longer counted by search engines): C, D"}),
        [](const auto &info) { return std::string(info.param.name); });

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

