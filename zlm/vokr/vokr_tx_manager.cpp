// The manager's core: construction, the current-instance cache, mode predicates, shared
// actions, transactions and undo, user settings and stored window state.
#include "vokr_tx_manager.h"

#include "nixq.h"
#include "tevq.h"
#include "vokr_assert.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_msg.h"
#include "vokr_plugin_dialogs.h"
#include "vokr_plugin_library.h"
#include "vokr_trigger_object.h"
#include "wex.h"

#include <QAction>
#include <QTabWidget>

bool VOKR_TX_MANAGER::m_cfg_show_duplicate_buttons = true;
bool VOKR_TX_MANAGER::m_cfg_link_groups = true;
bool VOKR_TX_MANAGER::m_cfg_link_properties = true;
bool VOKR_TX_MANAGER::m_cfg_link_order = true;
bool VOKR_TX_MANAGER::m_cfg_link_mnemonics = true;
bool VOKR_TX_MANAGER::m_cfg_auto_recompile = false;
bool VOKR_TX_MANAGER::m_cfg_show_horz_grid = true;
int VOKR_TX_MANAGER::m_cfg_inter_line_spacing = 0;
bool VOKR_TX_MANAGER::m_cfg_msb_first = true;
bool VOKR_TX_MANAGER::m_cfg_show_leading_zeroes = true;
bool VOKR_TX_MANAGER::m_cfg_show_vert_grid = false;
bool VOKR_TX_MANAGER::m_cfg_show_time_bars = true;
bool VOKR_TX_MANAGER::m_action_done = true;
int VOKR_TX_MANAGER::m_live_managers = 0;
bool VOKR_UPDATE_GUARD::s_updating = false;

namespace {

constexpr int DEFAULT_ACQUISITION_ENTRIES = 128;
// A stored window size: width and height.
constexpr int SIZE_VALUES = 2;

// What a compile builds of every entry, as the checksums the device is compared with: the Trigger
// Only lock-mode lets through only the changes that leave them as they are.
std::vector<unsigned int> compile_checksums(const KSM_TX_SESSION* session)
{
    std::vector<unsigned int> checksums;
    for (int entry = 0; entry < session->get_num_instances(); ++entry) {
        const KSM_TX_TRIGGER* trigger = session->get_trigger_at(entry);
        checksums.push_back(trigger ? trigger->get_crc_value(false) : 0);
    }
    return checksums;
}

void step(KSM_TX_INSTANCE* instance, bool undo)
{
    if (undo)
        instance->undo();
    else
        instance->redo();
}

}  // namespace

// ---- construction -----------------------------------------------------------------------------------

VOKR_TX_MANAGER::VOKR_TX_MANAGER(VOKR_FRAME_WND* frame) : QObject(nullptr), m_frame_wnd(frame)
{
    cfg_initialize_user_registry_settings();
    if (frame && frame->is_main_window())
        m_lock_mode = VOKR_LOCK_MODE_TRIGGER_CONDITIONS;
    m_acq_states.assign(DEFAULT_ACQUISITION_ENTRIES, VOKR_ACQ_NOT_RUNNING);
    if (++m_live_managers == 1)
        VOKR_PLUGIN_LIBRARY::load_all();
    if (!frame)
        return;
    connect(get_action(PIRQ_ACTION_LOGGING, QVariant()), &QAction::toggled, this, &VOKR_TX_MANAGER::set_logging);
    connect(get_action(PIRQ_ACTION_SAVE_TO_LOG, QVariant()), &QAction::triggered, this, &VOKR_TX_MANAGER::save_to_log);
    m_node_finder = new TEVQ_DIALOG(frame, true);
    connect(m_node_finder, &TEVQ_DIALOG::on_selected_list, this, &VOKR_TX_MANAGER::on_node_insert_to_view);
}

VOKR_TX_MANAGER::~VOKR_TX_MANAGER()
{
    if (m_owns_session)
        delete m_tx_session;
    if (--m_live_managers == 0)
        VOKR_PLUGIN_LIBRARY::unload_all();
}

// ---- cache ----------------------------------------------------------------------------------------------

