// Small suite services: configuration switches, module path, hash sizing, registry, usable CPUs,
// the worker pool.
#include "cfg.h"
#include "gen.h"
#include "hux.h"
#include "ksm.h"
#include "ksm_worker_pool.h"
#include "nixq.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <stdexcept>
#include <thread>

#include <sched.h>

namespace {

TEST(ConfigSwitches, EnvironmentWinsOverFileWhichWinsOverDefault)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("switches.cfg");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("# comment\nvok_show_equation = on\nzlm_split_bus_values=OFF\nbroken = maybe\n");
    file.close();
    setenv("KORVANE_CFG_FILE", path.toLocal8Bit().constData(), 1);

    EXPECT_TRUE(cfg_is_on("vok_show_equation", false));
    EXPECT_FALSE(cfg_is_on("zlm_split_bus_values", true));
    EXPECT_TRUE(cfg_is_on("broken", true));  // not a switch value: the default holds
    EXPECT_FALSE(cfg_is_on("absent", false));

    setenv("KORVANE_CFG_vok_show_equation", "no", 1);
    EXPECT_FALSE(cfg_is_on("vok_show_equation", true));
    unsetenv("KORVANE_CFG_vok_show_equation");
    unsetenv("KORVANE_CFG_FILE");
    EXPECT_TRUE(cfg_is_on("vok_show_equation", true));
}

TEST(ModulePath, EndsWithSeparatorAndCanBeOverridden)
{
    const std::string own = gen_get_module_path();
    ASSERT_FALSE(own.empty());
    EXPECT_EQ(own.back(), '/');
    gen_set_module_path("/tmp/plugins");
    EXPECT_EQ(gen_get_module_path(), "/tmp/plugins/");
    gen_set_module_path("");
    EXPECT_EQ(gen_get_module_path(), own);
}

TEST(HashSizing, GivesAPrimeAtLeastHalfAgainAsLarge)
{
    for (unsigned wanted : {0u, 1u, 60u, 65u, 1000u, 123457u}) {
        const unsigned size = hux_hash_50_percent_increase_size(wanted);
        EXPECT_GE(size, wanted + wanted / 2);
        for (unsigned d = 2; d * d <= size; ++d)
            EXPECT_NE(size % d, 0u) << size;
    }
}

TEST(Registry, ValuesPersistPerSubKey)
{
    QTemporaryDir dir;
    setenv("KORVANE_SETTINGS_DIR", dir.path().toLocal8Bit().constData(), 1);
    NIXQ_REGISTRY_KEY key(32);
    QVariant value;
    EXPECT_FALSE(key.get_value("show_time_bars", &value));
    EXPECT_TRUE(key.set_value("show_time_bars", false));
    EXPECT_TRUE(NIXQ_REGISTRY_KEY(32).get_value("show_time_bars", &value));
    EXPECT_FALSE(value.toBool());
    EXPECT_FALSE(NIXQ_REGISTRY_KEY(33).get_value("show_time_bars", &value));
    key.remove_value("show_time_bars");
    EXPECT_FALSE(key.get_value("show_time_bars", &value));
    unsetenv("KORVANE_SETTINGS_DIR");
}

}  // namespace

// Threads are sized by the CPUs the process is given, not by the machine's: a thread pinned to
// one CPU counts one, and a control group's quota counts rounded up.
TEST(UsableCpus, FollowTheAffinityMaskAndTheQuota)
{
    cpu_set_t saved;
    ASSERT_EQ(sched_getaffinity(0, sizeof saved, &saved), 0);
    EXPECT_LE(ksm_usable_cpus(), static_cast<size_t>(CPU_COUNT(&saved)));
    cpu_set_t one;
    CPU_ZERO(&one);
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu)
        if (CPU_ISSET(cpu, &saved)) {
            CPU_SET(cpu, &one);
            break;
        }
    ASSERT_EQ(sched_setaffinity(0, sizeof one, &one), 0);
    EXPECT_EQ(ksm_usable_cpus(), 1u);
    ASSERT_EQ(sched_setaffinity(0, sizeof saved, &saved), 0);

    const struct {
        const char* limit;
        size_t cpus;
    } quotas[] = {{"max 100000\n", 0}, {"200000 100000\n", 2}, {"150000 100000", 2}, {"50000 100000", 1}, {"", 0},
                  {"-1 100000", 0}};
    for (const auto& quota : quotas)
        EXPECT_EQ(ksm_cpus_of_quota(quota.limit), quota.cpus) << quota.limit;

    // Quotas read from control group files: the unified hierarchy's on the way from the
    // process's group up, the first hierarchy's CPU controller, the smallest of them all.
    const size_t affinity = static_cast<size_t>(CPU_COUNT(&saved));
    if (affinity < 3)
        GTEST_SKIP() << "a quota smaller than the affinity needs 3 CPUs, the process has " << affinity;
    const struct {
        const char* groups;  // the lines of /proc/self/cgroup
        const char *leaf, *parent, *v1_quota;
        size_t cpus;
    } groups[] = {
        {"0::/a/b\n", "max 100000\n", "200000 100000\n", "", 2},
        {"0::/a/b\n", "100000 100000\n", "200000 100000\n", "", 1},
        {"4:cpu,cpuacct:/\n", "", "", "200000", 2},
        {"0::/a/b\n", "200000 100000\n", "max 100000\n", "100000", 1},
        {"0::/a/b\n", "max 100000\n", "", "-1", affinity},
    };
    for (const auto& g : groups) {
        SCOPED_TRACE(std::string(g.groups) + g.leaf + g.parent + g.v1_quota);
        QTemporaryDir root;
        const auto write = [&root](const QString& path, const char* text) {
            QDir(root.path()).mkpath(QFileInfo(path).path());
            QFile file(root.filePath(path));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(text);
        };
        write("proc/self/cgroup", g.groups);
        write("sys/fs/cgroup/a/b/cpu.max", g.leaf);
        write("sys/fs/cgroup/a/cpu.max", g.parent);
        write("sys/fs/cgroup/cpu,cpuacct/cpu.cfs_quota_us", g.v1_quota);
        write("sys/fs/cgroup/cpu,cpuacct/cpu.cfs_period_us", "100000\n");
        EXPECT_EQ(ksm_usable_cpus(root.path().toStdString()), g.cpus);
    }
}

