#include "SiteVerdict.h"

#include "CodePage.h"
#include "FindIt.h"

namespace SiteVerdict {

SiteResult Judge(GetSource::Page &page, QStringView term)
{
    SiteResult result;
    result.httpStatus = page.status;
    result.finalUrl = page.finalUrl;
    result.bytes = page.bytes.size();
    result.ms = page.elapsedMs;
    result.truncated = page.truncated;
    result.error = page.error;
    result.failure = page.failure;
    for (const auto &header : std::as_const(page.headers))
        if (header.first == "x-robots-tag")
            result.robotsHeaders.append(header);
    if (!page.opened) {
        result.status = Verdict::PageNotFound;
        result.verified = false;
        return result;
    }
    // Decoding costs more than the download itself on a fast network; a whole page (one that
    // did not end with an error) can often be searched as it came.
    std::optional<qsizetype> at;
    if (page.text.isEmpty() && !page.bytes.isEmpty() && page.error.isEmpty())
        at = FindIt::FindInBytes(page.bytes, CodePage::IsValidUtf8(page.bytes), term);
    if (!at && page.text.isEmpty())
        GetSource::DecodeText(page);
    if (!at && page.text.isEmpty()) {
        result.status = Verdict::Empty;
    } else {
        result.matchOffset = at ? *at : FindIt::Find(page.text, term);
        result.status = result.matchOffset >= 0 ? Verdict::Ok : Verdict::NotFound;
    }
    result.verified = result.status == Verdict::Ok;
    return result;
}

bool Analysable(const SiteResult &result)
{
    return result.status == Verdict::Ok;
}

static void keepAnalysis(SiteResult &result, PageAnalysis::Analysis analysis, bool strict)
{
    result.analysis = std::move(analysis);
    PageAnalysis::NoteStatus(*result.analysis, result.httpStatus);
    if (strict && result.analysis->hollow)
        result.verified = false;
}

void Analyse(SiteResult &result, QStringView text, const PageAnalysis::Headers &headers, QStringView term,
             bool strict, const PageAnalysis::Limits &limits)
{
    if (!Analysable(result))
        return;
    keepAnalysis(result, PageAnalysis::Analyse(text, term, headers, limits, result.finalUrl), strict);
}

void Analyse(SiteResult &result, GetSource::Page &page, QStringView term, bool strict,
             const PageAnalysis::Limits &limits)
{
    if (!Analysable(result))
        return;
    if (page.text.isEmpty()) {
        if (const std::optional<QByteArrayView> utf8 = GetSource::Utf8Text(page)) {
            keepAnalysis(result, PageAnalysis::AnalyseUtf8(*utf8, term, page.headers, limits, result.finalUrl),
                         strict);
            return;
        }
        GetSource::DecodeText(page);
    }
    Analyse(result, page.text, page.headers, term, strict, limits);
}

// Why the download failed or fell short.
static QString downloadReason(const SiteResult &result)
{
    using GetSource::Failure;
    if (result.status == Verdict::PageNotFound) {
        switch (result.failure) {
        case Failure::NameNotResolved:
            return QStringLiteral("name not resolved");
        case Failure::ConnectionRefused:
            return QStringLiteral("connection refused");
        case Failure::ConnectionReset:
            return QStringLiteral("connection reset");
        case Failure::TimedOut:
            return QStringLiteral("timed out");
        case Failure::TooManyRedirects:
            return QStringLiteral("too many redirects");
        case Failure::BadResponse:
            return result.error.isEmpty() ? QStringLiteral("malformed response") : result.error;
        case Failure::TooLarge:
        case Failure::Refused:
        case Failure::Other:
        case Failure::None:
            break;
        }
        if (result.httpStatus >= 400)
            return QStringLiteral("HTTP %1").arg(result.httpStatus);
        return result.error.isEmpty() ? QStringLiteral("failed") : result.error;
    }
    if (result.httpStatus >= 400)
        return QStringLiteral("HTTP %1").arg(result.httpStatus);
    if (result.truncated)
        return QStringLiteral("too large; the first %1 MiB searched").arg(GetSource::Limits{}.maxBytes >> 20);
    if (result.failure == Failure::TimedOut)
        return QStringLiteral("timed out; the part read searched");
    return {};
}

QString Reason(const SiteResult &result)
{
    const QString reason = downloadReason(result);
    if (result.renderFailure.isEmpty())
        return reason;
    return reason.isEmpty() ? result.renderFailure : reason + QStringLiteral("; ") + result.renderFailure;
}

} // namespace SiteVerdict
