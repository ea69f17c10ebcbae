// Undo of the repository: units, atomic steps, entry-list changes, and a long random run.
#include "ksm_test_session.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>

namespace {

// An atomic step that writes what it does, and what its instance's first row is called at
// that moment, into a shared journal.
struct RECORDING_ACTION : KSM_TX_UNDO_ACTION_ATOMIC {
    RECORDING_ACTION(std::string name, std::vector<std::string>* journal, KSM_TX_TRIGGER* list)
        : name(std::move(name)), journal(journal), list(list)
    {
    }
    ~RECORDING_ACTION() override { journal->push_back("delete " + name); }
    bool undo() override { return note("undo"); }
    bool redo() override { return note("redo"); }
    bool note(const char* what)
    {
        journal->push_back(std::string(what) + " " + name + " sees " +
                           (list->get_num_nodes() ? list->get_node_name(0) : "nothing"));
        return true;
    }
    std::string name;
    std::vector<std::string>* journal;
    KSM_TX_TRIGGER* list;
};

TEST(Undo, AtomicStepsReplayAfterTheStatesAndAreDeletedWithTheirUnit)
{
    std::vector<std::string> journal;
    {
        auto session = make_test_session();
        KSM_TX_INSTANCE* instance = session->get_instance_at(0);
        KSM_TX_TRIGGER* list = session->get_trigger_at(0);
        instance->begin_action();
        EXPECT_TRUE(instance->append_atomic_action(new RECORDING_ACTION("A", &journal, list)));
        list->insert_node("n", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);
        EXPECT_TRUE(instance->append_atomic_action(new RECORDING_ACTION("B", &journal, list)));
        instance->end_action();

        EXPECT_TRUE(instance->undo());
        EXPECT_TRUE(instance->redo());
        EXPECT_EQ(journal, (std::vector<std::string>{"undo B sees nothing", "undo A sees nothing", "redo A sees n",
                                                     "redo B sees n"}));
        journal.clear();
        instance->undo();
        journal.clear();
        instance->begin_action();  // a new unit drops the one that could be redone
        list->insert_node("m", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);
        instance->end_action();
        EXPECT_EQ(journal, (std::vector<std::string>{"delete A", "delete B"}));
        EXPECT_FALSE(instance->is_redo_available());

        EXPECT_FALSE(instance->append_atomic_action(new RECORDING_ACTION("outside", &journal, list)));
        EXPECT_EQ(journal.back(), "delete outside");
    }
}

TEST(Undo, UnitsWithoutChangeLeaveNoStepAndNestedBracketsMakeOne)
{
    auto session = make_test_session();
    KSM_TX_INSTANCE* instance = session->get_instance_at(0);
    KSM_TX_SIGNAL_SET* set = session->get_signal_set_at(0);
    instance->begin_action();
    set->set_sample_depth(set->get_sample_depth());  // same value: no change
    instance->end_action();
    EXPECT_FALSE(instance->is_undo_available());

    instance->begin_action();
    set->set_sample_depth(256);
    instance->begin_action();
    set->set_pipeline_level(2);
    instance->end_action();
    set->set_clock("clk", false);
    instance->end_action();
    EXPECT_TRUE(instance->undo());
    EXPECT_FALSE(instance->is_undo_available());
    EXPECT_EQ(set->get_sample_depth(), 128);
    EXPECT_EQ(set->get_pipeline_level(), 0);
    EXPECT_STREQ(set->get_clock_name(), "");
    EXPECT_FALSE(instance->undo()) << "an empty history changes nothing";
}

TEST(Undo, EntryListChangesComeBackWithTheSameObjects)
{
    auto session = make_test_session();
    KSM_TX_INSTANCE* first = session->get_instance_at(0);
    first->begin_action();
    const int entry = session->create_lumetra_instance();
    first->end_action();
    ASSERT_EQ(entry, 1);
    KSM_TX_INSTANCE* second = session->get_instance_at(1);
    KSM_TX_TRIGGER* second_trigger = session->get_trigger_at(1);
    second_trigger->insert_node("kept", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);

    first->begin_action();
    session->remove_lumetra_instance(1);
    session->set_power_up_trigger_mode(0, true);
    first->end_action();
    EXPECT_EQ(session->get_num_instances(), 2);
    EXPECT_TRUE(session->is_power_up_view(1));
    EXPECT_STREQ(second_trigger->get_node_name(0), "kept") << "a removed instance stays alive in the history";

    ASSERT_TRUE(first->undo());
    EXPECT_EQ(session->get_num_instances(), 2);
    EXPECT_FALSE(session->is_power_up_trigger(0));
    EXPECT_EQ(session->get_instance_at(1), second);
    EXPECT_EQ(session->get_trigger_at(1), second_trigger);
    ASSERT_TRUE(first->undo());
    EXPECT_EQ(session->get_num_instances(), 1);
    ASSERT_TRUE(first->redo());
    EXPECT_EQ(session->get_instance_at(1), second);
}

TEST(Undo, HistoryKeepsAtMostTheMaximumNumberOfSteps)
{
    auto session = make_test_session();
    KSM_TX_INSTANCE* instance = session->get_instance_at(0);
    KSM_TX_SIGNAL_SET* set = session->get_signal_set_at(0);
    instance->set_max_undo_steps(3);
    for (int depth : {256, 512, 1024, 2048, 4096}) {
        instance->begin_action();
        set->set_sample_depth(depth);
        instance->end_action();
    }
    int undone = 0;
    while (instance->undo())
        ++undone;
    EXPECT_EQ(undone, 3);
    EXPECT_EQ(set->get_sample_depth(), 512);
    EXPECT_EQ(instance->get_max_undo_steps(), 3);
}

// The trigger rows of entry 0 ('>' per level, '*' selected, '!' invalid), the entries ('^' for
// a power-up entry), the logs of entry 0 ('*' active), the JTAG chain and the file name.
std::string described(KSM_TX_SESSION* session)
{
    std::string text;
    KSM_TX_TRIGGER* t = session->get_trigger_at(0);
    for (int r = 0; r < t->get_num_nodes(); ++r)
        text += std::string(t->get_depth(r), '>') + t->get_node_name(r) + (t->is_selected(r) ? "*" : "") +
                (t->is_invalid(r) ? "!" : "") + " ";
    text += "|";
    for (int e = 0; e < session->get_num_instances(); ++e)
        text += std::string(" ") + session->get_instance_name_at(e) + (session->is_power_up_view(e) ? "^" : "");
    text += " |";
    for (int l = 0; l < t->get_num_logs(); ++l)
        text += std::string(" ") + t->get_log(l)->get_name() + (t->get_log(l) == t->get_active_log() ? "*" : "");
    const std::string path = session->get_data_session()->get_name();
    return text + " | " + session->get_jtag_chain_name() + "@" + path.substr(path.rfind('/') + 1);
}

// A unit followed by a change outside any unit: undo takes back the unit's change alone, redo
// makes it again, and the outside change stays throughout.
TEST(Undo, ChangesMadeAfterAUnitOutsideItSurviveItsUndoAndRedo)
{
    using S = KSM_TX_SESSION;
    const struct {
        const char* what;
        std::function<void(S*)> unit, outside;
        std::string undone, redone;
    } cases[] = {
        {"row renamed, then selected", [](S* s) { s->get_trigger_at(0)->rename_node(1, "B"); },
         [](S* s) { s->get_trigger_at(0)->set_selected(1, true); }, "a b* c d | I | log: 1 log: 2* | @test.lmx",
         "a B* c d | I | log: 1 log: 2* | @test.lmx"},
        {"rows grouped, then a member marked", [](S* s) { s->get_trigger_at(0)->group_nodes(1, 2); },
         [](S* s) { s->get_trigger_at(0)->set_invalid(3, true); }, "a b c! d | I | log: 1 log: 2* | @test.lmx",
         "a Group 1 >b >c! d | I | log: 1 log: 2* | @test.lmx"},
        {"row moved, then another selected", [](S* s) { s->get_trigger_at(0)->move_nodes(3, 3, 0, false); },
         [](S* s) { s->get_trigger_at(0)->set_selected(2, true); }, "a b* c d | I | log: 1 log: 2* | @test.lmx",
         "d a b* c | I | log: 1 log: 2* | @test.lmx"},
        {"row deleted, then one added", [](S* s) { s->get_trigger_at(0)->delete_nodes(1, 1); },
         [](S* s) { s->get_trigger_at(0)->insert_node("e", KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false); },
         "a b c d e | I | log: 1 log: 2* | @test.lmx", "a c d e | I | log: 1 log: 2* | @test.lmx"},
        {"row copied, then the original selected", [](S* s) { s->get_trigger_at(0)->copy_nodes(0, 0, 4, false); },
         [](S* s) { s->get_trigger_at(0)->set_selected(0, true); }, "a* b c d | I | log: 1 log: 2* | @test.lmx",
         "a* b c d a | I | log: 1 log: 2* | @test.lmx"},
        {"power-up entry made, then an instance added and the JTAG chain set",
         [](S* s) { s->set_power_up_trigger_mode(0, true); },
         [](S* s) {
             s->get_data_session()->create_lumetra_instance("J");
             s->set_jtag_chain_name("usb");
         },
         "a b c d | I J | log: 1 log: 2* | usb@test.lmx", "a b c d | I I^ J | log: 1 log: 2* | usb@test.lmx"},
        {"instance added, then the session saved under another name", [](S* s) { s->create_lumetra_instance(); },
         [](S* s) { s->get_data_session()->set_name("renamed.lmx"); }, "a b c d | I | log: 1 log: 2* | @renamed.lmx",
         "a b c d | I auto_lumetra_1 | log: 1 log: 2* | @renamed.lmx"},
        {"log before the active one removed, then a new one made active",
         [](S* s) { s->remove(0, s->get_signal_set_at(0)->get_name(), s->get_trigger_at(0)->get_name(), "log: 1"); },
         [](S* s) { s->set_active_log(0, s->create_new_log(0)); }, "a b c d | I | log: 1 log: 2 log: 3* | @test.lmx",
         "a b c d | I | log: 2 log: 3* | @test.lmx"},
    };
    for (const auto& c : cases) {
        auto session = make_test_session();
        KSM_TX_INSTANCE* instance = session->get_instance_at(0);
        instance->set_name("I");
        for (const char* name : {"a", "b", "c", "d"})
            session->get_trigger_at(0)->insert_node(name, KSM_STYPE_INPUT_PIN, KSM_TAP_PRE_SYNTHESIS, false);
        for (int i = 0; i < 2; ++i)
            session->set_active_log(0, session->create_new_log(0));
        instance->begin_action();
        c.unit(session.get());
        instance->end_action();
        c.outside(session.get());
        ASSERT_TRUE(instance->undo());
        EXPECT_EQ(described(session.get()), c.undone) << c.what;
        ASSERT_TRUE(instance->redo());
        EXPECT_EQ(described(session.get()), c.redone) << c.what;
    }
}

// ---- a long random run ------------------------------------------------------------------------------

class RANDOM_EDITS {
public:
    RANDOM_EDITS(KSM_TX_SESSION* session, unsigned seed) : m_session(session), m_random(seed) {}

