// Sessions: the data session, the repository manager and the transactional session.
#include "ksm_state.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

using DATA_STATE = KSM_DATA_SESSION::STATE;

// Every instance a data session has made, so that its undo histories (which keep objects
// alive) can be let go with the session.
std::map<const KSM_DATA_SESSION*, std::vector<std::weak_ptr<KSM_TX_INSTANCE>>>& made_instances()
{
    static std::map<const KSM_DATA_SESSION*, std::vector<std::weak_ptr<KSM_TX_INSTANCE>>> made;
    return made;
}

std::string clean_path(const char* name)
{
    if (!name)
        return std::string();
    const QString text = QString::fromLocal8Bit(name);
    if (text.isEmpty() || !(text.contains('/') || text.endsWith(".lmx", Qt::CaseInsensitive)))
        return name;  // a plain name, such as a reserved session's
    return QDir::cleanPath(QFileInfo(text).absoluteFilePath()).toLocal8Bit().toStdString();
}

bool set_int_store(KSM_INT_STORE& store, const char* key, const int* values, int count)
{
    if (!key || !*key || count < 0 || (count > 0 && !values))
        return false;
    store[key] = std::vector<int>(values, values + count);
    return true;
}

int get_int_store(const KSM_INT_STORE& store, const char* key, int* values, int capacity)
{
    auto it = key ? store.find(key) : store.end();
    if (it == store.end())
        return 0;
    const int n = std::min(static_cast<int>(it->second.size()), std::max(capacity, 0));
    std::copy(it->second.begin(), it->second.begin() + n, values);
    return n;
}

}  // namespace

namespace {

// The session's values made ready for a change: recorded in the open unit and unshared.
DATA_STATE& edit_session(KSM_DATA_SESSION* data)
{
    std::shared_ptr<DATA_STATE>& slot = KSM_ACCESS::state(data);
    ksm_record(data, nullptr, slot);
    if (slot.use_count() > 1)
        slot = std::make_shared<DATA_STATE>(*slot);
    data->set_modified(true);
    return *slot;
}

template <class FIELD, class VALUE>
bool set_session_field(KSM_DATA_SESSION* data, FIELD DATA_STATE::*field, const VALUE& v)
{
    if (!data)
        return false;
    if (KSM_ACCESS::state(data).get()->*field == v)
        return true;
    edit_session(data).*field = v;
    return true;
}

}  // namespace

// ---- data session ---------------------------------------------------------------------------------

KSM_DATA_SESSION::KSM_DATA_SESSION(const char* name)
    : m_name(name ? name : ""), m_state(std::make_shared<STATE>()), m_journal(std::make_unique<KSM_JOURNAL>()),
      m_tree_host(std::make_shared<KSM_TREE_HOST>())
{
    m_mnemonics = std::make_shared<KSM_DATA_MNEMONICS>(this);
}

KSM_DATA_SESSION::~KSM_DATA_SESSION()
{
    m_journal->open.reset();
    for (auto& weak : made_instances()[this]) {
        if (auto instance = weak.lock()) {
            KSM_ACCESS::history(instance.get())->undo.clear();
            KSM_ACCESS::history(instance.get())->redo.clear();
        }
    }
    made_instances().erase(this);
    m_state.reset();
    m_mnemonics.reset();
}

const char* KSM_DATA_SESSION::get_name() const { return m_name.c_str(); }
void KSM_DATA_SESSION::set_name(const char* name) { m_name = name ? name : ""; }

void KSM_DATA_SESSION::set_file_on_disk(const std::string& path, const KSM_FILE_STAMP& stamp)
{
    m_disk_path = path;
    m_disk_stamp = stamp;
}

KSM_FILE_STAMP KSM_DATA_SESSION::file_on_disk(const std::string& path) const
{
    return path == m_disk_path ? m_disk_stamp : KSM_FILE_STAMP();
}
KSM_DATA_MNEMONICS* KSM_DATA_SESSION::get_mnemonics() const { return m_mnemonics.get(); }
const char* KSM_DATA_SESSION::get_sif_file_name() const { return m_state->sif_file_name.c_str(); }

void KSM_DATA_SESSION::set_sif_file_name(const char* name)
{
    set_session_field(this, &DATA_STATE::sif_file_name, std::string(name ? name : ""));
}

int KSM_DATA_SESSION::get_num_instances() const { return ksm_child_count(m_state->instances); }
KSM_TX_INSTANCE* KSM_DATA_SESSION::get_instance(int index) const { return ksm_child_at(m_state->instances, index); }

