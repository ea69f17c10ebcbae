// When the canvas's commands are offered: the selection tests, one enabler per shared action and
// the context menu; and showing a box that a search found.
#include "vokr_object_widget.h"

#include "vokr_assert.h"
#include "vokr_find_dlg.h"
#include "vokr_object.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QScrollBar>

#include <algorithm>

// ---- selection tests ----------------------------------------------------------------------------

bool VOKR_OBJECT_WIDGET::is_selected() const { return get_selection_count() > 0; }

bool VOKR_OBJECT_WIDGET::is_child_selected() const { return any_selected(true, false); }

bool VOKR_OBJECT_WIDGET::is_parent_selected() const { return any_selected(false, true); }

// Nothing but the level's fixed boxes is selected (or the editor is disabled).
bool VOKR_OBJECT_WIDGET::is_protected_selection() const
{
    if (is_disabled())
        return true;
    const QList<VOKR_OBJECT*> selected = selected_boxes();
    return !selected.isEmpty() && std::all_of(selected.begin(), selected.end(), [](const VOKR_OBJECT* box) {
        return box->get_type() == VOKR_TYPE_CIRN || box->get_type() == VOKR_TYPE_RESULT;
    });
}

// ---- connecting actions -------------------------------------------------------------------------

namespace {

bool is_group_slot(const QByteArray& signature) { return signature.contains("(QAction*)"); }

QByteArray slot_code(const QByteArray& signature) { return QByteArray::number(QSLOT_CODE) + signature; }

}  // namespace

// The canvas when it has the slot, else the manager.
QObject* VOKR_OBJECT_WIDGET::action_receiver(const QByteArray& signature) const
{
    if (metaObject()->indexOfMethod(signature.constData()) >= 0)
        return const_cast<VOKR_OBJECT_WIDGET*>(this);
    return m_tx_manager;
}

bool VOKR_OBJECT_WIDGET::connect_action(int id, const char* slot)
{
    QAction* shared = action(id);
    if (!shared)
        return false;
    const QByteArray signature = QMetaObject::normalizedSignature(slot);
    QObject* receiver = action_receiver(signature);
    if (!is_group_slot(signature)) {
        const bool connected =
            vokr_connect_slot(shared, SIGNAL(triggered(bool)), receiver, slot_code(signature).constData());
        if (connected)
            shared->setEnabled(false);
        return connected;
    }
    QActionGroup* group = shared->actionGroup();
    VOKR_ASSERT_TEXT(group != nullptr, "group != NULL");
    if (!vokr_connect_slot(group, SIGNAL(triggered(QAction*)), receiver, slot_code(signature).constData()))
        return false;
    for (QAction* member : group->actions())
        member->setEnabled(false);
    return true;
}

void VOKR_OBJECT_WIDGET::disconnect_action(int id, const char* slot)
{
    QAction* shared = action(id);
    if (!shared)
        return;
    const QByteArray signature = QMetaObject::normalizedSignature(slot);
    QObject* receiver = action_receiver(signature);
    if (!is_group_slot(signature)) {
        shared->setEnabled(false);
        disconnect(shared, SIGNAL(triggered(bool)), receiver, slot_code(signature).constData());
        return;
    }
    QActionGroup* group = shared->actionGroup();
    VOKR_ASSERT_TEXT(group != nullptr, "group != NULL");
    for (QAction* member : group->actions())
        member->setEnabled(false);
    disconnect(group, SIGNAL(triggered(QAction*)), receiver, slot_code(signature).constData());
}

// ---- enablers -----------------------------------------------------------------------------------

void VOKR_OBJECT_WIDGET::enable(int id, bool enabled, bool show)
{
    if (QAction* a = action(id)) {
        if (show)
            a->setVisible(true);
        a->setEnabled(enabled);
    }
}

void VOKR_OBJECT_WIDGET::on_update_edit_undo()
{
    enable(PIRQ_ACTION_UNDO, m_undo_list && m_undo_position > 0 && !is_disabled());
}

void VOKR_OBJECT_WIDGET::on_update_edit_redo()
{
    enable(PIRQ_ACTION_REDO, m_undo_list && m_undo_position != m_undo_list->size() - 1 && !is_disabled());
}

void VOKR_OBJECT_WIDGET::on_update_edit_cut()
{
    enable(PIRQ_ACTION_CUT, is_selected() && !is_protected_selection() && structural_key_allowed(), true);
}

void VOKR_OBJECT_WIDGET::on_update_edit_copy()
{
    enable(PIRQ_ACTION_COPY, is_selected() && !is_protected_selection(), true);
}