    int pick(int n) { return n <= 0 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    // One random edit somewhere in the session.
    void edit()
    {
        const int entries = m_session->get_num_instances();
        const int entry = pick(entries);
        KSM_TX_TRIGGER* t = m_session->get_trigger_at(entry);
        KSM_TX_SIGNAL_SET* s = m_session->get_signal_set_at(entry);
        KSM_TX_SIGNAL_NODES* list = pick(3) ? static_cast<KSM_TX_SIGNAL_NODES*>(t) : s;
        const int n = list->get_num_nodes();
        const std::string name = "n" + std::to_string(m_counter++);
        switch (pick(24)) {
        case 0:
        case 1:
        case 2:
            list->insert_node(name.c_str(), KSM_STYPE_REGISTERED,
                              pick(2) ? KSM_TAP_POST_FITTING : KSM_TAP_PRE_SYNTHESIS, false);
            break;
        case 3: list->group_nodes(pick(n), pick(n)); break;
        case 4: list->ungroup_node(pick(n)); break;
        case 5: list->set_selected(pick(n), !list->is_selected(pick(n))); break;
        case 6: list->move_selected_nodes(pick(n + 1), pick(2)); break;
        case 7: list->copy_nodes(pick(n), pick(n), pick(n + 1), pick(2)); break;
        case 8: list->delete_nodes(pick(n), pick(n)); break;
        case 9:
            t->set_power_up_selection(pick(2));
            t->set_trigger_condition(pick(t->get_num_nodes()), pick(3),
                                     static_cast<KSM_DATA_TRIGGER_CONDITION>(pick(9)));
            break;
        case 10:
            t->set_pattern_condition(pick(t->get_num_nodes()), pick(3),
                                     static_cast<KSM_DATA_TRIGGER_CONDITION>(pick(9)));
            break;
        case 11: t->set_comparison_value(pick(t->get_num_nodes()), pick(3), 1 + pick(2), pick(1000) - 500); break;
        case 12: t->set_num_levels(1 + pick(4)); break;
        case 13: t->set_level_type(pick(t->get_num_levels()), static_cast<KSM_DATA_TRIGGER_LEVEL_TYPE>(pick(4))); break;
        case 14:
            s->set_sample_depth(1 << (pick(10) + 1));
            s->set_clock(name.c_str(), pick(2));
            break;
        case 15:
            list->set_node_alias(pick(n), pick(2) ? name.c_str() : "");
            list->rename_node(pick(n), name.c_str());
            break;
        case 16: m_session->set_global_data(("key " + std::to_string(pick(5))).c_str(), pick(100)); break;
        case 17: m_session->get_instance_at(entry)->set_position_data("active tab", pick(3)); break;
        case 18:
            if (entries < 6)
                m_session->create_lumetra_instance();
            break;
        case 19:
            if (entry > 1)
                m_session->remove_lumetra_instance(entry);
            break;
        case 20:
            if (!m_session->is_power_up_view(entry))
                m_session->set_power_up_trigger_mode(entry, !m_session->is_power_up_trigger(entry));
            break;
        case 21:
            t->set_storage_qualifier_type(static_cast<KSM_DATA_STORAGE_QUALIFIER_TYPE>(pick(6)));
            t->get_trigger_in()->set_pin_name(name.c_str());
            break;
        case 22: {
            KSM_DATA_MNEMONICS* m = m_session->get_data_session()->get_mnemonics();
            if (KSM_DATA_MNEMONICS_TABLE* table =
                    pick(2) ? m->create_table(name.c_str(), 2) : m->get_table(pick(m->get_num_tables())))
                table->add_entry(name.c_str(), pick(2) ? "01" : "10");
            break;
        }
        default:
            list->toggle_node(pick(n));
            list->set_signal_inverted(pick(n), pick(2));
            break;
        }
    }

private:
    KSM_TX_SESSION* m_session;
    std::mt19937 m_random;
    int m_counter = 0;
};

// Changes made outside any unit, to values that no unit of RANDOM_EDITS touches: stored values
// under keys of their own, the JTAG names, attached files, named instances and data logs.
class OUTSIDE_EDITS {
public:
    OUTSIDE_EDITS(unsigned seed, std::string sif_path) : m_random(seed), m_sif_path(std::move(sif_path)) {}

