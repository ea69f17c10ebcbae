// The document and transaction manager: the one object per editor window (or wizard facade)
// through which every view, panel, Tcl command and the wizard reads and changes the open
// session. It owns the session, caches the current instance's repository objects, keeps the
// undo units, the user settings and the shared actions, and announces every change with
// `updated`. Each section of the class names the source file that implements it; a setter slot
// stands in the section of the values it sets.
#pragma once

#include "daw.h"
#include "ksm.h"
#include "pirq.h"
#include "vokr_enum.h"

#include <QMap>
#include <QObject>
#include <QPalette>
#include <QSize>
#include <QStringList>
#include <QVariant>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class QAction;
class QTabWidget;
struct PLUGIN_MNEMONIC_TABLE;
class TEVQ_DIALOG;
class TOZ_INSTANCE_NAME;
class YEK_PARTITION;
class YEK_PROJECT_INFO;
class VOKR_FRAME_WND;
class VOKR_LAYOUT_WIDGET;
class VOKR_OBJECT;
class VOKR_STATE_MACHINE_OBJECT;
class VOKR_TRIGGER_OBJECT;

class VOKR_TX_MANAGER;

// The result of checking a state-based trigger flow. The fields after `has_error` are written
// only when the check failed.
struct VOKR_STATE_MACHINE_ERROR {
    bool has_error = false;
    QString message;
    int line = 0;           // the failing line of the unified text, from 1
    int state = 0;          // the state whose text that line belongs to, from 0
    int line_in_state = 0;  // the line of the state's own text, from 1, as its window shows it; 0 its header
};

// Opens one undo unit on the current instance for its lifetime; units through guards never nest.
class VOKR_ACTION_GUARD {
public:
    explicit VOKR_ACTION_GUARD(VOKR_TX_MANAGER* manager);
    ~VOKR_ACTION_GUARD();
    VOKR_ACTION_GUARD(const VOKR_ACTION_GUARD&) = delete;
    VOKR_ACTION_GUARD& operator=(const VOKR_ACTION_GUARD&) = delete;

private:
    VOKR_TX_MANAGER* m_manager;
};

// Marks that values are being pushed into widgets, so that their change signals are not taken
// for user edits; nested guards leave the mark to the outermost one.
class VOKR_UPDATE_GUARD {
public:
    VOKR_UPDATE_GUARD();
    ~VOKR_UPDATE_GUARD();
    VOKR_UPDATE_GUARD(const VOKR_UPDATE_GUARD&) = delete;
    VOKR_UPDATE_GUARD& operator=(const VOKR_UPDATE_GUARD&) = delete;
    static bool is_updating() { return s_updating; }

private:
    bool m_set_here;
    static bool s_updating;
};

class VOKR_TX_MANAGER : public QObject {
    Q_OBJECT

    // ---- construction, identity and cache (vokr_tx_manager.cpp) ----
public:
    explicit VOKR_TX_MANAGER(VOKR_FRAME_WND* frame);
    ~VOKR_TX_MANAGER() override;
    virtual std::string get_help_prefix() const { return "VOK"; }
    // The client name under which the manager borrows compiled databases.
    static constexpr const char* DATABASE_CLIENT = "vokr_tx_manager";
    VOKR_FRAME_WND* get_frame_wnd() const { return m_frame_wnd; }
    bool is_wizard_mode() const { return m_frame_wnd == nullptr; }
    VOKR_LAYOUT_WIDGET* get_layout_widget() const;
    void set_layout_widget(VOKR_LAYOUT_WIDGET* layout) { m_layout_widget = layout; }
    // False for the wizard's document, which has no editor window.
    bool has_layout_widget() const { return m_layout_widget != nullptr; }
    void set_list_view_mode(bool on) { m_list_view_mode = on; }
    bool is_list_view_mode() const { return m_list_view_mode; }
    KSM_TX_SESSION* get_session() const { return m_tx_session; }
    // Whether a session is open: a refused open leaves a session object without its data.
    bool has_open_session() const { return m_tx_session && m_tx_session->get_data_session(); }
    KSM_TX_INSTANCE* get_tx_instance() const { return m_tx_instance; }
    int get_current_instance_index() const { return m_current_instance; }
    unsigned int& progress_var() { return m_progress; }
    const char* get_instance() const;
    const char* get_instance_name_at(int index, bool* expanded) const;
    int get_num_instances() const;
    static int get_int_length(int value);
    KSM_DATA_LOG* get_data_log() const { return m_data_log; }
    void refresh_data_log_cache();

protected:
    KSM_TX_INSTANCE* get_instance_at(int index) const;
    KSM_TX_SIGNAL_SET* signal_set_at(int index) const;
    KSM_TX_TRIGGER* trigger_at(int index) const;

private:
    void refresh_tx_cache();
    void explain_unlisted_sample_depths();
    int resolved(int index) const { return index < 0 ? m_current_instance : index; }

    // ---- mode predicates (vokr_tx_manager.cpp) ----
public:
    bool is_data_mode(int index) const;
    bool is_setup_mode() const;
    bool is_instance_data_mode() const;
    bool is_instance_setup_mode() const;
    bool can_locate() const;
    bool locate(int index, unsigned int);
    // While one lives, the current instance's Data/Setup tabs are looked up once: a paint asks for
    // the mode cell after cell, and nothing it does changes the tabs.
    class TABS_HOLD {
    public:
        explicit TABS_HOLD(const VOKR_TX_MANAGER* manager);
        ~TABS_HOLD();
        TABS_HOLD(const TABS_HOLD&) = delete;
        TABS_HOLD& operator=(const TABS_HOLD&) = delete;

    private:
        const VOKR_TX_MANAGER* m_manager;
        bool m_holding = false;  // false inside another hold, or without a frame
    };

private:
    QTabWidget* current_tab_widget(int index) const;
    mutable QTabWidget* m_held_tabs = nullptr;
    mutable int m_held_tab = -1;  // the held tabs' current index, -1 without tabs
    mutable bool m_tabs_held = false;

    // ---- actions, notification and logging (vokr_tx_manager.cpp) ----
public:
    QAction* get_action(PIRQ_ACTION_ENUM id, const QVariant& data);
    void insert_action(PIRQ_ACTION_ENUM id, QAction* action);
    void enable_action(PIRQ_ACTION_ENUM id, bool enabled);
    void update_all_views(QObject* sender, int hint);
signals:
    void updated(QObject* sender, int hint);
public slots:
    void set_logging(bool enable);

