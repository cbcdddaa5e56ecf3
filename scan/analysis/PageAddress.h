#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QUrl>

// Addresses that a page names: resolved as a browser resolves them, and compared as search
// engines compare a page with the canonical address it names.
namespace PageAnalysis::PageAddress {

// An attribute's address against a base, with the blanks a browser ignores taken out
// (leading and trailing spaces and control characters, tabs and line breaks anywhere).
// Relative when the base is not absolute.
QUrl Resolve(const QUrl &base, QStringView href);

// Whether two absolute addresses name the same page: compared after normalising (scheme and
// host case, default port, empty path as /, fragment dropped, percent-encoding), with http
// and https, and a path with and without a trailing slash, taken as the same.
bool SamePage(const QUrl &a, const QUrl &b);

// The target of the first link with rel "canonical" in a Link header's value, as written;
// empty when there is none. E.g. <https://example.com/a>; rel="canonical".
QString CanonicalInLinkHeader(QByteArrayView value);

// An address for output: fully percent-encoded, or the text itself when it is not one.
QString Written(const QUrl &url, QStringView fallback);

} // namespace PageAnalysis::PageAddress
