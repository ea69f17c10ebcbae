#include "vokr_database_manager.h"

#include "biv.h"
#include "gen.h"
#include "pirq.h"
#include "toz.h"
#include "vokr_assert.h"
#include "vokr_state_machine_dlg.h"
#include "vokr_tx_manager.h"
#include "wolpa.h"

namespace {

constexpr const char* MAP_DB_NAME = "my_lumetra_db";

QString short_path(const TOZ_INSTANCE_NAME* name)
{
    const std::string& path = name->get_short_hpath();
    VOKR_ASSERT_TEXT(!path.empty(), "!temp.empty()");
    return QString::fromLocal8Bit(path.c_str());
}

// A state name is the text after the first '.', or the whole name without one.
QString state_name_of(const QString& name)
{
    const int dot = name.indexOf('.');
    return dot < 0 ? name : name.mid(dot + 1);
}

QString bar_separated(const std::string& name) { return QString::fromLocal8Bit(name.c_str()).replace('/', '|'); }

// The encoding characters of a state, most significant bit first; open bits add none.
QString encoding_of(const BIV_REGISTER_TRANSFORMATION* t, int state)
{
    QString encoding;
    for (int bit = t->get_state_transformed_size(); bit >= 1; --bit) {
        const BIV_STATE_ENUM entry = t->get_state_table()->get_transformed_entry(state, bit);
        if (entry == BIV_STATE_0 || entry == BIV_STATE_1)
            encoding += entry == BIV_STATE_1 ? '1' : '0';
    }
    return encoding;
}

void walk(TOZ_INSTANCE_NAME* name, std::vector<TOZ_INSTANCE_NAME*>* out)
{
    out->push_back(name);
    for (const auto& child : name->get_children())
        walk(child.get(), out);
}

}  // namespace

// ---- the pre-synthesis hierarchy --------------------------------------------------------------------------

VOKR_TOZ_MANAGER::VOKR_TOZ_MANAGER(int netlist)
    : m_file_type(netlist == 0 ? TOZ_KIND_PRE_SYNTHESIS : TOZ_KIND_POST_FITTING),
      m_wolpa_manager(WOLPA_MANAGER::get_wolpa_manager())
{
    VOKR_ASSERT(this->m_wolpa_manager != NULL);
    m_namespace = m_wolpa_manager->get_toz_cmp_action_pt_instance(VOKR_TX_MANAGER::DATABASE_CLIENT, m_file_type);
    if (!m_namespace)
        return;
    m_action_point_root = m_namespace->get_rooted_at();
    VOKR_ASSERT(this->m_action_point_root != NULL);
}

VOKR_TOZ_MANAGER::~VOKR_TOZ_MANAGER()
{
    if (m_namespace)
        m_wolpa_manager->unget_toz_cmp_action_pt_instance(VOKR_TX_MANAGER::DATABASE_CLIENT, m_file_type);
}

// Every flagged state machine below the root, as each instance's children list them.
std::vector<TOZ_INSTANCE_NAME*> VOKR_TOZ_MANAGER::state_machines() const
{
    std::vector<TOZ_INSTANCE_NAME*> instances, machines;
    if (!m_action_point_root)
        return machines;
    walk(m_action_point_root, &instances);
    for (TOZ_INSTANCE_NAME* instance : instances)
        for (const auto& child : instance->get_children())
            if (child->test_flag(TOZ_FLAG_STATE_MACHINE))
                machines.push_back(child.get());
    return machines;
}

// The registers beside a state machine that extend its name with '.' and a suffix. A machine
// that is no longer there (the design was compiled again meanwhile) has none.
std::vector<TOZ_INSTANCE_NAME*> VOKR_TOZ_MANAGER::find_registers(const QString& state_machine) const
{
    std::vector<TOZ_INSTANCE_NAME*> registers;
    const std::string name = state_machine.toLocal8Bit().toStdString();
    TOZ_INSTANCE_NAME* machine =
        m_action_point_root ? m_action_point_root->find_in_descendants(name, 1, false) : nullptr;
    TOZ_INSTANCE_NAME* parent = machine ? machine->get_parent() : nullptr;
    if (parent)
        parent->find_descendants_matching_wildcard(name + ".*", &registers);
    return registers;
}

