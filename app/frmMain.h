#pragma once

#include "RobotsTxt.h"
#include "WindowHistory.h"

#include <QHash>
#include <QList>
#include <QMainWindow>
#include <QPair>
#include <QPointer>
#include <QSet>
#include <QString>

namespace GetSource {
struct Page;
}

class PageFetcher;
class PartnersWindow;
class SecondLook;
class SourceBox;
class QAction;
class QGroupBox;
class QHelpEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTimer;

// The program's one window. Its handlers are named after the control and the event; the site
// list's handlers live in SiteEditor.cpp, the scan's in ScanSequencer.cpp and ResultsList.cpp.
class frmMain : public QMainWindow
{
    Q_OBJECT

public:
    explicit frmMain(QWidget *parent = nullptr);
    ~frmMain() override;

    // Start-up: the program's folder becomes the current directory, then the site list is
    // loaded and shown.
    void Form_Load();
    // Centred on the screen, as the program opens.
    void ShowCentred();

    // Views and the menu.
    void cmdAdd_Click();
    void mnuAdd_Click();
    void cmdBack_Click();
    void mnuExit_Click();
    void mnuScan_Click();
    void mnuContents_Click();
    void mnuAboutLink_Click();
    void mnuImport_Click();
    void mnuExportSites_Click();
    void mnuExportResults_Click();
    void mnuPartners_Click();
    // The Partners window opened on the partners whose links were lost or no longer count, as
    // a desktop notice of lost links asks.
    void ShowLostPartners();

    // The site list and its editor.
    void FillLists();
    void ShowRecord();
    void StoreRecord();
    void EnableFields(bool enabled);
    void lstNames_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void cmdNext_Click();
    void cmdPrevious_Click();
    void txtPhone1_Change();

    // The scan.
    void cmdStart_Click();
    void cmdAgain_Click();
    void cmdSkip_Click();
    void lstNames_DblClick();
    void lstNames_KeyPress(int KeyAscii);
    void tmrScan_Timer();
    void tmrSearch_Timer();
    void tmrScan2_Timer();
    void tmrSearch2_Timer();
    void secondLook_Idle();

    // Manual verification of a result line.
    void lstResults_DblClick();
    void lstResults_KeyPress(int KeyAscii);

signals:
    // A scan has ended and its checks are in the history.
    void checksRecorded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createMenus();
    void createTimers();
    void connectHandlers();
    void Form_Unload();

    // Setting the selection runs lstNames_Click, also when the position does not change.
    void SelectName(int position);
    bool IsLastSite() const;
    bool ScanPending() const;
    bool FullScanRunning() const;
    bool ListLockedByScan(QPushButton *command);
    void BeginSite();
    void FetchStep(QTimer *own, QTimer *search);
    void PageFetched(const GetSource::Page &page);
    // Starts the download of the robots.txt of a page that holds the term, unless this scan has
    // its site's rules already; false when there is nothing to wait for.
    bool FetchRobotsTxt(const GetSource::Page &page);
    // What the rules of the site of the page last fetched say about it.
    RobotsTxt::Judgement RobotsJudgement() const;
    void RefetchSelected();
    bool PassOverScanned();
    void FinishScan();
    void SearchStep(QTimer *own);
    void FindTerm(const QString &page, const QString &term);
    QListWidgetItem *AddResult(const QString &status, const QString &url, const QString &details = {});
    // Records the check a result line tells of, and adds what the history knew before to it.
    void SetExportField(QListWidgetItem *line, int field, const QString &value);
    void NoteInHistory(QListWidgetItem *line, const History::Outcome &outcome);
    // A check that would call a site lost or down is recorded only once a second look
    // confirms it; its lines wait for the answer.
    void SecondLooked(const History::SiteKey &site, const QList<qint64> &lines, const GetSource::Page &page);
    // The history's run ends with the scan, or with the last second look after it.
    void EndRun();
    // Shows the tool tip of the result line under the mouse as plain text.
    void ShowLineTip(const QHelpEvent *help);
    void RaiseCounter();
    void SetStatus(const QString &caption);
    static QString SelectedText(const QListWidget *list);
    static void FitToText(QLabel *label);

    template<typename T>
    T *control(const char *name) const;

    // Controls, by their names in the layout.
    QPushButton *cmdStart = nullptr, *cmdAdd = nullptr, *cmdSkip = nullptr, *cmdAgain = nullptr,
                *cmdBack = nullptr, *cmdPrevious = nullptr, *cmdNext = nullptr, *Command1 = nullptr,
                *Command2 = nullptr, *Command3 = nullptr;
    QLineEdit *txtCount = nullptr, *txtName = nullptr, *txtCompany = nullptr, *txtPhone1 = nullptr;
    SourceBox *txtSource = nullptr;
    QListWidget *lstSearch = nullptr, *lstUrl = nullptr, *lstNames = nullptr, *lstResults = nullptr;
    QGroupBox *frScan = nullptr, *frAdd = nullptr;
    QLabel *lblScan1 = nullptr, *lblManual = nullptr, *lblCurrRecord = nullptr, *lblResults = nullptr;
    QTimer *tmrScan = nullptr, *tmrSearch = nullptr, *tmrScan2 = nullptr, *tmrSearch2 = nullptr;
    QAction *mnuAdd = nullptr, *mnuScan = nullptr, *mnuExit = nullptr, *mnuContents = nullptr,
            *mnuAboutLink = nullptr, *mnuImport = nullptr, *mnuExportSites = nullptr, *mnuExportResults = nullptr,
            *mnuPartners = nullptr;
    // A result line's fields as Export Results writes them.
    static constexpr int ExportRole = Qt::UserRole + 1;
    enum ExportField { ExportName, ExportUrl, ExportTerm, ExportResult, ExportHollow, ExportStatus, ExportFinalUrl, ExportChange };
    // The number of a result line that waits for a second look.
    static constexpr int LookRole = Qt::UserRole + 2;
    // The download of a fetch step; the window goes on answering meanwhile.
    PageFetcher *pageFetch = nullptr;

    bool unloaded_ = false;
    // The address the last fetch step downloaded from, and what the transfer told about it.
    QString fetchedUrl_;
    QString fetchDetails_;
    QList<QPair<QByteArray, QByteArray>> fetchHeaders_;
    long fetchStatus_ = 0;
    QString fetchFinalUrl_;
    // The search step the running download arms when its page is in.
    QTimer *fetchSearch_ = nullptr;
    // Each site's robots.txt is read once per scan, by the fetch step between a page and its
    // search; robotsFetching_ names the site whose file is under way.
    QHash<QString, RobotsTxt::Rules> robotsRules_;
    QString robotsFetching_;
    // The sites this full scan has written a line for: none is checked twice in one scan.
    QSet<int> scanned_;
    WindowHistory history_;
    SecondLook *secondLook = nullptr;
    qint64 lastLookLine_ = 0;
    // Made when first asked for; whoever closes it for good may delete it.
    QPointer<PartnersWindow> partnersWindow_;
};
