// The grid of the node list view: which rows and columns it has, how large they are, where each
// cell lies on screen, and the queries derived from them.
#include "vokr_view.h"

#include "ksm.h"
#include "pirq.h"
#include "vokr_hierarchy_widget.h"
#include "vokr_layout_widget.h"
#include "vokr_node.h"
#include "vokr_text_sprites.h"
#include "vokr_tx_manager.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QHash>
#include <QPaintEngine>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTextLayout>

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

namespace {

constexpr int TITLE_ROW = 0, HEADER_ROW_1 = 1, HEADER_ROW_2 = 2;
constexpr int NAME_COLUMN = 2;
constexpr int BASE_ROW_HEIGHT = 20;
constexpr int CHECK_BOX_HALF = 6;
constexpr int EXPAND_BOX = 10;
constexpr int INDENT = 30;
// The bounds of a width dragged by the user; a stored width outside them is damage.
constexpr int MIN_COLUMN_WIDTH = 10;
constexpr int MAX_COLUMN_WIDTH = 10000;
constexpr int FIRST_PATTERN_LEVEL = -3;
constexpr int FIRST_PATTERN_COLUMN = VOKR_VIEW::FIRST_LEVEL_COLUMN + FIRST_PATTERN_LEVEL;  // the storage patterns
constexpr int LEVEL_NUMBER_FONT = 55;

bool is_chart(KSM_DATA_GROUP_DISPLAY_TYPE type)
{
    return type >= KSM_GTYPE_UNSIGNED_BAR && type <= KSM_GTYPE_SIGNED_LINE;
}

// Whether every digit group of `text`, cut from its right end, is all X or free of X.
bool digit_groups_are_pure(const QString& text, int digits)
{
    for (int end = text.size(); end > 0; end -= digits) {
        const QStringRef group = text.midRef(std::max(0, end - digits), std::min(digits, end));
        const int x = group.count('X');
        if (x != 0 && x != group.size())
            return false;
    }
    return true;
}

// The widest a pattern of `digits` binary digits and edge letters is in the cells' font.
int widest_pattern(int digits)
{
    const QFontMetrics metrics(QApplication::font());
    int widest = 0;
    for (const QChar letter : QStringLiteral("01XHLRFE"))
        widest = std::max(widest, metrics.horizontalAdvance(QString(digits, letter)));
    return widest;
}

// A sample count or position computed in floating point, held inside the int range.
int to_int(double value) { return int(std::max(double(INT_MIN), std::min(double(INT_MAX), std::trunc(value)))); }

}  // namespace

// The widths given are minimums: a column whose header text is wider gets the text's width in
// the header font, so that the first screen shows those headers whole. An enable column is as
// wide as the first word of its caption, which its header shows when the whole caption does not
// fit, so that the condition columns stay in view beside the configuration pane; a condition
// cell whose pattern is wider than its column shows it elided.
const std::array<int, VOKR_VIEW::STORED_COLUMN_COUNT>& VOKR_VIEW::default_column_widths()
{
    static const std::array<int, STORED_COLUMN_COUNT> widths = [] {
        std::array<int, STORED_COLUMN_COUNT> given = {34,  34,  220, 74,  68,  78,  95,  96,  98,  98,  88, 88,
                                                      110, 101, 101, 101, 101, 101, 101, 101, 101, 107, 78};
        constexpr int HEADER_FONT = 55;  // the font the header is painted in
        constexpr int CHECK_BOX_WIDTH = 30;
        const QFontMetrics metrics(pirq_get_font(HEADER_FONT));
        const std::pair<int, const char*> headers[] = {{0, "Type"}, {1, "Alias"}, {8, "Transitional"}};
        for (const auto& [column, text] : headers)
            given[column] = std::min(MAX_COLUMN_WIDTH, std::max(given[column], metrics.horizontalAdvance(text) + 8));
        for (const auto& [column, text] :
             {std::pair<int, const char*>{5, "Data Enable"}, {6, "Trigger Enable"}, {7, "Storage Enable"}})
            given[column] = std::max(CHECK_BOX_WIDTH, metrics.horizontalAdvance(QString(text).section(' ', 0, 0)) + 4);
        const int pattern = widest_pattern(4) + 8;  // a 16-bit bus in hex digits
        for (int column = FIRST_PATTERN_COLUMN; column <= LAST_LEVEL_COLUMN; ++column)
            given[column] = std::max(given[column], pattern);
        return given;
    }();
    return widths;
}

// ---- node table ---------------------------------------------------------------------------------

KSM_TX_SIGNAL_NODES* VOKR_VIEW::current_node_table() const
{
    return m_tx_manager->is_empty() ? nullptr : m_tx_manager->get_nodes(-1);
}

int VOKR_VIEW::get_node_count() const
{
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    return list ? list->get_num_nodes() : 0;
}

bool VOKR_VIEW::is_group(int node) const
{
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    if (!list || node < 0 || node >= list->get_num_nodes())
        return false;
    const KSM_DATA_NODE_DISPLAY_TYPE t = list->get_display_type(node);
    return t == KSM_NTYPE_GROUP_EXPANDED || t == KSM_NTYPE_GROUP_COLLAPSED;
}

bool VOKR_VIEW::is_group_member(int node) const
{
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    if (!list || node < 0 || node >= list->get_num_nodes())
        return false;
    const KSM_DATA_NODE_DISPLAY_TYPE t = list->get_display_type(node);
    return t == KSM_NTYPE_MEMBER || t == KSM_NTYPE_LAST_MEMBER;
}

bool VOKR_VIEW::is_data_tab() const { return m_tx_manager->is_data_mode(-1); }

// ---- column widths ------------------------------------------------------------------------------

