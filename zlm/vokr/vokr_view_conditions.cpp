// The trigger levels as the node list shows them in setup mode: the level-type selectors in the
// second header row, what picking a type does, and the trigger condition menu with its enabled
// and checked conditions and the values of a common mnemonic table.
#include "vokr_view.h"

#include "vokr_assert.h"
#include "vokr_layout_widget.h"
#include "vokr_node.h"
#include "vokr_tx_manager.h"
#include "wex.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QFontMetrics>
#include <QMenu>

namespace {

constexpr int FIRST_LEVEL = -3;
constexpr int SETUP_TITLE_HEIGHT = 23;
constexpr int SELECTOR_HEIGHT = 19;
constexpr int BASIC_CONDITIONS[] = {368, 373, 370, 374, 371, 369};
constexpr int GROUP_CONDITIONS[] = {227, 226, 230, 228, 229, 232, 231, 234, 233};
constexpr int COMPARISON_ACTION = 225;
constexpr int INSERT_VALUE_ACTION = 372;

}  // namespace

// ---- level types ------------------------------------------------------------------------------------------

bool VOKR_VIEW::level_text_ends_with(int level, const char* suffix) const
{
    const int index = level - FIRST_LEVEL;
    if (index < 0 || index >= LEVEL_COMBO_COUNT)
        return false;
    return m_level_combos[index]->currentText().endsWith(QLatin1String(suffix));
}

bool VOKR_VIEW::is_basic_and_level(int level) const { return level_text_ends_with(level, "AND"); }
bool VOKR_VIEW::is_basic_or_level(int level) const { return level_text_ends_with(level, "OR"); }
bool VOKR_VIEW::is_comparison_level(int level) const { return level_text_ends_with(level, "Comparison"); }

bool VOKR_VIEW::find_comparison_level(int node, int* level, int from, int to) const
{
    VOKR_ASSERT_TEXT(level != nullptr, "nLevel != NULL");
    for (int l = from; l < to; ++l) {
        if (is_comparison_level(l) && m_tx_manager->is_comparison_group_member(node, l, -1)) {
            *level = l;
            return true;
        }
    }
    return false;
}

int VOKR_VIEW::level_type_of(const QString& text) const
{
    if (text.endsWith("AND"))
        return KSM_LTYPE_BASIC_AND;
    if (text.endsWith("OR"))
        return KSM_LTYPE_BASIC_OR;
    if (text.endsWith("Comparison"))
        return KSM_LTYPE_COMPARISON;
    return text == "Advanced" ? KSM_LTYPE_ADVANCED : 4;
}

// ---- the level-type selectors -------------------------------------------------------------------------------

void VOKR_VIEW::update_advanced_trigger_combo_positions()
{
    if (!m_tx_manager || !m_tx_manager->is_setup_mode() || !m_tx_manager->get_tx_instance())
        return;
    QString qualifier;
    m_tx_manager->get_storage_qualifier_type(&qualifier, -1);
    const bool start_stop = qualifier == "Start/Stop";
    const int edge_column = qualifier == "Transitional" ? 8 : qualifier == "Conditional" || start_stop ? 7 : 6;
    QRect edge;
    get_column_rect(edge_column, &edge);
    int x = edge.right() + 1;
    const int y = SETUP_TITLE_HEIGHT + get_row_height(1) + 1;
    const QFontMetrics metrics(font());
    auto place = [&](int level, int offset, int width) {
        m_level_combos[level - FIRST_LEVEL]->setGeometry(x + offset, y, std::max(0, width), SELECTOR_HEIGHT);
    };
    if (start_stop) {
        const int a = metrics.boundingRect("Start").width() + 10;
        place(-2, a, get_column_width(10) - a - 1);
        x += get_column_width(10);
        const int b = metrics.boundingRect("Stop").width() + 10;
        place(-1, b, get_column_width(11) - b - 1);
        x += get_column_width(11);
    } else {
        const int w = qualifier == "Conditional" ? get_column_width(9) : 0;
        place(-3, 0, w - 1);
        x += w;
    }
    int levels = 0;
    m_tx_manager->get_trigger_level(&levels, -1);
    for (int l = 0; l < levels && l < LEVEL_COMBO_COUNT + FIRST_LEVEL; ++l) {
        const int c = metrics.boundingRect(QString::number(l + 1)).width() + 19;
        const int w = get_column_width(FIRST_LEVEL_COLUMN + l);
        place(l, c, w - c - 1);
        x += w;
    }
}

