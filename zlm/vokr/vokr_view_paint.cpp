// The node list view's paint pipeline: background, power-up band, the row and column loop over
// the rows in view, cell frames and selection fill, the title row, the header rows, the drop
// bar after the last node and the texts of an empty grid. Every cell rectangle comes from the
// grid geometry (vokr_view_geometry.cpp).
#include "vokr_view.h"

#include "cfg.h"
#include "ksm.h"
#include "omu.h"
#include "pirq.h"
#include "vokr_assert.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_line_batch.h"
#include "vokr_pixel_fill.h"
#include "vokr_tx_manager.h"
#include "vokr_view_ground.h"

#include <qdrawutil.h>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QTabWidget>

#include <algorithm>
#include <array>
#include <vector>

namespace {

constexpr int TITLE_ROW = 0, HEADER_ROW_1 = 1, HEADER_ROW_2 = 2;
constexpr int NAME_COLUMN = 2;
constexpr int LOCK_BANNER_COLUMN = 5;
constexpr int FIRST_SQ_COLUMN = 10, LAST_SQ_COLUMN = 11;
constexpr int ALIGN_CENTRE = Qt::AlignHCenter | Qt::AlignVCenter;
constexpr int ALIGN_LEFT_CENTRE = Qt::AlignLeft | Qt::AlignVCenter;
constexpr int ALIGN_LEFT_TOP = Qt::AlignLeft | Qt::AlignTop;
constexpr int HEADER_COLOR = 302, HEADER_FONT = 55;

// An enable column's caption where its header cell holds it, on one line or wrapped, else the
// caption's first word ("Data", "Trigger", "Storage"): the header's tooltip names it whole.
QString enable_caption(const QRect& rect, const QString& caption)
{
    const QFontMetrics metrics(pirq_get_font(HEADER_FONT));
    const QRect whole = metrics.boundingRect(rect, ALIGN_CENTRE | Qt::TextWordWrap, caption);
    return whole.width() <= rect.width() && whole.height() <= rect.height() ? caption : caption.section(' ', 0, 0);
}
constexpr int FACE = 22, OUTLINE = 26, GRID = 24, FRAME = 1, SELECTION = 297, BACKGROUND = 298;
constexpr int TEXT_PEN = 18, SELECTED_TEXT_PEN = 21, HIGH_PEN = 108, LOW_PEN = 109, SELECTED_PEN = 6, BUS_COLOR = 314;

const QPen& level_name_pen()
{
    static const QPen pen(QColor(128, 0, 128));
    return pen;
}

const QBrush& power_up_brush()
{
    static const QBrush brush(QColor(153, 204, 255));
    return brush;
}

// The cell's outermost pixels, as four filled one-pixel rectangles: a stroked outline costs the
// raster engine far more than the fills and covers the same pixels.
void draw_outline(QPainter* painter, const QRect& cell, const QColor& color, const VOKR_PIXEL_FILL* shared)
{
    const std::array<QRect, 4> sides = VOKR_PIXEL_FILL::outline(cell);
    const int count = cell.bottom() - cell.top() < 2 ? 2 : 4;
    if (color.alpha() == 255) {
        if (shared && shared->holds_for(painter)) {
            shared->fill(sides.data(), size_t(count), color.rgba());
            return;
        }
        const VOKR_PIXEL_FILL pixels(painter);
        if (pixels.valid()) {
            pixels.fill(sides.data(), size_t(count), color.rgba());
            return;
        }
    }
    for (int i = 0; i < count; ++i)
        painter->fillRect(sides[i], color);
}

// Whether the painter puts a fill or a one-pixel line on whole device pixels: unscaled, not
// antialiased.
bool whole_pixels(const QPainter* painter)
{
    return painter->deviceTransform().type() <= QTransform::TxTranslate &&
           !painter->testRenderHint(QPainter::Antialiasing);
}

// Whether an opaque image drawn at a whole pixel leaves the very pixels that fills of its colours
// would: the raster engine on an RGB32 or premultiplied ARGB32 image, moved by whole pixels only.
bool blits_like_fills(QPainter* painter)
{
    if (!VOKR_LINE_BATCH::raster_pixels(painter))
        return false;
    const QPaintDevice* device = painter->paintEngine()->paintDevice();
    if (!device || device->devType() != QInternal::Image)
        return false;
    const QImage::Format format = static_cast<const QImage*>(device)->format();
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32_Premultiplied;
}

using SHADE = std::array<QRgb, 4>;  // opaque colours

// The four nested fills of a shaded cell: the frame, the lower-right shade, the upper-left shade,
// the face.
void fill_shaded_cell(QPainter* painter, const QRect& cell, const SHADE& colors)
{
    painter->fillRect(cell.adjusted(0, 0, -1, -1), QColor(colors[0]));
    painter->fillRect(cell.adjusted(1, 1, -2, -2), QColor(colors[1]));
    painter->fillRect(cell.adjusted(1, 1, -3, -3), QColor(colors[2]));
    painter->fillRect(cell.adjusted(2, 2, -3, -3), QColor(colors[3]));
}

// The pixels of a shaded cell of that size and those colours, drawn once and kept for the few
// sizes and shades in use: one blit costs the raster engine a fraction of the fills. The image
// is good until the next call.
const QImage& shaded_cell_image(const QSize& size, const SHADE& colors)
{
    struct ENTRY {
        QSize size;
        SHADE colors;
        QImage image;
    };
    static std::vector<ENTRY> kept;
    for (const ENTRY& entry : kept)
        if (entry.size == size && entry.colors == colors)
            return entry.image;
    constexpr size_t MAX_KEPT = 32;
    if (kept.size() == MAX_KEPT)
        kept.clear();
    QImage image(size - QSize(1, 1), QImage::Format_RGB32);
    QPainter painter(&image);
    fill_shaded_cell(&painter, QRect(QPoint(0, 0), size), colors);
    kept.push_back({size, colors, image});
    return kept.back().image;
}

// The pixels the four nested fills of a shaded cell leave, as rectangles that share none, each
// with the index of its colour: the frame's top, bottom, left and right, the lower-right shade's
// right and bottom, the upper-left shade's top and left, the face.
std::array<std::pair<QRect, int>, 9> shaded_cell_parts(const QRect& cell)
{
    const int l = cell.left(), t = cell.top(), r = cell.right(), b = cell.bottom();
    auto part = [](int x1, int y1, int x2, int y2, int shade) {
        return std::pair(QRect(QPoint(x1, y1), QPoint(x2, y2)), shade);
    };
    return {part(l, t, r - 1, t, 0),
            part(l, b - 1, r - 1, b - 1, 0),
            part(l, t + 1, l, b - 2, 0),
            part(r - 1, t + 1, r - 1, b - 2, 0),
            part(r - 2, t + 1, r - 2, b - 2, 1),
            part(l + 1, b - 2, r - 3, b - 2, 1),
            part(l + 1, t + 1, r - 3, t + 1, 2),
            part(l + 1, t + 2, l + 1, b - 3, 2),
            part(l + 2, t + 2, r - 3, b - 3, 3)};
}

// Cells wider than this are written as their parts rather than copied from their kept pixels: the
// copy would read as many pixels as it writes, from an image the cache has long dropped.
constexpr int WIDEST_COPIED = 64;

// A raised or sunken cell: a dark frame with a shaded face inside it. On whole pixels with opaque
// shades, four nested fills leave the pixels of qDrawShadeRect's strokes at a fraction of their
// cost, and where the painter allows, one blit of those fills' pixels at a fraction of theirs.
// Cells too small for that nesting keep the strokes.
void draw_shaded_cell(QPainter* painter, const QRect& cell, const QPalette& palette,
                      const VOKR_VIEW::PAINT_FLAGS& flags, bool sunken)
{
    const SHADE& colors = flags.shades[sunken ? 1 : 0];
    if (cell.width() < 7 || cell.height() < 7 || !flags.shade_fills) {
        painter->fillRect(cell.adjusted(0, 0, -1, -1), QColor(colors[0]));
        const QBrush face{QColor(colors[3])};
        qDrawShadeRect(painter, cell.adjusted(1, 1, -2, -2), palette, sunken, 1, 0, &face);
        return;
    }
    const VOKR_PIXEL_FILL* pixels = flags.pixels && flags.pixels->holds_for(painter) ? flags.pixels : nullptr;
    if (pixels && cell.width() > WIDEST_COPIED) {
        for (const auto& [part, shade] : shaded_cell_parts(cell))
            pixels->fill(part, colors[size_t(shade)]);
    } else if (flags.shade_blits) {
        const QImage& image = shaded_cell_image(cell.size(), colors);
        if (!pixels || !pixels->copy(QRect(cell.topLeft(), image.size()), image.constBits(), image.bytesPerLine()))
            painter->drawImage(cell.topLeft(), image);
    } else
        fill_shaded_cell(painter, cell, colors);
}

// Where a row's cells start and how wide they are, measured once per paint.
struct COLUMNS {
    std::array<int, VOKR_VIEW::COLUMN_COUNT + 1> left;
    std::array<int, VOKR_VIEW::COLUMN_COUNT> width;
};

}  // namespace

