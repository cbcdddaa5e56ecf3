// tallyweave-check --render with Debian's chromium against pages of a local server whose
// scripts draw, remove or keep the link, or never settle, or take memory without end; and with
// no browser or a browser that crashes. Nothing the checker starts is left running.
#include "LiveProcesses.h"
#include "LocalServer.h"
#include "PageRenderer.h"
#include "RunProgram.h"
#include "ScriptPages.h"
#include "SitesFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <QFile>
#include <QTemporaryDir>

namespace {

using nlohmann::json;

const std::string Program = TALLYWEAVE_CHECK;

class RenderCli : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        server_.page("/timer", ScriptPages::Timer);
        server_.page("/fetched", ScriptPages::Fetched);
        server_.page("/link.json", ScriptPages::LinkJson, 200, 0, {{"Content-Type", "application/json"}});
        server_.page("/ready", ScriptPages::OnReady);
        server_.page("/removed", ScriptPages::Removed);
        server_.page("/plain", ScriptPages::Plain);
        server_.page("/absent", ScriptPages::Absent);
        server_.page("/ticking", ScriptPages::EndlessTimer);
        server_.page("/busy", ScriptPages::EndlessLoop);
        server_.page("/hog", ScriptPages::Hog);
        server_.redirect("/moved", "/timer");
        ASSERT_TRUE(server_.start());
    }

    std::string sitesWith(const std::string &path)
    {
        const QString file = dir_.filePath(QStringLiteral("Sites.dqx"));
        EXPECT_TRUE(TestSupport::WriteFile(
                file, SitesFile::Encode({{QStringLiteral("Partner"), server_.url(path), QLatin1StringView(ScriptPages::Term)}})));
        return file.toStdString();
    }

    // A stand-in browser: a shell script of these lines.
    std::string standIn(const std::string &lines)
    {
        const QString path = dir_.filePath(QStringLiteral("browser"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString("#!/bin/sh\n" + lines + "\n"));
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path.toStdString();
    }

    // The checker with its temporary files (the browser's profiles) in the test's folder.
    RunResult run(const std::vector<std::string> &arguments, std::vector<std::string> environment = {})
    {
        RunSettings settings;
        environment.push_back("TMPDIR=" + dir_.path().toStdString());
        settings.environment = std::move(environment);
        return RunProgram(Program, arguments, settings);
    }

    static json onlySite(const RunResult &result)
    {
        const json report = json::parse(result.out, nullptr, false);
        if (report.is_discarded() || report["sites"].size() != 1)
            return json();
        return report["sites"][0];
    }

    void expectNothingLeft()
    {
        EXPECT_EQ(LiveProcessesNaming(dir_.path().toStdString()), std::vector<int>{});
        EXPECT_EQ(QDir(dir_.path()).entryList({QStringLiteral("tallyweave-render-*")}, QDir::AllEntries), QStringList{});
    }

    QTemporaryDir dir_;
    LocalServer server_;
};

class WithChromium : public RenderCli
{
protected:
    void SetUp() override
    {
        if (PageRenderer::FindBrowser().isEmpty())
            GTEST_SKIP() << "chromium is not installed (./go test installs it)";
        RenderCli::SetUp();
    }
};

struct RenderCase {
    const char *name;
    const char *path;
    std::vector<std::string> options;
    const char *status;
    bool rendered;
    bool hollow; // for an ok site
    const char *error; // null for none
    int exitCode;
};

class RenderedVerdicts : public WithChromium, public testing::WithParamInterface<RenderCase>
{
};

