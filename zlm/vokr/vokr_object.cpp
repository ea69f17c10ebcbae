#include "vokr_object.h"

#include "ruv.h"
#include "vokr_advanced_trigger_tree_generator.h"
#include "vokr_assert.h"
#include "vokr_object_widget.h"
#include "vokr_trigger_object.h"
#include "vokr_tx_manager.h"

#include <algorithm>

namespace {

constexpr const char* POWER_UP_PREFIX = "powerup_";

// The bank markers are the view-context values 1 and 2, never dereferenced.
VOKR_OBJECT_WIDGET* marker(quintptr value)
{
    return reinterpret_cast<VOKR_OBJECT_WIDGET*>(value);  // NOLINT(performance-no-int-to-ptr)
}

}  // namespace

// ---- construction and links --------------------------------------------------------------------

VOKR_OBJECT::VOKR_OBJECT(VOKR_OBJECT_WIDGET* context, const QPoint& position, VOKR_TRIGGER_OBJECT* trigger)
    : m_context(context), m_trigger(trigger)
{
    m_property.set_parent(this);
    set_position(position.x(), position.y());
}

VOKR_OBJECT::~VOKR_OBJECT()
{
    close_rename_edit();
    detach(nullptr);
    for (VOKR_OBJECT* child : std::as_const(m_children))
        child->m_parent = nullptr;
}

VOKR_OBJECT* VOKR_OBJECT::get_root()
{
    VOKR_OBJECT* box = this;
    while (box->m_parent)
        box = box->m_parent;
    return box;
}

void VOKR_OBJECT::attach(VOKR_OBJECT* child, bool place)
{
    if (child->m_parent == this)
        return;
    if (child->m_parent)
        child->m_parent->detach(child);
    m_children.append(child);
    if (place) {
        const bool lone_and_lower =
            m_children.size() == 1 && child->get_top() + child->get_height() / 2 > get_top() + get_height() / 2;
        set_first_port_empty(lone_and_lower);
        sort_children();
    }
    child->m_parent = this;
}

void VOKR_OBJECT::detach(VOKR_OBJECT* child)
{
    if (!child) {
        if (m_parent)
            m_parent->detach(this);
        m_parent = nullptr;
        return;
    }
    const int index = m_children.indexOf(child);
    if (index >= 0) {
        if (index == 0 && m_children.size() == 2)
            set_first_port_empty(true);
        m_children.removeAt(index);
    }
    child->m_parent = nullptr;
}

void VOKR_OBJECT::set_first_port_empty(bool empty)
{
    m_property.set(VOKR_INT_FIRST_PORT_EMPTY, empty ? 1 : 0, VOKR_BANK_CURRENT);
}

// ---- view context and banks ----------------------------------------------------------------------

VOKR_OBJECT_WIDGET* VOKR_OBJECT::power_up_view_marker() { return marker(1); }

VOKR_OBJECT_WIDGET* VOKR_OBJECT::normal_view_marker() { return marker(2); }

VOKR_OBJECT_WIDGET* VOKR_OBJECT::get_canvas() const
{
    return m_context == power_up_view_marker() || m_context == normal_view_marker() ? nullptr : m_context;
}

bool VOKR_OBJECT::is_power_up_view() const
{
    if (m_context == power_up_view_marker())
        return true;
    const VOKR_OBJECT_WIDGET* canvas = get_canvas();
    const VOKR_TX_MANAGER* manager = canvas ? canvas->get_manager() : nullptr;
    if (!manager || manager->is_empty())
        return false;
    return manager->get_session()->is_power_up_view(manager->get_current_instance_index());
}

// ---- kinds and properties ------------------------------------------------------------------------

void VOKR_OBJECT::set_type(int type) { m_property.set(VOKR_INT_TYPE, type, VOKR_BANK_CURRENT); }

void VOKR_OBJECT::set_name(const QString& name)
{
    m_property.set_setting_string(VOKR_STRING_NAME, name, VOKR_BANK_CURRENT);
}

bool VOKR_OBJECT::get_int_property_text(int id, QString* text, int bank) const
{
    const VOKR_INT_SLOT& slot = m_property.get_int_value(id, bank);
    text->clear();
    if (!slot.set)
        return false;
    if (slot.blank)
        return true;
    const VOKR_WORD_TABLE* words = vokr_int_property_words(id);
    const char* word = words ? words->word(slot.value) : nullptr;
    // A value outside its word table (never stored from a word) is written as its number, which
    // reading refuses, so the slot keeps its default then.
    *text = word ? QString::fromLatin1(word) : QString::number(slot.value);
    return true;
}

// ---- ports and widths --------------------------------------------------------------------------------

namespace {

// The sum of the boxes' output widths (each asked without following its parent), or unknown
// as soon as one is.
int sum_of_widths(const QList<VOKR_OBJECT*>& boxes)
{
    int sum = 0;
    for (const VOKR_OBJECT* box : boxes) {
        const int width = box->get_output_width(false);
        if (width == VOKR_WIDTH_UNKNOWN)
            return VOKR_WIDTH_UNKNOWN;
        sum += width;
    }
    return sum;
}

}  // namespace

