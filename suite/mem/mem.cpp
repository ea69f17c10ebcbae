#include "mem.h"

#include <algorithm>

namespace {

std::vector<std::string>& tags()
{
    static std::vector<std::string> registered;
    return registered;
}

}  // namespace

MEM_INITIALIZER::MEM_INITIALIZER(const char* tag) : m_tag(tag ? tag : "") { tags().push_back(m_tag); }

MEM_INITIALIZER::~MEM_INITIALIZER()
{
    std::vector<std::string>& registered = tags();
    const auto it = std::find(registered.rbegin(), registered.rend(), m_tag);
    if (it != registered.rend())
        registered.erase(std::next(it).base());
}

std::vector<std::string> MEM_INITIALIZER::registered_tags() { return tags(); }