TEST_P(RenderedVerdicts, AreReported)
{
    const RenderCase &c = GetParam();
    std::vector<std::string> arguments{"--sites", sitesWith(c.path), "--format", "json", "--no-history"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    const RunResult result = run(arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
    const json site = onlySite(result);
    ASSERT_TRUE(site.is_object()) << result.out;
    EXPECT_EQ(site["status"], c.status);
    EXPECT_EQ(site["rendered"], c.rendered);
    EXPECT_EQ(site["hollow"], std::string(c.status) == "ok" ? json(c.hollow) : json());
    EXPECT_EQ(site["error"], c.error ? json(c.error) : json());
    expectNothingLeft();
}

using Options = std::vector<std::string>;

INSTANTIATE_TEST_SUITE_P(
        Check, RenderedVerdicts,
        testing::Values(
                RenderCase{"LinkAddedByTimer", "/timer", Options{"--render"}, "ok", true, true, nullptr, 0},
                RenderCase{"LinkAddedAfterFetch", "/fetched", Options{"--render=missing"}, "ok", true, true, nullptr, 0},
                RenderCase{"LinkAddedOnDomContentLoaded", "/ready", Options{"--render"}, "ok", true, true, nullptr, 0},
                RenderCase{"DrawnLinkUnderStrict", "/timer", Options{"--render", "--strict"}, "ok", true, true, nullptr, 1},
                RenderCase{"DrawnLinkWithoutRendering", "/timer", Options{}, "not_found", false, false, nullptr, 1},
                RenderCase{"RemovedLinkWithAll", "/removed", Options{"--render=all"}, "ok", true, true, nullptr, 0},
                RenderCase{"RemovedLinkWithMissing", "/removed", Options{"--render"}, "ok", false, false, nullptr, 0},
                RenderCase{"PlainLinkWithAll", "/plain", Options{"--render=all"}, "ok", true, false, nullptr, 0},
                RenderCase{"AbsentEvenRendered", "/absent", Options{"--render"}, "not_found", true, false, nullptr, 1},
                RenderCase{"RedirectToDrawingPage", "/moved", Options{"--render"}, "ok", true, true, nullptr, 0},
                RenderCase{"EndlessTimer", "/ticking", Options{"--render"}, "not_found", true, false, nullptr, 1},
                RenderCase{"EndlessLoop", "/busy", Options{"--render", "--render-timeout", "3"}, "not_found", false,
                           false, "render failed: no answer within 3 s", 1},
                RenderCase{"EndlessMemory", "/hog", Options{"--render", "--render-memory", "256"}, "not_found", false,
                           false, "render failed: the browser used more than 256 MiB", 1}),
        [](const testing::TestParamInfo<RenderCase> &info) { return std::string(info.param.name); });

TEST_F(WithChromium, DrawnLinkInTheHistory)
{
    const std::string sites = sitesWith("/timer");
    const std::vector<std::string> plain{"--sites", sites, "--format", "json", "--confirm-after", "0"};
    const json first = onlySite(run(plain));
    EXPECT_EQ(first["status"], "not_found");
    EXPECT_EQ(first["change"], "new");

    std::vector<std::string> rendering = plain;
    rendering.push_back("--render");
    const json second = onlySite(run(rendering));
    EXPECT_EQ(second["status"], "ok");
    EXPECT_EQ(second["previous_status"], "not_found");
    EXPECT_EQ(second["change"], "back");

    // A render that fails does not call the drawn link lost: the page counts as down.
    rendering.insert(rendering.end(), {"--browser", standIn("kill -SEGV $$")});
    const json third = onlySite(run(rendering));
    EXPECT_EQ(third["status"], "not_found");
    EXPECT_EQ(third["previous_status"], "hollow_ok");
    EXPECT_EQ(third["change"], "down");
    EXPECT_EQ(third["error"], "render failed: the browser crashed");
    expectNothingLeft();
}

TEST_F(RenderCli, CrashingBrowserKeepsTheSourceVerdict)
{
    const RunResult result = run({"--sites", sitesWith("/timer"), "--no-history", "--render", "--browser",
                                  standIn("kill -SEGV $$")});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(result.out, "Partner\t  --> Search Term Not Found  [render failed: the browser crashed]\n"
                          "Finished . . . out of 1 verified\n");
    expectNothingLeft();
}

TEST_F(RenderCli, CrashingBrowserOnAFoundTermKeepsItFound)
{
    const json site = onlySite(run({"--sites", sitesWith("/plain"), "--no-history", "--format", "json", "--render=all",
                                    "--browser", standIn("kill -SEGV $$")}));
    EXPECT_EQ(site["status"], "ok");
    EXPECT_EQ(site["rendered"], false);
    EXPECT_EQ(site["hollow"], false);
    EXPECT_EQ(site["verified"], true);
    EXPECT_EQ(site["error"], "render failed: the browser crashed");
}

struct NoBrowserCase {
    const char *name;
    std::vector<std::string> options;
    std::vector<std::string> environment;
    const char *message;
};

class NoBrowser : public RenderCli, public testing::WithParamInterface<NoBrowserCase>
{
};

TEST_P(NoBrowser, ExitsWithTwoNamingThePackage)
{
    std::vector<std::string> arguments{"--sites", sitesWith("/timer"), "--no-history"};
    arguments.insert(arguments.end(), GetParam().options.begin(), GetParam().options.end());
    const RunResult result = run(arguments, GetParam().environment);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, GetParam().message);
    EXPECT_EQ(server_.hits("/timer"), 0) << "nothing is checked";
}

INSTANTIATE_TEST_SUITE_P(
        Check, NoBrowser,
        testing::Values(
                NoBrowserCase{"GivenBrowserMissing", {"--render", "--browser", "/nonexistent"}, {},
                              "tallyweave-check: --browser: \u201c/nonexistent\u201d is not a program; name "
                              "Chromium's, or install the chromium package (apt-get install chromium)\n"},
                NoBrowserCase{"NoneOnPath", {"--render=all"}, {"PATH=/nonexistent"},
                              "tallyweave-check: --render needs Chromium, which is not on PATH: install the chromium "
                              "package (apt-get install chromium), or name it with --browser\n"}),
        [](const testing::TestParamInfo<NoBrowserCase> &info) { return std::string(info.param.name); });

} // namespace
