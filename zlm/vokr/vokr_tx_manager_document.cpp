// The manager's documents: new, open, save, close, the modified mark and the window values
// kept in the session.
#include "vokr_tx_manager.h"

#include "cfg.h"
#include "dev.h"
#include "omu.h"
#include "vokr_assert.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_msg.h"
#include "vokr_session_object.h"
#include "vokr_view.h"
#include "wex.h"
#include "wolpa.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <memory>

// ---- closing and creating --------------------------------------------------------------------------------

void VOKR_TX_MANAGER::close_document()
{
    if (!m_tx_session)
        return;
    if (m_owns_session) {
        m_tx_session->close_session();
        delete m_tx_session;
    }
    m_tx_session = nullptr;
    m_current_instance = -1;
    refresh_tx_cache();
}

void VOKR_TX_MANAGER::commit_session()
{
    if (!m_tx_session)
        return;
    m_tx_session->commit_session();
    refresh_tx_cache();
}

bool VOKR_TX_MANAGER::new_document(const char* path)
{
    close_document();
    m_tx_session = new KSM_TX_SESSION(new VOKR_SESSION_OBJECT, true);
    m_owns_session = true;
    VOKR_ASSERT(this->m_tx_session->create_session(path));
    VOKR_ASSERT(this->m_tx_session->get_num_instances() == 1);
    m_tx_session->set_gui_logging(false);
    m_current_instance = 0;
    refresh_tx_cache();
    m_bypass_flag_check = cfg_is_on("vok_bypass_flag_check", false);
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_INSTANCES));
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_VIEW));
    return true;
}

// ---- opening --------------------------------------------------------------------------------------------

namespace {

enum class FILE_VERSION { CURRENT, OLDER, NEWER };

// The first instance that is newer, or else the first that is not current, decides.
FILE_VERSION scan_versions(KSM_TX_SESSION* session)
{
    for (int i = 0; i < session->get_num_instances(); ++i) {
        if (session->is_power_up_view(i))
            continue;
        KSM_TX_INSTANCE* instance = session->get_instance_at(i);
        if (instance->is_newer_version())
            return FILE_VERSION::NEWER;
        if (!instance->is_current_version())
            return FILE_VERSION::OLDER;
    }
    return FILE_VERSION::CURRENT;
}

// Warns about every trigger that uses incremental routing; true when any does.
bool report_incremental_route(KSM_TX_SESSION* session, KSM_TX_INSTANCE* instance)
{
    bool used = false;
    if (!session->is_gui_logging_enabled()) {
        KSM_TX_SIGNAL_SET* global = instance->get_global_signal_set();
        KSM_TX_TRIGGER* trigger = global ? global->get_active_trigger() : nullptr;
        used = trigger && trigger->is_using_incremental_route();
    }
    for (int s = 0; s < instance->get_num_signal_sets(); ++s) {
        KSM_TX_SIGNAL_SET* set = instance->get_signal_set(s);
        for (int t = 0; t < set->get_num_triggers(); ++t) {
            KSM_TX_TRIGGER* trigger = set->get_trigger(t);
            if (!trigger->is_using_incremental_route())
                continue;
            vokr_post(
                vokr_msg_old_incremental_route_used_sys(instance->get_name(), set->get_name(), trigger->get_name()));
            used = true;
        }
    }
    return used;
}

}  // namespace

// Asks whether to update instances of an older version; Yes updates them.
bool VOKR_TX_MANAGER::ask_older_version_update()
{
    if (vokr_prompt(vokr_msg_update_version()) != MSG_PROMPT::MSG_VALUE_YES)
        return true;
    bool incremental = false;
    for (int i = 0; i < m_tx_session->get_num_instances(); ++i) {
        KSM_TX_INSTANCE* instance = m_tx_session->get_instance_at(i);
        if (!m_tx_session->is_power_up_view(i) && instance->is_incremental_route_available())
            incremental = report_incremental_route(m_tx_session, instance) || incremental;
    }
    if (incremental)
        vokr_prompt(vokr_msg_old_incremental_route_used());
    for (int i = 0; i < m_tx_session->get_num_instances(); ++i)
        if (!m_tx_session->is_power_up_view(i))
            m_tx_session->get_instance_at(i)->update_to_current_version();
    if (incremental)
        m_tx_session->refresh_after_version_upgrade();
    update_modified_flag();
    return true;
}

