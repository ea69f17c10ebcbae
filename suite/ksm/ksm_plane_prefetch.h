// The planes of the first log of a session file inflated ahead of the XML reader: the payload
// filter finds them while the reader still reads the rows before them.
#pragma once

#include "ksm_payload_filter.h"
#include "ksm_plane_pages.h"
#include "ksm_state.h"
#include "ksm_worker_pool.h"

#include <QByteArray>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

// The fault of a sample plane's payload of `size` bytes that starts with `header` (or does not
// decode), when it should hold `expected_size` bytes compressed; null when there is none.
const char* ksm_plane_fault(bool decoded, size_t size, quint32 header, size_t expected_size);
// The same, as far as the length and the first quads of the payload's base64 `text` tell.
const char* ksm_plane_text_fault(const char* text, int size, size_t expected_size);
inline const char* ksm_plane_text_fault(const QByteArray& text, size_t expected_size)
{
    return ksm_plane_text_fault(text.constData(), text.size(), expected_size);
}

// Decodes and inflates the planes of a log whose shape the filter read from its start tag into
// samples of that shape, on helper threads, each plane's text given by the filter as it finds
// it. What it does is a guess until the reader binds each plane's text to the plane it reads:
// the reader adopts the samples only for a log of the same shape that it inflates, and a plane
// it binds otherwise than guessed is not inflated here.
class KSM_PLANE_PREFETCH {
public:
    // Allocates the samples (counted in what the process holds) and starts `threads` helpers on the
    // process's worker pool.
    // With the file's descriptor `fd` (not -1), a text given with its place in the file is not
    // kept but read there by the thread that decodes it, and the payload of a plane inflated is
    // let go and read from the file again where it is asked for: the samples are what an open
    // keeps.
    KSM_PLANE_PREFETCH(int channels, int depth, size_t threads, int fd = -1);
    ~KSM_PLANE_PREFETCH();  // drops the plane texts not started and waits for the others
    KSM_PLANE_PREFETCH(const KSM_PLANE_PREFETCH&) = delete;
    KSM_PLANE_PREFETCH& operator=(const KSM_PLANE_PREFETCH&) = delete;

    // ---- the filter's side ----
    bool has_shape(int channels, int depth) const
    {
        return m_samples->channels == channels && m_samples->depth == depth;
    }
    // Takes `text` (number `text_number` of the filter's) as plane `plane`; false, the text
    // left where it is, when the plane is taken already, or adding has stopped, or its length
    // and first bytes show a fault. Runs the oldest planes on this thread while too many wait.
    bool add(int text_number, size_t plane, KSM_FILE_TEXT* text);
    // Whether a text given is read again from the file by the thread that decodes it, rather
    // than kept: so the file's bytes read once pass through memory that stays.
    bool reads_file(const KSM_FILE_TEXT& text) const { return m_fd >= 0 && text.at >= 0; }
    // No more planes come: the helpers end once the planes given are all started.
    void close();
    // The bytes of plane texts given and kept, not decoded yet.
    size_t waiting_bytes() const { return m_waiting_bytes; }

    // ---- the reader's side ----
    // The samples, once, for a log of this shape; from then on they are the reader's.
    std::shared_ptr<KSM_DATA_LOG::SAMPLES> adopt(int channels, int depth);
    // No more planes are taken or inflated, and the helpers end; samples not adopted are let go
    // once the planes being inflated are done. The planes left are decoded by result().
    void stop_inflating();
    // The plane the text was taken as, -1 when it was not.
    long plane_of(int text_number);
    // Takes `plane` for a text the reader binds itself: false when a text of this prefetch's
    // is that plane already.
    bool claim(size_t plane);
    // What became of a text: its payload (decoded; with `payload` only), whether it was base64
    // throughout, and whether it was inflated into its plane. Waits for it, decoding it on this
    // thread when no helper has started it; the payload is moved out, read from the file again
    // when it was let go (not decoded then when the file no longer holds it).
    struct RESULT {
        QByteArray payload;
        bool decoded = false;
        bool inflated = false;
    };
    RESULT result(int text_number, bool payload = true);
    // Runs the planes not started on this thread and waits for all.
    void finish();

private:
    enum STATE { WAITING, RUNNING, DONE };
    struct JOB {
        int text_number = 0;
        size_t plane = 0;
        uint64_t* target = nullptr;
        KSM_FILE_TEXT text;    // until it is decoded, unless it is read from the file
        bool in_file = false;  // see reads_file()
        qint64 at = -1;        // the text's place in the file and its size
        int size = 0;
        QByteArray data;  // the payload, unless it was let go
        std::atomic<int> state{WAITING};
        bool decoded = false, inflated = false, let_go = false;
        void reset();  // as made, holding nothing
    };
    // A table of jobs whose memory a thread keeps from one prefetch to the next: a fresh table
    // (a hundred bytes a channel) costs an open a page fault for each 4 KB, before its first plane.
    struct JOB_TABLE {
        std::unique_ptr<JOB[]> jobs;
        size_t size = 0;
    };
    static JOB_TABLE& kept_table();
    bool read_again(const JOB& job, QByteArray* payload) const;
    bool read_at(qint64 at, int size, QByteArray* text) const;
    JOB* job_of(int text_number);
    // Runs the oldest job no thread has taken, and those read with it; false when none waits.
    // `text` is the room the running thread reads texts into.
    bool run_next(QByteArray* text);
    size_t together(size_t n) const;
    // Runs the job, its text at `read` where it was read with others; false when another
    // thread took the job.
    bool run(JOB& job, QByteArray* text, const char* read = nullptr);
    void wait_done(const JOB& job);
    void help();
    bool make_page_present();
    void stop_helpers();

    std::shared_ptr<KSM_DATA_LOG::SAMPLES> m_samples;
    size_t m_plane_bytes;
    std::unique_ptr<KSM_PLANE_PAGES> m_channel_pages;  // of the channels' block
    int m_fd;
    size_t m_waiting_limit;  // text bytes beyond which add() runs planes itself
    // Jobs are handed out without a lock, as a plane is a few microseconds' work: one slot per
    // plane, filled in the order given (the filter's text numbers rise) and published by the count.
    std::unique_ptr<JOB[]> m_jobs;
    size_t m_job_slots = 0;
    size_t m_found = 0;              // the job job_of() found last, on the reader's thread
    std::atomic<size_t> m_count{0};  // jobs given
    std::atomic<size_t> m_next{0};   // no job before it waits
    std::vector<char> m_taken;       // per plane; only the reader's thread gives and claims
    std::atomic<size_t> m_waiting_bytes{0};
    std::atomic<bool> m_inflating{true}, m_stopping{false};
    bool m_adding = true, m_adopted = false;
    std::atomic<bool> m_closed{false};  // changed under m_mutex
    // Sleeping: helpers without a job, threads waiting for one; each side checks the other's
    // count after its own change, so that no wake-up is lost.
    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_done;
    std::atomic<size_t> m_idle{0}, m_waiters{0};
    std::shared_ptr<KSM_WORKER_POOL::JOB> m_helpers;  // the helpers' copies of help() on the kept threads
};
