// The main window's Help menu.
#include "frmMain.h"

void frmMain::mnuContents_Click()
{
}

void frmMain::mnuAboutLink_Click()
{
}
