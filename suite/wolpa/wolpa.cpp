#include "wolpa.h"

#include "toz.h"

WOLPA_MANAGER* WOLPA_MANAGER::get_wolpa_manager()
{
    static WOLPA_MANAGER* manager = new WOLPA_MANAGER;  // lives for the process
    return manager;
}

TOZ_NAMESPACE* WOLPA_MANAGER::get_toz_cmp_action_pt_instance(const char* client, int kind)
{
    auto it = m_databases.find(kind);
    if (it == m_databases.end())
        return nullptr;
    ++m_borrows[client ? client : ""];
    it->second->lend();
    return it->second.get();
}

void WOLPA_MANAGER::unget_toz_cmp_action_pt_instance(const char* client, int kind)
{
    auto it = m_borrows.find(client ? client : "");
    auto database = m_databases.find(kind);
    if (database != m_databases.end() && it != m_borrows.end() && it->second > 0) {
        --it->second;
        database->second->give_back();
    }
}

int WOLPA_MANAGER::get_outstanding_borrows() const
{
    int total = 0;
    for (const auto& [client, count] : m_borrows)
        total += count;
    return total;
}

void WOLPA_MANAGER::set_database(int kind, std::unique_ptr<TOZ_NAMESPACE> database)
{
    m_databases[kind] = std::move(database);
}

void WOLPA_MANAGER::clear()
{
    m_databases.clear();
    m_borrows.clear();
    m_revision.clear();
}
