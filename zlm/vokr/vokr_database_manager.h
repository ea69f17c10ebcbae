// The design's own finite state machines, read from the compiled design databases of one
// netlist: the pre-synthesis hierarchy (state machines flagged in the hierarchy, one-hot state
// registers beside them named after them) or the post-fitting keep databases (register
// transformations with their state tables). For the chosen netlist it lists the state machines,
// the state-register nodes of one, its state names with their encodings (most significant
// register bit first), and dumps the whole in a message box.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class BIV_KEYPOINTS_DB;
class BIV_KEYPOINTS_MANAGER;
class BIV_REGISTER_TRANSFORMATION;
class TOZ_INSTANCE_NAME;
class TOZ_NAMESPACE;
class VOKR_STATE_MACHINE_DLG;
class WOLPA_MANAGER;

class VOKR_BASE_MANAGER {
public:
    virtual ~VOKR_BASE_MANAGER() = default;
    virtual void get_state_machine_list(QStringList* list) = 0;
    virtual void get_node_list(const QString& state_machine, QStringList* nodes) = 0;
    virtual void get_mnemonic_list(const QString& state_machine, QStringList* state_names, QStringList* encodings) = 0;
    virtual void dump() = 0;
    virtual bool is_database_loaded() = 0;
};

// Reads a compiled hierarchy, borrowed for the reader's lifetime.
class VOKR_TOZ_MANAGER : public VOKR_BASE_MANAGER {
public:
    // Netlist 0 reads the pre-synthesis hierarchy, any other the post-fitting one.
    explicit VOKR_TOZ_MANAGER(int netlist);
    ~VOKR_TOZ_MANAGER() override;
    VOKR_TOZ_MANAGER(const VOKR_TOZ_MANAGER&) = delete;
    VOKR_TOZ_MANAGER& operator=(const VOKR_TOZ_MANAGER&) = delete;

    void get_state_machine_list(QStringList* list) override;
    void get_node_list(const QString& state_machine, QStringList* nodes) override;
    void get_mnemonic_list(const QString& state_machine, QStringList* state_names, QStringList* encodings) override;
    void dump() override;
    bool is_database_loaded() override { return m_action_point_root != nullptr; }
    TOZ_INSTANCE_NAME* get_root() const { return m_action_point_root; }

private:
    std::vector<TOZ_INSTANCE_NAME*> find_registers(const QString& state_machine) const;
    std::vector<TOZ_INSTANCE_NAME*> state_machines() const;

    int m_file_type;
    WOLPA_MANAGER* m_wolpa_manager;
    TOZ_NAMESPACE* m_namespace = nullptr;
    TOZ_INSTANCE_NAME* m_action_point_root = nullptr;
};

// Reads the post-fitting keep databases, loaded once for the reader's lifetime.
class VOKR_BIV_MANAGER : public VOKR_BASE_MANAGER {
public:
    VOKR_BIV_MANAGER();
    ~VOKR_BIV_MANAGER() override;
    VOKR_BIV_MANAGER(const VOKR_BIV_MANAGER&) = delete;
    VOKR_BIV_MANAGER& operator=(const VOKR_BIV_MANAGER&) = delete;

    void get_state_machine_list(QStringList* list) override;
    void get_node_list(const QString& state_machine, QStringList* nodes) override;
    void get_mnemonic_list(const QString& state_machine, QStringList* state_names, QStringList* encodings) override;
    void dump() override;
    bool is_database_loaded() override { return m_map_db != nullptr; }

private:
    std::vector<const BIV_REGISTER_TRANSFORMATION*> transformations() const;

    BIV_KEYPOINTS_MANAGER* m_biv_keypoints_manager;
    BIV_KEYPOINTS_DB* m_map_db = nullptr;
    BIV_KEYPOINTS_DB* m_cmp_db = nullptr;
};

// The facade: forwards every question to the reader of one netlist (0 pre-synthesis, any other
// post-fitting). It owns a reader it makes; a post-fitting reader taken from the dialog stays
// the dialog's, so the keep databases load once per dialog.
class VOKR_DATABASE_MANAGER {
public:
    explicit VOKR_DATABASE_MANAGER(int netlist);
    explicit VOKR_DATABASE_MANAGER(VOKR_STATE_MACHINE_DLG* dialog);
    ~VOKR_DATABASE_MANAGER();
    // Two facades never share one owned reader.
    VOKR_DATABASE_MANAGER(const VOKR_DATABASE_MANAGER&) = delete;
    VOKR_DATABASE_MANAGER& operator=(const VOKR_DATABASE_MANAGER&) = delete;

    void get_state_machine_list(QStringList* list);
    void get_node_list(const QString& state_machine, QStringList* nodes);
    void get_mnemonic_list(const QString& state_machine, QStringList* state_names, QStringList* encodings);
    void dump();
    bool is_database_loaded();

private:
    VOKR_BASE_MANAGER* reader();

    VOKR_BASE_MANAGER* m_vokr_base_manager = nullptr;
    int m_current_selection;
    bool m_owns_reader = true;
};
