// Node lists: row values, conditions per level, pattern and bank, and the group tree.
#include "ksm_state.h"

#include <algorithm>
#include <cstring>

using ROW = KSM_TX_SIGNAL_NODES::ROW;

bool ROW::operator==(const ROW& o) const
{
    const bool plugins_equal = plugin == o.plugin || (plugin && o.plugin && *plugin == *o.plugin);
    return name == o.name && alias == o.alias && debug_port == o.debug_port && mnemonics_table == o.mnemonics_table &&
           signal_type == o.signal_type && use == o.use && tap_mode == o.tap_mode && depth == o.depth &&
           group == o.group && selected == o.selected && expanded == o.expanded && data_tab_only == o.data_tab_only &&
           invalid == o.invalid && storage_enabled == o.storage_enabled && transition_enabled == o.transition_enabled &&
           inverted == o.inverted && lsb_to_msb == o.lsb_to_msb && group_display_type == o.group_display_type &&
           link_type == o.link_type && mark == o.mark && conditions[0] == o.conditions[0] &&
           conditions[1] == o.conditions[1] && plugins_equal;
}

const char* KSM_TX_PLUGIN_MNEMONICS::get_symbol(int level) const
{
    return level >= 0 && level < static_cast<int>(level_symbols.size()) ? level_symbols[level].c_str() : "";
}

void KSM_TX_PLUGIN_MNEMONICS::set_symbol(int level, const char* symbol)
{
    if (level < 0)
        return;
    if (level >= static_cast<int>(level_symbols.size()))
        level_symbols.resize(level + 1);
    level_symbols[level] = symbol ? symbol : "";
}

bool KSM_TX_PLUGIN_MNEMONICS::operator==(const KSM_TX_PLUGIN_MNEMONICS& o) const
{
    return plugin_name == o.plugin_name && table_name == o.table_name && width == o.width && options == o.options &&
           string_pairs == o.string_pairs && static_table_index == o.static_table_index &&
           level_symbols == o.level_symbols;
}

namespace {

const ROW DEFAULT_ROW{};

bool in_range(const KSM_TX_SIGNAL_NODES::STATE& s, int row)
{
    return row >= 0 && row < static_cast<int>(s.rows.size());
}

// Condition slot of a level (0..) or, with `pattern`, of a storage-qualifier pattern (0..2).
int slot_of(int index, bool pattern)
{
    if (pattern)
        return index >= 0 && index < KSM_NUM_PATTERNS ? index : -1;
    return index >= 0 && index < KSM_MAX_TRIGGER_LEVELS ? KSM_NUM_PATTERNS + index : -1;
}

// Comparisons have two operands, numbered 1 and 2.
bool valid_operand(int operand) { return operand == 1 || operand == 2; }

bool is_operand(int condition)
{
    return condition >= KSM_CTYPE_COMPARE_GREATER_THAN && condition <= KSM_CTYPE_COMPARE_TRUE;
}

}  // namespace

KSM_TX_SIGNAL_NODES::KSM_TX_SIGNAL_NODES(KSM_DATA_SESSION* owner, bool trigger_list)
    : KSM_OBJECT(owner), m_trigger_list(trigger_list), m_nodes(std::make_shared<STATE>())
{
}

KSM_TX_SIGNAL_NODES::~KSM_TX_SIGNAL_NODES() = default;

// ---- row access ---------------------------------------------------------------------------------

namespace {

// Read access to a row; an index outside the list reads the default row.
const ROW& row_of(const KSM_TX_SIGNAL_NODES::STATE& s, int row)
{
    return in_range(s, row) ? *s.rows[row] : DEFAULT_ROW;
}

// What a change of a row's fields may change of the values worked out from the rows: the names'
// index, the channels and input counts, the selected count.
enum ROW_CHANGE : unsigned { OTHER_FIELDS = 0, NAME = 1, USE = 2, SELECTION = 4 };

// A row made ready for a change: the list recorded and unshared, then the row unshared. The values
// worked out from the rows that the change leaves as they are go over to the state that takes
// the change, so that an edit of one row works out nothing again from all of them.
ROW& edit_row(KSM_TX_SIGNAL_NODES* list, std::shared_ptr<KSM_TX_SIGNAL_NODES::STATE>& slot, int row,
              unsigned change = OTHER_FIELDS)
{
    KSM_TX_SIGNAL_NODES::STATE& before = *slot;
    std::unique_ptr<KSM_ROW_INDEX> index = change & NAME ? nullptr : before.index.take();
    std::unique_ptr<std::vector<int>> channels = change & USE ? nullptr : before.channels.take();
    auto log_channels = change & (USE | NAME) ? nullptr : before.log_channels.take();
    std::unique_ptr<std::pair<int, int>> inputs = change & USE ? nullptr : before.inputs.take();
    std::unique_ptr<int> selected = change & SELECTION ? nullptr : before.selected.take();
    KSM_TX_SIGNAL_NODES::STATE& s = ksm_edit(list, slot);
    s.index.keep(std::move(index));
    s.channels.keep(std::move(channels));
    s.log_channels.keep(std::move(log_channels));
    s.inputs.keep(std::move(inputs));
    s.selected.keep(std::move(selected));
    std::shared_ptr<ROW>& r = s.rows.edit(size_t(row));
    if (r.use_count() > 1)
        r = std::make_shared<ROW>(*r);
    return *r;
}

// Sets one field of a row when it differs; false for an index outside the list.
template <class FIELD, class VALUE>
bool set_row_field(KSM_TX_SIGNAL_NODES* list, std::shared_ptr<KSM_TX_SIGNAL_NODES::STATE>& slot, int row,
                   FIELD ROW::*field, const VALUE& value, unsigned change = OTHER_FIELDS)
{
    if (!in_range(*slot, row))
        return false;
    if ((*slot->rows[row]).*field == value)
        return false;
    edit_row(list, slot, row, change).*field = value;
    return true;
}

// Sets an enumerated field of a row when the value is one of min..max.
bool set_row_choice(KSM_TX_SIGNAL_NODES* list, std::shared_ptr<KSM_TX_SIGNAL_NODES::STATE>& slot, int row,
                    int ROW::*field, int value, int min, int max, unsigned change = OTHER_FIELDS)
{
    return value >= min && value <= max && set_row_field(list, slot, row, field, value, change);
}

}  // namespace

