#include "YearOfChecks.h"

#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <chrono>

namespace YearOfChecks {

namespace {
using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}
} // namespace

qint64 SizeOnDisk(const QString &path)
{
    qint64 total = 0;
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        total += QFileInfo(path + suffix).size();
    return total;
}

std::vector<History::SiteKey> Sites(int count)
{
    std::vector<History::SiteKey> keys;
    keys.reserve(std::size_t(count));
    for (int i = 1; i <= count; ++i)
        keys.push_back({QStringLiteral("https://www.partner-%1.example/links/partners.html").arg(i, 5, 10, QLatin1Char('0')),
                        QStringLiteral("www.my-site.example"), QStringLiteral("Partner %1").arg(i, 5, 10, QLatin1Char('0'))});
    return keys;
}

std::optional<Written> Write(const QString &path, const Plan &plan, const char **error)
{
    const std::vector<History::SiteKey> keys = Sites(plan.sites);
    std::vector<History::State> state(std::size_t(plan.sites), History::State::Ok);
    QRandomGenerator random(20261207);
    const History::State cycle[] = {History::State::NotFound, History::State::Ok, History::State::PageNotFound,
                                    History::State::Ok, History::State::HollowOk};

    Written out;
    const Clock::time_point begun = Clock::now();
    constexpr qint64 Day = 86400;
    const qint64 start = 1767250800; // 2026-01-01 07:00 UTC
    // Each run opens the file as the program does, and closes it at the end.
    for (int day = 0; day < plan.days; ++day) {
        HistoryStore store;
        if (!store.open(path).usable) {
            *error = "cannot open the history";
            return std::nullopt;
        }
        const Clock::time_point dayBegun = Clock::now();
        if (day > 0)
            for (int c = 0; c < plan.changesPerDay; ++c) {
                const std::size_t site = random.bounded(plan.sites);
                state[site] = cycle[(std::find(std::begin(cycle), std::end(cycle), state[site]) - std::begin(cycle) + 1)
                                    % std::size(cycle)];
            }
        const qint64 at = start + day * Day;
        const HistoryStore::Run run = store.beginRun(QStringLiteral("tallyweave-check"), at);
        for (int i = 0; i < plan.sites; ++i)
            if (!store.record(run, keys[std::size_t(i)], {state[std::size_t(i)]}, at + i / 100)) {
                *error = "recording failed";
                return std::nullopt;
            }
        store.endRun(run, plan.sites, at + 600);
        out.slowestDayMs = std::max(out.slowestDayMs, msSince(dayBegun));
        out.largest = std::max(out.largest, SizeOnDisk(path));
        store = HistoryStore();
        if (day == 0)
            out.afterFirstDay = SizeOnDisk(path);
    }
    out.recordMs = msSince(begun);
    return out;
}

} // namespace YearOfChecks
