// The manager's plug-in tables: a plug-in decodes a design instance into tables whose nodes
// become groups of the node lists, each group keeping the plug-in's record; a session's groups
// reopen their tables with the plug-ins; the node list and the trigger editors ask the plug-ins
// for display texts and trigger patterns.
#include "vokr_tx_manager.h"

#include "cfg.h"
#include "toz.h"
#include "vokr_assert.h"
#include "vokr_msg.h"
#include "vokr_plugin_dialogs.h"
#include "vokr_plugin_library.h"
#include "wolpa.h"

#include <optional>

namespace {

constexpr int PLUGIN_SYMBOL_TYPE = KSM_GTYPE_PLUGIN;
// The signal type of the rows a plug-in adds to a second-generation data list.
constexpr auto PLUGIN_DATA_SIGNAL_TYPE = static_cast<KSM_DATA_SIGNAL_TYPE>(128);

// The reserved instance and the processor trace nodes that simulate mode decodes.
constexpr const char* SIMULATED_INSTANCE = "fake_orvo2_inst";

QStringList simulated_nodes()
{
    QStringList nodes;
    for (int i = 0; i <= 31; ++i)
        nodes << QString("cpu:the_cpu|D_iw[%1]").arg(i);
    for (int i = 0; i <= 14; ++i)
        nodes << QString("cpu:the_cpu|F_pc[%1]").arg(i);
    for (int i = 0; i <= 4; ++i)
        nodes << QString("cpu:the_cpu|R_dst_regnum[%1]").arg(i);
    nodes << "cpu:the_cpu|W_valid";
    return nodes;
}

VOKR_PLUGIN_LIBRARY* registered_plugin(const QString& name)
{
    auto& registry = VOKR_PLUGIN_LIBRARY::registry();
    auto it = registry.find(name);
    return it == registry.end() || !it->second.library ? nullptr : &it->second;
}

QString plugin_name_of(const KSM_TX_PLUGIN_MNEMONICS* record)
{
    return QString::fromLocal8Bit(record->plugin_name.c_str());
}

// The registered plug-in of a record, or null.
VOKR_PLUGIN_LIBRARY* plugin_of(const KSM_TX_PLUGIN_MNEMONICS* record)
{
    return record ? registered_plugin(plugin_name_of(record)) : nullptr;
}

int option_type_code(const QString& type)
{
    return type == "number" ? KSM_PLUGIN_OPTION_NUMBER
           : type == "file" ? KSM_PLUGIN_OPTION_FILE
                            : KSM_PLUGIN_OPTION_OTHER;
}

QString option_type_text(int code)
{
    return code == KSM_PLUGIN_OPTION_NUMBER ? "number" : code == KSM_PLUGIN_OPTION_FILE ? "file" : "string";
}

QString latin1(const char* text) { return QString::fromLatin1(text ? text : ""); }

// Result buffers of the plug-in's option calls: one zeroed buffer per option. The plug-in may
// fill a buffer to its end; each is cut at its last byte before it is read.
class OPTION_RESULTS {
public:
    explicit OPTION_RESULTS(size_t count) : m_buffers(count, std::vector<char>(VOKR_PLUGIN_BUFFER_SIZE, 0))
    {
        for (auto& buffer : m_buffers)
            m_pointers.push_back(buffer.data());
    }
    char** pointers() { return m_pointers.data(); }
    QByteArray text(size_t option)
    {
        m_buffers[option].back() = '\0';
        return QByteArray(m_buffers[option].data());
    }
    size_t size() const { return m_buffers.size(); }

private:
    std::vector<std::vector<char>> m_buffers;
    std::vector<char*> m_pointers;
};

// Sends the settings to an opened table; false when the plug-in refuses them.
bool send_settings(VOKR_PLUGIN_LIBRARY* plugin, void* handle, const std::vector<QByteArray>& settings,
                   OPTION_RESULTS* results)
{
    std::vector<const char*> texts;
    for (const QByteArray& setting : settings)
        texts.push_back(setting.constData());
    return plugin->plugin_set_user_options(handle, texts.data(), static_cast<int>(texts.size()), results->pointers(),
                                           VOKR_PLUGIN_BUFFER_SIZE) == 0;
}

// The string pairs of a table as the plug-in takes them, pointing into `pairs`.
std::vector<PLUGIN_STRING_PAIR> pair_views(const std::vector<std::pair<QByteArray, QByteArray>>& pairs)
{
    std::vector<PLUGIN_STRING_PAIR> views;
    for (const auto& [first, second] : pairs)
        views.push_back({first.constData(), second.constData()});
    return views;
}

// The compiled pre-synthesis hierarchy, lent for one scope.
class PLUGIN_HIERARCHY {
public:
    PLUGIN_HIERARCHY() : m_manager(WOLPA_MANAGER::get_wolpa_manager())
    {
        WOLPA_MANAGER* wolpa_mgr = m_manager;
        VOKR_ASSERT(wolpa_mgr != NULL);
        m_db = wolpa_mgr->get_toz_cmp_action_pt_instance(VOKR_TX_MANAGER::DATABASE_CLIENT, TOZ_KIND_PRE_SYNTHESIS);
    }
    ~PLUGIN_HIERARCHY()
    {
        if (m_db)
            m_manager->unget_toz_cmp_action_pt_instance(VOKR_TX_MANAGER::DATABASE_CLIENT, TOZ_KIND_PRE_SYNTHESIS);
    }
    PLUGIN_HIERARCHY(const PLUGIN_HIERARCHY&) = delete;
    PLUGIN_HIERARCHY& operator=(const PLUGIN_HIERARCHY&) = delete;
    TOZ_INSTANCE_NAME* root() const { return m_db ? m_db->get_rooted_at() : nullptr; }

private:
    WOLPA_MANAGER* m_manager;
    TOZ_NAMESPACE* m_db = nullptr;
};

// Structure edits of a node list kept to that list for one scope; insertions still reach both lists.
class UNLINKED_EDITS {
public:
    explicit UNLINKED_EDITS(KSM_TX_SIGNAL_NODES* list) : m_list(list), m_linked(list->has_linked_edits())
    {
        list->set_linked_edits(false);
    }
    ~UNLINKED_EDITS() { m_list->set_linked_edits(m_linked); }
    UNLINKED_EDITS(const UNLINKED_EDITS&) = delete;
    UNLINKED_EDITS& operator=(const UNLINKED_EDITS&) = delete;

private:
    KSM_TX_SIGNAL_NODES* m_list;
    bool m_linked;
};

}  // namespace

