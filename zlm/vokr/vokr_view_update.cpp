// Keeping the node list view in step with the document and with its own size: the reaction to
// the manager's change notification, the relayout, and the reaction to changed project settings.
#include "vokr_view.h"

#include "dev.h"
#include "omu.h"
#include "vokr_assert.h"
#include "vokr_enum.h"
#include "vokr_globals.h"
#include "vokr_tx_manager.h"

#include <QAction>
#include <QComboBox>
#include <QFontMetrics>
#include <QLayout>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolButton>

#include <algorithm>
#include <cmath>

namespace {

constexpr int LOCK_COMBO_WIDTH = 222;
constexpr int LOCK_COMBO_HEIGHT = 22;
constexpr int LOCK_COMBO_MIN_WIDTH = 21;
constexpr int DEVICE_RESOURCE_INCREMENTAL_ROUTE = 32;
constexpr unsigned int SETTINGS_CHANGED_HINT = VOKR_HINT_REFRESH | VOKR_HINT_CONFIG;

bool valid_fraction(const VOKR_DOUBLE& d) { return d.m_denominator > 0 && d.m_numerator > 0; }

}  // namespace

// ---- time bars and zoom ------------------------------------------------------------------------------

void VOKR_VIEW::clear_time_bars()
{
    std::fill(std::begin(m_time_bars), std::end(m_time_bars), 0);
    m_timebar_count = 0;
    m_dragged_time_bar = -1;
}

int VOKR_VIEW::reset_zoom(bool reset_offset)
{
    if (reset_offset || m_zoom_offset.m_denominator <= 0)
        m_zoom_offset = VOKR_DOUBLE(0, 1);
    if (!valid_fraction(m_zoom_level)) {
        m_zoom_level = VOKR_DOUBLE(1, 1);
        m_zoom_offset = VOKR_DOUBLE(0, 1);
    }
    const int depth = get_sample_depth();
    const int base = get_zoom_base();
    if (depth == 0)
        return depth - 1;
    if (base / m_zoom_level.value() - m_zoom_offset.value() > depth) {
        m_zoom_level = VOKR_DOUBLE(1, 1);
        m_zoom_offset = VOKR_DOUBLE(base - depth, 1);
        return base - depth;
    }
    return depth - 1;
}

// ---- on_update ----------------------------------------------------------------------------------------

void VOKR_VIEW::on_update(QObject*, int hint)
{
    const unsigned int bits = static_cast<unsigned int>(hint);
    invalidate_geometry();
    const bool instance = m_tx_manager->get_tx_instance() != nullptr;
    if (m_column_width_pending && instance && load_column_widths()) {
        m_column_width_pending = false;
        resizeEvent(nullptr);
    }
    if (!(bits & VOKR_HINT_VIEW) || !instance)
        return;
    if (bits & VOKR_HINT_REBUILD) {
        select_items(false);
        m_zoom_level = VOKR_DOUBLE(1, 1);
        clear_time_bars();
        m_lock_mode_combo->setEnabled(false);
        resizeEvent(nullptr);
        update();
        return;
    }
    if (!(bits & VOKR_HINT_REFRESH))
        return;
    if (bits & VOKR_HINT_GEOMETRY) {
        load_timebars();
        load_position_data();
    }
    if (get_sample_depth() == 0)
        clear_time_bars();
    const int setup = m_tx_manager->is_setup_mode() ? 1 : 0;
    if (m_last_setup_mode != -1 && setup != m_last_setup_mode)
        select_items(false);
    m_last_setup_mode = setup;
    if (m_tx_manager->get_frame_wnd())
        refresh_controls();
    m_tx_manager->update_advanced_trigger_pattern();
    reset_zoom(false);
    if (bits & VOKR_HINT_NO_REPAINT)
        return;
    resizeEvent(nullptr);
    update();
}

// An acquiring instance: its status word has a bit besides the idle ones, or all of them.
bool VOKR_VIEW::is_busy() const { return m_tx_manager->is_instance_acquiring(-1); }

void VOKR_VIEW::refresh_controls()
{
    const bool busy = is_busy();
    if (!m_tx_manager->is_setup_mode()) {
        m_lock_mode_combo->hide();
        for (QComboBox* combo : m_level_combos)
            combo->hide();
    } else {
        refresh_lock_mode_combo(busy);
        refresh_level_combos(busy);
    }
    const bool buttons = !m_tx_manager->is_setup_mode() && m_timebar_count > 0;
    m_previous_transition_button->setVisible(buttons);
    m_next_transition_button->setVisible(buttons);
}

