// The node rows of the node list view: the type icon, the alias, the indented name tree with
// its expand box and connectors, the enable check boxes and the condition cells per level.
#include "vokr_view.h"

#include "ksm.h"
#include "pirq.h"
#include "vokr_assert.h"
#include "vokr_cell_clip.h"
#include "vokr_icon_sprites.h"
#include "vokr_node.h"
#include "vokr_tx_manager.h"

#include <QCoreApplication>
#include <QPainter>
#include <QStyleOptionButton>

namespace {

constexpr int TYPE_COLUMN = 0, ALIAS_COLUMN = 1, NAME_COLUMN = 2;
constexpr int DATA_ENABLE = 5, TRIGGER_ENABLE = 6, STORAGE_ENABLE = 7, TRANSITIONAL = 8;
constexpr int FIRST_CONDITION_COLUMN = 9, LAST_CONDITION_COLUMN = 21;
constexpr int INDENT = 30;
constexpr int ALIGN_CENTRE = Qt::AlignHCenter | Qt::AlignVCenter;
constexpr int ALIGN_LEFT_CENTRE = Qt::AlignLeft | Qt::AlignVCenter;
constexpr int FACE = 22, FRAME = 1, INVALID = 5, SELECTION = 297;
constexpr int TEXT_PEN = 18, SELECTED_TEXT_PEN = 21;

const QBrush& power_up_brush()
{
    static const QBrush brush(QColor(153, 204, 255));
    return brush;
}

// Whether a horizontal or vertical line drawn with `pen` on whole pixels covers the rectangle from
// its first point to its last, both included: a solid one-pixel pen of an opaque colour that does
// not stop short of its last point.
bool fills_as_rectangles(const QPen& pen)
{
    return pen.style() == Qt::SolidLine && pen.widthF() <= 1.0 && pen.capStyle() != Qt::FlatCap &&
           pen.brush().style() == Qt::SolidPattern && pen.color().alpha() == 255;
}

// A group's expand box: its outline in `outline`, a minus and, for a collapsed group, a plus in
// `sign`. Where the cell takes direct fills and the pens fill as rectangles, the lines' pixels are
// filled: the engine's stroker costs far more than these few fills.
void draw_expand_box(QPainter* painter, const QRect& box, bool collapsed, const QColor& outline, const QPen& sign)
{
    const QPoint c = box.center();
    const QRect minus(QPoint(box.left() + 2, c.y()), QPoint(box.right() - 2, c.y()));
    const QRect plus(QPoint(c.x(), box.top() + 2), QPoint(c.x(), box.bottom() - 2));
    const VOKR_PIXEL_FILL* pixels = VOKR_CELL_CLIP::pixels(painter);
    if (pixels && outline.alpha() == 255 && fills_as_rectangles(sign)) {  // the outline's pen is a plain one
        // A drawn rectangle's outline runs along its right and bottom edges' outer side.
        pixels->fill(VOKR_PIXEL_FILL::outline(box.adjusted(0, 0, 1, 1)).data(), 4, outline.rgba());
        pixels->fill(minus, sign.color().rgba());
        if (collapsed)
            pixels->fill(plus, sign.color().rgba());
        painter->setPen(sign);
        return;
    }
    painter->setPen(outline);
    painter->drawRect(box);
    painter->setPen(sign);
    painter->drawLine(minus.topLeft(), minus.topRight());
    if (collapsed)
        painter->drawLine(plus.topLeft(), plus.bottomLeft());
}

const QPen& tree_pen()
{
    static const QPen pen = [] {
        QPen p(QPalette().color(QPalette::Dark), 1);
        p.setDashPattern({1, 1});
        return p;
    }();
    return pen;
}

struct TYPE_ICONS {
    KSM_DATA_SIGNAL_TYPE type;
    PIRQ_ICON_ENUM with_children, leaf;
};

const TYPE_ICONS ICONS_BY_TYPE[] = {
    {KSM_STYPE_INPUT_PIN, PIRQ_ICON_INPUT_PIN_GROUP, PIRQ_ICON_INPUT_PIN},
    {KSM_STYPE_OUTPUT_PIN, PIRQ_ICON_OUTPUT_PIN_GROUP, PIRQ_ICON_OUTPUT_PIN},
    {KSM_STYPE_BIDIR_PIN, PIRQ_ICON_BIDIR_PIN_GROUP, PIRQ_ICON_BIDIR_PIN},
    {KSM_STYPE_MEMORY, PIRQ_ICON_MEMORY_GROUP, PIRQ_ICON_MEMORY},
    {KSM_STYPE_REGISTERED, PIRQ_ICON_REGISTERED_GROUP, PIRQ_ICON_REGISTERED},
    {KSM_STYPE_COMBINATORIAL, PIRQ_ICON_COMBINATORIAL_GROUP, PIRQ_ICON_COMBINATORIAL},
    {KSM_STYPE_MACHINE, PIRQ_ICON_STATE_MACHINE_GROUP, PIRQ_ICON_STATE_MACHINE},
};

PIRQ_ICON_ENUM type_icon(KSM_DATA_SIGNAL_TYPE type, bool with_children)
{
    for (const TYPE_ICONS& row : ICONS_BY_TYPE)
        if (row.type == type)
            return with_children ? row.with_children : row.leaf;
    return with_children ? PIRQ_ICON_OTHER_NODE_GROUP : PIRQ_ICON_OTHER_NODE;
}

bool is_group_kind(KSM_DATA_NODE_DISPLAY_TYPE kind)
{
    return kind == KSM_NTYPE_GROUP_EXPANDED || kind == KSM_NTYPE_GROUP_COLLAPSED;
}

bool is_member_kind(KSM_DATA_NODE_DISPLAY_TYPE kind)
{
    return kind == KSM_NTYPE_MEMBER || kind == KSM_NTYPE_LAST_MEMBER;
}

// Whether the node, or the group it belongs to, takes part in a comparison on a level of
// first..last (-3..-1 the storage qualifier's patterns).
bool in_comparison(const KSM_TX_SIGNAL_NODES* list, int node, int first, int last)
{
    const int parent = list->get_parent_index(node);
    for (int level = first; level <= last; ++level) {
        if (level >= 0 && (list->is_comparison_enabled(node, level) || list->is_comparison_group_member(node, level)))
            return true;
        if (level < 0 && (list->is_pattern_comparison_enabled(node, level + 3) ||
                          (parent >= 0 && list->is_pattern_comparison_enabled(parent, level + 3))))
            return true;
    }
    return false;
}

// A node's name as its row shows it: one line, elided to `width` in the painter's font. Kept per
// node while the name's bytes, the font and the device's resolution, the width and the elision
// stay: a repaint neither decodes nor elides it again. GUI thread only.
QString shown_name(QPainter* painter, int node, const char* raw, Qt::TextElideMode elide, int width)
{
    struct SHOWN {
        QByteArray raw;
        QFont font;
        int dpi = 0;
        int width = -1;
        Qt::TextElideMode elide = Qt::ElideNone;
        QString text;
    };
    static std::vector<SHOWN> kept;
    static const bool forgotten_at_exit = [] {
        qAddPostRoutine([] { std::vector<SHOWN>().swap(kept); });
        return true;
    }();
    Q_UNUSED(forgotten_at_exit);
    auto make = [&] { return vokr_elided_text(painter, vokr_one_line(QString::fromLocal8Bit(raw)), elide, width); };
    if (node < 0 || node >= 1 << 16)
        return make();
    if (kept.size() <= size_t(node))
        kept.resize(size_t(node) + 1);
    SHOWN& shown = kept[size_t(node)];
    const int dpi = painter->device() ? painter->device()->logicalDpiX() : 0;
    if (shown.width != width || shown.elide != elide || shown.dpi != dpi || shown.raw != raw ||
        shown.font != painter->font())
        shown = {QByteArray(raw), painter->font(), dpi, width, elide, make()};
    return shown.text;
}

}  // namespace

