// The renderer with Debian's chromium on pages of a local server, and with stand-in browsers
// that crash, fail or hang; after each, no process it started is left and its profile is gone.
#include "HttpServer.h"
#include "LiveProcesses.h"
#include "PageRenderer.h"
#include "ScriptPages.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

namespace {

using TestSupport::HttpServer;

class RendererTest : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp_.isValid());
        // The profiles are made here, so that what names them is this test's alone.
        savedTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", tmp_.path().toUtf8());
    }
    void TearDown() override
    {
        qputenv("TMPDIR", savedTmp_);
    }

    // A stand-in browser: a shell script of these lines.
    QString standIn(const QByteArray &lines)
    {
        const QString path = tmp_.path() + QStringLiteral("/browser-%1").arg(++standIns_);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\n" + lines + "\n");
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    void expectNothingLeft()
    {
        EXPECT_EQ(LiveProcessesNaming(tmp_.path().toStdString()), std::vector<int>{});
        const QStringList profiles = QDir(tmp_.path()).entryList({QStringLiteral("tallyweave-render-*")}, QDir::AllEntries);
        EXPECT_EQ(profiles, QStringList{});
    }

    QTemporaryDir tmp_;
    QByteArray savedTmp_;
    int standIns_ = 0;
};

class ChromiumTest : public RendererTest
{
protected:
    void SetUp() override
    {
        RendererTest::SetUp();
        settings_.browser = PageRenderer::FindBrowser();
        if (settings_.browser.isEmpty())
            GTEST_SKIP() << "chromium is not installed (./go test installs it)";
        ASSERT_TRUE(server_.running());
        server_.route("/timer", ScriptPages::Timer);
        server_.route("/fetched", ScriptPages::Fetched);
        server_.route("/link.json", ScriptPages::LinkJson, 200, {{"Content-Type", "application/json"}});
        server_.route("/ready", ScriptPages::OnReady);
        server_.route("/removed", ScriptPages::Removed);
        server_.route("/hidden", ScriptPages::Hidden);
        server_.route("/plain", ScriptPages::Plain);
        server_.route("/ticking", ScriptPages::EndlessTimer);
        server_.route("/busy", ScriptPages::EndlessLoop);
        server_.route("/hog", ScriptPages::Hog);
        server_.redirect("/moved", "/timer");
    }

    HttpServer server_;
    PageRenderer::Settings settings_;
};

struct PageCase {
    const char *name;
    const char *path;
    bool holdsTerm;     // the rendered document holds the term
    const char *marker; // and this
};

class RenderedPages : public ChromiumTest, public testing::WithParamInterface<PageCase>
{
};

TEST_P(RenderedPages, ShowWhatTheScriptsDid)
{
    const PageCase &c = GetParam();
    const PageRenderer::Rendered rendered = PageRenderer::Render(server_.url(QLatin1StringView(c.path)), settings_);
    ASSERT_TRUE(rendered.ok) << rendered.error.toStdString();
    EXPECT_EQ(rendered.error, QString());
    EXPECT_EQ(rendered.dom.contains(QLatin1StringView(ScriptPages::Term), Qt::CaseInsensitive), c.holdsTerm)
            << rendered.dom.toStdString();
    EXPECT_TRUE(rendered.dom.contains(QLatin1StringView(c.marker))) << rendered.dom.toStdString();
    EXPECT_GT(rendered.peakBytes, 0);
    EXPECT_LT(rendered.ms, settings_.timeout.count());
    expectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(
        Render, RenderedPages,
        testing::Values(PageCase{"LinkAddedByTimer", "/timer", true, ">My Shop</a>"},
                        PageCase{"LinkAddedAfterFetch", "/fetched", true, ">My Shop</a>"},
                        PageCase{"LinkAddedOnDomContentLoaded", "/ready", true, ">My Shop</a>"},
                        PageCase{"LinkRemovedAtOnce", "/removed", false, "<body>"},
                        PageCase{"LinkHiddenByStyle", "/hidden", true, "style=\"display: none;\""},
                        PageCase{"PlainLink", "/plain", true, ">My Shop</a>"},
                        PageCase{"RedirectToDrawingPage", "/moved", true, ">My Shop</a>"},
                        PageCase{"EndlessTimerSettlesInPageTime", "/ticking", false, "<p>Ticking</p>"}),
        [](const testing::TestParamInfo<PageCase> &info) { return std::string(info.param.name); });

TEST_F(ChromiumTest, PageThatNeverSettlesEndsAtTheBound)
{
    settings_.timeout = std::chrono::seconds(3);
    const PageRenderer::Rendered rendered = PageRenderer::Render(server_.url("/busy"), settings_);
    EXPECT_FALSE(rendered.ok);
    EXPECT_EQ(rendered.error, QStringLiteral("no answer within 3 s"));
    EXPECT_EQ(rendered.dom, QString());
    EXPECT_GE(rendered.ms, 3000);
    EXPECT_LT(rendered.ms, 10000);
    expectNothingLeft();
}

TEST_F(ChromiumTest, PageThatTakesMemoryWithoutEndIsEndedByTheBudget)
{
    settings_.memoryBudget = 300LL << 20;
    const PageRenderer::Rendered rendered = PageRenderer::Render(server_.url("/hog"), settings_);
    EXPECT_FALSE(rendered.ok);
    EXPECT_EQ(rendered.error, QStringLiteral("the browser used more than 300 MiB"));
    EXPECT_GT(rendered.peakBytes, 300LL << 20);
    EXPECT_LT(rendered.ms, settings_.timeout.count());
    expectNothingLeft();
}

TEST_F(ChromiumTest, StopEndsThePageAtOnce)
{
    std::atomic<bool> stop{false};
    settings_.stop = &stop;
    std::thread stopper([&stop] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        stop = true;
    });
    const PageRenderer::Rendered rendered = PageRenderer::Render(server_.url("/busy"), settings_);
    stopper.join();
    EXPECT_FALSE(rendered.ok);
    EXPECT_EQ(rendered.error, QStringLiteral("stopped"));
    EXPECT_LT(rendered.ms, 8000);
    expectNothingLeft();
}