KSM_TX_INSTANCE* KSM_DATA_SESSION::find_instance(const char* name) const
{
    return ksm_find_child(m_state->instances, name);
}

std::shared_ptr<KSM_TX_INSTANCE> ksm_make_instance(KSM_DATA_SESSION* session, const char* name)
{
    auto instance = ksm_make<KSM_TX_INSTANCE>(session, name);
    made_instances()[session].push_back(instance);
    return instance;
}

KSM_TX_INSTANCE* KSM_DATA_SESSION::create_lumetra_instance(const char* name)
{
    const bool named = name && *name;
    if (named && find_instance(name))
        return nullptr;
    int number = m_state->next_instance_number;
    const std::string text = named ? name : ksm_numbered_child_name(m_state->instances, "auto_lumetra_", &number);
    auto instance = ksm_make_instance(this, text.c_str());
    DATA_STATE& s = edit_session(this);
    s.next_instance_number = number;
    s.instances.push_back(instance);
    KSM_TX_SIGNAL_SET* set = instance->create_signal_set(nullptr);
    set->create_trigger(nullptr);
    return instance.get();
}

// ---- repository manager ---------------------------------------------------------------------------

KSM_DATA_MANAGER* KSM_DATA_MANAGER::get_data_repository_manager()
{
    static KSM_DATA_MANAGER* manager = new KSM_DATA_MANAGER;  // lives for the process
    return manager;
}

KSM_DATA_SESSION* KSM_DATA_MANAGER::get_session_opened(const char* name) const
{
    const std::string wanted = clean_path(name);
    for (KSM_DATA_SESSION* s : m_sessions)
        if (!wanted.empty() && clean_path(s->get_name()) == wanted)
            return s;
    return nullptr;
}

KSM_DATA_SESSION* KSM_DATA_MANAGER::create_session(const char* name)
{
    if (!name || !*name || get_session_opened(name))
        return nullptr;
    m_owned.push_back(std::make_unique<KSM_DATA_SESSION>(name));
    register_session(m_owned.back().get());
    return m_owned.back().get();
}

KSM_DATA_SESSION* KSM_DATA_MANAGER::open_session(const char* name)
{
    std::string error;
    bool newer = false;
    std::unique_ptr<KSM_DATA_SESSION> session = ksm_read_session_file(name ? name : "", nullptr, &error, &newer);
    if (!session)
        return nullptr;
    m_owned.push_back(std::move(session));
    register_session(m_owned.back().get());
    return m_owned.back().get();
}

void KSM_DATA_MANAGER::close_session(const char* name)
{
    KSM_DATA_SESSION* session = get_session_opened(name);
    if (!session)
        return;
    unregister_session(session);
    m_owned.erase(
        std::remove_if(m_owned.begin(), m_owned.end(), [session](const auto& s) { return s.get() == session; }),
        m_owned.end());
}

bool KSM_DATA_MANAGER::owns_session(const KSM_DATA_SESSION* session) const
{
    return std::any_of(m_owned.begin(), m_owned.end(), [session](const auto& s) { return s.get() == session; });
}

void KSM_DATA_MANAGER::register_session(KSM_DATA_SESSION* session)
{
    if (session && std::find(m_sessions.begin(), m_sessions.end(), session) == m_sessions.end())
        m_sessions.push_back(session);
}

void KSM_DATA_MANAGER::unregister_session(KSM_DATA_SESSION* session)
{
    m_sessions.erase(std::remove(m_sessions.begin(), m_sessions.end(), session), m_sessions.end());
}

// ---- transactional session: life -------------------------------------------------------------------

namespace {

std::vector<KSM_TX_SESSION*>& open_sessions()
{
    static std::vector<KSM_TX_SESSION*> list;
    return list;
}

}  // namespace

// A session whose file did not open, or that was closed, holds no data: it is not open.
std::vector<KSM_TX_SESSION*> ksm_get_open_sessions()
{
    std::vector<KSM_TX_SESSION*> open;
    for (KSM_TX_SESSION* session : open_sessions())
        if (session->get_data_session())
            open.push_back(session);
    return open;
}

