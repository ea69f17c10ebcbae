// The suite's keep database of synthesised state machines: for every state register the
// compiler transformed, the register bits it kept after fitting (keypoints) and the state table
// that says how each state is encoded in them.
//
// A keep database is a text file, one statement per line ('#' starts a comment):
//   fsm <state machine path>          starts a register transformation ('/' between parts)
//   register <keypoint path>          its next encoding bit, from bit 1 (least significant) up
//   state <name> <entries>            a state and its entries, most significant bit first:
//                                     '0', '1', or '-' for a bit the state leaves open
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

enum BIV_STATE_ENUM : int { BIV_STATE_0 = 0, BIV_STATE_1 = 1, BIV_STATE_DONT_CARE = 2 };

// The kind of a transformation that the register iterator filters for.
constexpr int BIV_REGISTER_TRANSFORMATION_KIND = 512;

class BIV_KEYPOINT {
public:
    explicit BIV_KEYPOINT(std::string name) : m_name(std::move(name)) {}
    const std::string& get_name() const { return m_name; }

private:
    std::string m_name;
};

class BIV_STATE_TABLE {
public:
    const std::string& get_fsm_name() const { return m_fsm_name; }
    int get_number_of_states() const { return static_cast<int>(m_states.size()); }
    // States and bits count from 1; anything outside gives an empty name or an open bit.
    std::string get_state_name(int state) const;
    BIV_STATE_ENUM get_transformed_entry(int state, int bit) const;

private:
    friend class BIV_KEYPOINTS_DB;
    struct STATE {
        std::string name;
        std::vector<BIV_STATE_ENUM> entries;  // entries[b - 1] is bit b
    };
    std::string m_fsm_name;
    std::vector<STATE> m_states;
};

class BIV_REGISTER_TRANSFORMATION {
public:
    int get_kind() const { return BIV_REGISTER_TRANSFORMATION_KIND; }
    const BIV_STATE_TABLE* get_state_table() const { return &m_table; }
    int get_state_transformed_size() const { return static_cast<int>(m_registers.size()); }
    // The keypoint of bit `bit` (from 1), or null.
    const BIV_KEYPOINT* get_transformed(int bit) const;

private:
    friend class BIV_KEYPOINTS_DB;
    BIV_STATE_TABLE m_table;
    std::vector<BIV_KEYPOINT> m_registers;
};

using BIV_TRANSFORMATION_SET = std::vector<std::unique_ptr<BIV_REGISTER_TRANSFORMATION>>;

// Walks the transformations of a set whose kind has the filter's bits.
class BIV_REGISTER_ITERATOR {
public:
    BIV_REGISTER_ITERATOR(const BIV_TRANSFORMATION_SET* set, int filter) : m_set(set), m_filter(filter) {}
    void first();
    bool done() const { return m_at >= m_set->size(); }
    void next();
    const BIV_REGISTER_TRANSFORMATION* item() const { return done() ? nullptr : (*m_set)[m_at].get(); }

private:
    void skip();
    const BIV_TRANSFORMATION_SET* m_set;
    int m_filter;
    size_t m_at = 0;
};

class BIV_KEYPOINTS_DB {
public:
    const std::string& get_name() const { return m_name; }
    const BIV_TRANSFORMATION_SET* get_transformation_set() const { return &m_set; }
    // Takes over from `other` the transformations this database lacks (by state machine name).
    bool compose_on_transformed(const BIV_KEYPOINTS_DB* other, const std::string& name);
    // Reads a database file; false with the reason when it cannot be read or parsed.
    bool read(const std::string& path, std::string* error);

private:
    friend class BIV_KEYPOINTS_MANAGER;
    std::string m_name;
    BIV_TRANSFORMATION_SET m_set;
};

// Holds the loaded keep databases by name.
class BIV_KEYPOINTS_MANAGER {
public:
    static BIV_KEYPOINTS_MANAGER* get_instance();
    // Loads a file under `name` (the file's path when empty); null when it cannot be read. A
    // name already loaded gives the same database, which lives until each load is destroyed.
    BIV_KEYPOINTS_DB* load_keypoints_db(const std::string& path, const std::string& name);
    bool destroy_keypoints_db(const std::string& name);
    int get_loaded_count() const { return static_cast<int>(m_databases.size()); }

private:
    struct LOADED {
        std::unique_ptr<BIV_KEYPOINTS_DB> db;
        int users = 0;
    };
    std::map<std::string, LOADED> m_databases;
};
