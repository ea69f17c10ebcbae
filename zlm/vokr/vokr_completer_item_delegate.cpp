#include "vokr_completer_item_delegate.h"

bool VOKR_COMPLETER_ITEM_DELEGATE::is_placeholder(const QString& text)
{
    return text == "state" || text == "condition" || text == "counter" || text == "flag";
}

void VOKR_COMPLETER_ITEM_DELEGATE::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                         const QModelIndex& index) const
{
    QStyleOptionViewItem styled = option;
    if (is_placeholder(index.data().toString()))
        styled.font.setItalic(true);
    QItemDelegate::paint(painter, styled, index);
}

QSize VOKR_COMPLETER_ITEM_DELEGATE::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QSize size = QItemDelegate::sizeHint(option, index);
    if (is_placeholder(index.data().toString()))
        size.rwidth() += 10;
    return size;
}