const KSM_TX_PLUGIN_MNEMONICS* VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT::record() const
{
    return record_list ? record_list->get_plugin_mnemonics(record_row) : nullptr;
}

// ---- adding a plug-in's tables to the current instance ------------------------------------------------

bool VOKR_TX_MANAGER::open_plugin(const QString& plugin_name, bool simulate)
{
    VOKR_PLUGIN_LIBRARY* plugin = registered_plugin(plugin_name);
    if (!plugin)
        return false;
    QString hierarchy = SIMULATED_INSTANCE;
    QStringList nodes = simulated_nodes();
    if (!simulate &&
        (!get_plugin_hierarchy(&hierarchy, plugin->unit_names) || !get_plugin_discovered_node_list(&nodes, hierarchy)))
        return false;
    std::vector<std::unique_ptr<VOKR_PLUGIN_STRUCT>> owned;
    if (!fetch_plugin_tables(plugin_name, nodes, &owned))
        return false;
    QList<VOKR_PLUGIN_STRUCT*> tables;
    for (const auto& table : owned)
        tables << table.get();
    if (!hierarchy.isEmpty())
        hierarchy += '|';
    if (!add_plugin_tables(tables, hierarchy))
        return false;
    if (!simulate)
        VOKR_PLUGIN_OPTION_DLG::edit(this, tables);
    return true;
}

// Asks the plug-in for its setup tables, then its data tables, over the instance's nodes.
bool VOKR_TX_MANAGER::fetch_plugin_tables(const QString& plugin_name, const QStringList& nodes,
                                          std::vector<std::unique_ptr<VOKR_PLUGIN_STRUCT>>* tables)
{
    VOKR_PLUGIN_LIBRARY* plugin = registered_plugin(plugin_name);
    std::vector<QByteArray> copies;
    std::vector<const char*> names;
    for (const QString& node : nodes)
        copies.push_back(node.toLocal8Bit());
    for (const QByteArray& copy : copies)
        names.push_back(copy.constData());
    PLUGIN_MNEMONIC_TABLE* kinds[2] = {nullptr, nullptr};
    int counts[2] = {0, 0};
    if (plugin->plugin_get_mnemonic_tables(&kinds[0], &counts[0], &kinds[1], &counts[1], names.data(),
                                           static_cast<int>(names.size())) != 0) {
        show_plugin_error_msg(plugin_name);
        return false;
    }
    for (int kind = 0; kind < 2; ++kind)
        for (int i = 0; kinds[kind] && i < counts[kind]; ++i) {
            auto table = std::make_unique<VOKR_PLUGIN_STRUCT>();
            table->plugin_name = plugin_name;
            copy_from_plugin_struct(table.get(), &kinds[kind][i]);
            table->table_info->setup = kind == 0;
            tables->push_back(std::move(table));
        }
    return true;
}