// ---- pipeline -----------------------------------------------------------------------------------

void VOKR_VIEW::paintEvent(QPaintEvent*)
{
    if (m_tx_manager->get_frame_wnd())
        VOKR_ASSERT_TEXT(m_tx_manager->get_layout_widget() != nullptr, "this->m_layout_widget != NULL");
    QPainter painter(this);
    QRect area = rect();
    paint(&painter, 0, this, &area, true);
}

void VOKR_VIEW::paint(QPainter* painter, int, VOKR_VIEW*, QRect* area, bool)
{
    const VOKR_TX_MANAGER::TABS_HOLD tabs(m_tx_manager);
    const QBrush background = current_node_table() ? QBrush(pirq_get_color(BACKGROUND)) : pirq_get_brush(FACE);
    const QRect band = power_up_band(*area);
    VOKR_VIEW_GROUND ground(painter, *area, background, !band.isNull());
    if (!band.isNull())
        painter->fillRect(band, power_up_brush());
    // The depth may have shrunk since the last update: the zoom is held within it first.
    reset_zoom(false);
    m_paint_scale = sample_scale();
    PAINT_FLAGS flags = paint_flags(painter);
    const VOKR_PIXEL_FILL pixels(painter);
    if (pixels.holds_for(painter))
        flags.pixels = &pixels;
    COLUMNS columns;
    column_lefts(&columns.left);
    for (int id = 0; id < COLUMN_COUNT; ++id)
        columns.width[id] = get_column_width(id);
    const int title_shift = m_column_scroll ? horizontal_value() : 0;

    // A node row's name is drawn inside its own cell, which nothing drawn after it reaches: the names
    // are drawn together once the rows are painted, one text after another while the text drawing's
    // code and data are at hand.
    struct NAME {
        int row, node;
        QRect cell;
        bool selected, first_node_row;
    };
    static std::vector<NAME> names;  // GUI thread only
    names.clear();
    auto paint_row = [&](int row, int top, int bottom, int shift) {
        for (int id = 0; id < COLUMN_COUNT; ++id) {
            const int w = columns.width[id];
            if (w <= 0)
                continue;
            const int x = columns.left[id] + shift;
            const QRect cell(QPoint(x, top), QPoint(x + w + 1, bottom + 1));
            draw_cell_background(row, id, cell, painter, flags);
            if (id == NAME_COLUMN && row >= FIRST_NODE_ROW)
                names.push_back({row, current_node, cell, flags.selected, flags.first_node_row});
            else
                draw_item(row, id, cell.adjusted(2, 2, -2, -2), painter, flags);
        }
    };

    int y = 0;
    for (int row = TITLE_ROW; row < FIRST_NODE_ROW && y <= area->bottom(); ++row) {
        const int h = get_row_height(row);
        if (h <= 0)
            continue;
        ground.reach(y + h + 1);
        if (y + h + 1 > area->top())
            paint_row(row, y, y + h, row == TITLE_ROW ? title_shift : 0);
        y += h;
    }
    // Only the shown rows from the first one scrolled into view are visited.
    const ROW_CACHE& cache = rows();
    const int scrolled = vertical_value();
    int counted = std::min(scrolled, int(cache.shown.size()));
    for (int i = counted; i < cache.shown.size() && y <= area->bottom(); ++i) {
        const int node = cache.shown[i];
        const int h = cache.height[node];
        counted = i + 1;
        ground.reach(y + h + 1);
        if (y + h + 1 > area->top()) {
            current_node = node;
            flags.selected = m_tx_manager->get_node_selection_status(node);
            flags.first_node_row = i == scrolled;
            paint_row(node_to_row(node), y, y + h, 0);
        }
        y += h;
    }
    ground.reach(area->bottom());
    for (const NAME& name : names) {
        current_node = name.node;
        flags.selected = name.selected, flags.first_node_row = name.first_node_row;
        draw_item(name.row, NAME_COLUMN, name.cell.adjusted(2, 2, -2, -2), painter, flags);
    }
    flags.selected = false;
    visible_node_rows = counted;

    const QRect rest(QPoint(0, y + 1), QPoint(area->width(), area->height()));
    if (y + 1 < height())
        painter->fillRect(rest, background);
    const int name_width = columns.width[NAME_COLUMN];
    if (m_drop_row >= 0 && m_drop_row == get_node_count() && name_width > 0) {
        const int left = columns.left[NAME_COLUMN];
        painter->fillRect(QRect(QPoint(left + 2, y - 2), QPoint(left + name_width - 1, y)), pirq_get_color(FRAME));
    }
    if (counted == 0)
        paint_empty_grid_text(painter, rest);
    m_paint_scale.known = false;
}

