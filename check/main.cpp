// tallyweave-check: the window's verdicts for a whole sites file, without the window.
#include "AppInfo.h"
#include "CheckOptions.h"
#include "CheckReport.h"
#include "CheckRun.h"
#include "ProgressBar.h"
#include "SitesFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <thread>
#include <unistd.h>

namespace {

constexpr int ExitVerified = 0;
constexpr int ExitNotVerified = 1;
constexpr int ExitTrouble = 2;

int fail(const QString &message)
{
    std::cerr << CheckOptions::ProgramName << ": " << message.toStdString() << '\n';
    return ExitTrouble;
}

// Parsing pages costs far more than downloading them; each core can take a share.
int analysers()
{
    constexpr int Most = 8;
    return std::clamp(int(std::thread::hardware_concurrency()), 1, Most);
}

// Empty on success; the file is opened for reading only. Sites after the announced ones are
// not checked, and a warning on standard error says so.
QString readSites(const QString &path, QList<SiteRecord> &records)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.errorString();
    SitesFile::Decoded decoded;
    {
        QByteArray bytes;
        if (const QString error = SitesFile::ReadWhole(file, bytes); !error.isEmpty())
            return error;
        decoded = SitesFile::Decode(bytes);
    }
    if (decoded.extraSites > 0)
        std::cerr << CheckOptions::ProgramName << ": warning: " << path.toStdString() << ": "
                  << decoded.error.toStdString() << '\n';
    else if (!decoded.error.isEmpty())
        return decoded.error;
    records = std::move(decoded.records);
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);

    const CheckOptions::Parsed parsed = CheckOptions::Parse(QCoreApplication::arguments().mid(1));
    if (!parsed.error.isEmpty()) {
        fail(parsed.error);
        std::cerr << "Try '" << CheckOptions::ProgramName << " --help' for more information.\n";
        return ExitTrouble;
    }
    const CheckOptions::Options &options = parsed.options;
    if (options.help) {
        std::cout << CheckOptions::HelpText().toStdString();
        return ExitVerified;
    }
    if (options.version) {
        std::cout << CheckOptions::VersionText().toStdString();
        return ExitVerified;
    }

    const QString path = options.sitesFile ? *options.sitesFile
                                           : QDir(AppInfo::ProgramFolder()).filePath(QLatin1StringView(SitesFile::FileName));
    QList<SiteRecord> sites;
    if (const QString error = readSites(path, sites); !error.isEmpty())
        return fail(QStringLiteral("cannot read %1: %2").arg(path, error));

    if (options.site) {
        QList<SiteRecord> named;
        for (const SiteRecord &site : std::as_const(sites))
            if (site.Name == *options.site)
                named.append(site);
        if (named.isEmpty())
            return fail(QStringLiteral("%1 holds no site named \u201c%2\u201d").arg(path, *options.site));
        sites = std::move(named);
    }

    curl_global_init(CURL_GLOBAL_DEFAULT);

    ProgressBar bar(!options.quiet && isatty(STDERR_FILENO), stderr);
    // Lines written under a bar on the same terminal would be drawn over.
    const bool sharedTerminal = isatty(STDOUT_FILENO) && isatty(STDERR_FILENO);

    CheckReport::Writer writer(options.format, std::cout);
    CheckReport::Summary summary;
    summary.sitesFile = path;
    summary.strict = options.strict;
    QElapsedTimer clock;
    clock.start();

    writer.begin();
    if (sharedTerminal)
        std::cout.flush();
    CheckRun::Settings settings;
    settings.jobs = options.jobs;
    settings.perHost = CheckOptions::PerHost;
    settings.analyse = CheckOptions::NeedsAnalysis(options);
    settings.strict = options.strict;
    settings.analysers = analysers();
    CheckRun::CheckSites(
            sites, settings,
            [&](qsizetype position, const SiteVerdict::SiteResult &result) {
                if (sharedTerminal)
                    bar.clear();
                writer.site(sites[position], result);
                summary.add(result);
                if (sharedTerminal)
                    std::cout.flush();
            },
            [&](qsizetype judged, qsizetype total) { bar.update(judged, total); });
    bar.clear();
    summary.ms = clock.elapsed();
    writer.end(summary);
    curl_global_cleanup();

    // A report cut short (a full disk) must not pass for a complete one.
    if (!std::cout.flush())
        return fail(QStringLiteral("cannot write the report to standard output"));
    return summary.allVerified() ? ExitVerified : ExitNotVerified;
}
