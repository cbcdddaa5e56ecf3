#pragma once

#include "SiteState.h"

#include <QString>

// What people read of the history: a state and a day in words, the same in every window.
namespace History {

QString StateCaption(State state);
// "2 November", with the year when it is not this year's.
QString DateCaption(qint64 at, qint64 now);
// "7 Dec 2026": short enough for a column, with the year for a history of many months.
QString DayCaption(qint64 at);

} // namespace History
