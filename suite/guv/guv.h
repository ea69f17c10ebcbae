// The suite's data-log exporter: writes the samples of a captured data log as a table file,
// comma-separated values or a value change dump. Rows of the log's node list become columns:
// every top-level single signal and every top-level group (a bus of its leaf members).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class KSM_DATA_LOG;

enum GUV_DATA_LOG_EXPORTER_OUTPUT_FORMAT : int { GUV_OUTPUT_TABLE = 0, GUV_OUTPUT_CSV = 1, GUV_OUTPUT_VCD = 2 };

class GUV_DATA_LOG_EXPORTER {
public:
    GUV_DATA_LOG_EXPORTER();
    ~GUV_DATA_LOG_EXPORTER();

    // Prepares the columns of the log for the format; false for a null log, a log without
    // samples or node list, an unknown format or a clock interval below 1 ps.
    bool create_vector_database(KSM_DATA_LOG* log, GUV_DATA_LOG_EXPORTER_OUTPUT_FORMAT format,
                                int64_t clock_interval_ps);
    // Writes the file; the file there before is replaced only when the whole file was written.
    bool export_file(const char* path);
    // The threads a value change dump is rendered on (the calling thread writes it).
    static int vcd_threads();
    // The bytes a value change dump's rendering keeps (46 MB unless set; with none, it renders a
    // block of 64 samples at a time, each only when it is the next to be written); returns the
    // budget before.
    static size_t set_vcd_budget(size_t bytes);

    struct COLUMN;
    struct DATABASE;

private:
    std::unique_ptr<DATABASE> m_db;
};

// Units in which a user gives a clock (the time library's codes); MHz marks a frequency.
struct BIG_TIME {
    enum TIME_UNIT : int { PS = 2, NS = 3, US = 4, MS = 5, S = 6, MHZ = 7 };
};
