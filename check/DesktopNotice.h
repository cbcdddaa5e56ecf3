#pragma once

#include <QString>
#include <QStringList>

// One notice on the user's desktop through the freedesktop notification service on the
// session bus, with the program's icon and desktop entry. Where the window program is
// installed, a click on the notice opens it on the Partners view.
namespace DesktopNotice {

// The installed desktop entry (tallyweave.desktop) and icon, by the name desktops look up.
inline constexpr char DesktopEntry[] = "tallyweave";

// The summary and body of the one notice naming the partners whose links were lost, and
// those whose links were weakened (OK before, hollow now).
QString Summary(qsizetype lost, qsizetype weakened);
QString Body(const QStringList &lost, const QStringList &weakened);

// Empty when the service took the notice and a click on it leads where it should; else what
// went wrong, worded to follow "the desktop notice".
QString Send(const QString &summary, const QString &body);

} // namespace DesktopNotice
