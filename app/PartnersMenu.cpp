// File > Partners: one Partners window beside the main window, over the main window's list
// and history.
#include "frmMain.h"

#include "PartnersWindow.h"
#include "SitesFile.h"

#include <QDir>

void frmMain::mnuPartners_Click()
{
    if (!partnersWindow_) {
        partnersWindow_ = new PartnersWindow(history_, QDir::current().absoluteFilePath(QString::fromLatin1(SitesFile::FileName)), this);
        connect(this, &frmMain::checksRecorded, partnersWindow_, &PartnersWindow::ChecksRecorded);
        partnersWindow_->PlaceBeside(this);
    } else {
        // Another program (tallyweave-check) may have recorded since, or the list changed.
        partnersWindow_->ChecksRecorded();
    }
    partnersWindow_->show();
    partnersWindow_->raise();
    partnersWindow_->activateWindow();
}

void frmMain::ShowLostPartners()
{
    mnuPartners_Click();
    partnersWindow_->ShowLostOrHollow();
}
