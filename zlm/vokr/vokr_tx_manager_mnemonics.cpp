// The manager's mnemonic tables: the session's own tables and the plug-in tables of groups,
// and the symbols that both give a group's values.
#include "vokr_tx_manager.h"

#include "vokr_assert.h"
#include "vokr_plugin_library.h"

#include <QMessageBox>

#include <memory>

namespace {

constexpr int PLUGIN_SYMBOL_TYPE = KSM_GTYPE_PLUGIN;

// The registered plug-in of a record, or null.
VOKR_PLUGIN_LIBRARY* plugin_of(const KSM_TX_PLUGIN_MNEMONICS* record)
{
    if (!record)
        return nullptr;
    auto& registry = VOKR_PLUGIN_LIBRARY::registry();
    auto it = registry.find(QString::fromLocal8Bit(record->plugin_name.c_str()));
    return it == registry.end() || !it->second.library ? nullptr : &it->second;
}

void show_plugin_results(const std::vector<std::vector<char>>& results)
{
    for (const std::vector<char>& result : results) {
        if (result[0] == '\0')
            continue;
        QMessageBox box(QMessageBox::Critical, "Korvane", QString::fromLatin1(result.data()));
        if (MSG_JOURNAL::is_interactive())
            box.exec();
    }
}

}  // namespace

// ---- the session's own tables -----------------------------------------------------------------------------

void VOKR_TX_MANAGER::create_mnemonic_table(int node_index, const QString& name, const QStringList& mnemonic_list,
                                            const QStringList& pattern_list)
{
    VOKR_ASSERT(node_index != -1);
    const int node_count = mnemonic_list.size();
    VOKR_ASSERT(node_count == pattern_list.size());
    KSM_DATA_SESSION* ksm_data_session = m_tx_session ? m_tx_session->get_data_session() : nullptr;
    VOKR_ASSERT(ksm_data_session != NULL);
    KSM_DATA_MNEMONICS* ksm_data_mnemonics = ksm_data_session->get_mnemonics();
    VOKR_ASSERT(ksm_data_mnemonics != NULL);
    const int width = pattern_list.isEmpty() ? 0 : pattern_list.first().size();
    for (int i = 0; i < pattern_list.size(); ++i)
        VOKR_ASSERT(pattern_list[i].size() == width);
    const QByteArray table_name = name.toLocal8Bit();
    if (KSM_DATA_MNEMONICS_TABLE* ksm_data_mnemonics_table = ksm_data_mnemonics->find_table(table_name.constData()))
        VOKR_ASSERT(ksm_data_mnemonics->delete_table(ksm_data_mnemonics_table));
    KSM_DATA_MNEMONICS_TABLE* ksm_data_mnemonics_table =
        ksm_data_mnemonics->create_table(table_name.constData(), width);
    VOKR_ASSERT(ksm_data_mnemonics_table != NULL);
    for (int i = 0; i < node_count; ++i)
        VOKR_ASSERT(ksm_data_mnemonics_table->add_entry(qPrintable(mnemonic_list[i]), qPrintable(pattern_list[i])));
    KSM_DATA_GROUP_DISPLAY_TYPE type = KSM_GTYPE_INVALID;
    VOKR_ASSERT_TEXT(this->get_node_group_display_type(node_index, &type, -1),
                     "this->get_node_group_display_type(node_index, &type)");
    if (type != KSM_GTYPE_MNEMONICS) {
        VOKR_ASSERT_TEXT(this->set_node_group_display_type(node_index, KSM_GTYPE_MNEMONICS),
                         "this->set_node_group_display_type(node_index, KSM_GTYPE_MNEMONICS)");
        set_node_mnemonics_table_name(node_index, name);
        return;
    }
    // A symbolic group need not name a table yet: no name then differs from the new one.
    QString old_mnemonic_table_name;
    if (!get_node_mnemonics_table_name(node_index, &old_mnemonic_table_name, nullptr) ||
        old_mnemonic_table_name != name)
        VOKR_ASSERT_TEXT(this->set_node_mnemonics_table_name(node_index, name),
                         "this->set_node_mnemonics_table_name(node_index, mnemonic_table_name)");
}

bool VOKR_TX_MANAGER::get_mnemonics_table_name(int table_index, QString* name) const
{
    KSM_DATA_MNEMONICS* mnemonics = m_tx_session ? m_tx_session->get_data_session()->get_mnemonics() : nullptr;
    if (!mnemonics || table_index >= mnemonics->get_num_tables())
        return true;
    KSM_DATA_MNEMONICS_TABLE* table = mnemonics->get_table(table_index);
    if (!table)
        return false;
    *name = QString::fromLocal8Bit(table->get_name());
    return true;
}

bool VOKR_TX_MANAGER::is_plugin_mnemonic_table(int table_index) const
{
    KSM_DATA_MNEMONICS* mnemonics = m_tx_session ? m_tx_session->get_data_session()->get_mnemonics() : nullptr;
    return !mnemonics || table_index >= mnemonics->get_num_tables();
}

