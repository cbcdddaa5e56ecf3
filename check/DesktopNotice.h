#pragma once

#include <QString>
#include <QStringList>

// One notice on the user's desktop through the freedesktop notification service on the
// session bus.
namespace DesktopNotice {

// The summary and body of the one notice naming the partners whose links were lost, and
// those whose links were weakened (OK before, hollow now).
QString Summary(qsizetype lost, qsizetype weakened);
QString Body(const QStringList &lost, const QStringList &weakened);

// Empty when the service took the notice; else why it could not be shown.
QString Send(const QString &summary, const QString &body);

} // namespace DesktopNotice