int KSM_TX_SIGNAL_NODES::get_num_nodes() const { return static_cast<int>(m_nodes->rows.size()); }
const char* KSM_TX_SIGNAL_NODES::get_node_name(int row) const { return row_of(*m_nodes, row).name.c_str(); }

void KSM_TX_SIGNAL_NODES::get_outline(std::vector<KSM_ROW_OUTLINE>* rows) const
{
    rows->clear();
    m_nodes->rows.outline(rows);
}

int KSM_TX_SIGNAL_NODES::find_node(const char* name) const
{
    for (size_t i = 0; name && i < m_nodes->rows.size(); ++i)
        if (m_nodes->rows[i]->name == name)
            return static_cast<int>(i);
    return -1;
}

bool KSM_TX_SIGNAL_NODES::rename_node(int row, const char* name)
{
    if (!name || !*name || !in_range(*m_nodes, row))
        return false;
    const int existing = find_node(name);
    if (existing >= 0 && existing != row)
        return false;
    return set_row_field(this, m_nodes, row, &ROW::name, std::string(name), NAME) || existing == row;
}

bool KSM_TX_SIGNAL_NODES::rename_group(int row, const char* name)
{
    return row_of(*m_nodes, row).group && rename_node(row, name);
}

const char* KSM_TX_SIGNAL_NODES::get_node_alias(int row) const { return row_of(*m_nodes, row).alias.c_str(); }

bool KSM_TX_SIGNAL_NODES::set_node_alias(int row, const char* alias)
{
    const std::string text = alias ? alias : "";
    if (!in_range(*m_nodes, row))
        return false;
    for (size_t i = 0; !text.empty() && i < m_nodes->rows.size(); ++i)
        if (static_cast<int>(i) != row && m_nodes->rows[i]->alias == text)
            return false;
    set_row_field(this, m_nodes, row, &ROW::alias, text);
    return true;
}

KSM_DATA_SIGNAL_TYPE KSM_TX_SIGNAL_NODES::get_signal_type(int row) const
{
    return static_cast<KSM_DATA_SIGNAL_TYPE>(row_of(*m_nodes, row).signal_type);
}

KSM_DATA_WIRE_CAPTURE_TYPE KSM_TX_SIGNAL_NODES::get_node_use(int row) const
{
    return static_cast<KSM_DATA_WIRE_CAPTURE_TYPE>(row_of(*m_nodes, row).use);
}

bool KSM_TX_SIGNAL_NODES::set_node_use(int row, KSM_DATA_WIRE_CAPTURE_TYPE use)
{
    return set_row_choice(this, m_nodes, row, &ROW::use, use, KSM_CAPTURE_DATA, KSM_CAPTURE_NEITHER, USE);
}

KSM_DATA_WIRE_TAP_MODE KSM_TX_SIGNAL_NODES::get_tap_mode(int row) const
{
    return static_cast<KSM_DATA_WIRE_TAP_MODE>(row_of(*m_nodes, row).tap_mode);
}

bool KSM_TX_SIGNAL_NODES::set_tap_mode(int row, KSM_DATA_WIRE_TAP_MODE mode)
{
    if (mode != KSM_TAP_PRE_SYNTHESIS && mode != KSM_TAP_POST_FITTING)
        return false;
    return set_row_field(this, m_nodes, row, &ROW::tap_mode, static_cast<int>(mode));
}

KSM_DATA_NODE_DISPLAY_TYPE KSM_TX_SIGNAL_NODES::get_display_type(int row) const
{
    if (!in_range(*m_nodes, row))
        return KSM_NTYPE_NODE;
    const ROW& r = *m_nodes->rows[row];
    if (r.group)
        return r.expanded ? KSM_NTYPE_GROUP_EXPANDED : KSM_NTYPE_GROUP_COLLAPSED;
    if (r.depth == 0)
        return KSM_NTYPE_NODE;
    const bool last = row + 1 == static_cast<int>(m_nodes->rows.size()) || m_nodes->rows[row + 1]->depth < r.depth;
    return last ? KSM_NTYPE_LAST_MEMBER : KSM_NTYPE_MEMBER;
}

int KSM_TX_SIGNAL_NODES::get_depth(int row) const { return row_of(*m_nodes, row).depth; }
bool KSM_TX_SIGNAL_NODES::has_debug_port(int row) const { return !row_of(*m_nodes, row).debug_port.empty(); }
const char* KSM_TX_SIGNAL_NODES::get_debug_port(int row) const { return row_of(*m_nodes, row).debug_port.c_str(); }

bool KSM_TX_SIGNAL_NODES::set_debug_port(int row, const char* port)
{
    return set_row_field(this, m_nodes, row, &ROW::debug_port, std::string(port ? port : ""));
}

KSM_DATA_GROUP_DISPLAY_TYPE KSM_TX_SIGNAL_NODES::get_group_display_type(int row) const
{
    return static_cast<KSM_DATA_GROUP_DISPLAY_TYPE>(row_of(*m_nodes, row).group_display_type);
}

bool KSM_TX_SIGNAL_NODES::set_group_display_type(int row, KSM_DATA_GROUP_DISPLAY_TYPE type)
{
    return set_row_choice(this, m_nodes, row, &ROW::group_display_type, type, KSM_GTYPE_MNEMONICS, KSM_GTYPE_INVALID);
}

bool KSM_TX_SIGNAL_NODES::get_lsb_to_msb(int row) const { return row_of(*m_nodes, row).lsb_to_msb; }

bool KSM_TX_SIGNAL_NODES::set_lsb_to_msb(int row, bool lsb_to_msb)
{
    return set_row_field(this, m_nodes, row, &ROW::lsb_to_msb, lsb_to_msb);
}

bool KSM_TX_SIGNAL_NODES::is_selected(int row) const { return row_of(*m_nodes, row).selected; }
void KSM_TX_SIGNAL_NODES::set_selected(int row, bool selected)
{
    set_row_field(this, m_nodes, row, &ROW::selected, selected, SELECTION);
}
int KSM_TX_SIGNAL_NODES::get_num_selected_nodes() const
{
    if (!m_nodes->selected.get())
        m_nodes->selected.keep(std::make_unique<int>(static_cast<int>(
            std::count_if(m_nodes->rows.begin(), m_nodes->rows.end(), [](const auto& r) { return r->selected; }))));
    return *m_nodes->selected.get();
}
uint64_t KSM_TX_SIGNAL_NODES::get_rows_stamp() const { return m_nodes->stamp.value(); }
bool KSM_TX_SIGNAL_NODES::is_expanded(int row) const { return row_of(*m_nodes, row).expanded; }

