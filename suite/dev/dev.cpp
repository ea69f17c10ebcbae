#include "dev.h"

#include <QString>

#include <algorithm>

namespace {

struct FAMILY {
    const char* name;
    std::vector<int> traits;
};

// The families the stand-in knows, in place of the suite's device database: enough to have every
// combination of the traits the module asks about, including one family without the logic analyzer.
const std::vector<FAMILY>& families()
{
    static const std::vector<FAMILY> list = {
        {"Talvern", {DEV_TRAIT_LOGIC_ANALYZER}},
        {"Talvern II", {DEV_TRAIT_LOGIC_ANALYZER, DEV_TRAIT_FAST_RECOMPILATION}},
        {"Meridian", {DEV_TRAIT_LOGIC_ANALYZER, DEV_TRAIT_FAST_RECOMPILATION}},
        {"Corsa", {DEV_TRAIT_LOGIC_ANALYZER}},
        {"Brisk", {}},
    };
    return list;
}

}  // namespace

DEV_FAMILY_MANAGER* DEV_FAMILY_MANAGER::get_instance()
{
    static DEV_FAMILY_MANAGER manager;
    return &manager;
}

bool DEV_FAMILY_MANAGER::has_trait(DEV_FAMILY_ENUM family, int trait) const
{
    if (family < 0 || family >= static_cast<int>(families().size()))
        return false;
    const auto& traits = families()[family].traits;
    return std::find(traits.begin(), traits.end(), trait) != traits.end();
}

std::string DEV_FAMILY_MANAGER::get_name(DEV_FAMILY_ENUM family) const
{
    return family >= 0 && family < static_cast<int>(families().size()) ? families()[family].name : "";
}

std::vector<std::string> DEV_FAMILY_MANAGER::get_family_names() const
{
    std::vector<std::string> names;
    for (const FAMILY& f : families())
        names.emplace_back(f.name);
    return names;
}

DEV_FAMILY_ENUM plon_get_dev_family_enum_by_string(const char* name)
{
    for (size_t i = 0; name && i < families().size(); ++i)
        if (QString(families()[i].name).compare(QString::fromLatin1(name), Qt::CaseInsensitive) == 0)
            return static_cast<DEV_FAMILY_ENUM>(i);
    return -1;
}

namespace {

struct PART_RESOURCE {
    const char* part;
    int type;
    int count;
};

// The parts the stand-in knows resources of, in place of the suite's device database: the
// Meridian parts can route debug nodes incrementally (type 32), the Talvern parts cannot.
constexpr PART_RESOURCE PART_RESOURCES[] = {
    {"MR2-C40", 32, 1},
    {"MR2-C20", 32, 1},
    {"TV1-A10", 7, 4},
};

}  // namespace

DEV_PART_MANAGER* DEV_PART_MANAGER::get_instance()
{
    static DEV_PART_MANAGER manager;
    return &manager;
}

int DEV_PART_MANAGER::get_device_resource_count_of(const std::string& part, int type) const
{
    for (const PART_RESOURCE& r : PART_RESOURCES)
        if (QString::fromStdString(part).compare(r.part, Qt::CaseInsensitive) == 0 && r.type == type)
            return r.count;
    return 0;
}
