// Sample planes' base64 text decoded beside the reading of the session file.
#include "ksm_plane_decoder.h"

#include "ksm_payload_filter.h"
#include "ksm_state.h"

namespace {

// Payloads that may wait for a helper before the giving thread decodes one itself.
constexpr size_t WAITING_LIMIT = 16;

}  // namespace

KSM_PLANE_DECODER::KSM_PLANE_DECODER(size_t threads)
{
    for (size_t k = 1; k < threads; ++k)
        m_helpers.emplace_back([this] { help(); });
}

KSM_PLANE_DECODER::~KSM_PLANE_DECODER() { finish(); }

void KSM_PLANE_DECODER::add(QByteArray* payload, uint64_t* target, size_t bytes)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_jobs.push_back({payload, target, bytes});
    if (m_idle > 0)  // a busy helper takes the job when it is done: waking none costs nothing
        m_changed.notify_one();
    if (m_helpers.empty() || m_jobs.size() - m_taken > WAITING_LIMIT)
        decode_next(lock);
}

long KSM_PLANE_DECODER::finish()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    m_finishing = true;
    m_changed.notify_all();
    while (decode_next(lock)) {
    }
    m_changed.wait(lock, [this] { return m_decoded == m_jobs.size(); });
    lock.unlock();
    for (std::thread& helper : m_helpers)
        helper.join();
    m_helpers.clear();
    return m_first_bad;
}

// Decodes (and inflates) the oldest job not taken yet, the lock released meanwhile.
bool KSM_PLANE_DECODER::decode_next(std::unique_lock<std::mutex>& lock)
{
    if (m_taken == m_jobs.size())
        return false;
    const size_t n = m_taken++;
    const JOB job = m_jobs[n];
    lock.unlock();
    QByteArray decoded;
    const bool bad = !KSM_BASE64_DECODER::decode(*job.payload, &decoded);
    *job.payload = std::move(decoded);
    const bool inflated =
        bad || !job.target || KSM_DATA_LOG::PACKED::inflate_plane(*job.payload, job.target, job.bytes);
    lock.lock();
    if (bad && (m_first_bad < 0 || static_cast<long>(n) < m_first_bad))
        m_first_bad = static_cast<long>(n);
    m_inflate_failed = m_inflate_failed || !inflated;
    if (++m_decoded == m_jobs.size() && m_finishing)
        m_changed.notify_all();
    return true;
}

void KSM_PLANE_DECODER::help()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (true) {
        ++m_idle;
        m_changed.wait(lock, [this] { return m_finishing || m_taken < m_jobs.size(); });
        --m_idle;
        if (!decode_next(lock) && m_finishing)
            return;
    }
}
