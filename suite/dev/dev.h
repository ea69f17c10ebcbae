// The suite's device database: device families by name and the traits they have.
#pragma once

#include "ksm.h"

#include <string>
#include <vector>

// Family traits the module asks about.
constexpr int DEV_TRAIT_LOGIC_ANALYZER = 22;
constexpr int DEV_TRAIT_FAST_RECOMPILATION = 23;

class DEV_FAMILY_MANAGER {
public:
    static DEV_FAMILY_MANAGER* get_instance();
    bool has_trait(DEV_FAMILY_ENUM family, int trait) const;
    std::string get_name(DEV_FAMILY_ENUM family) const;
    std::vector<std::string> get_family_names() const;
};

// The family of that name (case-insensitive), or -1 for none.
DEV_FAMILY_ENUM plon_get_dev_family_enum_by_string(const char* name);

// The generic part name: a project that has not chosen its device part yet.
constexpr const char* DEV_GENERIC_PART = "AUTO";

// The suite's device parts and their resources by resource type.
class DEV_PART_MANAGER {
public:
    static DEV_PART_MANAGER* get_instance();
    // How many resources of `type` the part has; 0 for a part the database does not know.
    int get_device_resource_count_of(const std::string& part, int type) const;
};
