// Which of the shared actions the node list view enables and checks while it is the focused
// view: the edit permissions, one enable rule per node command, and the slots that refresh a
// menu when it is about to show. Nothing here changes the session.
#include "vokr_view.h"

#include "omu.h"
#include "vokr_assert.h"
#include "vokr_frame_wnd.h"
#include "vokr_node.h"
#include "vokr_tx_manager.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>

#include <algorithm>

namespace {

constexpr int TRANSITION_COLUMN = 8;
constexpr int STORAGE_COLUMN = 7;

// Display type of a bus and the format action that shows it.
const std::pair<int, int> FORMAT_ACTIONS[] = {{1, 332}, {2, 342}, {3, 341},  {4, 343},  {5, 335},  {6, 338}, {7, 330},
                                              {8, 331}, {9, 336}, {10, 339}, {11, 340}, {13, 334}, {14, 333}};

}  // namespace

// ---- permissions ------------------------------------------------------------------------------------------

// Editing waits while the instance captures; a locked power-up view is never edited.
bool VOKR_VIEW::is_editable() const
{
    const bool list = current_node_table() != nullptr;
    if (list && m_tx_manager->is_powerup_trigger(-1) && m_frame_wnd && m_tx_manager->get_lock_mode(false) != 0)
        return false;
    return !list || !m_tx_manager->is_instance_acquiring(-1);
}

bool VOKR_VIEW::is_editable_unlocked(bool check_power_up) const
{
    return m_tx_manager->get_lock_mode(check_power_up) == VOKR_LOCK_MODE_ALL_CHANGES && is_editable();
}

// With incremental routing only post-fitting nodes change, and only while the instance has free
// inputs of the kind the change takes.
bool VOKR_VIEW::can_change_enable(int node, bool data_column, bool enabled) const
{
    if (!m_frame_wnd)
        return is_editable();
    const VOKR_LOCK_MODE lock = m_tx_manager->get_lock_mode(true);
    if (lock == VOKR_LOCK_MODE_ALL_CHANGES)
        return is_editable();
    if (node < 0 || lock == VOKR_LOCK_MODE_TRIGGER_CONDITIONS || m_tx_manager->get_node_tap_mode(node, -1) == 0)
        return false;
    const bool data_free = m_tx_manager->get_data_nodes_allocated(-1) > m_tx_manager->get_data_nodes_used(-1);
    const bool trigger_free = m_tx_manager->get_trigger_nodes_allocated(-1) > m_tx_manager->get_trigger_nodes_used(-1);
    bool uses_data = false, uses_trigger = false;
    m_tx_manager->get_node(node, nullptr, nullptr, nullptr, nullptr, nullptr, &uses_data, &uses_trigger, -4, nullptr);
    bool allowed = false;
    if (data_column)
        allowed = enabled ? uses_trigger || trigger_free : data_free;
    else
        allowed = enabled ? uses_data || data_free : trigger_free;
    return allowed && is_editable();
}

bool VOKR_VIEW::is_selected_signal(int node) const
{
    return m_tx_manager->get_node_selection_status(node) && !is_bus_row(node);
}

bool VOKR_VIEW::is_selected_bus(int node) const
{
    return m_tx_manager->get_node_selection_status(node) && is_bus_row(node);
}

bool VOKR_VIEW::is_pre_synthesis_node(int node) const
{
    if (!is_bus_row(node))
        return m_tx_manager->get_node_tap_mode(node, -1) == KSM_TAP_PRE_SYNTHESIS;
    std::vector<int> rows;
    m_tx_manager->get_all_descendants(node, &rows);
    return std::all_of(rows.begin(), rows.end(),
                       [this](int r) { return m_tx_manager->get_node_tap_mode(r, -1) == KSM_TAP_PRE_SYNTHESIS; });
}

