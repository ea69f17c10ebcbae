// The suite's partition database and project information.
#pragma once

class YEK_PROJECT_INFO {
public:
    // 2 when the project uses incremental compilation.
    int get_effective_incremental_compilation_mode() const { return m_mode; }
    void set_effective_incremental_compilation_mode(int mode) { m_mode = mode; }

private:
    int m_mode = 0;
};

class YEK_PARTITION_MANAGER {
public:
    static YEK_PARTITION_MANAGER* get_instance(int, int, int);
    YEK_PROJECT_INFO* get_project_info() { return &m_info; }

private:
    YEK_PROJECT_INFO m_info;
};
