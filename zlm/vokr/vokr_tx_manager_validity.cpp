// The manager's checks of nodes against the compiled design: validity, partitions, the
// tappability warnings collected per batch, and choosing one node with the node finder.
#include "vokr_tx_manager.h"

#include "cfg.h"
#include "gen.h"
#include "omu.h"
#include "tevq.h"
#include "thr.h"
#include "toz.h"
#include "vokr_assert.h"
#include "vokr_frame_wnd.h"
#include "vokr_msg.h"
#include "vokr_msg_list.h"
#include "wolpa.h"
#include "yek.h"

#include <memory>

namespace {

// The list messages of one node kind's partitions: nodes whose partition got the netlist type
// they need, and nodes whose partition should get it.
struct PARTITION_LISTS {
    VOKR_MSG_LIST changed;
    VOKR_MSG_LIST advice;
};

// The pending list messages, shared by every window: posted once when a batch ends.
struct PENDING_LISTS {
    VOKR_MSG_LIST untappable{[] { return vokr_msg_invalid_lumetra_node_assignment_list(); },
                             [](const char* n) { return vokr_msg_pre_synthesis_node_assignment_item(n); },
                             [](const char* n) { return vokr_msg_invalid_lumetra_node_assignment_item(n); }};
    PARTITION_LISTS pre_synthesis{{[] { return vokr_msg_pre_synthesis_valid_partition_list(); },
                                   [](const char* n) { return vokr_msg_pre_synthesis_valid_partition_item(n); }},
                                  {[] { return vokr_msg_pre_synthesis_invalid_partition_list(); },
                                   [](const char* n) { return vokr_msg_pre_synthesis_invalid_partition_item(n); }}};
    PARTITION_LISTS post_fitting{{[] { return vokr_msg_post_fitting_valid_partition_list(); },
                                  [](const char* n) { return vokr_msg_post_fitting_valid_partition_item(n); }},
                                 {[] { return vokr_msg_post_fitting_invalid_partition_list(); },
                                  [](const char* n) { return vokr_msg_post_fitting_invalid_partition_item(n); }}};
};

// The questions and notices of one node kind's partitions, and the netlist type that kind needs.
struct PARTITION_PROMPTS {
    MSG_YN* (*ask)();      // for a partition other than the top one
    MSG_YN* (*ask_top)();  // for the top partition
    MSG_O* (*not_supported)();
    MSG_O* (*advice)();
    int netlist_type;
};

const PARTITION_PROMPTS PRE_SYNTHESIS_PROMPTS = {
    vokr_msg_pre_synthesis_invalid_partition_assignments_yn, vokr_msg_pre_synthesis_invalid_top_partition_assignment,
    vokr_msg_pre_synthesis_partition_not_supported, vokr_msg_pre_synthesis_invalid_partition_assignments,
    YEK_NETLIST_SOURCE_FILE};
const PARTITION_PROMPTS POST_FITTING_PROMPTS = {
    vokr_msg_post_fitting_invalid_partition_assignments_yn, vokr_msg_post_fitting_invalid_top_partition_assignment,
    vokr_msg_post_fitting_partition_not_supported, vokr_msg_post_fitting_invalid_partition_assignments,
    YEK_NETLIST_POST_FIT};

PENDING_LISTS& pending()
{
    static PENDING_LISTS lists;
    return lists;
}

bool use_equivalent_netlist_dialog()
{
    static const bool on = cfg_is_on("vokr_use_equivalent_netlist_dialog", true);
    return on;
}

// A name counts as valid when the database holds it with every one of `required` flags.
bool holds(TOZ_INSTANCE_NAME* root, const char* name, unsigned int required)
{
    TOZ_INSTANCE_NAME* found = root->find_in_descendants(name, 0, true);
    return found && found->test_flag(required);
}

}  // namespace

// ---- validity -------------------------------------------------------------------------------------------------