bool VOKR_VIEW::is_post_fitting_node(int node) const
{
    if (!is_bus_row(node))
        return m_tx_manager->get_node_tap_mode(node, -1) == KSM_TAP_POST_FITTING;
    std::vector<int> rows;
    m_tx_manager->get_all_descendants(node, &rows);
    return std::all_of(rows.begin(), rows.end(),
                       [this](int r) { return m_tx_manager->get_node_tap_mode(r, -1) == KSM_TAP_POST_FITTING; });
}

bool VOKR_VIEW::data_tab_shown() const { return m_frame_wnd && m_tx_manager->is_data_mode(-1); }

bool VOKR_VIEW::selection_exists() const { return current_node_table() && get_selected_node_count() > 0; }

bool VOKR_VIEW::any_selected_node(const std::function<bool(VOKR_NODE&)>& test) const
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    for (int i = 0, count = get_node_count(); i < count; ++i) {
        VOKR_NODE node(m_tx_manager, list, i);
        if (m_tx_manager->get_node_selection_status(i) && test(node))
            return true;
    }
    return false;
}

// ---- enable rules of the node commands ------------------------------------------------------------------

bool VOKR_VIEW::can_edit_enables() const
{
    return current_node_table() && m_tx_manager->get_lock_mode(true) == VOKR_LOCK_MODE_ALL_CHANGES && is_editable();
}

bool VOKR_VIEW::on_update_data_enable()
{
    return can_edit_enables() && any_selected_node([](VOKR_NODE& n) {
               bool mixed = false;
               return !n.is_data_enabled(&mixed) || mixed;
           });
}

bool VOKR_VIEW::on_update_data_disable()
{
    return can_edit_enables() && any_selected_node([](VOKR_NODE& n) { return n.is_data_enabled(); });
}

// A node compared at some level keeps its trigger enable.
bool VOKR_VIEW::can_change_trigger_enable(bool enabled_makes_true) const
{
    if (!can_edit_enables())
        return false;
    int levels = 0;
    m_tx_manager->get_trigger_level(&levels, -1);
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    for (int i = 0, count = get_node_count(); i < count; ++i) {
        if (!m_tx_manager->get_node_selection_status(i))
            continue;
        int level = 0;
        if (find_comparison_level(i, &level, -3, levels))
            return false;
        bool mixed = false;
        const bool enabled =
            VOKR_NODE(m_tx_manager, list, i).is_trigger_enabled(&mixed, VOKR_NODE::PLAIN_TRIGGER_LEVEL);
        if (enabled_makes_true ? enabled : !enabled || mixed)
            return true;
    }
    return false;
}

bool VOKR_VIEW::on_update_trigger_enable() { return can_change_trigger_enable(false); }
bool VOKR_VIEW::on_update_trigger_disable() { return can_change_trigger_enable(true); }

bool VOKR_VIEW::can_change_transition(bool enabled_makes_true) const
{
    QString qualifier;
    m_tx_manager->get_storage_qualifier_type(&qualifier, -1);
    if (!current_node_table() || m_tx_manager->get_lock_mode(false) != VOKR_LOCK_MODE_ALL_CHANGES || !is_editable() ||
        !m_tx_manager->is_setup_mode() || qualifier != "Transitional" || get_column_width(TRANSITION_COLUMN) < 1)
        return false;
    return any_selected_node([&](VOKR_NODE& n) {
        bool mixed = false;
        const bool enabled = n.is_transition_enabled(&mixed);
        return enabled_makes_true ? enabled : !enabled || mixed;
    });
}

bool VOKR_VIEW::on_update_transition_enable() { return can_change_transition(false); }
bool VOKR_VIEW::on_update_transition_disable() { return can_change_transition(true); }

bool VOKR_VIEW::can_change_storage(bool enable) const
{
    if (m_frame_wnd && (m_tx_manager->is_powerup_trigger(-1) || m_tx_manager->get_lock_mode(false) != 0))
        return false;
    if (!current_node_table() || !is_editable() || get_column_width(STORAGE_COLUMN) < 1)
        return false;
    return any_selected_node([enable](VOKR_NODE& n) {
        bool partly = false;
        const bool on = n.is_storage_enabled(&partly);
        return enable ? !on || partly : on;
    });
}

