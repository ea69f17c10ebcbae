// The manager's node insertion: design names become rows of the trigger list, buses and
// arrays one row per bit under named groups, within the node limit and the lock mode.
#include "vokr_tx_manager.h"

#include "omu.h"
#include "tevq.h"
#include "toz.h"
#include "vokr_assert.h"
#include "vokr_frame_wnd.h"
#include "vokr_hierarchy_names.h"
#include "vokr_msg.h"
#include "wolpa.h"

#include <QSet>
#include <QVariant>

#include <algorithm>
#include <memory>

namespace {

// The hierarchy assignment whose text the current signal set keeps.
constexpr int SIGNAL_SET_ASSIGNMENT = 350;

// The compiled hierarchy lent for one scope and given back at its end.
class BORROWED_HIERARCHY {
public:
    BORROWED_HIERARCHY(int kind) : m_kind(kind)
    {
        WOLPA_MANAGER* wolpa_mgr = WOLPA_MANAGER::get_wolpa_manager();
        VOKR_ASSERT(wolpa_mgr != NULL);
        const bool open = OMU_MANAGER::get_omu_manager()->is_project_open();
        m_db = open ? wolpa_mgr->get_toz_cmp_action_pt_instance(VOKR_TX_MANAGER::DATABASE_CLIENT, kind) : nullptr;
    }
    ~BORROWED_HIERARCHY()
    {
        if (m_db)
            WOLPA_MANAGER::get_wolpa_manager()->unget_toz_cmp_action_pt_instance(VOKR_TX_MANAGER::DATABASE_CLIENT,
                                                                                 m_kind);
    }
    BORROWED_HIERARCHY(const BORROWED_HIERARCHY&) = delete;
    BORROWED_HIERARCHY& operator=(const BORROWED_HIERARCHY&) = delete;
    TOZ_NAMESPACE* get() const { return m_db; }

private:
    int m_kind;
    TOZ_NAMESPACE* m_db;
};

int width_of(int first, int last) { return std::abs(last - first); }

// first, first±1, ..., last.
std::vector<int> walk(int first, int last)
{
    std::vector<int> indexes;
    for (int i = first;; i += first < last ? 1 : -1) {
        indexes.push_back(i);
        if (i == last)
            break;
    }
    return indexes;
}

// Names a new bus group in every list that holds it, collapses it when asked and links it.
void decorate_group(const std::vector<KSM_TX_SIGNAL_NODES*>& lists, int row, const QString& name, bool collapse,
                    int link)
{
    const QByteArray bytes = name.toLocal8Bit();
    for (KSM_TX_SIGNAL_NODES* list : lists) {
        list->rename_group(row, bytes.constData());
        if (collapse)
            list->toggle_node(row);
        if (link)
            list->set_link_type(row, link);
    }
}

}  // namespace

bool VOKR_TX_MANAGER::is_using_pre_synthesis_filter() const
{
    if (m_frame_wnd && m_lock_mode == VOKR_LOCK_MODE_INCREMENTAL_ROUTE)
        return false;
    return m_using_pre_synthesis_filter || !is_incremental_compile();
}

// Hands assignment 350 of the compiled design to the current signal set.
void VOKR_TX_MANAGER::store_assignment_text(int kind)
{
    BORROWED_HIERARCHY db(kind);
    std::string text;
    if (db.get() && m_tx_signals && db.get()->get_assignment(SIGNAL_SET_ASSIGNMENT, &text))
        m_tx_signals->set_assignment_text(text.c_str());
}

// ---- short names and limits ----------------------------------------------------------------------------

QString VOKR_TX_MANAGER::remove_top_entity(const QString& name, const std::string& top, bool case_sensitive)
{
    const QString top_path = QString::fromLocal8Bit(top.c_str());
    if (top_path.isEmpty() || !name.startsWith(top_path, case_sensitive ? Qt::CaseSensitive : Qt::CaseInsensitive))
        return name;
    return name.mid(top_path.size() + 1);
}

void VOKR_TX_MANAGER::get_short_name(QString* short_name, const QString& name)
{
    BORROWED_HIERARCHY db(m_using_pre_synthesis_filter ? TOZ_KIND_PRE_SYNTHESIS : TOZ_KIND_POST_FITTING);
    *short_name =
        db.get() ? remove_top_entity(name, db.get()->get_hpath_to_root(), db.get()->is_case_sensitive()) : name;
}