void VOKR_TX_MANAGER::copy_from_plugin_struct(VOKR_PLUGIN_STRUCT* descriptor, const PLUGIN_MNEMONIC_TABLE* table)
{
    descriptor->table_info = std::make_unique<VOKR_PLUGIN_TABLE_INFO>();
    VOKR_PLUGIN_TABLE_INFO& info = *descriptor->table_info;
    descriptor->table_name = latin1(table->table_name);
    info.group_name = latin1(table->group_name);
    info.group_alias = latin1(table->group_alias);
    for (int i = 0; table->nodes && i < table->node_count; ++i) {
        info.node_names << latin1(table->nodes[i].name);
        info.node_aliases << latin1(table->nodes[i].alias);
    }
    for (int i = 0; table->options && i < table->option_count; ++i) {
        const PLUGIN_OPTION& o = table->options[i];
        descriptor->options.push_back({latin1(o.name), latin1(o.description), latin1(o.type), {}, {}});
    }
    for (int i = 0; table->pairs && i < table->pair_count; ++i)
        descriptor->string_pairs.emplace_back(QByteArray(table->pairs[i].first ? table->pairs[i].first : ""),
                                              QByteArray(table->pairs[i].second ? table->pairs[i].second : ""));
}

bool VOKR_TX_MANAGER::get_plugin_hierarchy(QString* hierarchy, const QStringList& unit_names)
{
    PLUGIN_HIERARCHY db;
    if (!db.root()) {
        vokr_prompt(vokr_msg_plugin_missing_node_names());
        return false;
    }
    QStringList candidates;
    get_plugin_hierarchy_list(&candidates, db.root(), unit_names);
    if (candidates.isEmpty()) {
        vokr_prompt(vokr_msg_plugin_missing_hierarchy());
        return false;
    }
    candidates.removeDuplicates();
    candidates.sort(Qt::CaseSensitive);
    return VOKR_PLUGIN_HIERARCHY_DLG::choose(candidates, hierarchy);
}

// The instances whose direct children include a unit of the plug-in; no search below them.
void VOKR_TX_MANAGER::get_plugin_hierarchy_list(QStringList* list, TOZ_INSTANCE_NAME* instance,
                                                const QStringList& unit_names)
{
    const std::vector<TOZ_INSTANCE_NAME*> children = instance->get_child_names(1);
    for (TOZ_INSTANCE_NAME* child : children)
        if (unit_names.contains(QString::fromLocal8Bit(child->get_unit_name().c_str()))) {
            list->append(QString::fromLocal8Bit(instance->get_short_hpath().c_str()));
            return;
        }
    for (TOZ_INSTANCE_NAME* child : children)
        get_plugin_hierarchy_list(list, child, unit_names);
}

// The tappable nodes directly in the instance, named within it.
bool VOKR_TX_MANAGER::get_plugin_discovered_node_list(QStringList* nodes, const QString& hierarchy)
{
    PLUGIN_HIERARCHY db;
    TOZ_INSTANCE_NAME* root = db.root();
    TOZ_INSTANCE_NAME* instance =
        !root || hierarchy.isEmpty() ? root : root->find_in_descendants(hierarchy.toLocal8Bit().toStdString(), 0, true);
    if (!instance) {
        vokr_prompt(vokr_msg_plugin_missing_node_names());
        return false;
    }
    nodes->clear();
    for (TOZ_INSTANCE_NAME* child : instance->get_child_names(1))
        if (child->get_kind() != TOZ_NAME_KIND_UNIT && !(child->get_flags() & TOZ_FLAG_SYNTHESIZED) &&
            (child->get_flags() & TOZ_FLAG_TAPPABLE))
            nodes->append(QString::fromLocal8Bit(child->get_unit_name().c_str()));
    return true;
}

