// The canvas's editing commands: the refresh from the manager, the snapshot undo of the level,
// selection, insert, append, detach, remove, delete, reordering, expand and collapse, arrange
// all, rename, properties and default names. Every command edits the boxes in place and then
// records a snapshot.
#include "vokr_object_widget.h"

#include "vokr_object.h"
#include "vokr_object_properties_dlg.h"
#include "vokr_trigger_object.h"
#include "vokr_tx_manager.h"

#include <QScrollBar>

#include <algorithm>

namespace {

// The name stem of an unnamed box by type; a result box is never named.
const char* const NAME_KEYS[] = {"",        "condition", nullptr,     "detector",   "",
                                 "bus",     "bit_value", "bus_value", "comparison", "bitwise",
                                 "logical", "reduction", "shift",     "counter",    "mnd_custom_trigger_hdl"};

bool is_fixed(const VOKR_OBJECT* box)
{
    return box->get_type() == VOKR_TYPE_CIRN || box->get_type() == VOKR_TYPE_RESULT;
}

QString name_of(const VOKR_OBJECT* box)
{
    QString name;
    box->get_string_property_text(VOKR_STRING_NAME, &name, VOKR_BANK_CURRENT);
    return name;
}

}  // namespace

// ---- refresh --------------------------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::on_update(QObject*, int hint)
{
    if (!(hint & VOKR_HINT_ADVANCED) || !m_tx_manager)
        return;
    m_error_object = nullptr;
    m_error_code = 0;
    if (hint & VOKR_HINT_REBUILD) {
        m_objects = nullptr;
        m_undo_list = nullptr;
        m_undo_position = -1;
        update();
        return;
    }
    m_objects = m_tx_manager->get_object_array();
    m_undo_list = m_tx_manager->get_undo_list();
    m_undo_position = m_tx_manager->get_undo_position();
    if (!m_objects) {
        update();
        return;
    }
    for (VOKR_OBJECT* box : std::as_const(*m_objects))
        box->set_context(this);
    if (vokr_find_child_of_type(m_objects, VOKR_TYPE_RESULT) == -1) {
        const QRect area(to_canvas(rect().topLeft()), to_canvas(rect().bottomRight()));
        keep_in_view({new_box(area.center() - QPoint(0, 10), VOKR_TYPE_RESULT)});
    }
    if (m_undo_list && m_undo_list->isEmpty() && m_tx_manager->is_advanced_mode(nullptr)) {
        m_undo_position = -1;
        m_tx_manager->shown_advanced_root()->set_first_snapshot_modified(is_level_modified());
        save_undo(false);
    }
    update_scroll_bars();
    update();
}

// ---- undo ---------------------------------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::save_undo(bool changed)
{
    if (!m_objects || !m_undo_list)
        return;
    auto* snapshot = new QList<VOKR_OBJECT*>;
    VOKR_OBJECT::clone(this, snapshot, *m_objects, nullptr);
    if (m_undo_position != -1) {
        while (m_undo_list->size() > m_undo_position + 1) {
            QList<VOKR_OBJECT*>* dropped = m_undo_list->takeLast();
            free_objects(dropped);
            delete dropped;
        }
    }
    m_undo_list->append(snapshot);
    m_undo_position = m_undo_list->size() - 1;
    m_tx_manager->set_undo_position(m_undo_position);
    if (m_undo_list->size() > 1 && changed)
        m_tx_manager->update_advanced_modified_flag(true, true);
    // The shared Undo and Redo entries are the canvas's while it has the focus: they offer the
    // step just recorded, and no longer the steps it dropped.
    if (hasFocus()) {
        on_update_edit_undo();
        on_update_edit_redo();
    }
}

// The diagram becomes a copy of snapshot `position`; the boxes join the level's trigger.
void VOKR_OBJECT_WIDGET::load_snapshot(int position)
{
    m_error_object = nullptr;
    free_objects(m_objects);
    VOKR_OBJECT::clone(this, m_objects, *m_undo_list->at(position), nullptr);
    VOKR_TRIGGER_OBJECT* owner = trigger();
    for (VOKR_OBJECT* box : std::as_const(*m_objects))
        box->set_trigger(owner);
    m_undo_position = position;
    m_tx_manager->set_undo_position(position);
    update_scroll_bars();
    update();
}