void VOKR_TX_MANAGER::refresh_tx_cache()
{
    if (m_current_instance == -1 || !m_tx_session) {
        m_tx_instance = nullptr;
        m_tx_signals = nullptr;
        m_tx_trigger = nullptr;
        m_data_log = nullptr;
        return;
    }
    if (m_tx_trigger)
        m_tx_trigger->detach();
    m_tx_instance = m_tx_session->get_instance_at(m_current_instance);
    m_tx_signals = m_tx_session->get_signal_set_at(m_current_instance);
    m_tx_trigger = m_tx_session->get_trigger_at(m_current_instance);
    if (m_tx_trigger)
        m_tx_trigger->set_power_up_selection(m_tx_session->is_power_up_view(m_current_instance));
    m_data_log = m_tx_session->get_log_at(m_current_instance);
}

void VOKR_TX_MANAGER::refresh_data_log_cache()
{
    m_data_log = m_tx_session && m_current_instance >= 0 ? m_tx_session->get_log_at(m_current_instance) : nullptr;
}

VOKR_LAYOUT_WIDGET* VOKR_TX_MANAGER::get_layout_widget() const
{
    VOKR_ASSERT(this->m_layout_widget != NULL);
    return m_layout_widget;
}

KSM_TX_INSTANCE* VOKR_TX_MANAGER::get_instance_at(int index) const
{
    KSM_TX_INSTANCE* return_value =
        index == -1 ? m_tx_instance : (m_tx_session ? m_tx_session->get_instance_at(index) : nullptr);
    VOKR_ASSERT(return_value != NULL);
    return return_value;
}

KSM_TX_SIGNAL_SET* VOKR_TX_MANAGER::signal_set_at(int index) const
{
    KSM_TX_SIGNAL_SET* return_value =
        index == -1 ? m_tx_signals : (m_tx_session ? m_tx_session->get_signal_set_at(index) : nullptr);
    VOKR_ASSERT(return_value);
    return return_value;
}

KSM_TX_TRIGGER* VOKR_TX_MANAGER::trigger_at(int index) const
{
    KSM_TX_TRIGGER* return_value =
        index == -1 ? m_tx_trigger : (m_tx_session ? m_tx_session->get_trigger_at(index) : nullptr);
    VOKR_ASSERT(return_value);
    return return_value;
}

const char* VOKR_TX_MANAGER::get_instance() const { return m_tx_instance ? m_tx_instance->get_name() : nullptr; }

const char* VOKR_TX_MANAGER::get_instance_name_at(int index, bool* expanded) const
{
    KSM_TX_INSTANCE* instance = get_instance_at(index);
    if (expanded)
        *expanded = instance->is_expanded();
    return instance->get_name();
}

int VOKR_TX_MANAGER::get_num_instances() const
{
    return is_empty() || !m_tx_session ? 0 : m_tx_session->get_num_instances();
}

int VOKR_TX_MANAGER::get_int_length(int value)
{
    if (value < -9999)
        return 6;
    if (value < -999 || value > 9999)
        return 5;
    if (value < -99 || value > 999)
        return 4;
    if (value < -9 || value > 99)
        return 3;
    if (value < 0 || value > 9)
        return 2;
    return 1;
}

// ---- mode predicates ----------------------------------------------------------------------------------

QTabWidget* VOKR_TX_MANAGER::current_tab_widget(int index) const
{
    if (index == -1 && m_tabs_held)
        return m_held_tabs;
    return get_layout_widget()->get_data_setup_tab_widget(index);
}

VOKR_TX_MANAGER::TABS_HOLD::TABS_HOLD(const VOKR_TX_MANAGER* manager) : m_manager(manager)
{
    if (manager->m_tabs_held || !manager->m_frame_wnd || !manager->get_layout_widget())
        return;
    manager->m_held_tabs = manager->current_tab_widget(-1);
    manager->m_held_tab = manager->m_held_tabs ? manager->m_held_tabs->currentIndex() : -1;
    manager->m_tabs_held = m_holding = true;
}

VOKR_TX_MANAGER::TABS_HOLD::~TABS_HOLD()
{
    if (m_holding)
        m_manager->m_tabs_held = false;
}

