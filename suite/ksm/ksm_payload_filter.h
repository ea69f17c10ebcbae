// The session file on its way to the XML reader: the base64 text of sample planes is taken out
// as it passes, so that the reader never turns it into characters.
#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class KSM_PLANE_PREFETCH;

// A text of the file where the filter read it: the piece read shares its bytes, so that a plane's
// text is handed on without a copy of its own, and stays while any text in it is held.
struct KSM_FILE_TEXT {
    QByteArray piece;
    int from = 0, size = 0;
    qint64 at = -1;  // where it starts in the file; -1 when the source cannot be read there again
    const char* data() const { return piece.constData() + from; }
};

// The longest text a sample plane of `bytes` may have: twice its bytes and more, where its
// compressed payload in base64 takes at most four thirds of them and a few bytes. A longer text
// is damaged, and is refused before more of it is held.
inline size_t ksm_plane_text_limit(size_t bytes) { return 2 * bytes + 1024; }

// Decodes base64 text given in pieces: the alphabet only, with padding only to end the last quad.
class KSM_BASE64_DECODER {
public:
    explicit KSM_BASE64_DECODER(QByteArray* out) : m_out(out) {}
    bool add(const char* text, int size);
    bool finish() const { return !m_bad && m_count == 0; }
    // Decodes a whole text into `out`, which grows no more than the bytes need (an `out` that set
    // room aside keeps it, so that a room used again takes no fresh memory); false when the text
    // is not base64 throughout.
    static bool decode(const char* text, int size, QByteArray* out);
    static bool decode(const QByteArray& text, QByteArray* out) { return decode(text.constData(), text.size(), out); }

private:
    static std::pair<const char*, char*> quads(const char* c, const char* end, char* out);
    char* one(unsigned char c, char* at);

    QByteArray* m_out;
    uint32_t m_bits = 0;
    int m_count = 0;    // characters of the quad being read
    int m_padding = 0;  // '=' seen: the text has ended
    bool m_bad = false;
};

// Node rows the filter read in place of the XML reader: empty <node> elements whose attributes
// the XML reader gives as they stand. Each row's attributes follow the previous row's, their
// names and values as places in `text`, the rows' bytes where the filter read them (printable
// ASCII); a row's place is where its tag ends in the file, where the XML reader is once it has
// read the element.
struct KSM_ROW_RUN {
    struct ATTRIBUTE {
        int name, name_size, value, value_size;
    };
    struct ROW {
        qint64 line, column;
        size_t attributes_end;
    };
    KSM_FILE_TEXT text;
    std::vector<ATTRIBUTE> attributes;
    std::vector<ROW> rows;
};

// Passes a session file on with the text of its sample planes taken out: a text that directly
// follows a <plane> start tag and that the XML reader would give as it stands (printable ASCII,
// no references) is kept, and an instruction of
// this filter's own (`<?ksm-plane KEY NUMBER?>`, KEY known to this filter alone) stands in its
// place, so that the reader binds each text to the very element it reads, wherever that element
// stands. Any other text passes as it is, as do comments, CDATA sections and instructions, and
// the whole of a document that is not UTF-8 or that declares a document type (whose entities
// could repeat or move text): the reader then reads what the XML reader alone gives.
// Among the children of a <samples> element, as long as only white space and planes of the
// plain form the writer gives came (`<plane kind="bits" channel="N">TEXT</plane>`, the valid,
// trigger and break planes without a channel), a run of whole plane elements goes as one
// instruction (`<?ksm-planes KEY NUMBER?>`, with the run's line ends), and the reader takes the
// run's planes, each with its places in the file, from the filter: the XML reader then does not
// read a thousand plane elements one by one.
// Likewise, a run of empty <node> elements of plain attributes that follows the end of a <node>
// element, with only white space between them, goes as one instruction (`<?ksm-rows KEY
// NUMBER?>`): those rows are siblings of the node before them, which the XML reader read, so
// they stand where that one stood.
// The filter reads ahead of the reader while the text it holds stays small, and gives the
// texts of the planes of the first <samples> element, where it can read their plane from a
// start tag of plain attributes and the text is the whole of the element's content, to a
// prefetch that inflates them while the reader reads what comes before them.
class KSM_PAYLOAD_FILTER : public QIODevice {
public:
    // An inactive filter passes the whole file as it is.
    explicit KSM_PAYLOAD_FILTER(QIODevice* source, bool active = true);
    ~KSM_PAYLOAD_FILTER() override;
    bool isSequential() const override { return true; }