// One pass against one compiled database: clocks and rows of each instance (or one), marked
// valid or invalid; true when any was invalid.
bool VOKR_TX_MANAGER::validity_pass(int instance, int kind, bool incremental)
{
    WOLPA_MANAGER* wolpa = WOLPA_MANAGER::get_wolpa_manager();
    TOZ_NAMESPACE* db = wolpa->get_toz_cmp_action_pt_instance(DATABASE_CLIENT, kind);
    if (!db)
        return false;
    TOZ_INSTANCE_NAME* action_point_root = db->get_rooted_at();
    VOKR_ASSERT(action_point_root != NULL);
    const bool post_pass = kind == TOZ_KIND_POST_FITTING;
    const unsigned int required = post_pass ? TOZ_FLAG_TAPPABLE | TOZ_FLAG_POST_FITTING : TOZ_FLAG_TAPPABLE;
    bool found = false;
    for (int i = 0; i < m_tx_session->get_num_instances(); ++i) {
        if (instance >= 0 && i != instance)
            continue;
        KSM_TX_SIGNAL_SET* signals_ = m_tx_session->get_signal_set_at(i);
        KSM_TX_TRIGGER* trigger = m_tx_session->get_trigger_at(i);
        const bool clock_here =
            post_pass ? signals_->is_clock_post_fitting() : !(incremental && signals_->is_clock_post_fitting());
        if (clock_here && *signals_->get_clock_name()) {
            const bool valid = holds(action_point_root, signals_->get_clock_name(), required);
            signals_->set_clock_invalid(!valid);
            found = found || !valid;
        }
        for (int row = 0; row < trigger->get_num_nodes(); ++row) {
            const KSM_DATA_NODE_DISPLAY_TYPE display = trigger->get_display_type(row);
            if (display == KSM_NTYPE_GROUP_EXPANDED || display == KSM_NTYPE_GROUP_COLLAPSED)
                continue;
            const bool post_row = trigger->get_tap_mode(row) == KSM_TAP_POST_FITTING;
            if (post_pass ? !post_row : (incremental && post_row))
                continue;
            const bool valid = holds(action_point_root, trigger->get_node_name(row), required);
            trigger->set_invalid(row, !valid);
            found = found || !valid;
        }
    }
    wolpa->unget_toz_cmp_action_pt_instance(DATABASE_CLIENT, kind);
    return found;
}

bool VOKR_TX_MANAGER::check_node_validity(int instance)
{
    WOLPA_MANAGER* wolpa_mgr = WOLPA_MANAGER::get_wolpa_manager();
    VOKR_ASSERT(wolpa_mgr);
    bool found = false;
    OMU_MANAGER* omu_mgr = OMU_MANAGER::get_omu_manager();
    VOKR_ASSERT(omu_mgr != NULL);
    if (m_tx_session && !is_corvix_generated() && omu_mgr->is_project_open()) {
        const bool incremental = is_incremental_compile();
        found = validity_pass(instance, TOZ_KIND_PRE_SYNTHESIS, incremental);
        if (incremental)
            found = validity_pass(instance, TOZ_KIND_POST_FITTING, incremental) || found;
    }
    if (found != m_invalid_nodes) {
        m_invalid_nodes = found;
        emit updated(nullptr,
                     vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_ADVANCED_MODIFIED | VOKR_HINT_INSTANCES | VOKR_HINT_VIEW));
    }
    return found;
}

// ---- partitions -------------------------------------------------------------------------------------------------

bool VOKR_TX_MANAGER::check_node_partition(const QString& name, KSM_DATA_WIRE_TAP_MODE tap_mode)
{
    if (gen_is_mav())
        return false;
    WOLPA_MANAGER* wolpa_mgr = WOLPA_MANAGER::get_wolpa_manager();
    VOKR_ASSERT(wolpa_mgr);
    const int kind = tap_mode == KSM_TAP_POST_FITTING ? TOZ_KIND_POST_FITTING : TOZ_KIND_PRE_SYNTHESIS;
    TOZ_NAMESPACE* db = wolpa_mgr->get_toz_cmp_action_pt_instance(DATABASE_CLIENT, kind);
    if (!db)
        return false;
    TOZ_INSTANCE_NAME* action_point_root = db->get_rooted_at();
    VOKR_ASSERT(action_point_root);
    TOZ_INSTANCE_NAME* node = action_point_root->find_in_descendants(name.toLocal8Bit().toStdString(), 0, true);
    YEK_PARTITION* partition = nullptr;
    bool incremental_mode = false;
    if (node) {
        YEK_PARTITION_MANAGER* yek_mgr = YEK_PARTITION_MANAGER::get_instance(0, 0, 0);
        VOKR_ASSERT(yek_mgr);
        YEK_PROJECT_INFO* yek_info = yek_mgr->get_project_info();
        VOKR_ASSERT(yek_info);
        incremental_mode = compiles_incrementally(yek_info);
        for (TOZ_INSTANCE_NAME* unit = node->get_parent(); incremental_mode && unit && !partition;
             unit = unit->get_parent())
            partition =
                yek_mgr->get_partition_by_short_hpath(unit == action_point_root ? "|" : unit->get_short_hpath());
    }
    wolpa_mgr->unget_toz_cmp_action_pt_instance(DATABASE_CLIENT, kind);
    if (!partition)
        return false;
    const int netlist = partition->get_netlist_type();
    if (netlist == YEK_NETLIST_NONE || netlist == YEK_NETLIST_EMPTY)
        return false;
    const bool post = tap_mode == KSM_TAP_POST_FITTING;
    if ((!post && netlist == YEK_NETLIST_SOURCE_FILE) || (post && netlist == YEK_NETLIST_POST_FIT))
        return false;
    const QByteArray bytes = name.toLocal8Bit();
    if (post)
        show_post_fitting_invalid_partition_msg(bytes.constData(), partition);
    else
        show_pre_synthesis_invalid_partition_msg(bytes.constData(), partition);
    return true;
}

