#include "AppInfo.h"

#include <QCoreApplication>
#include <QDir>

namespace AppInfo {

QString ProgramFolder()
{
    return QCoreApplication::applicationDirPath();
}

bool MakeProgramFolderCurrent()
{
    return QDir::setCurrent(ProgramFolder());
}

} // namespace AppInfo
