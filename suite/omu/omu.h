// The suite's project assignments: whether a project is open, its directory, and the
// assignments by variable number, read and written under the revision's locks.
#pragma once

#include <array>
#include <map>
#include <string>

// Assignment variables the module reads or writes.
constexpr int OMU_VAR_DEVICE_FAMILY = 344;
constexpr int OMU_VAR_DEVICE_PART = 623;
constexpr int OMU_VAR_SESSION_FILE = 1412;
constexpr int OMU_VAR_SESSION_ENABLE = 1414;
constexpr int OMU_VAR_SESSION_FILE_COPY = 57;

// One assignment: its value and the arguments (entity, section and the like) it was made with.
struct OMU_ASSIGNMENT {
    std::string value;
    std::array<std::string, 15> arguments;
};

class OMU_REVISION_MANAGER {
public:
    bool read_lock();
    void read_unlock();
    bool write_lock(bool wait);
    void write_unlock(bool notify);
    bool is_read_locked() const { return m_read_locks > 0; }
    bool is_write_locked() const { return m_write_locked; }
    // Test switch: locks cannot be taken (another process holds them).
    void set_locks_available(bool available) { m_available = available; }

private:
    int m_read_locks = 0;
    bool m_write_locked = false;
    bool m_available = true;
};

class OMU_MANAGER {
public:
    static OMU_MANAGER* get_omu_manager();

    bool is_project_open() const { return m_open; }
    const std::string& get_project_directory() const { return m_directory; }
    const std::string& get_top_entity() const { return m_top_entity; }
    OMU_REVISION_MANAGER* get_revision_manager() { return &m_revision; }

    // Reading needs a read or write lock, writing a write lock.
    bool get_assignment(int variable, OMU_ASSIGNMENT* assignment) const;
    bool set_assignment(int variable, const OMU_ASSIGNMENT& assignment);

    // Opening and closing the project (the project description loader and tests do this).
    void open_project(const std::string& directory, const std::string& top_entity);
    void close_project();
    // Sets an assignment whatever the locks (loading a project).
    void load_assignment(int variable, const std::string& value);

private:
    bool m_open = false;
    std::string m_directory;
    std::string m_top_entity;
    std::map<int, OMU_ASSIGNMENT> m_assignments;
    OMU_REVISION_MANAGER m_revision;
};