// The memory the process may use: the machine's, less where a control group limits it, on the
// way from the process's group up (unified hierarchy) or in the first hierarchy's memory
// controller; a group without a limit ("max", or the first hierarchy's huge number) leaves it.
TEST(SuiteServices, UsableMemoryIsTheControlGroupsLimitWhereItIsLower)
{
    constexpr size_t MB = 1 << 20;
    const size_t machine = ksm_usable_memory("/nonexistent");
    ASSERT_GT(machine, 2048 * MB);
    const struct {
        const char* groups;  // the lines of /proc/self/cgroup
        const char *leaf, *parent, *v1_limit;
        size_t memory;
    } groups[] = {
        {"0::/a/b\n", "1073741824\n", "max\n", "", 1024 * MB},
        {"0::/a/b\n", "max\n", "536870912\n", "", 512 * MB},
        {"4:memory:/a\n0::/\n", "", "", "805306368\n", 768 * MB},
        {"4:memory:/a\n", "", "", "9223372036854771712\n", machine},
        {"0::/\n", "", "", "", machine},
    };
    for (const auto& g : groups) {
        SCOPED_TRACE(std::string(g.groups) + g.leaf + g.parent + g.v1_limit);
        QTemporaryDir root;
        const auto write = [&root](const QString& path, const char* text) {
            QDir(root.path()).mkpath(QFileInfo(path).path());
            QFile file(root.filePath(path));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(text);
        };
        write("proc/self/cgroup", g.groups);
        write("sys/fs/cgroup/a/b/memory.max", g.leaf);
        write("sys/fs/cgroup/a/memory.max", g.parent);
        write("sys/fs/cgroup/memory/a/memory.limit_in_bytes", g.v1_limit);
        EXPECT_EQ(ksm_usable_memory(root.path().toStdString()), g.memory);
    }
}

namespace {

// Whether `done` holds within five seconds.
template <class DONE> bool within_seconds(DONE done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!done() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return done();
}

}  // namespace

// Every copy a job asks for runs, also more copies than the pool has threads (they take the
// threads as these come free), and never more at once than the pool's threads; the same threads
// then run the next job.
TEST(WorkerPool, RunsEveryCopyOnAtMostItsThreads)
{
    const struct {
        size_t threads, copies;
    } cases[] = {{1, 4}, {2, 2}, {3, 8}, {4, 1}};
    for (const auto& c : cases) {
        KSM_WORKER_POOL pool(c.threads);
        for (int job = 0; job < 2; ++job) {
            SCOPED_TRACE(testing::Message() << c.threads << " threads, " << c.copies << " copies, job " << job);
            std::atomic<size_t> ran{0}, running{0}, most{0};
            const auto started = pool.start(c.copies, [&] {
                const size_t now = ++running;
                for (size_t seen = most; seen < now && !most.compare_exchange_weak(seen, now);) {
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                --running, ++ran;
            });
            EXPECT_TRUE(within_seconds([&] { return ran == c.copies; }));
            pool.wait(started);
            EXPECT_EQ(ran, c.copies);
            EXPECT_LE(most, c.threads);
        }
    }
}

// A copy's exception reaches the one that waits for the job, once, and the pool goes on with the
// next job; copies that no thread began when the job is waited for are dropped, so a job never
// waits for another one's threads; a pool ends with copies queued.
TEST(WorkerPool, AFailedOrWaitedJobLeavesThePoolRunning)
{
    std::atomic<bool> release{false}, blocking{false};
    std::atomic<int> ran{0};
    KSM_WORKER_POOL pool(1);
    const auto failed = pool.start(2, [&] {
        ++ran;
        throw std::runtime_error("copy failed");
    });
    ASSERT_TRUE(within_seconds([&] { return ran == 2; }));
    EXPECT_THROW(pool.wait(failed), std::runtime_error);
    EXPECT_NO_THROW(pool.wait(failed));

    const auto blocker = pool.start(1, [&] {
        blocking = true;
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    ASSERT_TRUE(within_seconds([&] { return blocking.load(); }));
    ran = 0;
    const auto queued = pool.start(3, [&] { ++ran; });
    std::future<void> waited = std::async(std::launch::async, [&] { pool.wait(queued); });
    EXPECT_TRUE(waited.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        << "the wait for a job stayed behind another job's thread";
    EXPECT_EQ(ran.load(), 0);
    release = true;
    waited.get();
    pool.wait(blocker);

    const auto next = pool.start(1, [&] { ++ran; });
    EXPECT_TRUE(within_seconds([&] { return ran == 1; }));
    pool.wait(next);
    pool.start(4, [] { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
}
