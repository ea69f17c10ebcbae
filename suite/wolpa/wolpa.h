// The suite's database-manager accessor: lends the compiled hierarchy databases to clients,
// each borrow given back under the same client name.
#pragma once

#include <map>
#include <memory>
#include <string>

class TOZ_NAMESPACE;

class WOLPA_MANAGER {
public:
    static WOLPA_MANAGER* get_wolpa_manager();

    // The compiled database of a kind (TOZ_KIND_PRE_SYNTHESIS or TOZ_KIND_POST_FITTING), or null when the
    // project has not been compiled that far.
    TOZ_NAMESPACE* get_toz_cmp_action_pt_instance(const char* client, int kind);
    void unget_toz_cmp_action_pt_instance(const char* client, int kind);
    // Borrows not given back yet (a test checks the bracket).
    int get_outstanding_borrows() const;

    // The project's revision, whose name the compiler's database files carry; null without one.
    const char* get_revision_name() const { return m_revision.empty() ? nullptr : m_revision.c_str(); }

    // Loading a project.
    void set_revision_name(const std::string& name) { m_revision = name; }
    void set_database(int kind, std::unique_ptr<TOZ_NAMESPACE> database);
    void clear();

private:
    std::map<int, std::unique_ptr<TOZ_NAMESPACE>> m_databases;
    std::map<std::string, int> m_borrows;
    std::string m_revision;
};
