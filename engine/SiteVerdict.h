#pragma once

#include "GetSource.h"
#include "PageAnalysis.h"
#include "SiteChange.h"
#include "Verdict.h"

#include <QString>
#include <QStringView>

#include <optional>

// What the checker keeps of one site once its page has been searched: the verdict and a few
// facts about the download, never the page itself.
namespace SiteVerdict {

struct SiteResult {
    Verdict status = Verdict::PageNotFound;
    long httpStatus = 0;      // 0 when no response arrived
    QString finalUrl;         // after redirects; empty when unknown
    qint64 bytes = 0;         // bytes read (at most the download limit)
    qint64 ms = 0;            // time the download took
    qsizetype matchOffset = -1; // start of the leftmost match in the page text, in characters
    bool truncated = false;   // the page was longer than the download limit
    QString error;            // why the download failed or ended early
    GetSource::Failure failure = GetSource::Failure::None;
    bool verified = false;    // counts as verified: ok, and with --strict not hollow
    // Where the match sits in the page's markup; only for ok pages, and only when asked for.
    std::optional<PageAnalysis::Analysis> analysis;
    // Why the robots.txt the match was judged against could not be read, e.g. "robots.txt
    // answered 503"; the match then counts as allowed.
    QString robotsUnknown;
    // Against the site's previous check; none without history.
    std::optional<SiteChange> change;
    // The verdict came from the page as a browser showed it once its scripts had run
    // (RenderedVerdict); the offset and the analysis are then those of the rendered document.
    bool rendered = false;
    // "render failed: ..." when the page was to be rendered and could not be; the verdict is
    // then the source's.
    QString renderFailure;
    // The page's X-Robots-Tag headers, which a rendered document is analysed with.
    PageAnalysis::Headers robotsHeaders;
};

// The window's verdict for a downloaded page: an unopened page is not found, an empty one
// has no verdict, else the leftmost case-insensitive match decides. A page not yet decoded is
// searched in its bytes where that gives the same answer, and decoded only where it does not.
SiteResult Judge(GetSource::Page &page, QStringView term);

// Whether the analysis has anything to add to a verdict: only a match can be placed.
bool Analysable(const SiteResult &result);
// Places the match of an ok page in its markup (the page text and response headers it was
// judged on). When strict, a hollow match is then no longer verified; the status stays ok.
void Analyse(SiteResult &result, QStringView text, const PageAnalysis::Headers &headers, QStringView term,
             bool strict, const PageAnalysis::Limits &limits = {});
// The same for a page as it came: read in its bytes when they are UTF-8, else in its text,
// which is decoded here when the verdict did not need it.
void Analyse(SiteResult &result, GetSource::Page &page, QStringView term, bool strict,
             const PageAnalysis::Limits &limits = {});

// Why a site's page failed, for both front ends: a status code of 400 or more, a time-out, a
// name not resolved, a refused or broken connection, a page too large; and a render that
// failed. Empty when nothing went wrong.
QString Reason(const SiteResult &result);

} // namespace SiteVerdict