void VOKR_VIEW::refresh_lock_mode_combo(bool busy)
{
    {
        const QSignalBlocker blocker(m_lock_mode_combo);
        const QStringList& labels = vokr_lock_mode_labels();
        for (int i = 0; i < labels.size(); ++i)
            m_lock_mode_combo->setItemText(i, labels.at(i));
        m_lock_mode_combo->setCurrentIndex(m_tx_manager->get_lock_mode(false));
        if (!busy && m_tx_manager->is_corvix_generated())
            m_lock_mode_combo->setCurrentIndex(VOKR_LOCK_MODE_INCREMENTAL_ROUTE);
    }
    m_lock_mode_combo->show();
    m_lock_mode_combo->setEnabled(!busy && !m_tx_manager->is_corvix_generated());
}

void VOKR_VIEW::refresh_level_combos(bool busy)
{
    const VOKR_UPDATE_GUARD guard;
    const int instance = m_tx_manager->get_current_instance_index();
    const bool editable = !busy && !m_tx_manager->get_session()->is_power_up_view(instance) &&
                          m_tx_manager->get_lock_mode(false) == VOKR_LOCK_MODE_ALL_CHANGES;
    QString type;
    m_tx_manager->get_storage_qualifier_type(&type, -1);
    int count = 0;
    m_tx_manager->get_trigger_level(&count, -1);
    for (int i = 0; i < LEVEL_COMBO_COUNT; ++i) {
        const int level = i - 3;
        bool shown = level >= 0 ? level < count : false;
        if (level == -3)
            shown = type == "Conditional";
        else if (level < 0)
            shown = type == "Start/Stop";
        QComboBox* combo = m_level_combos[i];
        combo->setVisible(shown);
        if (!shown)
            continue;
        combo->setCurrentIndex(m_tx_manager->get_trigger_level_type(level, -1));
        combo->setEnabled(editable && m_tx_manager->is_pattern_enabled(level));
    }
}

// ---- relayout -----------------------------------------------------------------------------------------

void VOKR_VIEW::resizeEvent(QResizeEvent* event)
{
    if (event)
        QWidget::resizeEvent(event);
    if (m_resized_by_undo && m_rebuilding_tabs)
        return;
    const int total = get_fixed_columns_width();
    update_horizontal_range(width(), total);
    int available = rect().bottom() - get_row_height(0) - get_row_height(1) - get_row_height(2);
    if (!m_horizontal_bar->isHidden())
        available -= m_horizontal_bar->sizeHint().height();
    update_vertical_range(available);
    if (!m_vertical_bar->isHidden())
        update_horizontal_range(width() - m_vertical_bar->sizeHint().width(), total);
    update_margins(total);
    place_lock_mode_combo();
    update_advanced_trigger_combo_positions();
    place_transition_buttons();
}

// Column scroll mode scrolls the whole grid in pixels; else, on the Data tab, the bar scrolls
// the waveform in samples. A page is what the view shows; an arrow key a twentieth of it, and a
// wheel notch three of those, as Qt's scroll areas step.
void VOKR_VIEW::update_horizontal_range(int width, int total)
{
    m_column_scroll = total > width;
    QScrollBar* bar = m_horizontal_bar;
    if (m_column_scroll) {
        bar->setRange(0, total - width);
        bar->setPageStep(width);
        bar->setSingleStep(std::max(width / 20, 1));
        bar->show();
        return;
    }
    const int depth = get_sample_depth();
    if (m_tx_manager->is_data_mode(-1) && depth > 0) {
        if (!valid_fraction(m_zoom_level) || m_zoom_offset.m_denominator <= 0) {
            m_zoom_level = VOKR_DOUBLE(1, 1);
            m_zoom_offset = VOKR_DOUBLE(0, 1);
        }
        const double span = span_of_zoom();
        if (span != depth) {
            const int whole = static_cast<int>(std::trunc(span));
            bar->setRange(0, std::max(depth - whole, 0));
            bar->setPageStep(whole);
            bar->setSingleStep(std::max(whole / 20, 1));
            bar->show();
            return;
        }
    }
    bar->setValue(0);
    bar->hide();
}

// The bar scrolls the shown node rows; a page is as many rows, from the last one up, as fit.
// The heights come from the measured rows at once, as every step of the master relayouts.
void VOKR_VIEW::update_vertical_range(int available)
{
    QScrollBar* bar = m_vertical_bar;
    const int saved = bar->value();
    bar->setValue(0);
    const ROW_CACHE& measured = rows();
    const int shown = measured.shown.size();
    int page = 0;
    for (int height = 0; page < shown; ++page) {
        height += measured.height[measured.shown[shown - 1 - page]];
        if (height >= available)
            break;
    }
    page = std::max(page, 1);
    if (shown <= page) {
        bar->hide();
        return;
    }
    bar->setRange(0, shown - page);
    bar->setPageStep(page);
    bar->setValue(saved);
    bar->show();
}