namespace {

std::function<void(KSM_TX_SESSION*)>& opened_hook()
{
    static std::function<void(KSM_TX_SESSION*)> hook;
    return hook;
}

// A design that an earlier build compiled from the trigger as it stands is recorded again with
// today's checksum, so that the session does not ask for a compile it does not need.
void adopt_earlier_checksums(KSM_DATA_SESSION* data)
{
    for (int i = 0; i < data->get_num_instances(); ++i) {
        KSM_TX_INSTANCE* instance = data->get_instance(i);
        const KSM_TX_SIGNAL_SET* set = instance->get_active_signal_set();
        const KSM_TX_TRIGGER* trigger = set ? set->get_active_trigger() : nullptr;
        const unsigned int full = instance->get_compiled_checksum();
        if (!trigger || full == 0 || full != trigger->get_text_form_crc_value())
            continue;
        const unsigned int routing = instance->get_compiled_routing_checksum();
        const unsigned int now = trigger->get_crc_value(false);
        instance->set_compiled_checksums(now, routing == full ? now : routing);
    }
}

}  // namespace

void ksm_set_session_opened_hook(std::function<void(KSM_TX_SESSION*)> hook) { opened_hook() = std::move(hook); }

KSM_TX_SESSION::KSM_TX_SESSION(KSM_TX_TREE_OBJECT* root, bool) : m_root(root) { open_sessions().push_back(this); }

KSM_TX_SESSION::~KSM_TX_SESSION()
{
    open_sessions().erase(std::remove(open_sessions().begin(), open_sessions().end(), this), open_sessions().end());
    detach_data();
    delete m_root;
}

bool KSM_TX_SESSION::attach(KSM_DATA_SESSION* data, bool owned)
{
    detach_data();
    m_data = data;
    m_owns_data = owned;
    KSM_ACCESS::tree_host(m_data)->root = m_root;
    // The module relies on every advanced level having a diagram.
    ksm_make_missing_trees(m_data);
    KSM_DATA_MANAGER::get_data_repository_manager()->register_session(m_data);
    return true;
}

// Lets the data session go; one that this session does not own keeps living without tree
// objects, with what they showed, until a root makes them again.
void KSM_TX_SESSION::detach_data()
{
    if (!m_data)
        return;
    std::shared_ptr<KSM_TREE_HOST>& host = KSM_ACCESS::tree_host(m_data);
    if (host->root == m_root) {  // the objects belong to the root, which may soon be deleted
        ksm_release_trees(m_data);
        host->root = nullptr;
    }
    if (m_owns_data) {
        KSM_DATA_MANAGER::get_data_repository_manager()->unregister_session(m_data);
        delete m_data;
    }
    m_data = nullptr;
    m_owns_data = false;
}

bool KSM_TX_SESSION::create_session(const char* path)
{
    auto* data = new KSM_DATA_SESSION(clean_path(path).c_str());
    attach(data, true);
    data->create_lumetra_instance(nullptr);
    data->set_modified(false);
    return true;
}

bool KSM_TX_SESSION::open_session(const char* path)
{
    m_last_error.clear();
    m_newer_format = false;
    KSM_DATA_MANAGER* manager = KSM_DATA_MANAGER::get_data_repository_manager();
    KSM_DATA_SESSION* open = manager->get_session_opened(path);
    if (open && manager->owns_session(open)) {
        attach(open, false);
    } else {
        std::unique_ptr<KSM_DATA_SESSION> data =
            ksm_read_session_file(clean_path(path), m_root, &m_last_error, &m_newer_format);
        if (!data)
            return false;
        adopt_earlier_checksums(data.get());
        data->set_modified(false);
        attach(data.release(), true);
        ksm_remove_save_leftovers(clean_path(path));
    }
    if (opened_hook())
        opened_hook()(this);
    return true;
}

bool KSM_TX_SESSION::save_session(const char* path)
{
    if (!m_data || !path || !*path) {
        m_last_error = "no session to save";
        return false;
    }
    const std::string target = clean_path(path);
    const KSM_FILE_STAMP expected = m_data->file_on_disk(target);
    KSM_FILE_STAMP written;
    const bool saved = ksm_write_session_file(m_data, target, &m_last_error, &expected, &written);
    if (written.known)  // also where only the folder's sync failed: the file at the name is this one
        m_data->set_file_on_disk(target, written);
    if (!saved)
        return false;
    m_data->set_name(target.c_str());
    m_data->set_modified(false);
    return true;
}

bool KSM_TX_SESSION::is_changed_on_disk(const char* path) const
{
    if (!m_data || !path)
        return false;
    const std::string target = clean_path(path);
    const KSM_FILE_STAMP seen = m_data->file_on_disk(target), now = ksm_file_stamp(target);
    return seen.known && now.known && now != seen;
}