bool VOKR_VIEW::load_column_widths()
{
    m_column_width = default_column_widths();
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    if (!session)
        return false;
    // One entry more than needed tells a longer array from a complete one.
    int stored[STORED_COLUMN_COUNT + 1];
    if (session->get_global_data("column width", stored, STORED_COLUMN_COUNT + 1) != STORED_COLUMN_COUNT)
        return false;
    const auto valid = [](int w) { return w >= MIN_COLUMN_WIDTH && w <= MAX_COLUMN_WIDTH; };
    if (std::all_of(stored, stored + STORED_COLUMN_COUNT, valid))
        std::copy(stored, stored + STORED_COLUMN_COUNT, m_column_width.begin());
    return true;
}

void VOKR_VIEW::store_column_widths()
{
    if (KSM_TX_SESSION* session = m_tx_manager->get_session())
        session->set_global_data("column width", m_column_width.data(), STORED_COLUMN_COUNT);
}

// The Setup tab shows the enables, the storage qualifier's columns of its type and one column per
// trigger level.
bool VOKR_VIEW::is_setup_column(int column) const
{
    QString sq;
    m_tx_manager->get_storage_qualifier_type(&sq, -1);
    const KSM_TX_TRIGGER* trigger = m_tx_manager->get_trigger_object();  // none while no session is open
    switch (column) {
    case 3:
    case 4:
    case VALUE_COLUMN:
    case WAVEFORM_COLUMN: return false;
    case 7: return sq == "Transitional" || sq == "Conditional" || sq == "Start/Stop";
    case 8: return sq == "Transitional";
    case 9: return sq == "Conditional";
    case 10:
    case 11: return sq == "Start/Stop";
    default: return column < FIRST_LEVEL_COLUMN || (trigger && column - 11 <= trigger->get_num_levels());
    }
}

int VOKR_VIEW::get_setup_columns_width() const
{
    int total = 1;
    for (int id = 0; id < WAVEFORM_COLUMN; ++id)
        total += is_setup_column(id) ? m_column_width[id] : 0;
    return total;
}

int VOKR_VIEW::get_column_width(int column) const
{
    if (column < 0 || column >= COLUMN_COUNT)
        return 0;
    bool shown = false;
    if (m_tx_manager->is_setup_mode()) {
        shown = is_setup_column(column);
    } else if (!is_data_tab()) {
        shown = column <= NAME_COLUMN;
    } else {
        shown = column <= NAME_COLUMN || column == WAVEFORM_COLUMN || (column == VALUE_COLUMN && m_timebar_count > 0);
    }
    if (!shown)
        return 0;
    if (column != WAVEFORM_COLUMN)
        return m_column_width[column];
    if (m_column_scroll && m_horizontal_bar && !m_horizontal_bar->isHidden() && m_horizontal_bar->value() != 0)
        return 0;
    int rest = width() - 1;
    for (int id : {0, 1, NAME_COLUMN, VALUE_COLUMN})
        rest -= get_column_width(id);
    if (m_vertical_bar && !m_vertical_bar->isHidden())
        rest -= m_vertical_bar->width();
    return std::max(rest, 0);
}

// left[id] for every column id; left[COLUMN_COUNT] is the right end. Shown columns share their
// edge lines, so each starts one pixel left of the previous one's right edge.
void VOKR_VIEW::column_lefts(std::array<int, COLUMN_COUNT + 1>* left) const
{
    int x = m_column_scroll ? -horizontal_value() : 0;
    for (int id = 0; id < COLUMN_COUNT; ++id) {
        (*left)[id] = x;
        const int w = get_column_width(id);
        if (w > 0)
            x += w;
    }
    (*left)[COLUMN_COUNT] = x;
}

int VOKR_VIEW::set_column_width(int column, const QPoint& point, bool ignore)
{
    if (ignore || column < 0 || column >= STORED_COLUMN_COUNT)
        return 0;
    int left = m_column_scroll ? -horizontal_value() : 0;
    for (int id = 0; id < column; ++id)
        left += get_column_width(id);
    const int w = std::clamp(point.x() - left, MIN_COLUMN_WIDTH, MAX_COLUMN_WIDTH);
    m_column_width[column] = w;
    store_column_widths();
    resizeEvent(nullptr);
    update();
    return w;
}

// ---- row heights --------------------------------------------------------------------------------

int VOKR_VIEW::header_height() const
{
    return get_row_height(TITLE_ROW) + get_row_height(HEADER_ROW_1) + get_row_height(HEADER_ROW_2);
}

int VOKR_VIEW::get_row_height(int row) const
{
    if (row < 0 || row >= get_node_count() + FIRST_NODE_ROW)
        return 0;
    if (row >= FIRST_NODE_ROW)
        return rows().height[row_to_node(row)];
    VOKR_TX_MANAGER* m = m_tx_manager;
    const bool setup = m->is_setup_mode();
    const bool data = m->is_data_mode(-1);
    if (row == TITLE_ROW) {
        const bool tall =
            !setup && m_timebar_count > 0 && get_row_height(HEADER_ROW_1) > 0 && get_row_height(HEADER_ROW_2) > 0;
        return tall ? 38 : 23;
    }
    const int segment = data ? m->get_data_segment_size() : 0;
    if (row == HEADER_ROW_2)
        return data && segment == 1 && get_row_height(HEADER_ROW_1) > 0 ? 0 : 20;
    if (setup)
        return m->is_sequential_mode(-1) ? 20 : 40;
    if (!data)
        return 0;
    if (segment > 0) {
        const KSM_DATA_LOG* log = m->get_data_log();
        return log && log->get_data_trigger_position() >= 0 ? 20 : 0;
    }
    QString sq;
    const bool qualified = m->get_storage_qualifier_type(&sq, -1) && sq != "Continuous";
    return qualified && m->is_record_data_discontinuities_enabled(-1) ? 20 : 0;
}

// A node that sits directly in a level unchecked in the current instance's hierarchy pane.
bool VOKR_VIEW::is_hidden_in_hierarchy(int node) const
{
    const VOKR_LAYOUT_WIDGET* layout = m_tx_manager->get_layout_widget();
    const VOKR_HIERARCHY_WIDGET* pane = layout ? layout->get_hierarchy_widget() : nullptr;
    const KSM_TX_SIGNAL_NODES* list = pane && pane->hides_any() ? current_node_table() : nullptr;
    return list && node >= 0 && node < list->get_num_nodes() &&
           pane->is_hidden(QString::fromLocal8Bit(list->get_node_name(node)));
}

