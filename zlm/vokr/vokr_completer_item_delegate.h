// Paints the rows of the state text editor's completion popup; the placeholder rows ("state",
// "condition", "counter", "flag"), which open a second popup of names, are drawn in italics and
// a little wider to leave room for it.
#pragma once

#include <QItemDelegate>

class VOKR_COMPLETER_ITEM_DELEGATE : public QItemDelegate {
    Q_OBJECT
public:
    explicit VOKR_COMPLETER_ITEM_DELEGATE(QObject* parent) : QItemDelegate(parent) {}
    static bool is_placeholder(const QString& text);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
