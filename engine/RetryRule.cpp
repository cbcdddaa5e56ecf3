#include "RetryRule.h"

#include <QLocale>

#include <algorithm>

namespace RetryRule {

bool MayPass(const GetSource::Page &page)
{
    using GetSource::Failure;
    if (page.failure == Failure::TimedOut || page.failure == Failure::ConnectionReset)
        return true;
    return page.opened && (page.status == 429 || page.status == 503);
}

std::optional<std::chrono::milliseconds> RetryAfter(const QByteArray &value, const QDateTime &now)
{
    const QByteArray trimmed = value.trimmed();
    // Seconds: any count of digits, compared with the cap before it is converted, so that no
    // number a server sends can overflow the conversion to milliseconds.
    if (!trimmed.isEmpty() && std::all_of(trimmed.begin(), trimmed.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        bool ok = false;
        const qlonglong seconds = trimmed.toLongLong(&ok);
        if (!ok || seconds >= LongestPause.count())
            return LongestPause;
        return std::chrono::seconds(seconds);
    }
    // The HTTP date, always in GMT: Sun, 06 Nov 1994 08:49:37 GMT
    QDateTime when = QLocale::c().toDateTime(QString::fromLatin1(trimmed), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    when.setTimeSpec(Qt::UTC);
    if (!when.isValid() || !now.isValid())
        return std::nullopt;
    const qint64 ms = now.msecsTo(when);
    return std::chrono::milliseconds(std::clamp<qint64>(ms, 0, std::chrono::milliseconds(LongestPause).count()));
}

std::chrono::milliseconds Pause(const GetSource::Page &page, int retry, const QDateTime &now)
{
    for (const auto &[name, value] : page.headers)
        if (name == "retry-after")
            if (const auto asked = RetryAfter(value, now))
                return *asked;
    const int doublings = std::clamp(retry - 1, 0, 16);
    return std::min<std::chrono::milliseconds>(FirstPause * (1 << doublings), LongestPause);
}

} // namespace RetryRule