bool VOKR_TX_MANAGER::check_for_node_add_overflow(int count)
{
    if (trigger_at(-1)->get_num_nodes() + count <= KSM_MAX_NODES)
        return false;
    vokr_prompt(vokr_msg_on_node_add_overrun_maximum(KSM_MAX_NODES));
    return true;
}

// ---- batches --------------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::insert_nodes(const QList<PIRQ_INSTANCE_NAME>& names)
{
    if (names.isEmpty())
        return true;
    m_using_pre_synthesis_filter = !(names.first().get_flags() & TOZ_FLAG_POST_FITTING);
    if (m_lock_mode == VOKR_LOCK_MODE_TRIGGER_CONDITIONS) {
        vokr_prompt(vokr_msg_on_node_add_trigger_lock());
        return true;
    }
    if (m_lock_mode == VOKR_LOCK_MODE_INCREMENTAL_ROUTE) {
        if (m_using_pre_synthesis_filter) {
            vokr_prompt(vokr_msg_on_node_add_pre_syn_incr_lock_mode());
            return true;
        }
        const int n = names.size();
        const bool over =
            !is_empty() && (m_tx_trigger->get_data_nodes_used() + n > m_tx_signals->get_data_nodes_allocated() ||
                            m_tx_trigger->get_trigger_nodes_used() + n > m_tx_signals->get_trigger_nodes_allocated() ||
                            m_tx_trigger->get_storage_qualifier_nodes_used() + n >
                                m_tx_signals->get_storage_qualifier_nodes_allocated());
        if ((over || is_empty()) &&
            vokr_prompt(vokr_msg_on_node_add_over_run_allocation()) == MSG_PROMPT::MSG_VALUE_CANCEL)
            return true;
    }
    bool limit = false;
    for (const PIRQ_INSTANCE_NAME& name : names) {
        if (trigger_at(-1)->get_num_nodes() >= KSM_MAX_NODES) {
            limit = true;
            break;
        }
        insert_node(name);
    }
    flush_node_warnings();
    check_node_validity(-1);
    if (limit)
        vokr_prompt(vokr_msg_limit_passed());
    return true;
}

void VOKR_TX_MANAGER::flush_node_warnings()
{
    show_untappable_msg(nullptr);
    show_pre_synthesis_invalid_partition_msg(nullptr, nullptr);
    show_post_fitting_invalid_partition_msg(nullptr, nullptr);
}

bool VOKR_TX_MANAGER::insert_node(const PIRQ_INSTANCE_NAME& name)
{
    QString short_name;
    get_short_name(&short_name, name.get_name());
    if (short_name.isEmpty())
        return false;
    const bool post_fitting = name.get_flags() & TOZ_FLAG_POST_FITTING;
    const KSM_DATA_WIRE_TAP_MODE tap = post_fitting ? KSM_TAP_POST_FITTING : KSM_TAP_PRE_SYNTHESIS;
    int first1 = 0, last1 = 0, first2 = 0, last2 = 0;
    name.get_first_dimension(&first1, &last1);
    name.get_second_dimension(&first2, &last2);
    const int w1 = width_of(first1, last1), w2 = width_of(first2, last2);
    if (check_for_node_add_overflow(w2 != 0 ? (w1 + 1) * (w2 + 1) : w1 + 1))
        return false;
    // A finder name's kind is its number of dimensions: none for a single node, one or two for a
    // bus or an array.
    VOKR_ASSERT_TEXT(name.get_kind() != 3, "Unexpected node type");
    if (name.get_kind() == 0)
        return insert_node(short_name, get_type(name.get_flags()), tap, false);
    return insert_group_of_bits(name, short_name, tap);
}

