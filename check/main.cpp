// tallyweave-check: the window's verdicts for a whole sites file, without the window.
#include "ChangeReport.h"
#include "CheckOptions.h"
#include "CheckReport.h"
#include "CheckRun.h"
#include "DesktopNotice.h"
#include "HistoryCommand.h"
#include "HistoryRecorder.h"
#include "NoticeWaiter.h"
#include "ProgressBar.h"
#include "RecordingThread.h"
#include "RenderStage.h"
#include "SitesFile.h"
#include "SitesLocation.h"
#include "VisibleText.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSaveFile>

#include <curl/curl.h>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

constexpr int ExitVerified = 0;
constexpr int ExitNotVerified = 1;
constexpr int ExitTrouble = 2;

// Messages quote names and bytes from the sites file: shown with their controls made visible.
int fail(const QString &message)
{
    std::cerr << CheckOptions::ProgramName << ": " << VisibleText::Of(message).toStdString() << '\n';
    return ExitTrouble;
}

// The run's lines are written on the recording thread while the progress bar is drawn on the
// transfers' thread.
std::mutex terminal;

void warn(const QString &message)
{
    const std::lock_guard lock(terminal);
    std::cerr << CheckOptions::ProgramName << ": " << VisibleText::Of(message).toStdString() << '\n';
}

// Parsing pages costs far more than downloading them; each core can take a share.
int analysers()
{
    constexpr int Most = 8;
    return std::clamp(int(std::thread::hardware_concurrency()), 1, Most);
}

// Empty on success; the file is opened for reading only. "-" is standard input. Sites after
// the announced ones are not checked, and a warning on standard error says so.
QString readSites(const QString &path, QList<SiteRecord> &records)
{
    QFile file(path);
    const bool opened = path == QLatin1StringView(CheckOptions::StandardInput)
            ? file.open(stdin, QIODevice::ReadOnly)
            : file.open(QIODevice::ReadOnly);
    if (!opened)
        return file.errorString();
    SitesFile::Decoded decoded;
    {
        QByteArray bytes;
        if (const QString error = SitesFile::ReadWhole(file, bytes); !error.isEmpty())
            return error;
        decoded = SitesFile::Decode(bytes);
    }
    if (decoded.extraSites > 0)
        warn(QStringLiteral("warning: %1: %2").arg(path, decoded.error));
    else if (!decoded.error.isEmpty())
        return decoded.error;
    records = std::move(decoded.records);
    return {};
}

} // namespace

