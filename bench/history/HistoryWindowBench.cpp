// The Partners window over a full list and a year of daily checks: how long File > Partners
// takes to show the window with its rows, to sort by each date column, to filter, and to
// scroll from top to bottom a page at a time.
//
//   cmake -S . -B build -G Ninja -DTALLYWEAVE_BENCH=ON && ninja -C build history_window_bench
//   QT_QPA_PLATFORM=offscreen build/bench/history/history_window_bench [--sites N] [--days D]
//       [--changes-per-day C] [--rounds R] [--folder DIR]
//
// The history is written as history_year_bench writes it (32,767 sites, 365 days, 20 changes
// a day by default), into DIR when given and kept there: a later run with the same DIR uses
// it as it is. Every step repaints the window before its time is taken.
#include "AppInfo.h"
#include "Feedback.h"
#include "HistoryModel.h"
#include "HistoryStore.h"
#include "Timing.h"
#include "YearOfChecks.h"
#include "frmMain.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QSettings>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <ctime>

namespace {

using Timing::Clock;
using Timing::Median;
using Timing::MsSince;

int fail(const char *message)
{
    std::fprintf(stderr, "history_window_bench: %s\n", message);
    return 2;
}

bool writeSites(const QString &path, int count)
{
    QByteArray bytes = QByteArray::number(count) + ",1\r\n";
    for (const History::SiteKey &site : YearOfChecks::Sites(count))
        for (const QString &field : {site.name, site.url, site.term})
            bytes += '"' + field.toUtf8() + "\"\r\n";
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

struct Steps {
    double totalMs = 0;
    double worstMs = 0;
    double medianMs = 0;
    // The processor time of the slowest step: on a busy machine a step can wait for a core
    // far longer than it works.
    double worstCpuMs = 0;
    int count = 0;
};

// Runs `step` until it returns false, repainting `view` after each.
template<typename Step>
Steps timeSteps(QWidget *view, Step step)
{
    std::vector<double> each;
    std::vector<double> cpu;
    const Clock::time_point begun = Clock::now();
    for (;;) {
        const Clock::time_point one = Clock::now();
        const std::clock_t oneCpu = std::clock();
        if (!step())
            break;
        view->repaint();
        each.push_back(MsSince(one));
        cpu.push_back(double(std::clock() - oneCpu) * 1000 / CLOCKS_PER_SEC);
    }
    Steps out;
    out.totalMs = MsSince(begun);
    out.count = int(each.size());
    if (!each.empty()) {
        const auto worst = std::max_element(each.begin(), each.end());
        out.worstMs = *worst;
        out.worstCpuMs = cpu[std::size_t(worst - each.begin())];
        out.medianMs = Median(each);
    }
    return out;
}

void printSteps(const char *what, const Steps &steps)
{
    std::printf("  %s: %d steps, %.0f ms in all, median %.2f ms, worst %.2f ms of which %.2f ms processor time"
                " (a stall is over 100 ms: %s)\n",
                what, steps.count, steps.totalMs, steps.medianMs, steps.worstMs, steps.worstCpuMs,
                steps.worstMs < 100 ? "none" : "STALLED");
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    YearOfChecks::Plan plan;
    int rounds = 7;
    QString folderPath;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (i + 1 >= args.size())
            return fail("usage: history_window_bench [--sites N] [--days D] [--changes-per-day C] [--rounds R] [--folder DIR]");
        if (a == u"--sites")
            plan.sites = args[++i].toInt();
        else if (a == u"--days")
            plan.days = args[++i].toInt();
        else if (a == u"--changes-per-day")
            plan.changesPerDay = args[++i].toInt();
        else if (a == u"--rounds")
            rounds = args[++i].toInt();
        else if (a == u"--folder")
            folderPath = args[++i];
        else
            return fail("usage: history_window_bench [--sites N] [--days D] [--changes-per-day C] [--rounds R] [--folder DIR]");
    }
    if (plan.sites < 1 || plan.days < 1 || plan.changesPerDay < 0 || plan.changesPerDay > plan.sites || rounds < 1)
        return fail("--sites, --days and --rounds must be at least 1, --changes-per-day from 0 to the sites");

    QTemporaryDir scratch;
    const QString folder = folderPath.isEmpty() ? scratch.path() : QDir(folderPath).absolutePath();
    if (!QDir().mkpath(folder))
        return fail("cannot make the folder");
    const QString sitesFile = QDir(folder).filePath(QStringLiteral("Sites.dqx"));
    const QString historyFile = HistoryStore::PathFor(sitesFile);
    if (!QFileInfo::exists(historyFile)) {
        std::printf("writing a history of %d sites over %d days...\n", plan.sites, plan.days);
        std::fflush(stdout);
        const char *error = nullptr;
        if (!YearOfChecks::Write(historyFile, plan, &error))
            return fail(error);
    }
    if (!QFileInfo::exists(sitesFile) && !writeSites(sitesFile, plan.sites))
        return fail("cannot write the sites file");

    AppInfo::OverrideProgramFolder(folder);
    // The window keeps its place and columns in the settings: the bench's own, not the user's.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    Feedback::Recorder told;
    Feedback::SetRecorder(&told);
    frmMain main;
    main.Form_Load();
    main.show();
    if (!QTest::qWaitForWindowExposed(&main))
        return fail("the main window was not shown");
    auto *menuItem = main.findChild<QAction *>(QStringLiteral("mnuPartners"));

    // From the menu item to the window on the screen with its rows painted.
    auto open = [&]() -> QWidget * {
        menuItem->trigger();
        auto *window = main.findChild<QWidget *>(QStringLiteral("frmPartners"));
        if (!window || !QTest::qWaitForWindowExposed(window))
            return nullptr;
        window->repaint();
        return window;
    };
    std::vector<double> coldMs, againMs;
    int rows = 0;
    for (int round = 0; round < rounds; ++round) {
        const Clock::time_point asked = Clock::now();
        QWidget *window = open();
        if (!window)
            return fail("the Partners window was not shown");
        coldMs.push_back(MsSince(asked));
        rows = window->findChild<QTableView *>(QStringLiteral("tblSites"))->model()->rowCount();
        window->hide();
        const Clock::time_point reopened = Clock::now();
        if (!open())
            return fail("the Partners window was not shown again");
        againMs.push_back(MsSince(reopened));
        delete window;
    }
    QWidget *window = open();
    if (!window)
        return fail("the Partners window was not shown");
    auto *table = window->findChild<QTableView *>(QStringLiteral("tblSites"));

    std::printf("Partners window: %d rows of %d sites, %d days, %d changes a day; %d rounds\n", rows, plan.sites, plan.days,
                plan.changesPerDay, rounds);
    std::printf("  File > Partners to the window shown with its rows: median %.0f ms, slowest %.0f ms (target under 1 s: %s)\n",
                Median(coldMs), *std::max_element(coldMs.begin(), coldMs.end()),
                *std::max_element(coldMs.begin(), coldMs.end()) < 1000 ? "met" : "missed");
    std::printf("  again, the window already made (it reads the history anew): median %.0f ms\n", Median(againMs));

    // Sorting by each date column, both ways, as a click on its header does.
    for (int column : {int(HistoryModel::Since), int(HistoryModel::LastChecked)}) {
        for (Qt::SortOrder order : {Qt::AscendingOrder, Qt::DescendingOrder}) {
            std::vector<double> sortMs;
            for (int round = 0; round < rounds; ++round) {
                table->sortByColumn(0, Qt::AscendingOrder);
                const Clock::time_point asked = Clock::now();
                table->sortByColumn(column, order);
                window->repaint();
                sortMs.push_back(MsSince(asked));
            }
            std::printf("  sort by %s, %s: median %.0f ms\n", column == HistoryModel::Since ? "since" : "last checked",
                        order == Qt::AscendingOrder ? "ascending" : "descending", Median(sortMs));
        }
    }
    table->sortByColumn(0, Qt::AscendingOrder);

    // Typing a filter key by key, then clearing it; the lost-only switch on and off.
    auto *filter = window->findChild<QLineEdit *>(QStringLiteral("txtFilter"));
    const QString typed = QStringLiteral("partner 1234");
    qsizetype typedSoFar = 0;
    printSteps("typing \"partner 1234\" into the filter, key by key", timeSteps(window, [&] {
                   if (typedSoFar == typed.size())
                       return false;
                   QTest::keyClick(filter, typed[typedSoFar++].toLatin1());
                   return true;
               }));
    printSteps("clearing the filter", timeSteps(window, [&, done = false]() mutable {
                   if (std::exchange(done, true))
                       return false;
                   filter->clear();
                   return true;
               }));
    auto *show = window->findChild<QComboBox *>(QStringLiteral("cboShow"));
    int switched = 0;
    printSteps("showing the lost only, then all", timeSteps(window, [&] {
                   if (switched++ == 2)
                       return false;
                   show->setCurrentIndex(show->currentIndex() == 0 ? 3 : 0);
                   return true;
               }));

    // From top to bottom a page at a time, by the scroll bar and by Page Down.
    QScrollBar *bar = table->verticalScrollBar();
    bar->setValue(0);
    printSteps("scrolling top to bottom by the scroll bar's page", timeSteps(table->viewport(), [&] {
                   if (bar->value() >= bar->maximum())
                       return false;
                   bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
                   return true;
               }));
    table->setFocus();
    table->selectRow(0);
    bar->setValue(0);
    printSteps("Page Down from the first row to the last", timeSteps(table->viewport(), [&] {
                   if (table->currentIndex().row() >= rows - 1)
                       return false;
                   QTest::keyClick(table, Qt::Key_PageDown);
                   return true;
               }));
    if (!told.messages.isEmpty())
        std::printf("  the window said: %s\n", qPrintable(told.messages.join(QStringLiteral(" / "))));
    Feedback::SetRecorder(nullptr);
    return 0;
}