VOKR_VIEW::PAINT_FLAGS VOKR_VIEW::paint_flags(QPainter* painter) const
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    const bool list = current_node_table() != nullptr;
    PAINT_FLAGS flags;
    flags.editable = is_editable();
    flags.power_up_view = list && m->is_powerup_trigger(-1);
    const bool locked = flags.power_up_view || m->get_lock_mode(false) != VOKR_LOCK_MODE_ALL_CHANGES;
    flags.editable_here = flags.editable && !(m->get_frame_wnd() && locked);
    flags.incremental_view = list && m->is_incremental_compile();
    flags.sequential = m->is_sequential_mode(-1);
    flags.invalid_nodes = list && m->has_invalid_nodes();
    flags.focused = hasFocus();
    flags.grid = VOKR_TX_MANAGER::cfg_show_horz_grid() && get_sample_depth() > 0;
    flags.outline_color = pirq_get_color(OUTLINE);
    flags.grid_color = pirq_get_color(GRID);
    flags.selection_color = pirq_get_color(SELECTION);
    flags.face_color = pirq_get_color(FACE);
    const QColor frame = pirq_get_color(FRAME), light = palette().light().color(), dark = palette().dark().color();
    const QRgb f = frame.rgba(), l = light.rgba(), d = dark.rgba(), face = flags.face_color.rgba();
    flags.shades = {SHADE{f, d, l, face}, SHADE{f, l, d, face}};
    flags.shade_fills = light.alpha() == 255 && dark.alpha() == 255 && whole_pixels(painter);
    flags.shade_blits = flags.shade_fills && blits_like_fills(painter);
    flags.text_pen = pirq_get_pen(TEXT_PEN);
    flags.selected_text_pen = pirq_get_pen(SELECTED_TEXT_PEN);
    flags.high_pen = pirq_get_pen(HIGH_PEN);
    flags.low_pen = pirq_get_pen(LOW_PEN);
    flags.selected_pen = pirq_get_pen(SELECTED_PEN);
    flags.bus_color = pirq_get_color(BUS_COLOR);
    flags.split_bus_values = cfg_is_on("zlm_split_bus_values", false);
    flags.background_brush = QBrush(pirq_get_color(BACKGROUND));
    flags.selection_brush = QBrush(flags.selection_color);
    flags.face_brush = QBrush(flags.face_color);
    static const int NAME_FONTS[] = {56, 57, 58, 66}, NAME_COLORS[] = {305, 306, 307, 315};
    for (int style = 0; style < PAINT_FLAGS::NAME_STYLES; ++style) {
        flags.name_fonts[style] = pirq_get_font(NAME_FONTS[style]);
        flags.name_pens[style] = QPen(pirq_get_color(NAME_COLORS[style]));
    }
    return flags;
}

