// The suite's hierarchy database: the design's instance names as a compiled netlist knows
// them, with their flags, bus and array dimensions, members and assignments.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

class MSG_GEN_LOCATION_SCHEMA;
class TOZ_NAMESPACE;

// Flags of an instance name.
constexpr unsigned int TOZ_FLAG_INPUT_PIN = 0x4;
constexpr unsigned int TOZ_FLAG_OUTPUT_PIN = 0x8;
constexpr unsigned int TOZ_FLAG_BIDIR_PIN = 0x10;
constexpr unsigned int TOZ_FLAG_MEMORY = 0x20;
constexpr unsigned int TOZ_FLAG_REGISTERED = 0x40;
constexpr unsigned int TOZ_FLAG_COMBINATORIAL = 0x80;
constexpr unsigned int TOZ_FLAG_SYNTHESIZED = 0x200;  // a name the compiler made, not the design
constexpr unsigned int TOZ_FLAG_STATE_MACHINE = 0x400;
constexpr unsigned int TOZ_FLAG_EXCLUDED = 0x1000;
constexpr unsigned int TOZ_FLAG_POST_FITTING = 0x2000;
constexpr unsigned int TOZ_FLAG_TAPPABLE = 0x80000000;

// Kinds of the names of a database.
constexpr int TOZ_NAME_KIND_NODE = 0;
constexpr int TOZ_NAME_KIND_BUS = 1;
constexpr int TOZ_NAME_KIND_UNIT = 5;

// Kinds of the compiled databases.
constexpr int TOZ_KIND_POST_FITTING = 0;
constexpr int TOZ_KIND_PRE_SYNTHESIS = 3;

// One name of the hierarchy: a design unit instance, a node, a bus or array, or one of its bits.
class TOZ_INSTANCE_NAME {
public:
    TOZ_INSTANCE_NAME(std::string short_hpath, unsigned int flags, TOZ_INSTANCE_NAME* parent);

    // The name below the top entity, the parts separated by '|', bits written "[i]"; empty
    // for the root.
    const std::string& get_short_hpath() const { return m_short_hpath; }
    unsigned int get_flags() const { return m_flags; }
    bool test_flag(unsigned int flag) const { return (m_flags & flag) == flag; }
    TOZ_INSTANCE_NAME* get_parent() const { return m_parent; }
    // The number of dimensions of a bus (1) or array (2); 0 for a single node or a unit.
    int size_dimension() const { return m_dimension; }
    // The members of a bus or array (for an array, one bus per row), in declaration order;
    // false when the name has none.
    bool get_members(std::vector<TOZ_INSTANCE_NAME*>* members) const;
    // A name below this one, by its short path (compared as the namespace says).
    TOZ_INSTANCE_NAME* find_in_descendants(const std::string& name, int, bool) const;
    const std::vector<std::unique_ptr<TOZ_INSTANCE_NAME>>& get_children() const { return m_children; }
    // The names below this one whose short path matches `pattern` ('*' any text), in order.
    void find_descendants_matching_wildcard(const std::string& pattern, std::vector<TOZ_INSTANCE_NAME*>* out) const;
    // The direct children in order; with `expand` 1 a bus or array stands as its bits.
    std::vector<TOZ_INSTANCE_NAME*> get_child_names(int expand) const;
    // A design unit instance (no flags, no dimension, names below it), a bus or array, or a node.
    int get_kind() const;
    // The name within its parent unit: the last part of the path. The projects name no
    // entities, so a unit instance's unit name is its own name.
    std::string get_unit_name() const;

    TOZ_INSTANCE_NAME* add_child(std::string short_hpath, unsigned int flags);
    void set_dimension(int dimension) { m_dimension = dimension; }
    // The first and last index of dimension 0 or 1 as declared (e.g. 7 and 0 for [7..0]).
    void get_range(int dimension, int* first, int* last) const;
    void set_range(int dimension, int first, int last);
    void set_case_sensitive(bool sensitive) { m_case_sensitive = sensitive; }

    // The database the name belongs to (null for a name outside one).
    TOZ_NAMESPACE* get_namespace() const;
    void set_namespace(TOZ_NAMESPACE* space) { m_space = space; }
    // Where the name is defined, as a new schema the caller owns: the name's path and the
    // design unit holding it. A name is only valid while its database is lent out: once it
    // is given back, the name yields null.
    MSG_GEN_LOCATION_SCHEMA* make_location_schema() const;

private:
    TOZ_NAMESPACE* m_space = nullptr;  // set on the root only
    std::string m_short_hpath;
    unsigned int m_flags;
    TOZ_INSTANCE_NAME* m_parent;
    int m_dimension = 0;
    int m_ranges[2][2] = {{0, 0}, {0, 0}};
    bool m_case_sensitive = true;
    std::vector<std::unique_ptr<TOZ_INSTANCE_NAME>> m_children;
};

// One compiled database: its root instance, a lookup by name and its assignments.
class TOZ_NAMESPACE {
public:
    TOZ_NAMESPACE(std::string top, bool case_sensitive);

    TOZ_INSTANCE_NAME* get_rooted_at() const { return m_root.get(); }
    // The path of the root: the top entity's name.
    const std::string& get_hpath_to_root() const { return m_top; }
    bool is_case_sensitive() const { return m_case_sensitive; }
    // A name by its short path, or by its full path from the top entity; null when unknown.
    TOZ_INSTANCE_NAME* get_instance_name(const std::string& name) const;
    // Every name of the database (units left out), for the node finder.
    std::vector<const TOZ_INSTANCE_NAME*> get_all_names() const;

    // The value text of an assignment of the compiled design, or false.
    bool get_assignment(int number, std::string* value) const;
    void set_assignment(int number, const std::string& value) { m_assignments[number] = value; }

    // Borrows outstanding; the database manager counts them.
    void lend() { ++m_lent; }
    void give_back() { m_lent -= m_lent > 0 ? 1 : 0; }
    bool is_lent() const { return m_lent > 0; }

    // Adds a name and every unit above it; returns the name.
    TOZ_INSTANCE_NAME* add(const std::string& short_hpath, unsigned int flags);

private:
    std::string key(const std::string& name) const;

    std::string m_top;
    bool m_case_sensitive;
    std::unique_ptr<TOZ_INSTANCE_NAME> m_root;
    std::map<std::string, TOZ_INSTANCE_NAME*> m_index;
    std::map<int, std::string> m_assignments;
    int m_lent = 0;
};

// The suite's name manager: a stable identifier per design instance path, which the tools
// exchange instead of the text.
class TOZ_NAME_MGR {
public:
    static TOZ_NAME_MGR* get_name_mgr();
    long get_iname_id(const TOZ_INSTANCE_NAME* name);
    // The path of an identifier; empty when unknown.
    std::string get_short_hpath(long id) const;

private:
    std::map<std::string, long> m_ids;
};
