#pragma once

#include "HollowReason.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <chrono>

// Where on a page the search term sits, and whether search engines are told to ignore the page.
// The verdict ("  --> OK" or not) stays with FindIt; this only adds what is known about a match.
// The page is read as an HTML5 parser reads it: plain pages by a fast reader that places
// everything where the parser's tree would, all others by libgumbo. Every place where
// FindIt::Find finds the term in the page source is placed in the markup, and the strongest
// place is reported. An occurrence that runs across several places (a term that includes
// markup, such as href="http://...") is in a comment or in script, style or noscript if any
// part of it is, and otherwise takes the strongest place it covers. <noscript> is read as
// browsers that run scripts read it: all up to </noscript> is hidden.
// A match is also hollow when the element around it, or one further out, is hidden by its own
// attributes (InlineStyle; stylesheets are not read), when the page names another page as its
// canonical address, and when there is no term at all. Of two occurrences in places alike, one
// that is not hidden is the stronger.
namespace PageAnalysis {

// From strongest to weakest; the order of the values is the order of strength.
enum class Context {
    CleanLinkHref,       // href of an <a> whose rel has none of nofollow, sponsored, ugc
    FlaggedLinkHref,     // href of an <a> whose rel has one of them
    LinkText,            // text inside an <a href>
    VisibleText,         // other text
    Attribute,           // any other attribute value
    ScriptStyleNoscript, // anything inside <script>, <style> or <noscript>
    Comment,             // inside an HTML comment (or what the parser treats as one)
    None,                // only in markup outside of these (tag and attribute names, the
                         // doctype, a tag cut off by the end of the page); also when not
                         // found, for an empty term, and when the parse gave up
};

struct Analysis {
    bool found = false;        // the term occurs in the source (same rule as FindIt::Find)
    Context context = Context::None;
    QString contextName;       // ContextName(context) when found, "unknown" when the parse gave
                               // up, empty when not found
    qsizetype matchOffset = -1; // UTF-16 offset in the source of the strongest occurrence
    qsizetype occurrences = 0; // how many places the term occurs at (overlapping ones count)
    QString element;           // lower-case tag holding that occurrence: the element of the
                               // attribute, the parent of the text, or for ScriptStyleNoscript
                               // the enclosing script, style or noscript; empty for comments
    QString attribute;         // the attribute's name when the occurrence is in one
    QStringList rel;           // lower-case rel tokens of the <a> for link contexts
    QStringList robots;        // page directives, e.g. "noindex (meta robots)",
                               // "nofollow (X-Robots-Tag)", "noindex (X-Robots-Tag googlebot)"
    bool noindex = false;      // the page asks not to be indexed (meta or header)
    bool nofollow = false;     // the page asks that its links not be followed
    bool hollow = false;       // found, but search engines will not count it: !reasons.empty()
    HollowReasons reasons;     // why, strongest first (AddReason)
    QString linkText;          // for a match in a link: its text, whitespace collapsed, an
                               // image link's alt, at most 200 characters
    QString linkHref;          // for a match in a link: its href resolved against the page's
                               // address and its <base href>
    QString canonical;         // for a match, the canonical address the page names (the first
                               // <link rel="canonical"> in the head, or a Link header), resolved,
                               // also when it is the page itself; hollow when it is another
    long errorStatus = 0;      // the HTTP status of a page that answered with an error, else 0
    bool gaveUp = false;       // the markup was too large or too deeply nested to parse within
                               // the limits; the context is then None and only the header
                               // directives are known
};

// Response headers, names in lower case (as GetSource::Page delivers them).
using Headers = QList<QPair<QByteArray, QByteArray>>;

// What a parse may cost before it is abandoned. Zero means the default, which grows with the page.
struct Limits {
    std::chrono::milliseconds parseTime{0};
    qint64 parseMemory = 0; // bytes held by the parser at one time
};

// When the term is not found nothing is parsed, and only the header directives are reported.
// An empty term is found at 0 of any non-empty source, in no particular place (context None),
// and its match is hollow. pageUrl is the page's final address, which the addresses on the page
// are resolved against; without it a canonical address cannot be told from the page's own.
Analysis Analyse(QStringView source, QStringView term, const Headers &headers = {},
                 const Limits &limits = {}, const QString &pageUrl = {});

// The same analysis of a page that came as UTF-8 (valid, as CodePage::IsValidUtf8 tells), read
// in its own bytes: what Analyse gives for its decoded text, offsets counted in that text.
// A byte order mark at the start is not part of the text, as decoding drops it.
Analysis AnalyseUtf8(QByteArrayView page, QStringView term, const Headers &headers = {},
                     const Limits &limits = {}, const QString &pageUrl = {});

// Records why a found match is hollow; nothing for a match not found.
void AddReason(Analysis &analysis, Hollow why, const QString &detail = {});

// Search engines do not index a page that answers with an error status (400 or more): a match
// on it is hollow, whatever its place.
void NoteStatus(Analysis &analysis, long status);

// Stable one-word names for output: "link-href", "flagged-link-href", "link-text", "text",
// "attribute", "script", "comment", "markup".
QString ContextName(Context context);

// A few lines for a tool tip: where the term was found, the link's rel values, the page's
// robots directives, a canonical address of another page, what hides the match, the link's
// text and target. Lines are separated by '\n'; no trailing newline.
QString Describe(const Analysis &analysis);

} // namespace PageAnalysis
