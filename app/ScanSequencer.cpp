// The main window's scan: a full scan walks the site names from the selected one to the last,
// a single-site scan checks the selected one. Each site passes a fetch step and a search step,
// each 500 ms after the one before; the timers are used one shot at a time.
#include "frmMain.h"

#include "Feedback.h"
#include "FindIt.h"
#include "GetSource.h"
#include "PageAnalysis.h"
#include "ResultLine.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QIcon>
#include <QTimer>

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

// Our own picture: the desktop's icon theme may have no warning icon at all.
QIcon HollowIcon()
{
    QIcon icon;
    icon.addFile(QStringLiteral(":/app/warning16.png"));
    icon.addFile(QStringLiteral(":/app/warning32.png"));
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
    return tmrScan->isActive() || tmrSearch->isActive() || tmrScan2->isActive() || tmrSearch2->isActive();
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
    AddResult(ResultLine::Skipped, SelectedText(lstUrl));
    // Selecting the next site moves a pending step of the scan on to it.
    SelectName(lstNames->currentRow() + 1);
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
    txtSource->clear();
    pageSource_.clear();
    fetchedUrl_ = SelectedText(lstUrl);
    GetSource::Page page = GetSource::Fetch(fetchedUrl_);
    fetchDetails_ = FetchDetails(page);
    fetchHeaders_ = std::move(page.headers);
    pageSource_ = std::move(page.text);
    if (!page.opened)
        AddResult(ResultLine::PageNotFound, fetchedUrl_, fetchDetails_);
    txtSource->setPlainText(pageSource_);
    search->start();
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
    FindTerm(pageSource_, SelectedText(lstSearch));
    // The match is marked in the page box without taking the keyboard focus from the user.
    QTextCursor cursor(txtSource->document());
    const int end = cursor.document()->characterCount() - 1;
    cursor.setPosition(qBound(0, FindIt::MatchStart, end));
    cursor.setPosition(qBound(0, FindIt::MatchStart + FindIt::MatchLength, end), QTextCursor::KeepAnchor);
    txtSource->setTextCursor(cursor);
}

void frmMain::tmrSearch_Timer()
{
    SearchStep(tmrSearch);
    if (!IsLastSite()) {
        SelectName(lstNames->currentRow() + 1);
        BeginSite();
        return;
    }
    SetStatus(QStringLiteral("Finished . . .%1 out of %2 verified").arg(txtCount->text()).arg(lstNames->count()));
    lblManual->show();
    lblScan1->show();
    cmdAgain->show();
    cmdStart->hide();
}

void frmMain::tmrSearch2_Timer()
{
    SearchStep(tmrSearch2);
    SetStatus(QStringLiteral("Finished . . ."));
}

void frmMain::FindTerm(const QString &page, const QString &term)
{
    switch (FindIt::FindTerm(page, term)) {
    case FindIt::Outcome::NoPage:
        return;
    case FindIt::Outcome::Found: {
        // The verdict stands as it is; the analysis only tells whether the link really counts.
        const PageAnalysis::Analysis analysis = PageAnalysis::Analyse(page, term, fetchHeaders_);
        QListWidgetItem *line = AddResult(ResultLine::Ok, fetchedUrl_,
                                          fetchDetails_ + u'\n' + PageAnalysis::Describe(analysis));
        if (analysis.hollow)
            line->setIcon(HollowIcon());
        RaiseCounter();
        return;
    }
    case FindIt::Outcome::NotFound:
        AddResult(ResultLine::NotFound, fetchedUrl_, fetchDetails_);
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
