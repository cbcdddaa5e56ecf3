// The main window's Help menu.
#include "frmMain.h"

#include "HelpPage.h"
#include "frmAbout.h"

void frmMain::mnuContents_Click()
{
    OpenHelpPage(this);
}

void frmMain::mnuAboutLink_Click()
{
    frmAbout::ShowAbout();
}