bool KSM_TX_SIGNAL_NODES::toggle_node(int row)
{
    return in_range(*m_nodes, row) && row_of(*m_nodes, row).group &&
           set_row_field(this, m_nodes, row, &ROW::expanded, !row_of(*m_nodes, row).expanded);
}

bool KSM_TX_SIGNAL_NODES::is_data_tab_only(int row) const { return row_of(*m_nodes, row).data_tab_only; }

bool KSM_TX_SIGNAL_NODES::set_data_tab_only(int row, bool only)
{
    return set_row_field(this, m_nodes, row, &ROW::data_tab_only, only);
}

bool KSM_TX_SIGNAL_NODES::is_invalid(int row) const { return row_of(*m_nodes, row).invalid; }
void KSM_TX_SIGNAL_NODES::set_invalid(int row, bool invalid)
{
    set_row_field(this, m_nodes, row, &ROW::invalid, invalid);
}
bool KSM_TX_SIGNAL_NODES::is_storage_enabled(int row) const { return row_of(*m_nodes, row).storage_enabled; }

bool KSM_TX_SIGNAL_NODES::set_storage_enabled(int row, bool enabled)
{
    return set_row_field(this, m_nodes, row, &ROW::storage_enabled, enabled);
}

bool KSM_TX_SIGNAL_NODES::is_transition_enabled(int row) const { return row_of(*m_nodes, row).transition_enabled; }

bool KSM_TX_SIGNAL_NODES::set_transition_enabled(int row, bool enabled)
{
    return set_row_field(this, m_nodes, row, &ROW::transition_enabled, enabled);
}

bool KSM_TX_SIGNAL_NODES::is_signal_inverted(int row) const { return row_of(*m_nodes, row).inverted; }

bool KSM_TX_SIGNAL_NODES::set_signal_inverted(int row, bool inverted)
{
    return set_row_field(this, m_nodes, row, &ROW::inverted, inverted);
}

const char* KSM_TX_SIGNAL_NODES::get_mnemonics_table_name(int row) const
{
    return row_of(*m_nodes, row).mnemonics_table.c_str();
}

bool KSM_TX_SIGNAL_NODES::set_mnemonics_table_name(int row, const char* name)
{
    return set_row_field(this, m_nodes, row, &ROW::mnemonics_table, std::string(name ? name : ""));
}

int KSM_TX_SIGNAL_NODES::get_link_type(int row) const { return row_of(*m_nodes, row).link_type; }
bool KSM_TX_SIGNAL_NODES::set_link_type(int row, int bits)
{
    return set_row_field(this, m_nodes, row, &ROW::link_type, bits);
}

const KSM_TX_PLUGIN_MNEMONICS* KSM_TX_SIGNAL_NODES::get_plugin_mnemonics(int row) const
{
    return row_of(*m_nodes, row).plugin.get();
}

bool KSM_TX_SIGNAL_NODES::set_plugin_mnemonics(int row, const KSM_TX_PLUGIN_MNEMONICS* record)
{
    if (!in_range(*m_nodes, row))
        return false;
    const auto& current = m_nodes->rows[row]->plugin;
    if ((!record && !current) || (record && current && *record == *current && record->handle == current->handle))
        return false;
    edit_row(this, m_nodes, row).plugin = record ? std::make_shared<const KSM_TX_PLUGIN_MNEMONICS>(*record) : nullptr;
    return true;
}

void KSM_TX_SIGNAL_NODES::set_plugin_handle(int row, void* handle) const
{
    if (const KSM_TX_PLUGIN_MNEMONICS* record = get_plugin_mnemonics(row))
        record->handle = handle;
}

void KSM_TX_SIGNAL_NODES::mark_node(int row, int value) { set_row_field(this, m_nodes, row, &ROW::mark, value); }
int KSM_TX_SIGNAL_NODES::get_mark(int row) const { return row_of(*m_nodes, row).mark; }

// ---- conditions -----------------------------------------------------------------------------------

namespace {

const KSM_CONDITION DEFAULT_CONDITION{};

const KSM_CONDITION& condition_of(const KSM_TX_SIGNAL_NODES::STATE& s, bool power_up, int row, int slot)
{
    if (!in_range(s, row) || slot < 0)
        return DEFAULT_CONDITION;
    return s.rows[row]->conditions[power_up ? KSM_BANK_POWER_UP : KSM_BANK_NORMAL][slot];
}

// Changes one condition slot of a row in the selected bank.
template <class CHANGE>
bool change_condition(KSM_TX_SIGNAL_NODES* list, std::shared_ptr<KSM_TX_SIGNAL_NODES::STATE>& state, bool power_up,
                      int row, int slot, CHANGE change)
{
    if (!in_range(*state, row) || slot < 0)
        return false;
    KSM_CONDITION updated = condition_of(*state, power_up, row, slot);
    change(updated);
    if (updated == condition_of(*state, power_up, row, slot))
        return true;
    edit_row(list, state, row).conditions[power_up ? KSM_BANK_POWER_UP : KSM_BANK_NORMAL][slot] = updated;
    return true;
}

bool valid_condition(int c) { return c >= 0 && c < KSM_CTYPE_COUNT; }

}  // namespace

KSM_DATA_TRIGGER_CONDITION KSM_TX_SIGNAL_NODES::get_trigger_condition(int row, int level) const
{
    return static_cast<KSM_DATA_TRIGGER_CONDITION>(
        condition_of(*m_nodes, m_power_up_selection, row, slot_of(level, false)).condition);
}

bool KSM_TX_SIGNAL_NODES::set_trigger_condition(int row, int level, KSM_DATA_TRIGGER_CONDITION c, bool)
{
    return valid_condition(c) && change_condition(this, m_nodes, m_power_up_selection, row, slot_of(level, false),
                                                  [c](KSM_CONDITION& k) { k.condition = static_cast<uint8_t>(c); });
}

