#include "HistoryModel.h"

#include "HistoryCaptions.h"
#include "VisibleText.h"

#include <QDateTime>

namespace {
const char *const Headers[HistoryModel::ColumnCount]
        = {"Name", "Page address", "Search term", "State", "Since", "Last checked", "Checks", "Changes"};

bool isNumber(int column)
{
    return column >= HistoryModel::State;
}

qint64 number(const HistoryStore::SiteRow &site, int column)
{
    switch (column) {
    case HistoryModel::State:
        return qint64(site.state);
    case HistoryModel::Since:
        return site.since;
    case HistoryModel::LastChecked:
        return site.lastChecked;
    case HistoryModel::Checks:
        return site.checks;
    case HistoryModel::Changes:
        return site.changes;
    }
    return 0;
}

const QString &text(const HistoryStore::SiteRow &site, int column)
{
    return column == HistoryModel::Name ? site.name : column == HistoryModel::Address ? site.url : site.term;
}
} // namespace

HistoryModel::HistoryModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void HistoryModel::setSites(std::vector<HistoryStore::SiteRow> sites)
{
    beginResetModel();
    sites_ = std::move(sites);
    endResetModel();
}

int HistoryModel::rowOf(qint64 siteId) const
{
    for (std::size_t i = 0; i < sites_.size(); ++i)
        if (sites_[i].id == siteId)
            return int(i);
    return -1;
}

bool HistoryModel::lessThan(int left, int right, int column) const
{
    const HistoryStore::SiteRow &a = sites_[std::size_t(left)];
    const HistoryStore::SiteRow &b = sites_[std::size_t(right)];
    if (isNumber(column))
        return number(a, column) < number(b, column);
    return text(a, column).compare(text(b, column), Qt::CaseInsensitive) < 0;
}

QString HistoryModel::shownText(int row, int column) const
{
    const HistoryStore::SiteRow &site = sites_[std::size_t(row)];
    switch (column) {
    case State:
        return History::StateCaption(site.state);
    case Since:
    case LastChecked:
        return History::DayCaption(number(site, column));
    case Checks:
    case Changes:
        return QString::number(number(site, column));
    }
    // Names, addresses and terms come from partner lists: a control character shows as its code.
    return VisibleText::Of(text(site, column));
}

QString HistoryModel::exportText(int row, int column) const
{
    const HistoryStore::SiteRow &site = sites_[std::size_t(row)];
    if (column == Since || column == LastChecked)
        return QDateTime::fromSecsSinceEpoch(number(site, column)).date().toString(Qt::ISODate);
    if (isNumber(column))
        return shownText(row, column);
    return text(site, column);
}

int HistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(sites_.size());
}

int HistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant HistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return shownText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() >= Checks)
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant HistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    return QString::fromLatin1(Headers[section]);
}
