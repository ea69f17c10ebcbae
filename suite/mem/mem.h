// Memory library of the suite: every module registers itself under its tag while it is loaded,
// so that the library can account its allocations to it.
#pragma once

#include <string>
#include <vector>

class MEM_INITIALIZER {
public:
    explicit MEM_INITIALIZER(const char* tag);
    ~MEM_INITIALIZER();
    MEM_INITIALIZER(const MEM_INITIALIZER&) = delete;
    MEM_INITIALIZER& operator=(const MEM_INITIALIZER&) = delete;

    // The tags of the living registrations, oldest first.
    static std::vector<std::string> registered_tags();

private:
    std::string m_tag;
};
