#pragma once

#include <QStyledItemDelegate>

// Draws the result lines with room for the warning sign on every line, sign or not, so that
// the texts of all lines start in one column.
class ResultLineDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