// A new advanced level opens on its own tab: the tabs are Data, Setup, then one per advanced
// level in level order. While the instance acquires, the selector shows its level's type again.
void VOKR_VIEW::on_sel_change_advanced_trigger_combo(const QString& text)
{
    if (VOKR_UPDATE_GUARD::is_updating() || !m_tx_manager)
        return;
    if (m_tx_manager->refuse_edit_while_acquiring()) {
        refresh_level_combos(is_busy());
        return;
    }
    VOKR_ACTION_GUARD action(m_tx_manager);
    const int level = sender()->property("trigger level").toInt() + FIRST_LEVEL;
    m_tx_manager->set_advanced_trigger(level, static_cast<KSM_DATA_TRIGGER_LEVEL_TYPE>(level_type_of(text)));
    if (text == "Advanced") {
        int tab = 2;
        for (int l = FIRST_LEVEL; l < level; ++l)
            tab += m_tx_manager->is_advanced_trigger(l, -1) ? 1 : 0;
        m_tx_manager->set_int_state(-1, "active tab", tab);
    }
    // Regression tests read the tabs right after the pick: the layout rebuilds them at once
    // instead of when the queued notice arrives.
    VOKR_LAYOUT_WIDGET* layout = m_tx_manager->get_layout_widget();
    if (tst_is_regtest_mode() && layout)
        layout->on_update(nullptr, VOKR_HINT_REFRESH_TABS);
    else
        emit m_tx_manager->updated(nullptr, VOKR_HINT_REFRESH_TABS);
}

// ---- the trigger condition menu -------------------------------------------------------------------------

void VOKR_VIEW::disable_condition_actions()
{
    for (int id : GROUP_CONDITIONS)
        action(id)->setEnabled(false);
    for (int id : BASIC_CONDITIONS)
        action(id)->setEnabled(false);
    action(COMPARISON_ACTION)->setEnabled(false);
    action(INSERT_VALUE_ACTION)->setEnabled(false);
}

void VOKR_VIEW::on_update_trigger_condition_menu()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    QMenu* menu = m_context_menus.value(FIRST_LEVEL_COLUMN);
    const QList<QAction*> actions = menu->actions();
    VOKR_ASSERT_TEXT(actions.count() > 0, "actions.count() > 0");
    for (int i = m_trigger_condition_action_count; i < actions.size(); ++i)
        menu->removeAction(actions.at(i));
    delete m_mnemonic_group;  // with its entries
    m_mnemonic_group = nullptr;

    const int level = m_current_level;
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    const bool any_enabled =
        list && any_selected_node([level](VOKR_NODE& n) { return n.is_trigger_enabled(nullptr, level); });
    if (!any_enabled || !m_tx_manager->is_pattern_enabled(level) || m_tx_manager->is_advanced_trigger(level, -1) ||
        !is_editable()) {
        disable_condition_actions();
        return;
    }
    bool all_groups = true, no_nested = true, member = false;
    for (int i = 0, count = get_node_count(); i < count && (all_groups || no_nested); ++i) {
        if (!m_tx_manager->get_node_selection_status(i))
            continue;
        all_groups = all_groups && m_tx_manager->has_children(i);
        no_nested = no_nested && !m_tx_manager->is_grandparent(i);
        member = member || m_tx_manager->is_comparison_group_member(i, level, -1);
    }
    const bool comparison = is_comparison_level(level);
    const bool group_level = comparison || is_basic_or_level(level);
    for (int id : BASIC_CONDITIONS)
        action(id)->setEnabled(!(comparison && member));
    for (int id : GROUP_CONDITIONS)
        action(id)->setEnabled(group_level && all_groups && (id != 227 || no_nested));
    action(COMPARISON_ACTION)->setEnabled(comparison && all_groups && no_nested);
    update_trigger_condition_checks(all_groups);
    action(INSERT_VALUE_ACTION)->setEnabled(on_update_insert_trigger_value());
    add_mnemonic_entries(menu);
}