namespace {

// Sets the netlist type of every partition inside one modification; returns those that kept
// theirs (all of them when the modification cannot be opened or closed).
std::vector<YEK_PARTITION*> set_netlist_types(YEK_PARTITION_MANAGER* yek_mgr,
                                              const std::vector<YEK_PARTITION*>& partitions, int type)
{
    if (!yek_mgr->begin_modify())
        return partitions;
    std::vector<YEK_PARTITION*> refused;
    for (YEK_PARTITION* p : partitions)
        if (!p->set_netlist_type(type))
            refused.push_back(p);
    return yek_mgr->end_modify(false) ? refused : partitions;
}

// Post-fitting only: offers to give every other partition of the offered type the post-fit netlist type;
// those that refuse are named in the Messages window.
void offer_other_partitions(YEK_PARTITION_MANAGER* yek_mgr)
{
    std::vector<YEK_PARTITION*> others;
    for (const auto& [name, p] : yek_mgr->get_partition_map()) {
        VOKR_ASSERT(p != NULL);
        if (p->get_partition_type() == YEK_PARTITION_TYPE_DESIGN && p->get_netlist_type() != YEK_NETLIST_POST_FIT)
            others.push_back(p.get());
    }
    if (others.empty() ||
        vokr_prompt(vokr_msg_post_fitting_invalid_other_partition_assignments()) != MSG_PROMPT::MSG_VALUE_YES)
        return;
    const std::vector<YEK_PARTITION*> refused = set_netlist_types(yek_mgr, others, YEK_NETLIST_POST_FIT);
    if (refused.empty())
        return;
    vokr_prompt(vokr_msg_post_fitting_partition_not_supported());
    auto* list = new MSG_W(nullptr);
    list->fill_args(
        "The Netlist Type of the following partitions could not be set to Post-Fit./"
        "WVOKR_POST_FITTING_PARTITIONS_NOT_CHANGED");
    for (YEK_PARTITION* p : refused) {
        auto* item = new MSG_I(nullptr);
        item->fill_args("Partition \"%1!s!\"/IVOKR_POST_FITTING_PARTITION_NOT_CHANGED", p->get_name().c_str());
        list->add_msg(item);
    }
    vokr_post(list);
}

}  // namespace

void VOKR_TX_MANAGER::show_pre_synthesis_invalid_partition_msg(const char* name, YEK_PARTITION* partition)
{
    show_invalid_partition_msg(name, partition, false);
}

void VOKR_TX_MANAGER::show_post_fitting_invalid_partition_msg(const char* name, YEK_PARTITION* partition)
{
    show_invalid_partition_msg(name, partition, true);
}

// Offers to give the node's partition the netlist type its kind needs (unless the user declined
// that partition before) and collects the node in the list of changed or of advised partitions;
// a null name posts the pending lists.
void VOKR_TX_MANAGER::show_invalid_partition_msg(const char* name, YEK_PARTITION* partition, bool post_fitting)
{
    if (gen_is_mav())
        return;
    PARTITION_LISTS& lists = post_fitting ? pending().post_fitting : pending().pre_synthesis;
    if (!name) {
        lists.changed.flush();
        lists.advice.flush();
        return;
    }
    const PARTITION_PROMPTS& prompts = post_fitting ? POST_FITTING_PROMPTS : PRE_SYNTHESIS_PROMPTS;
    std::set<int>& declined = post_fitting ? m_declined_post_fitting_partitions : m_declined_pre_synthesis_partitions;
    if (use_equivalent_netlist_dialog() && partition && !declined.count(partition->get_id())) {
        const int answer = vokr_prompt(partition->get_id() != 0 ? prompts.ask() : prompts.ask_top());
        if (answer == MSG_PROMPT::MSG_VALUE_YES) {
            YEK_PARTITION_MANAGER* yek_mgr = YEK_PARTITION_MANAGER::get_instance(0, 0, 0);
            VOKR_ASSERT(yek_mgr);
            if (set_netlist_types(yek_mgr, {partition}, prompts.netlist_type).empty()) {
                lists.changed.add(name);
                if (post_fitting)
                    offer_other_partitions(yek_mgr);
                return;
            }
            vokr_prompt(prompts.not_supported());
        } else {
            declined.insert(partition->get_id());
        }
    }
    if (lists.advice.add(name) && !use_equivalent_netlist_dialog())
        vokr_prompt(prompts.advice());
}

