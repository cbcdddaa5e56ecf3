#include "HistoryFilter.h"

HistoryFilter::HistoryFilter(HistoryModel *sites, QObject *parent)
    : QSortFilterProxyModel(parent)
    , sites_(sites)
{
    setSourceModel(sites);
}

void HistoryFilter::setText(const QString &text)
{
    if (text == text_)
        return;
    text_ = text;
    invalidate();
}

void HistoryFilter::setShow(const QList<HistoryModel::Kind> &kinds)
{
    if (kinds == show_)
        return;
    show_ = kinds;
    invalidate();
}

// Both setters map the rows afresh and tell the view once (invalidate). Filtering row by row
// would tell the view of every run of rows that comes or goes, and the lost sites lie scattered
// over a long list: tens of thousands of notices, each costing the view a pass over its rows.
bool HistoryFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    if (!show_.isEmpty() && !show_.contains(sites_->kind(sourceRow)))
        return false;
    const HistoryStore::SiteRow &site = sites_->site(sourceRow);
    return text_.isEmpty() || site.name.contains(text_, Qt::CaseInsensitive) || site.url.contains(text_, Qt::CaseInsensitive)
            || site.term.contains(text_, Qt::CaseInsensitive);
}

// The model compares its raw values; a comparison through the sort role would build two
// variants for each of the half a million comparisons a full list needs.
bool HistoryFilter::lessThan(const QModelIndex &left, const QModelIndex &right) const
{
    return sites_->lessThan(left.row(), right.row(), left.column());
}
