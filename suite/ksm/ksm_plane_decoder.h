// Decoding the base64 text of sample planes on helper threads while the session file is read
// further.
#pragma once

#include <QByteArray>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

// Decodes sample planes' payloads in place, each holding its plane's base64 text until then:
// the helper threads take them in the order given, and the calling thread decodes the oldest
// itself while more than a few wait, so that few texts are held at once.
class KSM_PLANE_DECODER {
public:
    // With `threads` of 1, every payload is decoded when it is given.
    explicit KSM_PLANE_DECODER(size_t threads);
    ~KSM_PLANE_DECODER();
    KSM_PLANE_DECODER(const KSM_PLANE_DECODER&) = delete;
    KSM_PLANE_DECODER& operator=(const KSM_PLANE_DECODER&) = delete;

    // `payload` must stay where it is until finish().
    void add(QByteArray* payload);
    // Decodes what is left and waits for the helpers; the number (in the order given, from 0)
    // of the first payload that was not base64 throughout, or -1.
    long finish();

private:
    bool decode_next(std::unique_lock<std::mutex>& lock);  // false when none is left to take
    void help();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<QByteArray*> m_payloads;  // given so far
    size_t m_taken = 0;                   // payloads taken for decoding
    size_t m_decoded = 0;
    long m_first_bad = -1;
    bool m_finishing = false;
    std::vector<std::thread> m_helpers;
};
