#include "ChangeRule.h"

#include <algorithm>

namespace History {

namespace {

struct ReasonWords {
    const char *word;
    const char *now;
    const char *noLonger;
};

// How a reason that came or went is told. The rel of a flagged link and the canonical
// address are told with their values instead.
constexpr ReasonWords ReasonNotes[] = {
        {"comment", "now only in a comment", "no longer only in a comment"},
        {"script", "now only in a script", "no longer only in a script"},
        {"noindex", "the page now asks not to be indexed", "the page no longer asks not to be indexed"},
        {"nofollow", "the page now asks that its links not be followed",
         "the page no longer asks that its links not be followed"},
        {"error-status", "the page now answers with an error status", "the page no longer answers with an error status"},
        {"robots-txt", "robots.txt now disallows the page", "robots.txt no longer disallows the page"},
        {"hidden", "now hidden", "no longer hidden"},
        {"crawler-view", "now missing from the copy crawlers get", "no longer missing from the copy crawlers get"},
        {"script-removed", "now removed by the page's scripts", "no longer removed by the page's scripts"},
        {"script-drawn", "now drawn only by the page's scripts", "no longer drawn only by the page's scripts"},
        {"empty-term", "now matched by an empty search term", "no longer matched by an empty search term"},
};

// The rel words that keep search engines from counting a link.
QStringList flags(const QString &rel)
{
    QStringList out;
    for (const QString &word : rel.split(u' ', Qt::SkipEmptyParts))
        if (word == u"nofollow" || word == u"sponsored" || word == u"ugc")
            out << word;
    return out;
}

QString quoted(const QString &text)
{
    return u'"' + text + u'"';
}

void noteReason(QStringList &parts, const QString &word, bool now)
{
    for (const ReasonWords &r : ReasonNotes)
        if (word == QLatin1StringView(r.word)) {
            parts << QString::fromUtf8(now ? r.now : r.noLonger);
            return;
        }
    parts << (now ? QStringLiteral("now %1") : QStringLiteral("no longer %1")).arg(word);
}

} // namespace

QString DetailNote(const Details &was, const Details &now)
{
    QStringList parts;
    const bool leftTheLink = !was.linkHref.isEmpty() && now.linkHref.isEmpty();
    if (was.linkHref.isEmpty() != now.linkHref.isEmpty())
        parts << (now.linkHref.isEmpty() ? QStringLiteral("no longer in a link")
                                         : QStringLiteral("now in a link to %1").arg(now.linkHref));
    else if (was.linkHref != now.linkHref)
        parts << QStringLiteral("link now goes to %1").arg(now.linkHref);
    if (was.linkText != now.linkText && !was.linkHref.isEmpty() && !now.linkHref.isEmpty())
        parts << QStringLiteral("link text %1 \u2192 %2").arg(quoted(was.linkText), quoted(now.linkText));

    const QStringList flaggedBefore = flags(was.rel);
    const QStringList flaggedNow = flags(now.rel);
    QStringList added;
    QStringList dropped;
    for (const QString &word : flaggedNow)
        if (!flaggedBefore.contains(word))
            added << word;
    for (const QString &word : flaggedBefore)
        if (!flaggedNow.contains(word))
            dropped << word;
    if (!added.isEmpty())
        parts << QStringLiteral("now %1").arg(added.join(u'/'));
    if (!dropped.isEmpty() && !leftTheLink)
        parts << QStringLiteral("no longer %1").arg(dropped.join(u'/'));

    const bool canonicalBefore = was.reasons.contains(u"canonical");
    const bool canonicalNow = now.reasons.contains(u"canonical");
    if (canonicalNow && (!canonicalBefore || was.canonical != now.canonical))
        parts << QStringLiteral("canonical now names %1").arg(now.canonical);
    else if (canonicalBefore && !canonicalNow)
        parts << QStringLiteral("canonical no longer names another page");

    // flagged-link follows from the rel words told above, canonical from its address.
    const auto told = [](const QString &word) { return word == u"flagged-link" || word == u"canonical"; };
    for (const QString &word : now.reasons)
        if (!told(word) && !was.reasons.contains(word))
            noteReason(parts, word, true);
    for (const QString &word : was.reasons)
        if (!told(word) && !now.reasons.contains(word))
            noteReason(parts, word, false);
    return parts.join(QStringLiteral("; "));
}

Judgement Judge(const std::optional<Standing> &before, const Outcome &outcome, int downAfter)
{
    Judgement out;
    out.state = outcome.state;
    out.details = outcome.details;
    if (!before)
        return out;
    if (!out.details)
        out.details = before->details;

    const Standing &was = *before;
    if (outcome.state == State::Ok && !outcome.kindKnown && IsOk(was.state))
        out.state = was.state;
    out.stateChanged = out.state != was.state;
    downAfter = std::max(1, downAfter);
    // A page that failed after being OK is a link that may come back, until it has been
    // down long enough to count as lost.
    const bool wasOk = IsOk(was.state) || (was.downStreak > 0 && !was.lostTold);

    if (out.state == State::PageNotFound) {
        if (IsOk(was.state)) {
            out.downStreak = 1;
            out.lostTold = out.downStreak >= downAfter;
            out.change = out.lostTold ? Change::Lost : Change::Down;
        } else if (was.downStreak > 0) {
            out.downStreak = was.downStreak + 1;
            out.lostTold = was.lostTold || out.downStreak >= downAfter;
            out.change = out.lostTold && !was.lostTold ? Change::Lost : Change::Unchanged;
        } else {
            out.change = out.stateChanged ? Change::Changed : Change::Unchanged;
        }
        return out;
    }
    if (IsOk(was.state) && IsOk(out.state) && was.details && outcome.details)
        out.note = DetailNote(*was.details, *outcome.details);
    out.detailsChanged = !out.stateChanged && !out.note.isEmpty();
    if (out.detailsChanged)
        out.change = Change::Changed;
    else if (!out.stateChanged)
        out.change = Change::Unchanged;
    else if (out.state == State::NotFound)
        out.change = wasOk ? Change::Lost : Change::Changed;
    else if (!IsOk(was.state))
        out.change = Change::Back;
    else
        out.change = Change::Changed;
    return out;
}

bool NeedsConfirming(Change change)
{
    return change == Change::Lost || change == Change::Down;
}

} // namespace History
