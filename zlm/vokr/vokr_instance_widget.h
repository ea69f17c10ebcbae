// The "Instance Manager:" pane: the session's instances with their acquisition status, Enabled
// check box and resource usage; the commands that add, delete, rename and enable instances and
// their power-up triggers; run, repeat, stop and read of acquisitions; and the window's status
// line. Acquisition callbacks post their state events here; the pane owns every callback it
// hands to the acquisition control and deletes each exactly once.
#pragma once

#include <QBrush>
#include <QFrame>
#include <QHash>
#include <QStandardItemModel>

#include <vector>

class KSM_DATA_LOG;
class QLineEdit;
class QModelIndex;
class QStandardItem;
class QToolButton;
class QTreeView;
class VOKR_CONTROL_CMD_ELA_INT;
class VOKR_FRAME_WND;
class VOKR_TX_MANAGER;
class VOKR_UPDATE_STATE_EVENT;

class VOKR_INSTANCE_WIDGET : public QFrame {
    Q_OBJECT
public:
    // Item data of the column-0 and column-2 items: the session entry; of column-0 items: the
    // row is a "Power-Up Trigger" child.
    static constexpr int ENTRY_ROLE = Qt::UserRole + 1;
    static constexpr int POWER_UP_ROLE = Qt::UserRole + 2;
    enum COLUMN { NAME, STATUS, ENABLED, LE, MEMORY, SMALL, MEDIUM, LARGE, COLUMNS };

    VOKR_INSTANCE_WIDGET(QWidget* parent, VOKR_FRAME_WND* frame);
    ~VOKR_INSTANCE_WIDGET() override;

    QTreeView* get_tree() const { return m_tree; }
    QStandardItemModel* get_model() { return &m_model; }
    QLineEdit* get_status_line() const { return m_status_line; }
    // The callbacks handed out and not yet ended.
    int get_live_callback_count() const { return m_live_callbacks.size(); }
    // The row item (column 0) of a top-level entry, or null.
    QStandardItem* find_instance_item(int entry) const;
    // The Status cell of the entry's row, or of its power-up row for a power-up acquisition.
    QStandardItem* status_item(int entry, bool power_up) const;

    bool event(QEvent* e) override;
    void update_resource_usage();

public slots:
    void on_sel_change_instance_tab(int index);
    void update_instance_list();
    void on_update(QObject* sender, int hint);
    void on_selection_changed();
    void on_instance_add();
    void on_instance_delete();
    void on_instance_rename();
    void on_instance_enable_powerup();
    void on_instance_disable_powerup();
    void on_instance_duplicate_trigger();
    void on_instance_status_help();
    void on_tools_data();
    void on_tools_go();
    void on_tools_repeat();
    void on_tools_stop();
    void on_item_changed(QStandardItem* item);
    void on_double_clicked(const QModelIndex& index);
    void on_ela_status_help();

private:
    struct SELECTION {
        std::vector<int> rows;  // selected row items' entries, power-up rows standing for themselves
        int count = 0;
    };
    void build_header();
    void build_tree();
    void connect_actions();
    bool rows_fit_session(int count) const;
    void rebuild_rows(int count);
    QHash<QString, std::pair<QString, QBrush>> shown_statuses() const;
    void append_instance_row(int entry, int current, bool generated);
    void set_row_marks(int current, bool from_tab);
    QList<QStandardItem*> selected_row_items() const;
    std::vector<int> selected_instances(bool read_order) const;
    void enable_commands(const QList<QStandardItem*>& rows);
    void enable_edit_commands(const QList<QStandardItem*>& rows);
    bool can_add_instance() const;
    void run_selected(bool autorun);
    void show_started(int entry);
    void fit_columns();
    void notify_all(std::initializer_list<unsigned int> hints);

    // Posted state events.
    void on_state_event(const VOKR_UPDATE_STATE_EVENT& e);
    struct CELL {
        QString text;  // null: the cell stays as it is
        QBrush brush;
    };
    CELL state_cell(uint32_t state, bool power_up, int argument, int entry, bool* ended);
    CELL trigger_progress_cell(bool power_up, int argument, int entry);
    KSM_DATA_LOG* find_log(int entry, uint64_t extra) const;
    void on_data_ready(int entry, KSM_DATA_LOG* log, bool current, bool power_up);
    void on_acquisition_started(uint32_t mask, bool current);
    void on_acquisition_ended(const VOKR_UPDATE_STATE_EVENT& e, bool current);
    bool is_current_or_its_power_up(int entry) const;
    void enable_check_boxes();
    void update_status_line();
    void set_status_line(const QString& text, const QPalette& palette);
    void clear_device_errors();
    void show_help(const QString& text, bool instance_text);

    VOKR_FRAME_WND* m_frame;
    VOKR_TX_MANAGER* m_tx_manager;
    QToolButton* m_run_button = nullptr;
    QToolButton* m_repeat_button = nullptr;
    QToolButton* m_stop_button = nullptr;
    QToolButton* m_read_button = nullptr;
    QLineEdit* m_status_line = nullptr;
    QTreeView* m_tree = nullptr;
    QStandardItemModel m_model;
    // The callbacks of accepted requests, with their serial numbers and the logs their runs
    // write; each is deleted once.
    struct LIVE_RUN {
        uint64_t serial;
        KSM_DATA_LOG* log;
    };
    QHash<VOKR_CONTROL_CMD_ELA_INT*, LIVE_RUN> m_live_callbacks;
};
