// Horizontal zoom of the waveform column: zoom in and out (anchored at the pointer, else at the
// trigger or master time bar in view, else at the middle), fit in window,
// centring on a sample or the trigger, their enable rules, and the hit tests between pointer
// positions and samples.
//
// The zoom level L and offset O are fractions of two 32-bit integers; the column shows
// base / L - trunc(O) samples. Both change only by doubling or halving one of their two parts, so
// that repeated zooming never loses precision.
#include "vokr_view.h"

#include "ksm.h"
#include "vokr_frame_wnd.h"
#include "vokr_tx_manager.h"

#include <QScrollBar>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

constexpr int HEADER_ROWS = 3;

// A level of 0 (or a broken fraction) reads as level 1 with no offset.
void repair(VOKR_DOUBLE* level, VOKR_DOUBLE* offset)
{
    if (level->m_denominator > 0 && level->m_numerator > 0 && offset->m_denominator > 0)
        return;
    *level = VOKR_DOUBLE(1, 1);
    *offset = VOKR_DOUBLE(0, 1);
}

// Doubles a positive fraction: the denominator halves while it is even, else the numerator doubles.
void double_fraction(VOKR_DOUBLE* f)
{
    if (f->m_numerator == 0)
        return;
    if (f->m_denominator > 0 && f->m_denominator % 2 == 0)
        f->m_denominator /= 2;
    else
        f->m_numerator *= 2;
}

// Halves a fraction: the numerator halves while it is positive and even, else the denominator doubles.
void halve_fraction(VOKR_DOUBLE* f)
{
    if (f->m_numerator == 0)
        return;
    if (f->m_numerator > 0 && f->m_numerator % 2 == 0)
        f->m_numerator /= 2;
    else
        f->m_denominator *= 2;
}

}  // namespace

int VOKR_VIEW::next_power_of_two(int n)
{
    int p = 1;
    while (p < n && p < (1 << 30))
        p <<= 1;
    return p;
}

int VOKR_VIEW::get_zoom_base() const
{
    const int depth = m_tx_manager && !m_tx_manager->is_empty() ? get_sample_depth() : 0;
    return depth > SAMPLE_SPAN ? next_power_of_two(depth) : SAMPLE_SPAN;
}

int VOKR_VIEW::get_sample_at(const QPoint& point) const
{
    int row = -1, column = -1;
    QRect cell;
    const double pixels = get_pixels_per_sample();
    if (pixels <= 0.0 || !find_item(point, &row, &column, &cell) || column != WAVEFORM_COLUMN)
        return -1;
    return horizontal_value() + int((point.x() - cell.left() - 1) / pixels);
}

void VOKR_VIEW::store_zoom()
{
    save_position_data();
    update();
}

// The sample a zoom without a pointer keeps where it is on the screen: of the trigger and the
// master time bar, the one in view nearer the middle, else the middle of the view.
int VOKR_VIEW::zoom_anchor() const
{
    const int first = horizontal_value();
    const int last = get_visible_end_sample();
    const int middle = first + (last - first) / 2;
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    std::vector<int> looked_at;
    if (log && log->get_data_trigger_position(-1) >= 0)
        looked_at.push_back(trigger_sample());
    if (m_timebar_count > 0)
        looked_at.push_back(m_time_bars[0]);
    int anchor = middle;
    int distance = INT_MAX;
    for (int sample : looked_at) {
        if (sample >= first && sample <= last && std::abs(sample - middle) < distance) {
            anchor = sample;
            distance = std::abs(sample - middle);
        }
    }
    return anchor;
}

// After a zoom without a pointer the anchor stands at the same share of the view as before.
void VOKR_VIEW::keep_anchor(int anchor, int first, double span)
{
    if (m_column_scroll || m_horizontal_bar->isHidden() || span <= 0.0)
        return;
    m_horizontal_bar->setValue(anchor - int(std::lround((anchor - first) * span_of_zoom() / span)));
}