KSM_DATA_TRIGGER_CONDITION KSM_TX_SIGNAL_NODES::get_pattern_condition(int row, int pattern) const
{
    return static_cast<KSM_DATA_TRIGGER_CONDITION>(
        condition_of(*m_nodes, m_power_up_selection, row, slot_of(pattern, true)).condition);
}

bool KSM_TX_SIGNAL_NODES::set_pattern_condition(int row, int pattern, KSM_DATA_TRIGGER_CONDITION c, bool)
{
    return valid_condition(c) && change_condition(this, m_nodes, m_power_up_selection, row, slot_of(pattern, true),
                                                  [c](KSM_CONDITION& k) { k.condition = static_cast<uint8_t>(c); });
}

namespace {

bool comparison_enabled(const KSM_TX_SIGNAL_NODES::STATE& s, bool power_up, int row, int slot)
{
    return condition_of(s, power_up, row, slot).comparison_enabled != 0;
}

bool set_enabled(KSM_TX_SIGNAL_NODES* list, std::shared_ptr<KSM_TX_SIGNAL_NODES::STATE>& s, bool power_up, int row,
                 int slot, bool enabled)
{
    return change_condition(list, s, power_up, row, slot,
                            [enabled](KSM_CONDITION& k) { k.comparison_enabled = enabled ? 1 : 0; });
}

bool set_operand(KSM_TX_SIGNAL_NODES* list, std::shared_ptr<KSM_TX_SIGNAL_NODES::STATE>& s, bool power_up, int row,
                 int slot, int operand, KSM_DATA_TRIGGER_CONDITION value)
{
    if (!valid_operand(operand) || !is_operand(value))
        return false;
    return change_condition(list, s, power_up, row, slot, [operand, value](KSM_CONDITION& k) {
        k.operand[operand - 1] = static_cast<uint8_t>(value);
    });
}

bool set_value(KSM_TX_SIGNAL_NODES* list, std::shared_ptr<KSM_TX_SIGNAL_NODES::STATE>& s, bool power_up, int row,
               int slot, int operand, int value)
{
    if (!valid_operand(operand))
        return false;
    return change_condition(list, s, power_up, row, slot,
                            [operand, value](KSM_CONDITION& k) { k.value[operand - 1] = value; });
}

KSM_DATA_TRIGGER_CONDITION operand_of(const KSM_TX_SIGNAL_NODES::STATE& s, bool power_up, int row, int slot,
                                      int operand)
{
    if (!valid_operand(operand))
        return KSM_CTYPE_COMPARE_TRUE;
    return static_cast<KSM_DATA_TRIGGER_CONDITION>(condition_of(s, power_up, row, slot).operand[operand - 1]);
}

int value_of(const KSM_TX_SIGNAL_NODES::STATE& s, bool power_up, int row, int slot, int operand)
{
    return valid_operand(operand) ? condition_of(s, power_up, row, slot).value[operand - 1] : 0;
}

}  // namespace

bool KSM_TX_SIGNAL_NODES::is_comparison_enabled(int row, int level) const
{
    return comparison_enabled(*m_nodes, m_power_up_selection, row, slot_of(level, false));
}

bool KSM_TX_SIGNAL_NODES::set_comparison_enabled(int row, int level, bool enabled, bool)
{
    return set_enabled(this, m_nodes, m_power_up_selection, row, slot_of(level, false), enabled);
}

bool KSM_TX_SIGNAL_NODES::is_comparison_group_member(int row, int level) const
{
    const int parent = get_parent_index(row);
    return parent >= 0 && is_comparison_enabled(parent, level);
}

KSM_DATA_TRIGGER_CONDITION KSM_TX_SIGNAL_NODES::get_comparison_operand(int row, int level, int operand) const
{
    return operand_of(*m_nodes, m_power_up_selection, row, slot_of(level, false), operand);
}

bool KSM_TX_SIGNAL_NODES::set_comparison_operand(int row, int level, int operand, KSM_DATA_TRIGGER_CONDITION v, bool)
{
    return set_operand(this, m_nodes, m_power_up_selection, row, slot_of(level, false), operand, v);
}

int KSM_TX_SIGNAL_NODES::get_comparison_value(int row, int level, int operand) const
{
    return value_of(*m_nodes, m_power_up_selection, row, slot_of(level, false), operand);
}

bool KSM_TX_SIGNAL_NODES::set_comparison_value(int row, int level, int operand, int value, bool)
{
    return set_value(this, m_nodes, m_power_up_selection, row, slot_of(level, false), operand, value);
}

bool KSM_TX_SIGNAL_NODES::is_pattern_comparison_enabled(int row, int pattern) const
{
    return comparison_enabled(*m_nodes, m_power_up_selection, row, slot_of(pattern, true));
}

bool KSM_TX_SIGNAL_NODES::set_pattern_comparison_enabled(int row, int pattern, bool enabled, bool)
{
    return set_enabled(this, m_nodes, m_power_up_selection, row, slot_of(pattern, true), enabled);
}

KSM_DATA_TRIGGER_CONDITION KSM_TX_SIGNAL_NODES::get_pattern_comparison_operand(int row, int pattern, int operand) const
{
    return operand_of(*m_nodes, m_power_up_selection, row, slot_of(pattern, true), operand);
}

bool KSM_TX_SIGNAL_NODES::set_pattern_comparison_operand(int row, int pattern, int operand,
                                                         KSM_DATA_TRIGGER_CONDITION value, bool)
{
    return set_operand(this, m_nodes, m_power_up_selection, row, slot_of(pattern, true), operand, value);
}

int KSM_TX_SIGNAL_NODES::get_pattern_comparison_value(int row, int pattern, int operand) const
{
    return value_of(*m_nodes, m_power_up_selection, row, slot_of(pattern, true), operand);
}

bool KSM_TX_SIGNAL_NODES::set_pattern_comparison_value(int row, int pattern, int operand, int value, bool)
{
    return set_value(this, m_nodes, m_power_up_selection, row, slot_of(pattern, true), operand, value);
}

bool KSM_TX_SIGNAL_NODES::is_group_condition(KSM_DATA_TRIGGER_CONDITION c) const
{
    return c >= KSM_CTYPE_GROUP_EQUAL && c <= KSM_CTYPE_GROUP_ANY_BIT;
}

bool KSM_TX_SIGNAL_NODES::is_comparison_operand_condition(KSM_DATA_TRIGGER_CONDITION c) const { return is_operand(c); }