void KSM_TX_SESSION::accept_file_on_disk(const char* path)
{
    if (m_data && path)
        m_data->set_file_on_disk(clean_path(path), ksm_file_stamp(clean_path(path)));
}

// Every change is in the data session as soon as it is made and only a save writes the file, so a
// commit has nothing left to do.
bool KSM_TX_SESSION::commit_session() { return m_data != nullptr; }

bool KSM_TX_SESSION::close_session()
{
    detach_data();
    return true;
}

bool KSM_TX_SESSION::is_modified() const { return m_data && m_data->is_modified(); }

void KSM_TX_SESSION::set_undoable_modified_flag()
{
    if (m_data)
        m_data->set_modified(true);
}

void KSM_TX_SESSION::set_gui_logging(bool enable) { set_session_field(m_data, &DATA_STATE::gui_logging, enable); }
bool KSM_TX_SESSION::is_gui_logging_enabled() const { return m_data && KSM_ACCESS::state(m_data)->gui_logging; }
bool KSM_TX_SESSION::is_second_generation() const { return m_data && KSM_ACCESS::state(m_data)->second_generation; }

void KSM_TX_SESSION::set_second_generation(bool second)
{
    set_session_field(m_data, &DATA_STATE::second_generation, second);
}

bool KSM_TX_SESSION::is_stripped_version() const { return m_data && KSM_ACCESS::state(m_data)->stripped; }

void KSM_TX_SESSION::set_stripped_version(bool stripped, const char* original_name)
{
    set_session_field(m_data, &DATA_STATE::stripped, stripped);
    set_session_field(m_data, &DATA_STATE::stripped_original_name, std::string(original_name ? original_name : ""));
}

bool KSM_TX_SESSION::rename_a_stripped_version()
{
    if (!m_data || !is_stripped_version())
        return false;
    const std::string original = KSM_ACCESS::state(m_data)->stripped_original_name;
    if (original.empty())
        return false;
    KSM_DATA_SESSION* open = KSM_DATA_MANAGER::get_data_repository_manager()->get_session_opened(original.c_str());
    if (open && open != m_data)
        return false;
    m_data->set_name(clean_path(original.c_str()).c_str());
    set_session_field(m_data, &DATA_STATE::stripped, false);
    return true;
}

// The upgraded values are in the data session already; it only needs saving.
void KSM_TX_SESSION::refresh_after_version_upgrade()
{
    if (m_data)
        m_data->set_modified(true);
}

// ---- entries --------------------------------------------------------------------------------------

namespace {

// Whether instance i of the session has a power-up entry.
bool has_power_up(const DATA_STATE& s, size_t i) { return KSM_ACCESS::state(s.instances[i].get())->power_up_entry; }

// The instance index of an entry and whether the entry is a power-up entry; -1 when none.
int instance_of_entry(const KSM_DATA_SESSION* data, int entry, bool* power_up_view)
{
    if (!data || entry < 0)
        return -1;
    const DATA_STATE& s = *KSM_ACCESS::state(data);
    int e = 0;
    for (size_t i = 0; i < s.instances.size(); ++i) {
        if (e == entry) {
            if (power_up_view)
                *power_up_view = false;
            return static_cast<int>(i);
        }
        ++e;
        if (has_power_up(s, i)) {
            if (e == entry) {
                if (power_up_view)
                    *power_up_view = true;
                return static_cast<int>(i);
            }
            ++e;
        }
    }
    return -1;
}

int entry_of_instance(const KSM_DATA_SESSION* data, int instance)
{
    const DATA_STATE& s = *KSM_ACCESS::state(data);
    int e = 0;
    for (int i = 0; i < instance; ++i)
        e += 1 + (has_power_up(s, i) ? 1 : 0);
    return e;
}

}  // namespace

int KSM_TX_SESSION::get_num_instances() const
{
    if (!m_data)
        return 0;
    const DATA_STATE& s = *KSM_ACCESS::state(m_data);
    int entries = 0;
    for (size_t i = 0; i < s.instances.size(); ++i)
        entries += has_power_up(s, i) ? 2 : 1;
    return entries;
}

KSM_TX_INSTANCE* KSM_TX_SESSION::get_instance_at(int entry, bool) const
{
    const int i = instance_of_entry(m_data, entry, nullptr);
    return i < 0 ? nullptr : m_data->get_instance(i);
}