    // ---- transactions and undo (vokr_tx_manager.cpp) ----
public:
    void begin_action(int index);
    void end_action(VOKR_CHECK_COMPILATION_STATUS status, int index);
    int get_max_undo_steps() const;
    void set_max_undo_steps(int steps);
    // The advanced trigger editor's snapshots of the level it shows, and the position in them;
    // null and -1 while it shows no advanced level.
    QList<QList<VOKR_OBJECT*>*>* get_undo_list();
    int get_undo_position();
    void set_undo_position(int position);
    // The transaction flag: true while no unit is open through an action guard.
    static bool is_action_done() { return m_action_done; }
public slots:
    void on_edit_undo();
    void on_update_edit_undo();
    void on_edit_redo();
    void on_update_edit_redo();

private:
    friend class VOKR_ACTION_GUARD;
    void undo_or_redo(bool undo);
    int entry_of(const KSM_TX_INSTANCE* instance, bool power_up_view) const;
    // Marks the session modified after an edit that took effect; passes on whether it did.
    bool note_change(bool changed)
    {
        if (changed)
            update_modified_flag();
        return changed;
    }
    // Re-reads the session's modified state after an edit, whatever its outcome; passes the
    // outcome on.
    template <class RESULT> RESULT modified_after(RESULT result)
    {
        update_modified_flag();
        return result;
    }
    // Runs one edit of a setting as an undo unit of the current instance, unless the value is
    // unchanged, widgets are being filled or the instance acquires.
    template <class CHANGE> void edit_setting(bool unchanged, CHANGE change)
    {
        if (unchanged || VOKR_UPDATE_GUARD::is_updating() || refuse_edit_while_acquiring())
            return;
        VOKR_ACTION_GUARD action(this);
        VOKR_UPDATE_GUARD update;
        change();
    }

    // ---- user settings (vokr_tx_manager.cpp) ----
public:
    void cfg_initialize_user_registry_settings();
    static bool cfg_show_duplicate_buttons() { return m_cfg_show_duplicate_buttons; }
    static bool cfg_link_groups() { return m_cfg_link_groups; }
    static bool cfg_link_properties() { return m_cfg_link_properties; }
    static bool cfg_link_order() { return m_cfg_link_order; }
    static bool cfg_link_mnemonics() { return m_cfg_link_mnemonics; }
    static bool cfg_auto_recompile() { return m_cfg_auto_recompile; }
    static bool cfg_show_horz_grid() { return m_cfg_show_horz_grid; }
    static int cfg_inter_line_spacing() { return m_cfg_inter_line_spacing; }
    static bool cfg_msb_first() { return m_cfg_msb_first; }
    static bool cfg_show_leading_zeroes() { return m_cfg_show_leading_zeroes; }
    static bool cfg_show_vert_grid() { return m_cfg_show_vert_grid; }
    static bool cfg_show_time_bars() { return m_cfg_show_time_bars; }
    bool cfg_align_left() const { return m_cfg_align_left; }
    void set_cfg_align_left(bool align) { m_cfg_align_left = align; }
    int get_row_pp() const { return m_row_pp; }
    void set_row_pp(int rows) { m_row_pp = rows; }
    int get_column_pp() const { return m_column_pp; }
    void set_column_pp(int columns) { m_column_pp = columns; }
    int get_pages_wide() const { return m_pages_wide; }
    void set_pages_wide(int pages) { m_pages_wide = pages; }
    int get_pages_tall() const { return m_pages_tall; }
    void set_pages_tall(int pages) { m_pages_tall = pages; }
    int get_page_fit_type() const { return m_page_fit_type; }
    void set_page_fit_type(int type) { m_page_fit_type = type; }
    int get_name_width() const { return m_name_width; }
    void set_name_width(int width) { m_name_width = width; }
    bool get_show_alias() const { return m_show_alias; }
    void set_show_alias(bool show) { m_show_alias = show; }
    bool get_show_type() const { return m_show_type; }
    void set_show_type(bool show) { m_show_type = show; }
    bool is_unified_state_display() const { return m_unified_state_display; }

    // ---- stored window state (vokr_tx_manager.cpp) ----
public:
    int get_int_state(const char* key, int default_value) const;
    void set_int_state(const char* key, int value);
    int get_int_state(int index, const char* key, int default_value) const;
    void set_int_state(int index, const char* key, int value);
    QSize get_size_state(const char* key, const QSize& default_value) const;
    void set_size_state(const char* key, const QSize& size);
    bool get_visible_state(const char* key, bool default_value) const;
    void set_visible_state(const char* key, bool visible);

    // ---- plug-ins (vokr_tx_manager.cpp) ----
public:
    int get_plugin_count() const;
    QStringList get_plugin_names() const;
    bool get_plugin_name(int index, QString* name) const;
    bool show_plugin_error_msg(const QString& plugin_name);

    // One user option of a plug-in table.
    struct VOKR_PLUGIN_OPTION {
        QString name;
        QString description;
        QString type;        // "number", "file" or "string"
        QByteArray setting;  // the value text
        QByteArray result;   // what the plug-in said about the setting, when it said anything
    };
    // The part of a plug-in table that builds its node group; lives while open_plugin runs.
    struct VOKR_PLUGIN_TABLE_INFO {
        bool setup = false;  // a group for the trigger list, else for the data list
        QString group_name;
        QString group_alias;
        QStringList node_names;  // relative to the decoded instance, in the group's order
        QStringList node_aliases;
    };
    // One plug-in table as the options dialog edits it, with the group row that keeps its record.
    struct VOKR_PLUGIN_STRUCT {
        QString plugin_name;
        QString table_name;
        std::vector<VOKR_PLUGIN_OPTION> options;
        std::vector<std::pair<QByteArray, QByteArray>> string_pairs;
        std::unique_ptr<VOKR_PLUGIN_TABLE_INFO> table_info;
        // The list and group row whose record holds the table; none when the table got no group.
        KSM_TX_SIGNAL_NODES* record_list = nullptr;
        int record_row = -1;
        const KSM_TX_PLUGIN_MNEMONICS* record() const;
    };

    // ---- documents (vokr_tx_manager_document.cpp) ----
public:
    bool new_document(const char* path);
    bool open_document(const char* path, bool* renamed, std::string* new_name);
    bool open_document(KSM_TX_SESSION* session);
    // Tells every view to rebuild from the session, as an open that worked does; also sent when an
    // open failed after the session that was open had been closed.
    void announce_document_change();
    bool save_document(const char* path);
    // Why a file the editor writes for the person (a list file, an export) may not be written at
    // `path`, empty when it may: the refusals of any save, and the open session's own file or
    // the project's description, which such a file would replace.
    QString write_target_refusal(const QString& path) const;
    void close_document();
    void commit_session();
    void update_modified_flag();
    void set_modified_flag(bool state);
    bool is_empty() const { return m_tx_trigger == nullptr && m_tx_signals == nullptr; }
    bool is_corvix_generated() const;
    void get_top_entity_name(QString* name) const;

private:
    bool save_modified();
    bool save_active_tabs();
    bool load_active_instance_tab();
    void restore_current_instance();
    bool ask_older_version_update();
    bool save_checks(const char* path);
    bool enable_file_for_project(const char* path);
    void show_save_error();
    void show_advanced_trigger_errors();
    void show_empty_inputs();

