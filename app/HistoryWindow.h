#pragma once

#include <QWidget>

class HistoryFilter;
class HistoryModel;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTreeWidget;
class TimelineStrip;
class WindowHistory;

// The History window: every partner the history knows with its state and since when, a
// filter and a switch for the lost ones, and the selected partner's states over time. It
// reads the main window's own history and shows it again whenever a scan has recorded.
class HistoryWindow : public QWidget
{
    Q_OBJECT

public:
    explicit HistoryWindow(WindowHistory &history, QWidget *parent = nullptr);

    // Reads the history again, keeping the filter, the order and the selected partner.
    void Reload();
    // After a scan: read again now if shown, else when next shown.
    void ChecksRecorded();

    void txtFilter_Change();
    void chkLostOnly_Click();
    void tblSites_Select();
    void tblSites_DblClick();
    void cmdExport_Click();

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createFilterBar();
    void createTable();
    void createTimeline();
    void layOut();
    void connectHandlers();

    // The site of the selected row in the model's numbering, -1 when none is selected.
    int selectedSite() const;
    void ShowNote();

    WindowHistory &history_;
    HistoryModel *sites_ = nullptr;
    HistoryFilter *shown_ = nullptr;
    QLineEdit *txtFilter = nullptr;
    QCheckBox *chkLostOnly = nullptr;
    QPushButton *cmdExport = nullptr;
    QTableView *tblSites = nullptr;
    QLabel *lblPartner = nullptr;
    TimelineStrip *timelineStrip = nullptr;
    QTreeWidget *lstChanges = nullptr;
    QLabel *lblNote = nullptr;
    bool stale_ = true;
};
