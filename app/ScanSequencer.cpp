// The main window's scan: a full scan walks the site names from the selected one to the last,
// a single-site scan checks the selected one. Each site passes a fetch step and a search step,
// each 500 ms after the one before; the timers are used one shot at a time. The fetch step
// only starts the download: the search step is armed when the page is in, and the window
// answers the user meanwhile.
#include "frmMain.h"

#include "Feedback.h"
#include "FindIt.h"
#include "GetSource.h"
#include "HistoryCaptions.h"
#include "HistoryRecorder.h"
#include "PageAnalysis.h"
#include "PageFetcher.h"
#include "ResultLine.h"
#include "RobotsTxt.h"
#include "SecondLook.h"
#include "SourceBox.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QIcon>
#include <QTimer>
#include <QToolTip>

#include <algorithm>
#include <utility>

namespace {
// What the transfer told about a page, for the tool tip of its result line.
QString FetchDetails(const GetSource::Page &page)
{
    QStringList lines{QStringLiteral("Page: %1").arg(page.finalUrl.isEmpty() ? QStringLiteral("(none)") : page.finalUrl)};
    if (page.status != 0)
        lines << QStringLiteral("Status: %1").arg(page.status);
    if (page.opened)
        lines << QStringLiteral("Read: %1 bytes%2").arg(page.bytes.size()).arg(page.truncated ? QStringLiteral(" (cut at the size limit)") : QString());
    if (!page.error.isEmpty())
        lines << QStringLiteral("Problem: %1").arg(page.error);
    return lines.join(u'\n');
}

// Sites that turn programs away answer so; the page may still open for a person in a browser.
QString RefusalHint(long status)
{
    if (status != 401 && status != 403 && status != 429 && status != 503)
        return {};
    return QStringLiteral("\nThe site may refuse automated requests (it answered %1): open the page in the browser "
                          "to check it.")
            .arg(status);
}

// Why a match does not count, in words for the people who read the exported results; the
// terminal checker's codes are for programs.
QString HollowReason(const PageAnalysis::Analysis &analysis)
{
    QStringList lines = PageAnalysis::Describe(analysis).split(u'\n');
    lines.removeAll(QStringLiteral("Search engines will not count this match."));
    return lines.join(u' ');
}

// Our own picture: the desktop's icon theme may have no warning icon at all.
QIcon HollowIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/app/warning16.png"));
    icon.addFile(QStringLiteral(":/app/warning32.png"));
    return icon;
}

// The analysis reads a page of a few megabytes without a tree; a larger one it parses into a
// tree of about ten times its size, which here may take no more than a bounded share of memory,
// beside the page's text and the analysis's own copy of it. A page whose tree would need more
// keeps its verdict, and its line says that the place of the match is unknown.
PageAnalysis::Limits AnalysisLimits(const QString &page)
{
    constexpr qsizetype ReadWithoutTree = qsizetype(4) << 20;
    constexpr qint64 TreeMemory = qint64(96) << 20;
    PageAnalysis::Limits limits;
    if (page.size() > ReadWithoutTree)
        limits.parseMemory = TreeMemory;
    return limits;
}

// What a second look found, judged as the first check is: an empty page is one that failed,
// as the checker counts it.
History::Outcome PageOutcome(const GetSource::Page &page, const QString &term)
{
    if (!page.opened || page.text.isEmpty())
        return {History::State::PageNotFound};
    if (FindIt::Find(page.text, term) < 0)
        return {History::State::NotFound};
    PageAnalysis::Analysis analysis = PageAnalysis::Analyse(page.text, term, page.headers, AnalysisLimits(page.text));
    PageAnalysis::NoteStatus(analysis, page.status);
    return {analysis.hollow ? History::State::HollowOk : History::State::Ok};
}

QIcon LostIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/app/lost16.png"));
    icon.addFile(QStringLiteral(":/app/lost32.png"));
    return icon;
}
} // namespace

QString frmMain::SelectedText(const QListWidget *list)
{
    const QListWidgetItem *item = list->currentItem();
    return item ? item->text() : QString();
}

bool frmMain::IsLastSite() const
{
    return lstNames->currentRow() == lstNames->count() - 1;
}