    // ---- instances (vokr_tx_manager_instance.cpp) ----
public:
    bool add_instance();
    bool remove_instance(int index);
    bool set_instance(int index);
    void set_instance(const QString& name);
    bool instance_is_enabled(int index) const;
    void set_instance_enabled(int index, bool enabled);
    void rename_instance_set(const char* new_name, const char* old_name);
    void rename_signal_set(const char* new_name, const char* old_name);

private:
    bool is_entry(int index) const;
    bool accept_rename(bool accepted);

    // ---- lock mode (vokr_tx_manager_instance.cpp) ----
public:
    VOKR_LOCK_MODE get_lock_mode(bool in_power_up_view) const;
    void set_lock_mode(VOKR_LOCK_MODE mode, bool notify);
public slots:
    void set_lock_mode(const QString& label);

    // ---- JTAG and programming file (vokr_tx_manager_instance.cpp) ----
public:
    bool get_jtag_hardware(QString* name) const;
    bool get_jtag_device(QString* name) const;
    bool set_jtag_hardware(const QString& name, bool notify);
    bool set_jtag_device(const QString& name, bool notify);
    bool set_jtag_chain(const QString& file);
    void program() {}

    // ---- clock (vokr_tx_manager_instance.cpp) ----
public:
    bool get_clock(QString* clock, int index) const;
    bool is_clock_invalid() const;
    bool is_clock_post_fitting() const;
public slots:
    void set_clock(const QString& clock, VOKR_IS_POST_FITTING_TYPE type);
    void set_clock(const QString& clock);

    // ---- project queries and checks (vokr_tx_manager_instance.cpp) ----
public:
    bool is_incremental_compile() const;
    bool is_incremental_route_available(int index) const;
    bool check_nodes_allocated(int instance);
    // False, with the reason shown, when the entry's trigger is state-based and its flow does
    // not pass the check: such a flow can be neither compiled nor run.
    bool check_flow_for_run(int instance);
    // False, with the level named, when an advanced level of the entry gives no equation.
    bool check_advanced_for_run(int instance);
    // Whether a level of the entry is no advanced level, or one whose diagram gives an equation.
    bool has_advanced_equation(int entry, int level);

private:
    static bool compiles_incrementally(const YEK_PROJECT_INFO* project);

    // ---- power-up trigger (vokr_tx_manager_instance.cpp) ----
public:
    bool enable_powerup_trigger(int index, bool enable);
    bool duplicate_powerup_trigger(int index);
    bool is_powerup_trigger(int index) const;
    bool is_powerup_trigger_enabled(int index) const;
    bool is_powerup_trigger(int instance, int signal_set, int trigger, int log) const;

    // ---- acquisition states (vokr_tx_manager_instance.cpp) ----
public:
    void set_instance_acq_state(int index, int mask);
    bool is_instance_acquiring(int index) const;
    bool is_any_instance_acquiring() const;
    // Whether the instance of that entry (the current one for -1) acquires, through its own
    // entry or its power-up entry: what its run was built from stays as it is meanwhile.
    bool is_instance_of_entry_acquiring(int index) const;
    // While the current instance acquires, tells the person that its settings wait for the end
    // of the acquisition and answers true: the caller makes no change.
    bool refuse_edit_while_acquiring();

private:
    int& acq_state(int index);
    int acq_state(int index) const;

    // ---- acquisition control (vokr_tx_manager_acquisition.cpp) ----
public:
    // Starts an acquisition on every requested entry (the entry of each request's callback; the
    // current one without a callback): a new log for each, then the acquisition control, or the
    // recompile question when a log does not fit the compiled design. A compiled design that the
    // device does not hold yet is refused with a notice that asks to program the device.
    void run(std::vector<DAW_CONTROL::ACQ_PARAMETER>* parameters);
    void stop(int index);
    bool is_acquiring_data() const;
    bool is_stopped_at_trigger() const;
    bool get_connection_status(int node) const;
    bool is_compile_or_reroute_needed(bool* compile, bool* reroute) const;
    bool is_program_needed(DAW_CONTROL_NODES_SCAN* scan) const;
    // Offloads the instance's captured samples into a new log and shows it; true on success.
    // *refused tells a failure where nothing was read over JTAG: the device the session names
    // does not hold the instance's trigger (the notice a run gives was shown), or the
    // acquisition control refused the instance and posted why. *jtag_error is the device's
    // error when the read met one (the argument of DAW_EVENT_JTAG_ERROR), else 0.
    bool read_data(int instance, bool* refused = nullptr, uint32_t* jtag_error = nullptr);
    // Takes out the log that the entry's run made, when the run ended before a capture reached
    // it; true when the log went.
    bool remove_unfilled_log(int entry, KSM_DATA_LOG* log);

private:
    int acquisition_entry(const DAW_CONTROL::ACQ_PARAMETER& parameter) const;
    void refresh_plugin_symbols(int entry);
    void write_plugin_condition(int entry, int row, int level, const QString& symbol);
    void start_acquisition(std::vector<DAW_CONTROL::ACQ_PARAMETER>* parameters);
    KSM_DATA_LOG* acquisition_log(int entry, bool* made);
    void remove_new_logs(std::vector<DAW_CONTROL::ACQ_PARAMETER>* parameters);
    std::vector<KSM_DATA_LOG*> m_new_logs;  // the logs the run under way made
    bool check_device_programmed(const std::vector<int>& entries);
    void recompile(std::vector<DAW_CONTROL::ACQ_PARAMETER>* parameters);

    // ---- level types and group conditions (vokr_tx_manager_instance.cpp) ----
public:
    int get_trigger_level_type(int level, int instance) const;
    bool is_advanced_trigger(int level, int instance) const;
    void initialize_group_conditions();

    // ---- data logs (vokr_tx_manager_logs.cpp) ----
public:
    // The active log's name, or null without one.
    const char* get_log() const;
    const char* get_log_name_at(int instance, int signal_set, int trigger, int log) const;
    int get_num_logs(int instance, int signal_set, int trigger) const;
    bool get_logging() const;
    bool is_data_available(bool flag, int instance, KSM_DATA_LOG** log) const;
    // True when `depth` is the captured depth of the active log, false when it is the configured one.
    bool get_data_sample_depth(int* depth, int instance) const;
    int get_data_segment_size() const;
    // A node's samples: every sample for `sample` -1 (as many as the depth), else the window
    // {sample - 1, sample, sample + 1} with its ends held inside the log.
    bool get_wave(int node, bool* wave, int sample, bool flag, int instance) const;
    // The samples' validity, in the same two forms.
    bool get_wave_mask(bool* mask, int sample, bool flag, int instance) const;
    int get_wave_count(int row) const;
    void set_view_log(int instance, KSM_DATA_LOG* log);
    bool set_active(const QString& signal_set, const QString& trigger, const QString& log);
    void set_expanded(bool expanded, const QString& instance, const QString& signal_set, const QString& trigger);
    void rename_log_set(const char* new_name, const char* log, const char* trigger, const char* signal_set);
    void remove_log_tree_item(const char* signal_set, const char* trigger, const char* log);
    // Whether the repository keeps the signal set (trigger null or empty) or the trigger of the
    // current instance: the active one of its instance or signal set is never removed.
    bool is_log_tree_item_kept(const char* signal_set, const char* trigger) const;
public slots:
    void save_to_log();

private:
    KSM_DATA_LOG* active_log(int instance) const;
    KSM_DATA_LOG* readable_log(bool flag, int instance, int* depth) const;
    void build_static_plugin_tables(int instance, KSM_DATA_LOG* log);