// Undo and redo are no-ops without a neighbouring snapshot: the frame routes its commands here
// whenever the canvas has the focus, whatever the position.
void VOKR_OBJECT_WIDGET::on_edit_undo()
{
    if (!m_objects || !m_undo_list || m_undo_position < 1 || m_undo_position >= m_undo_list->size())
        return;
    load_snapshot(m_undo_position - 1);
    // Back at the first snapshot the level is marked as it was then (a level read modified from
    // its file stays so); every later snapshot was recorded by an edit.
    const VOKR_TRIGGER_OBJECT* root = m_tx_manager->shown_advanced_root();
    const bool at_first = m_undo_position == 0;
    m_tx_manager->update_advanced_modified_flag(!at_first || (root && root->is_first_snapshot_modified()), true);
    on_update_edit_undo();
    on_update_edit_redo();
}

void VOKR_OBJECT_WIDGET::on_edit_redo()
{
    if (!m_objects || !m_undo_list || m_undo_position < 0 || m_undo_position + 1 >= m_undo_list->size())
        return;
    load_snapshot(m_undo_position + 1);
    m_tx_manager->update_advanced_modified_flag(true, true);
    on_update_edit_undo();
    on_update_edit_redo();
}

bool VOKR_OBJECT_WIDGET::is_level_modified() const
{
    int level = 0;
    KSM_TX_TRIGGER* t = m_tx_manager->get_trigger_object();
    return t && m_tx_manager->is_advanced_mode(&level) && t->is_advanced_modified(level);
}

// Takes back a command whose dialog was cancelled: the snapshot the command recorded before it
// changed anything is restored and dropped, and the position and modified mark from before it
// return, so that nothing the snapshot did not hold is lost and no redo step is left behind.
void VOKR_OBJECT_WIDGET::restore_after_cancel(int position, bool modified)
{
    const int recorded = m_undo_position;
    load_snapshot(recorded);
    QList<VOKR_OBJECT*>* dropped = m_undo_list->takeAt(recorded);
    free_objects(dropped);
    delete dropped;
    m_undo_position = position;
    m_tx_manager->set_undo_position(position);
    m_tx_manager->update_advanced_modified_flag(modified, false);
}

// ---- selection ------------------------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::select(VOKR_OBJECT* box)
{
    if (!m_objects)
        return;
    for (VOKR_OBJECT* other : std::as_const(*m_objects))
        if (other != box)
            other->select(false, false, false);
    if (!box)
        return;
    box->select(true, false, false);
    m_objects->removeOne(box);
    m_objects->append(box);
    refresh_selection_actions();
    on_update_edit_undo();
    on_update_edit_redo();
    on_update_edit_select_all();
}

QList<VOKR_OBJECT*> VOKR_OBJECT_WIDGET::selected_boxes() const
{
    QList<VOKR_OBJECT*> selected;
    if (m_objects)
        for (VOKR_OBJECT* box : std::as_const(*m_objects))
            if (box->is_selected())
                selected.append(box);
    return selected;
}

VOKR_OBJECT* VOKR_OBJECT_WIDGET::get_selected_object() const
{
    const QList<VOKR_OBJECT*> selected = selected_boxes();
    return selected.isEmpty() ? nullptr : selected.first();
}

int VOKR_OBJECT_WIDGET::get_selection_count() const { return selected_boxes().size(); }

VOKR_OBJECT* VOKR_OBJECT_WIDGET::get_selected_object_parent() const
{
    VOKR_OBJECT* shared = nullptr;
    for (const VOKR_OBJECT* box : selected_boxes()) {
        VOKR_OBJECT* parent = box->get_parent();
        if (!parent || parent->is_selected())
            continue;
        if (shared && shared != parent)
            return nullptr;
        shared = parent;
    }
    return shared;
}

void VOKR_OBJECT_WIDGET::on_edit_select_all()
{
    if (m_objects)
        for (VOKR_OBJECT* box : std::as_const(*m_objects))
            if (!box->is_hidden())
                box->select(true, false, false);
    update();
    refresh_selection_actions();
}

// ---- deleting -------------------------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::free_objects(QList<VOKR_OBJECT*>* list)
{
    if (!list)
        return;
    qDeleteAll(*list);
    list->clear();
}

