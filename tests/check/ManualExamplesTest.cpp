// The examples of the manual page, run as a user would type them, in a home and a program
// folder of their own, against pages on 127.0.0.1.
#include "LocalServer.h"
#include "RunProgram.h"
#include "SitesFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <atomic>
#include <string>
#include <vector>

namespace {

using TestSupport::ReadFile;
using TestSupport::WriteFile;

const char Term[] = "my-site.example";

// Every command of the page's EXAMPLES section, as a reader sees it. A new example must be
// added here, and so to a test below.
const std::vector<std::string> &Examples()
{
    static const std::vector<std::string> examples{
            "tallyweave-check --jobs 32 --format csv > links.csv",
            "0 3 * * * tallyweave-check --quiet --changes --sites ~/partners/Sites.dqx",
            "tallyweave-check --strict --format json |\n"
            "    jq -r '.sites[] | select(.hollow) | \"\\(.name): \\(.match_context) \\(.robots | join(\"; \"))\"'",
            "tallyweave-check --timeout 10 --retry 3 -f json -o report.json",
            "make-partner-list | tallyweave-check --sites -",
            "tallyweave-check --changes\n"
            "tallyweave-check --history --site \"Garden Shop\"",
    };
    return examples;
}

// The displayed blocks of the EXAMPLES section, with roff's escapes undone.
std::vector<std::string> PageExamples()
{
    const QString page = QString::fromUtf8(ReadFile(QStringLiteral(CHECK_MANUAL)));
    const qsizetype from = page.indexOf(QStringLiteral("\n.SH EXAMPLES\n"));
    const qsizetype to = page.indexOf(QStringLiteral("\n.SH "), from + 1);
    const QString section = page.mid(from, to - from);
    std::vector<std::string> blocks;
    static const QRegularExpression Block(QStringLiteral("\n\\.EX\n(.*?)\n\\.EE\n"),
                                          QRegularExpression::DotMatchesEverythingOption);
    for (auto match = Block.globalMatch(section); match.hasNext();) {
        QString text = match.next().captured(1);
        text.replace(QStringLiteral("\\-"), QStringLiteral("-")).replace(QStringLiteral("\\e"), QStringLiteral("\\"));
        blocks.push_back(text.toStdString());
    }
    return blocks;
}

TEST(ManualExamples, AreTheOnesTested)
{
    EXPECT_EQ(PageExamples(), Examples());
}

// The program copied into a folder of its own, where it keeps its list (a portable copy), a
// home with a second list, and a working folder, as in a user's shell.
class ManualExample : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        const std::string linked = std::string("<html><body><a href=\"http://www.") + Term + "/\">Us</a></body></html>";
        server_.page("/garden", linked);
        server_.page("/books", linked);
        server_.page("/hidden", std::string("<html><body><!-- <a href=\"http://www.") + Term + "/\">Us</a> --></body></html>");
        server_.page("/closed", std::string("<html><head><meta name=\"robots\" content=\"noindex\"></head><body><a href=\"http://www.")
                                        + Term + "/\">Us</a></body></html>");
        // A partner that adds the link between two checks.
        server_.http().Get("/late", [this](const httplib::Request &, httplib::Response &res) {
            res.set_content(lateLinks_ ? std::string("<p>") + Term + "</p>" : std::string("<p>soon</p>"), "text/html");
        });
        ASSERT_TRUE(server_.start());

        for (const char *folder : {"bin", "home/partners", "work"})
            ASSERT_TRUE(QDir().mkpath(dir_.filePath(QString::fromLatin1(folder))));
        const QString program = dir_.filePath(QStringLiteral("bin/tallyweave-check"));
        ASSERT_TRUE(QFile::copy(QStringLiteral(TALLYWEAVE_CHECK), program));
        QFile::setPermissions(program, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString lister = dir_.filePath(QStringLiteral("bin/make-partner-list"));
        ASSERT_TRUE(WriteFile(lister, "#!/bin/sh\ncat \"$HOME/partners/more.dqx\"\n"));
        QFile::setPermissions(lister, QFile::ReadOwner | QFile::ExeOwner);

        ASSERT_TRUE(WriteFile(dir_.filePath(QStringLiteral("bin/Sites.dqx")),
                              SitesFile::Encode({site("Garden Shop", "/garden"), site("Book Corner", "/books"),
                                                 site("Hidden", "/hidden"), site("Closed", "/closed")})));
        ASSERT_TRUE(WriteFile(dir_.filePath(QStringLiteral("home/partners/Sites.dqx")),
                              SitesFile::Encode({site("Garden Shop", "/garden"), site("Late Partner", "/late")})));
        ASSERT_TRUE(WriteFile(dir_.filePath(QStringLiteral("home/partners/more.dqx")),
                              SitesFile::Encode({site("Book Corner", "/books")})));
    }

    SiteRecord site(const char *name, const std::string &path) const
    {
        return {QString::fromUtf8(name), server_.url(path), QString::fromLatin1(Term)};
    }