bool VOKR_TX_MANAGER::get_node_mnemonics_table_name(int node_index, QString* name, KSM_TX_SIGNAL_NODES* list)
{
    KSM_TX_SIGNAL_NODES* rows = list ? list : current_list();
    switch (rows->get_group_display_type(node_index)) {
    case KSM_GTYPE_MNEMONICS:
        *name = QString::fromLocal8Bit(rows->get_mnemonics_table_name(node_index));
        return !name->isEmpty();
    case KSM_GTYPE_PLUGIN: return get_plugin_mnemonic_table_name_menu_string(name, node_index, list);
    default: *name = QString(); return false;
    }
}

bool VOKR_TX_MANAGER::get_node_mnemonics_width(int node_index, int* width)
{
    QString table_name;
    VOKR_ASSERT(this->get_node_mnemonics_table_name(node_index, &table_name, nullptr));
    KSM_DATA_MNEMONICS_TABLE* table =
        m_tx_session->get_data_session()->get_mnemonics()->find_table(table_name.toLocal8Bit().constData());
    if (!table)
        return get_plugin_mnemonic_width(width, node_index);
    *width = table->get_width();
    return true;
}

bool VOKR_TX_MANAGER::get_node_mnemonics_symbol(int node_index, const QString& pattern, QString* symbol,
                                                KSM_TX_SIGNAL_NODES* list)
{
    KSM_DATA_MNEMONICS* mnemonics = m_tx_session->get_data_session()->get_mnemonics();
    const QByteArray bits = pattern.toLocal8Bit();
    KSM_DATA_MNEMONICS_TABLE* table = nullptr;
    if (list) {
        QString table_name;
        VOKR_ASSERT_TEXT(get_node_mnemonics_table_name(node_index, &table_name, list),
                         "this->get_node_mnemonics_table_name(node_index, &table_name, ksm_tx_signal_nodes)");
        table = mnemonics->find_table(table_name.toLocal8Bit().constData());
        if (!table)
            return get_plugin_mnemonic(symbol, bits.constData(), node_index, list);
    } else if (const KSM_TX_PLUGIN_MNEMONICS* record = current_list()->get_plugin_mnemonics(node_index)) {
        if (record->static_table_index == -1)
            return true;
        table = m_data_log ? m_data_log->get_static_plugin_mnemonics_table(record->static_table_index) : nullptr;
    } else {
        QString table_name;
        VOKR_ASSERT_TEXT(get_node_mnemonics_table_name(node_index, &table_name, nullptr),
                         "this->get_node_mnemonics_table_name(node_index, &table_name)");
        table = mnemonics->find_table(table_name.toLocal8Bit().constData());
    }
    if (table) {
        const char* found = table->get_first_symbol(bits.constData());
        *symbol = found ? QString::fromLocal8Bit(found) : QString();
    }
    return true;
}

// ---- plug-in tables ---------------------------------------------------------------------------------------

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
                if (plugin->plugin_open_mnemonic_table(&handle, record->table_name.c_str(), pairs.data(),
                                                       static_cast<int>(pairs.size())) != 0)
                    show_plugin_error_msg(QString::fromLocal8Bit(record->plugin_name.c_str()));
                if (!handle)
                    continue;
                list->set_plugin_handle(row, handle);
                if (record->options.empty())
                    continue;
                std::vector<const char*> settings;
                for (const KSM_TX_PLUGIN_OPTION& option : record->options)
                    settings.push_back(option.setting.c_str());
                std::vector<std::vector<char>> results(settings.size(), std::vector<char>(VOKR_PLUGIN_BUFFER_SIZE, 0));
                std::vector<char*> buffers;
                buffers.reserve(results.size());
                for (auto& r : results)
                    buffers.push_back(r.data());
                if (plugin->plugin_set_user_options(handle, settings.data(), static_cast<int>(settings.size()),
                                                    buffers.data(), VOKR_PLUGIN_BUFFER_SIZE) != 0) {
                    show_plugin_error_msg(QString::fromLocal8Bit(record->plugin_name.c_str()));
                    result = false;
                }
                show_plugin_results(results);
            }
        }
    }
    return result;
}

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
    if (!plugin)
        return false;
    if (plugin->plugin_refresh_display_mnemonics(record->handle) == 0)
        return true;
    show_plugin_error_msg(QString::fromLocal8Bit(record->plugin_name.c_str()));
    return false;
}

bool VOKR_TX_MANAGER::get_plugin_mnemonic(QString* text, const char* value, int node_index, KSM_TX_SIGNAL_NODES* list)
{
    KSM_TX_SIGNAL_NODES* rows = plugin_list(node_index, list, true);
    const KSM_TX_PLUGIN_MNEMONICS* record = rows ? rows->get_plugin_mnemonics(node_index) : nullptr;
    VOKR_PLUGIN_LIBRARY* plugin = plugin_of(record);
    if (!plugin)
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
    if (!plugin)
        return false;
    char buffer[VOKR_PLUGIN_BUFFER_SIZE] = {};
    if (plugin->plugin_get_trigger_data(record->handle, buffer, sizeof(buffer), symbol) != 0) {
        show_plugin_error_msg(QString::fromLocal8Bit(record->plugin_name.c_str()));
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