void VOKR_OBJECT_WIDGET::delete_selected_objects(QList<VOKR_OBJECT*>* list)
{
    QList<VOKR_OBJECT*>* boxes = list ? list : m_objects;
    if (!boxes)
        return;
    for (VOKR_OBJECT* box : std::as_const(*boxes))
        if (box->is_selected() && !box->is_expanded())
            box->select_all();
    for (int i = boxes->size() - 1; i >= 0; --i)
        if (boxes->at(i)->is_selected() && !is_fixed(boxes->at(i)))
            delete boxes->takeAt(i);
    if (!list) {
        m_error_object = nullptr;
        update();
        refresh_shared_actions();  // undo and redo among them
    }
}

void VOKR_OBJECT_WIDGET::delete_unselected_objects(QList<VOKR_OBJECT*>* list)
{
    for (int i = list->size() - 1; i >= 0; --i) {
        const VOKR_OBJECT* box = list->at(i);
        if (is_fixed(box) || !(box->is_selected() || box->is_hidden()))
            delete list->takeAt(i);
    }
}

void VOKR_OBJECT_WIDGET::on_edit_delete()
{
    delete_selected_objects(nullptr);
    save_undo(true);
}

// ---- structure ------------------------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::on_insert()
{
    if (!m_objects)
        return;
    const QList<VOKR_OBJECT*> selected = selected_boxes();
    if (selected.isEmpty()) {
        VOKR_OBJECT* box = new_box(to_canvas(m_mouse_point), VOKR_TYPE_UNKNOWN);
        box->select(true, false, false);
        box->expand(true);
        update();
        if (!on_properties(0, true)) {
            m_objects->removeOne(box);
            delete box;
            update();
        }
        return;
    }
    // Nothing drives the Result: a box inserted next to it becomes its input, as Append makes one.
    if (std::any_of(selected.begin(), selected.end(),
                    [](const VOKR_OBJECT* box) { return box->get_type() == VOKR_TYPE_RESULT; })) {
        on_append();
        return;
    }
    VOKR_OBJECT* parent = get_selected_object_parent();
    int right = 0;
    int centres = 0;
    for (const VOKR_OBJECT* box : selected) {
        right = std::max(right, box->get_left() + VOKR_OBJECT::WIDTH);
        centres += box->get_top() + box->get_height() / 2;
    }
    const int position = m_undo_position;
    const bool modified = is_level_modified();
    save_undo(true);
    VOKR_OBJECT* inserted = new_box(QPoint(right + 30, centres / selected.size() - 50), VOKR_TYPE_UNKNOWN);
    inserted->expand(true);
    for (VOKR_OBJECT* box : selected) {
        box->detach(nullptr);
        inserted->attach(box, true);
    }
    if (parent)
        parent->attach(inserted, true);
    select(inserted);
    arrange_objects();
    if (!on_properties(0, true))
        restore_after_cancel(position, modified);
}

void VOKR_OBJECT_WIDGET::on_append()
{
    if (!m_objects)
        return;
    const int position = m_undo_position;
    const bool modified = is_level_modified();
    save_undo(true);
    for (int i = m_objects->size() - 1; i >= 0; --i) {
        VOKR_OBJECT* box = m_objects->at(i);
        if (!box->is_selected())
            continue;
        VOKR_OBJECT* input = new_box(QPoint(0, 0), VOKR_TYPE_UNKNOWN);
        input->select(true, false, false);
        box->select(false, false, false);
        box->attach(input, false);
        box->expand(true);
    }
    arrange_objects();
    if (!on_properties(0, true))
        restore_after_cancel(position, modified);
}

void VOKR_OBJECT_WIDGET::on_detach()
{
    if (!m_objects)
        return;
    for (int i = m_objects->size() - 1; i >= 0; --i)
        if (m_objects->at(i)->is_selected() && m_objects->at(i)->get_parent())
            m_objects->at(i)->detach(nullptr);
    update();
    save_undo(true);
}

void VOKR_OBJECT_WIDGET::on_remove()
{
    if (!m_objects || get_selection_count() == 0)
        return;
    VOKR_OBJECT* parent = get_selected_object_parent();
    for (int i = m_objects->size() - 1; i >= 0; --i) {
        VOKR_OBJECT* box = m_objects->at(i);
        if (!box->is_selected() || is_fixed(box))
            continue;
        m_objects->removeAt(i);
        box->promote_children();
        delete box;
    }
    m_error_object = nullptr;
    select(parent);
    arrange_objects();
    save_undo(true);
}

void VOKR_OBJECT_WIDGET::on_move_up()
{
    if (!m_objects)
        return;
    for (VOKR_OBJECT* box : std::as_const(*m_objects))
        box->make_selected_earlier();
    arrange_objects();
    save_undo(true);
}

