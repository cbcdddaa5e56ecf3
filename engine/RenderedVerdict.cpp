#include "RenderedVerdict.h"

#include "FindIt.h"

#include <algorithm>

namespace RenderedVerdict {

namespace {

using PageAnalysis::Hollow;

bool has(const PageAnalysis::Analysis &analysis, Hollow why)
{
    return std::any_of(analysis.reasons.begin(), analysis.reasons.end(),
                       [why](const PageAnalysis::HollowReason &reason) { return reason.why == why; });
}

// What the scripts did to a term that both the source and the rendered page hold. A place is
// stronger the smaller its Context; a parse that gave up places nothing.
void compare(const PageAnalysis::Analysis &source, PageAnalysis::Analysis &rendered)
{
    if (source.gaveUp || rendered.gaveUp)
        return;
    if (rendered.context < source.context)
        AddReason(rendered, Hollow::ScriptDrawn, QStringLiteral("%1 in the source").arg(source.contextName));
    else if (rendered.context > source.context)
        AddReason(rendered, Hollow::ScriptRemoved, QStringLiteral("%1 once rendered").arg(rendered.contextName));
    if (has(rendered, Hollow::Hidden) && !has(source, Hollow::Hidden))
        AddReason(rendered, Hollow::ScriptRemoved, QStringLiteral("hidden once rendered"));
}

} // namespace

bool Needed(const SiteVerdict::SiteResult &result, Mode mode)
{
    switch (mode) {
    case Mode::Off:
        return false;
    case Mode::Missing:
        return result.status == Verdict::NotFound;
    case Mode::All:
        return result.status == Verdict::NotFound || result.status == Verdict::Ok;
    }
    return false;
}

void Apply(SiteVerdict::SiteResult &result, QStringView dom, QStringView term, bool strict)
{
    result.rendered = true;
    const qsizetype at = FindIt::Find(dom, term);
    if (at < 0) {
        if (result.status == Verdict::Ok) {
            if (!result.analysis) {
                result.analysis.emplace();
                result.analysis->found = true;
                result.analysis->matchOffset = result.matchOffset;
                result.analysis->contextName = QStringLiteral("unknown");
            }
            AddReason(*result.analysis, Hollow::ScriptRemoved, QStringLiteral("gone once rendered"));
        }
    } else {
        PageAnalysis::Analysis seen = PageAnalysis::Analyse(dom, term, result.robotsHeaders);
        PageAnalysis::NoteStatus(seen, result.httpStatus);
        if (result.status == Verdict::Ok && result.analysis)
            compare(*result.analysis, seen);
        else if (result.status == Verdict::NotFound)
            AddReason(seen, Hollow::ScriptDrawn);
        result.status = Verdict::Ok;
        result.matchOffset = at;
        result.analysis = std::move(seen);
    }
    result.verified = result.status == Verdict::Ok && !(strict && result.analysis && result.analysis->hollow);
}

void Failed(SiteVerdict::SiteResult &result, const QString &why)
{
    result.renderFailure = QStringLiteral("render failed: ") + why;
    result.error = result.error.isEmpty() ? result.renderFailure : result.error + QStringLiteral("; ") + result.renderFailure;
}

} // namespace RenderedVerdict
