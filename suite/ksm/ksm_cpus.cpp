// How many CPUs the process may keep busy: the threads of a capture, of a session's open and
// save, and of an export are sized by it, so that a process pinned to two cores or held to a
// quota of two by its control group runs two threads, whatever the machine has. Likewise the
// memory it may use, which bounds the samples it opens.
#include "ksm.h"

#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

namespace {

// The CPUs the calling thread may run on; 0 when the mask cannot be read.
size_t affinity_cpus()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) != 0)
        return 0;
    return static_cast<size_t>(CPU_COUNT(&set));
}

std::string read_text(const std::string& path)
{
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The control group path of this process on the unified hierarchy ("0::/a/b"); empty if none.
std::string unified_cgroup(const std::string& root)
{
    std::istringstream lines(read_text(root + "/proc/self/cgroup"));
    for (std::string line; std::getline(lines, line);)
        if (line.compare(0, 3, "0::") == 0)
            return line.substr(3);
    return {};
}

// The smallest quota on the way from the process's control group to the root; 0 for none.
size_t quota_cpus(const std::string& root)
{
    size_t smallest = 0;
    std::string group = unified_cgroup(root);
    for (bool more = !group.empty(); more;) {
        const size_t cpus = ksm_cpus_of_quota(read_text(root + "/sys/fs/cgroup" + group + "/cpu.max"));
        if (cpus && (!smallest || cpus < smallest))
            smallest = cpus;
        more = group.size() > 1;
        group.erase(std::max<size_t>(1, group.rfind('/')));
    }
    const std::string v1 = root + "/sys/fs/cgroup/cpu,cpuacct/";
    const std::string v1_limit = read_text(v1 + "cpu.cfs_quota_us") + " " + read_text(v1 + "cpu.cfs_period_us");
    const size_t v1_cpus = ksm_cpus_of_quota(v1_limit);
    return v1_cpus && (!smallest || v1_cpus < smallest) ? v1_cpus : smallest;
}

// The lowest memory limit (`file`, in bytes) of the group at `group` and of those above it, the
// hierarchy mounted at `mount`; SIZE_MAX for none ("max").
size_t lowest_memory_limit(const std::string& mount, std::string group, const char* file)
{
    size_t lowest = SIZE_MAX;
    for (bool more = !group.empty(); more;) {
        std::istringstream text(read_text(mount + group + "/" + file));
        unsigned long long bytes = 0;
        if (text >> bytes && bytes < lowest)
            lowest = static_cast<size_t>(bytes);
        more = group.size() > 1;
        group.erase(std::max<size_t>(1, group.rfind('/')));
    }
    return lowest;
}

// The lowest memory limit of the process's control groups: the unified hierarchy's, and the
// first hierarchy's memory controller's; SIZE_MAX for none.
size_t group_memory(const std::string& root)
{
    size_t lowest = SIZE_MAX;
    std::istringstream lines(read_text(root + "/proc/self/cgroup"));
    for (std::string line; std::getline(lines, line);) {
        const size_t first = line.find(':'), second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos)
            continue;
        const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
        const std::string group = line.substr(second + 1);
        if (controllers == ",,")
            lowest = std::min(lowest, lowest_memory_limit(root + "/sys/fs/cgroup", group, "memory.max"));
        else if (controllers.find(",memory,") != std::string::npos)
            lowest =
                std::min(lowest, lowest_memory_limit(root + "/sys/fs/cgroup/memory", group, "memory.limit_in_bytes"));
    }
    return lowest;
}

size_t machine_memory()
{
    return static_cast<size_t>(sysconf(_SC_PHYS_PAGES)) * static_cast<size_t>(sysconf(_SC_PAGE_SIZE));
}

// The affinity mask's CPUs, fewer when the quota (0: none) allows fewer; at least 1.
size_t usable_cpus(size_t quota)
{
    const size_t affinity = affinity_cpus();
    size_t cpus = affinity ? affinity : 1;
    if (quota)
        cpus = std::min(cpus, quota);
    return std::max<size_t>(1, cpus);
}

}  // namespace

size_t ksm_cpus_of_quota(const std::string& limit)
{
    std::istringstream words(limit);
    long long quota = 0, period = 0;
    if (!(words >> quota >> period) || quota <= 0 || period <= 0)
        return 0;
    return static_cast<size_t>(std::max(1.0, std::ceil(static_cast<double>(quota) / static_cast<double>(period))));
}

size_t ksm_usable_cpus()
{
    static const size_t quota = quota_cpus("");
    return usable_cpus(quota);
}

size_t ksm_usable_cpus(const std::string& root) { return usable_cpus(quota_cpus(root)); }

size_t ksm_usable_memory()
{
    static const size_t group = group_memory("");
    return std::min(machine_memory(), group);
}

size_t ksm_usable_memory(const std::string& root) { return std::min(machine_memory(), group_memory(root)); }