void VOKR_OBJECT_WIDGET::on_move_down()
{
    if (!m_objects)
        return;
    for (VOKR_OBJECT* box : std::as_const(*m_objects))
        box->make_selected_later();
    arrange_objects();
    save_undo(true);
}

// Expands the visible selected boxes; hidden ones wait for the next command. The dragging flag
// marks them meanwhile.
void VOKR_OBJECT_WIDGET::on_expand() { expand_selected(true, &VOKR_OBJECT::is_hidden); }

// Collapses one level of the selection per command, the innermost first.
void VOKR_OBJECT_WIDGET::on_collapse() { expand_selected(false, &VOKR_OBJECT::has_selected_expanded_child); }

// The held-back boxes are all marked before any box changes, so that expanding or collapsing one
// does not decide for another.
void VOKR_OBJECT_WIDGET::expand_selected(bool expanded, bool (VOKR_OBJECT::*held_back)() const)
{
    const QList<VOKR_OBJECT*> selected = selected_boxes();
    for (VOKR_OBJECT* box : selected)
        box->set_dragging((box->*held_back)());
    for (VOKR_OBJECT* box : selected) {
        if (box->is_dragging())
            box->set_dragging(false);
        else
            box->expand(expanded);
    }
    arrange_objects();
    update_scroll_bars();
    save_undo(false);
}

// Stacks every tree in one column: the roots become, for one layout, inputs of a temporary bus.
void VOKR_OBJECT_WIDGET::on_edit_arrange_all_objects()
{
    if (!m_objects)
        return;
    auto* column = new VOKR_OBJECT(this, QPoint(0, 0), nullptr);
    column->set_type(VOKR_TYPE_BUS);
    column->expand(true);
    for (VOKR_OBJECT* box : std::as_const(*m_objects))
        if (!box->get_parent())
            column->attach(box, true);
    m_objects->append(column);
    arrange_objects();
    delete m_objects->takeLast();
    update_scroll_bars();
    m_hscroll->setValue((m_hscroll->maximum() - m_hscroll->minimum()) / 2);
    m_vscroll->setValue((m_vscroll->maximum() - m_vscroll->minimum()) / 2);
    save_undo(true);
}

// ---- names and properties ---------------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::on_rename()
{
    if (VOKR_OBJECT* box = get_selected_object())
        box->start_rename(this);
}

bool VOKR_OBJECT_WIDGET::on_properties(int initial_type, bool new_object)
{
    if (!m_objects || !exec_properties_dialog(initial_type, new_object))
        return false;
    generate_default_names();
    arrange_objects();
    save_undo(true);
    return true;
}

bool VOKR_OBJECT_WIDGET::exec_properties_dialog(int initial_type, bool new_object)
{
    KSM_TX_SESSION* session = m_tx_manager && !m_tx_manager->is_empty() ? m_tx_manager->get_session() : nullptr;
    KSM_DATA_SESSION* data = session ? session->get_data_session() : nullptr;
    const int lock = m_tx_manager && m_tx_manager->get_frame_wnd() ? m_tx_manager->get_lock_mode(false) : 0;
    VOKR_OBJECT_PROPERTIES_DLG dialog(this, m_objects, data ? data->get_mnemonics() : nullptr, initial_type, new_object,
                                      lock, is_power_up_view());
    return dialog.exec() != 0;
}

bool VOKR_OBJECT_WIDGET::is_unique_name(const QString& name) const
{
    return !m_objects || std::none_of(m_objects->begin(), m_objects->end(),
                                      [&name](const VOKR_OBJECT* box) { return name_of(box) == name; });
}

// The box latest in the list gets the lowest free number.
void VOKR_OBJECT_WIDGET::generate_default_names()
{
    if (!m_objects)
        return;
    for (int i = m_objects->size() - 1; i >= 0; --i) {
        VOKR_OBJECT* box = m_objects->at(i);
        const int type = box->get_type();
        if (type == VOKR_TYPE_RESULT || type < 0 || type > VOKR_TYPE_CUSTOM_HDL || !name_of(box).isEmpty())
            continue;
        for (int n = 0;; ++n) {
            const QString candidate = QString("%1_%2").arg(NAME_KEYS[type]).arg(n);
            if (is_unique_name(candidate)) {
                box->set_name(candidate);
                break;
            }
        }
    }
}