const char* KSM_TX_SIGNAL_NODES::condition_to_string(KSM_DATA_TRIGGER_CONDITION c) const
{
    return KSM_DATA_GLOBAL_ENUM::convert_enum_to_string(c);
}

// ---- tree queries ---------------------------------------------------------------------------------

int KSM_TX_SIGNAL_NODES::get_parent_index(int row, int) const
{
    if (!in_range(*m_nodes, row))
        return -1;
    const int depth = m_nodes->rows[row]->depth;
    for (int i = row - 1; depth > 0 && i >= 0; --i)
        if (m_nodes->rows[i]->depth < depth)
            return i;
    return -1;
}

int KSM_TX_SIGNAL_NODES::get_last_child_index(int row) const
{
    if (!in_range(*m_nodes, row))
        return -1;
    const int depth = m_nodes->rows[row]->depth;
    int last = row;
    for (int i = row + 1; i < get_num_nodes() && m_nodes->rows[i]->depth > depth; ++i)
        last = i;
    return last;
}

void KSM_TX_SIGNAL_NODES::get_direct_children(int row, std::vector<int>* children) const
{
    if (!children || !in_range(*m_nodes, row))
        return;
    const int depth = m_nodes->rows[row]->depth;
    for (int i = row + 1, last = get_last_child_index(row); i <= last; ++i)
        if (m_nodes->rows[i]->depth == depth + 1)
            children->push_back(i);
}

int KSM_TX_SIGNAL_NODES::get_num_leaf_children(int row) const
{
    int leaves = 0;
    for (int i = row + 1, last = get_last_child_index(row); i <= last; ++i)
        leaves += m_nodes->rows[i]->group ? 0 : 1;
    return leaves;
}

// A row has children where the row after it lies deeper: no walk over them.
bool KSM_TX_SIGNAL_NODES::has_children(int row) const
{
    return in_range(*m_nodes, row) && row + 1 < get_num_nodes() &&
           m_nodes->rows[row + 1]->depth > m_nodes->rows[row]->depth;
}
bool KSM_TX_SIGNAL_NODES::has_parent(int row) const { return row_of(*m_nodes, row).depth > 0; }

bool KSM_TX_SIGNAL_NODES::has_nested_groups() const
{
    for (const auto& r : m_nodes->rows)
        if (r->group && r->depth > 0)
            return true;
    return false;
}

bool KSM_TX_SIGNAL_NODES::is_descendant(int ancestor, int row) const
{
    return in_range(*m_nodes, ancestor) && row > ancestor && row <= get_last_child_index(ancestor);
}

bool KSM_TX_SIGNAL_NODES::is_grandparent(int row) const
{
    for (int i = row + 1, last = get_last_child_index(row); i <= last; ++i)
        if (m_nodes->rows[i]->group)
            return true;
    return false;
}

bool KSM_TX_SIGNAL_NODES::is_last_child(int row) const
{
    if (!has_parent(row))
        return false;
    return row + 1 >= get_num_nodes() || m_nodes->rows[row + 1]->depth < m_nodes->rows[row]->depth;
}

bool KSM_TX_SIGNAL_NODES::is_parent_visible(int row) const
{
    const int parent = get_parent_index(row);
    return parent < 0 || m_nodes->rows[parent]->expanded;
}

bool KSM_TX_SIGNAL_NODES::is_any_parent_not_visible(int row) const
{
    for (int p = get_parent_index(row); p >= 0; p = get_parent_index(p))
        if (!m_nodes->rows[p]->expanded)
            return true;
    return false;
}

bool KSM_TX_SIGNAL_NODES::is_group_member_node(int row) const { return has_parent(row); }

// The suite shows the node in its design views; the stand-in has none, so any row there is found.
bool KSM_TX_SIGNAL_NODES::locate(int row) const { return in_range(*m_nodes, row); }

// Both counts are counted once and kept with the rows until they change, as the panes ask for
// them again and again while they refresh.
const std::pair<int, int>& KSM_TX_SIGNAL_NODES::input_counts() const
{
    if (!m_nodes->inputs.get()) {
        std::pair<int, int> counts{0, 0};
        std::vector<KSM_ROW_OUTLINE> outline;
        get_outline(&outline);
        for (const KSM_ROW_OUTLINE& r : outline) {
            counts.first += !r.group && (r.use == KSM_CAPTURE_DATA || r.use == KSM_CAPTURE_BOTH);
            counts.second += !r.group && (r.use == KSM_CAPTURE_TRIGGER || r.use == KSM_CAPTURE_BOTH);
        }
        m_nodes->inputs.keep(std::make_unique<std::pair<int, int>>(counts));
    }
    return *m_nodes->inputs.get();
}

int KSM_TX_SIGNAL_NODES::get_data_input_count() const { return input_counts().first; }
int KSM_TX_SIGNAL_NODES::get_trigger_input_count() const { return input_counts().second; }

// ---- structure ----------------------------------------------------------------------------------