bool VOKR_TX_MANAGER::is_setup_plugin_node(const QString& name, const QList<VOKR_PLUGIN_STRUCT*>& tables)
{
    for (const VOKR_PLUGIN_STRUCT* table : tables)
        if (table->table_info->setup && table->table_info->node_names.contains(name))
            return true;
    return false;
}

bool VOKR_TX_MANAGER::is_data_plugin_node(const QString& name, const QList<VOKR_PLUGIN_STRUCT*>& tables)
{
    for (const VOKR_PLUGIN_STRUCT* table : tables)
        if (!table->table_info->setup && table->table_info->node_names.contains(name))
            return true;
    return false;
}

bool VOKR_TX_MANAGER::add_plugin_tables(const QList<VOKR_PLUGIN_STRUCT*>& tables, const QString& hierarchy)
{
    return m_tx_session->is_second_generation() ? add_plugin_tables_using_tx_gen2(tables, hierarchy)
                                                : add_plugin_tables_using_tx_gen1(tables, hierarchy);
}

// Rows first..last of the list become the table's group when they are exactly its nodes: the
// group takes the table's record, its name and its alias. False when the group or the table
// could not be made.
bool VOKR_TX_MANAGER::group_plugin_table(KSM_TX_SIGNAL_NODES* list, int first, int last, VOKR_PLUGIN_STRUCT* table,
                                         const QString& hierarchy)
{
    const VOKR_PLUGIN_TABLE_INFO& info = *table->table_info;
    if (first < 0 || last < first || last - first != info.node_names.size() - 1)
        return true;
    if (!list->group_nodes(first, last))
        return false;
    const bool opened = open_plugin_mnemonic_table(first, table);
    list->rename_group(first, (hierarchy + info.group_name).toLocal8Bit().constData());
    list->set_node_alias(first, info.group_alias.toLocal8Bit().constData());
    return opened;
}

// A first-generation session: every insertion adds the node to both lists. The setup tables are
// grouped in the trigger list; the data tables' nodes are copied to the end of the data list
// and grouped there, and the data rows the insertions made are removed again. Those copies,
// that group and those removals are the data list's alone: the trigger list keeps the setup
// group and the data nodes it was given.
bool VOKR_TX_MANAGER::add_plugin_tables_using_tx_gen1(const QList<VOKR_PLUGIN_STRUCT*>& tables,
                                                      const QString& hierarchy)
{
    const KSM_DATA_WIRE_TAP_MODE tap = cfg_is_on("lmx_plugin_add_presynthesis_nodes", false) ? KSM_TAP_PRE_SYNTHESIS
                                       : is_incremental_compile()                            ? KSM_TAP_POST_FITTING
                                                                                             : KSM_TAP_PRE_SYNTHESIS;
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    KSM_TX_SIGNAL_SET* data = signal_set_at(-1);
    const UNLINKED_EDITS data_only(data);
    bool ok = true;
    bool setup_added = false;
    const int d0 = data->get_num_nodes();
    for (VOKR_PLUGIN_STRUCT* table : tables) {
        const VOKR_PLUGIN_TABLE_INFO& info = *table->table_info;
        if (!ok || !info.setup)
            continue;
        int first = -1, last = -1;
        for (int j = 0; ok && j < info.node_names.size(); ++j) {
            ok = insert_node(hierarchy + info.node_names[j], tap);
            if (!ok)
                break;
            const int t = trigger->get_num_nodes() - 1;
            first = j == 0 ? t : first;
            last = j == info.node_names.size() - 1 ? t : last;
            trigger->set_node_alias(t, info.node_aliases[j].toLocal8Bit().constData());
            if (!is_data_plugin_node(info.node_names[j], tables))
                trigger->set_node_use(t, KSM_CAPTURE_TRIGGER);
        }
        if (ok && first >= 0 && last >= 0 && last - first == info.node_names.size() - 1) {
            ok = group_plugin_table(trigger, first, last, table, hierarchy);
            setup_added = true;
        }
    }
    const int d1 = data->get_num_nodes();
    bool data_failed = false;
    for (VOKR_PLUGIN_STRUCT* table : tables) {
        const VOKR_PLUGIN_TABLE_INFO& info = *table->table_info;
        for (int j = 0; ok && !info.setup && j < info.node_names.size(); ++j) {
            if (is_setup_plugin_node(info.node_names[j], tables))
                continue;
            ok = insert_node(hierarchy + info.node_names[j], tap);
            data_failed = !ok;
            if (!ok)
                break;
            const int row = current_list()->get_num_nodes() - 1;
            const bool changed = set_node_alias(row, info.node_aliases[j]);
            trigger->set_node_use(row, KSM_CAPTURE_DATA);
            if (changed)
                update_modified_flag();
        }
    }
    const int l2 = data->get_num_nodes() - 1;
    for (VOKR_PLUGIN_STRUCT* table : tables) {
        const VOKR_PLUGIN_TABLE_INFO& info = *table->table_info;
        if (!ok || info.setup || !setup_added || data_failed)
            continue;
        int first = -1, last = -1;
        for (int j = 0; ok && j < info.node_names.size(); ++j) {
            ok = insert_plugin_data_node(hierarchy + info.node_names[j]);
            if (!ok)
                break;
            const int row = data->get_num_nodes() - 1;
            first = j == 0 ? row : first;
            last = j == info.node_names.size() - 1 ? row : last;
            data->set_node_alias(row, info.node_aliases[j].toLocal8Bit().constData());
        }
        if (ok)
            ok = group_plugin_table(data, first, last, table, hierarchy);
    }
    // The later range first, so that the earlier indexes stay valid.
    if (l2 >= d1)
        data->delete_nodes(d1, l2);
    if (d1 - 1 >= d0)
        data->delete_nodes(d0, d1 - 1);
    if (!ok)
        vokr_prompt(vokr_msg_plugin_add_nodes_failed());
    return ok;
}