// A bus or array: one row per bit, grouped, the group named after the dimensions; an array's
// rows each get a group of their own.
bool VOKR_TX_MANAGER::insert_group_of_bits(const PIRQ_INSTANCE_NAME& name, const QString& short_name,
                                           KSM_DATA_WIRE_TAP_MODE tap)
{
    int first1 = 0, last1 = 0, first2 = 0, last2 = 0;
    name.get_first_dimension(&first1, &last1);
    name.get_second_dimension(&first2, &last2);
    const int w2 = width_of(first2, last2);
    KSM_TX_TRIGGER* list = trigger_at(-1);
    const int c0 = list->get_num_nodes();
    bool result = false;
    std::vector<int> inserted;  // bits inserted per first index; a refused bit leaves a row short
    for (int i : walk(first1, last1)) {
        const int before = list->get_num_nodes();
        if (w2 == 0) {
            result =
                insert_node(QString("%1[%2]").arg(short_name).arg(i), get_type(name.get_flags()), tap, false) || result;
        } else {
            for (int j : walk(first2, last2))
                result = insert_node(QString("%1[%2][%3]").arg(short_name).arg(i).arg(j), get_type(name.get_flags()),
                                     tap, false) ||
                         result;
        }
        inserted.push_back(list->get_num_nodes() - before);
    }
    const int c1 = list->get_num_nodes();
    if (c1 <= c0)
        return result;
    if (!list->group_nodes(c0, c1 - 1))
        return false;
    QString group = QString("%1[%2..%3]").arg(short_name).arg(std::max(first1, last1)).arg(std::min(first1, last1));
    if (w2 != 0) {
        group += QString("[%1..%2]").arg(std::max(first2, last2)).arg(std::min(first2, last2));
        // Each first index's bits become a group; every group row shifts the rows after it by one.
        int start = c0 + 1;
        for (int bits : inserted) {
            if (bits == 0)
                continue;
            list->group_nodes(start, start + bits - 1);
            start += bits + 1;
        }
    }
    decorate_group(lists_holding_group(list, c0), c0, group, w2 != 0, get_group_link_type());
    return true;
}

bool VOKR_TX_MANAGER::insert_node(const QString& name, KSM_DATA_SIGNAL_TYPE type, KSM_DATA_WIRE_TAP_MODE tap_mode,
                                  bool allow_duplicate_node_name)
{
    store_assignment_text(m_using_pre_synthesis_filter ? TOZ_KIND_PRE_SYNTHESIS : TOZ_KIND_POST_FITTING);
    const QByteArray bytes = name.toLocal8Bit();
    const bool editor_window = m_frame_wnd && !m_frame_wnd->is_main_window();
    KSM_TX_SIGNAL_SET* signals_ = signal_set_at(-1);
    if (editor_window && *signals_->get_clock_name() && bytes == signals_->get_clock_name()) {
        signals_->set_clock("", is_clock_post_fitting());
        vokr_prompt(vokr_msg_clk_conflict(bytes.constData()));
    }
    const bool result = trigger_at(-1)->insert_node(bytes.constData(), type, tap_mode, allow_duplicate_node_name);
    if (!result || !editor_window)
        return result;
    if (is_incremental_compile())
        check_node_partition(name, tap_mode);
    else if (tap_mode != KSM_TAP_PRE_SYNTHESIS)
        show_untappable_msg(bytes.constData());
    update_modified_flag();
    return true;
}

bool VOKR_TX_MANAGER::insert_node(const QString& name, KSM_DATA_WIRE_TAP_MODE tap_mode)
{
    const int kind = m_using_pre_synthesis_filter ? TOZ_KIND_PRE_SYNTHESIS : TOZ_KIND_POST_FITTING;
    BORROWED_HIERARCHY db(kind);
    if (!db.get()) {
        insert_node(name, KSM_STYPE_NONE, tap_mode, false);
        return true;
    }
    TOZ_INSTANCE_NAME* instance = db.get()->get_instance_name(name.toLocal8Bit().toStdString());
    if (!instance)
        return insert_node(name, KSM_STYPE_NONE, tap_mode, false);
    QString label = QString::fromLocal8Bit(instance->get_short_hpath().c_str());
    if (name.size() > label.size() && !name.contains(label) &&
        name.right(label.size()).compare(label, Qt::CaseInsensitive) == 0)
        label = name.right(label.size());
    store_assignment_text(kind);
    std::vector<TOZ_INSTANCE_NAME*> members;
    if (!instance->get_members(&members))
        return insert_node(label, get_type(instance), tap_mode, false);
    return insert_members(instance, label, tap_mode);
}

