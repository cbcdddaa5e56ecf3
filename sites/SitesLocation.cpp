#include "SitesLocation.h"

#include "AppInfo.h"
#include "SitesFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace SitesLocation {

namespace {

QString fileIn(const QString &folder)
{
    return QDir(folder).filePath(QString::fromLatin1(SitesFile::FileName));
}

bool portable(const Facts &facts)
{
    return facts.programFolderWritable && !facts.installedTree;
}

} // namespace

bool IsInstalledTree(const QString &programFolder)
{
    const QDir folder(programFolder);
    return folder.dirName() == QStringLiteral("bin")
            && QFileInfo(folder.filePath(QStringLiteral("../share/doc/tallyweave"))).isDir();
}

Facts Observe()
{
    Facts facts;
    facts.programFolder = AppInfo::ProgramFolder();
    // By the generic location, not the application's: the window and tallyweave-check have
    // different application names but one list.
    facts.dataFolder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
            + QStringLiteral("/tallyweave");
    facts.programFolderWritable = QFileInfo(facts.programFolder).isWritable();
    facts.installedTree = IsInstalledTree(facts.programFolder);
    return facts;
}

QString Folder(const Facts &facts)
{
    return portable(facts) ? facts.programFolder : facts.dataFolder;
}

QString FileToRead(const Facts &facts)
{
    const QString chosen = fileIn(Folder(facts));
    if (portable(facts) || QFileInfo::exists(chosen))
        return chosen;
    const QString beside = fileIn(facts.programFolder);
    return QFileInfo::exists(beside) ? beside : chosen;
}

QString Prepare(const Facts &facts, QString *error)
{
    const QString folder = Folder(facts);
    if (portable(facts))
        return folder;
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Cannot make the folder %1 for the list of sites.").arg(QDir::toNativeSeparators(folder));
        return folder;
    }
    const QString target = fileIn(folder);
    const QString beside = fileIn(facts.programFolder);
    if (!QFileInfo::exists(target) && QFileInfo::exists(beside)) {
        QFile original(beside);
        if (!original.copy(target)) {
            if (error)
                *error = QStringLiteral("Cannot copy %1 to %2: %3")
                                 .arg(QDir::toNativeSeparators(beside), QDir::toNativeSeparators(target),
                                      original.errorString());
        } else {
            // The copy is the user's own now, whatever the installed file's bits were.
            QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
        }
    }
    return folder;
}

} // namespace SitesLocation