KSM_TX_SIGNAL_SET* KSM_TX_SESSION::get_signal_set_at(int entry, bool) const
{
    KSM_TX_INSTANCE* instance = get_instance_at(entry);
    return instance ? instance->get_active_signal_set() : nullptr;
}

KSM_TX_TRIGGER* KSM_TX_SESSION::get_trigger_at(int entry, bool) const
{
    KSM_TX_SIGNAL_SET* set = get_signal_set_at(entry);
    return set ? set->get_active_trigger() : nullptr;
}

KSM_DATA_LOG* KSM_TX_SESSION::get_log_at(int entry, bool) const
{
    KSM_TX_TRIGGER* trigger = get_trigger_at(entry);
    return trigger ? trigger->get_active_log() : nullptr;
}

const char* KSM_TX_SESSION::get_instance_name_at(int entry) const
{
    KSM_TX_INSTANCE* instance = get_instance_at(entry);
    return instance ? instance->get_name() : "";
}

int KSM_TX_SESSION::create_lumetra_instance(const void*)
{
    if (!m_data)
        return -1;
    KSM_TX_INSTANCE* instance = m_data->create_lumetra_instance(nullptr);
    if (!instance)
        return -1;
    return entry_of_instance(m_data, m_data->get_num_instances() - 1);
}

bool KSM_TX_SESSION::remove_lumetra_instance(int entry)
{
    const int i = instance_of_entry(m_data, entry, nullptr);
    if (i < 0)
        return false;
    DATA_STATE& s = edit_session(m_data);
    s.instances.erase(s.instances.begin() + i);
    return true;
}

bool KSM_TX_SESSION::is_power_up_trigger(int entry) const
{
    const int i = instance_of_entry(m_data, entry, nullptr);
    return i >= 0 && has_power_up(*KSM_ACCESS::state(m_data), i);
}

bool KSM_TX_SESSION::is_power_up_view(int entry) const
{
    bool view = false;
    return instance_of_entry(m_data, entry, &view) >= 0 && view;
}

bool KSM_TX_SESSION::set_power_up_trigger_mode(int entry, bool enable)
{
    bool view = false;
    const int i = instance_of_entry(m_data, entry, &view);
    if (i < 0 || view)
        return false;
    KSM_TX_INSTANCE* instance = m_data->get_instance(i);
    ksm_set(instance, KSM_ACCESS::state(instance), &KSM_TX_INSTANCE::STATE::power_up_entry, enable);
    return true;
}

bool KSM_TX_SESSION::duplicate_trigger_to_other(int entry)
{
    bool from_power_up = false;
    const int i = instance_of_entry(m_data, entry, &from_power_up);
    KSM_TX_TRIGGER* trigger = get_trigger_at(entry);
    if (i < 0 || !trigger || !has_power_up(*KSM_ACCESS::state(m_data), i))
        return false;
    const int from = from_power_up ? KSM_BANK_POWER_UP : KSM_BANK_NORMAL;
    const int to = from_power_up ? KSM_BANK_NORMAL : KSM_BANK_POWER_UP;
    auto& nodes = KSM_ACCESS::nodes(trigger);
    for (int row = 0; row < trigger->get_num_nodes(); ++row) {
        if (nodes->rows[row]->conditions[to] == nodes->rows[row]->conditions[from])
            continue;
        KSM_TX_SIGNAL_NODES::STATE& s = ksm_edit(trigger, nodes);
        auto& r = s.rows.edit(size_t(row));
        if (r.use_count() > 1)
            r = std::make_shared<KSM_TX_SIGNAL_NODES::ROW>(*r);
        r->conditions[to] = r->conditions[from];
    }
    const auto& state = *KSM_ACCESS::state(trigger);
    bool ok = true;
    for (const KSM_LEVEL& l : state.levels)
        if (KSM_TX_TREE_OBJECT* root = ksm_show_tree(m_data, l.tree))
            ok = root->duplicate_trigger(!from_power_up) && ok;
    for (const KSM_LEVEL& l : state.patterns)
        if (KSM_TX_TREE_OBJECT* root = ksm_show_tree(m_data, l.tree))
            ok = root->duplicate_trigger(!from_power_up) && ok;
    return ok;
}

// ---- resources ------------------------------------------------------------------------------------