bool frmMain::ScanPending() const
{
    return tmrScan->isActive() || tmrSearch->isActive() || tmrScan2->isActive() || tmrSearch2->isActive()
            || pageFetch->busy();
}

bool frmMain::FullScanRunning() const
{
    return tmrScan->isActive() || tmrSearch->isActive() || (pageFetch->busy() && fetchSearch_ == tmrSearch);
}

bool frmMain::ListLockedByScan(QPushButton *command)
{
    // A site added or removed under a running scan would shift the sites it walks.
    if (!ScanPending())
        return false;
    Feedback::Beep();
    QToolTip::showText(command->mapToGlobal(QPoint(0, command->height())),
                       QStringLiteral("The site list cannot be changed while a scan runs."), command);
    return true;
}

void frmMain::SetStatus(const QString &caption)
{
    lblResults->setText(caption);
    FitToText(lblResults);
}

void frmMain::BeginSite()
{
    SetStatus(QStringLiteral("Scanning %1 . . . .").arg(SelectedText(lstNames)));
    cmdSkip->setEnabled(true);
    tmrScan->start();
}

void frmMain::cmdStart_Click()
{
    // One scan at a time: a second chain would write its lines under the other's names.
    if (ScanPending()) {
        Feedback::Beep();
        return;
    }
    if (lstNames->count() == 0)
        return;
    scanned_.clear();
    robotsRules_.clear();
    // The closing line counts what this scan verified; a count left from an earlier scan
    // would let it claim more sites than the list holds.
    txtCount->setText(QString());
    BeginSite();
}

void frmMain::mnuScan_Click()
{
    cmdStart_Click();
}

void frmMain::cmdAgain_Click()
{
    if (ScanPending()) {
        Feedback::Beep();
        return;
    }
    if (lstResults->count() == 0 || lstNames->count() == 0)
        return;
    scanned_.clear();
    robotsRules_.clear();
    SelectName(0);
    lstResults->clear();
    txtCount->setText(QString());
    SetStatus(QStringLiteral("Scanning %1 . . . .").arg(SelectedText(lstNames)));
    tmrScan->start();
}

void frmMain::cmdSkip_Click()
{
    if (IsLastSite()) {
        cmdSkip->setEnabled(false);
        return;
    }
    // A site the running scan has already checked keeps its one line.
    const int position = lstNames->currentRow();
    if (!FullScanRunning() || !scanned_.contains(position))
        AddResult(ResultLine::Skipped, SelectedText(lstUrl));
    scanned_.insert(position);
    // Selecting the next site moves a pending step of the scan on to it, and drops a download
    // under way.
    SelectName(position + 1);
}

void frmMain::lstNames_DblClick()
{
    if (ScanPending()) {
        Feedback::Beep();
        return;
    }
    if (lstNames->count() == 0)
        return;
    SetStatus(QStringLiteral("Scanning %1 . . . .").arg(SelectedText(lstNames)));
    robotsRules_.clear();
    tmrScan2->start();
}

void frmMain::lstNames_KeyPress(int KeyAscii)
{
    if (KeyAscii == 13)
        lstNames_DblClick();
}

void frmMain::FetchStep(QTimer *own, QTimer *search)
{
    own->stop();
    if (lstNames->count() == 0)
        return;
    if (own == tmrScan && !PassOverScanned()) {
        FinishScan();
        return;
    }
    txtSource->clear();
    fetchedUrl_ = SelectedText(lstUrl);
    fetchSearch_ = search;
    robotsFetching_.clear();
    pageFetch->start(fetchedUrl_);
}

void frmMain::PageFetched(const GetSource::Page &page)
{
    QTimer *search = std::exchange(fetchSearch_, nullptr);
    if (!robotsFetching_.isEmpty()) {
        robotsRules_.insert(std::exchange(robotsFetching_, {}),
                            RobotsTxt::FromFetch(page.opened, page.status, page.bytes, page.error));
        search->start();
        return;
    }
    fetchDetails_ = FetchDetails(page);
    fetchHeaders_ = page.headers;
    fetchStatus_ = page.status;
    fetchFinalUrl_ = page.finalUrl;
    if (!page.opened) {
        NoteInHistory(AddResult(ResultLine::PageNotFound, fetchedUrl_, fetchDetails_ + RefusalHint(page.status)),
                      {History::State::PageNotFound, true});
        if (search == tmrSearch)
            scanned_.insert(lstNames->currentRow());
    }
    txtSource->setPlainText(page.text);
    if (page.opened && FetchRobotsTxt(page)) {
        fetchSearch_ = search;
        return;
    }
    search->start();
}

