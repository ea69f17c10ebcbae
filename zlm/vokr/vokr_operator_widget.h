// The "Object Library:" palette beside the advanced trigger canvas: a fixed two-level tree of the
// kinds of box a diagram can hold, which the user drags onto the canvas. An entry's text is the
// key the canvas looks up in the library item names (vokr_library_item_names); the palette
// holds no session data.
#pragma once

#include <QFrame>

class QStandardItemModel;
class QTreeView;

class VOKR_OPERATOR_WIDGET : public QFrame {
    Q_OBJECT

public:
    explicit VOKR_OPERATOR_WIDGET(QWidget* parent = nullptr);
    ~VOKR_OPERATOR_WIDGET() override;

    QStandardItemModel* get_model() const { return m_model; }
    QTreeView* get_tree() const { return m_tree; }

public slots:
    // Clears the tree and builds it again, every group collapsed.
    void update_operator_tree();

private:
    QStandardItemModel* m_model;
    QTreeView* m_tree;
};
