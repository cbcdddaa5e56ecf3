#include "DesktopNotice.h"

#include "CheckOptions.h"
#include "NoticeWaiter.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QVariantMap>

namespace DesktopNotice {

namespace {

constexpr int ReplyTimeoutMs = 5000;
// Shown for this long by services that do not choose for themselves.
constexpr int ShowMs = -1;

// Notification services may read the body as markup; partner names are only text.
QString plain(const QString &name)
{
    QString out;
    for (const QChar c : name) {
        if (c == u'&')
            out += QStringLiteral("&amp;");
        else if (c == u'<')
            out += QStringLiteral("&lt;");
        else if (c == u'>')
            out += QStringLiteral("&gt;");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            out += u' ';
        else
            out += c;
    }
    return out;
}

} // namespace

QString Summary(qsizetype lost, qsizetype weakened)
{
    if (weakened == 0)
        return lost == 1 ? QStringLiteral("A partner dropped your link")
                         : QStringLiteral("%1 partners dropped your link").arg(lost);
    if (lost == 0)
        return weakened == 1 ? QStringLiteral("A partner weakened your link")
                             : QStringLiteral("%1 partners weakened your link").arg(weakened);
    return QStringLiteral("%1 partners dropped or weakened your link").arg(lost + weakened);
}

QString Body(const QStringList &lost, const QStringList &weakened)
{
    const auto names = [](const QStringList &list) {
        QStringList shown;
        for (const QString &name : list)
            shown << plain(name);
        return shown.join(QStringLiteral(", "));
    };
    if (weakened.isEmpty())
        return names(lost);
    if (lost.isEmpty())
        return names(weakened);
    return QStringLiteral("Lost: %1\nWeakened (no longer counted by search engines): %2").arg(names(lost), names(weakened));
}

QString Send(const QString &summary, const QString &body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return QStringLiteral("could not be shown: no desktop session bus: %1").arg(bus.lastError().message());
    QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    // A click can lead only where the window is installed.
    const QString window = NoticeWaiter::WindowProgram();
    QStringList actions;
    if (!window.isEmpty())
        actions << QStringLiteral("default") << QStringLiteral("Show the partners");
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QString::fromLatin1(DesktopEntry)}};
    call << QString::fromLatin1(CheckOptions::ProgramName) << uint(0) << QString::fromLatin1(DesktopEntry) << summary
         << body << actions << hints << ShowMs;
    const QDBusMessage reply = bus.call(call, QDBus::Block, ReplyTimeoutMs);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return QStringLiteral("could not be shown: %1").arg(reply.errorMessage());
    if (window.isEmpty() || reply.arguments().size() != 1)
        return {};
    if (const QString why = NoticeWaiter::StartDetached(QCoreApplication::applicationFilePath(),
                                                        reply.arguments().constFirst().toUInt(), window);
        !why.isEmpty())
        return QStringLiteral("was shown, but a click on it cannot open the window: %1").arg(why);
    return {};
}

} // namespace DesktopNotice
