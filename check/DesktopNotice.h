#pragma once

#include <QString>
#include <QStringList>

// One notice on the user's desktop through the freedesktop notification service on the
// session bus, with the program's icon and desktop entry. Where the window program is
// installed, a click on the notice opens it on the Partners view.
namespace DesktopNotice {

// The installed desktop entry (tallyweave.desktop) and icon, by the name desktops look up.
inline constexpr char DesktopEntry[] = "tallyweave";

// The summary and body of the notice naming the partners whose links were lost.
QString LostSummary(qsizetype count);
QString LostBody(const QStringList &names);

// Empty when the service took the notice and a click on it leads where it should; else what
// went wrong, worded to follow "the desktop notice".
QString Send(const QString &summary, const QString &body);

} // namespace DesktopNotice