// A second-generation session: setup tables go to the trigger list, data tables straight to
// the data list, each grouped where its nodes landed.
bool VOKR_TX_MANAGER::add_plugin_tables_using_tx_gen2(const QList<VOKR_PLUGIN_STRUCT*>& tables,
                                                      const QString& hierarchy)
{
    const KSM_DATA_WIRE_TAP_MODE tap =
        cfg_is_on("lmx_plugin_add_postfitting_nodes", false) ? KSM_TAP_POST_FITTING : KSM_TAP_PRE_SYNTHESIS;
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    KSM_TX_SIGNAL_SET* data = signal_set_at(-1);
    bool ok = true;
    for (int pass = 0; pass < 2; ++pass) {
        const bool setup = pass == 0;
        KSM_TX_SIGNAL_NODES* list = setup ? static_cast<KSM_TX_SIGNAL_NODES*>(trigger) : data;
        for (VOKR_PLUGIN_STRUCT* table : tables) {
            const VOKR_PLUGIN_TABLE_INFO& info = *table->table_info;
            if (!ok || info.setup != setup)
                continue;
            const int start = list->get_num_nodes();
            int last = start - 1;
            for (int j = 0; ok && j < info.node_names.size(); ++j) {
                const QString name = hierarchy + info.node_names[j];
                ok = setup ? insert_node(name, tap)
                           : data->insert_node(name.toLocal8Bit().constData(), PLUGIN_DATA_SIGNAL_TYPE, tap, false);
                if (!ok)
                    break;
                ++last;
                list->set_node_alias(last, info.node_aliases[j].toLocal8Bit().constData());
                if (!setup)
                    list->set_node_use(last, KSM_CAPTURE_DATA);
                else if (!is_data_plugin_node(info.node_names[j], tables))
                    list->set_node_use(last, KSM_CAPTURE_TRIGGER);
                else if (!is_setup_plugin_node(info.node_names[j], tables))
                    list->set_node_use(last, KSM_CAPTURE_DATA);
                list->mark_node(last, 1);
            }
            if (ok && last >= start && last - start == info.node_names.size() - 1) {
                ok = group_plugin_table(list, start, last, table, hierarchy);
                list->mark_node(start, 1);
            }
        }
    }
    if (!ok)
        vokr_prompt(vokr_msg_plugin_add_nodes_failed());
    return ok;
}

bool VOKR_TX_MANAGER::insert_plugin_data_node(const QString& name)
{
    KSM_TX_SIGNAL_SET* data = signal_set_at(-1);
    const int row = data->find_node(name.toLocal8Bit().constData());
    return row >= 0 && data->copy_nodes(row, row, data->get_num_nodes(), false) >= 0;
}

