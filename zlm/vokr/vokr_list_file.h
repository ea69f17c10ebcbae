// The list file of a data log: a legend that gives every listed row of the data node list a key,
// then one line per sample with the value of every keyed row in aligned columns ("x" where it is
// unknown). The file is written a stretch of samples at a time: the buses' texts on the calling
// thread (they are read through the manager), the lines on helper threads, the stretches to the
// file in order; what waits to be written stays within a budget whatever the capture.
#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QIODevice;
class KSM_DATA_LOG;
class KSM_TX_SIGNAL_SET;
class VOKR_TX_MANAGER;

class VOKR_LIST_FILE {
public:
    // A sample's label, given its distance from the trigger.
    using LABEL = std::function<QString(int)>;
    // The file of `log` over the rows of `set`. Samples are labelled `segment_size` apart in
    // segments when that is above 0, else by `time_label` (called on helper threads) when it is
    // given, else by their distance from the trigger.
    VOKR_LIST_FILE(VOKR_TX_MANAGER* manager, const KSM_TX_SIGNAL_SET* set, const KSM_DATA_LOG* log, int segment_size,
                   LABEL time_label);
    ~VOKR_LIST_FILE();
    VOKR_LIST_FILE(const VOKR_LIST_FILE&) = delete;
    VOKR_LIST_FILE& operator=(const VOKR_LIST_FILE&) = delete;

    // Writes the whole file to `file`; false when a write failed.
    bool write(QIODevice* file);
    // The threads that render lines.
    static int threads();
    // The bytes the stretches on their way to the file may take (24 MB unless set; the buses'
    // texts of a stretch take at most as much again); returns the budget before.
    static size_t set_budget(size_t bytes);

    struct COLUMN;
    struct STRETCH;

private:
    void collect_columns();
    void measure_buses();
    QString header() const;
    void lay_out_body();
    int stretch_length() const;
    void prepare(STRETCH* stretch, int first, int count);
    template <class VISIT> void visit_bus_texts(const COLUMN& column, int first, int count, VISIT visit);
    void render(STRETCH* stretch) const;
    void render_regular(STRETCH* stretch, const std::vector<std::string>& labels) const;
    void render_irregular(STRETCH* stretch, const std::vector<std::string>& labels) const;
    std::string label(int sample) const;
    char bit_character(const COLUMN& column, int sample) const;
    bool write_stretches(QIODevice* file, const QByteArray& head);

    VOKR_TX_MANAGER* m_manager;
    const KSM_TX_SIGNAL_SET* m_set;
    const KSM_DATA_LOG* m_log;
    LABEL m_time_label;
    bool m_available = false;  // the log holds samples: single bits have a column of values
    int m_depth = 0;
    int m_segment = 0;
    int m_trigger = 0;
    const uint64_t* m_valid = nullptr;
    std::vector<COLUMN> m_columns;
    std::vector<int> m_buses;  // the columns of buses, in order
    QString m_legend;
    std::string m_body;  // a line's values with every single bit 'x' and every bus blank
    size_t m_longest_body = 0;
    std::string m_bits;  // a bus value's bit characters, kept from text to text
};