// A member row is hidden below a collapsed group (`below_collapsed`), a row in a hierarchy level
// the pane hides, and in the advanced modes a row without the trigger or storage use they show;
// a bus drawn as a chart on the Data tab is three rows tall.
int VOKR_VIEW::measure_node_row(const ROW_MEASURE& how, int node, KSM_DATA_NODE_DISPLAY_TYPE type,
                                bool below_collapsed) const
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    const bool group = type == KSM_NTYPE_GROUP_EXPANDED || type == KSM_NTYPE_GROUP_COLLAPSED;
    if (how.hiding && how.hiding->is_hidden(QString::fromLocal8Bit(how.list->get_node_name(node))))
        return 0;
    if (!group && type != KSM_NTYPE_NODE && below_collapsed)
        return 0;
    if (how.advanced &&
        (how.level < 0 ? m->is_node_hidden_in_storage_qualifier_mode(node) : m->is_node_hidden_in_advanced_mode(node)))
        return 0;
    return how.data_tab && group && is_chart(how.list->get_group_display_type(node)) ? 3 * how.base : how.base;
}

// Row heights of 4096 nodes are asked for by every cell of every paint; they are measured once
// and kept until the list, the tab, the mode or the spacing changes, or the manager announces
// an update. The measuring walks the rows' outline once, with the tabs and the hierarchy pane
// looked up once, and knows from the groups it passed whether a row lies below a collapsed one
// (a member's display type here does not tell the last member from the others).
const VOKR_VIEW::ROW_CACHE& VOKR_VIEW::rows() const
{
    ROW_CACHE& c = m_rows;
    const VOKR_TX_MANAGER::TABS_HOLD tabs(m_tx_manager);
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    const int count = list ? list->get_num_nodes() : 0;
    const bool data_tab = is_data_tab();
    int level = 0;
    const bool advanced = list && m_tx_manager->is_advanced_mode(&level);
    const int spacing = VOKR_TX_MANAGER::cfg_inter_line_spacing();
    if (c.valid && c.list == list && c.count == count && c.data_tab == data_tab && c.advanced == advanced &&
        c.level == level && c.spacing == spacing)
        return c;
    c = ROW_CACHE{true, list, count, spacing, level, data_tab, advanced, {}, {}, {}, {}};
    c.height.resize(count);
    c.shown_before.resize(count);
    const VOKR_LAYOUT_WIDGET* layout = m_tx_manager->get_frame_wnd() ? m_tx_manager->get_layout_widget() : nullptr;
    const VOKR_HIERARCHY_WIDGET* pane = layout ? layout->get_hierarchy_widget() : nullptr;
    const ROW_MEASURE how{
        list, pane && pane->hides_any() ? pane : nullptr, data_tab, advanced, level, spacing + BASE_ROW_HEIGHT};
    std::vector<KSM_ROW_OUTLINE> outline;
    if (list)
        list->get_outline(&outline);
    c.shown.resize(count);
    c.shown_top.resize(count);
    int* height = c.height.data();
    int* shown_before = c.shown_before.data();
    int* shown = c.shown.data();
    int* shown_top = c.shown_top.data();
    int top = 0, shown_count = 0;
    int collapsed = -1;  // the depth of the shallowest collapsed group above the row, -1 for none
    for (int node = 0; node < count; ++node) {
        const KSM_ROW_OUTLINE& row = outline[size_t(node)];
        const int depth = row.depth;
        const KSM_DATA_NODE_DISPLAY_TYPE type =
            row.group    ? row.expanded ? KSM_NTYPE_GROUP_EXPANDED : KSM_NTYPE_GROUP_COLLAPSED
            : depth == 0 ? KSM_NTYPE_NODE
                         : KSM_NTYPE_MEMBER;
        if (collapsed >= depth)
            collapsed = -1;
        shown_before[node] = shown_count;
        const bool plain = !how.hiding && !how.advanced && !(row.group && how.data_tab);
        const bool below = collapsed >= 0 && !row.group && depth > 0;
        height[node] = plain ? (below ? 0 : how.base) : measure_node_row(how, node, type, collapsed >= 0);
        if (collapsed < 0 && type == KSM_NTYPE_GROUP_COLLAPSED)
            collapsed = depth;
        if (height[node] > 0) {
            shown[shown_count] = node;
            shown_top[shown_count++] = top;
            top += height[node];
        }
    }
    c.shown.resize(shown_count);
    c.shown_top.resize(shown_count);
    return c;
}

int VOKR_VIEW::get_shown_node_count() const { return rows().shown.size(); }

int VOKR_VIEW::get_shown_rows_before(int node) const
{
    const ROW_CACHE& c = rows();
    if (node < 0)
        return 0;
    return node < c.count ? c.shown_before[node] : c.shown.size();
}

// ---- cells --------------------------------------------------------------------------------------

int VOKR_VIEW::vertical_value() const
{
    return m_vertical_bar && !m_vertical_bar->isHidden() ? std::max(m_vertical_bar->value(), 0) : 0;
}

int VOKR_VIEW::horizontal_value() const
{
    return m_horizontal_bar && !m_horizontal_bar->isHidden() ? m_horizontal_bar->value() : 0;
}

bool VOKR_VIEW::get_item_rect(int row, int column, QRect* rect) const
{
    const int h = get_row_height(row);
    const int w = get_column_width(column);
    if (h <= 0 || w <= 0)
        return false;
    int top = 0;
    if (row < FIRST_NODE_ROW) {
        for (int r = 0; r < row; ++r)
            top += get_row_height(r);
    } else {
        const ROW_CACHE& c = rows();
        const int v = vertical_value();
        const int shown = c.shown_before[row_to_node(row)];
        if (shown < v)
            return false;
        top = header_height() + c.shown_top[shown] - (v < c.shown.size() ? c.shown_top[v] : 0);
    }
    std::array<int, COLUMN_COUNT + 1> left;
    column_lefts(&left);
    *rect = QRect(QPoint(left[column], top), QPoint(left[column] + w + 1, top + h + 1));
    return true;
}

