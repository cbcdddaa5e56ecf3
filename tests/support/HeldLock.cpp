#include "HeldLock.h"

HeldLock::HeldLock(const QString &path)
{
    holder_.start(QStringLiteral(HISTORY_LOCK_HOLDER), {path});
    holder_.waitForReadyRead(10000);
    held_ = holder_.readLine().trimmed() == "locked";
}

HeldLock::~HeldLock()
{
    release();
}

void HeldLock::release()
{
    if (holder_.state() == QProcess::NotRunning)
        return;
    holder_.closeWriteChannel();
    holder_.waitForFinished(10000);
}