namespace {

using ROWS = KSM_ROW_TABLE;

// A row with its whole subtree: rows first..last.
struct BLOCK {
    int first;
    int last;
};

int subtree_end(const ROWS& rows, int row)
{
    int last = row;
    while (last + 1 < static_cast<int>(rows.size()) && rows[last + 1]->depth > rows[row]->depth)
        ++last;
    return last;
}

// Row `row` may follow the row before it in a tree: depth 0 first, at most one level deeper at
// a time, and only below a group row. A list's rows form a tree where every row may follow the
// one before it.
bool fits_after(const ROWS& rows, int row)
{
    const int depth = rows[size_t(row)]->depth, before = row > 0 ? rows[size_t(row - 1)]->depth : -1;
    const bool group_before = row == 0 || rows[size_t(row - 1)]->group;
    return depth >= 0 && depth <= before + 1 && (depth < before + 1 || group_before);
}

template <class LIST> int leaf_count(const LIST& rows)
{
    return static_cast<int>(std::count_if(rows.begin(), rows.end(), [](const auto& r) { return !r->group; }));
}

template <class LIST> int group_count(const LIST& rows) { return static_cast<int>(rows.size()) - leaf_count(rows); }

// The selected rows whose ancestors are not selected, each with its subtree, in list order.
std::vector<BLOCK> selected_blocks(const ROWS& rows)
{
    std::vector<BLOCK> blocks;
    for (int i = 0; i < static_cast<int>(rows.size()); ++i) {
        if (rows[i]->selected) {
            blocks.push_back({i, subtree_end(rows, i)});
            i = blocks.back().last;
        }
    }
    return blocks;
}

// The sibling rows first..last with their subtrees, or nothing when first..last do not start
// and end on siblings.
std::vector<BLOCK> range_blocks(const ROWS& rows, int first, int last)
{
    const int n = static_cast<int>(rows.size());
    if (first < 0 || last < first || last >= n)
        return {};
    std::vector<BLOCK> blocks;
    const int depth = rows[first]->depth;
    for (int i = first; i <= last; ++i) {
        if (rows[i]->depth < depth)
            return {};
        if (rows[i]->depth == depth) {
            blocks.push_back({i, subtree_end(rows, i)});
            i = blocks.back().last;
        }
    }
    return blocks;
}

bool same_parent_and_depth(const KSM_TX_SIGNAL_NODES& list, const ROWS& rows, const std::vector<BLOCK>& blocks)
{
    for (const BLOCK& b : blocks)
        if (rows[b.first]->depth != rows[blocks.front().first]->depth ||
            list.get_parent_index(b.first) != list.get_parent_index(blocks.front().first))
            return false;
    return true;
}

bool inside(const std::vector<BLOCK>& blocks, int row)
{
    return std::any_of(blocks.begin(), blocks.end(), [row](const BLOCK& b) { return row >= b.first && row <= b.last; });
}

// The depth that rows dropped before `target` take: a group's member depth when the drop
// point belongs to a group, else the top level. -1 when the drop point has no such place.
int drop_depth(const ROWS& rows, int target, bool into_group)
{
    const int n = static_cast<int>(rows.size());
    if (target < 0 || target > n)
        return -1;
    if (!into_group)
        return target == n || rows[target]->depth == 0 ? 0 : -1;
    if (target < n && rows[target]->depth > 0)
        return rows[target]->depth;
    if (target > 0 && (rows[target - 1]->group || rows[target - 1]->depth > 0))
        return rows[target - 1]->group ? rows[target - 1]->depth + 1 : rows[target - 1]->depth;
    return -1;
}

// The first "Group N" no row is named; the numbers in use are marked once, so that a list of
// thousands of groups does not compare every name for every number tried.
std::string default_group_name(const ROWS& rows)
{
    std::vector<bool> taken(rows.size() + 2, false);  // a free number is at most one past the rows
    for (const auto& r : rows) {
        const std::string& name = r->name;
        if (name.size() < 7 || name.size() > 16 || name.compare(0, 6, "Group ") != 0 || name[6] == '0' ||
            name.find_first_not_of("0123456789", 6) != std::string::npos)
            continue;
        const unsigned long long n = std::stoull(name.substr(6));
        if (n < taken.size())
            taken[n] = true;
    }
    size_t n = 1;
    while (taken[n])
        ++n;
    return "Group " + std::to_string(n);
}

// The same number of rows, with the same depth and group flag row by row. Two lists found so,
// or edited in step, are known to be so while neither's shape changes.
bool same_shape(KSM_TX_SIGNAL_NODES::STATE& a, const KSM_TX_SIGNAL_NODES::STATE& b)
{
    if (a.in_step_with == std::pair(a.rows.shape_stamp(), b.rows.shape_stamp()))
        return true;
    if (a.rows.size() != b.rows.size())
        return false;
    for (auto i = a.rows.begin(), j = b.rows.begin(); i != a.rows.end(); ++i, ++j)
        if ((*i)->depth != (*j)->depth || (*i)->group != (*j)->group)
            return false;
    a.in_step_with = {a.rows.shape_stamp(), b.rows.shape_stamp()};
    return true;
}

// After the same structure edit of two lists that were in step: they still are.
void note_in_step(KSM_TX_SIGNAL_NODES* list, KSM_TX_SIGNAL_NODES* follower)
{
    KSM_TX_SIGNAL_NODES::STATE& a = *KSM_ACCESS::nodes(list);
    KSM_TX_SIGNAL_NODES::STATE& b = *KSM_ACCESS::nodes(follower);
    a.in_step_with = {a.rows.shape_stamp(), b.rows.shape_stamp()};
    b.in_step_with = {b.rows.shape_stamp(), a.rows.shape_stamp()};
}

// The list that takes every structure edit of `list` with it: in a first-generation session
// the data list of a signal set and the trigger list of its active trigger hold the same nodes
// row for row, so that an index names one node in both. Null when there is none, or, for an
// edit inside the list, when the two are out of step already (a file may hold them so): an
// edit by index would then land on other nodes, or while the list's linked edits are off. An
// append always goes to both.
KSM_TX_SIGNAL_NODES* follower_of(KSM_TX_SIGNAL_NODES* list, bool trigger_list, bool append)
{
    KSM_DATA_SESSION* session = list->get_data_session_of();
    if (!session || KSM_ACCESS::state(session)->second_generation || (!append && !list->has_linked_edits()))
        return nullptr;
    KSM_TX_SIGNAL_NODES* other = nullptr;
    if (trigger_list) {
        auto* trigger = static_cast<KSM_TX_TRIGGER*>(list);
        KSM_TX_SIGNAL_SET* set = trigger->get_signal_set();
        other = set && set->get_active_trigger() == trigger ? set : nullptr;
    } else {
        other = static_cast<KSM_TX_SIGNAL_SET*>(list)->get_active_trigger();
    }
    if (!other || append)
        return other;
    return same_shape(*KSM_ACCESS::nodes(list), *KSM_ACCESS::nodes(other)) ? other : nullptr;
}

}  // namespace

namespace {

// The index of the list's rows: the one the state keeps, or a new one built from the rows.
std::unique_ptr<KSM_ROW_INDEX> take_row_index(KSM_TX_SIGNAL_NODES::STATE& state)
{
    std::unique_ptr<KSM_ROW_INDEX> index = state.index.take();
    if (index)
        return index;
    index = std::make_unique<KSM_ROW_INDEX>();
    int i = 0;
    for (const auto& row : state.rows)
        index->names.emplace(row->name, i++);
    index->leaves = leaf_count(state.rows);
    return index;
}

}  // namespace