bool VOKR_TX_MANAGER::is_data_mode(int index) const
{
    if (!m_frame_wnd)
        return false;
    if (index == -1 && m_tabs_held)
        return m_held_tab == 0;
    QTabWidget* tabs = current_tab_widget(index);
    return tabs && tabs->currentIndex() == 0;
}

bool VOKR_TX_MANAGER::is_setup_mode() const
{
    if (!m_frame_wnd)
        return false;
    if (m_tabs_held)
        return !m_held_tabs || m_held_tab == 1;
    QTabWidget* tabs = current_tab_widget(-1);
    return !tabs || tabs->currentIndex() == 1;
}

bool VOKR_TX_MANAGER::is_instance_data_mode() const { return get_int_state(-1, "active tab", 1) == 0; }

bool VOKR_TX_MANAGER::is_instance_setup_mode() const { return get_int_state(-1, "active tab", 1) == 1; }

bool VOKR_TX_MANAGER::can_locate() const
{
    WEX_PRJ_UI_MGR* project_ui_mgr = WEX_PRJ_UI_MGR::get_prj_ui_mgr();
    VOKR_ASSERT(project_ui_mgr != NULL);
    return project_ui_mgr->project_is_open();
}

bool VOKR_TX_MANAGER::locate(int index, unsigned int)
{
    KSM_TX_SIGNAL_NODES* list =
        m_list_view_mode || is_data_mode(-1) ? static_cast<KSM_TX_SIGNAL_NODES*>(signal_set_at(-1)) : trigger_at(-1);
    return list->locate(index);
}

// ---- actions and notification -------------------------------------------------------------------------

QAction* VOKR_TX_MANAGER::get_action(PIRQ_ACTION_ENUM id, const QVariant& data)
{
    if (QAction* existing = m_actions.value(id))
        return existing;
    QAction* action = pirq_create_action(id, this);  // freed with the manager
    const bool panel = id == PIRQ_ACTION_DATA_LOG_PANE || id == PIRQ_ACTION_HIERARCHY_PANE ||
                       id == PIRQ_ACTION_INSTANCE_PANE || id == PIRQ_ACTION_TOOLBAR_PANE ||
                       id == PIRQ_ACTION_CONFIG_PANE;
    if (panel) {
        action->setCheckable(true);
        action->setChecked(true);
        if (m_frame_wnd)
            m_frame_wnd->get_action_widget()->addAction(action);
    } else {
        action->setEnabled(false);
    }
    action->setData(data);
    m_actions.insert(id, action);
    return action;
}

// An action without an owner becomes the manager's, freed with it.
void VOKR_TX_MANAGER::insert_action(PIRQ_ACTION_ENUM id, QAction* action)
{
    if (action && !action->parent())
        action->setParent(this);
    m_actions.insert(id, action);
}

void VOKR_TX_MANAGER::enable_action(PIRQ_ACTION_ENUM id, bool enabled)
{
    get_action(id, QVariant())->setEnabled(enabled);
}

void VOKR_TX_MANAGER::update_all_views(QObject* sender, int hint) { emit updated(sender, hint); }

void VOKR_TX_MANAGER::set_logging(bool enable)
{
    if (m_tx_session)
        m_tx_session->set_gui_logging(enable);
    update_modified_flag();
}

// ---- transactions -------------------------------------------------------------------------------------

void VOKR_TX_MANAGER::begin_action(int index)
{
    get_instance_at(index)->begin_action();
    m_session_modified_at_begin = m_tx_session && m_tx_session->is_modified();
}

void VOKR_TX_MANAGER::end_action(VOKR_CHECK_COMPILATION_STATUS status, int index)
{
    KSM_TX_INSTANCE* instance = get_instance_at(index);
    const unsigned long kept = instance->get_kept_action_count();
    instance->end_action();
    const int entry = resolved(index);
    const bool report = status == VOKR_CHECK_ALWAYS ||
                        (status == VOKR_CHECK_IN_POWER_UP_VIEW && !is_empty() && m_tx_session->is_power_up_view(entry));
    if (report)
        emit updated(nullptr, vokr_hint(VOKR_HINT_INSTANCE_STATUS));
    if (m_frame_wnd) {
        on_update_edit_undo();
        on_update_edit_redo();
    }
    // A transaction that changed the session marks the window modified, so that closing it asks
    // before the change is lost, whichever command made it: one kept for undo, or one that
    // changed an unchanged session. (The rows' selection and the view's stored position mark the
    // session without the window, and a transaction may have been begun on the instance alone.)
    const bool changed = instance->get_kept_action_count() != kept ||
                         (!m_session_modified_at_begin && m_tx_session && m_tx_session->is_modified());
    if (changed && m_tx_session && m_tx_session->is_modified())
        set_modified_flag(true);
}

