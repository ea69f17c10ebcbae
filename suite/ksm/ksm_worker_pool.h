// Threads kept from one job to the next: a capture's or an offload's helpers run on them.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Helper threads started once and kept, waiting, between jobs. Threads started and ended per
// job cost more than their start: a thread that ends has the system drop its stack's pages,
// which interrupts every CPU the process runs on to flush its address caches. A job is a
// function called by several of the pool's threads at once, beside the thread that started it,
// which does the same work itself: the copies share the work out among them (a queue, a
// counter), so a job is done whichever of its copies ran. Copies wait for a thread to come free
// when the pool's threads are busy with other jobs, and those not begun when the starter waits
// for the job never run: no job waits for another one.
class KSM_WORKER_POOL {
public:
    struct JOB;

    // A pool of at most `threads` threads, started as jobs ask for them.
    explicit KSM_WORKER_POOL(size_t threads);
    // Waits for the copies that run, and ends the threads; copies not begun never run.
    ~KSM_WORKER_POOL();
    KSM_WORKER_POOL(const KSM_WORKER_POOL&) = delete;
    KSM_WORKER_POOL& operator=(const KSM_WORKER_POOL&) = delete;

    // The process's pool: a thread fewer than the CPUs the process may keep busy when it is
    // first used (ksm_usable_cpus), the thread that starts a job being the other one. Ended at
    // the process's exit, after the objects made before its first use were destroyed.
    static KSM_WORKER_POOL& shared();

    // Calls work() on up to `copies` of the pool's threads, each as it comes free.
    std::shared_ptr<JOB> start(size_t copies, std::function<void()> work);
    // Returns once no copy of the job runs, the copies not begun by then dropped; rethrows the
    // first exception a copy threw. Waiting again for the job returns at once.
    void wait(const std::shared_ptr<JOB>& job);

private:
    void serve();
    void run(const std::shared_ptr<JOB>& job, std::unique_lock<std::mutex>& hold);

    const size_t m_size;
    std::mutex m_lock;
    std::condition_variable m_queued, m_finished;
    std::deque<std::shared_ptr<JOB>> m_jobs;  // those with copies not begun, oldest first
    std::vector<std::thread> m_threads;
    bool m_quit = false;
};
