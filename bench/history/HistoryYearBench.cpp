// A year of daily checks of a full list: how much the history file grows, and how long the
// query the window makes (every site with its state, since, last check and counts) takes.
//
//   history_year_bench [--sites N] [--days D] [--changes-per-day C] [--keep]
//
// Each day every site is recorded once, as tallyweave-check records a run; C sites a day
// change state (lost, back, down), the rest stay as they were.
#include "Timing.h"
#include "YearOfChecks.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <vector>

namespace {

using Timing::Clock;
using Timing::Median;
using Timing::MsSince;

int fail(const char *message)
{
    std::fprintf(stderr, "history_year_bench: %s\n", message);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int sites = 32767;
    int days = 365;
    int changesPerDay = 20;
    bool keep = false;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (a == u"--keep")
            keep = true;
        else if (i + 1 < args.size() && a == u"--sites")
            sites = args[++i].toInt();
        else if (i + 1 < args.size() && a == u"--days")
            days = args[++i].toInt();
        else if (i + 1 < args.size() && a == u"--changes-per-day")
            changesPerDay = args[++i].toInt();
        else
            return fail("usage: history_year_bench [--sites N] [--days D] [--changes-per-day C] [--keep]");
    }
    if (sites < 1 || days < 1 || changesPerDay < 0 || changesPerDay > sites)
        return fail("--sites and --days must be at least 1, --changes-per-day from 0 to the sites");

    QTemporaryDir dir;
    dir.setAutoRemove(!keep);
    const QString path = dir.filePath(QStringLiteral("Sites.history.db"));
    const char *error = nullptr;
    const std::optional<YearOfChecks::Written> written
            = YearOfChecks::Write(path, {sites, days, changesPerDay}, &error);
    if (!written)
        return fail(error);
    const double recordMs = written->recordMs;
    const qint64 afterFirstDay = written->afterFirstDay;
    const qint64 largest = written->largest;
    const double slowestDayMs = written->slowestDayMs;
    const qint64 afterYear = YearOfChecks::SizeOnDisk(path);

    // The window's view: a fresh connection, then the overview of every site.
    const Clock::time_point opening = Clock::now();
    HistoryStore window;
    if (!window.open(path).usable)
        return fail("cannot reopen the history");
    const double openMs = MsSince(opening);
    std::vector<double> queryMs;
    std::vector<double> queryCpuMs;
    qint64 changes = 0;
    for (int round = 0; round < 21; ++round) {
        const Clock::time_point asked = Clock::now();
        const std::clock_t cpu = std::clock();
        const std::vector<HistoryStore::SiteRow> rows = window.sites();
        queryMs.push_back(MsSince(asked));
        queryCpuMs.push_back(double(std::clock() - cpu) * 1000 / CLOCKS_PER_SEC);
        if (int(rows.size()) != sites)
            return fail("the overview lacks sites");
        changes = 0;
        for (const HistoryStore::SiteRow &row : rows)
            changes += row.changes;
    }
    std::vector<double> timelineMs;
    for (int round = 0; round < 101; ++round) {
        const Clock::time_point asked = Clock::now();
        window.timeline(1 + round * (sites / 101));
        timelineMs.push_back(MsSince(asked));
    }

    const double mb = 1000.0 * 1000.0;
    std::printf("History of %d sites, %d daily runs, %d changes of state a day (%lld in all)\n", sites, days,
                changesPerDay, static_cast<long long>(changes));
    std::printf("  recording: %.1f s in all, %.2f us per site checked, slowest day %.0f ms\n", recordMs / 1000,
                recordMs * 1000 / (double(sites) * days), slowestDayMs);
    std::printf("  file after the first day: %.2f MB; after %d days: %.2f MB; added: %.2f MB (target under 50 MB: %s)\n",
                afterFirstDay / mb, days, afterYear / mb, (afterYear - afterFirstDay) / mb,
                afterYear - afterFirstDay < 50 * mb ? "met" : "missed");
    std::printf("  largest the files grew during a run (database and its log): %.2f MB\n", largest / mb);
    std::printf("  opening the file (with its integrity check): %.1f ms\n", openMs);
    std::printf("  overview of every site: median %.1f ms, slowest %.1f ms of 21 (target under 100 ms: %s);"
                " processor time median %.1f ms\n",
                Median(queryMs), *std::max_element(queryMs.begin(), queryMs.end()),
                Median(queryMs) < 100 ? "met" : "missed", Median(queryCpuMs));
    std::printf("  one site's timeline: median %.3f ms\n", Median(timelineMs));
    if (keep)
        std::printf("kept: %s\n", qPrintable(path));
    return 0;
}