    // Runs one of the examples with bash, as typed at a prompt.
    RunResult shell(const std::string &command) const
    {
        RunSettings settings;
        settings.workingDirectory = path("work");
        settings.environment = {"HOME=" + path("home"), "PATH=" + path("bin") + ":/usr/bin:/bin",
                                "XDG_DATA_HOME=" + path("home/.local/share")};
        return RunProgram("/bin/bash", {"-c", command}, settings);
    }

    std::string path(const char *name) const { return dir_.filePath(QString::fromLatin1(name)).toStdString(); }

    QTemporaryDir dir_;
    LocalServer server_;
    std::atomic<bool> lateLinks_{false};
};

std::vector<std::string> lines(const std::string &text)
{
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        out.push_back(text.substr(start, end - start));
    return out;
}

TEST_F(ManualExample, ReportForASpreadsheet)
{
    const RunResult r = shell(Examples()[0]);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const std::vector<std::string> rows = lines(ReadFile(QString::fromStdString(path("work/links.csv"))).toStdString());
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].rfind("name,url,status,", 0), 0u) << rows[0];
    EXPECT_EQ(rows[1].rfind("Garden Shop,", 0), 0u) << rows[1];
    EXPECT_EQ(rows[3].rfind("Hidden,", 0), 0u) << rows[3];
}

// What cron would mail: the first night's news, then nothing while nothing changes, then
// only the partner that changed.
TEST_F(ManualExample, NightlyCheckPrintsOnlyWhatChanged)
{
    const std::string line = Examples()[1];
    const std::string command = line.substr(line.find("tallyweave-check"));
    const RunResult first = shell(command);
    EXPECT_EQ(first.exitCode, 1) << first.err;
    const std::vector<std::string> news = lines(first.out);
    ASSERT_EQ(news.size(), 3u) << first.out;
    EXPECT_EQ(news[0].rfind("Garden Shop\t  --> OK\tnew: ok since ", 0), 0u) << news[0];
    EXPECT_EQ(news[1].rfind("Late Partner\t  --> Search Term Not Found\tnew: not_found since ", 0), 0u) << news[1];
    EXPECT_EQ(news[2], "Finished . . .1 out of 2 verified");

    const RunResult quiet = shell(command);
    EXPECT_EQ(quiet.exitCode, 1) << quiet.err;
    EXPECT_EQ(quiet.out, "");
    EXPECT_EQ(quiet.err, "");

    lateLinks_ = true;
    const RunResult back = shell(command);
    EXPECT_EQ(back.exitCode, 0) << back.err;
    const std::vector<std::string> changed = lines(back.out);
    ASSERT_EQ(changed.size(), 2u) << back.out;
    EXPECT_EQ(changed[0].rfind("Late Partner\t  --> OK\tback: not_found -> ok since ", 0), 0u) << changed[0];
    EXPECT_EQ(changed[1], "Finished . . .2 out of 2 verified");
}

TEST_F(ManualExample, HollowLinksWithWhereTheySit)
{
    const RunResult r = shell(Examples()[2]);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Hidden: comment \nClosed: link-href noindex (meta robots)\n");
}

TEST_F(ManualExample, ReportThatIsCompleteOrAbsent)
{
    const RunResult r = shell(Examples()[3]);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const nlohmann::json report = nlohmann::json::parse(ReadFile(QString::fromStdString(path("work/report.json"))).toStdString());
    ASSERT_EQ(report["sites"].size(), 4u);
    EXPECT_EQ(report["sites"][1]["name"], "Book Corner");
    EXPECT_EQ(report["summary"]["verified"], 4);
}

TEST_F(ManualExample, ListFromAnotherProgram)
{
    const RunResult r = shell(Examples()[4]);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Book Corner\t  --> OK\nFinished . . .1 out of 1 verified\n");
}

TEST_F(ManualExample, WhatChangedAndTheStoryOfOnePartner)
{
    ASSERT_TRUE(WriteFile(dir_.filePath(QStringLiteral("bin/Sites.dqx")),
                          SitesFile::Encode({site("Garden Shop", "/garden"), site("Late Partner", "/late")})));
    ASSERT_EQ(shell("tallyweave-check").exitCode, 1); // yesterday's check
    lateLinks_ = true;
    const RunResult r = shell(Examples()[5]);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> out = lines(r.out);
    ASSERT_EQ(out.size(), 4u) << r.out;
    EXPECT_EQ(out[0].rfind("Late Partner\t  --> OK\tback: not_found -> ok since ", 0), 0u) << out[0];
    EXPECT_EQ(out[1], "Finished . . .2 out of 2 verified");
    EXPECT_EQ(out[2], "Garden Shop");
    EXPECT_EQ(out[3].rfind("  ok\t", 0), 0u) << out[3];
    EXPECT_NE(out[3].find("\tcurrent"), std::string::npos) << out[3];
}

} // namespace