    void edit(KSM_TX_SESSION* session)
    {
        const std::string n = std::to_string(m_counter++);
        const std::string key = "outside " + std::to_string(pick(4));
        switch (pick(7)) {
        case 0: session->set_global_data(key.c_str(), pick(100)); break;
        case 1: session->get_instance_at(0)->set_position_data(key.c_str(), pick(100)); break;
        case 2: session->set_jtag_chain_name(("chain " + n).c_str()); break;
        case 3: session->set_jtag_device_name(("device " + n).c_str()); break;
        case 4: session->embed_sif_file(m_sif_path.c_str(), ("sif " + n).c_str()); break;
        case 5: session->get_data_session()->create_lumetra_instance(("outside_" + n).c_str()); break;
        default: session->set_active_log(0, session->create_new_log(0)); break;
        }
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    std::mt19937 m_random;
    std::string m_sif_path;
    int m_counter = 0;
};

QByteArray saved(KSM_TX_SESSION* session, const QString& path)
{
    EXPECT_TRUE(session->save_session(path.toLocal8Bit().constData())) << session->get_last_error();
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return file.readAll();
}

// Units of random edits with changes outside any unit between them. Undoing every unit must
// give the start with only the outside changes made (as a second session that saw only those
// shows); redoing every unit must give the edited session again, outside changes included.
TEST(Undo, RandomEditsUndoneKeepOnlyTheOutsideChangesAndRedoneGiveTheEditedFile)
{
    const int edits = env_number("KSM_UNDO_EDITS", 3000);
    QTemporaryDir dir;
    QFile sif(dir.filePath("programming.sif"));
    ASSERT_TRUE(sif.open(QIODevice::WriteOnly) && sif.write("programming bytes") > 0);
    sif.close();
    auto session = make_test_session();
    auto outside_only = make_test_session();
    RANDOM_EDITS random(session.get(), 20261207), same_start(outside_only.get(), 20261207);
    for (int i = 0; i < 40; ++i) {  // a start that is not empty
        random.edit();
        same_start.edit();
    }
    OUTSIDE_EDITS outside(7, sif.fileName().toStdString()), same_outside(7, sif.fileName().toStdString());
    KSM_TX_INSTANCE* instance = session->get_instance_at(0);
    instance->set_max_undo_steps(edits + 1);
    const QByteArray original = saved(session.get(), dir.filePath("original.lmx"));

    int units = 0;
    for (int done = 0; done < edits; ++units) {
        instance->begin_action();
        for (int k = 1 + random.pick(8); k > 0 && done < edits; --k, ++done)
            random.edit();
        instance->end_action();
        for (int k = random.pick(3); k > 0; --k) {
            outside.edit(session.get());
            same_outside.edit(outside_only.get());
        }
    }
    const QByteArray edited = saved(session.get(), dir.filePath("edited.lmx"));
    const QByteArray outside_changes = saved(outside_only.get(), dir.filePath("outside.lmx"));
    ASSERT_NE(edited, outside_changes);
    ASSERT_NE(outside_changes, original);

    int undone = 0;
    while (instance->undo())
        ++undone;
    EXPECT_LE(undone, units);
    EXPECT_EQ(saved(session.get(), dir.filePath("undone.lmx")), outside_changes);
    while (instance->redo())
        ;
    EXPECT_EQ(saved(session.get(), dir.filePath("redone.lmx")), edited);
}

}  // namespace