void VOKR_TX_MANAGER::restore_current_instance()
{
    const int count = m_tx_session->get_num_instances();
    const int stored = m_tx_session->get_global_data("active instance");
    m_current_instance = stored == -1 ? 0 : stored;
    if (m_current_instance >= count)
        m_current_instance = count - 1;
    if (m_current_instance < -1)
        m_current_instance = count > 0 ? 0 : -1;
}

void VOKR_TX_MANAGER::announce_document_change()
{
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_INSTANCES | VOKR_HINT_JTAG));
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_VIEW));
    emit updated(nullptr, vokr_hint(VOKR_HINT_ADVANCED));
    emit updated(nullptr, vokr_hint(VOKR_HINT_REBUILD_JTAG));
}

bool VOKR_TX_MANAGER::open_document(const char* path, bool* renamed, std::string* new_name)
{
    *renamed = false;
    close_document();
    m_tx_session = new KSM_TX_SESSION(new VOKR_SESSION_OBJECT, true);
    m_owns_session = true;
    bool result = m_tx_session->open_session(path);
    bool restore = result;
    if (result) {
        const FILE_VERSION version = scan_versions(m_tx_session);
        if (m_tx_session->is_stripped_version()) {
            vokr_prompt(vokr_msg_auto_rename_stripped());
            if (m_tx_session->rename_a_stripped_version()) {
                *renamed = true;
                *new_name = m_tx_session->get_data_session()->get_name();
            } else {
                vokr_prompt(vokr_msg_auto_rename_stripped_err());
                result = restore = false;
            }
        }
        if (restore && version == FILE_VERSION::NEWER) {
            vokr_prompt(vokr_msg_newer_version());
            result = false;
        } else if (restore && version == FILE_VERSION::OLDER) {
            result = ask_older_version_update();
        }
    }
    if (restore && result) {
        restore_current_instance();
        const int lock = m_tx_session->get_global_data("lock mode");
        if (lock != -1)
            m_lock_mode = static_cast<VOKR_LOCK_MODE>(lock);
        refresh_tx_cache();
        explain_unlisted_sample_depths();
    } else if (restore) {
        // A newer file stays closed: this version must not write it back with what it understood.
        m_tx_session->close_session();
        m_current_instance = -1;
        refresh_tx_cache();
    }
    m_bypass_flag_check = cfg_is_on("vokr_bypass_flag_check", false);
    if (result)
        announce_document_change();
    if (m_tx_session->get_data_session()) {
        const int lock = m_tx_session->get_global_data("lock mode");
        if (lock >= VOKR_LOCK_MODE_ALL_CHANGES && lock <= VOKR_LOCK_MODE_TRIGGER_CONDITIONS)
            m_lock_mode = static_cast<VOKR_LOCK_MODE>(lock);
        else if (lock != -1)
            m_lock_mode = VOKR_LOCK_MODE_ALL_CHANGES;
    }
    if (result) {
        check_node_validity(-1);
        open_plugin_mnemonic_tables();
    }
    initialize_group_conditions();
    return result;
}

bool VOKR_TX_MANAGER::open_document(KSM_TX_SESSION* session)
{
    m_tx_session = session;
    m_owns_session = false;
    bool older = false;
    for (int i = 0; i < session->get_num_instances(); ++i)
        older = older || !session->get_instance_at(i)->is_current_version();
    if (older && vokr_prompt(vokr_msg_update_version()) == MSG_PROMPT::MSG_VALUE_YES) {
        for (int i = 0; i < session->get_num_instances(); ++i)
            session->get_instance_at(i)->update_to_current_version();
        update_modified_flag();
    }
    restore_current_instance();
    const int lock = session->get_global_data("lock mode");
    if (lock != -1)
        m_lock_mode = static_cast<VOKR_LOCK_MODE>(lock);
    refresh_tx_cache();
    m_bypass_flag_check = cfg_is_on("vokr_bypass_flag_check", false);
    initialize_group_conditions();
    return true;
}