void VOKR_VIEW::draw_node_cell(int node, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags)
{
    if (column == TYPE_COLUMN) {
        draw_type_icon(node, rect, painter, flags.pixels && flags.pixels->holds_for(painter) ? flags.pixels : nullptr);
    } else if (column == ALIAS_COLUMN) {
        // Most nodes have no alias: their cell costs no text and no painter state.
        const char* raw = current_node_table()->get_node_alias(node);
        if (!raw || !*raw)
            return;
        const QString alias = vokr_one_line(QString::fromLocal8Bit(raw));
        painter->save();
        painter->setPen(pirq_get_pen(TEXT_PEN));
        vokr_draw_fitted_text(painter, rect, ALIGN_CENTRE, alias);
        painter->restore();
    } else if (column == NAME_COLUMN) {
        draw_name_tree(node, rect, painter, flags);
    } else if (column >= DATA_ENABLE && column <= TRANSITIONAL) {
        draw_enable_cell(node, column, rect, painter, flags);
    } else if (column >= FIRST_CONDITION_COLUMN && column <= LAST_CONDITION_COLUMN) {
        draw_condition_cell(node, column - FIRST_LEVEL_COLUMN, rect, painter, flags);
    } else if (column == WAVEFORM_COLUMN) {
        draw_wave_cell(node, rect, painter, flags);
    } else if (column == VALUE_COLUMN) {
        draw_value_cell(node, rect, painter, flags);
    }
}