    // ---- programming files (vokr_tx_manager_sif.cpp) ----
public:
    bool embed_sif_file(const QString& path, QString* name);
    const char* get_sif_compatibility_state(int index, const char* info) const;
    bool get_sif_file_name(QString* name) const;
    // The node-information word of an instance and its compatibility key "WORD,CRC" (upper-case hex).
    static uint32_t get_node_info_word(const KSM_DATA_INSTANCE* instance);
    static QString get_compatibility_key(const KSM_DATA_INSTANCE* instance, const KSM_DATA_TRIGGER* trigger);

private:
    static void retrieve_sif_file_info_str(const QString& path, QString* info);

    // ---- node lists and the row query (vokr_tx_manager_nodes.cpp) ----
public:
    KSM_TX_SIGNAL_NODES* get_nodes(int instance) const;
    KSM_TX_SIGNAL_SET* get_signal_nodes(int instance) const { return signal_set_at(instance); }
    KSM_TX_TRIGGER* get_trigger_nodes(int instance) const { return trigger_at(instance); }
    const char* get_signal_set() const;
    int get_num_signal_sets(int instance) const;
    const char* get_signal_set_name_at(int instance, int set, bool* expanded) const;
    void get_signals_names(QString* text, const char* instance_name, const char* signal_set_name) const;
    // The condition get_node reports for a pre-synthesis row at an advanced level: past every
    // basic condition.
    static constexpr KSM_DATA_TRIGGER_CONDITION ADVANCED_LEVEL_CONDITION = KSM_CTYPE_COUNT;
    bool get_node(int index, KSM_DATA_NODE_DISPLAY_TYPE* display_type, QString* name, KSM_DATA_SIGNAL_TYPE* signal_type,
                  QString* alias, QString* debug_port, bool* data_enabled, bool* trigger_enabled, int level,
                  KSM_DATA_TRIGGER_CONDITION* condition);
    bool get_node_alias(int index, QString* alias);
    KSM_DATA_WIRE_CAPTURE_TYPE get_node_capture_type(int index);
    int get_node_count(int instance);
    int get_trigger_node_count(int instance);
    int get_node_depth(int index);
    bool get_node_group_display_type(int index, KSM_DATA_GROUP_DISPLAY_TYPE* type, int instance);
    bool get_node_lsb_to_msb(int index, bool* lsb_first, int instance);
    bool get_node_selection_status(int index);
    KSM_DATA_WIRE_TAP_MODE get_node_tap_mode(int index, int instance);

private:
    KSM_TX_SIGNAL_NODES* current_list() const { return get_nodes(-1); }

    // ---- tree queries (vokr_tx_manager_nodes.cpp) ----
public:
    int get_parent_index(int index, int other);
    int get_last_child_index(int index);
    void get_direct_children(int index, std::vector<int>* rows);
    int get_num_leaf_children(int index);
    void get_all_descendants(int index, std::vector<int>* rows);
    int get_child_item_count(int index, int instance);
    bool has_children(int index);
    bool has_parent(int index);
    bool has_nested_groups();
    bool is_descendant(int ancestor, int index);
    bool is_grandparent(int index);
    bool is_last_child(int index);
    bool is_parent_visible(int index);
    bool is_any_parent_not_visible(int index);
    bool is_group_member_node(int index);
    bool is_invalid_index_for_drop(int index, bool into_group);
    bool is_valid_selection_for_grouping();
    bool is_node_expanded(int index);
    bool is_node_data_tab_only(int index);
    bool is_standalone_node(int index);
    bool is_group_node(int index);
    bool is_node_hidden_in_storage_qualifier_mode(int index);
    bool is_node_hidden_in_advanced_mode(int index);
    bool is_group_member(int index);
    bool is_last_group_member(int index);
    bool is_first_group_member(int index);
    bool is_parent_item(int index, int instance);
    bool is_child_item(int index, int instance);
    bool is_node_invalid(int index);
    // Whether any node of the current trigger is invalid: where none is, is_node_invalid() is false
    // for every node without looking each one up.
    bool has_invalid_nodes() const;
    bool is_node_deletable(int index);
    bool is_bypass_tap_flag() const { return m_bypass_flag_check; }
    static KSM_DATA_SIGNAL_TYPE get_type(unsigned int flags);
    static KSM_DATA_SIGNAL_TYPE get_type(const TOZ_INSTANCE_NAME* name);

private:
    bool is_hidden(int index, bool (*hidden_row)(VOKR_TX_MANAGER*, KSM_TX_SIGNAL_NODES*, int));

    // ---- node list editing (vokr_tx_manager_nodes.cpp) ----
public:
    // The link bits a new group gets from the linking settings.
    static int get_group_link_type();
    bool group_node(int first, int last);
    bool group_selected_nodes();
    bool ungroup_node(int index);
    int move_before_node(int first, int last, int target, bool into_group);
    int move_selected_before_node(int target, bool into_group);
    int copy_before_node(int first, int last, int target, bool into_group);
    int copy_selected_before_node(int target, bool into_group);
    int delete_node(int first, int second);
    bool delete_node(const char* name);
    int delete_selected_nodes();
    void select_node_range(int first, int last, bool selected);
    void set_node_selection_status(int index, bool selected);
    bool rename_node(int index, const QString& name);
    bool rename_group(int index, const QString& name);
    bool set_node_alias(int index, const QString& alias);
    bool set_node_group_display_type(int index, KSM_DATA_GROUP_DISPLAY_TYPE type);
    bool set_node_lsb_to_msb(int index, bool lsb_first);
    bool set_node_mnemonics_table_name(int index, const QString& table);
    bool set_node_mnemonics_symbol(int index, const QString& pattern, const QString& symbol);
    bool toggle_node(int index);
    bool set_node_tap_mode(int index, KSM_DATA_WIRE_TAP_MODE mode);
    bool toggle_node_tap_mode(int index);
    bool set_node_capture_type(int index, KSM_DATA_WIRE_CAPTURE_TYPE type);
    bool toggle_data(int index);
    void sync_upon_capture_type_change();
    bool has_at_least_one_basic_or_trigger_level() const;

private:
    bool toggle_capture(int index, KSM_DATA_WIRE_CAPTURE_TYPE use);

