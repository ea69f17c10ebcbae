// The session file on its way to the XML reader: the base64 text of sample planes is taken out
// as it passes, so that the reader never turns it into characters.
#pragma once

#include <QByteArray>
#include <QIODevice>

#include <map>
#include <utility>

// Decodes base64 text given in pieces: the alphabet only, with padding only to end the last quad.
class KSM_BASE64_DECODER {
public:
    explicit KSM_BASE64_DECODER(QByteArray* out) : m_out(out) {}
    bool add(const char* text, int size);
    bool finish() const { return !m_bad && m_count == 0; }
    // Decodes a whole text into `out`, which takes no more memory than the bytes need; false
    // when the text is not base64 throughout.
    static bool decode(const QByteArray& text, QByteArray* out);

private:
    static std::pair<const char*, char*> quads(const char* c, const char* end, char* out);
    char* one(unsigned char c, char* at);

    QByteArray* m_out;
    uint32_t m_bits = 0;
    int m_count = 0;    // characters of the quad being read
    int m_padding = 0;  // '=' seen: the text has ended
    bool m_bad = false;
};

// Passes a session file on without the text of its <plane> elements, which it keeps by the
// plane's number in the file (counted from 0) until the reader takes it. Comments, CDATA
// sections and processing instructions pass untouched.
class KSM_PAYLOAD_FILTER : public QIODevice {
public:
    explicit KSM_PAYLOAD_FILTER(QIODevice* source);
    bool isSequential() const override { return true; }
    // Moves out the text of plane `n` when the filter took it out.
    bool take(int n, QByteArray* text);

protected:
    qint64 readData(char* data, qint64 max) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    enum STATE { TEXT, SKIP, PLANE_TAG, PAYLOAD };
    bool fill();     // reads more of the source; false at its end
    bool advance();  // moves what can be decided on from the input to the output; false to read more
    bool at_text();
    void pass(int count);

    QIODevice* m_source;
    QByteArray m_in, m_out;
    int m_in_pos = 0, m_out_pos = 0;
    bool m_source_ended = false;
    char m_last_passed = 0;  // the last byte passed on
    STATE m_state = TEXT;
    const char* m_skip_end = nullptr;  // what ends the comment, CDATA section or instruction skipped
    int m_planes = 0;                  // plane start tags seen
    std::map<int, QByteArray> m_payloads;
    QByteArray* m_payload = nullptr;  // being read
};