// ---- type icon ----------------------------------------------------------------------------------

// Where the painter takes direct writes, the icon is put down from the pixels it left over the same
// ground before.
void VOKR_VIEW::draw_type_icon(int node, const QRect& rect, QPainter* painter, const VOKR_PIXEL_FILL* pixels)
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    const QPixmap icon = pirq_get_icon(type_icon(list->get_signal_type(node), list->has_children(node)));
    QRect target(QPoint(0, 0), icon.size());
    const QPoint centre = rect.center();
    target.moveCenter(centre);
    if (pixels)
        VOKR_ICON_SPRITES::draw(painter, *pixels, target.topLeft(), icon);
    else
        painter->drawPixmap(target.topLeft(), icon);
    if (!VOKR_NODE(m_tx_manager, list, node).is_signal_inverted())
        return;
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(pirq_get_pen(TEXT_PEN));
    painter->setBrush(Qt::NoBrush);
    painter->drawEllipse(QRect(centre.x() + 8, centre.y() - 3, 5, 5));
    painter->restore();
}

// ---- name tree ----------------------------------------------------------------------------------

bool VOKR_VIEW::has_invalid_member(int node) const
{
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    for (int i = node + 1, count = list->get_num_nodes(); i < count && is_member_kind(list->get_display_type(i)); ++i)
        if (m_tx_manager->is_node_invalid(i))
            return true;
    return false;
}

void VOKR_VIEW::draw_name_tree(int node, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags)
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    const KSM_DATA_NODE_DISPLAY_TYPE kind = list->get_display_type(node);
    const bool group = is_group_kind(kind);
    const int indent = list->get_depth(node) * INDENT;
    const VOKR_CELL_CLIP clip(painter, rect, flags.pixels);
    QRect text_rect = rect;
    text_rect.setLeft(rect.left() + (group ? 21 + indent : is_member_kind(kind) ? indent : 2));
    const bool focused = flags.focused;
    if (group)
        draw_expand_box(painter, QRect(rect.left() + 4 + indent, rect.center().y() - 4, 8, 8),
                        kind == KSM_NTYPE_GROUP_COLLAPSED, flags.outline_color,
                        flags.selected && focused ? flags.selected_text_pen : flags.text_pen);

    PAINT_FLAGS::NAME_STYLE style = PAINT_FLAGS::NODE_NAME;
    if (flags.incremental_view && group && VOKR_NODE(m, list, node).get_tap_state() == KSM_TAP_POST_FITTING)
        style = PAINT_FLAGS::POST_FITTING_GROUP_NAME;
    else if (group)
        style = PAINT_FLAGS::GROUP_NAME;
    if (m->is_node_data_tab_only(node))
        style = PAINT_FLAGS::DATA_TAB_ONLY_NAME;
    vokr_set_font(painter, flags.name_fonts[style]);
    QPen pen = flags.name_pens[style];
    // The name's background, filled behind its text only where the cell's own fill differs from it:
    // the view's background, the selection's colour or, out of focus, the face.
    const QBrush* background = nullptr;
    const bool drop_into = node == m_drop_row && !m_drop_before && kind == KSM_NTYPE_GROUP_COLLAPSED;
    if (drop_into) {
        if (focused) {
            painter->fillRect(rect.adjusted(-2, -1, 2, 1), flags.background_brush.color());
            pen = flags.selected_text_pen;
            background = &flags.selection_brush;
        }
    } else if (!flags.selected) {
        if (flags.invalid_nodes && (group ? has_invalid_member(node) : m->is_node_invalid(node)))
            pen = QPen(pirq_get_color(INVALID));
    } else if (focused || name_focus_pending) {
        if (!focused)  // the cell is filled with the face, the name stands on the selection's colour
            background = &flags.selection_brush;
        name_focus_pending = false;
        pen = flags.selected_text_pen;
    } else {
        pen = flags.text_pen;
    }
    painter->setPen(pen);
    const Qt::TextElideMode elide = m->cfg_align_left() ? Qt::ElideRight : Qt::ElideLeft;
    vokr_draw_line_text(painter, text_rect, ALIGN_LEFT_CENTRE,
                        shown_name(painter, node, list->get_node_name(node), elide, text_rect.width()), background);
    if (painter->backgroundMode() != Qt::TransparentMode)  // the connectors' dashes leave their gaps
        painter->setBackgroundMode(Qt::TransparentMode);
    draw_tree_connectors(node, rect, painter);
    draw_drop_marker(node, rect, painter);
}