KSM_TALVERN_RAM_TYPE KSM_TX_SESSION::get_instance_ram_type_at(int entry) const
{
    KSM_TX_SIGNAL_SET* set = get_signal_set_at(entry);
    return set ? set->get_ram_type() : KSM_RAM_AUTO;  // no instance: what a new one would take
}

// The estimates stand in for the debug-core builder, which the suite runs at compile time: they
// are deterministic and grow with what the core grows with.
namespace {

struct CORE_SIZE {
    unsigned long data_nodes = 0;     // used or allocated, whichever is more
    unsigned long trigger_nodes = 0;  // likewise
    unsigned long levels = 0;
    unsigned long counters = 0;
    unsigned long depth = 0;
};

// The size of the core of an entry's instance; false when the entry has none.
bool core_size_at(const KSM_TX_SESSION& session, int entry, CORE_SIZE* size)
{
    KSM_TX_SIGNAL_SET* set = session.get_signal_set_at(entry);
    KSM_TX_TRIGGER* trigger = session.get_trigger_at(entry);
    if (!set || !trigger)
        return false;
    size->data_nodes = std::max<unsigned long>(trigger->get_data_nodes_used(), set->get_data_nodes_allocated());
    size->trigger_nodes =
        std::max<unsigned long>(trigger->get_trigger_nodes_used(), set->get_trigger_nodes_allocated());
    size->levels = static_cast<unsigned long>(trigger->get_num_levels());
    size->counters = static_cast<unsigned long>(trigger->get_counter_count());
    size->depth = static_cast<unsigned long>(set->get_sample_depth());
    return true;
}

}  // namespace

// Logic cells: a fixed core of 200, 12 per trigger node and level, 3 per data node, 20 per level,
// 30 per counter, scaled by a family factor of 100 + 10 * (family % 5) percent.
unsigned long KSM_TX_SESSION::get_instance_estimated_logic_cell_count_at(int entry, DEV_FAMILY_ENUM family) const
{
    CORE_SIZE c;
    if (!core_size_at(*this, entry, &c))
        return 0;
    const unsigned long cells =
        200 + 12 * c.trigger_nodes * c.levels + 3 * c.data_nodes + 20 * c.levels + 30 * c.counters;
    const unsigned long factor = 100 + 10 * static_cast<unsigned long>((family < 0 ? -family : family) % 5);
    return cells * factor / 100;
}

// Memory bits: the sample buffer (depth times data channels plus one validity bit per sample)
// and one pattern word of 32 bits per trigger node and level.
unsigned long KSM_TX_SESSION::get_instance_ram_bits_usage_at(int entry) const
{
    CORE_SIZE c;
    if (!core_size_at(*this, entry, &c))
        return 0;
    return c.depth * (c.data_nodes + 1) + 32 * c.trigger_nodes * c.levels;
}

bool ksm_is_reroute_pending(const KSM_TX_INSTANCE* instance)
{
    return instance->get_compiled_routing_checksum() != instance->get_compiled_checksum();
}

bool ksm_shares_node_info(const KSM_TX_INSTANCE* instance)
{
    const KSM_DATA_SESSION* session = instance->get_data_session_of();
    if (!session || instance->get_compiled_checksum() == 0)
        return false;
    for (int i = 0; i < session->get_num_instances(); ++i) {
        const KSM_TX_INSTANCE* other = session->get_instance(i);
        if (other != instance && other->get_compiled_checksum() != 0 &&
            other->get_node_info() == instance->get_node_info())
            return true;
    }
    return false;
}

bool KSM_TX_SESSION::check_instance_compilation_type_at(int entry, bool* compile_needed, bool* reroute_needed) const
{
    KSM_TX_INSTANCE* instance = get_instance_at(entry);
    KSM_TX_TRIGGER* trigger = get_trigger_at(entry);
    if (!instance || !trigger)
        return false;
    const bool compile =
        instance->get_compiled_checksum() != trigger->get_crc_value(false) || ksm_shares_node_info(instance);
    if (compile_needed)
        *compile_needed = compile;
    // The stand-in does not tell changes that rerouting alone takes in from others: a changed
    // trigger always asks for a full compile. A reroute is pending when the compile record says so.
    if (reroute_needed)
        *reroute_needed = !compile && ksm_is_reroute_pending(instance);
    return true;
}

// ---- stored values --------------------------------------------------------------------------------

bool KSM_TX_SESSION::set_global_data(const char* key, int value) { return set_global_data(key, &value, 1); }

int KSM_TX_SESSION::get_global_data(const char* key) const
{
    int value = -1;
    return get_global_data(key, &value, 1) > 0 ? value : -1;
}