    // ---- node insertion (vokr_tx_manager_insert.cpp) ----
public:
    bool insert_nodes(const QList<PIRQ_INSTANCE_NAME>& names);
    bool insert_node(const PIRQ_INSTANCE_NAME& name);
    bool insert_node(const QString& name, KSM_DATA_SIGNAL_TYPE type, KSM_DATA_WIRE_TAP_MODE tap_mode,
                     bool allow_duplicate_node_name);
    bool insert_node(const QString& name, KSM_DATA_WIRE_TAP_MODE tap_mode);
    int insert_nodes(const QString& group_name, const QStringList& nodes, KSM_DATA_WIRE_TAP_MODE tap_mode,
                     bool allow_duplicate_node_name);
    bool check_for_node_add_overflow(int count);
    void get_short_name(QString* short_name, const QString& name);
    static QString remove_top_entity(const QString& name, const std::string& top, bool case_sensitive);
    bool is_using_pre_synthesis_filter() const;
    void set_using_pre_synthesis_filter(bool on) { m_using_pre_synthesis_filter = on; }
public slots:
    void on_node_insert();
    void on_node_insert_to_view(const PIRQ_INSTANCE_NAME_LIST& names);

private:
    void store_assignment_text(int kind);
    bool insert_group_of_bits(const PIRQ_INSTANCE_NAME& name, const QString& short_name, KSM_DATA_WIRE_TAP_MODE tap);
    bool insert_members(TOZ_INSTANCE_NAME* instance, const QString& label, KSM_DATA_WIRE_TAP_MODE tap_mode);
    int insert_linked_groups(const QString& group_name, int count);
    bool can_insert_registers(const QString& group_name, const QStringList& nodes, bool allow_duplicate_node_name,
                              bool linked);
    std::vector<KSM_TX_SIGNAL_NODES*> lists_holding_group(KSM_TX_SIGNAL_NODES* list, int row) const;
    void flush_node_warnings();

    // ---- node validity, partitions and tappability (vokr_tx_manager_validity.cpp) ----
public:
    bool check_node_validity(int instance);
    bool check_node_partition(const QString& name, KSM_DATA_WIRE_TAP_MODE tap_mode);
    void show_pre_synthesis_invalid_partition_msg(const char* name, YEK_PARTITION* partition);
    void show_post_fitting_invalid_partition_msg(const char* name, YEK_PARTITION* partition);
    void show_untappable_msg(const char* name);

private:
    bool validity_pass(int instance, int kind, bool incremental);
    void show_invalid_partition_msg(const char* name, YEK_PARTITION* partition, bool post_fitting);

    // ---- choosing one node (vokr_tx_manager_validity.cpp) ----
public:
    enum NODE_TYPE { NODE_TYPE_CLOCK = 0, NODE_TYPE_INPUT = 1, NODE_TYPE_TRIGGER_OUT = 2 };
    bool get_unb_node(QString* name, NODE_TYPE node_type, VOKR_IS_POST_FITTING_TYPE* post_fitting_type);
public slots:
    void browse_clock();

private:
    bool browse_node(NODE_TYPE node_type, void (VOKR_TX_MANAGER::*set)(const QString&, VOKR_IS_POST_FITTING_TYPE));

    // ---- basic trigger conditions (vokr_tx_manager_trigger.cpp) ----
public:
    // Levels FIRST_PATTERN_LEVEL..-1 address the storage qualifier's patterns, 0 on the trigger levels.
    static constexpr int FIRST_PATTERN_LEVEL = -KSM_NUM_PATTERNS;
    bool atomic_set_trigger(int node, int level, KSM_DATA_TRIGGER_CONDITION condition, int instance);
    bool set_trigger(int node, int level, KSM_DATA_TRIGGER_CONDITION condition, int instance);
    bool toggle_trigger(int node);
    bool is_group_condition(KSM_DATA_TRIGGER_CONDITION condition) const;
    bool is_comparison_operand_condition(KSM_DATA_TRIGGER_CONDITION condition) const;

    // ---- comparisons (vokr_tx_manager_trigger.cpp) ----
public:
    bool is_comparison_enabled(int node, int level, int instance) const;
    bool is_comparison_group_member(int node, int level, int instance) const;
    bool is_comparison_group_member_on_any_level(int node, int* level, int instance) const;
    KSM_DATA_TRIGGER_CONDITION get_comparison_operand(int node, int level, int operand, int instance) const;
    int get_comparison_value(int node, int level, int operand, int instance) const;
    bool set_comparison_trigger_enabled(int node, int level, bool enabled, int instance);
    bool set_comparison_trigger_operand(int node, int level, int operand, KSM_DATA_TRIGGER_CONDITION value,
                                        int instance);
    bool set_comparison_trigger_value(int node, int level, int operand, int value, int instance);
    bool get_comparison_expression(int node, int level, std::string* text, int instance) const;

    // ---- trigger levels (vokr_tx_manager_trigger.cpp) ----
public:
    bool get_trigger_level(int* count, int instance) const;
    bool get_trigger_level(QString* text, int instance);
    int get_last_trigger_level() const { return m_trigger_level_value; }
    int get_trigger_level() const { return m_trigger_level; }
    void set_trigger_level(int level) { m_trigger_level = level; }
    int get_condition_count(int instance) const;
    QStringList get_condition_names(int instance) const;
    bool is_condition_name(const QString& name, int instance) const;
    const char* get_trigger_level_name(int level, int instance) const;
    bool set_trigger_level_name(const QString& name, int level, int instance);
    void set_advanced_trigger(int level, KSM_DATA_TRIGGER_LEVEL_TYPE type);
    bool is_pattern_enabled(int level) const;
    void toggle_pattern(int level);
public slots:
    void set_trigger_level(const QString& text);

    // ---- advanced trigger levels (vokr_tx_manager_advanced.cpp) ----
public:
    // Whether the advanced trigger editor is shown, and then the level or pattern it shows.
    bool is_advanced_mode(int* level) const;
    // The boxes of the level or pattern the advanced trigger editor shows; null while it shows none.
    QList<VOKR_OBJECT*>* get_object_array();
    // Whether the level's condition for incrementally routed nodes is wired into its expression;
    // for level -1, whether that holds on any advanced level.
    bool is_advanced_trigger_pattern_enabled(int level, int instance) const;
    // Rewrites, on every advanced level whose condition for incrementally routed nodes is wired,
    // that box's patterns and node list from the post-fitting nodes of the shown list. Always true.
    bool update_advanced_trigger_pattern();
    // Records the advanced trigger editor's modified state of the level it shows.
    void update_advanced_modified_flag(bool level_flag, bool document_flag);
    // Whether the instance has incrementally routed trigger nodes.
    bool is_advanced_nodes_used(int instance) const;
    // Whether the result of the current trigger's first advanced level is fed by a counter.
    bool is_counter_operator_used() const;
    // The tree of the level or pattern the advanced trigger editor shows; null when it shows none.
    VOKR_TRIGGER_OBJECT* shown_advanced_root();

private:
    VOKR_OBJECT* routed_node_box(int level, int instance) const;
    void write_routed_node_pattern(VOKR_OBJECT* box, int level);
    bool show_unused_post_fitting_triggers();

