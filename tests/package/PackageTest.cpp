// The Debian package and the files Debian's checkers look at: the manual pages (mandoc), the
// desktop entry (desktop-file-validate) and the package itself (lintian). As root, or in CI,
// the package is installed, tried and removed again.
#include "LocalServer.h"
#include "RunProgram.h"
#include "SitesFile.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

using TestSupport::WriteFile;

const QString Source = QStringLiteral(SOURCE_FOLDER);

std::string tool(const char *name)
{
    const QString found = QStandardPaths::findExecutable(QLatin1StringView(name));
    return found.isEmpty() ? std::string(name) : found.toStdString();
}

struct ManualCase {
    const char *name;
    const char *file;
};

void PrintTo(const ManualCase &c, std::ostream *out)
{
    *out << c.name;
}

class ManualPage : public testing::TestWithParam<ManualCase> { };

TEST_P(ManualPage, PassesMandocLint)
{
    const RunResult r = RunProgram(tool("mandoc"), {"-Tlint", (Source + QLatin1StringView(GetParam().file)).toStdString()});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out + r.err, "");
}

INSTANTIATE_TEST_SUITE_P(Table, ManualPage,
                         testing::Values(ManualCase{"Checker", "/check/tallyweave-check.1"},
                                         ManualCase{"Window", "/app/install/tallyweave.1"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(DesktopEntry, PassesTheValidator)
{
    const RunResult r = RunProgram(tool("desktop-file-validate"), {(Source + QStringLiteral("/app/install/tallyweave.desktop")).toStdString()});
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
    EXPECT_EQ(r.out + r.err, "");
}

// Made once for the checks below; cpack installs the whole build into its own stage.
class DebianPackage : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        folder_ = new QTemporaryDir;
        const RunResult r = RunProgram(tool("cpack"), {"-G", "DEB", "--config", BUILD_FOLDER "/CPackConfig.cmake",
                                                       "-B", folder_->path().toStdString()});
        made_ = r.out + r.err;
        const QStringList debs = QDir(folder_->path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
        if (r.exitCode == 0 && debs.size() == 1)
            deb_ = QDir(folder_->path()).filePath(debs.first()).toStdString();
    }
    static void TearDownTestSuite()
    {
        delete folder_;
        folder_ = nullptr;
    }

    static inline QTemporaryDir *folder_ = nullptr;
    static inline std::string deb_;
    static inline std::string made_;
};

TEST_F(DebianPackage, DependsOnTheLibrariesItLinks)
{
    ASSERT_FALSE(deb_.empty()) << made_;
    const RunResult r = RunProgram(tool("dpkg-deb"), {"--field", deb_, "Depends"});
    for (const char *library : {"libqt6widgets6", "libqt6core6", "libcurl4", "libgumbo", "libc6", "libstdc++6"})
        EXPECT_NE(r.out.find(library), std::string::npos) << library << " in " << r.out;
}

TEST_F(DebianPackage, RecommendsTheBrowserWithoutRequiringIt)
{
    ASSERT_FALSE(deb_.empty()) << made_;
    EXPECT_EQ(RunProgram(tool("dpkg-deb"), {"--field", deb_, "Recommends"}).out, "chromium\n");
    EXPECT_EQ(RunProgram(tool("dpkg-deb"), {"--field", deb_, "Depends"}).out.find("chromium"), std::string::npos);
}

// Errors, warnings and the informational tags (-I), among them the hardening of the programs.
TEST_F(DebianPackage, PassesLintian)
{
    ASSERT_FALSE(deb_.empty()) << made_;
    const RunResult r = RunProgram(tool("lintian"), {"-I", "--tag-display-limit", "0", deb_});
    std::string complaints;
    std::size_t start = 0;
    while (start < r.out.size()) {
        std::size_t end = r.out.find('\n', start);
        if (end == std::string::npos)
            end = r.out.size();
        const std::string line = r.out.substr(start, end - start);
        start = end + 1;
        if (line.rfind("E: ", 0) == 0 || line.rfind("W: ", 0) == 0 || line.rfind("I: ", 0) == 0)
            complaints += line + '\n';
    }
    EXPECT_EQ(complaints, "") << r.err;
    EXPECT_EQ(r.exitCode, 0) << r.out << r.err;
}

// Installing changes the machine: only as root (as CI runs), and never over a Tallyweave that
// someone installed.
TEST_F(DebianPackage, InstallsRunsAndGoesAway)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "installing a package needs root";
    ASSERT_FALSE(deb_.empty()) << made_;
    const RunResult present = RunProgram(tool("dpkg-query"), {"-W", "-f=${Status}", "tallyweave"});
    if (present.out.find("installed") != std::string::npos && present.out.find("not-installed") == std::string::npos)
        GTEST_SKIP() << "a Tallyweave package is installed already; it is left alone";

    RunSettings quiet;
    quiet.environment = {"DEBIAN_FRONTEND=noninteractive"};
    const RunResult installed = RunProgram(tool("apt-get"), {"install", "-y", "-q", "--no-install-recommends",
                                                             "-o", "DPkg::Lock::Timeout=120", deb_}, quiet);
    ASSERT_EQ(installed.exitCode, 0) << installed.out << installed.err;
    struct Remove {
        RunSettings settings;
        ~Remove() { RunProgram(tool("dpkg"), {"-r", "tallyweave"}, settings); }
    } remove{quiet};

    const RunResult version = RunProgram("/usr/bin/tallyweave-check", {"--version"});
    EXPECT_EQ(version.out, "tallyweave-check 1.0.0\n");
    const RunResult manual = RunProgram(tool("man"), {"-w", "tallyweave-check"});
    EXPECT_EQ(manual.out, "/usr/share/man/man1/tallyweave-check.1.gz\n") << manual.err;
    const RunResult entry = RunProgram(tool("desktop-file-validate"), {"/usr/share/applications/tallyweave.desktop"});
    EXPECT_EQ(entry.exitCode, 0) << entry.out << entry.err;
    EXPECT_TRUE(QFileInfo(QStringLiteral("/usr/bin/tallyweave")).isExecutable()) << "the entry's Exec";
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/usr/share/icons/hicolor/48x48/apps/tallyweave.png"))) << "the entry's Icon";
    EXPECT_TRUE(QFileInfo::exists(QStringLiteral("/usr/share/doc/tallyweave/tallyweave.htm")));

    // The installed checker, on its default list in a data folder of the test's own.
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    LocalServer server;
    server.page("/partners", "<html><a href=\"http://my-site.example/\">Me</a></html>");
    ASSERT_TRUE(server.start());
    ASSERT_TRUE(QDir().mkpath(home.filePath(QStringLiteral("data/tallyweave"))));
    ASSERT_TRUE(WriteFile(home.filePath(QStringLiteral("data/tallyweave/Sites.dqx")),
                          SitesFile::Encode({{QStringLiteral("Partner"), server.url("/partners"), QStringLiteral("my-site.example")}})));
    RunSettings user;
    user.environment = {"HOME=" + home.path().toStdString(), "XDG_DATA_HOME=" + home.filePath(QStringLiteral("data")).toStdString()};
    const RunResult check = RunProgram("/usr/bin/tallyweave-check", {}, user);
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_EQ(check.out, "Partner\t  --> OK\nFinished . . .1 out of 1 verified\n");
    EXPECT_EQ(server.hits("/partners"), 1);
}

} // namespace