TEST_F(RendererTest, FindsNoBrowserThatIsNotThere)
{
    EXPECT_EQ(PageRenderer::FindBrowser(QStringLiteral("/nonexistent/chromium")), QString());
    EXPECT_EQ(PageRenderer::FindBrowser(tmp_.path()), QString());
    const QString script = standIn("exit 0");
    EXPECT_EQ(PageRenderer::FindBrowser(script), script);
}

TEST_F(RendererTest, WithoutBrowserNamesThePackage)
{
    const PageRenderer::Rendered rendered = PageRenderer::Render(QStringLiteral("http://127.0.0.1:9/"), {});
    EXPECT_FALSE(rendered.ok);
    EXPECT_EQ(rendered.error, QStringLiteral("no browser; install the chromium package"));
}

struct FailureCase {
    const char *name;
    const char *script;
    const char *url;
    const char *error;
};

class FailingBrowsers : public RendererTest, public testing::WithParamInterface<FailureCase>
{
};

TEST_P(FailingBrowsers, GiveAnErrorAndLeaveNothing)
{
    const FailureCase &c = GetParam();
    PageRenderer::Settings settings;
    settings.browser = standIn(c.script);
    settings.timeout = std::chrono::seconds(2);
    const PageRenderer::Rendered rendered = PageRenderer::Render(QLatin1StringView(c.url), settings);
    EXPECT_FALSE(rendered.ok);
    EXPECT_EQ(rendered.error, QLatin1StringView(c.error));
    EXPECT_EQ(rendered.dom, QString());
    EXPECT_LT(rendered.ms, 8000);
    // The hanging stand-in's helpers name the profile too, by the variable it is given.
    expectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(
        Render, FailingBrowsers,
        testing::Values(
                FailureCase{"Crashes", "kill -SEGV $$", "http://127.0.0.1:9/", "the browser crashed"},
                FailureCase{"EndsWithStatus", "echo noise >&2; echo 'cannot open display' >&2; exit 3",
                            "http://127.0.0.1:9/", "the browser ended with status 3: cannot open display"},
                FailureCase{"PrintsNothing", "exit 0", "http://127.0.0.1:9/", "the browser gave no page"},
                FailureCase{"HangsWithHelpers", "sh -c \"sleep 300; echo $HOME\" & sh -c \"sleep 300; echo $HOME\" & wait",
                            "http://127.0.0.1:9/", "no answer within 2 s"},
                FailureCase{"PrintsWithoutEnd", "yes '<p>more</p>'", "http://127.0.0.1:9/",
                            "the page is larger than 64 MiB"},
                FailureCase{"NeverStartedForAFile", "echo '<html></html>'", "file:///etc/passwd",
                            "only http and https pages are rendered"}),
        [](const testing::TestParamInfo<FailureCase> &info) { return std::string(info.param.name); });

TEST_F(RendererTest, GivesThePageTheStandInPrinted)
{
    PageRenderer::Settings settings;
    settings.browser = standIn("for last; do :; done; echo \"<html><body>$last</body></html>\"");
    const PageRenderer::Rendered rendered = PageRenderer::Render(QStringLiteral("http://127.0.0.1:9/page?x=1"), settings);
    ASSERT_TRUE(rendered.ok) << rendered.error.toStdString();
    EXPECT_EQ(rendered.dom, QStringLiteral("<html><body>http://127.0.0.1:9/page?x=1</body></html>\n"));
    expectNothingLeft();
}

} // namespace
