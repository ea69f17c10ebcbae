// The manager's mnemonic tables: the session's own tables and the plug-in tables of groups,
// and the symbols that both give a group's values.
#include "vokr_tx_manager.h"

#include "vokr_assert.h"

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

// The active log's table of a plug-in bus's captured values: the one the record names, else the
// one made for the bus when the log was viewed (tables are named after their bus); null if none.
KSM_DATA_MNEMONICS_TABLE* VOKR_TX_MANAGER::static_plugin_table(const KSM_TX_PLUGIN_MNEMONICS& record,
                                                               const char* bus) const
{
    if (!m_data_log)
        return nullptr;
    if (record.static_table_index != -1)
        return m_data_log->get_static_plugin_mnemonics_table(record.static_table_index);
    for (int i = 0; i < m_data_log->get_num_static_plugin_mnemonics_tables(); ++i) {
        KSM_DATA_MNEMONICS_TABLE* table = m_data_log->get_static_plugin_mnemonics_table(i);
        if (table && qstrcmp(table->get_name(), bus) == 0)
            return table;
    }
    return nullptr;
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
        table = static_plugin_table(*record, current_list()->get_node_name(node_index));
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
