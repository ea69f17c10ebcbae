// Routing of the frame's shared actions to the view while it has the keyboard focus, the group
// condition actions, the scratch sample buffers, and the commands that are still to come.
#include "vokr_view.h"

#include "vokr_assert.h"
#include "vokr_tx_manager.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QFocusEvent>

#include <memory>

namespace {

// The shared actions the view takes over while it has the focus, with their slots; a slot the
// view lacks is the manager's. Create List File is not among them: the frame always hands it to
// the view, and a second connection would write the file twice.
const std::pair<int, const char*> ACTION_TABLE[] = {
    {513, "on_edit_select_all()"},
    {178, "on_edit_find()"},
    {179, "on_edit_find_next()"},
    {349, "on_find_bus_value()"},
    {350, "on_find_next_bus_value()"},
    {351, "on_find_previous_bus_value()"},
    {326, "on_node_insert()"},
    {358, "on_plugin_options()"},
    {327, "on_node_add_state_machine()"},
    {361, "on_node_recreate_state_machine_mnemonics()"},
    {352, "on_node_group()"},
    {377, "on_node_ungroup()"},
    {378, "on_node_ungroup_nested_groups()"},
    {362, "on_node_rename()"},
    {355, "on_mnemonic_table_setup()"},
    {353, "on_invert_signal()"},
    {328, "on_view_align_left()"},
    {329, "on_view_align_right()"},
    {360, "on_change_node_pre_syn()"},
    {359, "on_change_node_post_fit()"},
    {356, "on_bus_order(QAction *)"},
    {335, "on_bus_display_format(QAction *)"},
    {363, "on_node_set_alias()"},
    {357, "on_node_paste_alias()"},
    {347, "on_node_remove_alias()"},
    {346, "on_data_enable()"},
    {345, "on_data_disable()"},
    {376, "on_trigger_enable()"},
    {375, "on_trigger_disable()"},
    {365, "on_storage_enable()"},
    {364, "on_storage_disable()"},
    {367, "on_transition_enable()"},
    {366, "on_transition_disable()"},
    {368, "on_trigger_condition(QAction *)"},
    {372, "on_insert_trigger_value()"},
    {226, "on_trigger_condition(QAction *)"},
    {225, "on_comparison_trigger()"},
    {712, "on_insert_time_bar()"},
    {710, "on_delete_time_bar()"},
    {711, "on_delete_all_time_bars()"},
    {713, "on_insert_master_time_bar()"},
    {717, "on_insert_master_time_bar()"},
    {714, "on_move_master_time_bar()"},
    {718, "on_sample_numbers()"},
    {719, "on_time_units()"},
    {728, "on_fit_in_window()"},
    {729, "on_zoom_in()"},
    {730, "on_zoom_out()"},
    {708, "on_center_on_trigger()"},
    {715, "on_next_transition()"},
    {716, "on_previous_transition()"},
};

// Group trigger conditions 9 to 17 and their menu actions.
constexpr int GROUP_CONDITION_ACTIONS[] = {227, 226, 230, 228, 229, 232, 231, 234, 233};

bool is_group_slot(const char* slot) { return QMetaObject::normalizedSignature(slot).contains("(QAction*)"); }

// SLOT() form of a normalised signature.
QByteArray slot_code(const char* slot) { return "1" + QMetaObject::normalizedSignature(slot); }

bool has_method(const QObject* object, const char* coded)
{
    return object && coded && *coded &&
           object->metaObject()->indexOfMethod(QMetaObject::normalizedSignature(coded + 1)) >= 0;
}

}  // namespace

bool vokr_connect_slot(QObject* sender, const char* signal, QObject* receiver, const char* slot)
{
    if (!has_method(sender, signal) || !has_method(receiver, slot))
        return false;
    return static_cast<bool>(QObject::connect(sender, signal, receiver, slot));
}

// ---- action table ---------------------------------------------------------------------------------------

void VOKR_VIEW::create_action_table()
{
    for (const auto& [id, slot] : ACTION_TABLE)
        m_action_table.append({static_cast<PIRQ_ACTION_ENUM>(id), QMetaObject::normalizedSignature(slot)});
    connect_action(PIRQ_ACTION_LOCK_MODE_ALL, "on_select_lock_mode_all()");
    connect_action(PIRQ_ACTION_LOCK_MODE_INCREMENTAL, "on_select_lock_mode_incremental()");
    connect_action(PIRQ_ACTION_LOCK_MODE_TRIGGER, "on_select_lock_mode_trigger()");
}

