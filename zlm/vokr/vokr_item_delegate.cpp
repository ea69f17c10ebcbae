#include "vokr_item_delegate.h"

QWidget* VOKR_ITEM_DELEGATE::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                          const QModelIndex& index) const
{
    return QStyledItemDelegate::createEditor(parent, option, index);
}