bool VOKR_TX_MANAGER::open_plugin_mnemonic_table(int group_index, VOKR_PLUGIN_STRUCT* descriptor)
{
    VOKR_PLUGIN_LIBRARY* plugin = registered_plugin(descriptor->plugin_name);
    if (!plugin)
        return false;
    void* handle = nullptr;
    std::vector<PLUGIN_STRING_PAIR> pairs = pair_views(descriptor->string_pairs);
    const bool opened = plugin->plugin_open_mnemonic_table(&handle, descriptor->table_name.toLocal8Bit().constData(),
                                                           pairs.data(), static_cast<int>(pairs.size())) == 0;
    if (!opened) {
        show_plugin_error_msg(descriptor->plugin_name);
        handle = nullptr;
    }
    const VOKR_PLUGIN_TABLE_INFO& info = *descriptor->table_info;
    KSM_TX_SIGNAL_NODES* list = info.setup ? static_cast<KSM_TX_SIGNAL_NODES*>(trigger_at(-1)) : signal_set_at(-1);
    list->set_group_display_type(group_index, KSM_GTYPE_PLUGIN);
    KSM_TX_PLUGIN_MNEMONICS record;
    if (const KSM_TX_PLUGIN_MNEMONICS* old = list->get_plugin_mnemonics(group_index))
        record = *old;
    record.handle = handle;
    record.plugin_name = descriptor->plugin_name.toLocal8Bit().toStdString();
    record.table_name = descriptor->table_name.toLocal8Bit().toStdString();
    record.width = info.node_names.size();
    record.options.clear();
    for (const VOKR_PLUGIN_OPTION& o : descriptor->options)
        record.options.push_back({o.name.toLocal8Bit().toStdString(), o.setting.toStdString(), option_type_code(o.type),
                                  o.description.toLocal8Bit().toStdString()});
    record.string_pairs.clear();
    for (const auto& [first, second] : descriptor->string_pairs)
        record.string_pairs.emplace_back(first.toStdString(), second.toStdString());
    list->set_plugin_mnemonics(group_index, &record);
    descriptor->record_list = list;
    descriptor->record_row = group_index;
    return opened;
}

// ---- a session's plug-in tables ------------------------------------------------------------------------

bool VOKR_TX_MANAGER::open_plugin_mnemonic_tables()
{
    bool result = true;
    for (int i = 0; m_tx_session && i < m_tx_session->get_num_instances(); ++i) {
        KSM_TX_SIGNAL_NODES* lists[] = {trigger_at(i), signal_set_at(i)};
        for (KSM_TX_SIGNAL_NODES* list : lists) {
            for (int row = 0; row < list->get_num_nodes(); ++row) {
                const KSM_TX_PLUGIN_MNEMONICS* record = list->get_plugin_mnemonics(row);
                VOKR_PLUGIN_LIBRARY* plugin = plugin_of(record);
                if (list->get_group_display_type(row) != PLUGIN_SYMBOL_TYPE || !plugin)
                    continue;
                std::vector<PLUGIN_STRING_PAIR> pairs;
                for (const auto& [first, second] : record->string_pairs)
                    pairs.push_back({first.c_str(), second.c_str()});
                void* handle = nullptr;
                // A table the plug-in does not open again keeps no handle of an earlier one.
                if (plugin->plugin_open_mnemonic_table(&handle, record->table_name.c_str(), pairs.data(),
                                                       static_cast<int>(pairs.size())) != 0) {
                    show_plugin_error_msg(plugin_name_of(record));
                    handle = nullptr;
                }
                list->set_plugin_handle(row, handle);
                if (!handle || record->options.empty())
                    continue;
                std::vector<QByteArray> settings;
                for (const KSM_TX_PLUGIN_OPTION& option : record->options)
                    settings.emplace_back(option.setting.c_str());
                OPTION_RESULTS results(settings.size());
                if (!send_settings(plugin, handle, settings, &results)) {
                    show_plugin_error_msg(plugin_name_of(record));
                    result = false;
                }
                for (size_t o = 0; o < results.size(); ++o)
                    if (const QByteArray text = results.text(o); !text.isEmpty())
                        vokr_show_plugin_box(QString::fromLatin1(text));
            }
        }
    }
    return result;
}