bool VOKR_VIEW::on_update_storage_enable() { return can_change_storage(true); }
bool VOKR_VIEW::on_update_storage_disable() { return can_change_storage(false); }

bool VOKR_VIEW::on_update_invert_signal()
{
    QAction* invert = action(353);
    invert->setChecked(false);
    invert->setEnabled(false);
    if (!data_tab_shown() || !selection_exists())
        return false;
    invert->setEnabled(true);
    invert->setChecked(any_selected_node([](VOKR_NODE& n) {
        bool partly = false;
        return n.is_signal_inverted(&partly) || partly;
    }));
    return true;
}

// Deleting, grouping and ungrouping rows wait while the instance captures: the samples are read
// back into the rows the run was started with.
bool VOKR_VIEW::on_update_edit_delete()
{
    if (m_tx_manager->is_advanced_mode(nullptr))
        return true;
    if (!is_editable())
        return false;
    const bool setup = m_tx_manager->is_setup_mode();
    if (setup && m_tx_manager->get_lock_mode(true) == VOKR_LOCK_MODE_ALL_CHANGES)
        return true;
    for (int i = 0, count = get_node_count(); i < count; ++i)
        if (m_tx_manager->get_node_selection_status(i) &&
            (!m_tx_manager->is_node_deletable(i) || (setup && m_tx_manager->has_children(i))))
            return false;
    return true;
}

bool VOKR_VIEW::on_update_edit_select_all()
{
    for (int i = 0, count = get_node_count(); i < count; ++i)
        if (!m_tx_manager->get_node_selection_status(i))
            return true;
    return false;
}

// Stores every selected node met, so that on success m_edit_node is the one selected node.
bool VOKR_VIEW::on_update_node_set_alias()
{
    int selected = 0;
    for (int i = 0, count = get_node_count(); i < count; ++i) {
        if (m_tx_manager->get_node_selection_status(i)) {
            m_edit_node = i;
            ++selected;
        }
    }
    return selected == 1;
}

bool VOKR_VIEW::on_update_node_remove_alias()
{
    for (int i = 0, count = get_node_count(); i < count; ++i) {
        QString alias;
        if (m_tx_manager->get_node_selection_status(i) && m_tx_manager->get_node_alias(i, &alias) && !alias.isEmpty())
            return true;
    }
    return false;
}

// A locked instance is regrouped only when the IP wizard made it.
bool VOKR_VIEW::ungroup_allowed() const
{
    if (m_tx_manager->is_advanced_mode(nullptr) || !is_editable())
        return false;
    return !m_frame_wnd || m_tx_manager->get_lock_mode(false) == 0 || m_tx_manager->is_corvix_generated();
}

bool VOKR_VIEW::on_update_node_group()
{
    return current_node_table() && ungroup_allowed() && m_tx_manager->is_valid_selection_for_grouping();
}

bool VOKR_VIEW::on_update_node_ungroup()
{
    if (!current_node_table() || !ungroup_allowed())
        return false;
    for (int i = 0, count = get_node_count(); i < count; ++i)
        if (is_selected_bus(i))
            return true;
    return false;
}

bool VOKR_VIEW::on_update_node_ungroup_nested_groups()
{
    return current_node_table() && ungroup_allowed() && m_tx_manager->has_nested_groups();
}

bool VOKR_VIEW::on_update_node_rename()
{
    m_edit_node = current_node_table() ? get_single_selected_node() : -1;
    return m_edit_node != -1 && m_frame_wnd && !m_tx_manager->is_advanced_mode(nullptr) &&
           !m_tx_manager->is_corvix_generated();
}