int VOKR_TX_MANAGER::get_max_undo_steps() const { return get_instance_at(-1)->get_max_undo_steps(); }

void VOKR_TX_MANAGER::set_max_undo_steps(int steps) { get_instance_at(-1)->set_max_undo_steps(steps); }

// The entry of an instance after an undo or redo moved the entries: its power-up entry when
// that was shown and still exists, else the instance's own; -1 when the instance is gone.
int VOKR_TX_MANAGER::entry_of(const KSM_TX_INSTANCE* instance, bool power_up_view) const
{
    for (int entry = 0; entry < m_tx_session->get_num_instances(); ++entry)
        if (m_tx_session->get_instance_at(entry) == instance)
            return power_up_view && m_tx_session->is_power_up_trigger(entry) ? entry + 1 : entry;
    return -1;
}

// Undo and redo: the history may take entries out or bring them back; the instance whose
// history it is stays current (in the view it was shown in, where that still exists), and the
// cache is read again before anything uses it. Both wait while the instance acquires. Under the
// Trigger Only lock-mode a step that changes what a compile builds is made back at once, the
// session as it was, and the person told why.
void VOKR_TX_MANAGER::undo_or_redo(bool undo)
{
    if (is_empty() || refuse_edit_while_acquiring())
        return;
    KSM_TX_INSTANCE* instance = m_tx_instance;
    const bool power_up_view = m_tx_session->is_power_up_view(m_current_instance);
    const bool locked = get_lock_mode(false) == VOKR_LOCK_MODE_TRIGGER_CONDITIONS;
    const std::vector<unsigned int> before = locked ? compile_checksums(m_tx_session) : std::vector<unsigned int>();
    const bool modified = m_tx_session->is_modified();
    step(instance, undo);
    const bool refused = locked && compile_checksums(m_tx_session) != before;
    if (refused) {
        step(instance, !undo);
        if (!modified)
            m_tx_session->get_data_session()->set_modified(false);
    }
    const int entry = entry_of(instance, power_up_view);
    const int count = m_tx_session->get_num_instances();
    if (entry >= 0)
        m_current_instance = entry;
    else if (m_current_instance >= count)
        m_current_instance = count - 1;
    m_tx_trigger = nullptr;  // the repository may no longer hold it: no detach
    refresh_tx_cache();
    if (m_tx_trigger)
        m_tx_trigger->rebuild_after_undo();
    on_update_edit_undo();
    on_update_edit_redo();
    update_modified_flag();
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_CONFIG | VOKR_HINT_HIERARCHY |
                                    VOKR_HINT_VIEW));
    emit updated(nullptr, vokr_hint(VOKR_HINT_GEOMETRY | VOKR_HINT_REFRESH | VOKR_HINT_INSTANCES));
    emit updated(nullptr, vokr_hint(VOKR_HINT_INSTANCE_STATUS));
    if (refused)
        vokr_prompt(vokr_msg_undo_trigger_lock());
}

QList<QList<VOKR_OBJECT*>*>* VOKR_TX_MANAGER::get_undo_list()
{
    VOKR_TRIGGER_OBJECT* root = shown_advanced_root();
    return root ? root->get_undo_list() : nullptr;
}

int VOKR_TX_MANAGER::get_undo_position()
{
    VOKR_TRIGGER_OBJECT* root = shown_advanced_root();
    return root ? root->get_undo_position() : -1;
}

void VOKR_TX_MANAGER::set_undo_position(int position)
{
    if (VOKR_TRIGGER_OBJECT* root = shown_advanced_root())
        root->set_undo_position(position);
}

void VOKR_TX_MANAGER::on_edit_undo() { undo_or_redo(true); }

void VOKR_TX_MANAGER::on_edit_redo() { undo_or_redo(false); }

