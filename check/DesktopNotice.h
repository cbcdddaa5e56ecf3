#pragma once

#include <QString>
#include <QStringList>

// One notice on the user's desktop through the freedesktop notification service on the
// session bus.
namespace DesktopNotice {

// The summary and body of the notice naming the partners whose links were lost.
QString LostSummary(qsizetype count);
QString LostBody(const QStringList &names);

// Empty when the service took the notice; else why it could not be shown.
QString Send(const QString &summary, const QString &body);

} // namespace DesktopNotice
