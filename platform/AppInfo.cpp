#include "AppInfo.h"

#include <QCoreApplication>

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

} // namespace AppInfo