void VOKR_TOZ_MANAGER::get_state_machine_list(QStringList* list)
{
    list->clear();
    for (TOZ_INSTANCE_NAME* machine : state_machines()) {
        const QString name = short_path(machine);
        if (!name.contains('~') && !find_registers(name).empty())
            list->append(name);
    }
}

void VOKR_TOZ_MANAGER::get_node_list(const QString& state_machine, QStringList* nodes)
{
    nodes->clear();
    for (TOZ_INSTANCE_NAME* reg : find_registers(state_machine))
        nodes->append(short_path(reg));
}

// One-hot: register i of n sets bit i, so the first register is the least significant.
void VOKR_TOZ_MANAGER::get_mnemonic_list(const QString& state_machine, QStringList* state_names, QStringList* encodings)
{
    state_names->clear();
    encodings->clear();
    const std::vector<TOZ_INSTANCE_NAME*> registers = find_registers(state_machine);
    const int n = static_cast<int>(registers.size());
    for (int i = 0; i < n; ++i) {
        const QString unit = QString::fromLocal8Bit(registers[i]->get_unit_name().c_str());
        VOKR_ASSERT_TEXT(unit != "", "unit_name != \"\"");
        state_names->append(state_name_of(unit));
        encodings->append(QString(n - 1 - i, '0') + '1' + QString(i, '0'));
    }
}

void VOKR_TOZ_MANAGER::dump()
{
    if (!m_action_point_root)
        return;
    QString text;
    for (TOZ_INSTANCE_NAME* machine : state_machines()) {
        text += "state machine: " + short_path(machine) + "\n";
        for (const auto& child : machine->get_children())
            if (child->test_flag(TOZ_FLAG_STATE_MACHINE))
                text += short_path(child.get()) + "\n";
    }
    pirq_message_box(text.trimmed(), 1);
}

// ---- the post-fitting keep databases ----------------------------------------------------------------------

VOKR_BIV_MANAGER::VOKR_BIV_MANAGER() : m_biv_keypoints_manager(BIV_KEYPOINTS_MANAGER::get_instance())
{
    VOKR_ASSERT(this->m_biv_keypoints_manager != NULL);
    WOLPA_MANAGER* wolpa_manager = WOLPA_MANAGER::get_wolpa_manager();
    VOKR_ASSERT(wolpa_manager != NULL);
    const char* project_revision_name = wolpa_manager->get_revision_name();
    if (!project_revision_name)  // no project open: nothing compiled either
        return;
    const std::string base = gen_get_db_dir_path_string() + project_revision_name;
    m_map_db = m_biv_keypoints_manager->load_keypoints_db(base + ".map.biv", MAP_DB_NAME);
    m_cmp_db = m_biv_keypoints_manager->load_keypoints_db(base + ".cmp.biv", "");
    if (m_map_db && m_cmp_db)
        m_map_db->compose_on_transformed(m_cmp_db, "");
}

VOKR_BIV_MANAGER::~VOKR_BIV_MANAGER()
{
    for (BIV_KEYPOINTS_DB* db : {m_map_db, m_cmp_db}) {
        if (!db)
            continue;
        const std::string name = db->get_name();
        VOKR_ASSERT(!name.empty());
        VOKR_ASSERT(this->m_biv_keypoints_manager->destroy_keypoints_db(name));
    }
}

std::vector<const BIV_REGISTER_TRANSFORMATION*> VOKR_BIV_MANAGER::transformations() const
{
    std::vector<const BIV_REGISTER_TRANSFORMATION*> out;
    if (!m_map_db)
        return out;
    BIV_REGISTER_ITERATOR it(m_map_db->get_transformation_set(), BIV_REGISTER_TRANSFORMATION_KIND);
    for (it.first(); !it.done(); it.next())
        out.push_back(it.item());
    return out;
}

void VOKR_BIV_MANAGER::get_state_machine_list(QStringList* list)
{
    list->clear();
    for (const BIV_REGISTER_TRANSFORMATION* t : transformations())
        list->append(bar_separated(t->get_state_table()->get_fsm_name()));
}