std::unique_ptr<VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT> VOKR_TX_MANAGER::get_plugin_struct(int node_index)
{
    KSM_DATA_GROUP_DISPLAY_TYPE display_type = KSM_GTYPE_INVALID;
    VOKR_ASSERT_TEXT(get_node_group_display_type(node_index, &display_type, -1),
                     "this->get_node_group_display_type(node_index, &display_type)");
    KSM_TX_SIGNAL_NODES* list = current_list();
    const KSM_TX_PLUGIN_MNEMONICS* record = list->get_plugin_mnemonics(node_index);
    if (display_type != PLUGIN_SYMBOL_TYPE || !record)
        return nullptr;
    auto descriptor = std::make_unique<VOKR_PLUGIN_STRUCT>();
    descriptor->plugin_name = plugin_name_of(record);
    descriptor->table_name = QString::fromLocal8Bit(record->table_name.c_str());
    descriptor->record_list = list;
    descriptor->record_row = node_index;
    for (const KSM_TX_PLUGIN_OPTION& o : record->options)
        descriptor->options.push_back({QString::fromLocal8Bit(o.name.c_str()),
                                       QString::fromLocal8Bit(o.description.c_str()),
                                       option_type_text(o.type),
                                       QByteArray(o.setting.c_str()),
                                       {}});
    for (const auto& [first, second] : record->string_pairs)
        descriptor->string_pairs.emplace_back(QByteArray(first.c_str()), QByteArray(second.c_str()));
    return descriptor;
}

bool VOKR_TX_MANAGER::get_plugin_user_options(QList<VOKR_PLUGIN_STRUCT*>* tables, bool in_action)
{
    std::optional<VOKR_ACTION_GUARD> unit;
    if (!in_action)
        unit.emplace(this);
    VOKR_PLUGIN_OPTION_DLG::edit(this, *tables);
    return true;
}

bool VOKR_TX_MANAGER::set_plugin_user_options(const QList<VOKR_PLUGIN_STRUCT*>& tables)
{
    bool result = true;
    for (VOKR_PLUGIN_STRUCT* table : tables) {
        // A table that got no group has no record to keep its options.
        const KSM_TX_PLUGIN_MNEMONICS* record = table->record();
        if (!record)
            continue;
        VOKR_PLUGIN_LIBRARY* plugin = registered_plugin(table->plugin_name);
        if (plugin && record->handle && !table->options.empty()) {
            std::vector<QByteArray> settings;
            for (const VOKR_PLUGIN_OPTION& o : table->options)
                settings.push_back(o.setting);
            OPTION_RESULTS results(settings.size());
            if (!send_settings(plugin, record->handle, settings, &results)) {
                show_plugin_error_msg(table->plugin_name);
                result = false;
            }
            for (size_t o = 0; o < results.size(); ++o)
                table->options[o].result = results.text(o);
        }
        KSM_TX_PLUGIN_MNEMONICS changed = *record;
        changed.options.clear();
        for (const VOKR_PLUGIN_OPTION& o : table->options)
            changed.options.push_back({o.name.toLocal8Bit().toStdString(), o.setting.toStdString(),
                                       option_type_code(o.type), o.description.toLocal8Bit().toStdString()});
        table->record_list->set_plugin_mnemonics(table->record_row, &changed);
    }
    return result;
}

// ---- queries -----------------------------------------------------------------------------------------

// The list of a plug-in query: the given one, or the one node indexes address when the row's
// group shows plug-in symbols.
KSM_TX_SIGNAL_NODES* VOKR_TX_MANAGER::plugin_list(int node_index, KSM_TX_SIGNAL_NODES* list, bool check_type)
{
    if (list)
        return list;
    if (check_type) {
        KSM_DATA_GROUP_DISPLAY_TYPE display_type = KSM_GTYPE_INVALID;
        this->get_node_group_display_type(node_index, &display_type, -1);
        if (display_type != PLUGIN_SYMBOL_TYPE)
            return nullptr;
    }
    return current_list();
}

bool VOKR_TX_MANAGER::refresh_plugin_mnemonics(int node_index, KSM_TX_SIGNAL_NODES* list)
{
    KSM_TX_SIGNAL_NODES* ksm_tx_signal_nodes = list;
    VOKR_ASSERT(ksm_tx_signal_nodes != NULL);
    const KSM_TX_PLUGIN_MNEMONICS* record = list->get_plugin_mnemonics(node_index);
    VOKR_PLUGIN_LIBRARY* plugin = plugin_of(record);
    if (!plugin || !record->handle)
        return false;
    if (plugin->plugin_refresh_display_mnemonics(record->handle) == 0)
        return true;
    show_plugin_error_msg(plugin_name_of(record));
    return false;
}

