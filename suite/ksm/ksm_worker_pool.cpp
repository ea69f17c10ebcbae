// Threads kept from one job to the next, each job's copies handed to them as they come free.
#include "ksm_worker_pool.h"

#include "ksm.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <utility>

struct KSM_WORKER_POOL::JOB {
    std::function<void()> work;
    size_t waiting = 0;  // copies not begun
    size_t running = 0;
    std::exception_ptr failure;  // the first a copy threw
};

KSM_WORKER_POOL::KSM_WORKER_POOL(size_t threads) : m_size(threads) {}

KSM_WORKER_POOL::~KSM_WORKER_POOL()
{
    {
        std::lock_guard<std::mutex> hold(m_lock);
        m_quit = true;
    }
    m_queued.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
}

KSM_WORKER_POOL& KSM_WORKER_POOL::shared()
{
    static KSM_WORKER_POOL pool(ksm_usable_cpus() - 1);
    return pool;
}

std::shared_ptr<KSM_WORKER_POOL::JOB> KSM_WORKER_POOL::start(size_t copies, std::function<void()> work)
{
    auto job = std::make_shared<JOB>();
    job->work = std::move(work);
    std::lock_guard<std::mutex> hold(m_lock);
    // A thread the system will not start leaves the job to fewer threads, or to its starter.
    try {
        while (m_threads.size() < std::min(m_size, copies))
            m_threads.emplace_back(&KSM_WORKER_POOL::serve, this);
    } catch (const std::system_error&) {
    }
    if (m_threads.empty() || copies == 0)
        return job;
    job->waiting = copies;
    m_jobs.push_back(job);
    m_queued.notify_all();
    return job;
}

void KSM_WORKER_POOL::wait(const std::shared_ptr<JOB>& job)
{
    std::unique_lock<std::mutex> hold(m_lock);
    if (job->waiting > 0) {
        job->waiting = 0;
        m_jobs.erase(std::find(m_jobs.begin(), m_jobs.end(), job));
    }
    m_finished.wait(hold, [&] { return job->running == 0; });
    if (job->failure)
        std::rethrow_exception(std::exchange(job->failure, nullptr));
}

void KSM_WORKER_POOL::serve()
{
    std::unique_lock<std::mutex> hold(m_lock);
    for (;;) {
        m_queued.wait(hold, [this] { return m_quit || !m_jobs.empty(); });
        if (m_quit)
            return;
        const std::shared_ptr<JOB> job = m_jobs.front();
        if (--job->waiting == 0)
            m_jobs.pop_front();
        run(job, hold);
    }
}

// Runs a copy of the job without the lock, and counts it off under it.
void KSM_WORKER_POOL::run(const std::shared_ptr<JOB>& job, std::unique_lock<std::mutex>& hold)
{
    ++job->running;
    hold.unlock();
    std::exception_ptr failure;
    try {
        job->work();
    } catch (...) {
        failure = std::current_exception();
    }
    hold.lock();
    if (failure && !job->failure)
        job->failure = failure;
    if (--job->running == 0)
        m_finished.notify_all();
}