void VOKR_OBJECT_WIDGET::on_update_edit_paste()
{
    enable(PIRQ_ACTION_PASTE, !m_clipboard.isEmpty() && !is_disabled() && structural_key_allowed(), true);
}

void VOKR_OBJECT_WIDGET::on_update_edit_delete()
{
    enable(PIRQ_ACTION_DELETE, is_selected() && !is_protected_selection() && structural_key_allowed());
}

void VOKR_OBJECT_WIDGET::on_update_edit_select_all()
{
    enable(PIRQ_ACTION_SELECT_ALL, m_objects && !m_objects->isEmpty() && !is_disabled());
}

void VOKR_OBJECT_WIDGET::on_update_rename()
{
    enable(PIRQ_ACTION_RENAME_OBJECT, get_selection_count() == 1 && !is_disabled());
}

void VOKR_OBJECT_WIDGET::on_update_structure(int id, bool test)
{
    enable(id, test && !is_disabled() && structural_key_allowed());
}

void VOKR_OBJECT_WIDGET::on_update_properties()
{
    enable(PIRQ_ACTION_OBJECT_PROPERTIES, is_selected() && !is_disabled());
}

void VOKR_OBJECT_WIDGET::on_update_find_next()
{
    enable(PIRQ_ACTION_FIND_NEXT, !m_find_text.isEmpty() && !is_disabled());
}

// Every enabler of the context menu, in the menu's order of refresh.
void VOKR_OBJECT_WIDGET::update_all_actions()
{
    on_update_edit_cut();
    on_update_edit_copy();
    on_update_edit_paste();
    on_update_edit_delete();
    on_update_properties();
    on_update_edit_undo();
    on_update_edit_redo();
    on_update_edit_select_all();
    on_update_structure(PIRQ_ACTION_REMOVE, is_selected() && !is_protected_selection());
    on_update_structure(PIRQ_ACTION_MOVE_UP, is_child_selected());
    on_update_structure(PIRQ_ACTION_MOVE_DOWN, is_child_selected());
    enable(PIRQ_ACTION_COLLAPSE, is_parent_selected() && !is_disabled());
    enable(PIRQ_ACTION_EXPAND, is_parent_selected() && !is_disabled());
    on_update_rename();
    on_update_structure(PIRQ_ACTION_DETACH, is_child_selected());
    on_update_insert();
    on_update_structure(PIRQ_ACTION_APPEND, is_selected());
    enable(PIRQ_ACTION_ARRANGE_ALL_OBJECTS, m_objects && !m_objects->isEmpty());
}

void VOKR_OBJECT_WIDGET::context_menu(const QPoint& point)
{
    update_all_actions();
    enable(PIRQ_ACTION_ARRANGE_ALL_OBJECTS, true);
    m_context_menu->exec(mapToGlobal(point));
}

// ---- find ---------------------------------------------------------------------------------------

// The canvas embedded in the wizard has no layout widget and so no find: the command does
// nothing there.
void VOKR_OBJECT_WIDGET::on_edit_find()
{
    if (!m_tx_manager || !m_tx_manager->has_layout_widget() || is_disabled())
        return;
    VOKR_FIND_DLG dialog(this, this);
    dialog.exec();
    on_update_find_next();
}

void VOKR_OBJECT_WIDGET::set_find_request(const QString& text, const QString& direction)
{
    std::fill(std::begin(m_find_options), std::end(m_find_options), false);
    std::fill(std::begin(m_find_in), std::end(m_find_in), true);
    m_find_text = text;
    m_find_direction = direction;
}

void VOKR_OBJECT_WIDGET::on_edit_find_next()
{
    if (!m_tx_manager || !m_tx_manager->has_layout_widget() || is_disabled())
        return;
    VOKR_FIND_DLG dialog(this, this);
    dialog.on_object_find_next();
}

void VOKR_OBJECT_WIDGET::ensure_visible(VOKR_OBJECT* box)
{
    if (!m_objects || !box)
        return;
    if (box->is_hidden())
        for (VOKR_OBJECT* up = box->get_parent(); up; up = up->get_parent())
            up->expand(true);
    select(box);
    const QPoint c = box->get_rect().center();
    const QPoint v = to_canvas(rect().center());
    if (c.x() != v.x())
        m_hscroll->setSliderPosition(m_hscroll->sliderPosition() + c.x() - v.x());
    if (c.y() != v.y())
        m_vscroll->setSliderPosition(m_vscroll->sliderPosition() + c.y() - v.y());
    update();
}
