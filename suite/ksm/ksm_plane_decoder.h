// Decoding the base64 text of sample planes on helper threads while the session file is read
// further, and inflating the planes of a log that is shown at once.
#pragma once

#include <QByteArray>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

// Decodes sample planes' payloads in place, each holding its plane's base64 text until then:
// the helper threads take them in the order given, and the calling thread decodes the oldest
// itself while more than a few wait, so that few texts are held at once. A payload given a
// target is inflated there once decoded.
class KSM_PLANE_DECODER {
public:
    // With `threads` of 1, every payload is decoded when it is given.
    explicit KSM_PLANE_DECODER(size_t threads);
    ~KSM_PLANE_DECODER();
    KSM_PLANE_DECODER(const KSM_PLANE_DECODER&) = delete;
    KSM_PLANE_DECODER& operator=(const KSM_PLANE_DECODER&) = delete;

    // `payload` (and `target`, `bytes` long, when given) must stay where it is until finish().
    void add(QByteArray* payload, uint64_t* target = nullptr, size_t bytes = 0);
    // Decodes what is left and waits for the helpers; the number (in the order given, from 0)
    // of the first payload that was not base64 throughout, or -1.
    long finish();
    // Whether a payload given a target did not inflate to its size (after finish()).
    bool inflate_failed() const { return m_inflate_failed; }

private:
    struct JOB {
        QByteArray* payload;
        uint64_t* target;
        size_t bytes;
    };
    bool decode_next(std::unique_lock<std::mutex>& lock);  // false when none is left to take
    void help();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<JOB> m_jobs;  // given so far
    size_t m_taken = 0;       // jobs taken for decoding
    size_t m_decoded = 0;
    size_t m_idle = 0;  // helpers waiting for a job
    long m_first_bad = -1;
    bool m_inflate_failed = false;
    bool m_finishing = false;
    std::vector<std::thread> m_helpers;
};
