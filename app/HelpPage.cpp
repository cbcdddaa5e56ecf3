#include "HelpPage.h"

#include "AppInfo.h"
#include "ShexIt.h"

#include <QFileInfo>

QString HelpPagePath()
{
    const QString folder = AppInfo::ProgramFolder();
    const QString beside = folder + QLatin1Char('/') + QString::fromLatin1(HelpPageName);
    // An installed program sits in bin/ and its page with the documentation.
    const QString installed = folder + QStringLiteral("/../share/doc/tallyweave/") + QString::fromLatin1(HelpPageName);
    if (!QFileInfo::exists(beside) && QFileInfo::exists(installed))
        return QFileInfo(installed).absoluteFilePath();
    return beside;
}

void OpenHelpPage(QWidget *owner)
{
    ShexIt::OpenLocalFile(owner, HelpPagePath());
}