// The vertical bar starts below the header rows; on the Data tab the horizontal bar spans only
// the waveform column.
void VOKR_VIEW::update_margins(int total)
{
    const int top = m_vertical_bar->isHidden() ? 0 : header_height() + 1;
    const bool waveform_bar = m_tx_manager->is_data_mode(-1) && !m_column_scroll && !m_horizontal_bar->isHidden();
    layout()->setContentsMargins(waveform_bar ? total : 0, top, 0, 0);
}

int VOKR_VIEW::get_setup_width() const
{
    const int label_width = QFontMetrics(font()).horizontalAdvance("Lock mode:");
    const int names = m_column_width[0] + m_column_width[1] + m_column_width[2];
    return std::max(get_setup_columns_width(), names + label_width + 14 + LOCK_COMBO_WIDTH);
}

void VOKR_VIEW::place_lock_mode_combo()
{
    if (!m_frame_wnd || !m_tx_manager->is_setup_mode())
        return;
    static const int label_width = QFontMetrics(font()).horizontalAdvance("Lock mode:");
    const int x = get_column_width(0) + get_column_width(1) + get_column_width(2) + label_width + 14;
    const int available = rect().width() - x;
    if (available < LOCK_COMBO_MIN_WIDTH) {
        m_lock_mode_combo->hide();
        return;
    }
    m_lock_mode_combo->setGeometry(x, 0, std::min(available, LOCK_COMBO_WIDTH), LOCK_COMBO_HEIGHT);
    m_lock_mode_combo->show();
}

void VOKR_VIEW::place_transition_buttons()
{
    const int b = m_previous_transition_button->height();
    const bool shown = is_data_tab() && m_timebar_count > 0 && VOKR_TX_MANAGER::cfg_show_duplicate_buttons() &&
                       get_column_width(VALUE_COLUMN) >= b;
    if (!shown) {
        m_previous_transition_button->hide();
        m_next_transition_button->hide();
        return;
    }
    const int x = get_column_width(0) + get_column_width(1) + get_column_width(2);
    const int y = (get_row_height(0) - b) / 2;
    m_previous_transition_button->move(x, y);
    m_next_transition_button->move(x + get_column_width(VALUE_COLUMN) - b, y);
    m_previous_transition_button->show();
    m_next_transition_button->show();
    update_transition_buttons();
}

// ---- menu state -----------------------------------------------------------------------------------------

void VOKR_VIEW::on_update_alias_menu()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    action(PIRQ_ACTION_SET_ALIAS)->setEnabled(on_update_node_set_alias());
    action(PIRQ_ACTION_PASTE_ALIAS)->setEnabled(on_update_node_set_alias());
    action(PIRQ_ACTION_REMOVE_ALIAS)->setEnabled(on_update_node_remove_alias());
}

void VOKR_VIEW::on_update_alignment()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    const bool instance = m_tx_manager->get_tx_instance() != nullptr;
    QAction* left = action(328);
    QAction* right = action(329);
    left->setEnabled(instance);
    right->setEnabled(instance);
    left->setCheckable(true);
    right->setCheckable(true);
    left->setChecked(instance && m_tx_manager->cfg_align_left());
    right->setChecked(instance && !m_tx_manager->cfg_align_left());
}

// ---- project settings -----------------------------------------------------------------------------------

// Incremental routing is off in an open project whose device part has no resource for it.
void VOKR_VIEW::on_settings_changed()
{
    OMU_MANAGER* omu = OMU_MANAGER::get_omu_manager();
    VOKR_ASSERT_TEXT(omu != nullptr, "omu_mgr != NULL");
    const bool open = omu->is_project_open();
    bool resource = false;
    if (open) {
        OMU_REVISION_MANAGER* revision = omu->get_revision_manager();
        const bool lock_here = !revision->is_read_locked() && !revision->is_write_locked() && revision->read_lock();
        if (!revision->is_read_locked() && !revision->is_write_locked())
            return;
        OMU_ASSIGNMENT part;
        if (omu->get_assignment(OMU_VAR_DEVICE_PART, &part) && !part.value.empty() && part.value != DEV_GENERIC_PART)
            resource = DEV_PART_MANAGER::get_instance()->get_device_resource_count_of(
                           part.value, DEVICE_RESOURCE_INCREMENTAL_ROUTE) > 0;
        if (lock_here)
            revision->read_unlock();
    }
    const bool off = open && !resource;
    if (off == m_incremental_route_off)
        return;
    m_incremental_route_off = off;
    m_tx_manager->update_all_views(nullptr, static_cast<int>(SETTINGS_CHANGED_HINT));
}