bool frmMain::FetchRobotsTxt(const GetSource::Page &page)
{
    // Only a match can be made hollow, so only a page that holds the term needs its site's rules.
    if (page.text.isEmpty() || FindIt::Find(page.text, SelectedText(lstSearch)) < 0)
        return false;
    const QString host = RobotsTxt::HostKeyFor(page.finalUrl);
    if (host.isEmpty() || robotsRules_.contains(host))
        return false;
    GetSource::Limits limits = GetSource::DefaultLimits();
    limits.maxBytes = std::min(limits.maxBytes, RobotsTxt::MaxBytes);
    limits.maxRedirects = std::min<long>(limits.maxRedirects, RobotsTxt::MaxRedirects);
    robotsFetching_ = host;
    pageFetch->start(RobotsTxt::AddressFor(page.finalUrl), limits);
    return true;
}

RobotsTxt::Judgement frmMain::RobotsJudgement() const
{
    const auto rules = robotsRules_.constFind(RobotsTxt::HostKeyFor(fetchFinalUrl_));
    if (rules == robotsRules_.cend())
        return {};
    return rules->Judge(RobotsTxt::PathFor(fetchFinalUrl_));
}

void frmMain::RefetchSelected()
{
    // The page under way belongs to the site just left: it is dropped, and the chain fetches
    // the selected site afresh.
    QTimer *search = std::exchange(fetchSearch_, nullptr);
    pageFetch->cancel();
    robotsFetching_.clear();
    if (search == tmrSearch)
        BeginSite();
    else
        lstNames_DblClick();
}

bool frmMain::PassOverScanned()
{
    // The selection may have been moved back to a site this scan has checked: the scan goes on
    // with the first one after it that it has not. False when none is left.
    int position = lstNames->currentRow();
    while (scanned_.contains(position))
        ++position;
    if (position >= lstNames->count())
        return false;
    if (position != lstNames->currentRow()) {
        SelectName(position);
        SetStatus(QStringLiteral("Scanning %1 . . . .").arg(SelectedText(lstNames)));
    }
    return true;
}

void frmMain::tmrScan_Timer()
{
    FetchStep(tmrScan, tmrSearch);
}

void frmMain::tmrScan2_Timer()
{
    FetchStep(tmrScan2, tmrSearch2);
}

void frmMain::SearchStep(QTimer *own)
{
    own->stop();
    if (own == tmrSearch)
        scanned_.insert(lstNames->currentRow());
    FindTerm(txtSource->toPlainText(), SelectedText(lstSearch));
    // The match is marked in the page box without taking the keyboard focus from the user.
    txtSource->select(FindIt::MatchStart, FindIt::MatchLength);
}

void frmMain::tmrSearch_Timer()
{
    SearchStep(tmrSearch);
    if (!IsLastSite()) {
        SelectName(lstNames->currentRow() + 1);
        BeginSite();
        return;
    }
    FinishScan();
}

void frmMain::EndRun()
{
    if (secondLook->busy())
        return;
    history_.endRun();
    emit checksRecorded();
}

void frmMain::secondLook_Idle()
{
    if (!ScanPending())
        EndRun();
}

void frmMain::FinishScan()
{
    EndRun();
    SetStatus(QStringLiteral("Finished . . .%1 out of %2 verified").arg(txtCount->text()).arg(lstNames->count()));
    lblManual->show();
    lblScan1->show();
    cmdAgain->show();
    cmdStart->hide();
}

void frmMain::tmrSearch2_Timer()
{
    SearchStep(tmrSearch2);
    EndRun();
    SetStatus(QStringLiteral("Finished . . ."));
}

