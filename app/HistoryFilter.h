#pragma once

#include "HistoryModel.h"

#include <QList>
#include <QSortFilterProxyModel>
#include <QString>

// The Partners window's view of its model: the rows whose name, page address or search term
// hold the filter text (in any case), of the kinds asked for, in the order chosen.
class HistoryFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit HistoryFilter(HistoryModel *sites, QObject *parent = nullptr);

    void setText(const QString &text);
    // Empty: every kind.
    void setShow(const QList<HistoryModel::Kind> &kinds);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    HistoryModel *sites_;
    QString text_;
    QList<HistoryModel::Kind> show_;
};