bool VOKR_VIEW::get_column_rect(int column, QRect* rect) const
{
    QRect cell;
    if (!get_item_rect(TITLE_ROW, column, &cell))
        return false;
    *rect = QRect(QPoint(cell.left(), 3 + header_height()), QPoint(cell.right(), this->rect().bottom()));
    return true;
}

bool VOKR_VIEW::find_item(const QPoint& point, int* row, int* column, QRect* rect) const
{
    int found = -1, top = 0;
    for (int r = 0; r < FIRST_NODE_ROW && found < 0; ++r) {
        const int h = get_row_height(r);
        if (h > 0 && top + h + 1 >= point.y())
            found = r;
        else
            top += h;
    }
    if (found < 0) {
        // The shown rows from the first one scrolled into view, found by their bottom edges.
        const ROW_CACHE& c = rows();
        const int v = vertical_value();
        if (v >= c.shown.size())
            return false;
        const int origin = top - c.shown_top[v];
        auto bottom_below = [&](int i) { return origin + c.shown_top[i] + c.height[c.shown[i]] + 1 < point.y(); };
        int lo = v, hi = c.shown.size();
        while (lo < hi) {
            const int mid = (lo + hi) / 2;
            if (bottom_below(mid))
                lo = mid + 1;
            else
                hi = mid;
        }
        if (lo == c.shown.size())
            return false;
        found = node_to_row(c.shown[lo]);
    }
    std::array<int, COLUMN_COUNT + 1> left;
    column_lefts(&left);
    for (int id = 0; id < COLUMN_COUNT; ++id) {
        const int w = get_column_width(id);
        if (w > 0 && left[id] + w + 1 >= point.x()) {
            *row = found;
            *column = id;
            return get_item_rect(found, id, rect);
        }
    }
    return false;
}

QRect VOKR_VIEW::get_level_box_rect(int level, const QRect& cell) const
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    if (m->is_sequential_mode(-1) && m->is_segmented_acquisition_trigger(level) && get_sample_depth() != 0)
        return QRect();
    const QFontMetrics metrics(pirq_get_font(LEVEL_NUMBER_FONT));
    const int text_end = cell.left() + 2 + metrics.horizontalAdvance(QString::number(level + 1));
    return QRect(QPoint(text_end + 2, cell.top() - 2), QPoint(text_end + 2 + 17, cell.bottom() + 1));
}

bool VOKR_VIEW::hit_test_box(int row, int column, const QPoint& point, const QRect& cell) const
{
    const QPoint centre = cell.center();
    if (row >= FIRST_NODE_ROW && column == NAME_COLUMN) {
        const KSM_TX_SIGNAL_NODES* list = current_node_table();
        const int node = row_to_node(row);
        if (!list || node >= list->get_num_nodes())
            return false;
        const int x = cell.left() + 5 + INDENT * list->get_depth(node);
        return QRect(QPoint(x, centre.y() - 5), QPoint(x + EXPAND_BOX, centre.y() + 5)).contains(point);
    }
    if (row >= FIRST_NODE_ROW && column >= 5 && column <= 8) {
        const QPoint corner(CHECK_BOX_HALF, CHECK_BOX_HALF);
        return QRect(centre - corner, centre + corner).contains(point);
    }
    if (row == HEADER_ROW_2 && column >= FIRST_LEVEL_COLUMN && column <= LAST_LEVEL_COLUMN)
        return get_level_box_rect(column - FIRST_LEVEL_COLUMN, cell).contains(point);
    return false;
}

// ---- whole grid ---------------------------------------------------------------------------------

int VOKR_VIEW::get_sample_depth() const
{
    int depth = 0;
    if (!m_tx_manager->is_empty())
        m_tx_manager->get_data_sample_depth(&depth, -1);
    return depth;
}

int VOKR_VIEW::get_fixed_columns_width() const
{
    int total = 1;
    for (int id = 0; id < WAVEFORM_COLUMN; ++id)
        total += get_column_width(id);
    return total;
}

int VOKR_VIEW::get_total_width() const
{
    return to_int(get_fixed_columns_width() + std::trunc(get_sample_depth() * get_pixels_per_sample()));
}

int VOKR_VIEW::get_total_height() const
{
    const ROW_CACHE& c = rows();
    const int nodes = c.shown.isEmpty() ? 0 : c.shown_top.last() + c.height[c.shown.last()];
    return header_height() + nodes + 1 + 18;
}

// ---- horizontal sample scale --------------------------------------------------------------------

double VOKR_VIEW::span_of_zoom() const
{
    const double level = m_zoom_level.m_denominator ? m_zoom_level.value() : 0.0;
    const double offset = m_zoom_offset.m_denominator ? m_zoom_offset.value() : 0.0;
    if (level == 0.0)
        return double(get_zoom_base());
    return get_zoom_base() / level - std::trunc(offset);
}

double VOKR_VIEW::get_pixels_per_sample() const
{
    if (m_tx_manager->is_empty() || get_sample_depth() <= 0)
        return 0.0;
    const double span = span_of_zoom();
    QRect cell;
    if (span <= 0.0 || !get_item_rect(TITLE_ROW, WAVEFORM_COLUMN, &cell))
        return 0.0;
    // A waveform cell narrower than its margin draws no samples.
    return std::max(0.0, (cell.right() - cell.left() - 5) / span);
}

int VOKR_VIEW::get_visible_end_sample() const
{
    const bool repaired = m_zoom_level.m_denominator == 0 || m_zoom_level.value() == 0.0;
    const double level = repaired ? 1.0 : m_zoom_level.value();
    const double offset = repaired || !m_zoom_offset.m_denominator ? 0.0 : m_zoom_offset.value();
    const int first = m_column_scroll ? 0 : horizontal_value();
    return to_int(first + std::trunc(get_zoom_base() / level) - std::trunc(offset));
}