    // ---- data-log trigger entries (vokr_tx_manager_trigger.cpp) ----
public:
    int get_num_triggers(int instance, int signal_set) const;
    const char* get_trigger_name_at(int instance, int signal_set, int trigger, bool* expanded) const;
    void get_trigger_expression(QString* out, const char* instance_name, const char* signal_set_name,
                                const char* trigger_name) const;
    const char* get_trigger() const { return m_tx_trigger ? m_tx_trigger->get_name() : nullptr; }
    KSM_TX_TRIGGER* get_trigger_object() const { return m_tx_trigger; }
    void rename_trigger_set(const char* new_name, const char* old_name, const char* signal_set_name);

    // ---- conversions (vokr_tx_manager_trigger.cpp) ----
public:
    static const char* convert_to_trigger_condition_str(KSM_DATA_TRIGGER_CONDITION condition);
    static KSM_DATA_TRIGGER_CONDITION convert_to_trigger_condition_type(const QString& text);
    static const char* convert_to_trigger_position_str(KSM_DATA_TRIGGER_POSITION position);
    static KSM_DATA_TRIGGER_POSITION convert_to_trigger_position_type(const QString& text);
    static int convert_to_trigger_level_int(const QString& text);
    QString convert_to_trigger_level_str(int level);

    // ---- storage qualifier (vokr_tx_manager_flow.cpp) ----
public:
    bool get_storage_qualifier_type(QString* text, int instance) const;
    bool get_storage_qualifier_input_port(QString* name, bool* post_fitting, int instance) const;
    bool is_disable_storage_qualifier_enabled(int instance) const;
    bool is_record_data_discontinuities_enabled(int instance) const;
public slots:
    // The labels set_storage_qualifier_type takes, in the order of the types.
    static QStringList storage_qualifier_labels();
    void set_storage_qualifier_type(const QString& text);
    void set_storage_qualifier_input_port(const QString& name, VOKR_IS_POST_FITTING_TYPE kind);
    void set_storage_qualifier_input_port(const QString& name);
    void browse_storage_qualifier_input_port();
    void enable_data_discontinuities(bool record);
    void disable_storage_qualifier(bool disabled);

private:
    int state_based_tab() const;

    // ---- segments and trigger position (vokr_tx_manager_flow.cpp) ----
public:
    bool is_segmented_acquisition_enabled(int instance) const;
    bool is_segmented_acquisition_trigger(int level) const;
    bool is_segmented_trigger_position_enabled() const;
    bool get_trigger_position(QString* text, int instance) const;
    bool get_trigger_position(int* sample, int index) const;
    // Whether `size` cuts `depth` into a count of segments the pane's list offers: a power of two,
    // at least two.
    static bool is_listed_segment_size(int depth, int size);
public slots:
    void set_segmented_acquisition_mode(bool segmented);
    void set_trigger_position(const QString& text);

    // ---- flow control (vokr_tx_manager_flow.cpp) ----
public:
    bool get_trigger_flow_control(QString* text, int instance) const;
    bool is_sequential_mode(int instance) const;
public slots:
    void set_trigger_flow_control(const QString& text);

    // ---- state-based trigger (vokr_tx_manager_state.cpp) ----
public:
    VOKR_STATE_MACHINE_OBJECT* get_state_machine_object(int instance) const;
    int get_state_count(int instance) const;
    QStringList get_state_names(int instance) const;
    void get_state_name(int i, QString* name, int instance) const;
    bool is_state_name(const QString& name, int instance) const;
    void get_state_text(int i, QString* text, int instance) const;
    void get_unified_state_text(QString* text, int instance) const;
    VOKR_STATE_TYPE get_state_type(int i, int instance) const;
    // One undo unit each, with the modified mark but no notice.
    void set_state_type(int i, VOKR_STATE_TYPE type);
    void set_state_name(int i, const QString& name);
    bool get_state_display_mode() const { return m_unified_state_display; }
    // Whether the current instance shows its "State-Based Trigger Flow" tab.
    bool is_state_mode() const;
    int get_counter_count(int instance) const;
    int get_flag_count(int instance) const;
    QStringList get_counter_names(int instance) const;
    QStringList get_flag_names(int instance) const;
    const char* get_counter_name(int i, int instance, int* width = nullptr,
                                 unsigned int* initial_value = nullptr) const;
    const char* get_flag_name(int i, int instance, int* initial_value = nullptr) const;
    bool is_counter_name(const QString& name, int instance) const;
    bool is_flag_name(const QString& name, int instance) const;
    bool is_configurable(RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION option, int instance) const;
    // Tells the trigger that its state machine changed and shows the window modified.
    void set_state_machine_modified();
    // Values at which the acquisition of the current trigger's data log `log` stopped.
    int get_state_current_value(int log) const;
    bool get_counter_current_value(int i, int log, int* value) const;
    bool get_flag_current_value(int i, int log, int* value) const;
    // Checks the flow and maps a failing line of the unified text to its state.
    void check_state_machine(VOKR_STATE_MACHINE_ERROR* error, int instance);
public slots:
    void set_state_count(int count);
    void set_state_text(int i, const QString& text);
    void set_unified_state_text(const QString& text);
    void set_state_display_mode(bool unified);
    void set_counter_count(int count);
    void set_flag_count(int count);
    void set_counter_name(int i, const QString* name);
    void set_counter_width(int i, int width);
    void set_counter_initial_value(int i, unsigned int value);
    void set_flag_name(int i, const QString* name);
    void set_flag_initial_value(int i, int value);
    void set_configurable(RUV_FLOW_CONTROL_RUNTIME_CONFIG_OPTION option, bool configurable);
    // The trigger of an instance (-1: the current one); null without one, never an error.
    KSM_TX_TRIGGER* state_trigger(int instance) const;

private:
    VOKR_STATE_MACHINE_OBJECT* current_state_machine() const;
    template <class CHANGE> void edit_state_machine(bool unchanged, CHANGE change);

