#pragma once

#include <QString>
#include <QStringView>

// Text and attribute values as the page's author wrote them, turned into what a reader sees.
namespace PageAnalysis::MarkupText {

// The character references in common use decoded: numeric ones, &amp; &lt; &gt; &quot; &apos;
// &nbsp; and a few of typography (dashes, quotes, ellipsis, copyright); the rest stay as written.
QString Decoded(QStringView raw);

// For a line of output: blanks collapsed to single spaces and trimmed, control characters as
// U+FFFD, cut to at most `most` characters (a surrogate pair counts as one and is never split).
QString Shown(QStringView text, qsizetype most);

} // namespace PageAnalysis::MarkupText
