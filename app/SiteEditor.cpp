// The main window's site list: the three mirrored lists, the record mirror between the
// program-wide list and the editor boxes, and the editor's commands.
#include "frmMain.h"

#include "Feedback.h"
#include "Module1.h"
#include "PageFetcher.h"
#include "SitesFile.h"

#include <QBitArray>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTimer>

namespace {
constexpr int MaxSearchTermLength = 30;

// Whether every text is one line of the list's own font, narrower than the list, so that the
// list may measure one line and take it for all: measured line by line, 32,767 names take
// longer than the rest of the start-up. A text that fails any test here keeps the list
// measuring each line, and the list shows exactly what it showed before.
bool OneFittingLineEach(const QListWidget *list, const QStringList &texts)
{
    QBitArray used(0x10000);
    qsizetype longest = 0;
    for (const QString &text : texts) {
        // An empty line is lower than the others.
        if (text.isEmpty())
            return false;
        longest = qMax(longest, text.size());
        for (const QChar c : text)
            used.setBit(c.unicode());
    }
    const QFontMetrics metrics(list->font());
    int widest = 0;
    for (qsizetype u = 0; u < used.size(); ++u) {
        if (!used.testBit(u))
            continue;
        // Control characters break or widen lines, characters from another font may be taller,
        // and right-to-left and complex scripts are shaped into other widths.
        if (u < 0x20 || (u >= 0x7F && u < 0xA0) || u >= 0x0590 || !metrics.inFont(QChar(char16_t(u))))
            return false;
        widest = qMax(widest, metrics.horizontalAdvance(QChar(char16_t(u))));
    }
    // No line is wider than its length in the widest of its characters; the room left for
    // the item's margins is generous.
    const int room = list->contentsRect().width() - list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list)
                     - 2 * widest;
    return longest * widest <= room;
}
} // namespace

void frmMain::FillLists()
{
    // Each list takes all its lines at once: one by one, a list of 32,767 sites is slow to fill.
    QStringList names, urls, terms;
    names.reserve(Module1::SiteCount());
    urls.reserve(Module1::SiteCount());
    terms.reserve(Module1::SiteCount());
    for (const SiteRecord &site : Module1::Sites) {
        names << site.Name;
        urls << site.Url;
        terms << site.SearchTerm;
    }
    lstNames->setUniformItemSizes(OneFittingLineEach(lstNames, names));
    lstNames->addItems(names);
    lstUrl->addItems(urls);
    lstSearch->addItems(terms);
    if (lstNames->count() > 0)
        SelectName(0);
}

void frmMain::SelectName(int position)
{
    if (lstNames->currentRow() == position)
        lstNames_Click();
    else
        lstNames->setCurrentRow(position);
}

void frmMain::ShowRecord()
{
    if (Module1::SiteCount() < 1) {
        EnableFields(false);
        txtName->setText(QString());
        txtCompany->setText(QString());
        txtPhone1->setText(QString());
        lblCurrRecord->setText(QStringLiteral("No Records"));
        return;
    }
    EnableFields(true);
    const SiteRecord &site = Module1::Site(Module1::CurrRecord);
    txtName->setText(site.Name);
    txtCompany->setText(site.Url);
    txtPhone1->setText(site.SearchTerm);
    lblCurrRecord->setText(QStringLiteral("Site %1 of %2").arg(Module1::CurrRecord).arg(Module1::SiteCount()));
}

void frmMain::StoreRecord()
{
    if (Module1::SiteCount() < 1)
        return;
    SiteRecord &site = Module1::Site(Module1::CurrRecord);
    site.Name = txtName->text();
    site.Url = txtCompany->text();
    site.SearchTerm = txtPhone1->text();
}

void frmMain::EnableFields(bool enabled)
{
    txtName->setEnabled(enabled);
    txtCompany->setEnabled(enabled);
    txtPhone1->setEnabled(enabled);
}

void frmMain::lstNames_Click()
{
    if (lstNames->count() == 0)
        return;
    // The editor boxes keep what the user typed: choosing a site to scan is not an edit.
    const int position = lstNames->currentRow();
    lstUrl->setCurrentRow(position);
    lstSearch->setCurrentRow(position);

    // A scan follows the selection. A search already armed would search the page of the site
    // just left with the term of the site now selected, so that site is fetched afresh.
    if (tmrSearch->isActive()) {
        tmrSearch->stop();
        BeginSite();
    } else if (tmrSearch2->isActive()) {
        tmrSearch2->stop();
        lstNames_DblClick();
    } else if (tmrScan->isActive()) {
        SetStatus(QStringLiteral("Scanning %1 . . . .").arg(SelectedText(lstNames)));
    } else if (pageFetch->busy()) {
        RefetchSelected();
    }
}

void frmMain::Command1_Click()
{
    if (ListLockedByScan(Command1))
        return;
    if (Module1::SiteCount() >= SitesFile::MaxSites) {
        Feedback::Beep();
        return;
    }
    StoreRecord();
    Module1::Sites.append(SiteRecord{});
    Module1::CurrRecord = Module1::SiteCount();
    ShowRecord();
    txtName->setFocus();
}

void frmMain::Command2_Click()
{
    if (ListLockedByScan(Command2))
        return;
    if (Module1::SiteCount() == 0) {
        Feedback::Beep();
        return;
    }
    Module1::Sites.removeAt(Module1::CurrRecord - 1);
    if (Module1::CurrRecord > Module1::SiteCount())
        --Module1::CurrRecord;
    ShowRecord();
    Command3_Click();
}

void frmMain::Command3_Click()
{
    if (ListLockedByScan(Command3))
        return;
    StoreRecord();
    if (const QString error = Module1::SaveSites(); !error.isEmpty())
        Feedback::Message(this, error);
    lstNames->clear();
    lstUrl->clear();
    lstSearch->clear();
    FillLists();
}

void frmMain::cmdNext_Click()
{
    if (Module1::CurrRecord >= Module1::SiteCount()) {
        Feedback::Beep();
        return;
    }
    StoreRecord();
    ++Module1::CurrRecord;
    ShowRecord();
    // A record added since the lists were last built has no name in the list yet.
    if (Module1::CurrRecord <= lstNames->count())
        SelectName(Module1::CurrRecord - 1);
}

void frmMain::cmdPrevious_Click()
{
    if (Module1::CurrRecord <= 1) {
        Feedback::Beep();
        return;
    }
    StoreRecord();
    --Module1::CurrRecord;
    ShowRecord();
    if (Module1::CurrRecord <= lstNames->count())
        SelectName(Module1::CurrRecord - 1);
}

void frmMain::txtPhone1_Change()
{
    if (txtPhone1->text().size() <= MaxSearchTermLength)
        return;
    Feedback::Message(this, QStringLiteral("Search term should be less than 30 characters     "),
                      QMessageBox::Information);
    txtPhone1->setText(QString());
    txtPhone1->setFocus();
}
