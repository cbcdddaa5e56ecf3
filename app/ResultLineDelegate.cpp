#include "ResultLineDelegate.h"

void ResultLineDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // A line without a sign keeps the view's icon size as the size of its empty picture.
    option->features |= QStyleOptionViewItem::HasDecoration;
}
