#include "PartnersWindow.h"

#include "CsvFile.h"
#include "Feedback.h"
#include "FileChooser.h"
#include "HistoryCaptions.h"
#include "HistoryFilter.h"
#include "HistoryModel.h"
#include "HistoryStore.h"
#include "LinkDetails.h"
#include "Module1.h"
#include "PageRenderer.h"
#include "PartnerCheck.h"
#include "ShexIt.h"
#include "TimelineStrip.h"
#include "UserTimer.h"
#include "VisibleText.h"
#include "WindowHistory.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <array>

namespace {
// Samples of each column's widest usual text.
const char *const ColumnSamples[HistoryModel::ColumnCount]
        = {"Partner name of length", "https://www.partner.example/links.html", "my-site.example",
           "Search Term Not Found", "connection refused", "HTTP", "A partner's link",
           "Search Term Not Found", "28 Sep 2026", "Last checked", "Checks", "Changes"};

// The show filter's choices, in the order offered.
struct ShowChoice {
    const char *caption;
    QList<HistoryModel::Kind> kinds; // empty: all
};
const std::array<ShowChoice, 7> ShowChoices{{
        {"All", {}},
        {"OK", {HistoryModel::Kind::Ok}},
        {"Hollow", {HistoryModel::Kind::Hollow}},
        {"Lost", {HistoryModel::Kind::Lost}},
        {"Down", {HistoryModel::Kind::Down}},
        {"Not found", {HistoryModel::Kind::NotFound}},
        {"Lost or hollow", {HistoryModel::Kind::Lost, HistoryModel::Kind::Hollow}},
}};
// Where a desktop notice of lost links leads.
constexpr int LostOrHollowChoice = 6;

QSettings settings()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("tallyweave"),
                     QStringLiteral("tallyweave"));
}
constexpr char GeometryKey[] = "partners/geometry";
constexpr char DailyTimer[] = "tallyweave-check.timer";
constexpr char CronLine[]
        = "0 7 * * * DBUS_SESSION_BUS_ADDRESS=unix:path=/run/user/$(id -u)/bus tallyweave-check --quiet --changes --notify";
constexpr char ColumnsKey[] = "partners/columns";
constexpr char RenderKey[] = "partners/render";
// The columns the saved layout was made for: a layout from before a column came or went would
// give each width and the sort to the wrong column.
constexpr char ColumnCountKey[] = "partners/columnCount";

QString count(qint64 n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
}

// "42 s", "3 min 5 s", "1 h 2 min".
QString duration(qint64 ms)
{
    const qint64 seconds = (ms + 500) / 1000;
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("%1 min %2 s").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

// "today 07:03", "tomorrow 07:12", "8 Dec 2026 07:12".
QString moment(const QDateTime &at)
{
    const QString time = QLocale::c().toString(at.time(), QStringLiteral("HH:mm"));
    if (at.date() == QDate::currentDate())
        return QStringLiteral("today ") + time;
    if (at.date() == QDate::currentDate().addDays(1))
        return QStringLiteral("tomorrow ") + time;
    return History::DayCaption(at.toSecsSinceEpoch()) + u' ' + time;
}
} // namespace

