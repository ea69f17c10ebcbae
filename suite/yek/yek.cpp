#include "yek.h"

YEK_PARTITION::YEK_PARTITION(int id, std::string name, int type, int netlist_type, bool fixed)
    : m_id(id), m_name(std::move(name)), m_type(type), m_netlist_type(netlist_type), m_fixed(fixed)
{
}

bool YEK_PARTITION::set_netlist_type(int netlist_type)
{
    if (!m_modifying || m_fixed)
        return false;
    m_netlist_type = netlist_type;
    return true;
}

// One partition database, that of the open project, whatever the arguments ask for.
YEK_PARTITION_MANAGER* YEK_PARTITION_MANAGER::get_instance(int, int, int)
{
    static YEK_PARTITION_MANAGER* manager = new YEK_PARTITION_MANAGER;  // lives for the process
    return manager;
}

YEK_PARTITION* YEK_PARTITION_MANAGER::get_partition_by_short_hpath(const std::string& short_hpath) const
{
    auto it = m_partitions.find(short_hpath);
    return it == m_partitions.end() ? nullptr : it->second.get();
}

bool YEK_PARTITION_MANAGER::begin_modify()
{
    if (m_modifying)
        return false;
    m_modifying = true;
    m_saved.clear();
    for (auto& [name, p] : m_partitions) {
        p->m_modifying = true;
        m_saved[p->m_id] = p->m_netlist_type;
    }
    return true;
}

bool YEK_PARTITION_MANAGER::end_modify(bool cancel)
{
    if (!m_modifying)
        return false;
    for (auto& [name, p] : m_partitions) {
        if (cancel)
            p->m_netlist_type = m_saved[p->m_id];
        p->m_modifying = false;
    }
    m_modifying = false;
    return true;
}

void YEK_PARTITION_MANAGER::clear()
{
    m_partitions.clear();
    m_info.set_effective_incremental_compilation_mode(YEK_INCREMENTAL_COMPILATION_OFF);
}

YEK_PARTITION* YEK_PARTITION_MANAGER::add_partition(const std::string& short_hpath, int type, int netlist_type,
                                                    bool fixed)
{
    // The top partition is number 0, the others count up from 1 in the order they come.
    const int id = short_hpath == YEK_TOP_PARTITION ? 0 : static_cast<int>(m_partitions.size()) + 1;
    auto& slot = m_partitions[short_hpath];
    slot = std::make_unique<YEK_PARTITION>(id, short_hpath, type, netlist_type, fixed);
    return slot.get();
}
