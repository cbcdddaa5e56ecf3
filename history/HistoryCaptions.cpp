#include "HistoryCaptions.h"

#include <QDateTime>
#include <QLocale>

namespace History {

QString StateCaption(State state)
{
    switch (state) {
    case State::Ok:
        return QStringLiteral("OK");
    case State::HollowOk:
        return QStringLiteral("OK (hollow)");
    case State::NotFound:
        return QStringLiteral("Search Term Not Found");
    case State::PageNotFound:
        return QStringLiteral("Page Not Found");
    }
    return {};
}

QString DayCaption(qint64 at)
{
    return QLocale::c().toString(QDateTime::fromSecsSinceEpoch(at).date(), QStringLiteral("d MMM yyyy"));
}

QString DateCaption(qint64 at, qint64 now)
{
    const QDate date = QDateTime::fromSecsSinceEpoch(at).date();
    const QDate today = QDateTime::fromSecsSinceEpoch(now).date();
    return QLocale::c().toString(date, date.year() == today.year() ? QStringLiteral("d MMMM") : QStringLiteral("d MMMM yyyy"));
}

} // namespace History
