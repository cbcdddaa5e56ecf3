#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

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

// The same search on a page not yet decoded: `bytes` are UTF-8 (when utf8) or Windows-1252.
// Gives what Find would give on the decoded text (offset in UTF-16 units, or -1), or nullopt
// when only the decoded text can tell: a term that is empty or not ASCII, a page holding, before
// or at its first match, a non-ASCII character that upper-cases to one of the term's (dotless i,
// long s), or a page built to make the byte search slow. Work grows linearly with the page, at
// close to memory speed.
std::optional<qsizetype> FindInBytes(QByteArrayView bytes, bool utf8, QStringView term);

enum class Outcome { NoPage, Found, NotFound };
// An empty page is no verdict; a match sets MatchStart and MatchLength.
Outcome FindTerm(QStringView page, QStringView term);

} // namespace FindIt
