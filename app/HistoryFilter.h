#pragma once

#include <QSortFilterProxyModel>
#include <QString>

class HistoryModel;

// The History window's view of its model: the rows whose name, page address or search term
// hold the filter text (in any case), only the lost ones when asked, in the order chosen.
class HistoryFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit HistoryFilter(HistoryModel *sites, QObject *parent = nullptr);

    void setText(const QString &text);
    void setLostOnly(bool lostOnly);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    HistoryModel *sites_;
    QString text_;
    bool lostOnly_ = false;
};
