#pragma once

#include <QString>
#include <QStringView>

// The case-insensitive search of a page for a site's term: equal when every character of the
// term equals the page's character at the same place after both are mapped to upper case,
// one character at a time. The leftmost match wins; an empty term matches at 0 of any
// non-empty page.
namespace FindIt {

// Where the last successful FindTerm found its term (0 and 0 until one has).
extern qint32 MatchStart;
extern qint32 MatchLength;

// Offset of the leftmost match, or -1. Work grows linearly with the page.
qsizetype Find(QStringView page, QStringView term);

enum class Outcome { NoPage, Found, NotFound };
// An empty page is no verdict; a match sets MatchStart and MatchLength.
Outcome FindTerm(QStringView page, QStringView term);

} // namespace FindIt
