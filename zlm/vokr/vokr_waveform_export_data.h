// What an export of a data log writes: the path, the format and the sample clock. The suite may
// drive it on its own; the export dialog fills one per export.
#pragma once

#include "guv.h"
#include "ksm.h"

#include <cstdint>
#include <string>

class VOKR_WAVEFORM_EXPORT_DATA {
public:
    VOKR_WAVEFORM_EXPORT_DATA() = default;

    bool set_filename(const char* name);  // false for null, the name unchanged
    std::string get_filename() const { return m_filename; }
    bool set_type(GUV_DATA_LOG_EXPORTER_OUTPUT_FORMAT type);
    GUV_DATA_LOG_EXPORTER_OUTPUT_FORMAT get_type() const { return m_type; }
    bool set_clock_interval(int64_t picoseconds);  // below 1: stores 0, false
    int64_t get_clock_interval() const { return m_clock_interval; }
    bool set_time_unit(BIG_TIME::TIME_UNIT unit);
    BIG_TIME::TIME_UNIT get_time_unit() const { return m_time_unit; }

    // Writes the file through the suite's exporter; false for a null log or a failed step.
    bool create_vector_database(KSM_DATA_LOG* log);
    // The signal set's data wire at `index`, or null past its width.
    static const KSM_DATA_SIGNAL_WIRE* get_full_data_signal_by_index(KSM_DATA_LOG* log, int index);

private:
    std::string m_filename;
    GUV_DATA_LOG_EXPORTER_OUTPUT_FORMAT m_type = GUV_OUTPUT_TABLE;
    int64_t m_clock_interval = 0;
    BIG_TIME::TIME_UNIT m_time_unit = BIG_TIME::NS;
};
