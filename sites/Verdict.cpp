#include "Verdict.h"

#include "ResultLine.h"

const char *VerdictWord(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Ok:
        return "ok";
    case Verdict::NotFound:
        return "not_found";
    case Verdict::PageNotFound:
        return "page_not_found";
    case Verdict::Empty:
        return "empty";
    }
    return "";
}

QString VerdictLine(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Ok:
        return ResultLine::Ok;
    case Verdict::NotFound:
        return ResultLine::NotFound;
    case Verdict::PageNotFound:
        return ResultLine::PageNotFound;
    case Verdict::Empty:
        break;
    }
    return {};
}
