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
    bool ok = false;
    const qlonglong seconds = trimmed.toLongLong(&ok);
    if (ok && seconds >= 0)
        return std::min<std::chrono::milliseconds>(std::chrono::seconds(seconds), LongestPause);
    // The HTTP date, always in GMT: Sun, 06 Nov 1994 08:49:37 GMT
    QDateTime when = QLocale::c().toDateTime(QString::fromLatin1(trimmed), QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'"));
    when.setTimeSpec(Qt::UTC);
    if (!when.isValid())
        return std::nullopt;
    return std::clamp<std::chrono::milliseconds>(std::chrono::milliseconds(now.msecsTo(when)),
                                                 std::chrono::milliseconds(0), LongestPause);
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
