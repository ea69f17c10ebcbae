#include "vokr_waveform_export_data.h"

bool VOKR_WAVEFORM_EXPORT_DATA::set_filename(const char* name)
{
    if (!name)
        return false;
    m_filename = name;
    return true;
}

bool VOKR_WAVEFORM_EXPORT_DATA::set_type(GUV_DATA_LOG_EXPORTER_OUTPUT_FORMAT type)
{
    m_type = type;
    return true;
}

bool VOKR_WAVEFORM_EXPORT_DATA::set_clock_interval(int64_t picoseconds)
{
    m_clock_interval = picoseconds < 1 ? 0 : picoseconds;
    return picoseconds >= 1;
}

bool VOKR_WAVEFORM_EXPORT_DATA::set_time_unit(BIG_TIME::TIME_UNIT unit)
{
    m_time_unit = unit;
    return true;
}

bool VOKR_WAVEFORM_EXPORT_DATA::create_vector_database(KSM_DATA_LOG* log)
{
    if (!log)
        return false;
    GUV_DATA_LOG_EXPORTER exporter;
    return exporter.create_vector_database(log, m_type, m_clock_interval) && exporter.export_file(m_filename.c_str());
}

const KSM_DATA_SIGNAL_WIRE* VOKR_WAVEFORM_EXPORT_DATA::get_full_data_signal_by_index(KSM_DATA_LOG* log, int index)
{
    const KSM_DATA_SIGNAL_SET* set = log ? log->get_signal_set() : nullptr;
    return set && index >= 0 ? set->get_data_wire_at(index) : nullptr;
}