// Right of the node columns, the Data tab of a power-up log is tinted; null where it is not.
QRect VOKR_VIEW::power_up_band(const QRect& area) const
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    if (!m->get_frame_wnd())
        return QRect();
    VOKR_LAYOUT_WIDGET* layout = m->get_layout_widget();
    VOKR_ASSERT_TEXT(layout != nullptr, "this->m_layout_widget != NULL");
    const QTabWidget* tabs = layout->get_data_setup_tab_widget(-1);
    const KSM_DATA_LOG* log = m->get_data_log();
    if (!tabs || tabs->currentIndex() != 0 || !log || !log->is_power_up_trigger())
        return QRect();
    const int left = area.left() + m_column_width[0] + m_column_width[1] + m_column_width[NAME_COLUMN];
    return QRect(QPoint(left, area.top()), area.bottomRight());
}

void VOKR_VIEW::paint_empty_grid_text(QPainter* painter, const QRect& rect)
{
    OMU_MANAGER* omu = OMU_MANAGER::get_omu_manager();
    VOKR_ASSERT_TEXT(omu != nullptr, "omu_mgr != NULL");
    VOKR_TX_MANAGER* m = m_tx_manager;
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    QString text;
    if (!list)
        text = "No nodes";
    else if (list->get_num_nodes() > 0 && !(m->is_advanced_mode(nullptr) && m->is_node_hidden_in_advanced_mode(-1)))
        text = "All nodes hidden";
    else if (!m->get_frame_wnd())
        text = "Zero trigger input port width";
    else if (m->get_frame_wnd()->is_main_window())
        text = "Open a Lumetra file to continue";
    else if (!omu->is_project_open())
        text = "Open a project to add nodes";
    else
        text = "Double-click to add nodes";
    painter->save();
    painter->setPen(pirq_get_pen(27));
    QRect r = rect;
    r.setLeft(10);
    painter->drawText(r, ALIGN_LEFT_TOP, text);
    painter->restore();
}

