// How many CPUs the process may keep busy: the threads of a capture, of a session's open and
// save, and of an export are sized by it, so that a process pinned to two cores or held to a
// quota of two by its control group runs two threads, whatever the machine has.
#include "ksm.h"

#include <sched.h>

#include <algorithm>
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
