// Time bars: vertical markers at samples of the capture. Entry 0 is the master time bar, the
// cursor that the value column reads and that transition and bus-value searches move. Every
// change is stored with the instance's position data.
#include "vokr_view.h"

#include "ksm.h"
#include "vokr_insert_time_bar_dlg.h"
#include "vokr_time_units_dlg.h"
#include "vokr_tx_manager.h"

#include <QToolButton>

#include <algorithm>

int VOKR_VIEW::find_time_bar(int sample) const
{
    const int* end = m_time_bars + m_timebar_count;
    const int* found = std::find(m_time_bars, end, sample);
    return found == end ? -1 : int(found - m_time_bars);
}

// Centres the window on `center`, stores the bars and repaints.
void VOKR_VIEW::store_time_bars(int center)
{
    center_on_sample(center, true);
    store_time_bars();
}

// Stores the bars and repaints, the window staying where it is; a first bar or the last one
// gone also lays the value column and the transition buttons out again.
void VOKR_VIEW::store_time_bars()
{
    save_timebars();
    resizeEvent(nullptr);
    update_transition_buttons();
    update();
}

// Makes `sample` the master; the old master stays as an ordinary bar while there is room.
void VOKR_VIEW::place_master(int sample)
{
    if (m_timebar_count == 0) {
        m_time_bars[0] = sample;
        m_timebar_count = 1;
        return;
    }
    const int old_master = m_time_bars[0];
    if (old_master == sample)
        return;
    const int index = find_time_bar(sample);
    if (index > 0)
        remove_time_bar(index);
    m_time_bars[0] = sample;
    if (find_time_bar(old_master) < 0 && m_timebar_count < MAX_TIME_BARS)
        m_time_bars[m_timebar_count++] = old_master;
}

// Asks for a position relative to the trigger, as a sample number or, in time mode, as a time
// (the bar goes to the first sample at or after it). False when the user cancels.
bool VOKR_VIEW::ask_time_bar_position(int* relative, bool* make_master)
{
    const int trigger = trigger_sample(), low = -trigger, high = get_sample_depth() - trigger;
    const bool first = m_timebar_count == 0;
    if (!m_use_time_units || !(m_time_period > 0.0)) {
        VOKR_INSERT_TIME_BAR_DLG dialog(this, low, high, first);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        *relative = dialog.get_sample(), *make_master = dialog.is_make_master();
        return true;
    }
    // A time is not typed in MHz: a sample clock opens the dialog with its period in us.
    const bool frequency = m_time_unit == "MHz";
    const double period = frequency ? 1.0 / m_time_period : m_time_period;
    VOKR_TIME_UNITS_DLG dialog(this, low, high, period, first);
    dialog.set_unit(frequency ? QString("us") : m_time_unit);
    dialog.on_init_dialog();
    if (dialog.exec() != QDialog::Accepted)
        return false;
    *relative = dialog.get_sample(), *make_master = dialog.is_make_master();
    return true;
}

void VOKR_VIEW::on_insert_time_bar()
{
    int relative = 0;
    bool make_master = false;
    if (!ask_time_bar_position(&relative, &make_master))
        return;
    const int sample = trigger_sample() + relative;
    if (make_master)
        place_master(sample);
    else if (find_time_bar(sample) < 0 && m_timebar_count < MAX_TIME_BARS)
        m_time_bars[m_timebar_count++] = sample;
    store_time_bars(sample);
}

void VOKR_VIEW::on_insert_master_time_bar()
{
    const int sample = m_selected_time_bar;
    if (find_time_bar(sample) < 0 && m_timebar_count < MAX_TIME_BARS)
        m_time_bars[m_timebar_count++] = sample;
    const int index = find_time_bar(sample);
    if (index > 0)
        std::swap(m_time_bars[0], m_time_bars[index]);
    store_time_bars();
}

// The old master position is not kept; a bar already at the target merges into the master.
void VOKR_VIEW::on_move_master_time_bar()
{
    const int sample = m_selected_time_bar;
    if (m_timebar_count == 0)
        return;
    m_time_bars[0] = -1;
    const int index = find_time_bar(sample);
    if (index > 0)
        remove_time_bar(index);
    m_time_bars[0] = sample;
    store_time_bars();
}

void VOKR_VIEW::on_delete_time_bar()
{
    const int index = find_time_bar(m_selected_time_bar);
    if (index < 0)
        return;
    remove_time_bar(index);
    save_timebars();
    update_transition_buttons();
    update();
}

void VOKR_VIEW::on_delete_all_time_bars()
{
    clear_time_bars();
    save_timebars();
    resizeEvent(nullptr);
    update();
}

bool VOKR_VIEW::on_update_insert_time_bar() { return get_sample_depth() != 0; }

bool VOKR_VIEW::on_update_insert_master_time_bar()
{
    return m_selected_time_bar != -1 && find_time_bar(m_selected_time_bar) < 0;
}

bool VOKR_VIEW::on_update_set_as_master_time_bar()
{
    return m_selected_time_bar != -1 && find_time_bar(m_selected_time_bar) > 0;
}

bool VOKR_VIEW::on_update_delete_time_bar() { return find_time_bar(m_selected_time_bar) >= 0; }

bool VOKR_VIEW::on_update_delete_all_time_bars()
{
    return current_node_table() && get_sample_depth() != 0 && m_timebar_count > 0;
}

// The master time bar can step forward while it stands below the sample depth, back from sample
// 1 on; without time bars neither way.
bool VOKR_VIEW::can_step_transition(bool forward) const
{
    if (m_timebar_count <= 0)
        return false;
    return forward ? m_time_bars[0] < get_sample_depth() : m_time_bars[0] >= 1;
}

// The buttons, and the frame's Next and Previous Transition while the view runs them.
void VOKR_VIEW::update_transition_buttons()
{
    m_next_transition_button->setEnabled(can_step_transition(true));
    m_previous_transition_button->setEnabled(can_step_transition(false));
    if (m_frame_wnd && m_actions_connected) {
        action(PIRQ_ACTION_NEXT_TRANSITION)->setEnabled(can_step_transition(true));
        action(PIRQ_ACTION_PREVIOUS_TRANSITION)->setEnabled(can_step_transition(false));
    }
}
