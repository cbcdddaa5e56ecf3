// Verdicts handed to the recording thread: every one reported once, in the list's order, on
// that thread, and recorded in the history before finish returns.
#include "RecordingThread.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace {

SiteVerdict::SiteResult verdict(Verdict status)
{
    SiteVerdict::SiteResult result;
    result.status = status;
    result.httpStatus = 200;
    result.verified = status == Verdict::Ok;
    return result;
}

// Each line as it was reported, with its site's change, and the threads that reported them.
struct Reported {
    std::vector<std::pair<qsizetype, QString>> lines;
    std::set<std::thread::id> threads;
};

// One run over `sites`: site i is found unless `missing(i)`.
Reported runOnce(const QString &historyFile, const QList<SiteRecord> &sites, bool (*missing)(qsizetype))
{
    HistoryRecorder::Settings settings;
    settings.confirmAfterSeconds = 0;
    QStringList warnings;
    HistoryRecorder recorder(historyFile, settings, [&warnings](const QString &message) { warnings << message; });
    Reported reported;
    {
        RecordingThread thread(recorder, sites,
                               [&reported](qsizetype position, const SiteVerdict::SiteResult &result) {
                                   reported.lines.emplace_back(position, result.change ? result.change->change : QString());
                                   reported.threads.insert(std::this_thread::get_id());
                               });
        for (qsizetype i = 0; i < sites.size(); ++i)
            thread.deliver(i, verdict(missing(i) ? Verdict::NotFound : Verdict::Ok));
        thread.finish(CheckRun::Settings{});
    }
    EXPECT_EQ(warnings, QStringList());
    return reported;
}

TEST(RecordingThread, ReportsEveryVerdictInOrderOnItsOwnThreadAndRecordsIt)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString historyFile = dir.filePath(QStringLiteral("Sites.history.db"));
    // More than one batch of the thread, and of the history's writes.
    QList<SiteRecord> sites;
    for (int i = 0; i < 700; ++i)
        sites.append({QStringLiteral("Partner %1").arg(i), QStringLiteral("http://127.0.0.1:1/p%1.html").arg(i),
                      QStringLiteral("https://www.shop.example/links.html")});

    runOnce(historyFile, sites, [](qsizetype) { return false; });
    const Reported second = runOnce(historyFile, sites, [](qsizetype i) { return i % 7 == 3; });

    // In order, and judged against the first run: the sites now missing lost their link.
    std::vector<std::pair<qsizetype, QString>> expected;
    for (qsizetype i = 0; i < sites.size(); ++i)
        expected.emplace_back(i, i % 7 == 3 ? QStringLiteral("lost") : QStringLiteral("unchanged"));
    EXPECT_EQ(second.lines, expected);
    ASSERT_EQ(second.threads.size(), std::size_t(1));
    EXPECT_NE(*second.threads.begin(), std::this_thread::get_id());

    HistoryStore store;
    ASSERT_TRUE(store.open(historyFile).usable);
    const std::vector<HistoryStore::SiteRow> rows = store.sites();
    ASSERT_EQ(rows.size(), std::size_t(sites.size()));
    for (const HistoryStore::SiteRow &row : rows)
        EXPECT_EQ(row.checks, 2) << row.name.toStdString();
}

} // namespace