void VOKR_TX_MANAGER::on_update_edit_undo()
{
    get_action(PIRQ_ACTION_UNDO, QVariant())
        ->setEnabled(!is_empty() && m_tx_instance->is_undo_available() && !is_instance_of_entry_acquiring(-1));
}

void VOKR_TX_MANAGER::on_update_edit_redo()
{
    get_action(PIRQ_ACTION_REDO, QVariant())
        ->setEnabled(!is_empty() && m_tx_instance->is_redo_available() && !is_instance_of_entry_acquiring(-1));
}

VOKR_ACTION_GUARD::VOKR_ACTION_GUARD(VOKR_TX_MANAGER* manager) : m_manager(manager)
{
    VOKR_ASSERT_TEXT(VOKR_TX_MANAGER::m_action_done, "this->m_action_done");
    VOKR_TX_MANAGER::m_action_done = false;
    m_manager->begin_action(-1);
}

VOKR_ACTION_GUARD::~VOKR_ACTION_GUARD()
{
    m_manager->end_action(VOKR_CHECK_ALWAYS, -1);
    VOKR_TX_MANAGER::m_action_done = true;
}

VOKR_UPDATE_GUARD::VOKR_UPDATE_GUARD() : m_set_here(!s_updating) { s_updating = true; }

VOKR_UPDATE_GUARD::~VOKR_UPDATE_GUARD()
{
    if (m_set_here)
        s_updating = false;
}

// ---- user settings ------------------------------------------------------------------------------------

namespace {

void read_setting(const NIXQ_REGISTRY_KEY& key, const char* name, bool* value)
{
    QVariant v;
    if (key.get_value(name, &v))
        *value = v.toBool();
}

void read_setting(const NIXQ_REGISTRY_KEY& key, const char* name, int* value)
{
    QVariant v;
    bool ok = false;
    if (key.get_value(name, &v) && (v.toInt(&ok), ok))
        *value = v.toInt();
}

}  // namespace

void VOKR_TX_MANAGER::cfg_initialize_user_registry_settings()
{
    const NIXQ_REGISTRY_KEY key(NIXQ_VOKR_SUB_KEY);
    read_setting(key, NIXQ_VOKR_SHOW_DUPLICATE_BUTTONS_STR, &m_cfg_show_duplicate_buttons);
    read_setting(key, NIXQ_VOKR_LINK_GROUPS_STR, &m_cfg_link_groups);
    read_setting(key, NIXQ_VOKR_LINK_PROPERTIES_STR, &m_cfg_link_properties);
    read_setting(key, NIXQ_VOKR_LINK_ORDER_STR, &m_cfg_link_order);
    read_setting(key, NIXQ_VOKR_LINK_MNEMONICS_STR, &m_cfg_link_mnemonics);
    if (!m_cfg_link_groups)
        m_cfg_link_properties = m_cfg_link_order = m_cfg_link_mnemonics = false;
    read_setting(key, NIXQ_VOKR_AUTO_RECOMPILE_STR, &m_cfg_auto_recompile);
    read_setting(key, NIXQ_VOKR_SHOW_HORZ_GRID_STR, &m_cfg_show_horz_grid);
    read_setting(key, NIXQ_VOKR_INTER_LINE_SPACING_STR, &m_cfg_inter_line_spacing);
    read_setting(key, NIXQ_VOKR_ALIGN_LEFT_STR, &m_cfg_align_left);
    read_setting(key, NIXQ_VOKR_MSB_FIRST_STR, &m_cfg_msb_first);
    read_setting(key, NIXQ_VOKR_SHOW_LEADING_ZEROES_STR, &m_cfg_show_leading_zeroes);
    read_setting(key, NIXQ_VOKR_SHOW_VERT_GRID_STR, &m_cfg_show_vert_grid);
    read_setting(key, NIXQ_VOKR_SHOW_TIME_BARS_STR, &m_cfg_show_time_bars);
    read_setting(key, NIXQ_VOKR_FIT_DATA_STR, &m_page_fit_type);
    read_setting(key, NIXQ_VOKR_ROWPP_STR, &m_row_pp);
    read_setting(key, NIXQ_VOKR_COLUMNPP_STR, &m_column_pp);
    read_setting(key, NIXQ_VOKR_PAGES_WIDE_STR, &m_pages_wide);
    read_setting(key, NIXQ_VOKR_PAGES_TALL_STR, &m_pages_tall);
    read_setting(key, NIXQ_VOKR_NAME_WIDTH_STR, &m_name_width);
    read_setting(key, NIXQ_VOKR_SHOW_TYPE_STR, &m_show_type);
    read_setting(key, NIXQ_VOKR_SHOW_ALIAS_STR, &m_show_alias);
    read_setting(key, NIXQ_VOKR_DISPLAY_MODE_STR, &m_unified_state_display);
}