bool VOKR_TX_MANAGER::load_active_instance_tab()
{
    restore_current_instance();
    const int lock = m_tx_session->get_global_data("lock mode");
    if (lock != -1)
        m_lock_mode = static_cast<VOKR_LOCK_MODE>(lock);
    return true;
}

// ---- saving -------------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::save_modified()
{
    if (is_any_instance_acquiring()) {
        vokr_prompt(vokr_msg_cant_close_lmx_file());
        return false;
    }
    return true;
}

bool VOKR_TX_MANAGER::save_active_tabs()
{
    if (is_empty())
        return true;
    m_tx_session->set_global_data("lock mode", is_wizard_mode() ? 0 : m_lock_mode);
    return m_tx_session->set_global_data("active instance", m_current_instance);
}

// Advanced levels whose expression is incomplete or wrong are named; the save goes on.
void VOKR_TX_MANAGER::show_advanced_trigger_errors()
{
    for (int i = 0; !is_empty() && i < m_tx_session->get_num_instances(); ++i)
        for (int level = 0; level < trigger_at(i)->get_num_levels(); ++level)
            if (!has_advanced_equation(i, level))
                vokr_prompt(vokr_msg_error_in_advanced_trigger(level + 1, m_tx_session->get_instance_name_at(i)));
}

bool VOKR_TX_MANAGER::has_advanced_equation(int entry, int level)
{
    if (!is_advanced_trigger(level, entry))
        return true;
    KSM_TX_TRIGGER* trigger = trigger_at(entry);
    KSM_TX_TREE_OBJECT* root = trigger->get_advanced_root(level);
    VOKR_ASSERT(root != NULL);
    std::string text;
    return root->get_equation(&text, m_tx_session->get_data_session()->get_mnemonics(), trigger, level + 1, false);
}

void VOKR_TX_MANAGER::show_empty_inputs()
{
    if (is_empty()) {
        vokr_prompt(vokr_msg_zero_instances());
        return;
    }
    const bool data_empty = !m_tx_trigger || !m_tx_signals ||
                            (m_tx_trigger->get_data_input_count() == 0 && m_tx_signals->get_data_input_count() == 0);
    const bool trigger_empty =
        !m_tx_trigger || !m_tx_signals ||
        (m_tx_trigger->get_trigger_input_count() == 0 && m_tx_signals->get_trigger_input_count() == 0);
    if (data_empty && trigger_empty)
        vokr_prompt(vokr_msg_zero_input("Data and Trigger"));
    else if (trigger_empty)
        vokr_prompt(vokr_msg_zero_input("Trigger"));
    else if (data_empty)
        vokr_prompt(vokr_msg_zero_input("Data"));
}

namespace {

// A path as the system resolves it from the working directory, cleaned.
QString absolute_path(const std::string& path)
{
    return QDir::cleanPath(QFileInfo(QString::fromLocal8Bit(path.c_str())).absoluteFilePath());
}

// Runs a read of the project's assignments under a read lock taken here when none is held.
template <class READ> bool with_read_lock(OMU_MANAGER* omu, READ read)
{
    OMU_REVISION_MANAGER* revision = omu->get_revision_manager();
    const bool taken = !revision->is_read_locked() && !revision->is_write_locked() && revision->read_lock();
    const bool result = (revision->is_read_locked() || revision->is_write_locked()) && read();
    if (taken)
        revision->read_unlock();
    return result;
}

bool family_supported(OMU_MANAGER* omu)
{
    return with_read_lock(omu, [omu] {
        OMU_ASSIGNMENT family;
        if (!omu->get_assignment(OMU_VAR_DEVICE_FAMILY, &family))
            return false;
        return DEV_FAMILY_MANAGER::get_instance()->has_trait(plon_get_dev_family_enum_by_string(family.value.c_str()),
                                                             DEV_TRAIT_LOGIC_ANALYZER);
    });
}

// The project's directory, absolute: assignments name files relative to it.
QDir project_directory(OMU_MANAGER* omu) { return QDir(absolute_path(omu->get_project_directory())); }

bool file_enabled(OMU_MANAGER* omu, const QString& path)
{
    return with_read_lock(omu, [omu, &path] {
        OMU_ASSIGNMENT enable, file;
        if (!omu->get_assignment(OMU_VAR_SESSION_ENABLE, &enable) || !omu->get_assignment(OMU_VAR_SESSION_FILE, &file))
            return false;
        const QString assigned = project_directory(omu).absoluteFilePath(QString::fromLocal8Bit(file.value.c_str()));
        return QString::fromLocal8Bit(enable.value.c_str()).compare("On", Qt::CaseInsensitive) == 0 &&
               QDir::cleanPath(assigned) == path;
    });
}

// Sets one assignment, keeping the arguments the existing one was made with.
void assign(OMU_MANAGER* omu, int variable, const std::string& value)
{
    OMU_ASSIGNMENT assignment;
    omu->get_assignment(variable, &assignment);
    assignment.value = value;
    const bool assn = omu->set_assignment(variable, assignment);
    VOKR_ASSERT(assn != false);
}

}  // namespace