void VOKR_BIV_MANAGER::get_node_list(const QString& state_machine, QStringList* nodes)
{
    nodes->clear();
    for (const BIV_REGISTER_TRANSFORMATION* t : transformations()) {
        if (bar_separated(t->get_state_table()->get_fsm_name()) != state_machine)
            continue;
        for (int bit = 1; bit <= t->get_state_transformed_size(); ++bit)
            nodes->append(bar_separated(t->get_transformed(bit)->get_name()));
        return;
    }
}

void VOKR_BIV_MANAGER::get_mnemonic_list(const QString& state_machine, QStringList* state_names, QStringList* encodings)
{
    state_names->clear();
    encodings->clear();
    for (const BIV_REGISTER_TRANSFORMATION* t : transformations()) {
        const BIV_STATE_TABLE* table = t->get_state_table();
        if (bar_separated(table->get_fsm_name()) != state_machine)
            continue;
        for (int s = 1; s <= table->get_number_of_states(); ++s) {
            state_names->append(state_name_of(QString::fromLocal8Bit(table->get_state_name(s).c_str())));
            encodings->append(encoding_of(t, s));
        }
    }
}

void VOKR_BIV_MANAGER::dump()
{
    if (!m_map_db)
        return;
    QString text;
    for (const BIV_REGISTER_TRANSFORMATION* t : transformations()) {
        const BIV_STATE_TABLE* table = t->get_state_table();
        text += QString("fsm name: %1\n").arg(QString::fromLocal8Bit(table->get_fsm_name().c_str()));
        text += QString("state transformed size: %1\n").arg(t->get_state_transformed_size());
        text += QString("number of states: %1\n").arg(table->get_number_of_states());
        for (int bit = 1; bit <= t->get_state_transformed_size(); ++bit)
            text += QString("register: %1\n").arg(QString::fromLocal8Bit(t->get_transformed(bit)->get_name().c_str()));
        for (int s = 1; s <= table->get_number_of_states(); ++s)
            text += QString("state_name: %1\n").arg(QString::fromLocal8Bit(table->get_state_name(s).c_str())) +
                    encoding_of(t, s) + "\n";
    }
    pirq_message_box(text.trimmed(), 1);
}

// ---- the facade -------------------------------------------------------------------------------------------

VOKR_DATABASE_MANAGER::VOKR_DATABASE_MANAGER(int netlist) : m_current_selection(netlist)
{
    VOKR_ASSERT(this->m_current_selection != -1);
    if (netlist == 0)
        m_vokr_base_manager = new VOKR_TOZ_MANAGER(0);
    else
        m_vokr_base_manager = new VOKR_BIV_MANAGER;
}

VOKR_DATABASE_MANAGER::VOKR_DATABASE_MANAGER(VOKR_STATE_MACHINE_DLG* dialog)
    : m_current_selection(dialog->get_netlist_index())
{
    VOKR_ASSERT(this->m_current_selection != -1);
    if (m_current_selection == 0) {
        m_vokr_base_manager = new VOKR_TOZ_MANAGER(0);
    } else {
        m_vokr_base_manager = dialog->get_biv_manager();
        m_owns_reader = false;
    }
}

VOKR_DATABASE_MANAGER::~VOKR_DATABASE_MANAGER()
{
    if (m_owns_reader)
        delete m_vokr_base_manager;
    m_vokr_base_manager = nullptr;
}

VOKR_BASE_MANAGER* VOKR_DATABASE_MANAGER::reader()
{
    VOKR_ASSERT(this->m_vokr_base_manager != NULL);
    return m_vokr_base_manager;
}

void VOKR_DATABASE_MANAGER::get_state_machine_list(QStringList* list) { reader()->get_state_machine_list(list); }

void VOKR_DATABASE_MANAGER::get_node_list(const QString& state_machine, QStringList* nodes)
{
    reader()->get_node_list(state_machine, nodes);
}

void VOKR_DATABASE_MANAGER::get_mnemonic_list(const QString& state_machine, QStringList* state_names,
                                              QStringList* encodings)
{
    reader()->get_mnemonic_list(state_machine, state_names, encodings);
}

void VOKR_DATABASE_MANAGER::dump() { reader()->dump(); }

bool VOKR_DATABASE_MANAGER::is_database_loaded() { return reader()->is_database_loaded(); }