int main(int argc, char *argv[])
{
    // Pages and the parser's trees come and go in blocks of a megabyte and more. Left to
    // itself, the C library raises its bar for handing such blocks back to the system each time
    // one is freed, and later ones then stay in heaps that do not shrink. The bar is fixed here;
    // the heap keeps room at its top, or it would be trimmed and grown again for every page.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    mallopt(M_TRIM_THRESHOLD, 32 << 20);
    QCoreApplication app(argc, argv);
    // Left behind by an earlier run that showed a desktop notice.
    if (const std::optional<int> waited = NoticeWaiter::RunIfAsked(QCoreApplication::arguments()))
        return *waited;

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

    const RenderStage::Settings rendering = CheckOptions::Rendering(options);
    if (options.render != RenderedVerdict::Mode::Off && rendering.render.browser.isEmpty())
        return fail(CheckOptions::NoBrowser(options));

    // By default the list the window uses, wherever that is kept.
    const QString path = options.sitesFile ? *options.sitesFile : SitesLocation::FileToRead(SitesLocation::Observe());
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

    // A list read from standard input has no place for a history beside it.
    const bool fromInput = path == QLatin1StringView(CheckOptions::StandardInput);
    const QString historyFile = fromInput ? QString() : HistoryStore::PathFor(path);

    // Opened before the run, so that a file that cannot be written is known at once; it
    // replaces FILE only when the whole report is in it.
    std::optional<QSaveFile> outputFile;
    if (options.output) {
        outputFile.emplace(*options.output);
        if (!outputFile->open(QIODevice::WriteOnly))
            return fail(QStringLiteral("cannot write the report to %1: %2").arg(*options.output, outputFile->errorString()));
    }
    // A report for a file is held until it is complete, so the file is whole or untouched.
    std::ostringstream held;
    std::ostream &out = options.output ? static_cast<std::ostream &>(held) : std::cout;
    const auto finishOutput = [&]() -> int {
        if (outputFile) {
            const std::string report = held.str();
            if (outputFile->write(report.data(), qint64(report.size())) != qint64(report.size()) || !outputFile->commit())
                return fail(QStringLiteral("cannot write the report to %1: %2").arg(*options.output, outputFile->errorString()));
        }
        // A report cut short (a full disk) must not pass for a complete one.
        if (!std::cout.flush())
            return fail(QStringLiteral("cannot write the report to standard output"));
        return ExitVerified;
    };

    if (options.history) {
        if (fromInput)
            return fail(QStringLiteral("--history needs a sites file, not standard input"));
        if (const QString error = HistoryCommand::Print(historyFile, sites, options.format, out, warn); !error.isEmpty())
            return fail(error);
        return finishOutput();
    }

    curl_global_init(CURL_GLOBAL_DEFAULT);

    ProgressBar bar(!options.quiet && isatty(STDERR_FILENO), stderr);
    // Lines written under a bar on the same terminal would be drawn over.
    const bool sharedTerminal = !options.output && isatty(STDOUT_FILENO) && isatty(STDERR_FILENO);

    HistoryRecorder::Settings recording{options.downAfter, options.confirmAfter};
    recording.check = [&rendering](const QList<SiteRecord> &again, const CheckRun::Settings &settings,
                                   const CheckRun::Deliver &deliver) {
        return RenderStage::CheckSites(again, settings, rendering, deliver);
    };
    HistoryRecorder recorder(options.noHistory ? QString() : historyFile, recording, warn);
    CheckReport::Writer writer(options.format, out, !options.quiet);
    writer.showChanges(options.changes);
    ChangeReport::Gate gate(writer, options.changes);
    CheckReport::Summary summary;
    summary.sitesFile = path;
    summary.strict = options.strict;
    QElapsedTimer clock;
    clock.start();

    gate.begin();
    if (sharedTerminal)
        std::cout.flush();
    CheckRun::Settings settings;
    settings.jobs = options.jobs;
    settings.perHost = CheckOptions::PerHost;
    settings.analyse = CheckOptions::NeedsAnalysis(options);
    settings.strict = options.strict;
    settings.analysers = analysers();
    settings.limits = options.limits;
    settings.retries = options.retries;
    if (options.crawlerCheck)
        settings.crawlerAgent = options.crawlerAgent;
    const HistoryRecorder::Report report = [&](qsizetype position, const SiteVerdict::SiteResult &result) {
        const std::lock_guard lock(terminal);
        if (sharedTerminal)
            bar.clear();
        gate.site(std::as_const(sites)[position], result);
        summary.add(result);
        if (sharedTerminal)
            std::cout.flush();
    };
    RecordingThread recordingThread(recorder, sites, report);
    RenderStage::CheckSites(
            sites, settings, rendering,
            [&](qsizetype position, const SiteVerdict::SiteResult &result) { recordingThread.deliver(position, result); },
            [&](qsizetype judged, qsizetype total) {
                const std::lock_guard lock(terminal);
                bar.update(judged, total);
            });
    // Sites held for a second check come last; the bar's final state follows them.
    recordingThread.finish(settings);
    bar.finish();
    summary.ms = clock.elapsed();
    gate.end(summary);
    curl_global_cleanup();

    const QStringList lost = recorder.lost();
    const QStringList weakened = recorder.weakened();
    if (options.notify && !(lost.isEmpty() && weakened.isEmpty()))
        if (const QString error = DesktopNotice::Send(DesktopNotice::Summary(lost.size(), weakened.size()),
                                                      DesktopNotice::Body(lost, weakened));
            !error.isEmpty())
            warn(QStringLiteral("the desktop notice %1").arg(error));

    if (const int status = finishOutput(); status != ExitVerified)
        return status;
    return summary.allVerified() ? ExitVerified : ExitNotVerified;
}
