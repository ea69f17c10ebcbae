// The suite's project: a project description file that fills the project assignments, the
// compiled hierarchy databases, the partitions and the device choice of the stand-ins.
//
// The description is a text file, one statement per line ('#' starts a comment; a word with
// blanks is written in double quotes):
//   project <name>                         top <entity>             family <device family>
//   device <part>                          incremental on|off       case-sensitive yes|no
//   assignment <number> <value>            project assignment (e.g. 1414 On)
//   compiled-assignment <number> <value>   assignment of the compiled design (e.g. 350 ...)
//   partition <unit path>|"|" type <n> netlist <source|post-fit|post-fit-strict|none|empty|<n>> [fixed]
//   node <path>[<msb>..<lsb>][<msb>..<lsb>] <word>...
//       words: input output bidir memory registered combinatorial machine (signal type),
//              pre post (which compiled databases hold it), untappable, excluded,
//              behaviour <rest of the line> (what the simulated hardware makes it do)
// Paths are written below the top entity, parts separated by '|'. A bus index is a 32-bit
// number, and the nodes of a description have at most PRJ_MAX_NODE_MEMBERS members (bits) in
// all, far more than a node list can hold; a description beyond either is refused.
#pragma once

#include <map>
#include <string>
#include <vector>

constexpr long long PRJ_MAX_NODE_MEMBERS = 1 << 20;

struct PRJ_NODE {
    std::string path;        // without dimensions
    unsigned int flags = 0;  // signal-type bits
    bool pre = false;
    bool post = false;
    bool tappable = true;
    bool excluded = false;
    std::vector<std::pair<int, int>> dimensions;  // (msb, lsb) pairs
    std::string behaviour;
};

class PRJ_PROJECT {
public:
    // Loads a description and opens it as the suite's project; false with a reason that names
    // the file and the line.
    static bool open(const std::string& path, std::string* error);
    static void close();
    static const PRJ_PROJECT* get_open();

    const std::string& get_path() const { return m_path; }
    const std::string& get_name() const { return m_name; }
    const std::string& get_top() const { return m_top; }
    const std::vector<PRJ_NODE>& get_nodes() const { return m_nodes; }
    const PRJ_NODE* find_node(const std::string& path) const;

private:
    friend class PRJ_READER;
    std::string m_path;
    std::string m_name;
    std::string m_top;
    std::string m_family;
    std::string m_device;
    bool m_incremental = false;
    bool m_case_sensitive = true;
    std::map<int, std::string> m_assignments;
    std::map<int, std::string> m_compiled_assignments;
    struct PARTITION {
        std::string path;
        int type;
        int netlist;
        bool fixed;
    };
    std::vector<PARTITION> m_partitions;
    std::vector<PRJ_NODE> m_nodes;

    void install() const;
};