int VOKR_VIEW::ruler_step_for(int width, double pixels_per_sample) const
{
    if (pixels_per_sample <= 0.0)
        return 0;
    const int need = int(1.5 * width);
    return next_power_of_two(to_int(std::ceil(need / pixels_per_sample)));
}

int VOKR_VIEW::get_ruler_step() const
{
    // Asked twice a paint, mostly with texts asked before (the view zoomed back, scrolled back):
    // the widths are kept for the font (GUI thread only, a few hundred at most), as measuring
    // shapes the text each time.
    static struct {
        QFont font;
        QHash<QString, int> widths;
    } kept;
    constexpr int MAX_KEPT = 512;
    const QString text = QString::number(get_visible_end_sample()) + "M";
    if (font() != kept.font || kept.widths.size() >= MAX_KEPT)
        kept = {font(), {}};
    auto width = kept.widths.constFind(text);
    if (width == kept.widths.constEnd())
        width = kept.widths.insert(text, fontMetrics().horizontalAdvance(text));
    return ruler_step_for(*width, get_pixels_per_sample());
}

int VOKR_VIEW::get_print_ruler_step(QPainter* painter, const QRect& rect, int first, int last) const
{
    // Equal bounds leave no samples to spread over the width: no step.
    if (last <= first)
        return 0;
    const int pixels = (rect.width() - 5) / (last - first);
    if (pixels <= 0)
        return 0;
    const int text = QFontMetrics(painter->font()).horizontalAdvance(QString::number(last) + "M");
    return ruler_step_for(text + 1, pixels);
}

// ---- sample numbering ---------------------------------------------------------------------------

int VOKR_VIEW::get_sample_in_segment(int sample, int* segment) const
{
    const int size = m_tx_manager->is_empty() ? 0 : m_tx_manager->get_data_segment_size();
    const int seg = size > 0 ? sample / size : 0;
    const int offset = size > 0 ? sample % size : sample;
    if (segment)
        *segment = seg;
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    const int depth = get_sample_depth();
    if (!log || sample < 0 || sample >= depth)
        return offset;
    const int start = sample - offset;
    const int trigger = log->find_next_trigger(start, size > 0 ? start + size : depth);
    return trigger >= 0 ? offset - (trigger - start) : offset;
}

int VOKR_VIEW::get_segment_count(int sample) const
{
    const KSM_DATA_LOG* log = m_tx_manager->get_data_log();
    if (!log || sample < 0)
        return 0;
    return log->count_breaks(sample);
}

// ---- groups and selection -----------------------------------------------------------------------

int VOKR_VIEW::get_group_member_count(int node) const
{
    if (!is_group(node))
        return 0;
    int count = 0;
    while (is_group_member(node + 1 + count))
        ++count;
    return count;
}

int VOKR_VIEW::get_enabled_member_count(int node) const
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    const int members = get_group_member_count(node);
    int count = 0;
    for (int i = node + 1; i <= node + members; ++i)
        count += VOKR_NODE(m_tx_manager, list, i).is_trigger_enabled(nullptr, VOKR_NODE::PLAIN_TRIGGER_LEVEL) ? 1 : 0;
    return count;
}

void VOKR_VIEW::select_items(bool selected)
{
    const int count = m_tx_manager ? get_node_count() : 0;
    if (count > 0)
        m_tx_manager->select_node_range(0, count - 1, selected);
    if (count > 0 && selected)
        deselect_hidden_rows();
    if (m_frame_wnd)
        on_update_edit_menu();
}

void VOKR_VIEW::deselect_hidden_rows()
{
    const VOKR_LAYOUT_WIDGET* layout = m_tx_manager->get_layout_widget();
    const VOKR_HIERARCHY_WIDGET* pane = layout ? layout->get_hierarchy_widget() : nullptr;
    KSM_TX_SIGNAL_NODES* list = pane && pane->hides_any() ? current_node_table() : nullptr;
    bool dropped = false;
    for (int node = 0, count = list ? list->get_num_nodes() : 0; node < count; ++node) {
        if (list->is_selected(node) && is_hidden_in_hierarchy(node)) {
            m_tx_manager->set_node_selection_status(node, false);
            dropped = true;
        }
    }
    if (dropped && m_frame_wnd)
        on_update_edit_menu();
}

// The list keeps the count with its rows, so that a step over 4,096 rows does not ask each.
int VOKR_VIEW::get_selected_node_count() const
{
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    return list ? list->get_num_selected_nodes() : 0;
}

// The one selected node (a leaf when `leaves_only`), or -1 for none or several.
int VOKR_VIEW::single_selected(bool leaves_only) const
{
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    int found = -1;
    for (int node = 0, count = get_node_count(); node < count; ++node) {
        if (!list->is_selected(node) || (leaves_only && is_group(node)))
            continue;
        if (found >= 0)
            return -1;
        found = node;
    }
    return found;
}

int VOKR_VIEW::get_single_selected_node() const { return single_selected(false); }

int VOKR_VIEW::get_single_selected_leaf() const { return single_selected(true); }

bool VOKR_VIEW::can_group_selected_nodes() const
{
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    const KSM_TX_TRIGGER* trigger = m_tx_manager->get_trigger_object();
    if (!list || !trigger)
        return true;
    const int levels = trigger->get_num_levels();
    for (int node = 0, count = list->get_num_nodes(); node < count; ++node) {
        const int parent = list->is_selected(node) ? list->get_parent_index(node) : -1;
        for (int level = FIRST_PATTERN_LEVEL; parent >= 0 && level < levels; ++level) {
            const bool compared = level < 0 ? list->is_pattern_comparison_enabled(parent, level - FIRST_PATTERN_LEVEL)
                                            : list->is_comparison_enabled(parent, level);
            if (!compared)
                continue;
            const QString name = QString::fromLocal8Bit(list->get_node_name(node));
            const QString text =
                level < 0
                    ? QString("Node %1 is a comparison group's member in the Storage Qualifier").arg(name)
                    : QString("Node %1 is a comparison group's member at trigger level %2").arg(name).arg(level + 1);
            const_cast<VOKR_VIEW*>(this)->show_group_refusal(text);
            return false;
        }
    }
    return true;
}