// A plug-in bus among the selected rows offers its plug-in's options.
bool VOKR_VIEW::on_update_plugin_options()
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    if (!list || m_tx_manager->is_advanced_mode(nullptr) || get_selected_node_count() == 0)
        return false;
    for (int i = 0, count = get_node_count(); i < count; ++i) {
        QString text;
        if (is_selected_bus(i) && m_tx_manager->get_plugin_mnemonic_table_name_menu_string(&text, i, list))
            return true;
    }
    return false;
}

bool VOKR_VIEW::on_update_bus_order(int id)
{
    bool any = false, uniform = true;
    for (int i = 0, count = current_node_table() ? get_node_count() : 0; i < count; ++i) {
        if (!is_selected_bus(i))
            continue;
        bool lsb_first = false;
        VOKR_ASSERT_TEXT(m_tx_manager->get_node_lsb_to_msb(i, &lsb_first, -1), "get_node_lsb_to_msb");
        any = true;
        uniform = uniform && lsb_first == (id == PIRQ_ACTION_LSB_ON_TOP);
    }
    const bool enabled = any && !m_tx_manager->is_advanced_mode(nullptr);
    action(id)->setEnabled(enabled);
    action(id)->setChecked(enabled && uniform);
    return enabled;
}

// True when every selected node is pre-synthesis (`pre`) or post-fitting. A selected bus without
// descendants passes both tests; it decides neither.
bool VOKR_VIEW::tap_mode_selection(bool pre) const
{
    bool any = false;
    for (int i = 0, count = get_node_count(); i < count; ++i) {
        if (!m_tx_manager->get_node_selection_status(i))
            continue;
        const bool both = is_pre_synthesis_node(i) && is_post_fitting_node(i);
        if (both || !(pre ? is_pre_synthesis_node(i) : is_post_fitting_node(i)))
            return false;
        any = true;
    }
    return any;
}

bool VOKR_VIEW::on_update_node_tap_mode()
{
    const bool enabled = selection_exists();
    for (int id : {360, 359}) {
        action(id)->setCheckable(true);
        action(id)->setEnabled(enabled);
        action(id)->setChecked(enabled && tap_mode_selection(id == 360));
    }
    return enabled;
}

// ---- menus ------------------------------------------------------------------------------------------------

void VOKR_VIEW::on_update_data_menu()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    action(346)->setEnabled(on_update_data_enable());
    action(345)->setEnabled(on_update_data_disable());
}

void VOKR_VIEW::on_update_trigger_menu()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    action(376)->setEnabled(on_update_trigger_enable());
    action(375)->setEnabled(on_update_trigger_disable());
}

void VOKR_VIEW::on_update_storage_menu()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    action(365)->setEnabled(on_update_storage_enable());
    action(364)->setEnabled(on_update_storage_disable());
}

void VOKR_VIEW::on_update_transition_menu()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    action(367)->setEnabled(on_update_transition_enable());
    action(366)->setEnabled(on_update_transition_disable());
}

void VOKR_VIEW::update_node_insertion_actions()
{
    const bool busy = !current_node_table() || m_tx_manager->is_instance_acquiring(-1) ||
                      !OMU_MANAGER::get_omu_manager()->is_project_open();
    const bool locked = m_frame_wnd && m_tx_manager->get_lock_mode(false) != 0;
    m_frame_wnd->get_plugin_menu()->setEnabled(!busy && !locked && !m_tx_manager->get_plugin_names().isEmpty());
    action(326)->setEnabled(!busy && !locked);
    action(327)->setEnabled(!busy && !locked);
    action(361)->setEnabled(!busy);
}

