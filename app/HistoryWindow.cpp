#include "HistoryWindow.h"

#include "CsvFile.h"
#include "Feedback.h"
#include "FileChooser.h"
#include "HistoryCaptions.h"
#include "HistoryFilter.h"
#include "HistoryModel.h"
#include "ShexIt.h"
#include "TimelineStrip.h"
#include "VisibleText.h"
#include "WindowHistory.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {
// Samples of each column's widest usual text.
const char *const ColumnSamples[HistoryModel::ColumnCount]
        = {"Partner name of length", "https://www.partner.example/links.html", "my-site.example",
           "Search Term Not Found", "28 Sep 2026", "Last checked", "Checks", "Changes"};
} // namespace

HistoryWindow::HistoryWindow(WindowHistory &history, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , history_(history)
{
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(QStringLiteral("History"));

    createFilterBar();
    createTable();
    createTimeline();
    layOut();
    connectHandlers();
}

void HistoryWindow::createFilterBar()
{
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("Part of a name, page address or search term"));
    txtFilter->setClearButtonEnabled(true);
    chkLostOnly = new QCheckBox(QStringLiteral("&Lost only"), this);
    chkLostOnly->setObjectName(QStringLiteral("chkLostOnly"));
    chkLostOnly->setToolTip(QStringLiteral("Only the partners whose link was OK once and is not now"));
    cmdExport = new QPushButton(QStringLiteral("&Export..."), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdExport->setToolTip(QStringLiteral("Write the partners shown, in their order, to a CSV file"));
}

void HistoryWindow::createTable()
{
    sites_ = new HistoryModel(this);
    shown_ = new HistoryFilter(sites_, this);
    tblSites = new QTableView(this);
    tblSites->setObjectName(QStringLiteral("tblSites"));
    tblSites->setModel(shown_);
    tblSites->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblSites->setSelectionMode(QAbstractItemView::SingleSelection);
    tblSites->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblSites->setWordWrap(false);
    tblSites->setAlternatingRowColors(true);
    tblSites->setTextElideMode(Qt::ElideRight);
    // Every row is one line high and every column as wide as set: the view never measures
    // the rows' texts, which keeps a list of tens of thousands quick to open and scroll.
    QHeaderView *rows = tblSites->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView *columns = tblSites->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    // The address takes the room the other columns leave, so that every column is in view.
    columns->setSectionResizeMode(HistoryModel::Address, QHeaderView::Stretch);
    columns->setHighlightSections(false);
    for (int column = 0; column < HistoryModel::ColumnCount; ++column)
        columns->resizeSection(column, fontMetrics().horizontalAdvance(QString::fromLatin1(ColumnSamples[column])) + 16);
    tblSites->setSortingEnabled(true);
    tblSites->sortByColumn(HistoryModel::Name, Qt::AscendingOrder);
}

void HistoryWindow::createTimeline()
{
    lblPartner = new QLabel(this);
    lblPartner->setObjectName(QStringLiteral("lblPartner"));
    // Names and addresses come from partner lists: never read as markup.
    lblPartner->setTextFormat(Qt::PlainText);
    timelineStrip = new TimelineStrip(this);
    timelineStrip->setObjectName(QStringLiteral("timelineStrip"));
    lstChanges = new QTreeWidget(this);
    lstChanges->setObjectName(QStringLiteral("lstChanges"));
    lstChanges->setHeaderLabels({QStringLiteral("Date"), QStringLiteral("From"), QStringLiteral("To"), QStringLiteral("Change")});
    lstChanges->setRootIsDecorated(false);
    lstChanges->setUniformRowHeights(true);
    lstChanges->setSelectionMode(QAbstractItemView::NoSelection);
    lstChanges->setFocusPolicy(Qt::NoFocus);
    for (int column : {0, 1, 2})
        lstChanges->header()->resizeSection(column, fontMetrics().horizontalAdvance(QString::fromLatin1(ColumnSamples[HistoryModel::State])) + 24);
    lblNote = new QLabel(this);
    lblNote->setObjectName(QStringLiteral("lblNote"));
    lblNote->setTextFormat(Qt::PlainText);
    lblNote->setWordWrap(true);
}

void HistoryWindow::layOut()
{
    auto *bar = new QHBoxLayout;
    auto *filterCaption = new QLabel(QStringLiteral("&Filter:"), this);
    filterCaption->setBuddy(txtFilter);
    bar->addWidget(filterCaption);
    bar->addWidget(txtFilter, 1);
    bar->addWidget(chkLostOnly);
    bar->addStretch();
    bar->addWidget(cmdExport);

    auto *window = new QVBoxLayout(this);
    window->addLayout(bar);
    window->addWidget(tblSites, 3);
    window->addWidget(lblNote);
    window->addWidget(lblPartner);
    window->addWidget(timelineStrip);
    window->addWidget(lstChanges, 1);
    setTabOrder(txtFilter, chkLostOnly);
    setTabOrder(chkLostOnly, cmdExport);
    setTabOrder(cmdExport, tblSites);
    // Room for every column where the screen allows it, never more than the screen.
    resize(QSize(1000, 700).boundedTo(screen()->availableGeometry().size()));
}

void HistoryWindow::connectHandlers()
{
    connect(txtFilter, &QLineEdit::textChanged, this, &HistoryWindow::txtFilter_Change);
    connect(chkLostOnly, &QCheckBox::toggled, this, &HistoryWindow::chkLostOnly_Click);
    connect(cmdExport, &QPushButton::clicked, this, &HistoryWindow::cmdExport_Click);
    // The selection, not the current row: a click moves the current row before it selects.
    connect(tblSites->selectionModel(), &QItemSelectionModel::selectionChanged, this, &HistoryWindow::tblSites_Select);
    connect(tblSites, &QTableView::doubleClicked, this, &HistoryWindow::tblSites_DblClick);
    tblSites->installEventFilter(this);
}

void HistoryWindow::showEvent(QShowEvent *event)
{
    if (stale_)
        Reload();
    QWidget::showEvent(event);
}

bool HistoryWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == tblSites && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            tblSites_DblClick();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void HistoryWindow::ChecksRecorded()
{
    stale_ = true;
    if (isVisible())
        Reload();
}

void HistoryWindow::Reload()
{
    stale_ = false;
    const int selected = selectedSite();
    const qint64 selectedId = selected < 0 ? 0 : sites_->site(selected).id;
    sites_->setSites(history_.usable() ? history_.sites() : std::vector<HistoryStore::SiteRow>{});
    const QModelIndex again = shown_->mapFromSource(sites_->index(selectedId ? sites_->rowOf(selectedId) : -1, 0));
    if (again.isValid())
        tblSites->selectRow(again.row());
    tblSites_Select();
    ShowNote();
}

void HistoryWindow::ShowNote()
{
    if (!history_.usable())
        lblNote->setText(QStringLiteral("There is no history to show: %1.").arg(history_.whyOff()));
    else if (sites_->rowCount() == 0)
        lblNote->setText(QStringLiteral("No partner has been checked yet; every scan adds its checks to the history."));
    else
        lblNote->setText(QStringLiteral("%1 of %2 partners shown.").arg(shown_->rowCount()).arg(sites_->rowCount()));
}

int HistoryWindow::selectedSite() const
{
    const QModelIndexList rows = tblSites->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : shown_->mapToSource(rows.front()).row();
}

void HistoryWindow::txtFilter_Change()
{
    shown_->setText(txtFilter->text());
    // The filter may have taken the selected partner out of view.
    tblSites_Select();
    ShowNote();
}

void HistoryWindow::chkLostOnly_Click()
{
    shown_->setLostOnly(chkLostOnly->isChecked());
    tblSites_Select();
    ShowNote();
}

void HistoryWindow::tblSites_Select()
{
    lstChanges->clear();
    const int site = selectedSite();
    if (site < 0) {
        lblPartner->setText(QStringLiteral("Select a partner to see its timeline."));
        timelineStrip->setTimeline({});
        return;
    }
    const HistoryStore::SiteRow &row = sites_->site(site);
    lblPartner->setText(QStringLiteral("%1 \u2014 %2").arg(VisibleText::Of(row.name), VisibleText::Of(row.url)));
    std::vector<HistoryStore::Span> spans = history_.timeline(row.id);
    QList<QTreeWidgetItem *> lines;
    for (std::size_t i = 0; i < spans.size(); ++i)
        lines << new QTreeWidgetItem(QStringList{
                History::DayCaption(spans[i].from),
                i ? History::StateCaption(spans[i - 1].state) : QStringLiteral("(first check)"),
                History::StateCaption(spans[i].state), QString::fromLatin1(History::ChangeWord(spans[i].change))});
    lstChanges->addTopLevelItems(lines);
    timelineStrip->setTimeline(std::move(spans));
}

void HistoryWindow::tblSites_DblClick()
{
    const int site = selectedSite();
    if (site < 0)
        return;
    // Only web addresses reach the desktop, as from a result line.
    ShexIt::OpenWebAddress(this, sites_->site(site).url);
}

void HistoryWindow::cmdExport_Click()
{
    const QString path = FileChooser::SaveFile(this, QStringLiteral("Export History"), QStringLiteral("History.csv"), CsvFile::Filter());
    if (path.isEmpty())
        return;
    QStringList header;
    for (int column = 0; column < HistoryModel::ColumnCount; ++column)
        header << sites_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().toLower();
    QByteArray out = CsvFile::Line(header);
    for (int row = 0; row < shown_->rowCount(); ++row) {
        const int site = shown_->mapToSource(shown_->index(row, 0)).row();
        QStringList fields;
        for (int column = 0; column < HistoryModel::ColumnCount; ++column)
            fields << sites_->exportText(site, column);
        out += CsvFile::Line(fields);
    }
    if (const QString error = CsvFile::Write(path, out); !error.isEmpty())
        Feedback::Message(this, error);
}
