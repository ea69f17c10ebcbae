// Adds a design's own state machines, as the design databases report them for a netlist, to the
// current instance's node list as groups with mnemonic tables naming the states; or, in
// Recreate mode, rebuilds the mnemonic tables of state machines already tapped. All chosen
// machines go into one undo step.
#pragma once

#include "pirq.h"

#include <QStringList>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QPushButton;
class VOKR_BIV_MANAGER;
class VOKR_FRAME_WND;
class VOKR_STATE_MACHINE_TABLE_VIEW;
class VOKR_TX_MANAGER;

class VOKR_STATE_MACHINE_DLG : public PIRQ_DIALOG {
    Q_OBJECT
public:
    VOKR_STATE_MACHINE_DLG(VOKR_FRAME_WND* frame, bool recreate, QWidget* parent);
    ~VOKR_STATE_MACHINE_DLG() override;

    // Row statuses and empty-list texts.
    static constexpr const char* UNTAPPABLE = "Untappable due to register push-back";
    static constexpr const char* ALREADY_TAPPED = "Already tapped";
    static constexpr const char* NOT_TAPPED = "Not tapped";
    static constexpr const char* UNCHANGED = "Mnemonics unchanged";
    static constexpr const char* UNUSABLE = "Inconsistent state encodings";
    static bool is_status_text(const QString& text);
    static bool is_empty_list_text(const QString& text);

    int get_netlist_index() const;
    // The post-fitting reader, made at first use and kept until the dialog ends.
    VOKR_BIV_MANAGER* get_biv_manager();
    QComboBox* get_netlist_combo() const { return m_netlist_combo; }
    QCheckBox* get_overwrite_check_box() const { return m_overwrite_check; }
    QPushButton* get_ok_button() const;
    VOKR_STATE_MACHINE_TABLE_VIEW* get_table() const { return m_table; }
    int get_post_fitting_evaluations() const { return m_post_evaluations; }

public slots:
    void accept() override;
    void on_state_machine_filter_combo_changed(int index);
    void on_state_machine_overwrite_table_check_box(int state);
    void on_double_click_state_machine_node_list();

private:
    void fill(int netlist);
    QString add_status(int netlist, const QString& name);
    void show_status(int row, const QString& status);
    void show_valid(int row, int netlist, const QString& name, int group);
    QString unique_table_name(const QString& name) const;
    int find_group(int netlist, const QString& name);
    bool is_mnemonics_unchanged(int group, const QString& name);
    bool has_usable_encodings(const QString& name, int node_count);
    bool is_in_post_fitting_hierarchy(const QStringList& nodes) const;

    QLabel* m_netlist_label;
    QComboBox* m_netlist_combo;
    QCheckBox* m_overwrite_check;
    QDialogButtonBox* m_buttons;
    QLabel* m_found_label;
    VOKR_STATE_MACHINE_TABLE_VIEW* m_table;
    bool m_post_statuses_known = false;
    VOKR_FRAME_WND* m_frame;
    VOKR_TX_MANAGER* m_tx_manager;
    bool m_recreate;
    VOKR_BIV_MANAGER* m_biv_manager = nullptr;
    QStringList m_pre_names;
    QStringList m_post_names;
    QStringList m_post_statuses;
    int m_post_evaluations = 0;  // how often post-fitting rows were evaluated (reuse is tested)
};
