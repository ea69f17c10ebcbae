// Instances of the manager: removing and choosing entries, lock mode, JTAG selection, clock,
// power-up triggers and acquisition states.
#include "manager_test_support.h"

#include <QStringList>

using namespace manager_test;

namespace {

class TxInstances : public MANAGER_TEST {
protected:
    // Builds the entries from "A A' B": names of instances, a quote marks a power-up entry.
    void build(VOKR_TX_MANAGER* m, const QString& layout)
    {
        m->new_document(path("i.lmx").c_str());
        KSM_TX_SESSION* s = m->get_session();
        int entry = -1;
        for (const QString& token : layout.split(' ', Qt::SkipEmptyParts)) {
            if (token.endsWith('\'')) {
                s->set_power_up_trigger_mode(entry++, true);
                continue;
            }
            if (++entry > 0)
                s->create_lumetra_instance();
            s->get_instance_at(entry)->set_name(token.toLocal8Bit().constData());
        }
    }
    static QString entries(VOKR_TX_MANAGER* m)
    {
        QStringList list;
        for (int e = 0; e < m->get_session()->get_num_instances(); ++e)
            list << entry(m, e);
        return list.join(' ');
    }
    static QString entry(VOKR_TX_MANAGER* m, int e)
    {
        if (e < 0)
            return "none";
        return QString(m->get_session()->get_instance_name_at(e)) + (m->get_session()->is_power_up_view(e) ? "'" : "");
    }
};

TEST_F(TxInstances, RemovingAnEntryChoosesTheNextCurrentOne)
{
    const struct {
        const char* layout;
        int current;
        int removed;
        const char* left;
        const char* now_current;
    } cases[] = {
        {"A B C", 2, 2, "A B", "B"}, {"A B C", 1, 1, "A C", "C"},   {"A B C", 2, 0, "B C", "C"},
        {"A B C", 0, 2, "A B", "A"}, {"A A' B", 2, 2, "A A'", "A"}, {"A", 0, 0, "", "none"},
        {"A B", 0, -1, "B", "B"},    {"A B B'", 2, 2, "A", "A"},    {"A A' B", 0, 0, "B", "B"},
        {"A A'", 1, 1, "", "none"},
    };
    for (const auto& c : cases) {
        VOKR_TX_MANAGER m(nullptr);
        build(&m, c.layout);
        m.set_instance(c.current);
        const std::string what = std::string(c.layout) + " remove " + std::to_string(c.removed);
        EXPECT_TRUE(m.remove_instance(c.removed)) << what;
        EXPECT_EQ(entries(&m), c.left) << what;
        EXPECT_EQ(entry(&m, m.get_current_instance_index()), c.now_current) << what;
        EXPECT_EQ(QString(m.get_instance() ? m.get_instance() : "none"), QString(c.now_current).remove('\''));
    }
}

TEST_F(TxInstances, RemovingAPowerUpEntryFirstTurnsItOffInAUnitOfItsOwn)
{
    VOKR_TX_MANAGER m(nullptr);
    build(&m, "A B B'");
    m.set_instance(2);
    // Keeps the removed instance alive to look at its undo history afterwards.
    const std::shared_ptr<KSM_OBJECT> b = m.get_session()->get_instance_at(1)->shared_from_this();
    auto* instance = static_cast<KSM_TX_INSTANCE*>(b.get());
    ASSERT_FALSE(instance->is_undo_available());
    EXPECT_TRUE(m.remove_instance(2));
    EXPECT_TRUE(instance->is_undo_available());
    EXPECT_EQ(entries(&m), "A");
}

TEST_F(TxInstances, ChoosingByNameKeepsTheCurrentOneForAnUnknownName)
{
    VOKR_TX_MANAGER m(nullptr);
    build(&m, "A B C");
    m.set_instance(QString("B"));
    EXPECT_EQ(m.get_current_instance_index(), 1);
    m.set_instance(QString("nope"));
    EXPECT_EQ(m.get_current_instance_index(), 1);
    EXPECT_EQ(m.get_tx_instance(), m.get_session()->get_instance_at(1));
    EXPECT_TRUE(m.add_instance());
    EXPECT_EQ(m.get_current_instance_index(), 3);
}

TEST_F(TxInstances, LockModeChangesAreAnnouncedOnlyWhenAsked)
{
    const struct {
        const char* what;
        std::function<void(VOKR_TX_MANAGER*)> change;
        std::vector<unsigned> hints;
        VOKR_LOCK_MODE mode;
    } cases[] = {
        {"quietly",
         [](VOKR_TX_MANAGER* m) { m->set_lock_mode(VOKR_LOCK_MODE_TRIGGER_CONDITIONS, false); },
         {},
         VOKR_LOCK_MODE_TRIGGER_CONDITIONS},
        {"by label",
         [](VOKR_TX_MANAGER* m) { m->set_lock_mode(QString("Allow incremental route changes only")); },
         {VOKR_HINT_REFRESH | VOKR_HINT_STATUS | VOKR_HINT_INSTANCES | VOKR_HINT_CONFIG | VOKR_HINT_VIEW},
         VOKR_LOCK_MODE_INCREMENTAL_ROUTE},
        {"by label while acquiring",
         [](VOKR_TX_MANAGER* m) {
             m->set_lock_mode(VOKR_LOCK_MODE_INCREMENTAL_ROUTE, false);
             m->set_instance_acq_state(-1, VOKR_ACQ_STARTED);
             m->set_lock_mode(QString("Allow all changes"));
         },
         {VOKR_HINT_REFRESH | VOKR_HINT_ACQUISITION_STARTED | VOKR_HINT_INSTANCES | VOKR_HINT_CONFIG | VOKR_HINT_VIEW},
         VOKR_LOCK_MODE_ALL_CHANGES},
    };
    for (const auto& c : cases) {
        VOKR_FRAME_WND frame(nullptr, 0, 0, 0);
        VOKR_TX_MANAGER* m = frame.get_tx_manager();
        build(m, "A A'");
        HINTS hints(m);
        c.change(m);
        EXPECT_EQ(hints.list, c.hints) << c.what;
        EXPECT_EQ(m->get_lock_mode(false), c.mode) << c.what;
    }
    // A power-up view allows trigger condition changes only; the wizard allows everything.
    VOKR_FRAME_WND frame(nullptr, 0, 0, 0);
    VOKR_TX_MANAGER wizard(nullptr);
    for (VOKR_TX_MANAGER* m : {frame.get_tx_manager(), &wizard}) {
        build(m, "A A'");
        m->set_instance(1);
        m->set_lock_mode(VOKR_LOCK_MODE_INCREMENTAL_ROUTE, false);
        EXPECT_EQ(m->get_lock_mode(true),
                  m == &wizard ? VOKR_LOCK_MODE_ALL_CHANGES : VOKR_LOCK_MODE_TRIGGER_CONDITIONS);
    }
    frame.get_tx_manager()->set_instance(0);
    EXPECT_EQ(frame.get_tx_manager()->get_lock_mode(true), VOKR_LOCK_MODE_INCREMENTAL_ROUTE);
}

TEST_F(TxInstances, JtagSelectionIsStoredAndAnnouncedWhenItChanges)
{
    VOKR_TX_MANAGER m(nullptr);
    build(&m, "A");
    QString name;
    m.set_instance(-1);
    HINTS hints(&m);
    EXPECT_FALSE(m.set_jtag_hardware("USB-1", true));
    EXPECT_FALSE(m.get_jtag_hardware(&name));
    EXPECT_TRUE(m.set_jtag_chain("a.sif"));  // the programming file needs no current instance
    EXPECT_EQ(hints.list, (std::vector<unsigned>{VOKR_HINT_REFRESH | VOKR_HINT_JTAG, MODIFIED_HINT}));

    m.set_instance(0);
    hints.list.clear();
    EXPECT_TRUE(m.set_jtag_hardware("USB-1", true));
    EXPECT_EQ(hints.list, (std::vector<unsigned>{CONFIG_HINT, MODIFIED_HINT}));
    hints.list.clear();
    EXPECT_TRUE(m.set_jtag_hardware("USB-1", true));
    EXPECT_TRUE(m.set_jtag_chain("a.sif"));
    EXPECT_TRUE(m.set_jtag_hardware("USB-2", false));
    EXPECT_TRUE(hints.list.empty());
    EXPECT_TRUE(m.get_jtag_hardware(&name));
    EXPECT_EQ(name, "USB-2");
    EXPECT_TRUE(m.set_jtag_device("@1: device", true));
    EXPECT_EQ(hints.list, std::vector<unsigned>{MODIFIED_HINT});
}

TEST_F(TxInstances, ClockThatIsAlsoATriggerNodeIsReportedAndStillSet)
{
    VOKR_TX_MANAGER m(nullptr);
    build(&m, "A");
    QString clock = "unchanged";
    m.set_instance(-1);
    EXPECT_FALSE(m.get_clock(&clock, -1));
    EXPECT_EQ(clock, "");
    m.set_instance(0);
    m.get_session()->get_trigger_at(0)->insert_node("clk", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);
    HINTS hints(&m);
    m.set_clock("clk");
    EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_CLK_CONFLICT"});
    EXPECT_TRUE(m.get_clock(&clock, -1));
    EXPECT_EQ(clock, "clk");
    EXPECT_EQ(hints.list, (std::vector<unsigned>{VIEW_HINT, MODIFIED_HINT, CONFIG_HINT, UNIT_END_HINT}));
}

TEST_F(TxInstances, PowerUpEntryIsCreatedAfterItsInstanceAndRemovedFromEither)
{
    VOKR_TX_MANAGER m(nullptr);
    build(&m, "A B");
    m.set_instance(0);
    EXPECT_TRUE(m.enable_powerup_trigger(0, true));
    EXPECT_EQ(entries(&m), "A A' B");
    EXPECT_EQ(m.get_current_instance_index(), 1);
    EXPECT_EQ(m.get_int_state(0, "active tab", -1), 1);
    EXPECT_TRUE(m.is_powerup_trigger(-1));
    EXPECT_TRUE(m.is_powerup_trigger_enabled(0));
    EXPECT_TRUE(m.enable_powerup_trigger(1, false));  // the entry stands for its instance
    EXPECT_EQ(entries(&m), "A B");
    EXPECT_EQ(m.get_current_instance_index(), 0);

    m.enable_powerup_trigger(0, true);
    EXPECT_TRUE(m.enable_powerup_trigger(-1, false));  // -1 is the current entry, A'
    EXPECT_EQ(entries(&m), "A B");
    EXPECT_EQ(m.get_current_instance_index(), 0);

    VOKR_TX_MANAGER fresh(nullptr);
    build(&fresh, "A B");
    fresh.set_instance(0);
    HINTS hints(&fresh);
    EXPECT_TRUE(fresh.enable_powerup_trigger(1, false));  // nothing to turn off: no unit
    EXPECT_FALSE(fresh.get_session()->get_instance_at(1)->is_undo_available());
    EXPECT_TRUE(hints.list.empty());
    EXPECT_EQ(entries(&fresh), "A B");
}

TEST_F(TxInstances, DuplicatingCopiesTheTriggerToItsPartner)
{
    VOKR_TX_MANAGER m(nullptr);
    build(&m, "A");
    KSM_TX_TRIGGER* trigger = m.get_session()->get_trigger_at(0);
    trigger->insert_node("n", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);
    trigger->set_trigger_condition(0, 0, KSM_CTYPE_HIGH);
    m.enable_powerup_trigger(0, true);
    ASSERT_NE(trigger->get_trigger_condition(0, 0), KSM_CTYPE_HIGH);  // the power-up bank
    m.set_instance(0);
    EXPECT_FALSE(m.duplicate_powerup_trigger(-1));
    m.set_instance(1);
    EXPECT_EQ(trigger->get_trigger_condition(0, 0), KSM_CTYPE_HIGH);
    EXPECT_TRUE(m.duplicate_powerup_trigger(1));
}

TEST_F(TxInstances, AcquisitionStatesKeepOnlyTheirStateBits)
{
    VOKR_TX_MANAGER m(nullptr);
    build(&m, "A B");
    const int unstored_bit = 0x1;                                                // below the stored bits: dropped
    const int lowest_stored_bit = VOKR_ACQ_STORED_BITS & -VOKR_ACQ_STORED_BITS;  // any other stored bit is acquiring
    const std::pair<int, bool> cases[] = {{VOKR_ACQ_NOT_RUNNING, false},
                                          {VOKR_ACQ_JTAG_ERROR, false},
                                          {0, false},
                                          {unstored_bit, false},
                                          {VOKR_ACQ_NOT_RUNNING | unstored_bit, false},
                                          {VOKR_ACQ_IDLE_BITS, true},
                                          {VOKR_ACQ_STARTED, true},
                                          {lowest_stored_bit, true}};
    for (const auto& [mask, acquiring] : cases) {
        m.set_instance_acq_state(1, mask);
        EXPECT_EQ(m.is_instance_acquiring(1), acquiring) << std::hex << mask;
        EXPECT_EQ(m.is_any_instance_acquiring(), acquiring) << std::hex << mask;
    }
    m.set_instance_acq_state(1, VOKR_ACQ_NOT_RUNNING);
    m.set_instance_acq_state(300, VOKR_ACQ_STARTED);  // the table grows; entries past its end are idle
    EXPECT_TRUE(m.is_instance_acquiring(300));
    EXPECT_FALSE(m.is_instance_acquiring(5000));
    EXPECT_FALSE(m.is_any_instance_acquiring());  // no such entry in the session
    m.set_instance_acq_state(0, VOKR_ACQ_STARTED);
    EXPECT_TRUE(m.is_instance_acquiring(-1));
    m.set_instance(-1);
    EXPECT_FALSE(m.is_instance_acquiring(0));
    EXPECT_FALSE(m.is_any_instance_acquiring());
}

// A caller's mistake is refused: false, no notification, the same entries and the same
// current one, its cache intact.
TEST_F(TxInstances, MistakenCallsAreRefusedAndChangeNothing)
{
    const struct {
        const char* what;
        const char* layout;  // null: no session
        int current;
        std::function<bool(VOKR_TX_MANAGER*)> call;
    } cases[] = {
        {"remove without a session", nullptr, -1, [](VOKR_TX_MANAGER* m) { return m->remove_instance(0); }},
        {"remove the current entry when none is", "A B", -1, [](VOKR_TX_MANAGER* m) { return m->remove_instance(-1); }},
        {"remove past the entries", "A B", 1, [](VOKR_TX_MANAGER* m) { return m->remove_instance(2); }},
        {"power-up trigger past the entries", "A B", 0,
         [](VOKR_TX_MANAGER* m) { return m->enable_powerup_trigger(5, true); }},
        {"choose past the entries", "A B", 1, [](VOKR_TX_MANAGER* m) { return m->set_instance(2); }},
        {"choose before the first entry", "A B", 1, [](VOKR_TX_MANAGER* m) { return m->set_instance(-2); }},
        {"insert nodes without an instance", "A B", -1,
         [](VOKR_TX_MANAGER* m) {
             m->on_node_insert();
             return false;
         }},
    };
    for (const auto& c : cases) {
        VOKR_TX_MANAGER manager(nullptr);
        VOKR_TX_MANAGER* m = &manager;
        if (c.layout) {
            build(m, c.layout);
            m->set_instance(c.current);
        }
        const QString before = c.layout ? entries(m) : QString();
        HINTS hints(m);
        EXPECT_FALSE(c.call(m)) << c.what;
        EXPECT_TRUE(hints.list.empty()) << c.what;
        EXPECT_EQ(m->get_current_instance_index(), c.current) << c.what;
        if (!c.layout)
            continue;
        EXPECT_EQ(entries(m), before) << c.what;
        EXPECT_EQ(m->get_tx_instance(), c.current >= 0 ? m->get_session()->get_instance_at(c.current) : nullptr)
            << c.what;
    }
}

using TxInstancesDeathTest = TxInstances;

TEST_F(TxInstancesDeathTest, BrokenInvariantsEndTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    VOKR_TX_MANAGER m(nullptr);
    build(&m, "A B");
    EXPECT_DEATH(m.set_instance(QString()), "name != \"\"");
    EXPECT_DEATH(m.set_lock_mode(QString("Allow nothing")), "VOKR_LOCK_MODE_MAP\\.contains\\(lock_mode\\)");
    m.enable_powerup_trigger(0, true);
    EXPECT_DEATH(m.enable_powerup_trigger(0, true), "!is_enabled");
    EXPECT_DEATH(m.enable_powerup_trigger(1, true), "!is_enabled");
}

}  // namespace