QObject* VOKR_VIEW::action_receiver(const char* slot) const
{
    const QByteArray coded = slot_code(slot);
    return has_method(this, coded.constData()) ? static_cast<QObject*>(const_cast<VOKR_VIEW*>(this))
                                               : static_cast<QObject*>(m_tx_manager);
}

void VOKR_VIEW::connect_action(PIRQ_ACTION_ENUM id, const char* slot)
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    QAction* shared = m_tx_manager->get_action(id, QVariant());
    const QByteArray coded = slot_code(slot);
    QObject* receiver = action_receiver(slot);
    if (!is_group_slot(slot)) {
        if (vokr_connect_slot(shared, SIGNAL(triggered(bool)), receiver, coded.constData()))
            shared->setEnabled(false);
        return;
    }
    QActionGroup* group = shared->actionGroup();
    VOKR_ASSERT_TEXT(group != nullptr, "group != NULL");
    if (!vokr_connect_slot(group, SIGNAL(triggered(QAction*)), receiver, coded.constData()))
        return;
    for (QAction* member : group->actions())
        member->setEnabled(false);
}

void VOKR_VIEW::disconnect_action(PIRQ_ACTION_ENUM id, const char* slot)
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    QAction* shared = m_tx_manager->get_action(id, QVariant());
    const QByteArray coded = slot_code(slot);
    QObject* receiver = action_receiver(slot);
    if (!is_group_slot(slot)) {
        shared->setEnabled(false);
        QObject::disconnect(shared, SIGNAL(triggered(bool)), receiver, coded.constData());
        return;
    }
    QActionGroup* group = shared->actionGroup();
    VOKR_ASSERT_TEXT(group != nullptr, "group != NULL");
    for (QAction* member : group->actions())
        member->setEnabled(false);
    QObject::disconnect(group, SIGNAL(triggered(QAction*)), receiver, coded.constData());
}

void VOKR_VIEW::focusInEvent(QFocusEvent* event)
{
    QWidget::focusInEvent(event);
    if (m_actions_connected)
        return;
    m_actions_connected = true;
    for (const ACTION_ENTRY& entry : m_action_table)
        connect_action(entry.first, entry.second.constData());
    update_transition_buttons();
    update();
}

// Focus that moves to a menu keeps the actions on the view, since the menu runs them; so does
// focus lost while a context menu of the view opens, as where the platform activates the menu's
// new window before it counts as a popup.
void VOKR_VIEW::focusOutEvent(QFocusEvent* event)
{
    QWidget::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (QApplication::focusWidget() == this || reason == Qt::MenuBarFocusReason || reason == Qt::PopupFocusReason ||
        m_menu_open)
        return;
    if (!m_actions_connected || !m_tx_manager)  // the manager goes first when the frame closes
        return;
    m_actions_connected = false;
    for (const ACTION_ENTRY& entry : m_action_table)
        disconnect_action(entry.first, entry.second.constData());
    update();
}

QAction* VOKR_VIEW::get_group_condition_action(int condition)
{
    if (condition < 9 || condition > 17)
        VOKR_INTERNAL_ERROR("Unsupported trigger condition used.");
    return m_tx_manager->get_action(static_cast<PIRQ_ACTION_ENUM>(GROUP_CONDITION_ACTIONS[condition - 9]), QVariant());
}

// ---- scratch sample buffers -----------------------------------------------------------------------------

namespace {

struct SCRATCH {
    std::unique_ptr<bool[]> data;
    int capacity = 0;

    bool* at_least(int size)
    {
        if (size > capacity) {
            data = std::make_unique<bool[]>(size);  // zero-filled
            capacity = size;
        }
        return data.get();
    }
};

}  // namespace

bool* VOKR_WAVE(int size)
{
    static SCRATCH buffer;
    return buffer.at_least(size);
}

bool* VOKR_WAVE_MASK(int size)
{
    static SCRATCH buffer;
    return buffer.at_least(size);
}

// ---- commands of the lock mode --------------------------------------------------------------------------

void VOKR_VIEW::on_select_lock_mode_all() { m_tx_manager->set_lock_mode(VOKR_LOCK_MODE_ALL_CHANGES, true); }

void VOKR_VIEW::on_select_lock_mode_incremental()
{
    m_tx_manager->set_lock_mode(VOKR_LOCK_MODE_INCREMENTAL_ROUTE, true);
}

void VOKR_VIEW::on_select_lock_mode_trigger() { m_tx_manager->set_lock_mode(VOKR_LOCK_MODE_TRIGGER_CONDITIONS, true); }