    // ---- trigger in (vokr_tx_manager_flow.cpp) ----
public:
    bool is_trigger_in_enabled(int instance) const;
    KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE get_trigger_in_source(int instance) const;
    bool get_trigger_in_pin_name(QString* name, int instance) const;
    bool get_trigger_in_node_name(QString* name, int instance) const;
    bool is_trigger_in_node_post_fitting(int instance) const;
    bool is_trigger_in_node_valid(int instance) const;
    bool get_trigger_in_instance_name(QString* name, int instance) const;
    bool get_trigger_in_condition(QString* text, int instance) const;
    QStringList get_trigger_instance_list(int instance) const;
    bool set_trigger_in_source(KSM_DATA_TRIGGER_IN_OUT_SOURCE_TYPE kind, int instance);
public slots:
    void enable_trigger_in(bool enable);
    void set_trigger_in_source(int kind);
    void set_trigger_in_pin(const QString& name);
    void set_trigger_in_node(const QString& name, VOKR_IS_POST_FITTING_TYPE kind);
    void set_trigger_in_node(const QString& name);
    void browse_trigger_in();
    void set_trigger_in_instance(const QString& name);
    void set_trigger_in_condition(const QString& text);

private:
    KSM_TX_TRIGGER_IN_INTERFACE* trigger_in_at(int instance) const;
    KSM_TX_TRIGGER_OUT_INTERFACE* trigger_out_at(int instance) const;
    template <class PORT> void edit_port_enabled(PORT* port, bool enable);
    template <class PORT>
    void edit_port_name(PORT* port, const char* (PORT::*get)() const, bool (PORT::*set)(const char*),
                        const QString& name);
    template <class PORT> void edit_port_condition(PORT* port, const QString& text);

    // ---- trigger out (vokr_tx_manager_flow.cpp) ----
public:
    bool is_trigger_out_enabled(int instance) const;
    bool is_trigger_out_pin_selected(int instance) const;
    bool is_trigger_out_instance_selected(int instance) const;
    bool is_trigger_out_eps_trigger_in_selected(int instance) const;
    bool is_trigger_out_eps_event_index_selected(int instance) const;
    bool get_trigger_out_pin(QString* name, int instance) const;
    bool get_trigger_out_instance(QString* name, int instance) const;
    bool get_trigger_out_instance_tooltip(QString* text, int instance) const;
    bool get_trigger_out_eps_event_index(QString* text, int instance) const;
    bool get_trigger_out_condition(QString* text, int instance) const;
    bool get_trigger_out_latency_delay(QString* text, int instance) const;
public slots:
    void enable_trigger_out(bool enable);
    void set_trigger_out_condition(const QString& text);
    void set_trigger_out_pin(const QString& name);
    void set_trigger_out_instance(const QString& name);
    void set_trigger_out_eps_event_index(const QString& text);
    void set_trigger_out_pin_selected(bool selected);
    void set_trigger_out_instance_selected(bool selected);
    void set_trigger_out_eps_trigger_in_selected(bool selected);
    void set_trigger_out_eps_event_selected(bool selected);

    // ---- sample depth (vokr_tx_manager_resources.cpp) ----
public:
    static int convert_to_sample_depth_int(const QString& text);
    QString convert_to_sample_depth_str(int depth);
    bool get_sample_depth(int* depth, int instance) const;
    bool get_sample_depth(QString* text, int instance);
    // Why a stored depth shown as `text` (not one of the listed depths) cannot be chosen.
    static QString unlisted_sample_depth_text(const QString& text);
    bool is_zero_sample_depth() const;
public slots:
    void set_sample_depth(const QString& text);

    // ---- segments (vokr_tx_manager_resources.cpp) ----
public:
    bool get_number_of_segments(QString* text, int instance) const;
    int get_segment_size() const;
public slots:
    void set_number_of_segments(const QString& text);

    // ---- RAM type (vokr_tx_manager_resources.cpp) ----
public:
    bool get_ram_type(QString* label, int instance) const;
    KSM_TALVERN_RAM_TYPE get_talvern_ram_type(int instance) const;
    static QStringList get_ram_type_labels();
public slots:
    void set_ram_type(const QString& label);

    // ---- pipeline (vokr_tx_manager_resources.cpp) ----
public:
    bool get_pipeline_level(QString* text, int instance);
public slots:
    void set_pipeline_level(const QString& text);

    // ---- allocated node counts (vokr_tx_manager_resources.cpp) ----
public:
    int get_data_nodes_allocated(int instance) const;
    bool get_data_nodes_allocated(QString* text) const;
    int get_trigger_nodes_allocated(int instance) const;
    bool get_trigger_nodes_allocated(QString* text) const;
    int get_storage_qualifier_nodes_allocated(int instance) const;
    int get_corvix_data_nodes_allocated(int instance) const;
    bool get_corvix_data_nodes_allocated(QString* text) const;
    int get_corvix_trigger_nodes_allocated(int instance) const;
    bool get_corvix_trigger_nodes_allocated(QString* text) const;
    void set_data_nodes_allocated(int count, int instance);
    void set_trigger_nodes_allocated(int count, int instance);
    void set_storage_qualifier_nodes_allocated(int count, int instance);
    void set_data_nodes_allocated(const QString& text);
    void set_trigger_nodes_allocated(const QString& text);
    bool set_corvix_data_nodes_allocated(const QString& text);
    bool set_corvix_data_nodes_allocated(int count, int instance);
    bool set_corvix_trigger_nodes_allocated(const QString& text);
    bool set_corvix_trigger_nodes_allocated(int count, int instance);
public slots:
    void data_manual_input_changed(int count);
    void trigger_manual_input_changed(int count);
    void storage_qualifier_manual_input_changed(int count);

private:
    bool set_allocated(int (KSM_TX_SIGNAL_SET::*get)() const, bool (KSM_TX_SIGNAL_SET::*set)(int), int count,
                       int instance, bool mark_modified);
    void edit_allocated(void (VOKR_TX_MANAGER::*set)(int, int), int count);

    // ---- used node counts and usage estimates (vokr_tx_manager_resources.cpp) ----
public:
    int get_data_nodes_used(int instance) const;
    bool get_data_nodes_used(QString* text) const;
    int get_trigger_nodes_used(int instance) const;
    bool get_trigger_nodes_used(QString* text) const;
    int get_storage_qualifier_nodes_used(int instance) const;
    bool get_storage_qualifier_nodes_used(QString* text) const;
    unsigned long get_le_usage(int instance, DEV_FAMILY_ENUM family) const;
    unsigned long get_ram_bits_usage(int instance) const;

    // ---- the session's mnemonic tables (vokr_tx_manager_mnemonics.cpp) ----
public:
    void create_mnemonic_table(int node_index, const QString& name, const QStringList& mnemonic_list,
                               const QStringList& pattern_list);
    bool get_mnemonics_table_name(int table_index, QString* name) const;
    bool is_plugin_mnemonic_table(int table_index) const;
    bool get_node_mnemonics_table_name(int node_index, QString* name, KSM_TX_SIGNAL_NODES* list);
    bool get_node_mnemonics_width(int node_index, int* width);
    bool get_node_mnemonics_symbol(int node_index, const QString& pattern, QString* symbol, KSM_TX_SIGNAL_NODES* list);

private:
    KSM_DATA_MNEMONICS_TABLE* static_plugin_table(const KSM_TX_PLUGIN_MNEMONICS& record, const char* bus) const;
public slots:
    void on_update_mnemonic(bool* enable) { *enable = true; }
    void on_mnemonic() {}

