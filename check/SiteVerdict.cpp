#include "SiteVerdict.h"

#include "FindIt.h"
#include "ResultLine.h"

namespace SiteVerdict {

SiteResult Judge(const GetSource::Page &page, QStringView term)
{
    SiteResult result;
    result.httpStatus = page.status;
    result.finalUrl = page.finalUrl;
    result.bytes = page.bytes.size();
    result.ms = page.elapsedMs;
    result.truncated = page.truncated;
    result.error = page.error;
    if (!page.opened) {
        result.status = Status::PageNotFound;
    } else if (page.text.isEmpty()) {
        result.status = Status::Empty;
    } else {
        result.matchOffset = FindIt::Find(page.text, term);
        result.status = result.matchOffset >= 0 ? Status::Ok : Status::NotFound;
    }
    result.verified = result.status == Status::Ok;
    return result;
}

bool Analysable(const SiteResult &result)
{
    return result.status == Status::Ok;
}

void Analyse(SiteResult &result, QStringView text, const PageAnalysis::Headers &headers, QStringView term,
             bool strict)
{
    if (!Analysable(result))
        return;
    result.analysis = PageAnalysis::Analyse(text, term, headers);
    if (strict && result.analysis->hollow)
        result.verified = false;
}

QString StatusText(Status status)
{
    switch (status) {
    case Status::Ok:
        return ResultLine::Ok;
    case Status::NotFound:
        return ResultLine::NotFound;
    case Status::PageNotFound:
        return ResultLine::PageNotFound;
    case Status::Empty:
        break;
    }
    return {};
}

const char *StatusWord(Status status)
{
    switch (status) {
    case Status::Ok:
        return "ok";
    case Status::NotFound:
        return "not_found";
    case Status::PageNotFound:
        return "page_not_found";
    case Status::Empty:
        return "empty";
    }
    return "";
}

} // namespace SiteVerdict