bool VOKR_VIEW::get_group_trigger_pattern(int node, int level, QString* text, bool* radix_ok) const
{
    text->clear();
    if (!is_group(node))
        return false;
    *radix_ok = true;
    VOKR_TX_MANAGER* m = m_tx_manager;
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    const KSM_DATA_GROUP_DISPLAY_TYPE type = list->get_group_display_type(node);
    const bool lsb_first = list->get_lsb_to_msb(node);
    const int leaves = std::min(list->get_num_leaf_children(node), list->get_num_nodes() - node - 1);
    for (int i = 0; i < leaves; ++i) {
        const int member = lsb_first ? node + leaves - i : node + 1 + i;
        KSM_DATA_TRIGGER_CONDITION condition = KSM_CTYPE_DISABLED;
        m->get_node(member, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, level, &condition);
        const char c = vokr_condition_letter(condition);
        if (c)
            text->append(QLatin1Char(c));
        if (c == 'R' || c == 'F' || c == 'E')
            *radix_ok = false;
    }
    if (*radix_ok && text->contains('X')) {
        if (type == KSM_GTYPE_MNEMONICS || type == KSM_GTYPE_HEX || type == KSM_GTYPE_OCTAL || type == KSM_GTYPE_PLUGIN)
            *radix_ok = digit_groups_are_pure(*text, type == KSM_GTYPE_OCTAL ? 3 : 4);
        else
            *radix_ok = false;
    }
    if (lsb_first)
        std::reverse(text->begin(), text->end());
    if (list->is_grandparent(node)) {
        text->clear();
        *radix_ok = false;
    }
    return true;
}

// ---- navigation and time bars -------------------------------------------------------------------

void VOKR_VIEW::ensure_visible(int node)
{
    if (node < 0 || node >= get_node_count())
        return;
    name_focus_pending = true;
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    select_items(false);
    m_tx_manager->set_node_selection_status(node, true);
    if (is_group_member(node) && !m_tx_manager->is_node_expanded(node)) {
        int group = node - 1;
        while (group >= 0 && !is_group(group))
            --group;
        if (group >= 0 && !list->is_expanded(group)) {
            m_tx_manager->toggle_node(group);
            invalidate_geometry();
            resizeEvent(nullptr);
        }
    }
    if (m_vertical_bar && !m_vertical_bar->isHidden()) {
        m_vertical_bar->setValue(std::min(m_vertical_bar->maximum(), get_shown_rows_before(node)));
        save_position_data();
    }
    update();
}

void VOKR_VIEW::remove_time_bar(int index)
{
    std::copy(m_time_bars + index + 1, m_time_bars + m_timebar_count, m_time_bars + index);
    --m_timebar_count;
    if (m_timebar_count == 0)
        place_buttons_after_last_bar();
}

// Without time bars the transition buttons go and the value column closes: the relayout
// places the buttons again along with the changed column widths.
void VOKR_VIEW::place_buttons_after_last_bar() { resizeEvent(nullptr); }

bool VOKR_VIEW::validate_time_bar(int index)
{
    if (index < 0 || index >= m_timebar_count)
        return false;
    if (m_time_bars[index] == -1) {
        remove_time_bar(index);
        return false;
    }
    for (int i = 0; i < m_timebar_count; ++i) {
        if (i == index || m_time_bars[i] != m_time_bars[index])
            continue;
        if (index > 0)
            remove_time_bar(index);
        return false;
    }
    return true;
}

// ---- value texts --------------------------------------------------------------------------------

void vokr_add_separators(QString* text, const QString& separator, int n)
{
    static const QRegularExpression radix("[obh]");
    const int length = text->size();
    const int f = text->contains(radix) ? 1 : 0;
    if (n <= 0 || length <= f + n || (length - 1) / n < 1)
        return;
    int position = length - f - n;
    for (int i = 0, times = (length - 1) / n; i < times && position > 0; ++i, position -= n)
        text->insert(position, separator);
}

QString vokr_one_line(const QString& text)
{
    const auto control = [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7f; };
    if (std::none_of(text.begin(), text.end(), control))
        return text;
    QString out;
    for (const QChar c : text)
        out += control(c) ? QString("\\x%1").arg(c.unicode(), 2, 16, QChar('0')) : c;
    return out;
}

namespace {

// Texts measured per painter font, resolution and flags: a few such sets, each bounded, all
// forgotten when a new set would make too many, and with the application object, whose fonts
// they must not outlive. One of each kind, GUI thread only.
template <typename KEY, typename VALUE> class TEXT_MEASURES {
public:
    TEXT_MEASURES()
    {
        instance() = this;
        qAddPostRoutine([] { instance()->m_sets.clear(); });
    }
    QHash<KEY, VALUE>& values(QPainter* painter, int flags)
    {
        const QPaintDevice* device = painter->device();
        const int dpi_x = device ? device->logicalDpiX() : 0, dpi_y = device ? device->logicalDpiY() : 0;
        for (SET& set : m_sets)
            if (set.flags == flags && set.dpi_x == dpi_x && set.dpi_y == dpi_y && set.font == painter->font()) {
                if (set.values.size() > 4096)
                    set.values.clear();
                return set.values;
            }
        if (m_sets.size() >= 16)
            m_sets.clear();
        m_sets.push_back({painter->font(), dpi_x, dpi_y, flags, {}});
        return m_sets.back().values;
    }

private:
    struct SET {
        QFont font;
        int dpi_x, dpi_y, flags;
        QHash<KEY, VALUE> values;
    };
    static TEXT_MEASURES*& instance()
    {
        static TEXT_MEASURES* measures = nullptr;
        return measures;
    }
    std::vector<SET> m_sets;
};

}  // namespace