// ---- cell frames --------------------------------------------------------------------------------

void VOKR_VIEW::draw_cell_background(int row, int column, const QRect& rect, QPainter* painter,
                                     const PAINT_FLAGS& flags)
{
    if (row == TITLE_ROW)
        return;
    if (row < FIRST_NODE_ROW) {
        draw_header_background(row, column, rect, painter, flags);
        return;
    }
    if (column <= 1)
        draw_shaded_cell(painter, rect, palette(), flags, flags.selected);
    else if (column != WAVEFORM_COLUMN)
        draw_outline(painter, rect, flags.outline_color, flags.pixels);
    else if (flags.grid)
        draw_outline(painter, rect, flags.grid_color, flags.pixels);
    if (flags.selected && column >= NAME_COLUMN)
        painter->fillRect(rect.adjusted(1, 1, -2, -2), flags.focused ? flags.selection_color : flags.face_color);
}

// The cells of `row` from `first` to `last` as one rectangle; null when either is hidden.
QRect VOKR_VIEW::header_rect(int row, int first_column, int last_column) const
{
    QRect first, last;
    if (!get_item_rect(row, first_column, &first) || !get_item_rect(row, last_column, &last))
        return QRect();
    return QRect(first.topLeft(), last.bottomRight());
}

namespace {

// Whether `column` is the first shown one of the run first..last: a run shares one frame and
// one title, painted once.
bool opens_run(const VOKR_VIEW* view, int column, int first, int last)
{
    for (int id = first; id <= last; ++id)
        if (view->get_column_width(id) > 0)
            return id == column;
    return false;
}

}  // namespace