// Offers to enable the file for the open project; false when the user cancels the save.
bool VOKR_TX_MANAGER::enable_file_for_project(const char* path)
{
    OMU_MANAGER* omu_mgr = OMU_MANAGER::get_omu_manager();
    VOKR_ASSERT(omu_mgr != NULL);
    if (is_corvix_generated() || !omu_mgr->is_project_open())
        return true;
    if (!family_supported(omu_mgr)) {
        vokr_prompt(vokr_msg_lumetra_not_supported());
        return true;
    }
    // Both paths absolute: a path relative to the working directory is not one relative to the project.
    const QString absolute = absolute_path(path);
    if (!omu_mgr->is_project_open() || file_enabled(omu_mgr, absolute))
        return true;
    const std::string relative_path = project_directory(omu_mgr).relativeFilePath(absolute).toLocal8Bit().toStdString();
    // The suite has one project open for every window: the question names it and its folder.
    const QString folder = QDir::toNativeSeparators(project_directory(omu_mgr).absolutePath());
    const char* name = WOLPA_MANAGER::get_wolpa_manager()->get_revision_name();
    const QByteArray project = name ? QByteArray(name) : QDir(folder).dirName().toLocal8Bit();
    const int answer = vokr_prompt(vokr_msg_enable_current_lumetra_file_on_save(
        relative_path.c_str(), project.constData(), folder.toLocal8Bit().constData()));
    if (answer == MSG_PROMPT::MSG_VALUE_CANCEL)
        return false;
    if (answer != MSG_PROMPT::MSG_VALUE_YES)
        return true;
    OMU_REVISION_MANAGER* revision = omu_mgr->get_revision_manager();
    if (omu_mgr->is_project_open() && revision->write_lock(false)) {
        assign(omu_mgr, OMU_VAR_SESSION_ENABLE, "On");
        assign(omu_mgr, OMU_VAR_SESSION_FILE, relative_path);
        assign(omu_mgr, OMU_VAR_SESSION_FILE_COPY, relative_path);
        PIRQ_WAIT_CURSOR wait;
        revision->write_unlock(true);  // only a lock that was taken is released
    }
    return true;
}

// Steps of saving that may stop it, in order; true when the save may go on.
bool VOKR_TX_MANAGER::save_checks(const char* path)
{
    if (!is_empty() && !check_nodes_allocated(-1))
        return false;
    if (!save_modified())
        return false;
    if (m_layout_widget)
        if (VOKR_VIEW* view = m_layout_widget->get_current_view())
            view->save_position_data();
    KSM_DATA_SESSION* open = KSM_DATA_MANAGER::get_data_repository_manager()->get_session_opened(path);
    if (open && open != m_tx_session->get_data_session()) {
        vokr_prompt(vokr_msg_save_to_open_file());
        return false;
    }
    // Another program changed the file since this session opened or last saved it: a save
    // would lose what it wrote, unless the person wants that.
    if (m_tx_session->is_changed_on_disk(path)) {
        if (vokr_prompt(vokr_msg_file_changed_on_disk(path)) != MSG_PROMPT::MSG_VALUE_YES)
            return false;
        m_tx_session->accept_file_on_disk(path);
    }
    if (!show_unused_post_fitting_triggers())
        show_advanced_trigger_errors();
    show_empty_inputs();
    return enable_file_for_project(path);
}

