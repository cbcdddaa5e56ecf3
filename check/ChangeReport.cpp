#include "ChangeReport.h"

#include "VisibleText.h"

#include <QDateTime>

namespace ChangeReport {

QString Moment(qint64 secondsSinceEpoch)
{
    return QDateTime::fromSecsSinceEpoch(secondsSinceEpoch, Qt::UTC).toString(Qt::ISODate);
}

bool IsChange(const SiteChange &change)
{
    return !change.change.isEmpty() && change.change != u"unchanged";
}

std::string TextSuffix(const SiteChange &change, bool withChange)
{
    QString out;
    if (withChange && IsChange(change)) {
        out += u'\t' + change.change + QStringLiteral(": ");
        if (!change.previousStatus.isEmpty())
            out += change.previousStatus + QStringLiteral(" -> ");
        out += change.status + QStringLiteral(" since ") + Moment(change.since);
    }
    if (!change.note.isEmpty())
        out += u'\t' + VisibleText::Of(change.note);
    return out.toStdString();
}

Gate::Gate(CheckReport::Writer &writer, bool onlyChanges) : writer_(writer), onlyChanges_(onlyChanges) { }

void Gate::begin()
{
    if (onlyChanges_)
        return;
    writer_.begin();
    begun_ = true;
}

void Gate::site(const SiteRecord &site, const SiteVerdict::SiteResult &result)
{
    if (onlyChanges_ && !(result.change && IsChange(*result.change)))
        return;
    if (!begun_) {
        writer_.begin();
        begun_ = true;
    }
    writer_.site(site, result);
}

void Gate::end(const CheckReport::Summary &summary)
{
    if (begun_)
        writer_.end(summary);
}

} // namespace ChangeReport
