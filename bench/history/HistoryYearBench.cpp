// A year of daily checks of a full list: how much the history file grows, and how long the
// query the window makes (every site with its state, since, last check and counts) takes.
//
//   history_year_bench [--sites N] [--days D] [--changes-per-day C] [--keep]
//
// Each day every site is recorded once, as tallyweave-check records a run; C sites a day
// change state (lost, back, down), the rest stay as they were.
#include "HistoryStore.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

qint64 sizeOnDisk(const QString &path)
{
    qint64 total = 0;
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        total += QFileInfo(path + suffix).size();
    return total;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

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
    std::vector<History::SiteKey> keys;
    keys.reserve(sites);
    for (int i = 1; i <= sites; ++i)
        keys.push_back({QStringLiteral("https://www.partner-%1.example/links/partners.html").arg(i, 5, 10, QLatin1Char('0')),
                        QStringLiteral("www.my-site.example"), QStringLiteral("Partner %1").arg(i, 5, 10, QLatin1Char('0'))});
    std::vector<History::State> state(sites, History::State::Ok);
    QRandomGenerator random(20261207);
    const History::State cycle[] = {History::State::NotFound, History::State::Ok, History::State::PageFailed,
                                    History::State::Ok, History::State::HollowOk};

    const Clock::time_point begun = Clock::now();
    qint64 afterFirstDay = 0;
    qint64 largest = 0;
    double slowestDayMs = 0;
    constexpr qint64 Day = 86400;
    const qint64 start = 1767250800; // 2026-01-01 07:00 UTC
    // Each run opens the file as the program does, and closes it at the end.
    for (int day = 0; day < days; ++day) {
        HistoryStore store;
        if (!store.open(path).usable)
            return fail("cannot open the history");
        {
            const Clock::time_point dayBegun = Clock::now();
            if (day > 0)
                for (int c = 0; c < changesPerDay; ++c) {
                    const int site = int(random.bounded(sites));
                    state[site] = cycle[(std::find(std::begin(cycle), std::end(cycle), state[site]) - std::begin(cycle) + 1)
                                        % std::size(cycle)];
                }
            const qint64 at = start + day * Day;
            const HistoryStore::Run run = store.beginRun(QStringLiteral("tallyweave-check"), at);
            for (int i = 0; i < sites; ++i)
                if (!store.record(run, keys[i], {state[i]}, at + i / 100))
                    return fail("recording failed");
            store.endRun(run, sites, at + 600);
            slowestDayMs = std::max(slowestDayMs, msSince(dayBegun));
            largest = std::max(largest, sizeOnDisk(path));
        }
        store = HistoryStore();
        if (day == 0)
            afterFirstDay = sizeOnDisk(path);
    }
    const double recordMs = msSince(begun);
    const qint64 afterYear = sizeOnDisk(path);

    // The window's view: a fresh connection, then the overview of every site.
    const Clock::time_point opening = Clock::now();
    HistoryStore window;
    if (!window.open(path).usable)
        return fail("cannot reopen the history");
    const double openMs = msSince(opening);
    std::vector<double> queryMs;
    std::vector<double> queryCpuMs;
    qint64 changes = 0;
    for (int round = 0; round < 21; ++round) {
        const Clock::time_point asked = Clock::now();
        const std::clock_t cpu = std::clock();
        const std::vector<HistoryStore::SiteRow> rows = window.sites();
        queryMs.push_back(msSince(asked));
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
        timelineMs.push_back(msSince(asked));
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
                median(queryMs), *std::max_element(queryMs.begin(), queryMs.end()),
                median(queryMs) < 100 ? "met" : "missed", median(queryCpuMs));
    std::printf("  one site's timeline: median %.3f ms\n", median(timelineMs));
    if (keep)
        std::printf("kept: %s\n", qPrintable(path));
    return 0;
}