    // What an instruction the reader met stands for: not a text of this filter's (OTHER), the
    // text, moved to `text` (TAKEN), a text given to the prefetch (PREFETCHED, its number in
    // `number`), or a text the filter no longer holds (GONE: its instruction was met twice or
    // after a later one). Texts of the instructions before a taken one, which the reader
    // passed by, are dropped.
    enum TAKE { OTHER, TAKEN, PREFETCHED, GONE };
    TAKE take(const QStringRef& target, const QStringRef& data, QByteArray* text, int* number);
    // A plane of a run: its kind, as the elements' kinds go ("bits", then the extra planes
    // "valid", "trigger" and "breaks"), its channel (of "bits"), the number of its text for
    // take_text(), and where its start tag and its end tag end in the file.
    struct RUN_PLANE {
        int kind;
        long channel;
        int text;
        qint64 start_line, start_column, end_line, end_column;
    };
    // The planes an instruction of this filter's runs stands for, moved to `planes` (TAKEN);
    // OTHER for another instruction, GONE for a run met twice.
    TAKE take_run(const QStringRef& target, const QStringRef& data, std::vector<RUN_PLANE>* planes);
    // The rows an instruction of this filter's row runs stands for, moved to `rows` (TAKEN), the
    // runs before it, which the reader passed by, dropped; OTHER for another instruction, GONE
    // for a run met twice.
    TAKE take_rows(const QStringRef& target, const QStringRef& data, KSM_ROW_RUN* rows);
    // The last runs the reader took, let go: their room is kept for the thread's next open.
    static void done_with(KSM_ROW_RUN* rows, std::vector<RUN_PLANE>* planes);
    // Text `number` as take() gives it for its instruction.
    TAKE take_text(int number, QByteArray* text);
    // The prefetch of the first <samples> element's planes, null when there is none.
    KSM_PLANE_PREFETCH* prefetch() const { return m_prefetch.get(); }
    // The characters that the file holds before the reader's position (line and column in the
    // text passed on) on that line and that the text passed on lacks: taken texts less the
    // instructions that stand in for them.
    qint64 hidden_before(qint64 line, qint64 column) const;
    // Why the source could not be read, empty when it could.
    const QString& read_error() const { return m_read_error; }
    // The fault for which the filter ended what it passes on (a plane's text far longer than its
    // samples can be), and where in the file it is; empty while there is none.
    const std::string& fault() const { return m_fault; }
    qint64 fault_line() const { return m_fault_line; }
    qint64 fault_column() const { return m_fault_column; }

protected:
    qint64 readData(char* data, qint64 max) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    enum STATE { TEXT, SKIP, TAG, PAYLOAD, PASS_ALL, STOPPED };
    enum TAG_KIND { PLANE_TAG, SAMPLES_TAG };
    struct MARK {  // where an instruction ends in the text passed on, and what it leaves out
        qint64 line, column, hidden;
    };
    struct XML_PLACE {  // a line and column as the XML reader counts them
        qint64 line = 1, column = 0;
        bool after_cr = false;
        void advance(const char* bytes, int count);
    };
    struct HELD {  // a text taken, or given to the prefetch
        KSM_FILE_TEXT text;
        bool prefetched;
    };
    bool fill();     // reads more of the source; false at its end
    bool advance();  // moves what can be decided on from the input to the output; false to read more
    void read_ahead();
    bool at_text();
    bool at_run();
    bool at_node(const char* open);
    void put_run(const char* target, int n, const XML_PLACE& start, const XML_PLACE& end);
    bool hold(int n, KSM_FILE_TEXT text, long plane);
    bool at_tag();
    bool at_payload();
    void samples_tag();
    void look_ahead_for_samples();
    size_t prefetch_helpers(long channels, long depth);
    std::unique_ptr<KSM_PLANE_PREFETCH> start_prefetch(long channels, long depth);
    void pass(int count);
    void put(const char* bytes, int count);  // onto the output, counting its lines and columns
    void end_payload(bool taken, bool whole);
    void add_to_payload(const char* from, int count);
    void stop(const char* why);

    QIODevice* m_source;
    QByteArray m_in, m_out;
    bool m_in_shared = false;  // texts share m_in's bytes: the next read goes to a piece of its own
    int m_in_pos = 0, m_out_pos = 0;
    int m_read_ahead;     // bytes, see read_ahead()
    qint64 m_in_at = -1;  // where m_in starts in the source, -1 for a source that cannot be read there again
    bool m_source_ended = false;
    bool m_started = false;  // the start of the document was looked at
    QString m_read_error;
    char m_last_passed = 0;  // the last byte passed on
    char m_quote = 0;        // the quote a start tag's attribute value is in
    TAG_KIND m_tag_kind = PLANE_TAG;
    QByteArray m_tag;   // the attributes of the start tag being read
    long m_plane = -1;  // of the plane whose text is being read, as its start tag tells
    STATE m_state = TEXT;
    const char* m_skip_end = nullptr;             // what ends the comment, CDATA section or instruction skipped
    QByteArray m_key;                             // of this filter's instructions
    int m_planes = 0;                             // texts taken
    std::deque<std::pair<int, HELD>> m_payloads;  // by their numbers, which rise
    size_t m_held = 0;                            // bytes of their texts
    KSM_FILE_TEXT m_payload;                      // being read
    std::unique_ptr<KSM_PLANE_PREFETCH> m_prefetch;
    std::unique_ptr<KSM_PLANE_PREFETCH> m_early;  // started for the shape the look ahead guessed
    bool m_samples_seen = false;                  // the first <samples> start tag was met
    bool m_prefetching = false;                   // plane texts go to the prefetch: in the first <samples> element
    long m_prefetch_channels = 0;
    XML_PLACE m_at;  // of the output's end
    std::vector<MARK> m_marks;
    bool m_in_run_place = false;  // among a <samples> element's children, where runs may stand
    int m_run_known = 0;          // bytes known to stay of the text of a plane that the last read cut
    std::vector<std::vector<RUN_PLANE>> m_runs;
    bool m_after_row = false;  // the text passed on ends with the end of a <node> element and white space
    std::vector<KSM_ROW_RUN> m_row_runs;
    size_t m_row_runs_taken = 0;  // the runs before it are the reader's or dropped
    size_t m_rows_held = 0;       // bytes of the runs' texts
    size_t m_text_limit;          // of a plane's text in the <samples> element being read, else of any plane's
    std::string m_fault;
    qint64 m_fault_line = 0, m_fault_column = 0;
};
