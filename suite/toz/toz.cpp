#include "toz.h"

#include "msg.h"

#include <QString>

TOZ_INSTANCE_NAME::TOZ_INSTANCE_NAME(std::string short_hpath, unsigned int flags, TOZ_INSTANCE_NAME* parent)
    : m_short_hpath(std::move(short_hpath)), m_flags(flags), m_parent(parent)
{
}

bool TOZ_INSTANCE_NAME::get_members(std::vector<TOZ_INSTANCE_NAME*>* members) const
{
    if (m_dimension == 0)
        return false;
    for (const auto& child : m_children)
        members->push_back(child.get());
    return !m_children.empty();
}

std::vector<TOZ_INSTANCE_NAME*> TOZ_INSTANCE_NAME::get_child_names(int expand) const
{
    std::vector<TOZ_INSTANCE_NAME*> names;
    for (const auto& child : m_children) {
        if (expand == 1 && child->m_dimension != 0)
            for (TOZ_INSTANCE_NAME* bit : child->get_child_names(expand))
                names.push_back(bit);
        else
            names.push_back(child.get());
    }
    return names;
}

int TOZ_INSTANCE_NAME::get_kind() const
{
    if (m_dimension != 0)
        return TOZ_NAME_KIND_BUS;
    return m_flags == 0 && !m_children.empty() ? TOZ_NAME_KIND_UNIT : TOZ_NAME_KIND_NODE;
}

std::string TOZ_INSTANCE_NAME::get_unit_name() const
{
    const size_t bar = m_short_hpath.rfind('|');
    return bar == std::string::npos ? m_short_hpath : m_short_hpath.substr(bar + 1);
}