// The members of a bus, greater names first; a member that is a bus itself becomes its own group.
bool VOKR_TX_MANAGER::insert_members(TOZ_INSTANCE_NAME* instance, const QString& label, KSM_DATA_WIRE_TAP_MODE tap_mode)
{
    std::vector<TOZ_INSTANCE_NAME*> members;
    instance->get_members(&members);
    std::sort(members.begin(), members.end(), vokr_compare_hierarchy_names);
    KSM_TX_TRIGGER* list = trigger_at(-1);
    const int c0 = list->get_num_nodes();
    bool any_bus = false, result = false;
    for (TOZ_INSTANCE_NAME* member : members) {
        VOKR_ASSERT_TEXT(member != nullptr, "instance_name != NULL");
        const QString path = QString::fromLocal8Bit(member->get_short_hpath().c_str());
        if (member->size_dimension() != 0) {
            any_bus = true;
            result = insert_node(path, tap_mode) || result;
        } else {
            result = insert_node(path, get_type(member), tap_mode, false) || result;
        }
    }
    const int c1 = list->get_num_nodes();
    if (any_bus || c1 <= c0)
        return result;
    const bool grouped = list->group_nodes(c0, c1 - 1);
    if (grouped)
        decorate_group(lists_holding_group(list, c0), c0, label, false, get_group_link_type());
    return grouped;
}

// The lists that hold the new group at `row` of `list`: that list, and the other list of the
// instance when it took the grouping with it (a first-generation session whose lists are in step).
std::vector<KSM_TX_SIGNAL_NODES*> VOKR_TX_MANAGER::lists_holding_group(KSM_TX_SIGNAL_NODES* list, int row) const
{
    std::vector<KSM_TX_SIGNAL_NODES*> lists{list};
    KSM_TX_SIGNAL_NODES* data = signal_set_at(-1);
    KSM_TX_SIGNAL_NODES* other = list == data ? static_cast<KSM_TX_SIGNAL_NODES*>(trigger_at(-1)) : data;
    if (!m_tx_session->is_second_generation() && other->get_num_nodes() == list->get_num_nodes() &&
        other->has_children(row) && other->get_depth(row) == list->get_depth(row))
        lists.push_back(other);
    return lists;
}

// A state machine's registers as one group; with duplicates allowed in a first-generation
// session the data list and the trigger list each get one. Registers that cannot all be added
// as one named group change nothing and give -1 (see can_insert_registers).
int VOKR_TX_MANAGER::insert_nodes(const QString& group_name, const QStringList& nodes, KSM_DATA_WIRE_TAP_MODE tap_mode,
                                  bool allow_duplicate_node_name)
{
    const bool linked = allow_duplicate_node_name && !is_empty() && !m_tx_session->is_second_generation();
    if (nodes.isEmpty() || !can_insert_registers(group_name, nodes, allow_duplicate_node_name, linked))
        return -1;
    const int first = is_empty() ? 0 : current_list()->get_num_nodes();
    for (const QString& node : nodes)
        VOKR_ASSERT_TEXT(insert_node(node, KSM_STYPE_MACHINE, tap_mode, allow_duplicate_node_name),
                         "this->insert_node(node, KSM_STYPE_MACHINE, tap_mode, allow_duplicate_node_name)");
    const int last = current_list()->get_num_nodes() - 1;
    VOKR_ASSERT_TEXT(last >= first, "last_node_index >= first_node_index");
    if (linked)
        return insert_linked_groups(group_name, nodes.size());
    VOKR_ASSERT_TEXT(group_node(first, last), "this->group_node(first_node_index, last_node_index)");
    VOKR_ASSERT_TEXT(rename_group(first, group_name), "this->rename_group(first_node_index, group_name)");
    bool lsb_first = false;
    get_node_lsb_to_msb(first, &lsb_first, -1);
    if (!lsb_first)
        VOKR_ASSERT_TEXT(set_node_lsb_to_msb(first, true), "this->set_node_lsb_to_msb(first_node_index, true)");
    // The other list took the group with it: it shows the same name and bit order.
    const std::vector<KSM_TX_SIGNAL_NODES*> lists = lists_holding_group(current_list(), first);
    if (lists.size() > 1) {
        lists[1]->rename_group(first, group_name.toLocal8Bit().constData());
        lists[1]->set_lsb_to_msb(first, true);
    }
    return first;
}

// Whether every register can be added and grouped: the list has room for them; each name is
// non-empty and, while duplicates are refused, neither in the trigger list nor given twice; a
// group that is not numbered when taken needs a name free in the current list; and the rows
// reach the current list, which the data list of a second-generation session never does.
bool VOKR_TX_MANAGER::can_insert_registers(const QString& group_name, const QStringList& nodes,
                                           bool allow_duplicate_node_name, bool linked)
{
    if (is_empty())
        return true;  // reaching the lists of no instance is an internal error
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    if (m_tx_session->is_second_generation() && current_list() != trigger)
        return false;
    if (!linked && (group_name.isEmpty() || nodes.contains(group_name) ||
                    current_list()->find_node(group_name.toLocal8Bit().constData()) >= 0))
        return false;
    QSet<QString> seen;
    for (const QString& node : nodes) {
        if (node.isEmpty())
            return false;
        if (!allow_duplicate_node_name &&
            (seen.contains(node) || trigger->find_node(node.toLocal8Bit().constData()) >= 0))
            return false;
        seen.insert(node);
    }
    return !check_for_node_add_overflow(nodes.size());
}

