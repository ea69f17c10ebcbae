#include "vokr_object_widget.h"

#include "vokr_object.h"
#include "vokr_trigger_object.h"

#include <algorithm>

namespace {

int interaction_mode = VOKR_INTERACTION_IDLE;

// How far a child moves left to make room for an adapter put in its place: the column step of
// the automatic layout.
constexpr int ADAPTER_COLUMN = 130;

// Reduction Or: true when any bit of the bus is.
constexpr int ADAPTER_REDUCTION = 1;

}  // namespace

VOKR_OBJECT_WIDGET::VOKR_OBJECT_WIDGET(QWidget* parent, VOKR_TX_MANAGER* manager) : QWidget(parent), m_manager(manager)
{
}

int VOKR_OBJECT_WIDGET::get_interaction_mode() { return interaction_mode; }

void VOKR_OBJECT_WIDGET::set_interaction_mode(int mode) { interaction_mode = mode; }

void VOKR_OBJECT_WIDGET::set_zoom(int tenths) { m_zoom = std::max(tenths, 1); }

VOKR_OBJECT* VOKR_OBJECT_WIDGET::fix_connection(VOKR_OBJECT* parent, VOKR_OBJECT* child, VOKR_OBJECT* adapter)
{
    const int parent_kind = parent->get_draw_kind();
    const VOKR_SIGNAL_KIND input = vokr_kind_input(parent_kind);
    const VOKR_SIGNAL_KIND output = vokr_kind_output(child->get_draw_kind());
    if (output == VOKR_SIGNAL_BUS && input == VOKR_SIGNAL_BIT) {
        if (VOKR_OBJECT* reduction = make_adapter(parent, child, VOKR_TYPE_REDUCTION)) {
            reduction->get_property().set(VOKR_INT_REDUCTION, ADAPTER_REDUCTION, VOKR_BANK_CURRENT);
            reduction->attach(child, true);
        }
    } else if (output == VOKR_SIGNAL_BIT && input == VOKR_SIGNAL_BUS &&
               vokr_kind_max_inputs(parent_kind) != VOKR_UNBOUNDED_INPUTS) {
        if (!adapter) {
            adapter = make_adapter(parent, child, VOKR_TYPE_BUS);
        } else if (adapter->get_parent() == parent) {
            // The child leaves the parent's ports: the adapter takes them again by its place.
            parent->detach(child);
            parent->detach(adapter);
            parent->attach(adapter, true);
        }
        if (adapter)
            adapter->attach(child, true);
    }
    update();
    return adapter;
}

// A new expanded box of `type` attached to `parent` in place of `child`, centred on the child's
// middle, the child moved one column left; null when the parent has no trigger to own it.
VOKR_OBJECT* VOKR_OBJECT_WIDGET::make_adapter(VOKR_OBJECT* parent, VOKR_OBJECT* child, int type)
{
    VOKR_TRIGGER_OBJECT* trigger = parent->get_trigger();
    if (!trigger)
        return nullptr;
    auto* box = new VOKR_OBJECT(child->get_context(), child->get_top_left(), trigger);
    trigger->get_object_array()->append(box);
    box->set_type(type);
    box->expand(true);
    box->set_top(child->get_top() + child->get_height() / 2 - box->get_height() / 2);
    child->move(QPoint(-ADAPTER_COLUMN, 0));
    parent->detach(child);
    parent->attach(box, true);
    return box;
}
