// Where each instance's view was: the shown tab's scroll positions, the zoom of the Data tab and
// the time bars, kept in the instance's position data inside the session file.
#include "vokr_view.h"

#include "ksm.h"
#include "vokr_assert.h"
#include "vokr_tx_manager.h"

#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int SETUP_TAB = 1;
const char* const ACTIVE_TAB = "active tab";
const char* const TIMEBARS = "timebars";
const char* const ZOOM_LEVEL_NUMERATOR = "zoom level numerator";
const char* const ZOOM_LEVEL_DENOMINATOR = "zoom level denominator";
const char* const ZOOM_OFFSET_NUMERATOR = "zoom offset numerator";
const char* const ZOOM_OFFSET_DENOMINATOR = "zoom offset denominator";

const char* vertical_key(int tab)
{
    return tab == SETUP_TAB ? "setup vertical scroll position" : "data vertical scroll position";
}

const char* horizontal_key(int tab)
{
    return tab == SETUP_TAB ? "setup horizontal scroll position" : "data horizontal scroll position";
}

int active_tab(const KSM_TX_INSTANCE* instance)
{
    const int tab = instance->get_position_data(ACTIVE_TAB);
    return tab == -1 ? SETUP_TAB : tab;
}

int shown_value(const QScrollBar* bar) { return bar && !bar->isHidden() ? bar->value() : 0; }

}  // namespace

int VOKR_VIEW::save_position_data()
{
    // A session without instances has no positions to keep; saving it must still succeed.
    KSM_TX_INSTANCE* instance = m_tx_manager->get_tx_instance();
    if (!instance)
        return 1;
    const int tab = active_tab(instance);
    instance->set_position_data(vertical_key(tab), shown_value(m_vertical_bar));
    instance->set_position_data(horizontal_key(tab), shown_value(m_horizontal_bar));
    if (tab != SETUP_TAB) {
        instance->set_position_data(ZOOM_LEVEL_NUMERATOR, m_zoom_level.m_numerator);
        instance->set_position_data(ZOOM_LEVEL_DENOMINATOR, m_zoom_level.m_denominator);
        instance->set_position_data(ZOOM_OFFSET_NUMERATOR, m_zoom_offset.m_numerator);
        instance->set_position_data(ZOOM_OFFSET_DENOMINATOR, m_zoom_offset.m_denominator);
    }
    return 1;
}

void VOKR_VIEW::save_timebars()
{
    KSM_TX_INSTANCE* instance = m_tx_manager->get_tx_instance();
    VOKR_ASSERT(instance != NULL);
    instance->set_position_data(TIMEBARS, m_time_bars, m_timebar_count);
    m_stored_time_bars.insert(instance, QVector<int>(m_time_bars, m_time_bars + m_timebar_count));
}

// A stored fraction, or `fallback` when it is absent or could not be one the view wrote: a
// denominator of 0 or below, or a zero numerator of a zoom level.
VOKR_DOUBLE VOKR_VIEW::read_fraction(const char* numerator, const char* denominator, const VOKR_DOUBLE& fallback) const
{
    const KSM_TX_INSTANCE* instance = m_tx_manager->get_tx_instance();
    const int n = instance->get_position_data(numerator);
    const int d = instance->get_position_data(denominator);
    const bool level = fallback.m_numerator != 0;
    if (d <= 0 || (level && n <= 0) || (!level && n < 0))
        return fallback;
    return VOKR_DOUBLE(n, d);
}

// The bar keeps the stored value as its whole range until the next relayout sets the real
// range, which then holds the value inside it.
void VOKR_VIEW::prepare_scroll_bar(QScrollBar* bar, int stored) const
{
    if (!bar)
        return;
    const int value = std::max(stored, 0);
    bar->hide();
    bar->setRange(0, value);
    bar->setPageStep(1);
    bar->setValue(value);
}

bool VOKR_VIEW::load_position_data()
{
    const KSM_TX_INSTANCE* instance = m_tx_manager->get_tx_instance();
    if (!instance)
        return true;
    const int tab = active_tab(instance);
    if (tab != SETUP_TAB) {
        m_zoom_level = read_fraction(ZOOM_LEVEL_NUMERATOR, ZOOM_LEVEL_DENOMINATOR, VOKR_DOUBLE(1, 1));
        m_zoom_offset = read_fraction(ZOOM_OFFSET_NUMERATOR, ZOOM_OFFSET_DENOMINATOR, VOKR_DOUBLE(0, 1));
    }
    prepare_scroll_bar(m_vertical_bar, instance->get_position_data(vertical_key(tab)));
    prepare_scroll_bar(m_horizontal_bar, instance->get_position_data(horizontal_key(tab)));
    return true;
}

bool VOKR_VIEW::load_timebars()
{
    const KSM_TX_INSTANCE* instance = m_tx_manager->get_tx_instance();
    if (!instance)
        return true;
    // An edited or damaged file may hold more entries than the view keeps: the rest are ignored.
    m_timebar_count = std::max(instance->get_position_data(TIMEBARS, m_time_bars, MAX_TIME_BARS), 0);
    if (m_timebar_count < 1)
        return true;
    // Positions outside the data are dropped from bars read from the file, not from the ones the
    // view placed itself.
    if (m_stored_time_bars.value(instance) == QVector<int>(m_time_bars, m_time_bars + m_timebar_count))
        return true;
    const int depth = get_sample_depth();
    for (int i = m_timebar_count - 1; i >= 0; --i)
        if (m_time_bars[i] < 0 || m_time_bars[i] > depth)
            remove_time_bar(i);
    return true;
}
