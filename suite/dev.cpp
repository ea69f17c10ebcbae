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