// Dotted lines from each group's expand box to its members, as in a file tree.
void VOKR_VIEW::draw_tree_connectors(int node, const QRect& rect, QPainter* painter)
{
    VOKR_TX_MANAGER* m = m_tx_manager;
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    const KSM_DATA_NODE_DISPLAY_TYPE kind = list->get_display_type(node);
    const bool group = is_group_kind(kind);
    const int depth = list->get_depth(node);
    if (!group && depth < 1)  // a top-level node joins nothing
        return;
    const int l = rect.left(), i = depth * INDENT, cy = rect.center().y();
    painter->setPen(tree_pen());
    if (group) {
        painter->drawLine(l + i + 14, cy, l + i + 18, cy);
        if (kind == KSM_NTYPE_GROUP_EXPANDED)
            painter->drawLine(l + i + 8, rect.bottom() - 3, l + i + 8, rect.bottom());
    }
    if (depth >= 1) {
        painter->drawLine(l + i - 22, cy, l + i + (group ? 2 : -2), cy);
        painter->drawLine(l + i - 22, rect.top(), l + i - 22, m->is_last_child(node) ? cy : rect.bottom());
    }
    for (int k = 2; k <= depth; ++k) {
        const int last = m->get_last_child_index(m->get_parent_index(node, k));
        const int x = l + 8 + (depth - k) * INDENT;
        if (last > node)
            painter->drawLine(x, rect.top(), x, rect.bottom());
        else if (last == node)
            painter->drawLine(x, cy, x + (group ? 30 : 28), cy);
    }
}

// Two lines where a dragged node would land: above or below this row.
void VOKR_VIEW::draw_drop_marker(int node, const QRect& rect, QPainter* painter)
{
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    if (node != m_drop_row || (list->get_display_type(node) == KSM_NTYPE_GROUP_COLLAPSED && !m_drop_before))
        return;
    const int depth = list->get_depth(node);
    const int left = rect.left() + depth * INDENT - (depth > 0 ? 3 : 0);
    const int y = m_drop_before ? rect.top() : rect.bottom();
    painter->setPen(pirq_get_pen(FRAME));
    painter->drawLine(left, y, rect.right(), y);
    painter->drawLine(left, y - 1, rect.right(), y - 1);
}

// ---- check boxes --------------------------------------------------------------------------------