bool KSM_TX_SESSION::set_global_data(const char* key, const int* values, int count)
{
    if (!m_data || !key || !*key)
        return false;
    KSM_INT_STORE copy = KSM_ACCESS::state(m_data)->global_data;
    if (!set_int_store(copy, key, values, count))
        return false;
    if (copy != KSM_ACCESS::state(m_data)->global_data)
        edit_session(m_data).global_data = std::move(copy);
    return true;
}

int KSM_TX_SESSION::get_global_data(const char* key, int* values, int capacity) const
{
    return m_data ? get_int_store(KSM_ACCESS::state(m_data)->global_data, key, values, capacity) : 0;
}

// ---- JTAG and programming files -------------------------------------------------------------------

const char* KSM_TX_SESSION::get_jtag_chain_name() const
{
    return m_data ? KSM_ACCESS::state(m_data)->jtag_chain.c_str() : "";
}

bool KSM_TX_SESSION::set_jtag_chain_name(const char* name)
{
    return set_session_field(m_data, &DATA_STATE::jtag_chain, std::string(name ? name : ""));
}

const char* KSM_TX_SESSION::get_jtag_device_name() const
{
    return m_data ? KSM_ACCESS::state(m_data)->jtag_device.c_str() : "";
}

bool KSM_TX_SESSION::set_jtag_device_name(const char* name)
{
    return set_session_field(m_data, &DATA_STATE::jtag_device, std::string(name ? name : ""));
}

const char* KSM_TX_SESSION::get_sif_file_name() const { return m_data ? m_data->get_sif_file_name() : ""; }

void KSM_TX_SESSION::set_sif_file_name(const char* name)
{
    if (m_data)
        m_data->set_sif_file_name(name);
}

bool KSM_TX_SESSION::embed_sif_file(const char* path, const char* name)
{
    QFile file(QString::fromLocal8Bit(path ? path : ""));
    // A larger file would make a session that no repository opens again.
    if (!m_data || !file.open(QIODevice::ReadOnly) || static_cast<quint64>(file.size()) > KSM_MAX_SIF_BYTES)
        return false;
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    KSM_EMBEDDED_SIF sif;
    sif.name = name && *name ? name : QFileInfo(file.fileName()).fileName().toLocal8Bit().toStdString();
    sif.bytes = ksm_held_file_bytes(std::string(bytes.constData(), static_cast<size_t>(bytes.size())));
    edit_session(m_data).embedded_sifs.push_back(std::move(sif));
    return true;
}

int KSM_TX_SESSION::get_embedded_sif_file_count() const
{
    return m_data ? static_cast<int>(KSM_ACCESS::state(m_data)->embedded_sifs.size()) : 0;
}

const char* KSM_TX_SESSION::get_embedded_sif_name_at(int index) const
{
    return index >= 0 && index < get_embedded_sif_file_count()
               ? KSM_ACCESS::state(m_data)->embedded_sifs[index].name.c_str()
               : nullptr;
}

const char* KSM_TX_SESSION::get_embedded_sif_info_at(int index) const
{
    return index >= 0 && index < get_embedded_sif_file_count()
               ? KSM_ACCESS::state(m_data)->embedded_sifs[index].info.c_str()
               : nullptr;
}

bool KSM_TX_SESSION::set_embedded_sif_inst_id_crc_at(int index, const char* info)
{
    if (index < 0 || index >= get_embedded_sif_file_count())
        return false;
    edit_session(m_data).embedded_sifs[index].info = info ? info : "";
    return true;
}

bool KSM_TX_SESSION::remove_embedded_sif_at(int index)
{
    if (index < 0 || index >= get_embedded_sif_file_count())
        return false;
    auto& sifs = edit_session(m_data).embedded_sifs;
    sifs.erase(sifs.begin() + index);
    return true;
}

bool KSM_TX_SESSION::rename_embedded_sif_filename_at(int index, const char* name)
{
    if (index < 0 || index >= get_embedded_sif_file_count() || !name || !*name)
        return false;
    edit_session(m_data).embedded_sifs[index].name = name;
    return true;
}

bool KSM_TX_SESSION::extract_sif_file(int index, const char* path) const
{
    if (index < 0 || index >= get_embedded_sif_file_count() || !path)
        return false;
    const auto& bytes = *KSM_ACCESS::state(m_data)->embedded_sifs[index].bytes;
    const auto size = static_cast<qint64>(bytes.size());
    return ksm_write_file(
        path, [&bytes, size](QIODevice* file) { return file->write(bytes.data(), size) == size; }, nullptr);
}