// The notice, with the repository's reason (the file and what the system said) in the Messages window.
void VOKR_TX_MANAGER::show_save_error()
{
    MSG_E reason(nullptr);
    reason.fill_args("%1!s!/EVOKR_SAVE_ERROR", m_tx_session->get_last_error().c_str());
    reason.post();
    vokr_prompt(vokr_msg_cannot_save());
}

bool VOKR_TX_MANAGER::save_document(const char* path)
{
    if (!m_tx_session || !save_checks(path))
        return false;
    save_active_tabs();
    if (m_layout_widget)
        m_layout_widget->save_widget_state();
    const bool result = m_tx_session->save_session(path);
    if (result && m_frame_wnd && m_modified) {
        m_modified = false;
        m_frame_wnd->setWindowModified(false);
        m_frame_wnd->modified();
    } else if (!result) {
        show_save_error();
    }
    refresh_data_log_cache();
    if (!is_empty()) {
        const unsigned int config = is_instance_acquiring(-1) ? 0u : VOKR_HINT_CONFIG;
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_DATA_LOG | config | VOKR_HINT_VIEW));
    }
    return result;
}

namespace {

// Whether both names lead to one existing file, through links of either kind.
bool same_existing_file(const QString& a, const std::string& b)
{
    struct stat first, second;
    return !b.empty() && ::stat(QFile::encodeName(a).constData(), &first) == 0 && ::stat(b.c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

}  // namespace

QString VOKR_TX_MANAGER::write_target_refusal(const QString& path) const
{
    const QString refusal = wex_save_refusal(path);
    if (!refusal.isEmpty())
        return refusal;
    const KSM_DATA_SESSION* open = m_tx_session ? m_tx_session->get_data_session() : nullptr;
    if (open && open->get_name() && same_existing_file(path, open->get_name()))
        return QStringLiteral("it is the file of the open session");
    const WEX_PRJ_UI_MGR* project = WEX_PRJ_UI_MGR::get_prj_ui_mgr();
    if (project && same_existing_file(path, project->get_project_file()))
        return QStringLiteral("it is the project's description");
    return QString();
}

// ---- modified mark -----------------------------------------------------------------------------------------

void VOKR_TX_MANAGER::update_modified_flag()
{
    const bool state = !m_tx_session || m_tx_session->is_modified();
    if (m_frame_wnd && state != m_modified) {
        m_modified = state;
        m_frame_wnd->setWindowModified(state);
        m_frame_wnd->modified();
    }
    emit updated(nullptr, vokr_hint(VOKR_HINT_MODIFIED | VOKR_HINT_JTAG));
}

void VOKR_TX_MANAGER::set_modified_flag(bool state)
{
    if (!m_frame_wnd || state == m_modified)
        return;
    m_modified = state;
    m_frame_wnd->setWindowModified(state);
    m_frame_wnd->modified();
}

// ---- document facts ----------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::is_corvix_generated() const
{
    return m_tx_instance &&
           m_tx_instance->get_data_instance()->get_node_info().third == KSM_INSTANCE_INFO_WIZARD_GENERATED;
}

void VOKR_TX_MANAGER::get_top_entity_name(QString* name) const
{
    *name = QString();
    if (is_empty())
        return;
    const char* recorded = m_tx_signals ? m_tx_signals->get_top_entity_name() : "";
    if (recorded && *recorded) {
        *name = QString::fromLocal8Bit(recorded);
        return;
    }
    if (WEX_PRJ_UI_MGR* project = WEX_PRJ_UI_MGR::get_prj_ui_mgr(); project && project->project_is_open())
        *name = QString::fromLocal8Bit(project->get_top_entity().c_str());
}
