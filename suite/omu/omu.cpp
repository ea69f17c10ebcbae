#include "omu.h"

bool OMU_REVISION_MANAGER::read_lock()
{
    if (!m_available)
        return false;
    ++m_read_locks;
    return true;
}

void OMU_REVISION_MANAGER::read_unlock()
{
    if (m_read_locks > 0)
        --m_read_locks;
}

bool OMU_REVISION_MANAGER::write_lock(bool)
{
    if (!m_available || m_write_locked)
        return false;
    m_write_locked = true;
    return true;
}

void OMU_REVISION_MANAGER::write_unlock(bool) { m_write_locked = false; }

OMU_MANAGER* OMU_MANAGER::get_omu_manager()
{
    static OMU_MANAGER* manager = new OMU_MANAGER;  // lives for the process
    return manager;
}

bool OMU_MANAGER::get_assignment(int variable, OMU_ASSIGNMENT* assignment) const
{
    if (!m_open || (!m_revision.is_read_locked() && !m_revision.is_write_locked()))
        return false;
    auto it = m_assignments.find(variable);
    if (it == m_assignments.end())
        return false;
    *assignment = it->second;
    return true;
}

bool OMU_MANAGER::set_assignment(int variable, const OMU_ASSIGNMENT& assignment)
{
    if (!m_open || !m_revision.is_write_locked())
        return false;
    m_assignments[variable] = assignment;
    return true;
}

void OMU_MANAGER::open_project(const std::string& directory, const std::string& top_entity)
{
    m_open = true;
    m_directory = directory;
    m_top_entity = top_entity;
    m_assignments.clear();
}

void OMU_MANAGER::close_project()
{
    m_open = false;
    m_directory.clear();
    m_top_entity.clear();
    m_assignments.clear();
}

void OMU_MANAGER::load_assignment(int variable, const std::string& value) { m_assignments[variable].value = value; }