void VOKR_VIEW::draw_header_background(int row, int column, const QRect& rect, QPainter* painter,
                                       const PAINT_FLAGS& flags)
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    const QPalette& pal = palette();
    if (row == HEADER_ROW_2) {
        QRect cell = rect;
        if (column == 3 || column == 4)
            cell.setTop(cell.top() - get_row_height(HEADER_ROW_1));
        draw_shaded_cell(painter, cell, pal, flags, true);
        return;
    }
    const bool one_segment = m->is_data_mode(-1) && m->get_data_segment_size() == 1 && get_row_height(HEADER_ROW_1) > 0;
    if (!m->is_setup_mode()) {
        if (column <= NAME_COLUMN && !one_segment) {
            if (opens_run(this, column, 0, NAME_COLUMN))
                draw_shaded_cell(painter, header_rect(row, 0, NAME_COLUMN), pal, flags, true);
        } else if (column <= NAME_COLUMN || column >= VALUE_COLUMN || one_segment) {
            draw_shaded_cell(painter, rect, pal, flags, true);
        }
        return;
    }
    const KSM_TX_TRIGGER* trigger = m->get_trigger_object();
    const int last_level = FIRST_LEVEL_COLUMN - 1 + (trigger ? trigger->get_num_levels() : 0);
    if (column <= NAME_COLUMN) {
        if (opens_run(this, column, 0, NAME_COLUMN))
            draw_shaded_cell(painter, header_rect(row, 0, NAME_COLUMN), pal, flags, true);
    } else if (column >= 5 && column <= 9) {
        draw_shaded_cell(painter, rect, pal, flags, true);
    } else if (column == FIRST_SQ_COLUMN || column == LAST_SQ_COLUMN) {
        if (opens_run(this, column, FIRST_SQ_COLUMN, LAST_SQ_COLUMN))
            draw_shaded_cell(painter, header_rect(row, FIRST_SQ_COLUMN, LAST_SQ_COLUMN), pal, flags, true);
    } else if (column >= FIRST_LEVEL_COLUMN && column <= last_level) {
        QRect shared = header_rect(row, FIRST_LEVEL_COLUMN, last_level);
        if (!flags.sequential) {
            shared.setBottom(shared.top() + shared.height() / 2);
            QRect lower = rect;
            lower.setTop(rect.bottom() - rect.height() / 2);
            draw_outline(painter, lower, flags.outline_color, flags.pixels);
        }
        if (column == FIRST_LEVEL_COLUMN)
            draw_shaded_cell(painter, shared, pal, flags, true);
    }
}

// ---- cell contents: title and header rows -------------------------------------------------------

bool VOKR_VIEW::draw_item(int row, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags)
{
    if (column < 0 || column >= COLUMN_COUNT)
        return false;
    if (row == TITLE_ROW)
        draw_title(column, rect, painter);
    else if (row < FIRST_NODE_ROW)
        draw_header(row, column, rect, painter, flags);
    else
        draw_node_cell(row_to_node(row), column, rect, painter, flags);
    return true;
}

// The lock-mode banner of the Setup tab, reaching to the right edge; the combo lies on it.
void VOKR_VIEW::draw_title(int column, const QRect& rect, QPainter* painter)
{
    if (column == 0)
        draw_node_list_title(rect, painter);
    else if (column == WAVEFORM_COLUMN)
        draw_time_ruler(rect, painter);
    if (column != LOCK_BANNER_COLUMN || !m_tx_manager->is_setup_mode())
        return;
    QRect banner = rect;
    banner.setRight(width() - 1);
    banner.translate(-2, -2);
    painter->save();
    painter->fillRect(banner.adjusted(0, 0, 0, -1), pirq_get_brush(FACE));
    painter->setPen(pirq_get_color(OUTLINE));
    painter->drawLine(banner.topLeft(), banner.bottomLeft());
    banner.setLeft(banner.left() + 6);
    painter->setPen(pirq_get_pen(18));
    painter->drawText(banner, ALIGN_LEFT_CENTRE, "Lock mode:");
    painter->restore();
}