void VOKR_VIEW::draw_check_box(QPainter* painter, const QRect& rect, bool checked, bool enabled, bool power_up,
                               bool selected)
{
    QStyleOptionButton option;
    option.initFrom(this);
    option.rect = QRect(0, 0, 13, 13);
    option.rect.moveCenter(rect.center());
    option.state = checked ? QStyle::State_On : QStyle::State_Off;
    const QRect cell = rect.adjusted(-1, -1, 0, 0);
    if (enabled) {
        option.state |= QStyle::State_Enabled;
        if (!selected && power_up) {
            painter->fillRect(cell, power_up_brush());
        } else if (selected && hasFocus()) {
            painter->fillRect(cell, pirq_get_color(SELECTION));
            option.palette.setBrush(QPalette::All, QPalette::Base, QBrush(pirq_get_color(SELECTION)));
        }
    } else {
        option.palette.setCurrentColorGroup(QPalette::Disabled);
        option.state |= QStyle::State_ReadOnly;
        painter->fillRect(cell, pirq_get_brush(FACE));
    }
    style()->drawControl(QStyle::CE_CheckBox, &option, painter, this);
}

void VOKR_VIEW::draw_enable_cell(int node, int column, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags)
{
    const VOKR_NODE handle(m_tx_manager, current_node_table(), node);
    const bool enabled = is_enable_box_enabled(node, column);
    if (column == TRANSITIONAL) {
        draw_check_box(painter, rect, handle.is_storage_enabled() && handle.is_transition_enabled(), enabled,
                       flags.power_up_view, flags.selected);
        return;
    }
    if (!flags.editable_here)
        painter->fillRect(rect.adjusted(-1, -1, 0, 0), pirq_get_brush(FACE));
    const bool checked = column == DATA_ENABLE      ? handle.is_data_enabled()
                         : column == TRIGGER_ENABLE ? handle.is_trigger_enabled()
                                                    : handle.is_storage_enabled();
    draw_check_box(painter, rect, checked, enabled, false, false);
}

// Outside full editing the lock decides per node and enable (incremental routing changes only
// post-fitting nodes, while inputs of the kind are free); a node in a comparison keeps its
// trigger and storage enables; the transitional flag changes only for a storage-enabled node
// while the storage qualifier is in use. The storage enable takes a trigger input.
bool VOKR_VIEW::is_enable_box_enabled(int node, int column) const
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    const VOKR_NODE handle(m_tx_manager, list, node);
    switch (column) {
    case DATA_ENABLE: return can_change_enable(node, true, handle.is_data_enabled());
    case TRIGGER_ENABLE: {
        const KSM_TX_TRIGGER* trigger = m_tx_manager->get_trigger_object();
        const int levels = trigger ? trigger->get_num_levels() : 0;
        return !in_comparison(list, node, 0, levels - 1) && can_change_enable(node, false, handle.is_trigger_enabled());
    }
    case STORAGE_ENABLE:
        return !in_comparison(list, node, -3, -1) && can_change_enable(node, false, handle.is_storage_enabled());
    case TRANSITIONAL:
        return handle.is_storage_enabled() && is_editable() && !m_tx_manager->is_disable_storage_qualifier_enabled(-1);
    default: return false;
    }
}

// ---- condition cells ----------------------------------------------------------------------------

void VOKR_VIEW::draw_condition_cell(int node, int level, const QRect& rect, QPainter* painter, const PAINT_FLAGS& flags)
{
    VOKR_ASSERT_TEXT(level >= -3, "nTriggerLevel >= -3 && nTriggerLevel <= -1");
    VOKR_TX_MANAGER* m = m_tx_manager;
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    const QRect cell = rect.adjusted(-1, -1, 0, 0);
    if (!VOKR_NODE(m, list, node).is_trigger_enabled(nullptr, level)) {
        painter->fillRect(cell, pirq_get_brush(FACE));
        return;
    }
    const bool enabled =
        flags.editable && m->is_pattern_enabled(level) && !(level >= 0 && m->is_advanced_trigger(level, -1));
    const KSM_DATA_TRIGGER_CONDITION condition =
        level >= 0 ? list->get_trigger_condition(node, level) : list->get_pattern_condition(node, level + 3);
    if (list->has_children(node))
        draw_group_condition(node, level, rect, painter, enabled, flags.selected, flags.power_up_view);
    else if (in_comparison(list, node, level, level))
        painter->fillRect(cell, pirq_get_brush(FACE));
    else
        draw_leaf_condition(condition, rect, painter, enabled, flags.selected, flags.power_up_view);
}
