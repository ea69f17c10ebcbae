// Moving boxes with their sub-trees and the two automatic layouts of a diagram.
#include "vokr_object.h"

#include "vokr_assert.h"

#include <algorithm>
#include <climits>

namespace {

// The leftward layout: children one column left of their parent, 10 units apart.
constexpr int ARRANGE_COLUMN = 130;
constexpr int ARRANGE_GAP = 10;

// The layout from the leaves: an operator stands this far right of its widest input, with its
// top this far above the middle of its inputs (a tall box centred on them).
constexpr int ARRANGE_STEP = 30;
constexpr int ARRANGE_TOP_ABOVE_MIDDLE = 50;

int vertical_centre(const VOKR_OBJECT* box) { return box->get_top() + box->get_height() / 2; }

}  // namespace

// ---- contour ----------------------------------------------------------------------------------------

void VOKR_CONTOUR::merge(const VOKR_CONTOUR& other)
{
    VOKR_ASSERT_TEXT(m_top_array.size() == m_bottom_array.size(),
                     "this->m_top_array.size() == this->m_bottom_array.size()");
    VOKR_ASSERT_TEXT(other.m_top_array.size() == other.m_bottom_array.size(),
                     "other.m_top_array.size() == other.m_bottom_array.size()");
    const size_t common = std::min(m_top_array.size(), other.m_top_array.size());
    for (size_t i = 0; i < common; ++i) {
        m_top_array[i] = std::min(m_top_array[i], other.m_top_array[i]);
        m_bottom_array[i] = std::max(m_bottom_array[i], other.m_bottom_array[i]);
    }
    for (size_t i = common; i < other.m_top_array.size(); ++i) {
        m_top_array.push_back(other.m_top_array[i]);
        m_bottom_array.push_back(other.m_bottom_array[i]);
    }
}

void VOKR_CONTOUR::shift(int dy)
{
    for (int32_t& top : m_top_array)
        top += dy;
    for (int32_t& bottom : m_bottom_array)
        bottom += dy;
}

void VOKR_OBJECT::get_contour(VOKR_CONTOUR* contour) const
{
    contour->m_top_array.assign(1, get_top());
    contour->m_bottom_array.assign(1, get_bottom());
    if (m_children.isEmpty() || !is_expanded())
        return;
    VOKR_CONTOUR below;
    m_children[0]->get_contour(&below);
    for (int i = 1; i < m_children.size(); ++i) {
        VOKR_CONTOUR next;
        m_children[i]->get_contour(&next);
        below.merge(next);
    }
    contour->m_top_array.insert(contour->m_top_array.end(), below.m_top_array.begin(), below.m_top_array.end());
    contour->m_bottom_array.insert(contour->m_bottom_array.end(), below.m_bottom_array.begin(),
                                   below.m_bottom_array.end());
}

bool VOKR_OBJECT::less_by_vertical_centre(const VOKR_OBJECT* a, const VOKR_OBJECT* b)
{
    return vertical_centre(a) < vertical_centre(b);
}

// ---- moving -------------------------------------------------------------------------------------------

void VOKR_OBJECT::set_top(int y) { m_property.set(VOKR_INT_TOP, y, VOKR_BANK_CURRENT); }

void VOKR_OBJECT::move(const QPoint& offset)
{
    set_position(get_left() + offset.x(), get_top() + offset.y());
    for (VOKR_OBJECT* child : std::as_const(m_children))
        child->move(offset);
}

void VOKR_OBJECT::move_subtree_down(int dy)
{
    set_top(get_top() + dy);
    for (VOKR_OBJECT* child : std::as_const(m_children))
        child->move_subtree_down(dy);
}

void VOKR_OBJECT::move_subtree_up(int dy) { move_subtree_down(-dy); }

void VOKR_OBJECT::push_siblings_down(VOKR_OBJECT* child, int dy)
{
    const int first = m_children.indexOf(child);
    if (first < 0)
        return;
    for (int i = m_children.size() - 1; i >= first; --i)
        m_children[i]->move_subtree_down(dy);
}

void VOKR_OBJECT::start_drag(const QPoint& point)
{
    set_drag_offset(point.x() - get_left(), point.y() - get_top());
    mark_dragging();
}

void VOKR_OBJECT::mark_dragging()
{
    m_dragging = true;
    for (VOKR_OBJECT* child : std::as_const(m_children))
        child->mark_dragging();
}

void VOKR_OBJECT::expand(bool expanded) { m_property.set(VOKR_INT_EXPANDED, expanded ? 1 : 0, VOKR_BANK_CURRENT); }

void VOKR_OBJECT::ensure_visible()
{
    for (VOKR_OBJECT* up = m_parent; up; up = up->m_parent)
        up->expand(true);
}

// ---- automatic layouts ----------------------------------------------------------------------------

void VOKR_OBJECT::arrange()
{
    if (m_children.isEmpty() || !is_expanded())
        return;
    const int x = get_left() - ARRANGE_COLUMN;
    // The point on the left edge the children centre on, and how many of them count.
    const int height = get_height();
    int anchor = height / 2;
    int counted = m_children.size();
    if (has_two_inputs()) {
        if (m_property[VOKR_INT_FIRST_PORT_EMPTY] == 1)
            anchor = 2 * height / 3 - 1;
        else if (m_children.size() == 1)
            anchor = height / 3 + 2;
        else
            counted = 2;
    }
    int total = ARRANGE_GAP * (counted - 1);
    for (int i = 0; i < counted; ++i)
        total += m_children[i]->get_height();
    int y = get_top() + anchor - total / 2;
    for (VOKR_OBJECT* child : std::as_const(m_children)) {
        child->set_position(x, y);
        child->arrange();
        y += child->get_height() + ARRANGE_GAP;
    }
    remove_overlaps();
}

// Pushes each child's sub-tree down below the sub-trees before it where they meet at some depth,
// then moves them all back up by half the push so that they stay centred.
void VOKR_OBJECT::remove_overlaps()
{
    VOKR_CONTOUR done;
    m_children[0]->get_contour(&done);
    int pushed = 0;
    for (int i = 1; i < m_children.size(); ++i) {
        VOKR_OBJECT* child = m_children[i];
        VOKR_CONTOUR extent;
        child->get_contour(&extent);
        const size_t common = std::min(done.m_top_array.size(), extent.m_top_array.size());
        int overlap = INT_MIN;
        for (size_t level = 0; level < common; ++level)
            overlap = std::max(overlap, done.m_bottom_array[level] - extent.m_top_array[level] + ARRANGE_GAP);
        if (overlap > 0) {
            push_siblings_down(child, overlap);
            extent.shift(overlap);
            pushed += overlap;
        }
        done.merge(extent);
    }
    if (pushed > 0)
        for (VOKR_OBJECT* child : std::as_const(m_children))
            child->move_subtree_up(pushed / 2);
}

void VOKR_OBJECT::arrange_children(int& y)
{
    if (m_children.isEmpty()) {
        set_position(0, y);
        y += get_height() + ARRANGE_GAP;
        return;
    }
    int widest = INT_MIN;
    for (VOKR_OBJECT* child : std::as_const(m_children)) {
        child->arrange_children(y);
        widest = std::max(widest, child->get_left());
    }
    const int middle = (vertical_centre(m_children.first()) + vertical_centre(m_children.last())) / 2;
    set_position(widest + WIDTH + ARRANGE_STEP, middle - ARRANGE_TOP_ABOVE_MIDDLE);
}