void VOKR_VIEW::on_update_edit_menu()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    VOKR_ASSERT_TEXT(OMU_MANAGER::get_omu_manager() != nullptr, "omu_manager != NULL");
    if (QApplication::focusWidget() != this || !hasFocus())
        return;
    action(120)->setEnabled(on_update_edit_delete());
    action(513)->setEnabled(on_update_edit_select_all());
    action(178)->setEnabled(get_visible_node_rows() > 0);
    action(179)->setEnabled(get_visible_node_rows() > 0);
    update_node_insertion_actions();
    const std::pair<int, bool (VOKR_VIEW::*)()> rules[] = {{358, &VOKR_VIEW::on_update_plugin_options},
                                                           {363, &VOKR_VIEW::on_update_node_set_alias},
                                                           {357, &VOKR_VIEW::on_update_node_set_alias},
                                                           {347, &VOKR_VIEW::on_update_node_remove_alias},
                                                           {352, &VOKR_VIEW::on_update_node_group},
                                                           {377, &VOKR_VIEW::on_update_node_ungroup},
                                                           {378, &VOKR_VIEW::on_update_node_ungroup_nested_groups},
                                                           {362, &VOKR_VIEW::on_update_node_rename},
                                                           {349, &VOKR_VIEW::on_update_find_bus_value},
                                                           {350, &VOKR_VIEW::on_update_find_next_bus_value},
                                                           {351, &VOKR_VIEW::on_update_find_next_bus_value}};
    for (const auto& [id, rule] : rules)
        action(id)->setEnabled((this->*rule)());
    on_update_data_menu();
    on_update_trigger_menu();
    on_update_storage_menu();
    on_update_transition_menu();
    on_update_bus_order(PIRQ_ACTION_MSB_ON_TOP);
    on_update_bus_order(PIRQ_ACTION_LSB_ON_TOP);
    action(355)->setEnabled(!m_tx_manager->is_advanced_mode(nullptr));
}

void VOKR_VIEW::on_update_name_menu()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    VOKR_ASSERT_TEXT(OMU_MANAGER::get_omu_manager() != nullptr, "omu_manager != NULL");
    if (!hasFocus())
        return;
    on_update_edit_menu();
    action(344)->setEnabled(m_tx_manager->get_trigger() && m_tx_manager->is_data_available(false, -1, nullptr) &&
                            m_tx_manager->is_data_mode(-1));
    on_update_invert_signal();
    on_update_alignment();
    on_update_node_tap_mode();
}

void VOKR_VIEW::on_update_waveform_menu()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    const int* bars = m_time_bars;
    const bool on_bar = std::find(bars, bars + m_timebar_count, m_selected_time_bar) != bars + m_timebar_count;
    action(712)->setEnabled(on_update_insert_time_bar());
    action(710)->setEnabled(on_update_delete_time_bar());
    action(711)->setEnabled(on_update_delete_all_time_bars());
    action(713)->setEnabled(m_selected_time_bar != -1 && !on_bar);
    action(717)->setEnabled(on_bar && m_selected_time_bar != m_time_bars[0]);
    action(714)->setEnabled(m_timebar_count > 0 && m_selected_time_bar != -1 && m_selected_time_bar != m_time_bars[0]);
    action(718)->setEnabled(on_update_sample_numbers());
    action(719)->setEnabled(on_update_time_units());
    const bool focused = hasFocus();
    action(728)->setEnabled(focused && on_update_zoom_out());
    action(730)->setEnabled(focused && on_update_zoom_out());
    action(729)->setEnabled(focused && on_update_zoom_in());
    action(708)->setEnabled(focused && on_update_center_on_trigger());
    action(PIRQ_ACTION_NEXT_TRANSITION)->setEnabled(focused && can_step_transition(true));
    action(PIRQ_ACTION_PREVIOUS_TRANSITION)->setEnabled(focused && can_step_transition(false));
}

void VOKR_VIEW::on_update_plugin_menu()
{
    QMenu* menu = m_frame_wnd->get_plugin_menu();
    auto* group = qobject_cast<QActionGroup*>(menu->property("action group").value<QObject*>());
    for (QAction* entry : menu->actions()) {
        menu->removeAction(entry);
        if (group && entry->actionGroup() == group)
            delete entry;
    }
    OMU_MANAGER* omu = OMU_MANAGER::get_omu_manager();
    if (!omu)
        return;
    for (const QString& name : m_tx_manager->get_plugin_names()) {
        QAction* entry = group ? new QAction(name, group) : new QAction(name, menu);
        entry->setEnabled(omu->is_project_open());
        menu->addAction(entry);
    }
}