// The last `count` rows of the data list and of the trigger list, each grouped, named, least
// significant bit first and linked as the user's settings say; a group takes "%1 (%2)" when
// the name is taken in its list. The data list takes the trigger list's grouping with it
// while the two are in step, and is grouped on its own otherwise.
int VOKR_TX_MANAGER::insert_linked_groups(const QString& group_name, int count)
{
    const QByteArray name = group_name.toLocal8Bit();
    KSM_TX_SIGNAL_SET* data = signal_set_at(-1);
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    const int group = trigger->get_num_nodes() - count;
    VOKR_ASSERT_TEXT(trigger->group_nodes(group, group + count - 1), "list->group_nodes(first, last)");
    const bool data_followed = lists_holding_group(trigger, group).size() > 1;
    const int data_group = data_followed ? group : data->get_num_nodes() - count;
    if (!data_followed)
        VOKR_ASSERT_TEXT(data->group_nodes(data_group, data_group + count - 1), "list->group_nodes(first, last)");
    const struct {
        KSM_TX_SIGNAL_NODES* list;
        int row;
    } groups[] = {{data, data_group}, {trigger, group}};
    for (const auto& g : groups) {
        bool named = g.list->rename_group(g.row, name.constData());
        for (int n = 1; !named && n <= g.list->get_num_nodes(); ++n)
            named = g.list->rename_group(g.row, QString("%1 (%2)").arg(group_name).arg(n).toLocal8Bit().constData());
        VOKR_ASSERT_TEXT(named, "list->rename_group(first, group_name)");
        if (!g.list->get_lsb_to_msb(g.row))
            VOKR_ASSERT_TEXT(g.list->set_lsb_to_msb(g.row, true), "list->set_lsb_to_msb(first, true)");
        g.list->set_link_type(g.row, get_group_link_type());
    }
    return group;
}

// ---- the node finder ------------------------------------------------------------------------------------------

void VOKR_TX_MANAGER::on_node_insert()
{
    if (is_empty())
        return;  // no instance to insert into: the command does nothing
    if (get_int_state(-1, "active tab", 0) != 1) {
        set_int_state(-1, "active tab", 1);
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_TABS));
    }
    if (!m_node_finder)
        return;
    m_node_finder->set_filter_title(is_using_pre_synthesis_filter() ? "Lumetra: pre-synthesis"
                                                                    : "Lumetra: post-fitting");
    m_node_finder->clear_selection();
    m_node_finder->show();
    m_node_finder->raise();
}

void VOKR_TX_MANAGER::on_node_insert_to_view(const PIRQ_INSTANCE_NAME_LIST& names)
{
    if (is_empty())
        return;
    if (get_int_state(-1, "active tab", 0) != 1) {
        set_int_state(-1, "active tab", 1);
        emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_TABS));
    }
    m_tx_instance->begin_action();
    insert_nodes(names);
    KSM_TX_TRIGGER* trigger = trigger_at(-1);
    KSM_TX_SIGNAL_SET* signals_ = signal_set_at(-1);
    if (signals_->get_data_nodes_allocated() >= 1 &&
        signals_->get_data_nodes_allocated() < trigger->get_data_nodes_used())
        set_data_nodes_allocated(trigger->get_data_nodes_used(), -1);
    if (signals_->get_trigger_nodes_allocated() >= 1 &&
        signals_->get_trigger_nodes_allocated() < trigger->get_trigger_nodes_used())
        set_trigger_nodes_allocated(trigger->get_trigger_nodes_used(), -1);
    if (signals_->get_storage_qualifier_nodes_allocated() >= 1 &&
        signals_->get_storage_qualifier_nodes_allocated() < trigger->get_storage_qualifier_nodes_used())
        set_storage_qualifier_nodes_allocated(trigger->get_storage_qualifier_nodes_used(), -1);
    end_action(VOKR_CHECK_ALWAYS, -1);
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH_NODE_PANES));
}