bool VOKR_VIEW::zoom_in(const QPoint* point)
{
    const int before = point ? get_sample_at(*point) : -1;
    repair(&m_zoom_level, &m_zoom_offset);
    if (span_of_zoom() == 1.0)
        return false;
    const int anchor = zoom_anchor(), first = m_column_scroll ? 0 : horizontal_value();
    const double span = span_of_zoom();
    double_fraction(&m_zoom_level);
    halve_fraction(&m_zoom_offset);
    if (m_zoom_level.value() == double(get_zoom_base()))
        reset_zoom(true);
    resizeEvent(nullptr);
    const int after = point ? get_sample_at(*point) : -1;
    if (before != -1 && after != -1)
        m_horizontal_bar->setValue(horizontal_value() + before - after);
    else if (!point)
        keep_anchor(anchor, first, span);
    store_zoom();
    return true;
}

bool VOKR_VIEW::zoom_out(const QPoint* point)
{
    int before = -1;
    if (point) {
        int row = -1, column = -1;
        QRect cell;
        if (find_item(*point, &row, &column, &cell) && row < HEADER_ROWS)
            return false;
        before = get_sample_at(*point);
    }
    repair(&m_zoom_level, &m_zoom_offset);
    if (span_of_zoom() == get_sample_depth())
        return false;
    const int anchor = zoom_anchor(), first = m_column_scroll ? 0 : horizontal_value();
    const double span = span_of_zoom();
    halve_fraction(&m_zoom_level);
    double_fraction(&m_zoom_offset);
    reset_zoom(false);
    resizeEvent(nullptr);
    if (point && !m_horizontal_bar->isHidden()) {
        const int after = get_sample_at(*point);
        if (before != -1 && after != -1)
            m_horizontal_bar->setValue(m_horizontal_bar->value() + before - after);
    } else if (!point) {
        keep_anchor(anchor, first, span);
    }
    store_zoom();
    return true;
}

bool VOKR_VIEW::center_on_sample(int sample, bool apply)
{
    QScrollBar* bar = m_horizontal_bar;
    if (bar->isHidden())
        return false;
    const int target =
        std::clamp(sample - (get_visible_end_sample() - horizontal_value()) / 2, bar->minimum(), bar->maximum());
    if (target == bar->value())
        return false;
    if (!apply)
        return true;
    bar->setValue(target);
    store_zoom();
    return true;
}

void VOKR_VIEW::center_on_sample(int sample) { center_on_sample(sample, true); }

void VOKR_VIEW::on_center_on_trigger() { center_on_sample(trigger_sample(), true); }

void VOKR_VIEW::on_zoom_in() { zoom_in(nullptr); }

void VOKR_VIEW::on_zoom_out() { zoom_out(nullptr); }

void VOKR_VIEW::on_fit_in_window()
{
    m_zoom_level = VOKR_DOUBLE(1, 1);
    reset_zoom(true);
    resizeEvent(nullptr);
    store_zoom();
    if (m_frame_wnd)
        m_frame_wnd->on_update_view_menu();
}

bool VOKR_VIEW::on_update_zoom_in()
{
    if (get_sample_depth() == 0)
        return false;
    repair(&m_zoom_level, &m_zoom_offset);
    return span_of_zoom() != 1.0;
}

bool VOKR_VIEW::on_update_zoom_out()
{
    if (get_sample_depth() == 0)
        return false;
    repair(&m_zoom_level, &m_zoom_offset);
    return span_of_zoom() != get_sample_depth();
}

bool VOKR_VIEW::on_update_fit_in_window() { return on_update_zoom_out(); }

// Only a single capture with a trigger, whose centring would move the window.
bool VOKR_VIEW::on_update_center_on_trigger()
{
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    if (get_sample_depth() == 0 || !log || log->get_data_trigger_position(-1) < 0 || get_node_count() == 0)
        return false;
    if (get_row_height(2) > 0 && m_tx_manager->get_data_segment_size() > 1)
        return false;
    return center_on_sample(log->get_data_trigger_position(-1), false);
}

int VOKR_VIEW::find_drop_position(const QPoint& point, bool* before) const
{
    int row = -1, column = -1;
    QRect cell;
    if (find_item(point, &row, &column, &cell) && row >= HEADER_ROWS - 1) {
        if (cell.bottom() > point.y() + 6) {
            *before = point.y() < cell.top() + 7;
            if (row != HEADER_ROWS - 1)
                return row_to_node(row);
        } else if (find_item(point + QPoint(0, 8), &row, &column, &cell) && row >= HEADER_ROWS) {
            *before = true;
            return row_to_node(row);
        }
    }
    *before = false;
    return get_node_count();
}
