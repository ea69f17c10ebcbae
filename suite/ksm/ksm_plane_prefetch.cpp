// Sample planes inflated ahead of the reading of the session file.
#include "ksm_plane_prefetch.h"

#include "ksm_payload_filter.h"

#include <QtEndian>

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// Text bytes per helper that may wait for one before the giving thread runs planes itself:
// enough to keep the helpers busy while the reader reads rows, few beside the samples.
constexpr size_t WAITING_PER_HELPER = 1 << 20;
// The most bytes, and jobs, read from the file at once for jobs whose texts follow one another.
constexpr qint64 READ_TOGETHER = 32 << 10;
constexpr size_t READ_TOGETHER_JOBS = 16;

// The room a thread reads plane texts into, and the room it decodes into a payload it lets go once
// the plane is inflated: kept from one job, and one open, to the next, so that a kept thread that
// opened a session finds them present for the next, where fresh memory costs a page fault for
// each 4 KB first written. A room grown past ROOM_KEPT (a plane of 8 M samples and more) is let
// go after its use.
struct ROOMS {
    QByteArray text, payload;
};
constexpr int ROOM_KEPT = 1 << 20;

ROOMS& rooms()
{
    thread_local ROOMS kept;
    return kept;
}

void trim(QByteArray* room)
{
    if (room->capacity() > ROOM_KEPT)
        *room = QByteArray();
}

}  // namespace

const char* ksm_plane_fault(bool decoded, size_t size, quint32 header, size_t expected_size)
{
    // The compressed data starts with its size, and nothing compressed is the 4-byte size alone.
    const bool sized = size >= 4 && header == expected_size && (expected_size == 0 || size > 4);
    if (!decoded || !sized)
        return "a payload does not decode";
    if (expected_size / KSM_MAX_DEFLATE_RATIO > size)
        return "a sample plane claims more samples than its payload can hold";
    return nullptr;
}

const char* ksm_plane_text_fault(const char* text, int length, size_t expected_size)
{
    QByteArray first;
    KSM_BASE64_DECODER decoder(&first);
    if (length % 4 != 0 || !decoder.add(text, std::min(length, 8)))
        return ksm_plane_fault(false, 0, 0, expected_size);
    const int padding = length >= 2 && text[length - 1] == '=' ? (text[length - 2] == '=' ? 2 : 1) : 0;
    const size_t size = static_cast<size_t>(length) / 4 * 3 - static_cast<size_t>(padding);
    return ksm_plane_fault(true, size, first.size() >= 4 ? qFromBigEndian<quint32>(first.constData()) : 0,
                           expected_size);
}

KSM_PLANE_PREFETCH::KSM_PLANE_PREFETCH(int channels, int depth, size_t threads, int fd)
    : m_samples(std::make_shared<KSM_DATA_LOG::SAMPLES>()), m_fd(fd),
      m_waiting_limit(std::max<size_t>(1, threads) * WAITING_PER_HELPER)
{
    m_samples->allocate(channels, depth, false);  // each plane is written whole by the thread that inflates it
    m_plane_bytes = m_samples->words * sizeof(uint64_t);
    m_channel_pages =
        std::make_unique<KSM_PLANE_PAGES>(m_samples->plane(0), static_cast<size_t>(channels) * m_plane_bytes);
    m_taken.assign(static_cast<size_t>(channels) + 3, 0);
    JOB_TABLE& kept = kept_table();
    m_job_slots = m_taken.size();
    if (kept.size >= m_job_slots) {
        m_job_slots = kept.size;
        m_jobs = std::move(kept.jobs);
        kept.size = 0;
    } else {
        m_jobs = std::make_unique<JOB[]>(m_job_slots);
    }
    // On the process's kept threads: starting and ending threads for each open cost more than a
    // small log's planes, and the reader runs any plane no helper started.
    if (threads > 0)
        m_helpers = KSM_WORKER_POOL::shared().start(threads, [this] { help(); });
}

// The jobs' table is kept for the thread's next prefetch, unless a larger one is, or it is larger
// than a session of the most channels needs.
KSM_PLANE_PREFETCH::~KSM_PLANE_PREFETCH()
{
    stop_helpers();
    for (size_t k = 0; k < m_count; ++k)
        m_jobs[k].reset();
    JOB_TABLE& kept = kept_table();
    if (m_job_slots > kept.size && m_job_slots <= static_cast<size_t>(KSM_MAX_NODES) + 3) {
        kept.jobs = std::move(m_jobs);
        kept.size = m_job_slots;
    }
}

KSM_PLANE_PREFETCH::JOB_TABLE& KSM_PLANE_PREFETCH::kept_table()
{
    thread_local JOB_TABLE kept;
    return kept;
}

