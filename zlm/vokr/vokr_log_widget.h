// The "Data Log:" pane of an instance tab: the instance's signal sets, their triggers and each
// trigger's data logs as a four-level tree, with the logging switch, in-place rename, delete,
// select all and activation of a log by double click. The commands that change data act only
// while the pane's instance is the current one.
#pragma once

#include <QFrame>
#include <QItemSelection>
#include <QStandardItemModel>

class QCheckBox;
class QTreeView;
class VOKR_FRAME_WND;
class VOKR_TX_MANAGER;

class VOKR_LOG_WIDGET : public QFrame {
    Q_OBJECT
public:
    // Item data: the names of the item's path, instance first; its length is the item's level.
    static constexpr int PATH_ROLE = Qt::UserRole + 1;

    VOKR_LOG_WIDGET(QWidget* parent, int instance_index, VOKR_FRAME_WND* frame);

    QTreeView* get_tree() const { return m_tree; }
    QStandardItemModel* get_model() { return &m_model; }
    QCheckBox* get_logging_box() const { return m_logging; }

public slots:
    void update_log_tree();
    void on_update(QObject* sender, int hint);
    void on_item_changed(QStandardItem* item);
    void on_double_clicked(const QModelIndex& index);
    void on_collapsed(const QModelIndex& index);
    void on_expanded(const QModelIndex& index);
    void on_selection_changed(const QItemSelection& selected);
    void on_data_log_delete();
    void on_data_log_rename();
    void on_data_log_select_all();

private:
    void build_header();
    void build_tree();
    QStandardItem* add_item(QStandardItem* parent, const QStringList& path, int icon);
    bool is_own_instance_current() const;
    bool refuse_kept_item(const QList<QStringList>& paths) const;
    void set_expanded(const QModelIndex& index, bool expanded);

    QCheckBox* m_logging = nullptr;
    QTreeView* m_tree = nullptr;
    QStandardItemModel m_model;
    int m_instance_index;
    VOKR_FRAME_WND* m_frame;
    VOKR_TX_MANAGER* m_tx_manager;
};
