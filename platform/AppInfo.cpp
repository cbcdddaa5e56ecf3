#include "AppInfo.h"

#include <QCoreApplication>
#include <QDir>

namespace AppInfo {

namespace {
QString &overridden()
{
    static QString folder;
    return folder;
}
} // namespace

QString ProgramFolder()
{
    return overridden().isEmpty() ? QCoreApplication::applicationDirPath() : overridden();
}

void OverrideProgramFolder(const QString &folder)
{
    overridden() = folder;
}

bool MakeProgramFolderCurrent()
{
    return QDir::setCurrent(ProgramFolder());
}

} // namespace AppInfo
