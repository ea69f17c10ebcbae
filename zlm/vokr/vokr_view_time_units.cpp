// Sample positions as sample numbers or times: the view's time unit setting, the commands that
// change it, and the texts of positions and time-bar labels.
#include "vokr_view.h"

#include "ksm.h"
#include "vokr_time_units_dlg.h"
#include "vokr_tx_manager.h"

#include <QAction>

#include <cmath>

namespace {

const char* const TIME_UNITS[] = {"s", "ms", "us", "ns", "ps"};
constexpr int US = 2, PS = 4;

bool is_whole(double t) { return std::fabs(t - std::round(t)) < 1e-9 * std::max(1.0, t); }

}  // namespace

void VOKR_VIEW::on_sample_numbers()
{
    m_use_time_units = false;
    update();
}

void VOKR_VIEW::on_time_units()
{
    VOKR_TIME_UNITS_DLG dialog(this);
    dialog.set_value(m_time_period);
    dialog.set_unit(m_time_unit);
    dialog.on_init_dialog();
    if (dialog.exec() != QDialog::Accepted)
        return;
    m_time_period = dialog.get_value();
    m_time_unit = dialog.get_unit();
    m_use_time_units = true;
    update();
}

bool VOKR_VIEW::on_update_sample_numbers()
{
    const bool enabled = get_sample_depth() != 0;
    if (QAction* a = action(718)) {
        a->setCheckable(true);
        a->setEnabled(enabled);
        a->setChecked(enabled && !m_use_time_units);
    }
    return enabled;
}

bool VOKR_VIEW::on_update_time_units()
{
    const bool enabled = get_sample_depth() != 0;
    if (QAction* a = action(719)) {
        a->setCheckable(true);
        a->setEnabled(enabled);
        a->setChecked(enabled && m_use_time_units);
    }
    return enabled;
}

// A time is brought to the unit that keeps its number between 1 and 1000 where one exists, and
// printed with as few decimals (0, 1 or 2) as it needs.
void VOKR_VIEW::format_sample_value(QString* text, int value, bool relative, bool as_sample_number) const
{
    const bool samples = !m_use_time_units || as_sample_number || !(m_time_period > 0.0);
    const bool frequency = m_time_unit == "MHz";
    if (value == 0) {
        *text = !relative ? QString("0") : samples ? QString("+0") : "+0" + (frequency ? QString("us") : m_time_unit);
        return;
    }
    const QString sign = relative && value > 0 ? "+" : "";
    if (samples) {
        *text = sign + QString::number(value);
        return;
    }
    int unit = frequency ? US : PS;
    for (int i = 0; i < PS; ++i)
        if (m_time_unit == TIME_UNITS[i])
            unit = i;
    double t = frequency ? value / m_time_period : value * m_time_period;
    const bool negative = t < 0;
    t = std::fabs(t);
    while (t < 1.0 && unit < PS)
        t *= 1000.0, ++unit;
    while (t >= 1000.0 && unit > 0)
        t /= 1000.0, --unit;
    const int decimals = is_whole(t) ? 0 : is_whole(10.0 * t) ? 1 : 2;
    *text = sign + QString::number(negative ? -t : t, 'f', decimals) + TIME_UNITS[unit];
}

void VOKR_VIEW::get_time_bar_texts(int index, QString* text, QString* segment_text) const
{
    if (index < 0 || index >= m_timebar_count)
        return;
    const bool second_row = get_row_height(2) > 0;
    const bool segments = second_row && m_tx_manager->get_data_segment_size() >= 1;
    const bool log = m_tx_manager->get_data_log() != nullptr;
    auto position = [&](int sample, int* segment) {
        if (segments)
            return get_sample_in_segment(sample, segment);
        *segment = second_row && log ? get_segment_count(sample) : 0;
        return sample - trigger_sample();
    };
    int segment = 0;
    int value = position(m_time_bars[0], &segment);
    if (index != 0) {
        int bar_segment = 0;
        value = position(m_time_bars[index], &bar_segment) - value;
        segment = bar_segment - segment;
    }
    if (text)
        format_sample_value(text, value, index != 0, false);
    if (segment_text) {
        segment_text->clear();
        if (second_row)
            format_sample_value(segment_text, segment, index != 0, true);
    }
}