void frmMain::FindTerm(const QString &page, const QString &term)
{
    switch (FindIt::FindTerm(page, term)) {
    case FindIt::Outcome::NoPage:
        return;
    case FindIt::Outcome::Found: {
        // The verdict stands as it is; the analysis only tells whether the link really counts.
        PageAnalysis::Analysis analysis = PageAnalysis::Analyse(page, term, fetchHeaders_, AnalysisLimits(page),
                                                                fetchFinalUrl_.isEmpty() ? fetchedUrl_ : fetchFinalUrl_);
        PageAnalysis::NoteStatus(analysis, fetchStatus_);
        const RobotsTxt::Judgement robots = RobotsJudgement();
        RobotsTxt::Apply(analysis, robots);
        QString details = fetchDetails_ + u'\n' + PageAnalysis::Describe(analysis);
        // Not knowing the rules is no reason to doubt the match, but the user may want to look.
        if (robots.access == RobotsTxt::Access::Unknown)
            details += QStringLiteral("\nrobots.txt unknown: ") + robots.why;
        QListWidgetItem *line = AddResult(ResultLine::Ok, fetchedUrl_, details);
        if (analysis.hollow) {
            line->setIcon(HollowIcon());
            SetExportField(line, ExportHollow, HollowReason(analysis));
        }
        NoteInHistory(line, {analysis.hollow ? History::State::HollowOk : History::State::Ok, true,
                             HistoryRecorder::DetailsOf(analysis)});
        RaiseCounter();
        return;
    }
    case FindIt::Outcome::NotFound:
        NoteInHistory(AddResult(ResultLine::NotFound, fetchedUrl_, fetchDetails_ + RefusalHint(fetchStatus_)),
                      {History::State::NotFound, true, History::Details{}});
        return;
    }
}

void frmMain::RaiseCounter()
{
    const QString text = txtCount->text();
    qsizetype digits = 0;
    while (digits < text.size() && text[digits].isDigit() && text[digits].unicode() < 128)
        ++digits;
    const qlonglong value = text.left(digits).toLongLong();
    txtCount->setText(QString::number(value + 1));
}

void frmMain::NoteInHistory(QListWidgetItem *line, const History::Outcome &outcome)
{
    const History::SiteKey site{fetchedUrl_, SelectedText(lstSearch), SelectedText(lstNames)};
    if (history_.needsConfirming(site, outcome)) {
        // The line keeps its verdict; only the history waits for the second look.
        line->setData(LookRole, ++lastLookLine_);
        line->setToolTip(line->toolTip()
                         + QStringLiteral("\nHistory: not yet confirmed; the page is checked once more in %1 s")
                                   .arg((secondLook->pause() + 999) / 1000));
        secondLook->add(site, lastLookLine_);
        return;
    }
    const std::optional<WindowHistory::Noted> noted = history_.record(site, outcome);
    // Also said when the check was recorded: a damaged file set aside on the way.
    if (const QString failure = history_.failure(); !failure.isEmpty())
        Feedback::Message(this, failure);
    if (!noted)
        return;
    line->setToolTip(line->toolTip() + u'\n' + noted->before);
    SetExportField(line, ExportChange, noted->change);
    if (noted->lost)
        line->setIcon(LostIcon());
}

void frmMain::SecondLooked(const History::SiteKey &site, const QList<qint64> &lines, const GetSource::Page &page)
{
    const History::Outcome outcome = PageOutcome(page, site.term);
    const bool confirmed = history_.needsConfirming(site, outcome);
    const std::optional<WindowHistory::Noted> noted = history_.record(site, outcome);
    if (const QString failure = history_.failure(); !failure.isEmpty())
        Feedback::Message(this, failure);
    const QString look = confirmed ? QStringLiteral("History: confirmed by a second check")
                                   : QStringLiteral("History: not confirmed; a second check found %1")
                                             .arg(History::StateCaption(outcome.state));
    // Lines of an earlier scan may have been cleared meanwhile.
    for (int row = 0; row < lstResults->count(); ++row) {
        QListWidgetItem *line = lstResults->item(row);
        if (!lines.contains(line->data(LookRole).toLongLong()))
            continue;
        line->setData(LookRole, {});
        // The last line of the tip said that the answer was awaited.
        QString tip = line->toolTip().section(u'\n', 0, -2) + u'\n' + look;
        if (noted) {
            tip += u'\n' + noted->before;
            SetExportField(line, ExportChange, noted->change);
            if (noted->lost)
                line->setIcon(LostIcon());
        }
        line->setToolTip(tip);
    }
}
