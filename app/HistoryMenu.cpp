// File > History: one History window beside the main window, over the main window's history.
#include "frmMain.h"

#include "HistoryWindow.h"

void frmMain::mnuHistory_Click()
{
    if (!historyWindow_) {
        historyWindow_ = new HistoryWindow(history_, this);
        connect(this, &frmMain::checksRecorded, historyWindow_, &HistoryWindow::ChecksRecorded);
    } else {
        // Another program (tallyweave-check) may have recorded since.
        historyWindow_->Reload();
    }
    historyWindow_->show();
    historyWindow_->raise();
    historyWindow_->activateWindow();
}
