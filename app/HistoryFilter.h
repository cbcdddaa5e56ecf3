#pragma once

#include "HistoryModel.h"

#include <QSortFilterProxyModel>
#include <QString>

#include <optional>

// The Partners window's view of its model: the rows whose name, page address or search term
// hold the filter text (in any case), of one kind when asked, in the order chosen.
class HistoryFilter : public QSortFilterProxyModel
{
    Q_OBJECT

public:
    explicit HistoryFilter(HistoryModel *sites, QObject *parent = nullptr);

    void setText(const QString &text);
    // None: every kind.
    void setShow(std::optional<HistoryModel::Kind> kind);

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;
    bool lessThan(const QModelIndex &left, const QModelIndex &right) const override;

private:
    HistoryModel *sites_;
    QString text_;
    std::optional<HistoryModel::Kind> show_;
};