void KSM_PLANE_PREFETCH::JOB::reset()
{
    text_number = 0;
    plane = 0;
    target = nullptr;
    text = KSM_FILE_TEXT();
    in_file = false;
    at = -1;
    size = 0;
    data = QByteArray();
    state = WAITING;
    decoded = inflated = let_go = false;
}

// The helpers end once the job each runs is done; the jobs left are run by who asks for them.
void KSM_PLANE_PREFETCH::stop_helpers()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_work.notify_all();
    if (m_helpers)
        KSM_WORKER_POOL::shared().wait(m_helpers);
    m_helpers.reset();
}

bool KSM_PLANE_PREFETCH::add(int text_number, size_t plane, KSM_FILE_TEXT* text)
{
    if (!m_adding || plane >= m_taken.size() || m_taken[plane] ||
        ksm_plane_text_fault(text->data(), text->size, m_plane_bytes))
        return false;
    m_taken[plane] = 1;
    const size_t n = m_count;
    JOB& job = m_jobs[n];
    job.text_number = text_number;
    job.plane = plane;
    job.target = m_samples->plane(plane);
    job.at = text->at;
    job.size = text->size;
    job.in_file = reads_file(*text);  // the thread that runs the job reads the text where it stands
    if (!job.in_file) {
        m_waiting_bytes += static_cast<size_t>(text->size);
        job.text = std::move(*text);
    }
    *text = KSM_FILE_TEXT();
    m_count = n + 1;
    if (m_idle > 0) {  // a busy helper takes the job when it is done: waking none costs nothing
        std::lock_guard<std::mutex> lock(m_mutex);
        m_work.notify_one();
    }
    while (m_waiting_bytes > m_waiting_limit && run_next(&rooms().text)) {
    }
    return true;
}

std::shared_ptr<KSM_DATA_LOG::SAMPLES> KSM_PLANE_PREFETCH::adopt(int channels, int depth)
{
    if (m_adopted || !m_inflating || !m_samples || m_samples->channels != channels || m_samples->depth != depth)
        return nullptr;
    m_adopted = true;
    return m_samples;
}

void KSM_PLANE_PREFETCH::stop_inflating()
{
    m_adding = false;
    m_inflating = false;  // a job taken from now on only decodes
    stop_helpers();       // so that no job runs any more: the threads of the reading are the reader's again
    if (!m_adopted)
        m_samples.reset();
}

long KSM_PLANE_PREFETCH::plane_of(int text_number)
{
    const JOB* job = job_of(text_number);
    return job ? static_cast<long>(job->plane) : -1;
}

bool KSM_PLANE_PREFETCH::claim(size_t plane)
{
    if (plane < m_taken.size() && m_taken[plane])
        return false;
    if (plane < m_taken.size())
        m_taken[plane] = 1;
    return true;
}

KSM_PLANE_PREFETCH::RESULT KSM_PLANE_PREFETCH::result(int text_number, bool payload)
{
    JOB* job = job_of(text_number);
    if (!job)
        return {};
    if (!run(*job, &rooms().text))
        wait_done(*job);
    trim(&rooms().text);
    RESULT r{QByteArray(), job->decoded, job->inflated};
    if (payload && job->let_go)
        r.decoded = read_again(*job, &r.payload);
    else if (payload)
        r.payload = std::move(job->data);
    return r;
}

// The payload of a job whose text was let go, decoded from the file's bytes where the text stood.
bool KSM_PLANE_PREFETCH::read_again(const JOB& job, QByteArray* payload) const
{
    QByteArray& text = rooms().text;
    const bool read = read_at(job.at, job.size, &text) && KSM_BASE64_DECODER::decode(text, payload);
    trim(&text);
    return read;
}