// ---- logs ---------------------------------------------------------------------------------------------

KSM_DATA_LOG* KSM_TX_SESSION::create_new_log(int entry)
{
    bool power_up = false;
    const int i = instance_of_entry(m_data, entry, &power_up);
    KSM_TX_TRIGGER* trigger = get_trigger_at(entry);
    if (i < 0 || !trigger)
        return nullptr;
    auto& slot = KSM_ACCESS::state(trigger);
    int number = trigger->get_num_logs() + 1;
    auto log = ksm_make<KSM_DATA_LOG>(m_data, ksm_numbered_child_name(slot->logs, "log: ", &number).c_str());
    KSM_ACCESS::set_parent(log.get(), trigger);
    log->set_flags(power_up, false, false);
    ksm_edit(trigger, slot).logs.push_back(log);
    return log.get();
}

bool KSM_TX_SESSION::remove_current_log(int entry)
{
    KSM_DATA_LOG* log = get_log_at(entry);
    if (!log)
        return false;
    log->remove();
    return true;
}

bool KSM_TX_SESSION::set_active_log(int entry, KSM_DATA_LOG* log)
{
    KSM_TX_TRIGGER* trigger = get_trigger_at(entry);
    if (!trigger || !log)
        return false;
    auto& slot = KSM_ACCESS::state(trigger);
    const int index = ksm_child_index(slot->logs, log);
    if (index < 0)
        return false;
    ksm_set(trigger, slot, &KSM_TX_TRIGGER::STATE::active_log, index);
    return true;
}

bool KSM_TX_SESSION::set_active(int entry, const char* signal_set, const char* trigger, const char* log)
{
    KSM_TX_INSTANCE* instance = get_instance_at(entry);
    return instance && instance->set_active(signal_set, trigger, log);
}

bool KSM_TX_SESSION::save_to_log(int entry)
{
    KSM_TX_SIGNAL_SET* set = get_signal_set_at(entry);
    KSM_TX_TRIGGER* trigger = get_trigger_at(entry);
    if (!set || !trigger)
        return false;
    KSM_TX_TRIGGER* copy = set->create_trigger(nullptr);
    auto& copy_state = KSM_ACCESS::state(copy);
    const std::string name = copy_state->name;
    ksm_edit(copy, copy_state) = *KSM_ACCESS::state(trigger);
    copy_state->name = name;
    copy_state->logs.clear();
    copy_state->active_log = -1;
    ksm_edit(copy, KSM_ACCESS::nodes(copy)) = *KSM_ACCESS::nodes(trigger);
    return true;
}

namespace {

// Takes a child other than the active one out of its parent's list, which keeps one at least.
template <class PARENT, class CHILD, class STATE>
bool remove_inactive(PARENT* parent, std::shared_ptr<STATE>& slot, KSM_CHILDREN<CHILD> STATE::*list, int STATE::*active,
                     const CHILD* child)
{
    const int index = ksm_child_index((*slot).*list, child);
    if (((*slot).*list).size() < 2 || index == (*slot).*active)
        return false;
    STATE& s = ksm_edit(parent, slot);
    ksm_erase_child(s.*list, &(s.*active), index);
    return true;
}

}  // namespace

bool KSM_TX_SESSION::remove(int entry, const char* signal_set, const char* trigger, const char* log)
{
    KSM_TX_INSTANCE* instance = get_instance_at(entry);
    KSM_TX_SIGNAL_SET* set = instance ? instance->find_signal_set(signal_set) : nullptr;
    if (!set)
        return false;
    if (!trigger || !*trigger) {
        return remove_inactive(instance, KSM_ACCESS::state(instance), &KSM_TX_INSTANCE::STATE::signal_sets,
                               &KSM_TX_INSTANCE::STATE::active_signal_set, set);
    }
    KSM_TX_TRIGGER* t = set->find_trigger(trigger);
    if (!t)
        return false;
    if (log && *log) {
        KSM_DATA_LOG* l = t->find_log(log);
        if (!l)
            return false;
        l->remove();
        return true;
    }
    return remove_inactive(set, KSM_ACCESS::state(set), &KSM_TX_SIGNAL_SET::STATE::triggers,
                           &KSM_TX_SIGNAL_SET::STATE::active_trigger, t);
}