    // ---- plug-in tables: adding them to an instance, reopening them, queries (vokr_tx_manager_plugins.cpp) ----
public:
    bool open_plugin(const QString& plugin_name, bool simulate);
    bool get_plugin_hierarchy(QString* hierarchy, const QStringList& unit_names);
    void get_plugin_hierarchy_list(QStringList* list, TOZ_INSTANCE_NAME* instance, const QStringList& unit_names);
    bool get_plugin_discovered_node_list(QStringList* nodes, const QString& hierarchy);
    static void copy_from_plugin_struct(VOKR_PLUGIN_STRUCT* descriptor, const PLUGIN_MNEMONIC_TABLE* table);
    bool add_plugin_tables(const QList<VOKR_PLUGIN_STRUCT*>& tables, const QString& hierarchy);
    bool add_plugin_tables_using_tx_gen1(const QList<VOKR_PLUGIN_STRUCT*>& tables, const QString& hierarchy);
    bool add_plugin_tables_using_tx_gen2(const QList<VOKR_PLUGIN_STRUCT*>& tables, const QString& hierarchy);
    static bool is_setup_plugin_node(const QString& name, const QList<VOKR_PLUGIN_STRUCT*>& tables);
    static bool is_data_plugin_node(const QString& name, const QList<VOKR_PLUGIN_STRUCT*>& tables);
    bool insert_plugin_data_node(const QString& name);
    bool open_plugin_mnemonic_table(int group_index, VOKR_PLUGIN_STRUCT* descriptor);
    bool open_plugin_mnemonic_tables();
    std::unique_ptr<VOKR_PLUGIN_STRUCT> get_plugin_struct(int node_index);
    bool get_plugin_user_options(QList<VOKR_PLUGIN_STRUCT*>* tables, bool in_action);
    bool set_plugin_user_options(const QList<VOKR_PLUGIN_STRUCT*>& tables);
    bool refresh_plugin_mnemonics(int node_index, KSM_TX_SIGNAL_NODES* list);
    bool get_plugin_mnemonic(QString* text, const char* value, int node_index, KSM_TX_SIGNAL_NODES* list);
    bool get_plugin_trigger(QString* data, const char* symbol, int node_index, int instance);
    bool get_plugin_trigger_condition_symbol(QString* symbol, int node_index, int level, int instance);
    bool set_plugin_trigger_condition_symbol(const QString& symbol, int node_index, int level, int instance);
    bool get_plugin_mnemonic_width(int* width, int node_index);
    bool get_plugin_mnemonic_table_name_menu_string(QString* text, int node_index, KSM_TX_SIGNAL_NODES* list);

private:
    KSM_TX_SIGNAL_NODES* plugin_list(int node_index, KSM_TX_SIGNAL_NODES* list, bool check_type);
    bool fetch_plugin_tables(const QString& plugin_name, const QStringList& nodes,
                             std::vector<std::unique_ptr<VOKR_PLUGIN_STRUCT>>* tables);
    bool group_plugin_table(KSM_TX_SIGNAL_NODES* list, int first, int last, VOKR_PLUGIN_STRUCT* table,
                            const QString& hierarchy);

    // ---- state ----
private:
    // Window settings (the first two are read from the user settings).
    bool m_cfg_align_left = false;
    bool m_unified_state_display = false;
    int m_current_instance = -1;
    KSM_TX_SESSION* m_tx_session = nullptr;
    KSM_TX_INSTANCE* m_tx_instance = nullptr;
    KSM_TX_SIGNAL_SET* m_tx_signals = nullptr;
    KSM_TX_TRIGGER* m_tx_trigger = nullptr;
    // has_invalid_nodes() as last worked out, for that trigger at that version of its rows: every
    // paint asks, and the answer reads every row.
    struct INVALID_NODES {
        const KSM_TX_TRIGGER* trigger = nullptr;
        uint64_t stamp = 0;
        bool any = false;
    };
    mutable INVALID_NODES m_invalid_known;
    KSM_DATA_LOG* m_data_log = nullptr;
    unsigned int m_progress = 0;
    int m_row_pp = 35;
    int m_column_pp = 30;
    int m_pages_wide = 1;
    int m_pages_tall = 1;
    int m_page_fit_type = 0;
    int m_name_width = 20;
    bool m_show_alias = true;
    bool m_show_type = true;
    bool m_bypass_flag_check = false;
    // Acquisition state per entry; entries past the end of the table are idle.
    std::vector<int> m_acq_states;
    QString m_sample_depth_text = "128";
    QString m_trigger_level_text = "1";
    QString m_pipeline_text = "0";
    int m_sample_depth_value = 128;
    int m_trigger_level_value = 1;
    bool m_using_pre_synthesis_filter = false;
    // Partitions whose netlist-type question the user answered No, per node kind.
    std::set<int> m_declined_pre_synthesis_partitions;
    std::set<int> m_declined_post_fitting_partitions;
    int m_trigger_level = 0;
    bool m_owns_session = true;
    bool m_list_view_mode = false;
    bool m_modified = false;
    bool m_session_modified_at_begin = false;  // of the transaction under way
    bool m_invalid_nodes = false;
    VOKR_FRAME_WND* m_frame_wnd;
    VOKR_LAYOUT_WIDGET* m_layout_widget = nullptr;
    VOKR_LOCK_MODE m_lock_mode = VOKR_LOCK_MODE_ALL_CHANGES;
    QMap<int, QAction*> m_actions;
    TEVQ_DIALOG* m_node_finder = nullptr;

    // User settings shared by every window of the process.
    static bool m_cfg_show_duplicate_buttons;
    static bool m_cfg_link_groups;
    static bool m_cfg_link_properties;
    static bool m_cfg_link_order;
    static bool m_cfg_link_mnemonics;
    static bool m_cfg_auto_recompile;
    static bool m_cfg_show_horz_grid;
    static int m_cfg_inter_line_spacing;
    static bool m_cfg_msb_first;
    static bool m_cfg_show_leading_zeroes;
    static bool m_cfg_show_vert_grid;
    static bool m_cfg_show_time_bars;
    static bool m_action_done;
    static int m_live_managers;
};

// Makes `palette` with a solid brush of `color` for `role` in every colour group.
void vokr_make_palette(QPalette* palette, QPalette::ColorRole role, const QColor& color);
// Replaces every string that holds a colon by its part after the first colon.
void vokr_strip_labels(QStringList* labels);