// The file's `size` bytes at `at`, read into `text`, whose memory stays from one job to the next.
bool KSM_PLANE_PREFETCH::read_at(qint64 at, int size, QByteArray* text) const
{
    text->resize(size);
    for (qint64 done = 0; done < size;) {
        const ssize_t n = ::pread(m_fd, text->data() + done, static_cast<size_t>(size - done), at + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

void KSM_PLANE_PREFETCH::finish()
{
    while (run_next(&rooms().text)) {
    }
    for (size_t k = 0, count = m_count; k < count; ++k)
        wait_done(m_jobs[k]);
}

// The reader asks for the texts in the order it reads them, as they were given: most often the
// job after the one it found last.
KSM_PLANE_PREFETCH::JOB* KSM_PLANE_PREFETCH::job_of(int text_number)
{
    const size_t count = m_count;
    for (const size_t k : {m_found + 1, m_found})
        if (k < count && m_jobs[k].text_number == text_number)
            return &m_jobs[m_found = k];
    JOB* const end = m_jobs.get() + count;
    JOB* const it =
        std::lower_bound(m_jobs.get(), end, text_number, [](const JOB& job, int n) { return job.text_number < n; });
    if (it == end || it->text_number != text_number)
        return nullptr;
    m_found = static_cast<size_t>(it - m_jobs.get());
    return it;
}

bool KSM_PLANE_PREFETCH::run_next(QByteArray* text)
{
    for (size_t n = m_next; n < m_count;) {
        const size_t end = together(n);
        if (m_next.compare_exchange_weak(n, end)) {
            // A job taken already by a thread that wanted its result is skipped.
            const JOB &first = m_jobs[n], &last = m_jobs[end - 1];
            if (end - n == 1 || !read_at(first.at, static_cast<int>(last.at + last.size - first.at), text)) {
                for (size_t k = n; k < end; ++k)
                    run(m_jobs[k], text);
            } else {
                for (size_t k = n; k < end; ++k)
                    run(m_jobs[k], text, text->constData() + (m_jobs[k].at - first.at));
            }
            trim(text);
            return true;
        }
    }
    return false;
}

// The end of the jobs from `n` on that are read from the file with one read: short texts that
// follow one another there, as most of a log's planes compress to a few hundred bytes, and a
// read each would cost more than decoding them. At most half of the jobs waiting go together,
// so that other threads find some.
size_t KSM_PLANE_PREFETCH::together(size_t n) const
{
    const size_t count = m_count;
    const JOB& first = m_jobs[n];
    size_t end = n + 1;
    if (!first.in_file)
        return end;
    const size_t most = std::min(READ_TOGETHER_JOBS, std::max<size_t>(1, (count - n) / 2));
    for (qint64 last = first.at + first.size; end < count && end - n < most; ++end) {
        const JOB& job = m_jobs[end];
        if (!job.in_file || job.at < last || job.at + job.size - first.at > READ_TOGETHER)
            break;
        last = job.at + job.size;
    }
    return end;
}

// Decodes the job's text and, while planes are inflated, inflates it.
bool KSM_PLANE_PREFETCH::run(JOB& job, QByteArray* text, const char* read)
{
    int waiting = WAITING;
    if (!job.state.compare_exchange_strong(waiting, RUNNING))
        return false;
    m_waiting_bytes -= static_cast<size_t>(job.text.size);
    const bool inflate = m_inflating;
    // A payload kept beside every plane inflated would be fresh memory of a quarter of the samples:
    // one the file holds is decoded into the thread's room, and kept only when it is not inflated.
    const bool readable = m_fd >= 0 && job.at >= 0;
    QByteArray& payload = inflate && readable ? rooms().payload : job.data;
    if (read)
        job.decoded = KSM_BASE64_DECODER::decode(read, job.size, &payload);
    else if (job.in_file)
        job.decoded = read_at(job.at, job.size, text) && KSM_BASE64_DECODER::decode(*text, &payload);
    else
        job.decoded = KSM_BASE64_DECODER::decode(job.text.data(), job.text.size, &payload);
    job.text = KSM_FILE_TEXT();  // the piece of the file goes once no other text holds it
    if (job.decoded && inflate && job.plane < static_cast<size_t>(m_samples->channels))
        m_channel_pages->before_writing(job.plane * m_plane_bytes, m_plane_bytes);
    job.inflated = job.decoded && inflate && KSM_DATA_LOG::PACKED::inflate_plane(payload, job.target, m_plane_bytes);
    job.let_go = job.inflated && readable;
    if (&payload != &job.data) {
        if (!job.let_go)
            job.data = QByteArray(payload.constData(), payload.size());
        trim(&payload);
    }
    job.state = DONE;
    if (m_waiters > 0) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done.notify_all();
    }
    return true;
}

void KSM_PLANE_PREFETCH::wait_done(const JOB& job)
{
    if (job.state == DONE)
        return;
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_waiters;
    m_done.wait(lock, [&job] { return job.state == DONE; });
    --m_waiters;
}

// Once no more planes come, a helper ends when none is left to start: the reader then does not
// wait for it to wake when it stops the helpers.
void KSM_PLANE_PREFETCH::help()
{
    while (!m_stopping) {
        if (run_next(&rooms().text) || make_page_present())
            continue;
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_closed)
            return;
        ++m_idle;
        m_work.wait(lock, [this] { return m_stopping || m_closed || m_next < m_count; });
        --m_idle;
    }
}

// While no plane waits to be inflated and more are to come, a helper makes present the first
// huge page of the channels' block that no thread took, so that the planes find it present; any
// page until the first plane comes, while the reader reads the rows before the planes (on eight
// CPUs, a 4,096 x 1 M open's helpers otherwise waited there for several milliseconds).
bool KSM_PLANE_PREFETCH::make_page_present()
{
    return m_inflating && !m_closed && m_channel_pages->take_next(m_count == 0);
}

void KSM_PLANE_PREFETCH::close()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_adding = false;
        m_closed = true;
    }
    m_work.notify_all();
}
