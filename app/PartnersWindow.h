#pragma once

#include "SiteRecord.h"
#include "SiteVerdict.h"

#include <QElapsedTimer>
#include <QList>
#include <QWidget>

class HistoryFilter;
class HistoryModel;
class PartnerCheck;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QTimer;
class QTreeWidget;
class TimelineStrip;
class UserTimer;
class WindowHistory;

// The Partners window: every partner with its last result, why, and its standing in the
// history; checks of all or the selected partners through the checker's engine, with their
// progress and a summary; a filter by text and by kind; the selected partner's states over
// time. It reads the main window's own history and shows it again whenever a scan has
// recorded; its own checks are recorded as the terminal checker's are.
class PartnersWindow : public QWidget
{
    Q_OBJECT

public:
    PartnersWindow(WindowHistory &history, const QString &sitesFile, QWidget *parent = nullptr);
    ~PartnersWindow() override;

    // Reads the list and the history again, keeping the filter, the order and the selection.
    void Reload();
    // After a scan: read again now if shown, else when next shown.
    void ChecksRecorded();
    // Beside `main` on its screen, where there is room; a place of its own once it has one.
    void PlaceBeside(const QWidget *main);
    // The show filter on the partners whose links were lost or no longer count.
    void ShowLostOrHollow();

    void txtFilter_Change();
    void cboShow_Click();
    void tblSites_Select();
    void tblSites_DblClick();
    void cmdExport_Click();
    void cmdCheckAll_Click();
    void cmdCheckSelected_Click();
    void cmdStop_Click();
    void mnuCopyAddress_Click();
    void tmrProgress_Timer();
    void chkDaily_Click(bool checked);
    void chkRender_Click(bool checked);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createCheckBar();
    void createFilterBar();
    void createTable();
    void createTimeline();
    void layOut();
    void connectHandlers();
    void restoreLayout();
    void saveLayout() const;

    void StartCheck(const QList<SiteRecord> &sites);
    void SiteChecked(qsizetype position, const SiteVerdict::SiteResult &result);
    void SiteWaiting(qsizetype position, const SiteVerdict::SiteResult &result, bool secondLook);
    void CheckProgressed(qsizetype judged, qsizetype total);
    void Confirming(qsizetype sites, int seconds);
    void CheckFinished(bool stopped);
    void ShowChecking(bool checking);

    // The selected rows in the model's numbering, the current one first.
    QList<int> selectedSites() const;
    // The site whose timeline is shown, -1 when none is selected.
    int selectedSite() const;
    void ShowNote();
    void ShowDaily();

    WindowHistory &history_;
    QString sitesFile_;
    HistoryModel *sites_ = nullptr;
    HistoryFilter *shown_ = nullptr;
    PartnerCheck *check_ = nullptr;
    QPushButton *cmdCheckAll = nullptr;
    QPushButton *cmdCheckSelected = nullptr;
    QPushButton *cmdStop = nullptr;
    QProgressBar *prgCheck = nullptr;
    QLabel *lblProgress = nullptr;
    QLabel *lblSummary = nullptr;
    QCheckBox *chkRender = nullptr;
    QString browser_; // the browser that renders pages for chkRender; empty when there is none
    QCheckBox *chkDaily = nullptr;
    QLabel *lblDaily = nullptr;
    UserTimer *daily_ = nullptr;
    QLineEdit *txtFilter = nullptr;
    QComboBox *cboShow = nullptr;
    QPushButton *cmdExport = nullptr;
    QTableView *tblSites = nullptr;
    QAction *mnuCopyAddress = nullptr;
    QAction *mnuOpenPage = nullptr;
    QLabel *lblPartner = nullptr;
    QLabel *lblLink = nullptr;
    TimelineStrip *timelineStrip = nullptr;
    QTreeWidget *lstChanges = nullptr;
    QLabel *lblNote = nullptr;
    QTimer *tmrProgress = nullptr;
    bool stale_ = true;
    bool placed_ = false;

    // The check under way: its partners, those checked so far, and its clock.
    QList<SiteRecord> checking_;
    QList<qsizetype> checkedPositions_;
    qsizetype judged_ = 0;
    QString confirming_;
    QElapsedTimer clock_;
    QString warning_;
};