// ---- stored window state -----------------------------------------------------------------------------

int VOKR_TX_MANAGER::get_int_state(const char* key, int default_value) const
{
    VOKR_ASSERT(this->m_tx_session != NULL);
    const int value = m_tx_session->get_global_data(key);
    return value == -1 ? default_value : value;
}

void VOKR_TX_MANAGER::set_int_state(const char* key, int value)
{
    VOKR_ASSERT(this->m_tx_session != NULL);
    m_tx_session->set_global_data(key, value);
}

int VOKR_TX_MANAGER::get_int_state(int index, const char* key, int default_value) const
{
    const int value = get_instance_at(index)->get_position_data(key);
    return value == -1 ? default_value : value;
}

void VOKR_TX_MANAGER::set_int_state(int index, const char* key, int value)
{
    get_instance_at(index)->set_position_data(key, value);
}

QSize VOKR_TX_MANAGER::get_size_state(const char* key, const QSize& default_value) const
{
    VOKR_ASSERT(this->m_tx_session != NULL);
    // One value more than a size has is read, so that a stored list of another length is refused.
    int values[SIZE_VALUES + 1] = {};
    const bool stored = m_tx_session->get_global_data(key, values, SIZE_VALUES + 1) == SIZE_VALUES;
    return stored ? QSize(values[0], values[1]) : default_value;
}

void VOKR_TX_MANAGER::set_size_state(const char* key, const QSize& size)
{
    VOKR_ASSERT(this->m_tx_session != NULL);
    const int values[SIZE_VALUES] = {size.width(), size.height()};
    m_tx_session->set_global_data(key, values, SIZE_VALUES);
}

bool VOKR_TX_MANAGER::get_visible_state(const char* key, bool default_value) const
{
    const int value = get_int_state(key, -1);
    return value == -1 ? default_value : value == 1;
}

void VOKR_TX_MANAGER::set_visible_state(const char* key, bool visible) { set_int_state(key, visible ? 1 : 0); }

// ---- plug-ins -------------------------------------------------------------------------------------------

int VOKR_TX_MANAGER::get_plugin_count() const { return static_cast<int>(VOKR_PLUGIN_LIBRARY::registry().size()); }

QStringList VOKR_TX_MANAGER::get_plugin_names() const
{
    QStringList names;
    for (const auto& entry : VOKR_PLUGIN_LIBRARY::registry())
        names << entry.first;
    return names;
}

bool VOKR_TX_MANAGER::get_plugin_name(int index, QString* name) const
{
    const QStringList names = get_plugin_names();
    if (index < 0 || index >= names.size())
        return false;
    *name = names[index];
    return true;
}

bool VOKR_TX_MANAGER::show_plugin_error_msg(const QString& plugin_name)
{
    auto it = VOKR_PLUGIN_LIBRARY::registry().find(plugin_name);
    if (it == VOKR_PLUGIN_LIBRARY::registry().end() || !it->second.plugin_get_error_msg)
        return false;
    const char* text = it->second.plugin_get_error_msg();
    if (!text)
        return false;
    vokr_show_plugin_box(QString::fromLatin1(text));
    return true;
}

// ---- helpers ----------------------------------------------------------------------------------------------

void vokr_make_palette(QPalette* palette, QPalette::ColorRole role, const QColor& color)
{
    *palette = QPalette();
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette->setBrush(group, role, QBrush(color, Qt::SolidPattern));
}

void vokr_strip_labels(QStringList* labels)
{
    for (QString& label : *labels) {
        const int colon = label.indexOf(':');
        if (colon >= 0)
            label = label.mid(colon + 1);
    }
}
