#pragma once

#include "GetSource.h"

#include <QDateTime>

#include <chrono>
#include <optional>

// When tallyweave-check tries a download again (--retry): only for failures that may pass,
// after a pause that grows with each try unless the server names its own.
namespace RetryRule {

// The longest pause a server's Retry-After can ask for; a longer one is cut to it.
inline constexpr std::chrono::seconds LongestPause{300};
inline constexpr std::chrono::seconds FirstPause{1};

// A time-out, a broken connection, or status 429 or 503.
bool MayPass(const GetSource::Page &page);

// The pause before try `retry` (1 for the first retry): 1 s doubled for each further try, or
// what the page's Retry-After header asks (seconds or an HTTP date, seen from `now`).
std::chrono::milliseconds Pause(const GetSource::Page &page, int retry, const QDateTime &now);

// The wait a Retry-After value asks for, at most LongestPause however large the number or
// late the date; none when it is neither form (a negative number included).
std::optional<std::chrono::milliseconds> RetryAfter(const QByteArray &value, const QDateTime &now);

} // namespace RetryRule