// The table every selected row shares: each must be a bus with a value at the level and the
// same table; any other row means none.
QString VOKR_VIEW::common_condition_table() const
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    QString table;
    for (int i = 0, count = get_node_count(); i < count; ++i) {
        if (!m_tx_manager->get_node_selection_status(i))
            continue;
        QString value, name;
        bool radix_ok = false;
        if (!is_bus_row(i) || !get_group_trigger_pattern(i, m_current_level, &value, &radix_ok) || value.isEmpty() ||
            !m_tx_manager->get_node_mnemonics_table_name(i, &name, list) || name.isEmpty())
            return QString();
        if (!table.isEmpty() && name != table)
            return QString();
        table = name;
    }
    return table;
}

// Each showing replaces the entries of the last one; the group owns them.
void VOKR_VIEW::add_mnemonic_entries(QMenu* menu)
{
    const QString name = common_condition_table();
    KSM_TX_SESSION* session = m_tx_manager->get_session();
    if (name.isEmpty() || !session || !session->get_data_session())
        return;
    const KSM_DATA_MNEMONICS_TABLE* table =
        session->get_data_session()->get_mnemonics()->find_table(name.toLocal8Bit().constData());
    if (!table || table->get_num_entries() == 0)
        return;
    m_mnemonic_group = new QActionGroup(this);
    QAction* separator = m_mnemonic_group->addAction(QString());
    separator->setSeparator(true);
    menu->addAction(separator);
    for (int k = 0; k < table->get_num_entries(); ++k) {
        const QString value = QString::fromLocal8Bit(table->get_entry_value_at(k));
        QAction* entry = m_mnemonic_group->addAction(value + " : " + table->get_entry_symbol_at(k, 0));
        entry->setData(value);
        menu->addAction(entry);
    }
    vokr_connect_slot(m_mnemonic_group, SIGNAL(triggered(QAction*)), this, SLOT(on_mnemonic(QAction*)));
}

void VOKR_VIEW::update_trigger_condition_checks(bool all_groups)
{
    const int level = m_current_level;
    const bool comparison = is_comparison_level(level);
    for (int id : GROUP_CONDITIONS)
        action(id)->setCheckable(true);
    action(COMPARISON_ACTION)->setCheckable(true);
    int common = KSM_CTYPE_GROUP_AND, last_bus = -1;
    bool uniform = true, first = true;
    if (comparison || is_basic_or_level(level)) {
        VOKR_ASSERT_TEXT(level >= FIRST_LEVEL, "nLevel >= -3");
        KSM_TX_TRIGGER* setup = m_tx_manager->get_trigger_nodes(-1);
        for (int i = 0, count = get_node_count(); i < count && uniform; ++i) {
            if (!m_tx_manager->get_node_selection_status(i))
                continue;
            if (is_bus_row(i))
                last_bus = i;
            if (!m_tx_manager->has_children(i))
                continue;
            const int condition =
                level < 0 ? setup->get_pattern_condition(i, level + 3) : setup->get_trigger_condition(i, level);
            uniform = first || condition == common;
            common = first ? condition : common;
            first = false;
        }
    }
    if (!all_groups) {
        for (int id : GROUP_CONDITIONS)
            action(id)->setChecked(id == 226 && is_basic_and_level(level));
        action(COMPARISON_ACTION)->setEnabled(false);
        return;
    }
    if (comparison && last_bus >= 0 && m_tx_manager->is_comparison_enabled(last_bus, level, -1)) {
        action(COMPARISON_ACTION)->setChecked(true);
        for (int id : GROUP_CONDITIONS)
            action(id)->setChecked(false);
        return;
    }
    action(COMPARISON_ACTION)->setChecked(false);
    if (!uniform || common < KSM_CTYPE_GROUP_EQUAL || common > KSM_CTYPE_GROUP_ANY_BIT) {
        for (int id : GROUP_CONDITIONS)
            action(id)->setChecked(false);
        return;
    }
    get_group_condition_action(common)->setChecked(true);
}