// ---- bus display format ---------------------------------------------------------------------------------

// The display type all selected buses share (15 when they differ) and, for a mnemonic or plug-in
// type, their common table.
QString VOKR_VIEW::common_bus_table(int* type) const
{
    *type = -1;
    QString table;
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    for (int i = 0, count = list ? get_node_count() : 0; i < count; ++i) {
        if (!is_selected_bus(i))
            continue;
        const int t = list->get_group_display_type(i);
        const bool named = t == KSM_GTYPE_MNEMONICS || t == KSM_GTYPE_PLUGIN;
        QString name;
        if (named)
            m_tx_manager->get_node_mnemonics_table_name(i, &name, list);
        if (*type == -1) {
            *type = t;
            table = name;
        } else if (t != *type || name != table) {
            *type = KSM_GTYPE_INVALID;
            return QString();
        }
    }
    return table;
}

void VOKR_VIEW::add_format_table_entries(QMenu* menu, const QString& common)
{
    const QList<QAction*> actions = menu->actions();
    VOKR_ASSERT_TEXT(actions.count() > 0, "actions.count() > 0");
    QActionGroup* group = actions.first()->actionGroup();
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    if (!session || !session->get_data_session())
        return;  // a window without a session has no tables
    KSM_DATA_MNEMONICS* mnemonics = session->get_data_session()->get_mnemonics();
    VOKR_ASSERT_TEXT(mnemonics != nullptr, "mnemonics != NULL");
    bool separated = false;
    auto add = [&](const QString& text, int data, bool enabled) {
        if (!separated)
            menu->addSeparator()->setProperty("vokr table entry", true);
        separated = true;
        auto* entry = new QAction(text, group);
        entry->setProperty("vokr table entry", true);
        entry->setCheckable(true);
        entry->setData(data);
        entry->setEnabled(enabled);
        entry->setChecked(text == common);
        menu->addAction(entry);
    };
    for (int t = 0; t < mnemonics->get_num_tables(); ++t) {
        const QString name = QString::fromLocal8Bit(mnemonics->get_table(t)->get_name());
        if (!name.isEmpty())
            add(name, KSM_GTYPE_MNEMONICS, true);
    }
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    for (int i = 0, count = list ? get_node_count() : 0; i < count; ++i) {
        QString text;
        if (is_selected_bus(i) && m_tx_manager->get_plugin_mnemonic_table_name_menu_string(&text, i, list))
            add(text, KSM_GTYPE_PLUGIN, false);
    }
}

void VOKR_VIEW::check_common_format(int type)
{
    for (const auto& [t, id] : FORMAT_ACTIONS)
        action(id)->setChecked(t == type);
}

void VOKR_VIEW::on_update_bus_display_format_menu()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    QMenu* menu = m_frame_wnd->get_bus_display_format_menu();
    VOKR_ASSERT_TEXT(menu != nullptr, "sub_menu != nullptr");
    action(335)->setChecked(false);
    int type = -1;
    const QString common = common_bus_table(&type);
    for (QAction* entry : menu->actions()) {
        if (entry->property("vokr table entry").toBool()) {
            menu->removeAction(entry);
            delete entry;
        }
    }
    add_format_table_entries(menu, common);
    if (type == -1 || m_tx_manager->is_advanced_mode(nullptr)) {
        for (const auto& [t, id] : FORMAT_ACTIONS)
            action(id)->setEnabled(false);
        return;
    }
    for (int id : {335, 343, 342, 341, 338, 332, 330})
        action(id)->setEnabled(true);
    // A bus's width counts every leaf under it, those of the buses nested in it too.
    action(334)->setEnabled(selected_buses_have_width(32));
    action(333)->setEnabled(selected_buses_have_width(64));
    for (int id : {331, 336, 339, 340})
        action(id)->setEnabled(data_tab_shown());
    check_common_format(type);
}
