#pragma once

#include "HistoryStore.h"

#include <QAbstractTableModel>

#include <vector>

// Every partner the history knows, one row each, as the History window lists them. Display
// text is made only for the rows on screen; sorting compares the raw values.
class HistoryModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Name, Address, Term, State, Since, LastChecked, Checks, Changes, ColumnCount };

    explicit HistoryModel(QObject *parent = nullptr);

    void setSites(std::vector<HistoryStore::SiteRow> sites);
    const HistoryStore::SiteRow &site(int row) const { return sites_[std::size_t(row)]; }
    // The row of the site with this id, -1 when there is none.
    int rowOf(qint64 siteId) const;
    bool lessThan(int left, int right, int column) const;

    // A cell as the table shows it, and as an export writes it (dates as yyyy-MM-dd).
    QString shownText(int row, int column) const;
    QString exportText(int row, int column) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<HistoryStore::SiteRow> sites_;
};