void VOKR_VIEW::draw_header_text(QPainter* painter, const QRect& rect, const QString& text, int flags)
{
    painter->save();
    painter->setPen(pirq_get_color(HEADER_COLOR));
    vokr_set_font(painter, pirq_get_font(HEADER_FONT));
    vokr_draw_fitted_text(painter, rect, flags, text);
    painter->restore();
}

void vokr_set_font(QPainter* painter, const QFont& font)
{
    if (painter->font() != font)
        painter->setFont(font);
}

void vokr_draw_fitted_text(QPainter* painter, const QRect& rect, int flags, const QString& text)
{
    if (text.isEmpty())  // nothing to draw, and nothing to measure
        return;
    // Most texts fit, frame after frame: their width is measured once.
    if (vokr_text_fits(painter, rect, flags, text)) {
        vokr_draw_line_text(painter, rect, flags, text);
        return;
    }
    const QFontMetrics metrics = painter->fontMetrics();
    const QRect wrapped = metrics.boundingRect(rect, flags | Qt::TextWordWrap, text);
    if (wrapped.width() <= rect.width() && wrapped.height() <= rect.height()) {
        painter->drawText(rect, flags | Qt::TextWordWrap, text);
        return;
    }
    QStringList lines = text.split('\n');
    for (QString& line : lines)
        line = metrics.elidedText(line, Qt::ElideRight, rect.width());
    painter->drawText(rect, flags, lines.join('\n'));
}

void VOKR_VIEW::draw_header(int row, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags)
{
    static const char* const ROW_2_TEXTS[] = {"Type", "Alias", "Name"};
    VOKR_TX_MANAGER* m = m_tx_manager;
    const bool one_segment = m->is_data_mode(-1) && m->get_data_segment_size() == 1 && get_row_height(HEADER_ROW_1) > 0;
    auto shared = [&](int first, int last) { return header_rect(row, first, last).adjusted(2, 2, -2, -2); };
    if (column == VALUE_COLUMN || column == WAVEFORM_COLUMN) {
        const QRect room = draw_time_header(row, column, rect, painter);
        if (column == VALUE_COLUMN)
            draw_value_title(row, room, painter);
        return;
    }
    QString text;
    if (row == HEADER_ROW_2) {
        if (column <= NAME_COLUMN) {
            draw_header_text(painter, rect, ROW_2_TEXTS[column]);
        } else if (column == 3 || column == 4) {
            text = column == 3 ? "Incremental\nRoute" : "Debug Port\nOut";
            draw_header_text(painter, rect.adjusted(0, -get_row_height(HEADER_ROW_1), 0, 0), text);
        } else if (column >= 5 && column <= 7) {
            if (column == 5)
                m->get_data_nodes_used(&text);
            else if (column == 6)
                m->get_trigger_nodes_used(&text);
            else
                m->get_storage_qualifier_nodes_used(&text);
            draw_header_text(painter, rect, text);
        } else if (column == 8) {
            draw_header_text(painter, rect, "Transitional");
        } else if (column == FIRST_SQ_COLUMN || column == LAST_SQ_COLUMN) {
            draw_header_text(painter, rect.translated(2, 1), column == FIRST_SQ_COLUMN ? "Start" : "Stop",
                             Qt::AlignVCenter);
        } else if (column >= FIRST_LEVEL_COLUMN && column <= LAST_LEVEL_COLUMN) {
            draw_level_number(column - FIRST_LEVEL_COLUMN, rect, painter, flags);
        }
        return;
    }
    if (column <= NAME_COLUMN) {
        if (one_segment)
            draw_header_text(painter, rect, ROW_2_TEXTS[column]);
        else if (opens_run(this, column, 0, NAME_COLUMN))
            draw_header_text(painter, shared(0, NAME_COLUMN), "Node");
    } else if (column == 5) {
        draw_header_text(painter, rect, enable_caption(rect, "Data Enable"));
    } else if (column == 6) {
        draw_header_text(painter, rect, enable_caption(rect, "Trigger Enable"));
    } else if (column == 7) {
        draw_header_text(painter, rect, enable_caption(rect, "Storage Enable"));
    } else if (column == 8 || column == 9) {
        draw_header_text(painter, rect, "Storage Qualifier");
    } else if (column == FIRST_SQ_COLUMN || column == LAST_SQ_COLUMN) {
        if (opens_run(this, column, FIRST_SQ_COLUMN, LAST_SQ_COLUMN))
            draw_header_text(painter, one_segment ? rect : shared(FIRST_SQ_COLUMN, LAST_SQ_COLUMN),
                             "Storage Qualifier");
    } else if (column >= FIRST_LEVEL_COLUMN && column <= LAST_LEVEL_COLUMN) {
        const KSM_TX_TRIGGER* trigger = m->get_trigger_object();
        const int last = FIRST_LEVEL_COLUMN - 1 + (trigger ? trigger->get_num_levels() : 0);
        if (column == FIRST_LEVEL_COLUMN && last >= FIRST_LEVEL_COLUMN) {
            QRect over = shared(FIRST_LEVEL_COLUMN, last);
            if (!flags.sequential)
                over.setBottom(over.top() + over.height() / 2 - 1);
            draw_header_text(painter, over, "Trigger Conditions");
        }
        if (!flags.sequential)
            draw_level_name(column - FIRST_LEVEL_COLUMN, rect, painter, flags);
    }
}