void VOKR_TX_MANAGER::show_untappable_msg(const char* name)
{
    if (gen_is_mav())
        return;
    PENDING_LISTS& lists = pending();
    if (!name) {
        lists.untappable.flush();
        return;
    }
    if (!lists.untappable.is_pending()) {
        lists.untappable.add(name);
        vokr_prompt(vokr_msg_invalid_post_fitting_node_assignments());
        return;
    }
    lists.untappable.add(name);
}

// ---- choosing one node ---------------------------------------------------------------------------------------

namespace {

using NODE_FINDER = void (*)(QWidget*, PIRQ_INSTANCE_NAME_LIST*, const char*);

const char* const FINDER_LIBRARY = "libkorvane_tevq.so";
const char* const FINDER_ENTRY = "tevq_dyn_node_finder_dialog_instance_name_widget";

// The modal finder, loaded for one call; false (the user told why) when it cannot be loaded.
bool run_node_finder(QWidget* parent, PIRQ_INSTANCE_NAME_LIST* names, const char* title)
{
    const std::string path = gen_get_module_path() + FINDER_LIBRARY;
    THR_DRL_HANDLE library = thr_drl_load(path.c_str());
    auto finder = library ? reinterpret_cast<NODE_FINDER>(thr_drl_find_function(library, FINDER_ENTRY)) : nullptr;
    if (!finder) {
        MSG_E error(nullptr);
        error.fill_args("The node finder cannot be started: %1!s!/EVOKR_NODE_FINDER", thr_drl_get_error());
        error.post();
        if (library)
            thr_drl_unload(library);
        return false;
    }
    finder(parent, names, title);
    thr_drl_unload(library);
    return true;
}

}  // namespace

bool VOKR_TX_MANAGER::get_unb_node(QString* name, NODE_TYPE node_type, VOKR_IS_POST_FITTING_TYPE* post_fitting_type)
{
    PIRQ_INSTANCE_NAME_LIST chosen;
    const char* title = m_using_pre_synthesis_filter ? "Lumetra: pre-synthesis" : "Lumetra: post-fitting";
    if (!run_node_finder(m_frame_wnd, &chosen, title) || chosen.isEmpty())
        return false;
    const PIRQ_INSTANCE_NAME& entry = chosen.first();
    if (entry.get_kind() != 0) {  // a bus or an array: the kind counts its dimensions
        vokr_prompt(vokr_msg_no_bus_node_allowed());
        return false;
    }
    get_short_name(name, entry.get_name());
    const bool post = entry.get_flags() & TOZ_FLAG_POST_FITTING;
    const KSM_DATA_WIRE_TAP_MODE tap = post ? KSM_TAP_POST_FITTING : KSM_TAP_PRE_SYNTHESIS;
    m_using_pre_synthesis_filter = !post;
    if (post_fitting_type)
        *post_fitting_type = post ? VOKR_POST_FITTING_NAME : VOKR_PRE_SYNTHESIS_NAME;
    const QByteArray bytes = name->toLocal8Bit();
    if (node_type == NODE_TYPE_TRIGGER_OUT && !(entry.get_flags() & TOZ_FLAG_OUTPUT_PIN)) {
        vokr_prompt(vokr_msg_invalid_lumetra_trigger_out_assignment_item(bytes.constData()));
        flush_node_warnings();
        return false;
    }
    if (is_incremental_compile())
        check_node_partition(*name, tap);
    else if (post)
        show_untappable_msg(bytes.constData());
    flush_node_warnings();
    return true;
}

// Lets the user choose one node and hands it with its kind to `set`; false when none was chosen.
bool VOKR_TX_MANAGER::browse_node(NODE_TYPE node_type,
                                  void (VOKR_TX_MANAGER::*set)(const QString&, VOKR_IS_POST_FITTING_TYPE))
{
    QString name;
    VOKR_IS_POST_FITTING_TYPE kind = VOKR_PRE_SYNTHESIS_NAME;
    if (!get_unb_node(&name, node_type, &kind))
        return false;
    (this->*set)(name, kind);
    return true;
}

void VOKR_TX_MANAGER::browse_clock()
{
    if (!browse_node(NODE_TYPE_CLOCK, &VOKR_TX_MANAGER::set_clock))
        return;
    check_node_validity(-1);
    emit updated(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_CONFIG));
}