bool VOKR_TX_MANAGER::get_plugin_mnemonic(QString* text, const char* value, int node_index, KSM_TX_SIGNAL_NODES* list)
{
    KSM_TX_SIGNAL_NODES* rows = plugin_list(node_index, list, true);
    const KSM_TX_PLUGIN_MNEMONICS* record = rows ? rows->get_plugin_mnemonics(node_index) : nullptr;
    VOKR_PLUGIN_LIBRARY* plugin = plugin_of(record);
    if (!plugin || !record->handle)
        return false;
    char buffer[VOKR_PLUGIN_BUFFER_SIZE] = {};
    if (plugin->plugin_get_display_mnemonic(record->handle, buffer, sizeof(buffer), value) != 0)
        return false;
    buffer[sizeof(buffer) - 1] = '\0';
    *text = QString::fromLatin1(buffer);
    return true;
}

bool VOKR_TX_MANAGER::get_plugin_trigger(QString* data, const char* symbol, int node_index, int instance)
{
    KSM_DATA_GROUP_DISPLAY_TYPE display_type = KSM_GTYPE_INVALID;
    get_node_group_display_type(node_index, &display_type, instance);
    if (display_type != PLUGIN_SYMBOL_TYPE)
        return false;
    const KSM_TX_PLUGIN_MNEMONICS* record = trigger_at(instance)->get_plugin_mnemonics(node_index);
    VOKR_PLUGIN_LIBRARY* plugin = plugin_of(record);
    if (!plugin || !record->handle)
        return false;
    char buffer[VOKR_PLUGIN_BUFFER_SIZE] = {};
    if (plugin->plugin_get_trigger_data(record->handle, buffer, sizeof(buffer), symbol) != 0) {
        show_plugin_error_msg(plugin_name_of(record));
        return false;
    }
    buffer[sizeof(buffer) - 1] = '\0';
    *data = QString::fromLatin1(buffer);
    return true;
}

bool VOKR_TX_MANAGER::get_plugin_trigger_condition_symbol(QString* symbol, int node_index, int level, int instance)
{
    KSM_TX_TRIGGER* trigger = trigger_at(instance);
    const KSM_TX_PLUGIN_MNEMONICS* record = trigger->get_plugin_mnemonics(node_index);
    if (trigger->get_group_display_type(node_index) != PLUGIN_SYMBOL_TYPE || !record)
        return false;
    VOKR_ASSERT_TEXT(level >= FIRST_PATTERN_LEVEL, "nTriggerLevel >= -3 && nTriggerLevel <= -1");
    if (level >= 0)
        *symbol = QString::fromLocal8Bit(record->get_symbol(level));
    return true;
}

bool VOKR_TX_MANAGER::set_plugin_trigger_condition_symbol(const QString& symbol, int node_index, int level,
                                                          int instance)
{
    KSM_DATA_GROUP_DISPLAY_TYPE display_type = KSM_GTYPE_INVALID;
    get_node_group_display_type(node_index, &display_type, instance);
    KSM_TX_TRIGGER* trigger = trigger_at(instance);
    const KSM_TX_PLUGIN_MNEMONICS* record = trigger->get_plugin_mnemonics(node_index);
    if (display_type != PLUGIN_SYMBOL_TYPE || !record)
        return false;
    VOKR_ASSERT_TEXT(level >= FIRST_PATTERN_LEVEL, "nTriggerLevel >= -3 && nTriggerLevel <= -1");
    if (level >= 0) {
        KSM_TX_PLUGIN_MNEMONICS changed = *record;
        changed.set_symbol(level, symbol.toLocal8Bit().constData());
        trigger->set_plugin_mnemonics(node_index, &changed);
    }
    return true;
}

bool VOKR_TX_MANAGER::get_plugin_mnemonic_width(int* width, int node_index)
{
    KSM_TX_SIGNAL_NODES* rows = plugin_list(node_index, nullptr, true);
    const KSM_TX_PLUGIN_MNEMONICS* record = rows ? rows->get_plugin_mnemonics(node_index) : nullptr;
    if (!record)
        return false;
    *width = record->width;
    return true;
}

bool VOKR_TX_MANAGER::get_plugin_mnemonic_table_name_menu_string(QString* text, int node_index,
                                                                 KSM_TX_SIGNAL_NODES* list)
{
    KSM_TX_SIGNAL_NODES* rows = plugin_list(node_index, list, true);
    const KSM_TX_PLUGIN_MNEMONICS* record = rows ? rows->get_plugin_mnemonics(node_index) : nullptr;
    if (!record)
        return false;
    *text = QString("%1 : width = %2").arg(QString::fromLocal8Bit(record->table_name.c_str())).arg(record->width);
    return true;
}