int VOKR_OBJECT::get_output_width(bool follow_parent) const
{
    const int kind = get_draw_kind();
    if (vokr_kind_output(kind) == VOKR_SIGNAL_BIT)
        return 1;
    if (kind == VOKR_KIND_BUS)
        return sum_of_widths(m_children);
    const int max = vokr_kind_max_inputs(kind);
    if (max == 0)
        return follow_parent && m_parent ? m_parent->get_input_width() : VOKR_WIDTH_UNKNOWN;
    const int n = m_children.size();
    if (n == 0 || (max != VOKR_UNBOUNDED_INPUTS && n != max))
        return VOKR_WIDTH_UNKNOWN;
    int width = m_children[0]->get_output_width(follow_parent);
    for (int i = 1; i < std::min(n, max); ++i) {
        const int other = m_children[i]->get_output_width(follow_parent);
        if (width == VOKR_WIDTH_UNKNOWN)
            width = other;
        else if (other != VOKR_WIDTH_UNKNOWN && other != width)
            return VOKR_WIDTH_UNKNOWN;
    }
    return width;
}

// Children are asked without following their parent: a value box asks its parent's input
// width, which would ask the value box again.
int VOKR_OBJECT::get_input_width() const
{
    const int kind = get_draw_kind();
    const VOKR_SIGNAL_KIND input = vokr_kind_input(kind);
    if (input == VOKR_SIGNAL_NONE)
        return 0;
    if (input == VOKR_SIGNAL_BIT)
        return 1;
    const int max = vokr_kind_max_inputs(kind);
    const int n = m_children.size();
    if (max == VOKR_UNBOUNDED_INPUTS)
        return n == 0 ? 0 : sum_of_widths(m_children);
    int width = VOKR_WIDTH_UNKNOWN;
    if (n != 0 && n == max) {
        width = m_children[0]->get_output_width(false);
        for (int i = 1; i < n; ++i) {
            const int other = m_children[i]->get_output_width(false);
            if (width == VOKR_WIDTH_UNKNOWN) {
                width = other;
            } else if (other != VOKR_WIDTH_UNKNOWN && other != width) {
                width = VOKR_WIDTH_MIXED;
                break;
            }
        }
    }
    // A bus-valued operator over values only takes the width its consumer expects.
    if (width == VOKR_WIDTH_UNKNOWN && vokr_kind_output(kind) == VOKR_SIGNAL_BUS && m_parent &&
        vokr_kind_input(m_parent->get_draw_kind()) == VOKR_SIGNAL_BUS)
        width = m_parent->get_input_width();
    return width;
}

bool VOKR_OBJECT::can_connect(const VOKR_OBJECT* child) const
{
    if (!child)
        return !m_parent || m_parent->can_connect(this);
    const int kind = get_draw_kind();
    const VOKR_SIGNAL_KIND input = vokr_kind_input(kind);
    if (input == VOKR_SIGNAL_NONE)
        return false;
    const int max = vokr_kind_max_inputs(kind);
    if (vokr_kind_output(child->get_draw_kind()) == input) {
        if (m_children.size() <= max)
            return true;
        const auto found = std::find(m_children.begin(), m_children.end(), child);
        return found == m_children.end() || found - m_children.begin() < max;
    }
    return input == VOKR_SIGNAL_BUS && max == VOKR_UNBOUNDED_INPUTS;
}

bool VOKR_OBJECT::are_inputs_connectable() const
{
    return std::all_of(m_children.begin(), m_children.end(), [this](const VOKR_OBJECT* c) { return can_connect(c); });
}

// ---- tree-object operations ------------------------------------------------------------------------

KSM_TX_TREE_OBJECT* VOKR_OBJECT::get_child_object(int index) { return m_children.value(index, nullptr); }

KSM_TX_TREE_OBJECT* VOKR_OBJECT::create_child_object(int)
{
    auto* child = new VOKR_OBJECT(m_context, QPoint(0, 0), m_trigger);
    m_children.append(child);
    if (m_trigger)
        m_trigger->get_object_array()->append(child);
    child->m_parent = this;
    return child;
}

void VOKR_OBJECT::get_attributes()
{
    static constexpr int BANKS[] = {VOKR_BANK_POWER_UP, VOKR_BANK_NORMAL};
    auto add = [this](int bank, const char* key, const QString& value) {
        const QByteArray full_key = QByteArray(bank == VOKR_BANK_POWER_UP ? POWER_UP_PREFIX : "") + key;
        add_attribute(full_key.constData(), value.toUtf8().constData());
    };
    for (const VOKR_STRING_PROPERTY_DESCRIPTOR& d : vokr_string_property_table) {
        for (int bank : BANKS) {
            const VOKR_STRING_SLOT& slot = m_property.get_string_value(d.id, bank);
            if (slot.set && !slot.text.isEmpty())
                add(bank, d.key, slot.text);
        }
    }
    QString text;
    for (const VOKR_INT_PROPERTY_DESCRIPTOR& d : vokr_int_property_table) {
        for (int bank : BANKS) {
            const VOKR_INT_SLOT& slot = m_property.get_int_value(d.id, bank);
            if (slot.set && !slot.blank && slot.value != d.default_value && get_int_property_text(d.id, &text, bank))
                add(bank, d.key, text);
        }
    }
}

void VOKR_OBJECT::set_attribute(const char* key, const char* value)
{
    if (key)
        m_property.set_by_key(QString::fromUtf8(key), QString::fromUtf8(value ? value : ""));
}

void VOKR_OBJECT::generate_tree(RUV_ADVANCED_TRIGGER_FACTORY* factory)
{
    VOKR_ASSERT(factory != NULL);
    // A failed parse leaves no tree: the box stays as it is.
    RUV_ADVANCED_TRIGGER_OUTPUT* root = factory->get_root();
    if (!root)
        return;
    VOKR_ADVANCED_TRIGGER_TREE_GENERATOR generator(this);
    root->accept(&generator);
}