// A waveform asks this of many narrow segments per frame, mostly for texts it asked before. The
// bounding rectangle of a one-line text is its width rounded out to whole pixels where the
// alignment puts it, so it takes one of two neighbouring widths: a width measured once (per text,
// font, flags and resolution) settles every rectangle but those within a pixel of it, which are
// measured once per width.
bool vokr_text_fits(QPainter* painter, const QRect& rect, int flags, const QString& text)
{
    static TEXT_MEASURES<QString, int> measures;
    auto measure = [&] { return painter->boundingRect(rect, flags, text).width(); };
    if ((flags & Qt::TextWordWrap) || text.contains('\n'))
        return measure() <= rect.width();
    QHash<QString, int>& widths = measures.values(painter, flags);
    auto found = widths.constFind(text);
    if (found == widths.constEnd()) {
        const int width = measure();
        widths.insert(text, width);
        return width <= rect.width();
    }
    if (*found - 1 > rect.width())
        return false;
    if (*found + 1 <= rect.width())
        return true;
    static TEXT_MEASURES<QPair<QString, int>, bool> edges;
    QHash<QPair<QString, int>, bool>& fits = edges.values(painter, flags);
    const QPair<QString, int> key(text, rect.width());
    auto edge = fits.constFind(key);
    if (edge == fits.constEnd())
        edge = fits.insert(key, measure() <= rect.width());
    return *edge;
}

// The ruler's labels are the same numbers frame after frame.
QRect vokr_text_bounds(QPainter* painter, const QString& text)
{
    static TEXT_MEASURES<QString, QRect> measures;
    QHash<QString, QRect>& bounds = measures.values(painter, 0);
    auto found = bounds.constFind(text);
    if (found != bounds.constEnd())
        return *found;
    return *bounds.insert(text, painter->fontMetrics().boundingRect(text));
}

// The views elide the same names to the same widths frame after frame.
QString vokr_elided_text(QPainter* painter, const QString& text, Qt::TextElideMode mode, int width)
{
    static TEXT_MEASURES<QPair<QString, int>, QString> measures;
    QHash<QPair<QString, int>, QString>& elided = measures.values(painter, 0);
    const QPair<QString, int> key(text, width * 4 + int(mode));
    auto found = elided.constFind(key);
    if (found != elided.constEnd())
        return *found;
    return *elided.insert(key, painter->fontMetrics().elidedText(text, mode, width));
}

namespace {

// What a drawing hands the paint engine for each text item: where, the item's height above and
// below the baseline, its width and direction.
struct TEXT_ITEM {
    QPointF at;
    qreal ascent, descent, width;
    bool right_to_left;
};

// A paint engine that keeps the text items drawn and notes a clip, on a device of the painter's
// resolution.
class TEXT_PLACER : public QPaintDevice, QPaintEngine {
public:
    TEXT_PLACER(int dpi_x, int dpi_y) : QPaintEngine(QPaintEngine::AllFeatures), m_dpi_x(dpi_x), m_dpi_y(dpi_y) {}
    std::vector<TEXT_ITEM> items;
    bool clipped = false;

    QPaintEngine* paintEngine() const override { return const_cast<TEXT_PLACER*>(this); }
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }
    void updateState(const QPaintEngineState& state) override
    {
        clipped |= (state.state() & (DirtyClipRegion | DirtyClipPath | DirtyClipEnabled)) != 0;
    }
    void drawTextItem(const QPointF& p, const QTextItem& item) override
    {
        items.push_back(
            {p, item.ascent(), item.descent(), item.width(), (item.renderFlags() & QTextItem::RightToLeft) != 0});
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
        case PdmHeight: return 1 << 20;
        case PdmDpiX:
        case PdmPhysicalDpiX: return m_dpi_x;
        case PdmDpiY:
        case PdmPhysicalDpiY: return m_dpi_y;
        case PdmDepth: return 32;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return int(devicePixelRatioFScale());
        default: return QPaintDevice::metric(metric);
        }
    }

private:
    int m_dpi_x, m_dpi_y;
};

// The one text item `draw` gives a painter of this painter's font, direction and resolution, when
// it draws one without a clip; else null.
template <typename DRAW> std::optional<TEXT_ITEM> one_text_item(QPainter* painter, DRAW draw)
{
    const QPaintDevice* device = painter->device();
    TEXT_PLACER placer(device->logicalDpiX(), device->logicalDpiY());
    QPainter recorder(&placer);
    recorder.setFont(painter->font());
    recorder.setLayoutDirection(painter->layoutDirection());
    draw(&recorder);
    recorder.end();
    if (placer.clipped || placer.items.size() != 1)
        return std::nullopt;
    return placer.items[0];
}

// A one-line text shaped once in a font: its glyphs placed along the baseline from the pen's
// position, and the box an opaque background fills behind them. No glyphs where drawText(QPointF)
// draws the text otherwise than as one undecorated left-to-right run of one font.
struct SHAPED_TEXT {
    QGlyphRun glyphs;
    QRectF box;
};

// The glyphs of the text's one line laid out by QTextLayout, which shapes as drawText does, with
// their places from the pen's position; empty where they are not one run on the baseline at whole
// 64ths of a pixel (the grid QPainter places text on) or the line does not hold the whole text
// `width` wide (a line separator ends it).
QGlyphRun line_glyphs(QPainter* painter, const QString& text, qreal width)
{
    QTextLayout layout(text, painter->font());
    QTextOption option;
    option.setTextDirection(painter->layoutDirection());
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    line.setLineWidth(1 << 20);
    layout.endLayout();
    const QList<QGlyphRun> runs = line.glyphRuns();
    if (runs.size() != 1 || line.textLength() != text.size() || line.naturalTextWidth() != width)
        return {};
    QGlyphRun run = runs[0];
    QVector<QPointF> positions = run.positions();
    for (QPointF& position : positions) {
        position.ry() -= line.ascent();
        if (position.y() != 0 || position.x() * 64 != std::floor(position.x() * 64))
            return {};
    }
    run.setPositions(positions);
    return run;
}

