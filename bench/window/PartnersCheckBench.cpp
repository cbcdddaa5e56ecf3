// The Partners window's Check All, timed: the real window, opened from File > Partners over the
// sites file in DIR, checks every partner (recording into DIR's history) while a 10 ms timer on
// the window's thread notes each tick. Prints the time from the press of Check All until the
// summary line shows, the longest gap between two ticks (the longest the window did not
// answer), how many gaps were over 50 ms, the processor time the program used, and the
// summary. partners.sh beside it runs it against the checker on a network with latency.
//
//   QT_QPA_PLATFORM=offscreen partners_check_bench --folder DIR
#include "AppInfo.h"
#include "Feedback.h"
#include "UserTimer.h"
#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <time.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

int fail(const char *message)
{
    std::fprintf(stderr, "partners_check_bench: %s\n", message);
    return 2;
}

// The processor time the calling thread has used.
double threadMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000 + double(now.tv_nsec) / 1e6;
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() != 2 || args[0] != u"--folder")
        return fail("usage: partners_check_bench --folder DIR");
    const QString folder = QDir(args[1]).absolutePath();
    if (!QFileInfo::exists(QDir(folder).filePath(QStringLiteral("Sites.dqx"))))
        return fail("no Sites.dqx in the folder");

    AppInfo::OverrideProgramFolder(folder);
    // The window keeps its place and columns in the settings: the bench's own, not the user's.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    // The daily switch asks no service manager here.
    UserTimer::SetProgram(QDir(folder).filePath(QStringLiteral("no-systemctl")));
    Feedback::Recorder told;
    Feedback::SetRecorder(&told);
    frmMain main;
    main.Form_Load();
    main.show();
    if (!QTest::qWaitForWindowExposed(&main))
        return fail("the main window was not shown");
    main.findChild<QAction *>(QStringLiteral("mnuPartners"))->trigger();
    auto *window = main.findChild<QWidget *>(QStringLiteral("frmPartners"));
    if (!window || !QTest::qWaitForWindowExposed(window))
        return fail("the Partners window was not shown");
    auto *checkAll = window->findChild<QPushButton *>(QStringLiteral("cmdCheckAll"));
    auto *stop = window->findChild<QPushButton *>(QStringLiteral("cmdStop"));
    auto *summary = window->findChild<QLabel *>(QStringLiteral("lblSummary"));
    const int rows = window->findChild<QTableView *>(QStringLiteral("tblSites"))->model()->rowCount();

    // Each tick's time, and the processor time the window's thread had used by then: a gap the
    // thread spent working is the window's own doing, one it spent waiting is the machine's.
    std::vector<Clock::time_point> ticks;
    std::vector<double> worked;
    ticks.reserve(1 << 16);
    worked.reserve(1 << 16);
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(10);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        ticks.push_back(Clock::now());
        worked.push_back(threadMs());
    });

    QEventLoop loop;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!stop->isEnabled() && !summary->text().isEmpty())
            loop.quit();
    });
    QTimer limit;
    limit.setSingleShot(true);
    bool late = false;
    QObject::connect(&limit, &QTimer::timeout, [&] {
        late = true;
        loop.quit();
    });

    const std::clock_t cpuBefore = std::clock();
    tick.start();
    ticks.push_back(Clock::now());
    worked.push_back(threadMs());
    const Clock::time_point pressed = Clock::now();
    QTest::mouseClick(checkAll, Qt::LeftButton);
    watch.start();
    limit.start(600'000);
    loop.exec();
    const Clock::time_point done = Clock::now();
    tick.stop();
    const double cpuMs = double(std::clock() - cpuBefore) * 1000 / CLOCKS_PER_SEC;
    if (late)
        return fail("the check did not end within 600 s");

    double longest = 0;
    double longestAt = 0;
    double longestWorked = 0;
    double mostWorked = 0;
    int over = 0;
    for (std::size_t i = 1; i < ticks.size(); ++i) {
        const double gap = msBetween(ticks[i - 1], ticks[i]);
        const double work = worked[i] - worked[i - 1];
        if (gap > longest) {
            longest = gap;
            longestAt = msBetween(pressed, ticks[i - 1]) / 1000;
            longestWorked = work;
        }
        mostWorked = std::max(mostWorked, work);
        over += gap > 50 ? 1 : 0;
    }
    std::printf("rows %d\n", rows);
    std::printf("wall %.3f\n", msBetween(pressed, done) / 1000);
    std::printf("longest_gap_ms %.1f\n", longest);
    std::printf("longest_gap_at_s %.2f\n", longestAt);
    std::printf("longest_gap_worked_ms %.1f\n", longestWorked);
    std::printf("most_worked_between_ticks_ms %.1f\n", mostWorked);
    std::printf("gaps_over_50ms %d\n", over);
    std::printf("ticks %zu\n", ticks.size());
    std::printf("cpu %.2f\n", cpuMs / 1000);
    std::printf("summary %s\n", qPrintable(summary->text()));
    if (!told.messages.isEmpty())
        std::printf("said %s\n", qPrintable(told.messages.join(QStringLiteral(" / "))));
    Feedback::SetRecorder(nullptr);
    return 0;
}