namespace {

bool same_name(const std::string& a, const std::string& b, bool case_sensitive)
{
    return case_sensitive ? a == b
                          : QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

TOZ_INSTANCE_NAME* TOZ_INSTANCE_NAME::find_in_descendants(const std::string& name, int, bool) const
{
    for (const auto& child : m_children) {
        if (same_name(child->m_short_hpath, name, m_case_sensitive))
            return child.get();
        if (TOZ_INSTANCE_NAME* found = child->find_in_descendants(name, 0, true))
            return found;
    }
    return nullptr;
}

namespace {

bool matches_wildcard(const char* text, const char* pattern)
{
    if (*pattern == '*')
        return matches_wildcard(text, pattern + 1) || (*text && matches_wildcard(text + 1, pattern));
    return *pattern ? *text == *pattern && matches_wildcard(text + 1, pattern + 1) : !*text;
}

}  // namespace

void TOZ_INSTANCE_NAME::find_descendants_matching_wildcard(const std::string& pattern,
                                                           std::vector<TOZ_INSTANCE_NAME*>* out) const
{
    for (const auto& child : m_children) {
        if (matches_wildcard(child->m_short_hpath.c_str(), pattern.c_str()))
            out->push_back(child.get());
        child->find_descendants_matching_wildcard(pattern, out);
    }
}

void TOZ_INSTANCE_NAME::get_range(int dimension, int* first, int* last) const
{
    const bool valid = dimension == 0 || dimension == 1;
    *first = valid ? m_ranges[dimension][0] : 0;
    *last = valid ? m_ranges[dimension][1] : 0;
}

void TOZ_INSTANCE_NAME::set_range(int dimension, int first, int last)
{
    if (dimension == 0 || dimension == 1) {
        m_ranges[dimension][0] = first;
        m_ranges[dimension][1] = last;
    }
}

TOZ_INSTANCE_NAME* TOZ_INSTANCE_NAME::add_child(std::string short_hpath, unsigned int flags)
{
    m_children.push_back(std::make_unique<TOZ_INSTANCE_NAME>(std::move(short_hpath), flags, this));
    m_children.back()->m_case_sensitive = m_case_sensitive;
    return m_children.back().get();
}

TOZ_NAMESPACE::TOZ_NAMESPACE(std::string top, bool case_sensitive)
    : m_top(std::move(top)), m_case_sensitive(case_sensitive),
      m_root(std::make_unique<TOZ_INSTANCE_NAME>(std::string(), 0u, nullptr))
{
    m_root->set_case_sensitive(case_sensitive);
    m_root->set_namespace(this);
}

std::string TOZ_NAMESPACE::key(const std::string& name) const
{
    return m_case_sensitive ? name : QString::fromStdString(name).toLower().toStdString();
}

TOZ_INSTANCE_NAME* TOZ_NAMESPACE::get_instance_name(const std::string& name) const
{
    auto it = m_index.find(key(name));
    if (it != m_index.end())
        return it->second;
    const std::string prefix = m_top + "|";
    if (name.size() > prefix.size() && key(name.substr(0, prefix.size())) == key(prefix)) {
        it = m_index.find(key(name.substr(prefix.size())));
        if (it != m_index.end())
            return it->second;
    }
    return nullptr;
}

namespace {

void collect(const TOZ_INSTANCE_NAME* name, std::vector<const TOZ_INSTANCE_NAME*>* out)
{
    for (const auto& child : name->get_children()) {
        const bool unit = child->get_flags() == 0 && child->size_dimension() == 0 && !child->get_children().empty();
        if (!unit)
            out->push_back(child.get());
        if (child->size_dimension() == 0)
            collect(child.get(), out);
    }
}

}  // namespace

std::vector<const TOZ_INSTANCE_NAME*> TOZ_NAMESPACE::get_all_names() const
{
    std::vector<const TOZ_INSTANCE_NAME*> names;
    collect(m_root.get(), &names);
    return names;
}

bool TOZ_NAMESPACE::get_assignment(int number, std::string* value) const
{
    auto it = m_assignments.find(number);
    if (it == m_assignments.end())
        return false;
    *value = it->second;
    return true;
}

TOZ_INSTANCE_NAME* TOZ_NAMESPACE::add(const std::string& short_hpath, unsigned int flags)
{
    if (TOZ_INSTANCE_NAME* existing = get_instance_name(short_hpath))
        return existing;
    TOZ_INSTANCE_NAME* parent = m_root.get();
    const size_t bar = short_hpath.rfind('|');
    const size_t bracket = short_hpath.rfind('[');
    if (bracket != std::string::npos && (bar == std::string::npos || bracket > bar))
        parent = get_instance_name(short_hpath.substr(0, bracket));  // a bit of a bus or array row
    else if (bar != std::string::npos)
        parent = add(short_hpath.substr(0, bar), 0);
    if (!parent)
        parent = m_root.get();
    TOZ_INSTANCE_NAME* name = parent->add_child(short_hpath, flags);
    m_index[key(short_hpath)] = name;
    return name;
}

TOZ_NAMESPACE* TOZ_INSTANCE_NAME::get_namespace() const
{
    const TOZ_INSTANCE_NAME* root = this;
    while (root->m_parent)
        root = root->m_parent;
    return root->m_space;
}

MSG_GEN_LOCATION_SCHEMA* TOZ_INSTANCE_NAME::make_location_schema() const
{
    const TOZ_NAMESPACE* space = get_namespace();
    if (!space || !space->is_lent() || m_short_hpath.empty())
        return nullptr;
    auto* schema = new MSG_GEN_LOCATION_SCHEMA;
    schema->set_name(m_short_hpath);
    const TOZ_INSTANCE_NAME* unit = m_parent;
    while (unit && unit->m_parent && unit->get_kind() != TOZ_NAME_KIND_UNIT)
        unit = unit->m_parent;
    schema->set_unit(unit && unit->m_parent ? unit->get_unit_name() : space->get_hpath_to_root());
    auto* instance = new MSG_GEN_LOC_INSTANCE;
    instance->set_instance_name(m_short_hpath);
    schema->add_object(instance);
    return schema;
}

TOZ_NAME_MGR* TOZ_NAME_MGR::get_name_mgr()
{
    static TOZ_NAME_MGR manager;
    return &manager;
}

long TOZ_NAME_MGR::get_iname_id(const TOZ_INSTANCE_NAME* name)
{
    if (!name)
        return -1;
    const auto inserted = m_ids.emplace(name->get_short_hpath(), static_cast<long>(m_ids.size()) + 1);
    return inserted.first->second;
}

std::string TOZ_NAME_MGR::get_short_hpath(long id) const
{
    for (const auto& [path, known] : m_ids)
        if (known == id)
            return path;
    return std::string();
}
