// Acquisitions on the simulated target from the manager: the captured samples and trigger sample
// checked against an evaluation of the demo behaviours written here, the status events and their
// delivery on the GUI thread, the recompile question, stop, errors and the offload.
#include "manager_test_support.h"

#include "daw.h"
#include "faj.h"
#include "jop.h"
#include "vokr_control_cmd_ela_int.h"
#include "vokr_update_state_event.h"
#include "vokr_view.h"
#include "vokr_view_molq_handler.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>

#include <sstream>
#include <thread>

#ifndef VOKR_EXAMPLES_DIR
#error "VOKR_EXAMPLES_DIR must name the examples directory"
#endif

using namespace manager_test;

namespace {

// Records the state events delivered to it and whether they came on the GUI thread.
class RECORDER : public QObject {
public:
    struct EVENT {
        uint32_t state;
        uint32_t instance;
        uint64_t extra;
        bool on_gui_thread;
    };
    std::vector<EVENT> events;

    bool event(QEvent* e) override
    {
        if (e->type() != VOKR_UPDATE_STATE_EVENT::TYPE)
            return QObject::event(e);
        const auto* u = static_cast<VOKR_UPDATE_STATE_EVENT*>(e);
        events.push_back({u->get_state(), u->get_sender()->get_instance_index(), u->get_extra(),
                          QThread::currentThread() == QCoreApplication::instance()->thread()});
        return true;
    }
    std::vector<uint32_t> states()
    {
        QCoreApplication::sendPostedEvents();
        std::vector<uint32_t> out;
        for (const EVENT& e : events)
            out.push_back(e.state);
        return out;
    }
};

// A callback that acts in the middle of its calls, as a Stop on the GUI thread may come while
// the acquisition's thread is making one.
class HOOKED_CALLBACK : public VOKR_CONTROL_CMD_ELA_INT {
public:
    using VOKR_CONTROL_CMD_ELA_INT::VOKR_CONTROL_CMD_ELA_INT;
    std::function<void(uint32_t code)> during;
    void notify(uint32_t code, uint32_t argument, uint64_t extra) override
    {
        VOKR_CONTROL_CMD_ELA_INT::notify(code, argument, extra);
        if (during)
            during(code);
    }
};

const std::vector<uint32_t> FULL_RUN = {0x800000, 0x2000, 0x4000, 0x10000, 0x20000, 0x400000, 0x40000};

// ---- the demo behaviours, sample by sample ----

uint64_t mix(uint64_t x)
{
    uint64_t z = x + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Bit `bit` of a one-dimensional demo node at sample t (the demo's data rows have one dimension).
bool demo_bit(const std::string& row, long long t)
{
    const size_t open = row.find('[');
    const std::string path = row.substr(0, open);
    const PRJ_NODE* node = PRJ_PROJECT::get_open()->find_node(path);
    if (!node || t < 0)
        return false;
    const long long index = open == std::string::npos ? 0 : std::stoll(row.substr(open + 1));
    const long long bit = node->dimensions.empty() ? 0 : index - node->dimensions[0].second;
    std::istringstream words(node->behaviour);
    std::string kind;
    unsigned long long n = 0;
    words >> kind >> n;
    if (kind == "counter")
        return ((t / static_cast<long long>(n)) >> bit) & 1;
    if (kind == "random")
        return (mix(n * 0x9E3779B97F4A7C15ull + static_cast<uint64_t>(bit) * 0xD1B54A32D192ED03ull +
                    static_cast<uint64_t>(t / 64)) >>
                (t % 64)) &
               1;
    if (kind == "states") {
        std::vector<std::string> states{std::to_string(n)};
        for (std::string s; words >> s;)
            states.push_back(s);
        std::string state = states[static_cast<size_t>(t) % states.size()];
        state.insert(0, 8, '0');  // the stream read the first one as a number: pad it back
        return state[state.size() - 1 - static_cast<size_t>(bit)] == '1';
    }
    return false;
}

struct CONDITION {
    const char* row;
    KSM_DATA_TRIGGER_CONDITION condition;
};
struct LEVEL {
    KSM_DATA_TRIGGER_LEVEL_TYPE type;
    std::vector<CONDITION> conditions;
};

bool holds(const CONDITION& c, long long t)
{
    const bool now = demo_bit(c.row, t), before = demo_bit(c.row, t - 1);
    switch (c.condition) {
    case KSM_CTYPE_HIGH: return now;
    case KSM_CTYPE_LOW: return !now;
    case KSM_CTYPE_RISING_EDGE: return t > 0 && now && !before;
    case KSM_CTYPE_FALLING_EDGE: return t > 0 && !now && before;
    default: return t > 0 && now != before;
    }
}

long long expected_trigger(const std::vector<LEVEL>& levels)
{
    long long t = 0;
    for (size_t l = 0; l < levels.size(); ++l, ++t) {
        const LEVEL& level = levels[l];
        for (;; ++t) {
            bool met = level.type == KSM_LTYPE_BASIC_AND;
            for (const CONDITION& c : level.conditions)
                met = level.type == KSM_LTYPE_BASIC_AND ? met && holds(c, t) : met || holds(c, t);
            if (met)
                break;
        }
    }
    return t - 1;
}

class ACQUISITION : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        daw_sim::reset();
        ASSERT_NO_FATAL_FAILURE(open_demo_project());
        frame = std::make_unique<VOKR_FRAME_WND>(nullptr, WEX_FRAME_MODE_MAIN_WINDOW, 0, 0);
        m = frame->get_tx_manager();
        ASSERT_NO_FATAL_FAILURE(open_session(m, "demo.lmx"));
    }
    void TearDown() override
    {
        daw_sim::reset();
        frame.reset();
        MANAGER_TEST::TearDown();
    }

    // Sets the current trigger's levels, every other condition being "don't care".
    void set_trigger(const std::vector<LEVEL>& levels, KSM_DATA_TRIGGER_POSITION position)
    {
        KSM_TX_TRIGGER* t = m->get_trigger_nodes(-1);
        ASSERT_TRUE(t->set_num_levels(static_cast<int>(levels.size())));
        for (int l = 0; l < static_cast<int>(levels.size()); ++l) {
            t->set_level_type(l, levels[l].type);
            for (int row = 0; row < t->get_num_nodes(); ++row)
                t->set_trigger_condition(row, l, KSM_CTYPE_DONT_CARE);
            for (const CONDITION& c : levels[l].conditions)
                ASSERT_TRUE(t->set_trigger_condition(t->find_node(c.row), l, c.condition)) << c.row;
        }
        t->set_trigger_position(position);
    }

    // A run of these entries with callbacks that post to the recorder.
    void run(std::initializer_list<int> entries, bool autorun = false,
             const std::function<void(uint32_t)>& during = nullptr)
    {
        requests.clear();
        for (int e : entries) {
            callbacks.push_back(std::make_unique<HOOKED_CALLBACK>(&recorder, e));
            callbacks.back()->during = during;
            DAW_CONTROL::ACQ_PARAMETER p;
            p.callback = callbacks.back().get();
            p.autorun = autorun;
            requests.push_back(p);
        }
        m->run(&requests);
    }

    int log_count(int entry) const { return m->get_session()->get_trigger_at(entry)->get_num_logs(); }

    std::unique_ptr<VOKR_FRAME_WND> frame;
    VOKR_TX_MANAGER* m = nullptr;
    RECORDER recorder;
    std::vector<std::unique_ptr<HOOKED_CALLBACK>> callbacks;
    std::vector<DAW_CONTROL::ACQ_PARAMETER> requests;
};

TEST_F(ACQUISITION, DemoRunCapturesTheBehavioursAroundTheFirstTriggerSample)
{
    struct CASE {
        const char* what;
        std::vector<LEVEL> levels;
        KSM_DATA_TRIGGER_POSITION position;
        int pre;  // samples before the trigger sample in a 1024-sample log
    };
    const std::vector<CASE> cases = {
        {"level on a bit", {{KSM_LTYPE_BASIC_AND, {{"cpu|pc[3]", KSM_CTYPE_HIGH}}}}, KSM_TPOS_PRE, 128},
        {"rising edge", {{KSM_LTYPE_BASIC_AND, {{"led[1]", KSM_CTYPE_RISING_EDGE}}}}, KSM_TPOS_CENTER, 512},
        {"AND of two",
         {{KSM_LTYPE_BASIC_AND, {{"mem_ctrl|fifo|full", KSM_CTYPE_HIGH}, {"uart|tx|busy", KSM_CTYPE_LOW}}}},
         KSM_TPOS_POST,
         896},
        {"OR level",
         {{KSM_LTYPE_BASIC_OR, {{"cpu|alu|carry", KSM_CTYPE_FALLING_EDGE}, {"cpu|pc[9]", KSM_CTYPE_HIGH}}}},
         KSM_TPOS_CENTER,
         512},
        {"two levels in sequence",
         {{KSM_LTYPE_BASIC_AND, {{"cpu|fsm|state[2]", KSM_CTYPE_HIGH}, {"led[2]", KSM_CTYPE_HIGH}}},
          {KSM_LTYPE_BASIC_AND, {{"cpu|alu|carry", KSM_CTYPE_EITHER_EDGE}, {"uart|tx|busy", KSM_CTYPE_HIGH}}}},
         KSM_TPOS_PRE,
         128},
        // Met first at sample 2048, long after the start and on a word's first sample, whose edge
        // compares it with the word before.
        {"rare pattern with an edge",
         {{KSM_LTYPE_BASIC_AND, {{"cpu|pc[11]", KSM_CTYPE_HIGH}, {"cpu|pc[10]", KSM_CTYPE_FALLING_EDGE}}}},
         KSM_TPOS_POST,
         896},
    };
    for (const CASE& c : cases) {
        SCOPED_TRACE(c.what);
        daw_sim::reset();
        recorder.events.clear();
        set_trigger(c.levels, c.position);
        jop_record_compile(m->get_session());
        run({0});
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_TRUE(m->is_instance_acquiring(0));
        daw_sim::drain();
        ASSERT_EQ(recorder.states(), FULL_RUN);
        const auto* log = reinterpret_cast<const KSM_DATA_LOG*>(recorder.events[5].extra);
        ASSERT_EQ(log, requests[0].data_log);
        const long long trigger = expected_trigger(c.levels);
        ASSERT_EQ(log->get_data_trigger_position(-1), c.pre);
        EXPECT_TRUE(log->is_bit_trigger(c.pre));
        const KSM_TX_SIGNAL_SET* set = m->get_signal_nodes(-1);
        ASSERT_EQ(log->get_num_channels(), set->get_num_channels());
        for (int row = 0; row < set->get_num_nodes(); ++row) {
            const int channel = set->get_channel(row);
            for (int i = 0; channel >= 0 && i < log->get_data_sample_depth(); ++i) {
                const long long t = trigger - c.pre + i;
                ASSERT_EQ(log->is_bit_valid(i), t >= 0) << i;
                ASSERT_EQ(log->get_bit(channel, i), demo_bit(set->get_node_name(row), t))
                    << set->get_node_name(row) << " sample " << i;
            }
        }
    }
}

TEST_F(ACQUISITION, StatusEventsFromAnotherThreadArriveInOrderOnTheGuiThread)
{
    set_trigger({{KSM_LTYPE_BASIC_AND, {{"led[3]", KSM_CTYPE_RISING_EDGE}}}}, KSM_TPOS_CENTER);
    jop_record_compile(m->get_session());
    daw_sim::set_mode(daw_sim::THREADED, 1);
    run({0});
    ASSERT_TRUE(daw_sim::wait_idle());
    EXPECT_EQ(recorder.states(), FULL_RUN);
    for (const RECORDER::EVENT& e : recorder.events)
        EXPECT_TRUE(e.on_gui_thread);

    // Many calls from a thread of their own: as many events, in the order of the calls.
    recorder.events.clear();
    VOKR_CONTROL_CMD_ELA_INT callback(&recorder, 7);
    std::thread caller([&callback] {
        for (uint32_t i = 0; i < 500; ++i)
            callback.notify(i % 2 ? 4 : 6, i, i);
    });
    caller.join();
    const std::vector<uint32_t> states = recorder.states();
    ASSERT_EQ(states.size(), 500u);
    for (size_t i = 0; i < states.size(); ++i) {
        EXPECT_EQ(states[i], i % 2 ? 0x4000u : 0x10000u);
        EXPECT_EQ(recorder.events[i].extra, i);
        EXPECT_EQ(recorder.events[i].instance, 7u);
    }
}

// An autorun on the acquisition's thread hands a log write to the GUI thread at every capture
// while that thread takes the ones before. The callback posts nothing and the GUI thread sends
// the posted events itself, so that the courier's lock alone orders each hand-over: under the
// thread sanitizer, a queue read outside that lock is a reported race.
TEST_F(ACQUISITION, ManyLogWritesAreHandedOverWhileTheGuiThreadTakesThem)
{
    struct COUNTER : DAW_CONTROL_ELA_INT {
        std::atomic<int> ready{0}, ended{0};
        void notify(uint32_t code, uint32_t, uint64_t) override
        {
            ready += code == DAW_EVENT_DATA_READY;
            ended += code == DAW_EVENT_NOT_RUNNING;
            std::this_thread::sleep_for(std::chrono::microseconds(20));  // a pace the GUI thread keeps
        }
    } counter;
    set_trigger({{KSM_LTYPE_BASIC_AND, {{"led[3]", KSM_CTYPE_RISING_EDGE}}}}, KSM_TPOS_CENTER);
    jop_record_compile(m->get_session());
    QCoreApplication::processEvents();
    daw_sim::set_mode(daw_sim::THREADED, 0);
    std::vector<DAW_CONTROL::ACQ_PARAMETER> parameters(1);
    parameters[0].data_log = m->get_session()->create_new_log(0);
    parameters[0].callback = &counter;
    parameters[0].autorun = true;
    ASSERT_TRUE(DAW_CONTROL::run(&parameters));
    QElapsedTimer clock;
    clock.start();
    while (counter.ready < 1000 && clock.elapsed() < 60000)
        QCoreApplication::sendPostedEvents();
    m->stop(-1);
    ASSERT_TRUE(daw_sim::wait_idle(20000));
    EXPECT_GE(counter.ready, 1000);
    EXPECT_EQ(counter.ended, 1);
    EXPECT_TRUE(parameters[0].data_log->is_data_available(false));
}

TEST_F(ACQUISITION, CodesMapToStatesAndOthersPostNothing)
{
    const struct {
        uint32_t code, state;
    } cases[] = {{0, 0x800000},   {1, 0x2000},   {3, 0x2008000}, {10, 0x400000}, {13, 0x2040000},
                 {15, 0x1000000}, {17, 0x80000}, {16, 0},        {18, 0},        {1000, 0}};
    VOKR_CONTROL_CMD_ELA_INT callback(&recorder, 0);
    callback.notify(17, 5, 0);
    recorder.states();
    for (const auto& c : cases) {
        recorder.events.clear();
        callback.notify(c.code, 40 + c.code, 99);
        const std::vector<uint32_t> states = recorder.states();
        EXPECT_EQ(states, c.state ? std::vector<uint32_t>{c.state} : std::vector<uint32_t>{}) << c.code;
        if (c.state) {
            EXPECT_EQ(callback.get_last_argument(), 40 + c.code);
            EXPECT_EQ(recorder.events[0].extra, 99u);
        } else {
            EXPECT_NE(callback.get_last_argument(), 40 + c.code) << c.code;
        }
    }
}

TEST_F(ACQUISITION, AcquiringStatesAndStoppedAtTrigger)
{
    const struct {
        int mask;
        bool acquiring;
    } states[] = {{0x40000, false}, {0x80000, false}, {0, false},     {0xc0000, true},
                  {0x800000, true}, {0x2000, true},   {0x1000, false}};  // outside the stored bits: idle
    for (const auto& s : states) {
        m->set_instance_acq_state(0, s.mask);
        EXPECT_EQ(m->is_instance_acquiring(0), s.acquiring) << std::hex << s.mask;
        EXPECT_EQ(m->is_any_instance_acquiring(), s.acquiring) << std::hex << s.mask;
    }
    const struct {
        int depth, position;
        bool stopped;
    } logs[] = {{0, 0, true}, {5, 0, false}, {5, 2, true}, {0, 3, false}};
    for (const auto& l : logs) {
        KSM_DATA_LOG* log = m->get_session()->create_new_log(0);
        log->begin_capture(1, l.depth, 0);
        log->set_trigger_positions({l.position});
        log->end_capture();
        m->get_session()->set_active_log(0, log);
        m->refresh_data_log_cache();
        EXPECT_EQ(m->is_stopped_at_trigger(), l.stopped) << l.depth << " " << l.position;
    }
}

TEST_F(ACQUISITION, IncompatibleLogAsksOnceAndNeverLeavesNewLogsBehind)
{
    ASSERT_TRUE(m->add_instance());
    ASSERT_TRUE(m->add_instance());
    frame->set_qstring_filepath(QString::fromStdString(path("demo.lmx")));
    jop_record_compile(m->get_session());
    m->get_session()->get_signal_set_at(1)->set_sample_depth(2048);  // not what was compiled
    wex_set_flow_runner(nullptr);  // the question is under test, so the design stays as compiled
    const bool fast = FAJ_RR_STATE_MANAGER::get_instance()->is_rapid_recompile_supported(false);
    const int compile_flow = fast ? FSTR_FLOW_FAST_RECOMPILATION : FSTR_FLOW_FULL_COMPILATION;
    const struct {
        bool auto_recompile;
        int answer;
        int questions;
        int flow;
        int requests;  // accepted by the acquisition control
    } cases[] = {{false, MSG_PROMPT::MSG_VALUE_CANCEL, 1, 0, 0},
                 {false, MSG_PROMPT::MSG_VALUE_YES, 1, compile_flow, 0},
                 {false, MSG_PROMPT::MSG_VALUE_NO, 1, 0, 3},
                 {true, 0, 0, compile_flow, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        REGISTRY_SCOPE registry;
        registry.set(NIXQ_VOKR_AUTO_RECOMPILE_STR, c.auto_recompile);
        m->cfg_initialize_user_registry_settings();
        daw_sim::reset();
        for (int e = 0; e < 3; ++e)  // the reset tells no callback: the acquisitions end here
            m->set_instance_acq_state(e, VOKR_ACQ_NOT_RUNNING);
        MSG_JOURNAL::clear();
        if (c.answer)
            MSG_JOURNAL::push_answer(c.answer);
        frame->start_flow(0, "", true, false, true);
        const int logs[] = {log_count(0), log_count(1), log_count(2)};
        run({0, 1, 2});
        int questions = 0;
        for (const MSG_RECORD& r : MSG_JOURNAL::records_of("prompted"))
            questions += r.text.find("Do you wish to recompile") != std::string::npos;
        EXPECT_EQ(questions, c.questions);
        EXPECT_EQ(frame->get_last_started_flow(), c.flow);
        EXPECT_EQ(daw_sim::request_count(), c.requests);
        for (int e = 0; e < 3; ++e)
            EXPECT_EQ(log_count(e), logs[e] + (c.requests ? 1 : 0)) << e;
        // Running as compiled starts acquisitions like any other run.
        EXPECT_EQ(m->is_instance_acquiring(0), c.requests > 0);
    }
    wex_set_flow_runner(jop_run_compile);
}

TEST_F(ACQUISITION, CompatibleRunStartsEveryEntryAndARefusedOneLeavesNothing)
{
    ASSERT_TRUE(m->add_instance());
    jop_record_compile(m->get_session());
    bool compile = true, reroute = true;
    EXPECT_FALSE(m->is_compile_or_reroute_needed(&compile, &reroute));
    EXPECT_FALSE(compile);
    const int logs[] = {log_count(0), log_count(1)};
    daw_sim::refuse_next_run();
    run({0, 1});
    EXPECT_FALSE(m->is_any_instance_acquiring());
    EXPECT_EQ(log_count(0), logs[0]);
    EXPECT_EQ(log_count(1), logs[1]);
    run({0, 1});
    EXPECT_TRUE(m->is_instance_acquiring(0));
    EXPECT_TRUE(m->is_instance_acquiring(1));
    EXPECT_EQ(log_count(1), logs[1] + 1);
    EXPECT_TRUE(m->is_compile_or_reroute_needed(&compile, &reroute) == false);
    // The trigger position is written into the device at the start of a run; the depth is built.
    m->get_session()->get_trigger_at(1)->set_trigger_position(KSM_TPOS_POST);
    EXPECT_FALSE(m->is_compile_or_reroute_needed(&compile, &reroute));
    m->get_session()->get_signal_set_at(1)->set_sample_depth(2048);
    EXPECT_TRUE(m->is_compile_or_reroute_needed(&compile, &reroute));
    EXPECT_TRUE(compile);
    // The frame's compile runs the simulated compile, which takes the changed trigger in.
    EXPECT_TRUE(frame->start_flow(FSTR_FLOW_FULL_COMPILATION, "", true, false, true));
    EXPECT_FALSE(m->is_compile_or_reroute_needed(&compile, &reroute));
}

// Sessions compiled by earlier builds gave every instance the same node information: an instance
// that shares it with another compiled one needs a compile, while one never compiled shares
// nothing yet and leaves the other as compiled.
TEST_F(ACQUISITION, OnlyCompiledInstancesSharingNodeInformationNeedACompile)
{
    ASSERT_TRUE(m->add_instance());
    KSM_TX_SESSION* session = m->get_session();
    const struct {
        bool shared, second_compiled;
        bool compile[2];  // per entry
    } cases[] = {{false, true, {false, false}}, {true, true, {true, true}}, {true, false, {false, true}}};
    for (const auto& c : cases) {
        jop_record_compile(session);  // places the instances apart
        if (c.shared)
            session->get_instance_at(1)->set_node_info(session->get_instance_at(0)->get_node_info());
        if (!c.second_compiled)
            session->get_instance_at(1)->set_compiled_checksums(0, 0);
        for (int e : {0, 1}) {
            SCOPED_TRACE(testing::Message()
                         << "shared " << c.shared << ", second compiled " << c.second_compiled << ", entry " << e);
            bool compile = !c.compile[e];
            ASSERT_TRUE(session->check_instance_compilation_type_at(e, &compile, nullptr));
            EXPECT_EQ(compile, c.compile[e]);
            EXPECT_EQ(jop_lmx_check_compatibility(session->get_trigger_at(e), false), !c.compile[e]);
        }
    }
}

// Each edit in turn, and whether it changes the checksum: what a compile builds does, what the
// device takes at the start of a run does not.
TEST_F(ACQUISITION, TheChecksumCoversWhatACompileBuildsAndNotWhatARunWrites)
{
    KSM_TX_TRIGGER* t = m->get_trigger_nodes(-1);
    KSM_TX_SIGNAL_SET* set = m->get_signal_nodes(-1);
    const int bit = t->find_node("cpu|pc[3]"), bus = t->find_node("cpu|pc[15..0]");
    auto flow = [this](const char* go, const char* value, const char* logical, const char* compare) {
        m->set_unified_state_text(QString("state ST1:\nif (c1 %1 %2 %3 condition1) goto %4;\nstate ST2:\ntrigger;\n"
                                          "state ST3:\ntrigger;\n")
                                      .arg(compare, value, logical, go));
    };
    auto expression = [t](const char* text) {
        t->set_level_type(1, KSM_LTYPE_ADVANCED);
        t->set_advanced_trigger_expression(1, text);
    };
    const struct {
        const char* what;
        std::function<void()> edit;
        bool compiled;
    } edits[] = {
        {"a node's condition", [&] { t->set_trigger_condition(bit, 0, KSM_CTYPE_RISING_EDGE); }, false},
        {"a pattern's condition", [&] { t->set_pattern_condition(bit, 0, KSM_CTYPE_LOW); }, false},
        {"a comparison and its values",
         [&] {
             t->set_comparison_enabled(bus, 0, true);
             t->set_comparison_operand(bus, 0, 0, KSM_CTYPE_COMPARE_EQUAL_TO);
             t->set_comparison_value(bus, 0, 0, 7);
         },
         false},
        {"a power-up condition",
         [&] {
             t->set_power_up_selection(true);
             t->set_trigger_condition(bit, 0, KSM_CTYPE_HIGH);
             t->set_power_up_selection(false);
         },
         false},
        {"the trigger position", [&] { t->set_trigger_position(KSM_TPOS_POST); }, false},
        {"the storage qualifier's switch", [&] { t->set_storage_qualifier_disabled(true); }, false},
        {"the trigger in and out conditions",
         [&] {
             t->get_trigger_in()->set_condition(KSM_CTYPE_FALLING_EDGE);
             t->get_trigger_out()->set_condition(KSM_CTYPE_ACTIVE_LOW);
         },
         false},
        {"a level's name", [&] { t->set_level_name(0, "start"); }, false},
        {"a node's alias", [&] { t->set_node_alias(bit, "pc3"); }, false},
        {"a bus's radix", [&] { t->set_group_display_type(bus, KSM_GTYPE_OCTAL); }, false},
        {"a bus's bit order", [&] { t->set_lsb_to_msb(bus, !t->get_lsb_to_msb(bus)); }, false},
        {"a node's inversion", [&] { t->set_signal_inverted(bit, true); }, false},
        {"a pattern's comparison", [&] { t->set_pattern_comparison_enabled(bus, 0, true); }, false},
        {"the sample depth", [&] { set->set_sample_depth(2048); }, true},
        {"the RAM type", [&] { set->set_ram_type(KSM_RAM_LARGE); }, true},
        {"the pipeline", [&] { set->set_pipeline_level(2); }, true},
        {"the clock", [&] { set->set_clock("cpu|alu|carry", false); }, true},
        {"a node's data enable", [&] { set->set_node_use(bit, KSM_CAPTURE_TRIGGER); }, true},
        {"a node's storage enable", [&] { t->set_storage_enabled(bit, false); }, true},
        {"a node's transitional storage", [&] { t->set_transition_enabled(bit, !t->is_transition_enabled(bit)); },
         true},
        {"a node's tap mode", [&] { set->set_tap_mode(bit, KSM_TAP_POST_FITTING); }, true},
        {"the clock's tap", [&] { set->set_clock("cpu|alu|carry", true); }, true},
        {"data nodes allocated", [&] { set->set_data_nodes_allocated(set->get_data_nodes_allocated() + 1); }, true},
        {"trigger nodes allocated", [&] { set->set_trigger_nodes_allocated(set->get_trigger_nodes_allocated() + 1); },
         true},
        {"qualifier nodes allocated",
         [&] { set->set_storage_qualifier_nodes_allocated(set->get_storage_qualifier_nodes_allocated() + 1); }, true},
        {"fabric data nodes allocated",
         [&] { set->set_corvix_data_nodes_allocated(set->get_corvix_data_nodes_allocated() + 1); }, true},
        {"fabric trigger nodes allocated",
         [&] { set->set_corvix_trigger_nodes_allocated(set->get_corvix_trigger_nodes_allocated() + 1); }, true},
        {"the pin assignments", [&] { set->set_assignment_text("probe : PIN_A1"); }, true},
        {"the level count", [&] { t->set_num_levels(2); }, true},
        {"a level's kind", [&] { t->set_level_type(0, KSM_LTYPE_BASIC_OR); }, true},
        {"a sequential level switched off", [&] { t->set_level_enabled(1, false); }, true},
        {"a pattern's kind", [&] { t->set_pattern_type(0, KSM_LTYPE_BASIC_OR); }, true},
        {"the storage qualifier", [&] { t->set_storage_qualifier_type(KSM_SQTYPE_TRANSITIONAL); }, true},
        {"the qualifier's input port", [&] { t->set_storage_qualifier_input_port("uart|tx|busy", false); }, true},
        {"its port's tap", [&] { t->set_storage_qualifier_input_port("uart|tx|busy", true); }, true},
        {"recorded discontinuities", [&] { t->set_record_data_discontinuities(true); }, true},
        {"segments", [&] { t->set_segmented(true); }, true},
        {"the segment size", [&] { t->set_segment_size(t->get_segment_size() == 64 ? 128 : 64); }, true},
        {"trigger in", [&] { t->get_trigger_in()->set_enabled(true); }, true},
        {"trigger in's source", [&] { t->get_trigger_in()->set_source(KSM_IOTYPE_NODE); }, true},
        {"trigger in's pin", [&] { t->get_trigger_in()->set_pin_name("trig_in"); }, true},
        {"trigger in's node", [&] { t->get_trigger_in()->set_node_name("uart|tx|busy"); }, true},
        {"trigger in's node tap", [&] { t->get_trigger_in()->set_node_post_fitting(true); }, true},
        {"trigger in's instance", [&] { t->get_trigger_in()->set_instance_name("other"); }, true},
        {"trigger out", [&] { t->get_trigger_out()->set_enabled(!t->get_trigger_out()->is_enabled()); }, true},
        {"trigger out's pin", [&] { t->get_trigger_out()->set_pin_name("probe"); }, true},
        {"trigger out's instance", [&] { t->get_trigger_out()->set_instance_name("other"); }, true},
        {"trigger out's event", [&] { t->get_trigger_out()->set_eps_event_index(3); }, true},
        {"trigger out's selection", [&] { t->get_trigger_out()->set_selected(KSM_IOTYPE_NODE, true); }, true},
        {"an advanced level", [&] { expression("compare({'cpu|pc[1]','cpu|pc[0]'},>,variable(1),vc,uc)"); }, true},
        {"its variable value and operator",
         [&] { expression("compare({'cpu|pc[1]','cpu|pc[0]'},<,variable(2),vc,uc)"); }, false},
        {"its comparison made constant", [&] { expression("compare({'cpu|pc[1]','cpu|pc[0]'},<,2,cc,uc)"); }, true},
        {"its constant value", [&] { expression("compare({'cpu|pc[1]','cpu|pc[0]'},<,3,cc,uc)"); }, true},
        {"a detector's pattern, a shift's and a counter's run-time values",
         [&] { expression("and(mbpm('RX',{'led[0]','led[1]'}),ec(8,9,c,1,'led[2]'))"); }, true},
        {"", [&] { expression("and(mbpm('FH',{'led[0]','led[1]'}),ec(8,200,e,0,'led[2]'))"); }, false},
        {"a counter's width", [&] { expression("and(mbpm('FH',{'led[0]','led[1]'}),ec(9,200,e,0,'led[2]'))"); }, true},
        {"state-based flow control",
         [&] {
             t->set_state_based(true);
             t->set_counter_count(1);
         },
         true},
        {"a counter's name", [&] { t->set_counter(0, "ticks", nullptr, nullptr); }, true},
        {"a counter's initial value",
         [&] {
             const unsigned int initial = 3;
             t->set_counter(0, nullptr, nullptr, &initial);
         },
         true},
        {"a flag", [&] { t->set_flag_count(1); }, true},
        {"a flag's name", [&] { t->set_flag(0, "seen", nullptr); }, true},
        {"a flag's initial value",
         [&] {
             const int initial = 1;
             t->set_flag(0, nullptr, &initial);
         },
         true},
        {"a flow", [&] { flow("ST2", "5", "&&", "<"); }, true},
        {"its goto destination", [&] { flow("ST3", "5", "&&", "<"); }, true},
        {"run-time options",
         [&] {
             for (auto option : {RUV_RUNTIME_GOTO_DESTINATIONS, RUV_RUNTIME_COMPARISON_VALUES,
                                 RUV_RUNTIME_LOGICAL_OPERATORS, RUV_RUNTIME_COMPARISON_OPERATORS})
                 m->set_configurable(option, true);
         },
         true},
        {"the run-time parts of the flow", [&] { flow("ST2", "6", "||", ">="); }, false},
        {"a flow counter's width",
         [&] {
             const int width = 8;
             t->set_counter(0, nullptr, &width, nullptr);
         },
         true},
    };
    for (const auto& e : edits) {
        const unsigned int before = t->get_crc_value(false);
        e.edit();
        EXPECT_EQ(t->get_crc_value(false) != before, e.compiled) << e.what;
    }
}

TEST_F(ACQUISITION, StopAndJtagErrorEndAWaitingAcquisition)
{
    // led[0] is high only while pc[3] is: this trigger is never met.
    set_trigger({{KSM_LTYPE_BASIC_AND, {{"led[0]", KSM_CTYPE_HIGH}, {"cpu|pc[3]", KSM_CTYPE_LOW}}}}, KSM_TPOS_PRE);
    jop_record_compile(m->get_session());
    run({0, 0});
    daw_sim::drain();
    EXPECT_EQ(recorder.states(), (std::vector<uint32_t>{0x800000, 0x800000, 0x2000, 0x2000}));
    daw_sim::jtag_error(1, 3);
    daw_sim::drain();
    EXPECT_EQ(callbacks[1]->get_last_argument(), 3u);
    EXPECT_EQ(recorder.states().back(), 0x80000u);
    recorder.events.clear();
    m->stop(-1);  // ends the first; the second ended with its error
    daw_sim::inject(1, 4, 0);
    daw_sim::drain();
    EXPECT_EQ(recorder.states(), (std::vector<uint32_t>{0x40000}));
    EXPECT_EQ(recorder.events[0].instance, 0u);
    EXPECT_FALSE(requests[0].data_log->is_data_available(false));
    EXPECT_FALSE(requests[0].data_log->is_acquiring_data());
}

// A stop after each call of a run, and after an autorun's first capture, made once the call
// has returned and once in its midst: the next call is "not running", and the log keeps no
// capture that was not written before the stop, not even one whose data ready was being
// announced when the stop came.
TEST_F(ACQUISITION, StopEndsTheRunInEveryPhase)
{
    set_trigger({{KSM_LTYPE_BASIC_AND, {{"led[3]", KSM_CTYPE_RISING_EDGE}}}}, KSM_TPOS_CENTER);
    jop_record_compile(m->get_session());
    m->set_logging(true);  // each run writes a log of its own
    for (size_t calls = 1; calls <= FULL_RUN.size(); ++calls)
        for (const bool autorun : {false, true})
            for (const bool midst : {false, true}) {
                SCOPED_TRACE(testing::Message() << calls << " calls, autorun " << autorun << ", midst " << midst);
                daw_sim::reset();
                recorder.events.clear();
                m->set_instance_acq_state(0, VOKR_ACQ_NOT_RUNNING);
                size_t made = 0;
                run({0}, autorun, [&](uint32_t) {
                    if (midst && ++made == calls)
                        m->stop(-1);
                });
                for (size_t i = 0; i < calls; ++i)
                    daw_sim::step();
                std::vector<uint32_t> expected = recorder.states();
                const bool captured = std::count(expected.begin(), expected.end() - midst, 0x400000u) > 0;
                if (expected.back() != 0x40000)
                    expected.push_back(0x40000);
                if (!midst)
                    m->stop(-1);
                daw_sim::drain();
                EXPECT_EQ(recorder.states(), expected);
                EXPECT_EQ(requests[0].data_log->is_data_available(false), captured);
                EXPECT_FALSE(requests[0].data_log->is_acquiring_data());
            }
}

// On the acquisition's thread a run ends with data ready and "not running"; a stop that comes
// before the GUI thread wrote that capture drops it, as it does in every earlier phase.
TEST_F(ACQUISITION, StopAfterTheLastCallDropsACaptureNotYetWritten)
{
    set_trigger({{KSM_LTYPE_BASIC_AND, {{"led[3]", KSM_CTYPE_RISING_EDGE}}}}, KSM_TPOS_CENTER);
    jop_record_compile(m->get_session());
    daw_sim::set_mode(daw_sim::THREADED, 1);
    std::atomic<bool> ended{false};
    run({0}, false, [&ended](uint32_t code) { ended = ended || code == DAW_EVENT_NOT_RUNNING; });
    // The writes wait for this thread's events, which are not run before the stop.
    for (int waited = 0; !ended && waited < 20000; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(ended);
    m->stop(-1);
    ASSERT_TRUE(daw_sim::wait_idle());
    EXPECT_EQ(recorder.states(), FULL_RUN);
    EXPECT_FALSE(requests[0].data_log->is_data_available(false));
    EXPECT_FALSE(requests[0].data_log->is_acquiring_data());
}

// The target makes the nodes' signals from the open project's design: without a project, or
// with one that has none of the instance's nodes, a run is refused with the reason.
TEST_F(ACQUISITION, RunWithoutTheDesignIsRefusedWithTheReason)
{
    jop_record_compile(m->get_session());
    const struct {
        const char* project;  // null: none open
        const char* reason;
    } cases[] = {{nullptr, "no project is open"},
                 {"top other\nnode x input pre\n", "has none of the instance's nodes"}};
    for (const auto& c : cases) {
        PRJ_PROJECT::close();
        if (c.project) {
            ASSERT_NO_FATAL_FAILURE(open_project(c.project));
        }
        MSG_JOURNAL::clear();
        const int logs = log_count(0);
        run({0});
        EXPECT_EQ(daw_sim::request_count(), 0);
        EXPECT_FALSE(m->is_instance_acquiring(0));
        EXPECT_EQ(log_count(0), logs);
        const std::vector<MSG_RECORD> errors = posted("DAW_TRIGGER_NOT_RUNNABLE");
        ASSERT_EQ(errors.size(), 1u) << c.reason;
        EXPECT_NE(errors[0].text.find(c.reason), std::string::npos) << errors[0].text;
    }
}

TEST_F(ACQUISITION, ReadDataShowsTheOffloadOrRemovesTheLog)
{
    set_trigger({{KSM_LTYPE_BASIC_AND, {{"cpu|pc[4]", KSM_CTYPE_HIGH}}}}, KSM_TPOS_CENTER);
    const int logs = log_count(0);
    daw_sim::fail_next_offload();
    EXPECT_FALSE(m->read_data(-1));
    EXPECT_EQ(log_count(0), logs);
    HINTS hints(m);
    ASSERT_TRUE(m->read_data(0));
    EXPECT_EQ(log_count(0), logs + 1);
    KSM_DATA_LOG* log = m->get_data_log();
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(log, m->get_session()->get_trigger_at(0)->get_log(logs));
    EXPECT_TRUE(log->is_data_available(true));
    EXPECT_EQ(log->get_data_trigger_position(-1), 512);
    EXPECT_TRUE(m->get_connection_status(m->get_signal_nodes(-1)->find_node("cpu|pc[4]")));
    const std::vector<unsigned int> shown = hints.without_marks();
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[shown.size() - 2],
              VOKR_HINT_REFRESH | VOKR_HINT_POWER_UP_SWITCH | VOKR_HINT_TABS | VOKR_HINT_DATA_LOG);
    EXPECT_EQ(shown.back(), VOKR_HINT_REFRESH_VIEW);
}

// The device holds the capture of what it was programmed with: a read of another trigger, or of
// an instance it does not hold, fails with the error a run meets there, and the manager asks for
// the step to take before reading at all.
TEST_F(ACQUISITION, ReadDataNeedsTheDeviceToHoldTheTrigger)
{
    daw_sim::add_hardware("USB-Cable", {{"MR2-C40", true, false}});
    const KSM_DATA_INSTANCE_INFO info = m->get_session()->get_instance_at(0)->get_node_info();
    const unsigned int crc = m->get_trigger_nodes(-1)->get_crc_value(false);
    const struct {
        bool programmed;
        unsigned int held;
        uint32_t error;
    } cases[] = {{true, crc, 0}, {true, crc + 1, 8}, {false, 0, 5}};
    for (const auto& c : cases) {
        daw_sim::add_hardware("USB-Cable", {{"MR2-C40", true, false}});
        if (c.programmed) {
            ASSERT_TRUE(daw_sim::program("USB-Cable", "MR2-C40", info, c.held));
        }
        KSM_DATA_LOG* log = m->get_session()->create_new_log(0);
        uint32_t error = 99;
        EXPECT_EQ(DAW_CONTROL::offload(log, nullptr, &error), c.error == 0) << c.held;
        EXPECT_EQ(error, c.error) << c.held;
        EXPECT_EQ(log->is_data_available(true), c.error == 0) << c.held;
        log->remove();

        const int logs = log_count(0);
        MSG_JOURNAL::clear();
        bool refused = false;
        EXPECT_EQ(m->read_data(0, &refused, &error), c.error == 0) << c.held;
        EXPECT_EQ(refused, c.error != 0) << c.held;
        EXPECT_EQ(log_count(0), logs + (c.error == 0 ? 1 : 0)) << c.held;
        EXPECT_EQ(MSG_JOURNAL::records_of("prompted").size(), c.error == 0 ? 0u : 1u) << c.held;
    }
}

TEST_F(ACQUISITION, ProgramIsNeededWhereTheDeviceHoldsAnotherChecksum)
{
    daw_sim::add_hardware("USB-Cable", {{"MR2-C40", true, false}});
    DAW_CONTROL_NODES_SCAN scan;
    scan.set_hardware_name("USB-Cable");
    scan.set_device_name("MR2-C40");
    KSM_TX_INSTANCE* instance = m->get_session()->get_instance_at(0);
    const unsigned int crc = m->get_trigger_nodes(-1)->get_crc_value(false);
    const struct {
        uint32_t programmed;
        bool enabled;
        bool needed;
    } cases[] = {{crc, true, false}, {crc + 1, true, true}, {crc + 1, false, false}};
    for (const auto& c : cases) {
        ASSERT_TRUE(daw_sim::program("USB-Cable", "MR2-C40", instance->get_node_info(), c.programmed));
        instance->set_enabled(c.enabled);
        ASSERT_TRUE(scan.rescan());
        EXPECT_EQ(m->is_program_needed(&scan), c.needed) << c.programmed << c.enabled;
    }
}

// A device that holds the instance with another checksum refuses a run of it, before any run
// starts; a run of its power-up trigger, whose capture the device made when it powered up, starts
// and reports its phases as the power-up trigger's.
TEST_F(ACQUISITION, PowerUpRunIsNotRefusedWhereTheDeviceHoldsItsInstance)
{
    daw_sim::add_hardware("USB-Cable", {{"MR2-C40", true, false}});
    ASSERT_TRUE(m->enable_powerup_trigger(0, true));  // entry 1: the power-up trigger of entry 0
    jop_record_compile(m->get_session());
    const KSM_TX_INSTANCE* instance = m->get_session()->get_instance_at(0);
    const unsigned int earlier = m->get_session()->get_trigger_at(0)->get_crc_value(false) + 1;
    ASSERT_TRUE(daw_sim::program("USB-Cable", "MR2-C40", instance->get_node_info(), earlier));
    for (const auto& [entry, refused] : {std::pair{0, true}, {1, false}}) {
        MSG_JOURNAL::clear();
        const int requests = daw_sim::request_count();
        run({entry});
        EXPECT_EQ(shown_messages(),
                  refused ? std::vector<std::string>{"VOKR_DEVICE_NOT_PROGRAMMED"} : std::vector<std::string>{})
            << entry;
        EXPECT_EQ(daw_sim::request_count() - requests, refused ? 0 : 1) << entry;
    }
    daw_sim::drain();
    EXPECT_EQ(recorder.states(),
              std::vector<uint32_t>({0x800000, 0x2008000, 0x2004000, 0x2010000, 0x2020000, 0x400000, 0x2040000}));
}

// The bench answers a run as hardware would: a chain or device it does not have ends the run with
// the JTAG error the instance manager tells, and a clock that names no node, or never toggles,
// leaves the run waiting for the clock until a stop ends it without a capture.
TEST_F(ACQUISITION, RunMeetsTheBenchAsHardwareWould)
{
    set_trigger({{KSM_LTYPE_BASIC_AND, {{"led[3]", KSM_CTYPE_RISING_EDGE}}}}, KSM_TPOS_CENTER);
    m->set_logging(true);  // each run writes a log of its own
    KSM_TX_SESSION* session = m->get_session();
    const std::vector<uint32_t> failed = {0x800000, 0x80000}, waiting = {0x800000, 0x200000, 0x40000};
    const struct {
        const char* chain;
        const char* device;
        const char* clock;
        std::vector<uint32_t> states;
        uint32_t error;
    } cases[] = {{"USB-Cable", "MR2-C40", "clk", FULL_RUN, 0},
                 {"Gone-Cable", "MR2-C40", "clk", failed, 2},
                 {"USB-Cable", "TV1-A10", "clk", failed, 5},
                 {"USB-Cable", "MR2-C40", "no_such_clock", waiting, 0},
                 {"USB-Cable", "MR2-C40", "rst_n", waiting, 0}};  // held high
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.chain) + " " + c.device + " " + c.clock);
        daw_sim::reset();
        daw_sim::add_hardware("USB-Cable", {{"MR2-C40", true, false}});
        recorder.events.clear();
        session->set_jtag_chain_name(c.chain);
        session->set_jtag_device_name(c.device);
        m->get_signal_nodes(-1)->set_clock(c.clock, false);
        jop_record_compile(session);
        daw_sim::program("USB-Cable", "MR2-C40", session->get_instance_at(0)->get_node_info(),
                         m->get_trigger_nodes(-1)->get_crc_value(false));
        run({0});
        daw_sim::drain();
        m->stop(-1);  // ends a run that waits; one that ended stays as it ended
        daw_sim::drain();
        EXPECT_EQ(recorder.states(), c.states);
        EXPECT_EQ(callbacks.back()->get_last_argument(), c.error);
        EXPECT_EQ(requests[0].data_log->is_data_available(false), c.states == FULL_RUN);
        EXPECT_FALSE(requests[0].data_log->is_acquiring_data());
    }
}

// Counts the view's reactions to changed assignments.
class COUNTING_VIEW : public VOKR_VIEW {
public:
    using VOKR_VIEW::VOKR_VIEW;
    void on_settings_changed() override { ++calls; }
    int calls = 0;
};

TEST_F(ACQUISITION, AssignmentsChangedReachesTheView)
{
    COUNTING_VIEW view(nullptr, m);
    VOKR_VIEW_MOLQ_HANDLER orphan(nullptr);
    EXPECT_FALSE(orphan.on_molq_notify(molq_get_message("MOLQ_MSG_OMU_ASSIGNMENTS_CHANGED"), 0, false));
    EXPECT_EQ(molq_post("MOLQ_MSG_OMU_ASSIGNMENTS_CHANGED"), 0);  // the handler answers false
    EXPECT_EQ(view.calls, 1);
    molq_post("MOLQ_MSG_SOMETHING_ELSE");
    EXPECT_EQ(view.calls, 1);
}

}  // namespace
