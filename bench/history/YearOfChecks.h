#pragma once

#include "HistoryStore.h"

#include <QString>

#include <optional>
#include <vector>

// A history as a year of daily runs leaves it: each day every site is recorded once, as
// tallyweave-check records a run, and a few sites change state (lost, back, down).
namespace YearOfChecks {

struct Plan {
    int sites = 32767;
    int days = 365;
    int changesPerDay = 20;
};

struct Written {
    double recordMs = 0;
    double slowestDayMs = 0;
    qint64 afterFirstDay = 0; // bytes on disk, database and its log
    qint64 largest = 0;
};

// The sites as they are recorded: "Partner 00001" at https://www.partner-00001.example/...
std::vector<History::SiteKey> Sites(int count);
// Writes the history to `path`; none when it could not be written (the reason in *error).
std::optional<Written> Write(const QString &path, const Plan &plan, const char **error);
qint64 SizeOnDisk(const QString &path);

} // namespace YearOfChecks
