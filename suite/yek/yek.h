// The suite's partition database and project information.
#pragma once

#include <map>
#include <memory>
#include <string>

// Netlist types of a partition that the module compares.
constexpr int YEK_NETLIST_NONE = 0;
constexpr int YEK_NETLIST_SOURCE_FILE = 2;
constexpr int YEK_NETLIST_POST_FIT = 8;
constexpr int YEK_NETLIST_POST_FIT_STRICT = 16;
constexpr int YEK_NETLIST_EMPTY = 32;

// The partition type of the design's own partitions (the type every stand-in project gives them);
// the module offers all partitions of this type the post-fit netlist type together.
constexpr int YEK_PARTITION_TYPE_DESIGN = 1;

// Incremental compilation modes of a project.
constexpr int YEK_INCREMENTAL_COMPILATION_OFF = 0;
constexpr int YEK_INCREMENTAL_COMPILATION_ON = 2;

// The short path of the top partition.
constexpr const char* YEK_TOP_PARTITION = "|";

class YEK_PARTITION {
public:
    YEK_PARTITION(int id, std::string name, int type, int netlist_type, bool fixed);
    int get_id() const { return m_id; }
    const std::string& get_name() const { return m_name; }
    int get_partition_type() const { return m_type; }
    int get_netlist_type() const { return m_netlist_type; }
    // Needs an open modification; a fixed partition refuses a change.
    bool set_netlist_type(int netlist_type);

private:
    friend class YEK_PARTITION_MANAGER;
    int m_id;
    std::string m_name;
    int m_type;
    int m_netlist_type;
    bool m_fixed;
    bool m_modifying = false;
};

class YEK_PROJECT_INFO {
public:
    // YEK_INCREMENTAL_COMPILATION_ON when the project uses incremental compilation.
    int get_effective_incremental_compilation_mode() const { return m_mode; }
    void set_effective_incremental_compilation_mode(int mode) { m_mode = mode; }

private:
    int m_mode = YEK_INCREMENTAL_COMPILATION_OFF;
};

class YEK_PARTITION_MANAGER {
public:
    static YEK_PARTITION_MANAGER* get_instance(int, int, int);
    YEK_PROJECT_INFO* get_project_info() { return &m_info; }

    // The partition of a design unit by its short path (YEK_TOP_PARTITION for the top one).
    YEK_PARTITION* get_partition_by_short_hpath(const std::string& short_hpath) const;
    const std::map<std::string, std::unique_ptr<YEK_PARTITION>>& get_partition_map() const { return m_partitions; }
    bool begin_modify();
    bool end_modify(bool cancel);

    // Loading a project.
    void clear();
    YEK_PARTITION* add_partition(const std::string& short_hpath, int type, int netlist_type, bool fixed);

private:
    YEK_PROJECT_INFO m_info;
    std::map<std::string, std::unique_ptr<YEK_PARTITION>> m_partitions;
    std::map<int, int> m_saved;  // netlist types before the open modification, by id
    bool m_modifying = false;
};