SHAPED_TEXT shape_text(QPainter* painter, const QString& text)
{
    const QFont& font = painter->font();
    if (font.underline() || font.overline() || font.strikeOut())
        return {};
    const std::optional<TEXT_ITEM> item =
        one_text_item(painter, [&](QPainter* p) { p->drawText(QPointF(0, 0), text); });
    if (!item || item->at != QPointF(0, 0) || item->right_to_left)
        return {};
    return {line_glyphs(painter, text, item->width),
            QRectF(0, -item->ascent, item->width, item->ascent + item->descent)};
}

// Draws a shaped text with the pen at `at` as drawText(at, text) does: the text starts at x cut
// toward 0 to a 64th of a pixel, its glyphs lie whole 64ths from there, and an opaque background
// (`background`, else the painter's in opaque mode) fills the text's box first. Exact on
// whole-pixel translations, where these sums lose nothing. The glyphs are drawn in transparent
// mode: the engine that paints opaque backgrounds would hand the raster engine their places
// untranslated.
void draw_shaped_text(QPainter* painter, const QPointF& at, const QString& text, const SHAPED_TEXT& shaped,
                      const QBrush* background)
{
    const QPointF origin(int(at.x() * 64) / 64.0, at.y());
    auto draw_glyphs = [&] {
        if (!VOKR_TEXT_SPRITES::draw(painter, origin, text, shaped.glyphs))
            painter->drawGlyphRun(origin, shaped.glyphs);
    };
    const bool opaque = painter->backgroundMode() == Qt::OpaqueMode;
    if (!opaque && !background) {
        draw_glyphs();
        return;
    }
    painter->fillRect(shaped.box.translated(origin), background ? *background : painter->background());
    if (opaque)
        painter->setBackgroundMode(Qt::TransparentMode);
    draw_glyphs();
    if (opaque)
        painter->setBackgroundMode(Qt::OpaqueMode);
}

// Runs `draw` with the painter in opaque mode over `background`, where there is one, and puts
// the painter's background and mode back after.
template <typename DRAW> void over_background(QPainter* painter, const QBrush* background, DRAW draw)
{
    if (!background) {
        draw();
        return;
    }
    const QBrush before = painter->background();
    const Qt::BGMode mode = painter->backgroundMode();
    painter->setBackground(*background);
    painter->setBackgroundMode(Qt::OpaqueMode);
    draw();
    painter->setBackground(before);
    painter->setBackgroundMode(mode);
}

// Where drawText(rect, flags, text) draws a one-line text from the rectangle's top left, and the
// text shaped; no place where the rectangle's layout draws more than one item or clips.
struct PLACED_TEXT {
    std::optional<QPointF> baseline;
    SHAPED_TEXT shaped;
};

// The painter's layout direction as a flag beside the text flags: it moves and shapes texts.
int direction_flag(QPainter* painter) { return painter->layoutDirection() == Qt::RightToLeft ? 1 << 30 : 0; }

PLACED_TEXT place_text(QPainter* painter, QSize size, int flags, const QString& text)
{
    static TEXT_MEASURES<QString, SHAPED_TEXT> shapes;
    const std::optional<TEXT_ITEM> item =
        one_text_item(painter, [&](QPainter* p) { p->drawText(QRect(QPoint(0, 0), size), flags, text); });
    if (!item)
        return {};
    QHash<QString, SHAPED_TEXT>& shaped = shapes.values(painter, direction_flag(painter));
    auto found = shaped.constFind(text);
    if (found == shaped.constEnd())
        found = shaped.insert(text, shape_text(painter, text));
    return {item->at, *found};
}

bool on_whole_pixels(const QTransform& transform)
{
    return transform.type() <= QTransform::TxTranslate && transform.dx() == std::floor(transform.dx()) &&
           transform.dy() == std::floor(transform.dy());
}

}  // namespace

// A text drawn in a rectangle is laid out anew each time, one drawn at its baseline is shaped anew
// each time. Both are done once per text, rectangle size, font, flags, direction and resolution:
// the baseline measured by drawing the text in a rectangle on a device that keeps where the one
// text item goes, the glyphs shaped by a layout of the line. The raster engine on whole pixels draws
// the kept glyphs; other painters draw the text at its baseline. A text drawn as more than one item
// or clipped to its rectangle keeps the rectangle's path.
void vokr_draw_line_text(QPainter* painter, const QRect& rect, int flags, const QString& text, const QBrush* background)
{
    static TEXT_MEASURES<QPair<QString, quint64>, PLACED_TEXT> measures;
    const bool plain = !text.isEmpty() && !text.contains('\n') &&
                       !(flags & (Qt::TextWordWrap | Qt::TextShowMnemonic)) &&
                       painter->deviceTransform().type() <= QTransform::TxTranslate &&
                       painter->paintEngine()->type() == QPaintEngine::Raster;
    if (!plain) {
        over_background(painter, background, [&] { painter->drawText(rect, flags, text); });
        return;
    }
    QHash<QPair<QString, quint64>, PLACED_TEXT>& places = measures.values(painter, flags | direction_flag(painter));
    const QPair<QString, quint64> key(text, (quint64(quint32(rect.width())) << 32) | quint32(rect.height()));
    auto found = places.constFind(key);
    if (found == places.constEnd())
        found = places.insert(key, place_text(painter, rect.size(), flags, text));
    if (!found->baseline) {
        over_background(painter, background, [&] { painter->drawText(rect, flags, text); });
        return;
    }
    const QPointF at = QPointF(rect.topLeft()) + *found->baseline;
    const QPen& pen = painter->pen();
    if (found->shaped.glyphs.isEmpty() || pen.style() == Qt::NoPen || pen.brush().style() != Qt::SolidPattern ||
        !on_whole_pixels(painter->deviceTransform()))
        over_background(painter, background, [&] { painter->drawText(at, text); });
    else
        draw_shaped_text(painter, at, text, found->shaped, background);
}

bool vokr_draw_text_if_fits(QPainter* painter, const QRect& rect, int flags, const QString& text)
{
    if (!vokr_text_fits(painter, rect, flags, text))
        return false;
    vokr_draw_line_text(painter, rect, flags, text);
    return true;
}
