#include "Module1.h"

#include "SitesFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace Module1 {

QList<SiteRecord> Sites;
qint16 CurrRecord = 0;

namespace {
// Set when the file could not be read whole: the first write of this run copies it aside
// first, so the user's damaged file is never lost.
bool backupPending = false;

QString absolute(const char *name)
{
    return QDir::current().absoluteFilePath(QString::fromLatin1(name));
}
} // namespace

qint16 SiteCount()
{
    return qint16(Sites.size());
}

SiteRecord &Site(qint16 number)
{
    Q_ASSERT(number >= 1 && number <= SiteCount());
    return Sites[number - 1];
}

void Reset()
{
    Sites.clear();
    CurrRecord = 0;
    backupPending = false;
}

QString LoadSites()
{
    const QString path = absolute(SitesFile::FileName);
    QFile file(path);
    if (!file.exists()) {
        Sites.clear();
        CurrRecord = 0;
        return {};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        backupPending = true;
        return QStringLiteral("Cannot read %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
    }
    // The previous list is let go first: a large file needs the room.
    Sites.clear();
    CurrRecord = 0;
    SitesFile::Decoded decoded;
    QByteArray bytes;
    decoded.error = SitesFile::ReadWhole(file, bytes);
    if (decoded.error.isEmpty())
        decoded = SitesFile::Decode(bytes);
    Sites = std::move(decoded.records);
    CurrRecord = decoded.currRecord;
    if (decoded.error.isEmpty())
        return {};
    backupPending = true;
    return QStringLiteral("Cannot read %1: %2.\n\nThe file is left as it is and will be kept as %3 "
                          "before the list is next saved.")
            .arg(QDir::toNativeSeparators(path), decoded.error, QString::fromLatin1(SitesFile::BackupName));
}

QString SaveSites()
{
    const QString path = absolute(SitesFile::FileName);
    const auto failure = [&path](const QString &reason) {
        return QStringLiteral("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), reason);
    };

    const QFileInfo existing(path);
    // A file the user marked read-only stays untouched, even for a user whom the system
    // would let write it.
    if (existing.exists() && existing.isFile() && !(existing.permissions() & QFile::WriteOwner))
        return failure(QStringLiteral("the file is read-only"));

    if (backupPending && existing.exists()) {
        const QString backup = absolute(SitesFile::BackupName);
        QFile::remove(backup);
        QFile original(path);
        if (!original.copy(backup))
            return failure(QStringLiteral("the unreadable file could not be kept as %1 (%2)")
                                   .arg(QDir::toNativeSeparators(backup), original.errorString()));
    }
    backupPending = false;

    QSaveFile file(path);
    // The file is replaced whole through a temporary file beside it; in a folder the user may
    // not write but with a sites file he may, it is written in place instead.
    file.setDirectWriteFallback(true);
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.errorString());
    file.write(SitesFile::Encode(Sites));
    if (!file.commit())
        return failure(file.errorString());
    return {};
}

} // namespace Module1
