#include "HelpPage.h"

#include "AppInfo.h"
#include "ShexIt.h"

QString HelpPagePath()
{
    return AppInfo::ProgramFolder() + QLatin1Char('/') + QString::fromLatin1(HelpPageName);
}

void OpenHelpPage(QWidget *owner)
{
    ShexIt::OpenLocalFile(owner, HelpPagePath());
}