bool KSM_TX_SIGNAL_NODES::insert_node(const char* name, KSM_DATA_SIGNAL_TYPE type, KSM_DATA_WIRE_TAP_MODE tap_mode,
                                      bool allow_duplicate_node_name)
{
    if (!name || !*name)
        return false;
    std::unique_ptr<KSM_ROW_INDEX> index = take_row_index(*m_nodes);
    if (index->leaves >= KSM_MAX_NODES || (!allow_duplicate_node_name && index->names.count(name))) {
        m_nodes->index.keep(std::move(index));
        return false;
    }
    auto row = std::make_shared<ROW>();
    row->name = name;
    row->signal_type = type;
    row->tap_mode = tap_mode == KSM_TAP_POST_FITTING ? KSM_TAP_POST_FITTING : KSM_TAP_PRE_SYNTHESIS;
    KSM_TX_SIGNAL_NODES* follower = follower_of(this, m_trigger_list, true);
    STATE& state = ksm_edit(this, m_nodes);
    state.rows.push_back(row);
    index->names.emplace(row->name, static_cast<int>(state.rows.size()) - 1);
    ++index->leaves;
    state.index.keep(std::move(index));
    if (follower)
        ksm_edit(follower, KSM_ACCESS::nodes(follower)).rows.push_back(std::make_shared<ROW>(*row));
    return true;
}

namespace {

// Rows first..last, siblings with their subtrees, go one level down under a new group row.
bool group_rows(KSM_TX_SIGNAL_NODES* list, int first, int last)
{
    std::shared_ptr<KSM_TX_SIGNAL_NODES::STATE>& state = KSM_ACCESS::nodes(list);
    const ROWS& rows = state->rows;
    const std::vector<BLOCK> blocks = range_blocks(rows, first, last);
    if (blocks.empty() || !same_parent_and_depth(*list, rows, blocks) || group_count(rows) >= KSM_MAX_GROUP_ROWS)
        return false;
    auto group = std::make_shared<ROW>();
    group->name = default_group_name(rows);
    group->group = true;
    group->depth = rows[first]->depth;
    group->signal_type = rows[first]->signal_type;
    group->tap_mode = rows[first]->tap_mode;
    group->group_display_type = KSM_GTYPE_HEX;
    const int end = blocks.back().last;
    KSM_TX_SIGNAL_NODES::STATE& s = ksm_edit(list, state);
    for (int i = first; i <= end; ++i) {
        std::shared_ptr<ROW>& r = s.rows.edit(size_t(i));
        r = std::make_shared<ROW>(*r);
        ++r->depth;
    }
    s.rows.insert(size_t(first), {group});
    return true;
}

// The group row goes, its rows one level up.
void ungroup_row(KSM_TX_SIGNAL_NODES* list, int row)
{
    const int end = list->get_last_child_index(row);
    KSM_TX_SIGNAL_NODES::STATE& s = ksm_edit(list, KSM_ACCESS::nodes(list));
    for (int i = row + 1; i <= end; ++i) {
        std::shared_ptr<ROW>& r = s.rows.edit(size_t(i));
        r = std::make_shared<ROW>(*r);
        --r->depth;
    }
    s.rows.erase(size_t(row), size_t(row) + 1);
}

}  // namespace

bool KSM_TX_SIGNAL_NODES::group_nodes(int first, int last)
{
    KSM_TX_SIGNAL_NODES* follower = follower_of(this, m_trigger_list, false);
    if (!group_rows(this, first, last))
        return false;
    if (follower && group_rows(follower, first, last))
        note_in_step(this, follower);
    return true;
}

bool KSM_TX_SIGNAL_NODES::group_selected_nodes()
{
    if (!is_valid_selection_for_grouping())
        return false;
    const std::vector<BLOCK> blocks = selected_blocks(m_nodes->rows);
    return group_nodes(blocks.front().first, blocks.back().last);
}

bool KSM_TX_SIGNAL_NODES::ungroup_node(int row)
{
    if (!in_range(*m_nodes, row) || !m_nodes->rows[row]->group)
        return false;
    KSM_TX_SIGNAL_NODES* follower = follower_of(this, m_trigger_list, false);
    ungroup_row(this, row);
    if (follower) {
        ungroup_row(follower, row);
        note_in_step(this, follower);
    }
    return true;
}

