// Time bars and the zoom band by mouse: the sample under an x position, picking a bar within
// 5 px, adding, dragging, merging and deleting bars, and the rubber band that zooms to a span.
#include "vokr_view.h"

#include "vokr_tx_manager.h"

#include <QApplication>
#include <QRubberBand>
#include <QScrollBar>

#include <cmath>
#include <cstdlib>

int VOKR_VIEW::get_sample_at(const QPoint& point, bool rounding) const
{
    const double p = get_pixels_per_sample();
    QRect cell;
    if (p <= 0.0 || !get_item_rect(0, WAVEFORM_COLUMN, &cell))
        return -1;
    const int origin = cell.left() + 2;
    int sample = get_first_visible_sample() + int((point.x() - origin + 1) / p);
    if (rounding && point.x() > p * 0.5 + get_sample_x(sample))
        ++sample;
    return sample;
}

// A bar exactly at the sample under the point wins; else the one nearest to it within 5 px.
int VOKR_VIEW::find_time_bar_at(const QPoint& point) const
{
    const int c = get_sample_at(point, true);
    if (c == -1)
        return -1;
    const int l = get_sample_at(point - QPoint(5, 0), true);
    const int r = get_sample_at(point + QPoint(5, 0), true);
    const int exact = find_time_bar(c);
    if (exact != -1 || c == l || c == r)
        return exact;
    int best = -1;
    for (int i = 0; i < m_timebar_count; ++i) {
        const int s = m_time_bars[i];
        if (s >= l && s <= r && (best == -1 || std::abs(s - c) < std::abs(m_time_bars[best] - c)))
            best = i;
    }
    return best;
}

bool VOKR_VIEW::add_time_bar(int sample)
{
    if (find_time_bar(sample) != -1 || m_timebar_count >= MAX_TIME_BARS)
        return false;
    m_time_bars[m_timebar_count++] = sample;
    if (m_timebar_count == 1)
        resizeEvent(nullptr);
    update();
    return true;
}

void VOKR_VIEW::drag_time_bar(const QPoint& point, bool scrolling)
{
    if (m_dragged_time_bar < 0 || m_dragged_time_bar >= m_timebar_count)
        return;
    QRect column;
    get_column_rect(WAVEFORM_COLUMN, &column);
    column.setTop(rect().top());
    column.setBottom(rect().bottom());
    int s = get_sample_at(point, true);
    if (column.contains(point)) {
        set_cursor_kind(CURSOR_SIZE);
    } else {
        set_cursor_kind(CURSOR_FORBIDDEN);
        if (scrolling && !m_horizontal_bar->isHidden()) {
            const int first = horizontal_value();
            const int step = std::max(1, (get_visible_end_sample() - first) / 2);
            const bool left = point.x() < column.left();
            m_horizontal_bar->setValue(first + (left ? -step : step));
            s = left ? horizontal_value() : get_visible_end_sample() - 1;
        }
    }
    const int delta = s - m_time_bars[m_dragged_time_bar];
    m_time_bars[m_dragged_time_bar] = s;
    if (m_drag_all_time_bars)
        for (int i = 0; i < m_timebar_count; ++i)
            if (i != m_dragged_time_bar)
                m_time_bars[i] += delta;
    if (m_dragged_time_bar == 0 || m_drag_all_time_bars)
        update_transition_buttons();
    update();
}

bool VOKR_VIEW::drop_time_bar(const QPoint& point)
{
    const int index = m_dragged_time_bar;
    if (index < 0 || index >= m_timebar_count) {
        m_dragged_time_bar = -1;
        return false;
    }
    QRect column;
    get_column_rect(WAVEFORM_COLUMN, &column);
    const bool inside = point.x() >= column.left() && point.x() <= column.right();
    if (!inside) {
        if (m_drag_all_time_bars)
            clear_time_bars();
        else
            remove_time_bar(index);
        resizeEvent(nullptr);
    } else {
        drag_time_bar(point, false);
        validate_time_bar(index);
        if (m_drag_all_time_bars) {
            const int depth = get_sample_depth();
            for (int i = m_timebar_count - 1; i >= 0; --i)
                if (i != index && (m_time_bars[i] < 0 || m_time_bars[i] > depth))
                    remove_time_bar(i);
        }
    }
    m_dragged_time_bar = -1;
    update_transition_buttons();
    update();
    return true;
}

void VOKR_VIEW::set_zoom_band_corner(const QPoint& point)
{
    m_zoom_band_rect.setBottomRight(point);
    QRect band = m_zoom_band_rect.normalized();
    if (band.width() < 5 || band.height() < 5)
        return;
    const int s1 = get_sample_at(band.topLeft(), false);
    const int s2 = get_sample_at(band.topRight(), false);
    const int first = get_first_visible_sample();
    int e = std::max(std::min(s2, get_visible_end_sample() - 1), first);
    if (s1 <= e)
        ++e;
    const bool reversed = m_zoom_band_rect.right() < m_zoom_band_rect.left();
    const int left = get_sample_x(s1), right = get_sample_x(e);
    if (reversed) {
        m_zoom_band_rect.setRight(left);
        m_zoom_band_rect.setLeft(right);
    } else {
        m_zoom_band_rect.setLeft(left);
        m_zoom_band_rect.setRight(right);
    }
}

void VOKR_VIEW::track_zoom_band(const QPoint& point)
{
    if (!hasFocus() || (m_cursor_kind != CURSOR_ZOOM_IN && m_cursor_kind != CURSOR_ZOOM_OUT) || !m_band_active)
        return;
    set_zoom_band_corner(point);
    m_rubber_band->setGeometry(m_zoom_band_rect.normalized());
    m_rubber_band->show();
}

void VOKR_VIEW::finish_zoom_band(bool exact_only)
{
    if (!m_band_active)
        return;
    m_band_active = false;
    const QRect band = m_zoom_band_rect.normalized();
    const QPoint origin = m_zoom_band_rect.topLeft();
    m_zoom_band_rect = QRect();
    m_rubber_band->setGeometry(QRect());
    m_rubber_band->hide();
    const bool shift = QApplication::keyboardModifiers() & Qt::ShiftModifier;
    if (band.width() >= 5 && band.height() >= 5) {
        if (shift)
            zoom_out(&origin);
        else
            zoom_to_band(band);
    } else if (shift) {
        zoom_out(&origin);
    } else if (!exact_only) {
        zoom_in(&origin);
    }
}

// The largest power-of-two level whose span holds the band, and the offset that trims the span
// to exactly the band.
void VOKR_VIEW::zoom_to_band(const QRect& band)
{
    if (m_tx_manager->is_empty() || get_sample_depth() < 1)
        return;
    const int s1 = get_sample_at(band.topLeft(), false);
    const int s2 = get_sample_at(band.topRight(), false);
    const int span = std::max(1, s2 - s1);
    const int base = get_zoom_base();
    const int q = base / span;
    int level = 1, offset = 0;
    if (q >= 1) {
        while (level * 2 <= q)
            level *= 2;
        offset = base / level - span;
    }
    m_zoom_level = VOKR_DOUBLE(level, 1);
    m_zoom_offset = VOKR_DOUBLE(offset, 1);
    reset_zoom(false);
    resizeEvent(nullptr);
    m_horizontal_bar->setValue(s1);
    save_position_data();
    update();
}
