#pragma once

#include "CheckOptions.h"
#include "SiteRecord.h"

#include <QList>
#include <QString>

#include <functional>

#include <ostream>

// tallyweave-check --history: each site's timeline, its states one after the other with
// the moments each began and ended, from the history beside the sites file.
namespace HistoryCommand {

// Empty on success; else why the timelines cannot be shown. `warn` hears of a damaged file.
QString Print(const QString &historyFile, const QList<SiteRecord> &sites, CheckOptions::Format format,
              std::ostream &out, const std::function<void(const QString &)> &warn);

} // namespace HistoryCommand
