// The "Hierarchy Display:" pane of an instance tab: the design levels spanned by the instance's
// node names as a tree of check boxes. An unchecked level hides the nodes that sit directly in
// it. Check and expansion states are kept in the pane's own instance, per setup and data mode.
#pragma once

#include <QFrame>
#include <QHash>
#include <QStandardItemModel>

class KSM_TX_INSTANCE;
class QModelIndex;
class QTreeView;
class VOKR_FRAME_WND;
class VOKR_TX_MANAGER;

class VOKR_HIERARCHY_WIDGET : public QFrame {
    Q_OBJECT
public:
    VOKR_HIERARCHY_WIDGET(QWidget* parent, int instance_index, VOKR_FRAME_WND* frame);

    // Whether the node of that full name ('|'-separated) is hidden: the item of its innermost
    // level is unchecked. A name whose levels the tree does not hold is never hidden. Without a
    // parent the innermost level is looked up at once, so that every row can be asked.
    bool is_hidden(const QString& path, QStandardItem* parent = nullptr) const;
    void update_hierarchy_tree();
    // Whether some level is unchecked, so that some row may be hidden.
    bool hides_any() const;
    QTreeView* get_tree() const { return m_tree; }
    QStandardItemModel* get_model() { return &m_model; }

public slots:
    void on_update(QObject* sender, int hint);
    void on_expanded_collapsed(const QModelIndex& index);
    void on_item_changed(QStandardItem* item);

private:
    void add_path(const QString& path, QStandardItem* parent);
    void index_levels(QStandardItem* item, const QString& path);
    QStandardItem* new_item(const QString& text) const;
    QString key_of(const QStandardItem* item) const;
    QList<QStandardItem*> all_items() const;
    KSM_TX_INSTANCE* own_instance() const;
    void restore_states();
    void save_states();

    QTreeView* m_tree;
    QStandardItemModel m_model;
    // Each item by the path of its level below the top item ("a|b"; the top item itself by "").
    QHash<QString, QStandardItem*> m_levels;
    // hides_any()'s answer, -1 until asked again after a change.
    mutable int m_hides_any = -1;
    int m_instance_index;
    VOKR_FRAME_WND* m_frame;
    VOKR_TX_MANAGER* m_tx_manager;
};