namespace {

// The rows of `blocks`, shifted to `depth`: copies with new identities, or for a move the rows
// themselves where they keep their depth.
std::vector<std::shared_ptr<ROW>> rows_to_drop(const ROWS& rows, const std::vector<BLOCK>& blocks, int depth, bool copy)
{
    std::vector<std::shared_ptr<ROW>> dropped;
    for (const BLOCK& b : blocks) {
        const int shift = depth - rows[size_t(b.first)]->depth;
        for (int i = b.first; i <= b.last; ++i) {
            std::shared_ptr<ROW> r = rows[size_t(i)];
            if (shift != 0 || copy) {
                r = std::make_shared<ROW>(*r);
                r->depth += shift;
                if (copy)
                    r->id = ksm_new_row_id();
            }
            dropped.push_back(std::move(r));
        }
    }
    return dropped;
}

// Rows of `blocks` put before `target` at the drop depth, moved or copied. Returns the new
// index of the first of them, or -1 (and changes nothing) when the drop is not possible. The
// rows were a tree and each block keeps its own shape, so only the rows that get another row
// before them can break it: those are checked.
int relocate(KSM_TX_SIGNAL_NODES* list, const std::vector<BLOCK>& blocks, int target, bool into_group, bool copy)
{
    std::shared_ptr<KSM_TX_SIGNAL_NODES::STATE>& state = KSM_ACCESS::nodes(list);
    const ROWS& rows = state->rows;
    const int depth = drop_depth(rows, target, into_group);
    if (blocks.empty() || depth < 0 || (!copy && inside(blocks, target) && target != blocks.front().first))
        return -1;
    std::vector<std::shared_ptr<ROW>> moved = rows_to_drop(rows, blocks, depth, copy);
    const int count = static_cast<int>(moved.size());
    if (copy && (leaf_count(rows) + leaf_count(moved) > KSM_MAX_NODES ||
                 group_count(rows) + group_count(moved) > KSM_MAX_GROUP_ROWS))
        return -1;
    ROWS result = rows;
    std::vector<int> seams;  // the rows with another row before them, before the drop
    int position = target;
    for (int b = static_cast<int>(blocks.size()) - 1; b >= 0 && !copy; --b) {
        const int size = blocks[b].last - blocks[b].first + 1;
        result.erase(size_t(blocks[b].first), size_t(blocks[b].last + 1));
        position -= blocks[b].last < target ? size : 0;
        for (int& seam : seams)
            seam -= size;
        seams.push_back(blocks[b].first);
    }
    result.insert(size_t(position), std::move(moved));
    for (int& seam : seams)
        seam += seam >= position ? count : 0;
    int at = position;
    for (const BLOCK& b : blocks)
        seams.push_back(at), at += b.last - b.first + 1;
    seams.push_back(at);
    for (const int seam : seams)
        if (seam < static_cast<int>(result.size()) && !fits_after(result, seam))
            return -1;
    if (copy) {
        int i = 0;
        for (auto r = rows.begin(); r != rows.end(); ++r, ++i)
            if ((*r)->selected)
                (result.edit(size_t(i < target ? i : i + count)) = std::make_shared<ROW>(**r))->selected = false;
    }
    ksm_edit(list, state).rows = std::move(result);
    return position;
}

// The same blocks relocated in the list and in its follower.
int relocate_in_step(KSM_TX_SIGNAL_NODES* list, KSM_TX_SIGNAL_NODES* follower, const std::vector<BLOCK>& blocks,
                     int target, bool into_group, bool copy)
{
    const int position = relocate(list, blocks, target, into_group, copy);
    if (position >= 0 && follower && relocate(follower, blocks, target, into_group, copy) >= 0)
        note_in_step(list, follower);
    return position;
}

int remove_blocks(KSM_TX_SIGNAL_NODES* list, const std::vector<BLOCK>& blocks)
{
    if (blocks.empty())
        return 0;
    std::shared_ptr<KSM_TX_SIGNAL_NODES::STATE>& state = KSM_ACCESS::nodes(list);
    ROWS result = state->rows;
    int removed = 0;
    for (auto b = blocks.rbegin(); b != blocks.rend(); ++b) {
        result.erase(size_t(b->first), size_t(b->last + 1));
        removed += b->last - b->first + 1;
    }
    ksm_edit(list, state).rows = std::move(result);
    return removed;
}

// The same blocks removed from the list and from its follower.
int remove_in_step(KSM_TX_SIGNAL_NODES* list, KSM_TX_SIGNAL_NODES* follower, const std::vector<BLOCK>& blocks)
{
    const int removed = remove_blocks(list, blocks);
    if (removed > 0 && follower && remove_blocks(follower, blocks) == removed)
        note_in_step(list, follower);
    return removed;
}

}  // namespace

int KSM_TX_SIGNAL_NODES::move_nodes(int first, int last, int target, bool into_group)
{
    return relocate_in_step(this, follower_of(this, m_trigger_list, false), range_blocks(m_nodes->rows, first, last),
                            target, into_group, false);
}

int KSM_TX_SIGNAL_NODES::move_selected_nodes(int target, bool into_group)
{
    return relocate_in_step(this, follower_of(this, m_trigger_list, false), selected_blocks(m_nodes->rows), target,
                            into_group, false);
}

int KSM_TX_SIGNAL_NODES::copy_nodes(int first, int last, int target, bool into_group)
{
    return relocate_in_step(this, follower_of(this, m_trigger_list, false), range_blocks(m_nodes->rows, first, last),
                            target, into_group, true);
}

int KSM_TX_SIGNAL_NODES::copy_selected_nodes(int target, bool into_group)
{
    return relocate_in_step(this, follower_of(this, m_trigger_list, false), selected_blocks(m_nodes->rows), target,
                            into_group, true);
}

int KSM_TX_SIGNAL_NODES::delete_nodes(int first, int last)
{
    const int n = get_num_nodes();
    if (first < 0 || first >= n)
        return 0;
    if (last < first)
        last = first;
    last = std::min(last, n - 1);
    std::vector<BLOCK> blocks;
    for (int i = first; i <= last; ++i)
        if (can_delete_node(i)) {
            blocks.push_back({i, subtree_end(m_nodes->rows, i)});
            i = blocks.back().last;
        }
    return remove_in_step(this, follower_of(this, m_trigger_list, false), blocks);
}

bool KSM_TX_SIGNAL_NODES::delete_node(const char* name)
{
    const int row = find_node(name);
    return row >= 0 && delete_nodes(row, row) > 0;
}

int KSM_TX_SIGNAL_NODES::delete_selected_nodes()
{
    std::vector<BLOCK> blocks = selected_blocks(m_nodes->rows);
    blocks.erase(
        std::remove_if(blocks.begin(), blocks.end(), [this](const BLOCK& b) { return !can_delete_node(b.first); }),
        blocks.end());
    return remove_in_step(this, follower_of(this, m_trigger_list, false), blocks);
}

bool KSM_TX_SIGNAL_NODES::is_invalid_index_for_drop(int row, bool into_group) const
{
    const ROWS& rows = m_nodes->rows;
    return drop_depth(rows, row, into_group) < 0 || (inside(selected_blocks(rows), row) && !rows[row]->selected);
}

bool KSM_TX_SIGNAL_NODES::is_valid_selection_for_grouping() const
{
    const ROWS& rows = m_nodes->rows;
    const std::vector<BLOCK> blocks = selected_blocks(rows);
    if (blocks.empty() || !same_parent_and_depth(*this, rows, blocks))
        return false;
    for (size_t i = 1; i < blocks.size(); ++i)
        if (blocks[i].first != blocks[i - 1].last + 1)
            return false;
    return true;
}

// Members of a bus that a plug-in made stay with their bus.
bool KSM_TX_SIGNAL_NODES::can_delete_node(int row) const
{
    if (!in_range(*m_nodes, row))
        return false;
    const int parent = get_parent_index(row);
    return parent < 0 || !m_nodes->rows[parent]->plugin;
}

std::string ksm_node_limit_error(const KSM_ROW_TABLE& rows)
{
    if (leaf_count(rows) > KSM_MAX_NODES)
        return "a node list has more than " + std::to_string(KSM_MAX_NODES) + " nodes";
    if (group_count(rows) > KSM_MAX_GROUP_ROWS)
        return "a node list has more than " + std::to_string(KSM_MAX_GROUP_ROWS) + " groups";
    return std::string();
}