// Between the master's label and the next sample's: the segment header row names the segment
// numbers, unless every sample is a segment of its own; the other row names the values. The title
// keeps a gap to the labels; one wider than its room is cut short, and left out where not even its
// first letter fits.
void VOKR_VIEW::draw_value_title(int row, const QRect& between, QPainter* painter)
{
    const QRect room = between.adjusted(3, 0, -3, 0);
    if (room.width() <= 1)
        return;
    const QString title = row == HEADER_ROW_1 && !is_one_segment_data() ? "Segment" : "Value";
    painter->save();
    vokr_set_font(painter, pirq_get_font(HEADER_FONT));
    const QString shown = painter->fontMetrics().elidedText(title, Qt::ElideRight, room.width());
    if (shown.size() > 1)
        draw_header_text(painter, room, shown);
    painter->restore();
}

// The level's name in the lower half of its upper header cell.
void VOKR_VIEW::draw_level_name(int level, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags)
{
    QRect lower = rect;
    lower.setTop(rect.top() + rect.height() / 2);
    painter->save();
    if (!flags.editable_here)
        painter->fillRect(lower.adjusted(-1, -1, 0, 0), pirq_get_brush(FACE));
    painter->setPen(level_name_pen());
    vokr_draw_fitted_text(painter, lower, ALIGN_CENTRE,
                          QString::fromUtf8(m_tx_manager->get_trigger_level_name(level, -1)));
    painter->restore();
}

// The level number with the check box of its pattern, or "Seg" for a segmented acquisition's
// last level.
void VOKR_VIEW::draw_level_number(int level, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags)
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    const QRect box = get_level_box_rect(level, rect);
    painter->save();
    vokr_set_font(painter, pirq_get_font(HEADER_FONT));
    painter->setPen(pirq_get_color(HEADER_COLOR));
    const QRect text = rect.adjusted(2, 0, 0, 0);
    painter->drawText(text, ALIGN_LEFT_CENTRE, box.isNull() ? QString("Seg") : QString::number(level + 1));
    painter->restore();
    if (box.isNull())
        return;
    const bool checked = flags.sequential ? m->is_pattern_enabled(level) : true;
    draw_check_box(painter, box, checked, flags.sequential && flags.editable, flags.power_up_view, false);
}
