// The flags and counters table's delegate: cells are edited with the default text editor.
#pragma once

#include <QStyledItemDelegate>

class VOKR_ITEM_DELEGATE : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
