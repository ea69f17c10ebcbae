// The facade through which the suite's IP generation wizard sets up one analyzer instance,
// lets the engineer edit its nodes and triggers in a panel embedded in the wizard's own page,
// and writes the trigger logic of its advanced levels as HDL files.
//
// It owns a reserved data session of the repository, a transactional session over it and a
// manager without frame window, plus the small widget tree of the panel. The wizard calls, in
// order: create_session, the initialize operations (straight into the data session, outside any
// undo), create_document, create_frame and resize_frame, edits (bracketed by begin_action and
// end_action), create_triggers, save_document, and the destroy operations.
//
// Sources: vokr_wizard.cpp (life, data session, document, panel, triggers) and
// vokr_wizard_forward.cpp (operations forwarded to the manager and the readers).
#pragma once

#include "ksm.h"
#include "ruv.h"

#include <QPointer>
#include <QStackedLayout>
#include <QString>
#include <QStringList>

class QSplitter;
class QWidget;
class VOKR_OBJECT_WIDGET;
class VOKR_OPERATOR_WIDGET;
class VOKR_TX_MANAGER;
class VOKR_VIEW;

class VOKR_WIZARD {
public:
    // The name of the data session the wizard works in.
    static constexpr const char* RESERVED_SESSION = "zlm_reserved_hdl_session";
    // The most trigger levels the wizard handles.
    static constexpr int MAX_LEVELS = KSM_MAX_TRIGGER_LEVELS;
    // Width of the node list and operator palette column of the panel.
    static constexpr int LEFT_COLUMN_WIDTH = 211;

    VOKR_WIZARD() = default;
    virtual ~VOKR_WIZARD() = default;
    VOKR_WIZARD(const VOKR_WIZARD&) = delete;
    VOKR_WIZARD& operator=(const VOKR_WIZARD&) = delete;

    // ---- life (vokr_wizard.cpp) ----
    bool create_session();
    bool create_document();
    void create_frame(QWidget* parent);
    void resize_frame();
    bool save_document(const char* path);
    void destroy_triggers();
    void destroy_frame();
    void destroy_document();
    VOKR_TX_MANAGER* get_manager() const { return m_manager; }

    // ---- the data session before the document exists (vokr_wizard.cpp) ----
    bool initialize_sample_depth(int depth);
    bool initialize_ram_type(const QString& text);
    bool initialize_data_nodes_allocated(int count);
    bool initialize_trigger_nodes_allocated(int count);
    bool initialize_trigger_level(int count);
    bool initialize_advanced_trigger_expression(int level, const QString& text);
    bool initialize_segment_size(int size);
    bool initialize_storage_qualifier_type(const QString& text);
    bool initialize_record_data_discontinuities(bool record);
    bool initialize_trigger_in(bool enable);
    bool initialize_trigger_out(bool enable);

    // ---- undo units (vokr_wizard.cpp) ----
    void begin_action();
    void end_action();

    // ---- trigger logic (vokr_wizard.cpp) ----
    // Writes one HDL module "<name>_level_<n>" into `path` per advanced level, after lining the
    // levels up in time. False when a module cannot be written; get_last_error() tells which.
    bool create_triggers(const QString& name, const QString& path);
    bool is_advanced_trigger_complete(int level);
    int get_pipeline_latency(int level);
    int get_delay(int level) const;
    bool is_advanced_trigger_used() const { return m_advanced_used; }
    const QString& get_last_error() const { return m_last_error; }

    // ---- forwarded to the manager (vokr_wizard_forward.cpp) ----
    bool insert_node(const QString& name);
    int insert_nodes(const QString& group_name, const QStringList& nodes, int tap, bool allow_duplicate_node_name);
    int delete_node(int first, int last);
    bool group_node(int first, int last);
    bool ungroup_node(int index);
    bool toggle_node(int index);
    void create_mnemonic_table(int node, const QString& name, const QStringList& symbols, const QStringList& patterns);
    bool set_sample_depth(const QString& text);
    bool set_ram_type(const QString& text);
    bool set_number_of_segments(const QString& text);
    bool set_storage_qualifier_type(const QString& text);
    bool set_trigger_level(const QString& text);
    bool set_trigger_level(int level);
    bool set_data_nodes_allocated(const QString& text);
    bool set_trigger_nodes_allocated(const QString& text);
    bool set_advanced_trigger(int level, bool on);
    bool toggle_trigger_in();
    bool toggle_trigger_out();
    bool toggle_segmented_acquisition();
    bool toggle_record_data_discontinuities();
    bool get_sample_depth(QString* text);
    bool get_number_of_segments(QString* text);
    bool get_trigger_level(QString* text);
    bool is_advanced_trigger(int level);
    bool is_port_storage_qualifier_type();

    // ---- reading the current instance (vokr_wizard_forward.cpp) ----
    int get_sample_depth() const;
    int get_data_nodes_allocated() const;
    int get_trigger_nodes_allocated() const;
    bool get_data_nodes_allocated(QString* text) const;
    bool get_trigger_nodes_allocated(QString* text) const;
    bool get_trigger_level(int* count) const;
    int get_segment_size() const;
    bool is_trigger_in_enabled() const;
    bool is_trigger_out_enabled() const;
    bool is_segmented_acquisition_enabled() const;
    bool is_record_data_discontinuities_enabled() const;
    bool get_ram_type(QString* label) const;
    bool get_all_ram_types(QStringList* labels) const;
    bool get_trigger_expression(int level, QString* text) const;

private:
    // The manager; none before create_document is an internal error.
    VOKR_TX_MANAGER* manager() const;
    // The manager's current signal set and trigger; null without a current instance.
    KSM_TX_SIGNAL_SET* current_signals() const;
    KSM_TX_TRIGGER* current_trigger() const;
    static bool is_level(int level) { return level >= 0 && level < MAX_LEVELS; }
    bool write_level_hdl(int level, const QString& name, const QString& path);
    // Forgets the roots and delays of every level.
    void clear_levels();

    KSM_DATA_SESSION* m_data_session = nullptr;
    KSM_DATA_INSTANCE* m_data_instance = nullptr;
    KSM_DATA_SIGNAL_SET* m_signal_set = nullptr;
    KSM_DATA_TRIGGER* m_trigger = nullptr;
    KSM_TX_SESSION* m_tx_session = nullptr;
    VOKR_TX_MANAGER* m_manager = nullptr;
    // Deleted with the wizard's page when that goes first.
    QPointer<QStackedLayout> m_layout;
    QSplitter* m_horizontal_splitter = nullptr;
    QSplitter* m_vertical_splitter = nullptr;
    VOKR_VIEW* m_view = nullptr;
    VOKR_OPERATOR_WIDGET* m_operator_widget = nullptr;
    VOKR_OBJECT_WIDGET* m_object_widget = nullptr;
    int m_delays[MAX_LEVELS] = {};
    RUV_ADVANCED_TRIGGER_OUTPUT* m_roots[MAX_LEVELS] = {};
    bool m_advanced_used = false;
    QString m_last_error;
};
