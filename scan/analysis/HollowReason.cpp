#include "HollowReason.h"

#include <algorithm>

namespace PageAnalysis {

const char *HollowWord(Hollow why)
{
    switch (why) {
    case Hollow::Comment:
        return "comment";
    case Hollow::Script:
        return "script";
    case Hollow::FlaggedLink:
        return "flagged-link";
    case Hollow::Noindex:
        return "noindex";
    case Hollow::Nofollow:
        return "nofollow";
    case Hollow::ErrorStatus:
        return "error-status";
    case Hollow::RobotsTxt:
        return "robots-txt";
    case Hollow::Canonical:
        return "canonical";
    case Hollow::Hidden:
        return "hidden";
    case Hollow::CrawlerView:
        return "crawler-view";
    case Hollow::ScriptRemoved:
        return "script-removed";
    case Hollow::ScriptDrawn:
        return "script-drawn";
    case Hollow::EmptyTerm:
        break;
    }
    return "empty-term";
}

QString HollowPhrase(const HollowReason &reason)
{
    switch (reason.why) {
    case Hollow::Comment:
        return QStringLiteral("in a comment");
    case Hollow::Script:
        return QStringLiteral("in a script");
    case Hollow::FlaggedLink:
        // The detail is the link's flagging rel words, as in "nofollow link".
        return reason.detail.isEmpty() ? QStringLiteral("flagged link") : reason.detail + QStringLiteral(" link");
    case Hollow::Noindex:
        return QStringLiteral("noindex page");
    case Hollow::Nofollow:
        return QStringLiteral("nofollow page");
    case Hollow::ErrorStatus:
        return QStringLiteral("error page");
    case Hollow::RobotsTxt:
        return QStringLiteral("disallowed by robots.txt");
    case Hollow::Canonical:
        return QStringLiteral("canonical is another page");
    case Hollow::Hidden:
        return QStringLiteral("hidden link");
    case Hollow::CrawlerView:
        return QStringLiteral("not shown to crawlers");
    case Hollow::ScriptRemoved:
        return QStringLiteral("removed by script");
    case Hollow::ScriptDrawn:
        return QStringLiteral("drawn by script");
    case Hollow::EmptyTerm:
        break;
    }
    return QStringLiteral("no search term");
}

void AddHollow(HollowReasons &reasons, Hollow why, const QString &detail)
{
    const auto at = std::find_if(reasons.begin(), reasons.end(), [why](const HollowReason &r) { return r.why >= why; });
    if (at != reasons.end() && at->why == why)
        return;
    reasons.insert(at, HollowReason{why, detail});
}

} // namespace PageAnalysis