PartnersWindow::PartnersWindow(WindowHistory &history, const QString &sitesFile, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , history_(history)
    , sitesFile_(sitesFile)
{
    setObjectName(QStringLiteral("frmPartners"));
    setWindowTitle(QStringLiteral("Partners \u2014 Tallyweave"));

    check_ = new PartnerCheck(this);
    tmrProgress = new QTimer(this);
    tmrProgress->setObjectName(QStringLiteral("tmrProgress"));
    tmrProgress->setInterval(1000);
    createCheckBar();
    createFilterBar();
    createTable();
    createTimeline();
    layOut();
    connectHandlers();
    restoreLayout();
    ShowChecking(false);
}

PartnersWindow::~PartnersWindow()
{
    saveLayout();
    // A check under way is stopped, and its thread gone, before the rows it reports to.
    delete check_;
}

void PartnersWindow::createCheckBar()
{
    cmdCheckAll = new QPushButton(QStringLiteral("Check &All"), this);
    cmdCheckAll->setObjectName(QStringLiteral("cmdCheckAll"));
    cmdCheckAll->setToolTip(QStringLiteral("Check every partner on the list, many at once"));
    cmdCheckSelected = new QPushButton(QStringLiteral("Check &Selected"), this);
    cmdCheckSelected->setObjectName(QStringLiteral("cmdCheckSelected"));
    cmdCheckSelected->setToolTip(QStringLiteral("Check the partners selected in the table"));
    cmdStop = new QPushButton(QStringLiteral("S&top"), this);
    cmdStop->setObjectName(QStringLiteral("cmdStop"));
    cmdStop->setToolTip(QStringLiteral("End the check now; what was checked is kept"));
    prgCheck = new QProgressBar(this);
    prgCheck->setObjectName(QStringLiteral("prgCheck"));
    prgCheck->setTextVisible(false);
    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblSummary = new QLabel(this);
    lblSummary->setObjectName(QStringLiteral("lblSummary"));
    lblSummary->setTextFormat(Qt::PlainText);
    chkRender = new QCheckBox(QStringLiteral("&Render pages that scripts draw"), this);
    chkRender->setObjectName(QStringLiteral("chkRender"));
    browser_ = PageRenderer::FindBrowser();
    if (browser_.isEmpty()) {
        chkRender->setEnabled(false);
        chkRender->setToolTip(QStringLiteral("Rendering needs Chromium, which is not installed: install the %1 package "
                                             "(apt-get install %1)")
                                      .arg(QLatin1StringView(PageRenderer::BrowserPackage)));
    } else {
        chkRender->setChecked(settings().value(QLatin1StringView(RenderKey), false).toBool());
        chkRender->setToolTip(QStringLiteral(
                "A page without your term is loaded once more in a headless Chromium, which runs the partner's "
                "scripts, so a link they draw is found; about a second and a few hundred MiB per page"));
    }
    chkDaily = new QCheckBox(QStringLiteral("Check every &day"), this);
    chkDaily->setObjectName(QStringLiteral("chkDaily"));
    chkDaily->setEnabled(false);
    lblDaily = new QLabel(this);
    lblDaily->setObjectName(QStringLiteral("lblDaily"));
    lblDaily->setTextFormat(Qt::PlainText);
    daily_ = new UserTimer(QString::fromLatin1(DailyTimer), this);
}

void PartnersWindow::createFilterBar()
{
    txtFilter = new QLineEdit(this);
    txtFilter->setObjectName(QStringLiteral("txtFilter"));
    txtFilter->setPlaceholderText(QStringLiteral("Part of a name, page address or search term"));
    txtFilter->setClearButtonEnabled(true);
    cboShow = new QComboBox(this);
    cboShow->setObjectName(QStringLiteral("cboShow"));
    for (const ShowChoice &choice : ShowChoices)
        cboShow->addItem(QString::fromLatin1(choice.caption));
    cboShow->setToolTip(QStringLiteral("Only the partners of one kind: lost links were OK once and are not now; "
                                       "a page that cannot be opened is down until it has failed long enough to count as lost"));
    cmdExport = new QPushButton(QStringLiteral("&Export..."), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdExport->setToolTip(QStringLiteral("Write the partners shown, in their order, to a CSV file"));
}

void PartnersWindow::createTable()
{
    sites_ = new HistoryModel(this);
    shown_ = new HistoryFilter(sites_, this);
    tblSites = new QTableView(this);
    tblSites->setObjectName(QStringLiteral("tblSites"));
    tblSites->setModel(shown_);
    tblSites->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblSites->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tblSites->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblSites->setWordWrap(false);
    tblSites->setAlternatingRowColors(true);
    tblSites->setTextElideMode(Qt::ElideRight);
    tblSites->setContextMenuPolicy(Qt::CustomContextMenu);
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
    // The state's words follow its mark.
    columns->resizeSection(HistoryModel::State, columns->sectionSize(HistoryModel::State)
                                   + tblSites->style()->pixelMetric(QStyle::PM_SmallIconSize) + 6);
    tblSites->setSortingEnabled(true);
    tblSites->sortByColumn(HistoryModel::Name, Qt::AscendingOrder);

    mnuOpenPage = new QAction(QStringLiteral("&Open Page"), this);
    mnuOpenPage->setObjectName(QStringLiteral("mnuOpenPage"));
    mnuCopyAddress = new QAction(QStringLiteral("&Copy Address"), this);
    mnuCopyAddress->setObjectName(QStringLiteral("mnuCopyAddress"));
    mnuCopyAddress->setShortcut(QKeySequence::Copy);
    mnuCopyAddress->setShortcutContext(Qt::WidgetShortcut);
    tblSites->addAction(mnuCopyAddress);
}

void PartnersWindow::createTimeline()
{
    lblPartner = new QLabel(this);
    lblPartner->setObjectName(QStringLiteral("lblPartner"));
    // Names and addresses come from partner lists: never read as markup.
    lblPartner->setTextFormat(Qt::PlainText);
    lblPartner->setWordWrap(true);
    lblLink = new QLabel(this);
    lblLink->setObjectName(QStringLiteral("lblLink"));
    lblLink->setTextFormat(Qt::PlainText);
    lblLink->setWordWrap(true);
    lblLink->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblLink->hide();
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

void PartnersWindow::layOut()
{
    auto *checkBar = new QHBoxLayout;
    checkBar->addWidget(cmdCheckAll);
    checkBar->addWidget(cmdCheckSelected);
    checkBar->addWidget(cmdStop);
    checkBar->addWidget(prgCheck, 1);
    checkBar->addWidget(lblProgress);
    // In the bar's place once the check is over.
    checkBar->addWidget(lblSummary, 1);
    checkBar->addSpacing(12);
    checkBar->addWidget(chkRender);
    checkBar->addSpacing(12);
    checkBar->addWidget(chkDaily);
    checkBar->addWidget(lblDaily);

    auto *filterBar = new QHBoxLayout;
    auto *filterCaption = new QLabel(QStringLiteral("&Filter:"), this);
    filterCaption->setBuddy(txtFilter);
    filterBar->addWidget(filterCaption);
    filterBar->addWidget(txtFilter, 1);
    auto *showCaption = new QLabel(QStringLiteral("S&how:"), this);
    showCaption->setBuddy(cboShow);
    filterBar->addWidget(showCaption);
    filterBar->addWidget(cboShow);
    filterBar->addStretch();
    filterBar->addWidget(cmdExport);

    auto *window = new QVBoxLayout(this);
    window->addLayout(checkBar);
    window->addLayout(filterBar);
    window->addWidget(tblSites, 3);
    window->addWidget(lblNote);
    window->addWidget(lblPartner);
    window->addWidget(lblLink);
    window->addWidget(timelineStrip);
    window->addWidget(lstChanges, 1);
    setTabOrder(cmdCheckAll, cmdCheckSelected);
    setTabOrder(cmdCheckSelected, cmdStop);
    setTabOrder(cmdStop, chkRender);
    setTabOrder(chkRender, chkDaily);
    setTabOrder(chkDaily, txtFilter);
    setTabOrder(txtFilter, cboShow);
    setTabOrder(cboShow, cmdExport);
    setTabOrder(cmdExport, tblSites);
    // Room for every column where the screen allows it, never more than the screen.
    resize(QSize(1440, 760).boundedTo(screen()->availableGeometry().size()));
}

void PartnersWindow::connectHandlers()
{
    connect(cmdCheckAll, &QPushButton::clicked, this, &PartnersWindow::cmdCheckAll_Click);
    connect(cmdCheckSelected, &QPushButton::clicked, this, &PartnersWindow::cmdCheckSelected_Click);
    connect(cmdStop, &QPushButton::clicked, this, &PartnersWindow::cmdStop_Click);
    connect(tmrProgress, &QTimer::timeout, this, &PartnersWindow::tmrProgress_Timer);
    connect(check_, &PartnerCheck::checked, this, &PartnersWindow::SiteChecked);
    connect(check_, &PartnerCheck::waiting, this, &PartnersWindow::SiteWaiting);
    connect(check_, &PartnerCheck::progressed, this, &PartnersWindow::CheckProgressed);
    connect(check_, &PartnerCheck::confirming, this, &PartnersWindow::Confirming);
    connect(check_, &PartnerCheck::finished, this, &PartnersWindow::CheckFinished);
    connect(check_, &PartnerCheck::warned, this, [this](const QString &message) { warning_ = message; });
    connect(chkRender, &QCheckBox::clicked, this, &PartnersWindow::chkRender_Click);
    connect(chkDaily, &QCheckBox::clicked, this, &PartnersWindow::chkDaily_Click);
    connect(daily_, &UserTimer::changed, this, &PartnersWindow::ShowDaily);
    connect(daily_, &UserTimer::failed, this, [this](const QString &message) { Feedback::Message(this, message); });
    connect(txtFilter, &QLineEdit::textChanged, this, &PartnersWindow::txtFilter_Change);
    connect(cboShow, &QComboBox::currentIndexChanged, this, &PartnersWindow::cboShow_Click);
    connect(cmdExport, &QPushButton::clicked, this, &PartnersWindow::cmdExport_Click);
    // The selection, not the current row: a click moves the current row before it selects.
    connect(tblSites->selectionModel(), &QItemSelectionModel::selectionChanged, this, &PartnersWindow::tblSites_Select);
    connect(tblSites, &QTableView::doubleClicked, this, &PartnersWindow::tblSites_DblClick);
    connect(tblSites, &QWidget::customContextMenuRequested, this, [this](const QPoint &at) {
        if (selectedSite() < 0)
            return;
        QMenu menu(this);
        menu.addAction(mnuOpenPage);
        menu.addAction(mnuCopyAddress);
        menu.exec(tblSites->viewport()->mapToGlobal(at));
    });
    connect(mnuOpenPage, &QAction::triggered, this, &PartnersWindow::tblSites_DblClick);
    connect(mnuCopyAddress, &QAction::triggered, this, &PartnersWindow::mnuCopyAddress_Click);
    tblSites->installEventFilter(this);
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
}

void PartnersWindow::restoreLayout()
{
    const QSettings stored = settings();
    placed_ = restoreGeometry(stored.value(QLatin1StringView(GeometryKey)).toByteArray());
    QHeaderView *columns = tblSites->horizontalHeader();
    if (stored.value(QLatin1StringView(ColumnCountKey)).toInt() == HistoryModel::ColumnCount
        && columns->restoreState(stored.value(QLatin1StringView(ColumnsKey)).toByteArray()))
        tblSites->sortByColumn(columns->sortIndicatorSection(), columns->sortIndicatorOrder());
}

void PartnersWindow::saveLayout() const
{
    if (!placed_)
        return;
    QSettings stored = settings();
    stored.setValue(QLatin1StringView(GeometryKey), saveGeometry());
    stored.setValue(QLatin1StringView(ColumnsKey), tblSites->horizontalHeader()->saveState());
    stored.setValue(QLatin1StringView(ColumnCountKey), int(HistoryModel::ColumnCount));
}

void PartnersWindow::PlaceBeside(const QWidget *main)
{
    if (placed_)
        return;
    placed_ = true;
    const QRect room = main->screen()->availableGeometry();
    const QRect beside = main->frameGeometry();
    const QSize size = this->size().boundedTo(room.size());
    constexpr int Gap = 8;
    int x = beside.right() + 1 + Gap;
    if (x + size.width() > room.right() + 1)
        x = beside.left() - Gap - size.width();
    // No room on either side: as little over the main window as the screen allows.
    if (x < room.left())
        x = room.right() + 1 - size.width();
    const int y = std::clamp(beside.top(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height()));
    move(x, y);
}

void PartnersWindow::showEvent(QShowEvent *event)
{
    if (stale_ && !check_->running())
        Reload();
    // The timer may have run, or been turned on or off elsewhere, while the window was away.
    daily_->refresh();
    QWidget::showEvent(event);
}

void PartnersWindow::hideEvent(QHideEvent *event)
{
    saveLayout();
    QWidget::hideEvent(event);
}

bool PartnersWindow::eventFilter(QObject *watched, QEvent *event)
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

void PartnersWindow::ChecksRecorded()
{
    stale_ = true;
    // A check of this window's own reads everything again when it ends.
    if (isVisible() && !check_->running())
        Reload();
}

void PartnersWindow::Reload()
{
    stale_ = false;
    const int selected = selectedSite();
    const QString url = selected < 0 ? QString() : sites_->site(selected).url;
    const QString term = selected < 0 ? QString() : sites_->site(selected).term;
    const int before = sites_->rowCount();
    sites_->setDownAfter(history_.usable() ? history_.downAfter() : HistoryStore::DefaultDownAfter);
    sites_->setPartners(Module1::Sites, history_.usable() ? history_.sites() : std::vector<HistoryStore::SiteRow>{});
    // Rows changed in place keep their selection; a new set of rows gets it back by partner.
    if (selected >= 0 && (before != sites_->rowCount() || selectedSite() < 0)) {
        const QModelIndex again = shown_->mapFromSource(sites_->index(sites_->rowOf(url, term), 0));
        if (again.isValid())
            tblSites->selectRow(again.row());
    }
    tblSites_Select();
    ShowNote();
}

void PartnersWindow::ShowNote()
{
    if (!warning_.isEmpty())
        lblNote->setText(QStringLiteral("The check is not recorded: %1.").arg(VisibleText::Of(warning_)));
    else if (!history_.usable())
        lblNote->setText(QStringLiteral("There is no history to show: %1.").arg(history_.whyOff()));
    else if (sites_->rowCount() == 0)
        lblNote->setText(QStringLiteral("No partner yet; add partners to the list in the main window."));
    else
        lblNote->setText(QStringLiteral("%1 of %2 partners shown.").arg(count(shown_->rowCount()), count(sites_->rowCount())));
}

void PartnersWindow::chkRender_Click(bool checked)
{
    settings().setValue(QLatin1StringView(RenderKey), checked);
}

void PartnersWindow::chkDaily_Click(bool checked)
{
    chkDaily->setEnabled(false);
    lblDaily->setText(checked ? QStringLiteral("turning on...") : QStringLiteral("turning off..."));
    daily_->setEnabled(checked);
}

void PartnersWindow::ShowDaily()
{
    const UserTimer::Status &status = daily_->status();
    chkDaily->setChecked(status.known && status.enabled);
    chkDaily->setEnabled(status.known);
    if (!status.known) {
        const QString tip = QStringLiteral("The daily check needs the systemd user timer %1, which is not available "
                                           "here: %2.\nWith cron instead, add this line with crontab -e:\n%3")
                                    .arg(QString::fromLatin1(DailyTimer), status.problem, QString::fromLatin1(CronLine));
        chkDaily->setToolTip(tip);
        lblDaily->setToolTip(tip);
        lblDaily->setText(QStringLiteral("not available here"));
        return;
    }
    const QString tip = QStringLiteral("Runs tallyweave-check once a day through the systemd user timer %1, also while "
                                       "this window is closed; a day missed while the computer was off is made up at "
                                       "the next start. Its changes come as desktop notices.")
                                .arg(QString::fromLatin1(DailyTimer));
    chkDaily->setToolTip(tip);
    lblDaily->setToolTip(tip);
    QStringList said;
    said << (status.lastRun.isValid() ? QStringLiteral("last %1").arg(moment(status.lastRun)) : QStringLiteral("not run yet"));
    if (status.nextRun.isValid())
        said << QStringLiteral("next %1").arg(moment(status.nextRun));
    lblDaily->setText(said.join(QStringLiteral(", ")));
}

QList<int> PartnersWindow::selectedSites() const
{
    QList<int> rows;
    const QModelIndex current = tblSites->currentIndex();
    const QItemSelectionModel *selection = tblSites->selectionModel();
    if (current.isValid() && selection->isRowSelected(current.row()))
        rows << shown_->mapToSource(current).row();
    for (const QModelIndex &index : selection->selectedRows()) {
        const int row = shown_->mapToSource(index).row();
        if (rows.isEmpty() || row != rows.front())
            rows << row;
    }
    return rows;
}

int PartnersWindow::selectedSite() const
{
    const QList<int> rows = selectedSites();
    return rows.isEmpty() ? -1 : rows.front();
}

void PartnersWindow::txtFilter_Change()
{
    shown_->setText(txtFilter->text());
    // The filter may have taken the selected partner out of view.
    tblSites_Select();
    ShowNote();
}

void PartnersWindow::cboShow_Click()
{
    const int choice = cboShow->currentIndex();
    shown_->setShow(choice < 0 ? QList<HistoryModel::Kind>() : ShowChoices[std::size_t(choice)].kinds);
    tblSites_Select();
    ShowNote();
}

void PartnersWindow::ShowLostOrHollow()
{
    cboShow->setCurrentIndex(LostOrHollowChoice);
}

void PartnersWindow::tblSites_Select()
{
    lstChanges->clear();
    cmdCheckSelected->setEnabled(!check_->running() && selectedSite() >= 0);
    const int site = selectedSite();
    lblLink->setText(site < 0 ? QString() : LinkDetails::Caption(sites_->partner(site).site.details));
    lblLink->setVisible(!lblLink->text().isEmpty());
    if (site < 0) {
        lblPartner->setText(QStringLiteral("Select a partner to see its timeline."));
        timelineStrip->setTimeline({});
        return;
    }
    const HistoryModel::Partner &partner = sites_->partner(site);
    const HistoryStore::SiteRow &row = partner.site;
    QString caption = QStringLiteral("%1 \u2014 %2").arg(VisibleText::Of(row.name), VisibleText::Of(row.url));
    if (partner.latest && !partner.latest->why.isEmpty())
        caption += QStringLiteral("\n%1: %2").arg(HistoryModel::ResultCaption(partner.latest->status),
                                                  VisibleText::Of(partner.latest->why));
    if (partner.latest && !partner.latest->note.isEmpty())
        caption += u'\n' + VisibleText::Of(partner.latest->note);
    lblPartner->setText(caption);
    std::vector<HistoryStore::Span> spans = row.id ? history_.timeline(row.id) : std::vector<HistoryStore::Span>{};
    QList<QTreeWidgetItem *> lines;
    for (std::size_t i = 0; i < spans.size(); ++i)
        lines << new QTreeWidgetItem(QStringList{
                History::DayCaption(spans[i].from),
                i ? History::StateCaption(spans[i - 1].state) : QStringLiteral("(first check)"),
                History::StateCaption(spans[i].state),
                spans[i].note.isEmpty() ? QString::fromLatin1(History::ChangeWord(spans[i].change))
                                        : QStringLiteral("%1: %2").arg(QLatin1StringView(History::ChangeWord(spans[i].change)),
                                                                       VisibleText::Of(spans[i].note))});
    lstChanges->addTopLevelItems(lines);
    timelineStrip->setTimeline(std::move(spans));
}

void PartnersWindow::tblSites_DblClick()
{
    const int site = selectedSite();
    if (site < 0)
        return;
    // Only web addresses reach the desktop, as from a result line.
    ShexIt::OpenWebAddress(this, sites_->site(site).url);
}

void PartnersWindow::mnuCopyAddress_Click()
{
    QStringList addresses;
    for (int site : selectedSites())
        addresses << sites_->site(site).url;
    if (!addresses.isEmpty())
        QGuiApplication::clipboard()->setText(addresses.join(u'\n'));
}

void PartnersWindow::cmdExport_Click()
{
    QString type;
    const QString path = FileChooser::SaveFile(this, QStringLiteral("Export Partners"),
                                               CsvFile::SuggestedPath(QStringLiteral("partners")), CsvFile::SaveFilter(), &type);
    if (path.isEmpty())
        return;
    const CsvFile::Dialect dialect = CsvFile::DialectOf(type);
    QStringList header;
    for (int column = 0; column < HistoryModel::ColumnCount; ++column)
        header << sites_->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().toLower();
    QByteArray out = CsvFile::Start(dialect) + CsvFile::Line(header, dialect);
    for (int row = 0; row < shown_->rowCount(); ++row) {
        const int site = shown_->mapToSource(shown_->index(row, 0)).row();
        QStringList fields;
        for (int column = 0; column < HistoryModel::ColumnCount; ++column)
            fields << sites_->exportText(site, column);
        out += CsvFile::Line(fields, dialect);
    }
    if (const QString error = CsvFile::Write(path, out); !error.isEmpty()) {
        Feedback::Message(this, error);
        return;
    }
    Feedback::Message(this, QStringLiteral("%1 partner(s) written to %2.").arg(shown_->rowCount()).arg(path));
}

void PartnersWindow::cmdCheckAll_Click()
{
    StartCheck(Module1::Sites);
}

void PartnersWindow::cmdCheckSelected_Click()
{
    QList<int> rows = selectedSites();
    std::sort(rows.begin(), rows.end());
    QList<SiteRecord> sites;
    for (int row : rows) {
        const HistoryStore::SiteRow &site = sites_->site(row);
        sites.append({site.name, site.url, site.term});
    }
    StartCheck(sites);
}

void PartnersWindow::cmdStop_Click()
{
    check_->stop();
    cmdStop->setEnabled(false);
}

void PartnersWindow::StartCheck(const QList<SiteRecord> &sites)
{
    if (check_->running() || sites.isEmpty())
        return;
    // The rows must be those the check's results are matched with.
    if (stale_)
        Reload();
    checking_ = sites;
    checkedPositions_.clear();
    judged_ = 0;
    confirming_.clear();
    warning_.clear();
    lblSummary->clear();
    prgCheck->setRange(0, int(sites.size()));
    prgCheck->setValue(0);
    clock_.start();
    ShowChecking(true);
    tmrProgress_Timer();
    tmrProgress->start();
    PartnerCheck::Settings options = PartnerCheck::Defaults();
    if (chkRender->isChecked()) {
        options.rendering.mode = RenderedVerdict::Mode::Missing;
        options.rendering.render.browser = browser_;
    }
    check_->start(sites, history_.usable() ? HistoryStore::PathFor(sitesFile_) : QString(), options);
}

void PartnersWindow::ShowChecking(bool checking)
{
    cmdCheckAll->setEnabled(!checking);
    cmdCheckSelected->setEnabled(!checking && selectedSite() >= 0);
    cmdStop->setEnabled(checking);
    chkRender->setEnabled(!checking && !browser_.isEmpty());
    prgCheck->setVisible(checking);
    lblProgress->setVisible(checking);
    lblSummary->setVisible(!checking);
}

void PartnersWindow::SiteChecked(qsizetype position, const SiteVerdict::SiteResult &result)
{
    const SiteRecord &site = checking_[position];
    const int row = sites_->rowOf(site.Url, site.SearchTerm);
    if (row < 0)
        return;
    checkedPositions_ << position;
    sites_->noteChecked(row, result, QDateTime::currentSecsSinceEpoch());
    if (row == selectedSite())
        tblSites_Select();
}

void PartnersWindow::SiteWaiting(qsizetype position, const SiteVerdict::SiteResult &result, bool secondLook)
{
    const SiteRecord &site = checking_[position];
    const int row = sites_->rowOf(site.Url, site.SearchTerm);
    if (row < 0)
        return;
    sites_->noteChecked(row, result, QDateTime::currentSecsSinceEpoch(),
                        secondLook ? QStringLiteral("Not yet confirmed: looked at once more at the end of the check")
                                   : QStringLiteral("Recorded after the second look at the end of the check"));
    if (row == selectedSite())
        tblSites_Select();
}

void PartnersWindow::CheckProgressed(qsizetype judged, qsizetype total)
{
    judged_ = judged;
    prgCheck->setRange(0, int(total));
    prgCheck->setValue(int(judged));
    tmrProgress_Timer();
}

void PartnersWindow::Confirming(qsizetype sites, int seconds)
{
    confirming_ = QStringLiteral("a second look at %1 in %2 s").arg(sites == 1 ? QStringLiteral("1 partner") : count(sites) + QStringLiteral(" partners")).arg(seconds);
    tmrProgress_Timer();
}

void PartnersWindow::tmrProgress_Timer()
{
    const qint64 elapsed = clock_.elapsed();
    const qsizetype total = checking_.size();
    QString text = QStringLiteral("%1 of %2, %3").arg(count(judged_), count(total), duration(elapsed));
    if (!confirming_.isEmpty())
        text += QStringLiteral(", ") + confirming_;
    else if (judged_ > 0 && judged_ < total)
        text += QStringLiteral(", about %1 left").arg(duration(elapsed * (total - judged_) / judged_));
    lblProgress->setText(text);
}

void PartnersWindow::CheckFinished(bool stopped)
{
    tmrProgress->stop();
    const qint64 elapsed = clock_.elapsed();
    qsizetype kinds[6] = {};
    for (qsizetype position : std::as_const(checkedPositions_)) {
        const int row = sites_->rowOf(checking_[position].Url, checking_[position].SearchTerm);
        if (row >= 0)
            ++kinds[int(sites_->kind(row))];
    }
    using Kind = HistoryModel::Kind;
    const qsizetype checked = checkedPositions_.size();
    QString summary = stopped ? QStringLiteral("Stopped: %1 of %2 checked").arg(count(checked), count(checking_.size()))
                              : QStringLiteral("%1 checked").arg(count(checked));
    summary += QStringLiteral(" in %1: %2 OK, %3 hollow, %4 lost, %5 down")
                       .arg(duration(elapsed), count(kinds[int(Kind::Ok)]), count(kinds[int(Kind::Hollow)]),
                            count(kinds[int(Kind::Lost)]), count(kinds[int(Kind::Down)]));
    if (kinds[int(Kind::NotFound)] > 0)
        summary += QStringLiteral(", %1 not found").arg(count(kinds[int(Kind::NotFound)]));
    lblSummary->setText(summary);
    ShowChecking(false);
    // The history now holds the checks; the rows take it in where they stand.
    Reload();
}
