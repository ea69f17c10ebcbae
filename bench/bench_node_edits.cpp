// Node-list edits and their undo on a full instance of 4096 nodes; nodes inserted one by one in
// turns with the same rows pushed into a vector; and edits of lists of 1,024 and 4,096 rows in
// turns, in the repository and through an editor whose views refresh.
#include "../tests/support/ksm_test_session.h"
#include "bench_reporter.h"
#include "ksm_state.h"
#include "vokr_frame_wnd.h"
#include "vokr_layout_widget.h"
#include "vokr_tx_manager.h"

#include <QApplication>
#include <QTabWidget>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <chrono>

namespace {

constexpr int BUS_WIDTH = 16;

void fill(KSM_TX_SIGNAL_NODES* list, int count = KSM_MAX_NODES)
{
    for (int i = 0; i < count; ++i)
        list->insert_node(
            ("top|core|bus" + std::to_string(i / BUS_WIDTH) + "[" + std::to_string(i % BUS_WIDTH) + "]").c_str(),
            KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
}

// Groups every BUS_WIDTH rows into one bus; each group row shifts the next bus by one.
void group_buses(KSM_TX_SIGNAL_NODES* list, int count = KSM_MAX_NODES)
{
    for (int bus = 0; bus < count / BUS_WIDTH; ++bus) {
        const int first = bus * (BUS_WIDTH + 1);
        list->group_nodes(first, first + BUS_WIDTH - 1);
    }
}

// A new session, its first instance and that instance's trigger list.
struct SESSION {
    std::unique_ptr<KSM_TX_SESSION> session = make_test_session();
    KSM_TX_INSTANCE* instance = session->get_instance_at(0);
    KSM_TX_TRIGGER* list = session->get_trigger_at(0);
};

// All rows, grouped into buses.
void fill_buses(KSM_TX_SIGNAL_NODES* list, int count = KSM_MAX_NODES)
{
    fill(list, count);
    group_buses(list, count);
}

// `edit` on the list as one undo unit.
template <typename EDIT> void in_unit(const SESSION& s, EDIT edit)
{
    s.instance->begin_action();
    edit(s.list);
    s.instance->end_action();
}

// Times undo and redo of the session's last unit.
void time_undo_redo(benchmark::State& state, const SESSION& s)
{
    for (auto _ : state) {
        s.instance->undo();
        s.instance->redo();
    }
}

// The names of the first `count` rows a fill inserts, made before timing.
std::vector<std::string> row_names(int count)
{
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back("top|core|bus" + std::to_string(i / BUS_WIDTH) + "[" + std::to_string(i % BUS_WIDTH) + "]");
    return names;
}

// Nodes inserted one by one into the trigger list of a new session, each checked against the
// names there are, as the editor inserts them; the session made inside the time, dropped outside
// it. Seconds.
double insert_nodes(const std::vector<std::string>& names)
{
    const auto start = std::chrono::steady_clock::now();
    SESSION s;
    for (const std::string& name : names)
        s.list->insert_node(name.c_str(), KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
    benchmark::DoNotOptimize(s.list->get_num_nodes());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The reference: the same rows made and pushed into a vector, dropped outside the time. Seconds.
double push_rows(const std::vector<std::string>& names)
{
    using ROW = KSM_TX_SIGNAL_NODES::ROW;
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::shared_ptr<ROW>> rows;
    for (const std::string& name : names) {
        auto row = std::make_shared<ROW>();
        row->name = name;
        row->signal_type = KSM_STYPE_REGISTERED;
        row->tap_mode = KSM_TAP_PRE_SYNTHESIS;
        rows.push_back(std::move(row));
    }
    benchmark::DoNotOptimize(rows.data());
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Each turn inserts 1,024 and 4,096 nodes and pushes 4,096 rows, one right after the other, and
// keeps its ratios: a change in the machine's speed during the run weighs on the sides of a turn
// alike, where benchmarks run apart would each catch a different part of it. Registered first,
// it runs on a heap that no benchmark's freed sessions and undo histories have cut up: the
// vector's rows took twice as long after them.
struct TURNS {
    std::vector<double> growth, over_push;
} g_turns;

void BM_InsertNodesInTurns(benchmark::State& state)
{
    const std::vector<std::string> small = row_names(1024), large = row_names(KSM_MAX_NODES);
    for (auto _ : state) {
        const double t_small = insert_nodes(small), t_large = insert_nodes(large), t_push = push_rows(large);
        g_turns.growth.push_back(t_large / t_small);
        g_turns.over_push.push_back(t_large / t_push);
        state.counters["1024_us"] = t_small * 1e6, state.counters["4096_us"] = t_large * 1e6;
        state.counters["push_us"] = t_push * 1e6;
    }
}
BENCHMARK(BM_InsertNodesInTurns)->Iterations(20)->Unit(benchmark::kMillisecond);

void BM_InsertAndGroupInOneUnit(benchmark::State& state)
{
    for (auto _ : state) {
        SESSION s;
        in_unit(s, [](KSM_TX_TRIGGER* list) { fill_buses(list); });
        benchmark::DoNotOptimize(s.list->get_num_nodes());
        state.PauseTiming();
        s.session.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_InsertAndGroupInOneUnit)->Unit(benchmark::kMillisecond);

// Undo and redo of the unit that inserted and grouped all 4096 nodes.
void BM_UndoRedoOfTheWholeFill(benchmark::State& state)
{
    SESSION s;
    in_unit(s, [](KSM_TX_TRIGGER* list) { fill_buses(list); });
    time_undo_redo(state, s);
    state.counters["rows"] = s.list->get_num_nodes();
}
BENCHMARK(BM_UndoRedoOfTheWholeFill)->Unit(benchmark::kMicrosecond);

// One small edit of a 4096-node list, undone and redone: what the user waits for.
void BM_UndoRedoOfOneEdit(benchmark::State& state)
{
    SESSION s;
    fill_buses(s.list);
    in_unit(s, [](KSM_TX_TRIGGER* list) { list->set_trigger_condition(100, 0, KSM_CTYPE_RISING_EDGE); });
    time_undo_redo(state, s);
}
BENCHMARK(BM_UndoRedoOfOneEdit)->Unit(benchmark::kMicrosecond);

// The same after a change outside the unit (another row selected): undo and redo merge the
// unit's change into the list instead of putting a recorded list back.
void BM_UndoRedoOfOneEditAfterAnOutsideChange(benchmark::State& state)
{
    SESSION s;
    fill_buses(s.list);
    in_unit(s, [](KSM_TX_TRIGGER* list) { list->set_trigger_condition(100, 0, KSM_CTYPE_RISING_EDGE); });
    s.list->set_selected(200, true);
    time_undo_redo(state, s);
}
BENCHMARK(BM_UndoRedoOfOneEditAfterAnOutsideChange)->Unit(benchmark::kMicrosecond);

// A bus deleted, then another row selected outside the unit: the list itself merges.
void BM_UndoRedoOfADeletionAfterAnOutsideChange(benchmark::State& state)
{
    SESSION s;
    fill_buses(s.list);
    in_unit(s, [](KSM_TX_TRIGGER* list) { list->delete_nodes(BUS_WIDTH + 1, BUS_WIDTH + 1); });
    s.list->set_selected(200, true);
    time_undo_redo(state, s);
}
BENCHMARK(BM_UndoRedoOfADeletionAfterAnOutsideChange)->Unit(benchmark::kMicrosecond);

// One edit made inside its own unit: the copy of the row table that recording costs.
void BM_OneEditInItsOwnUnit(benchmark::State& state)
{
    SESSION s;
    fill(s.list);
    int k = 0;
    for (auto _ : state) {
        const KSM_DATA_TRIGGER_CONDITION condition = (k / KSM_MAX_NODES) % 2 ? KSM_CTYPE_HIGH : KSM_CTYPE_LOW;
        in_unit(s, [&](KSM_TX_TRIGGER* list) { list->set_trigger_condition(k % KSM_MAX_NODES, 0, condition); });
        ++k;
    }
}
BENCHMARK(BM_OneEditInItsOwnUnit)->Unit(benchmark::kMicrosecond);

// Moving a whole bus across the list.
void BM_MoveABus(benchmark::State& state)
{
    SESSION s;
    fill_buses(s.list);
    for (auto _ : state)
        in_unit(s, [](KSM_TX_TRIGGER* list) { list->move_nodes(0, 0, list->get_num_nodes(), false); });
}
BENCHMARK(BM_MoveABus)->Unit(benchmark::kMicrosecond);

// ---- edits of 1,024 and 4,096 rows ---------------------------------------------------------------

// A framed editor on a new session whose trigger list holds `count` rows grouped into buses, shown
// on its Setup tab: an edit goes through the manager as the views make it, and the views refresh
// on the `updated` it announces.
struct EDITOR {
    QTemporaryDir dir;
    std::unique_ptr<VOKR_FRAME_WND> frame = std::make_unique<VOKR_FRAME_WND>(nullptr, 0, 0, 0);
    VOKR_TX_MANAGER* m = frame->get_tx_manager();
    QTabWidget tabs;

    explicit EDITOR(int count)
    {
        m->new_document(dir.filePath("bench.lmx").toLocal8Bit().constData());
        tabs.addTab(new QWidget, "Data"), tabs.addTab(new QWidget, "Setup");
        frame->get_layout_widget()->set_data_setup_tab_widget(0, &tabs);
        tabs.setCurrentIndex(1);
        fill_buses(m->get_trigger_nodes(-1), count);
        QCoreApplication::processEvents();
    }
    ~EDITOR() { frame->get_layout_widget()->set_data_setup_tab_widget(0, nullptr); }
    int rows() const { return m->get_trigger_nodes(-1)->get_num_nodes(); }
    // `change` as one undo unit of the manager, then the views' refresh.
    template <typename CHANGE> void edit(CHANGE change)
    {
        {
            VOKR_ACTION_GUARD unit(m);
            change();
        }
        emit m->updated(nullptr, VOKR_HINT_REFRESH_VIEW);
        QCoreApplication::processEvents();
    }
};

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Seconds for edit(0), edit(1), ... edit(count - 1).
template <typename EDIT> double time_edits(int count, EDIT edit)
{
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < count; ++k)
        edit(k);
    return seconds_since(start);
}

// A condition that differs from the one set the time before on the same row.
KSM_DATA_TRIGGER_CONDITION condition(int turn) { return turn % 2 ? KSM_CTYPE_HIGH : KSM_CTYPE_LOW; }

// The cost of an edit of 4,096 rows over that of the same edit of 1,024, per turn: each turn
// times the edits of the small list and of the large one right after the other.
struct GROWTH {
    std::vector<double> one_edit, every_row, move, editor_edit, editor_move;
} g_growth;

// One condition in its own undo unit, on rows spread over the list; a condition on every row,
// each in its own unit; the first bus moved to the end of the list; and through the editor, a
// condition in its own unit and the first bus moved to the end, each followed by the views'
// refresh.
void BM_EditsInTurns(benchmark::State& state)
{
    SESSION small, large;
    fill_buses(small.list, 1024), fill_buses(large.list, KSM_MAX_NODES);
    EDITOR small_editor(1024), large_editor(KSM_MAX_NODES);
    int turn = 0;
    for (auto _ : state) {
        const auto per_edit = [](double small_time, int small_count, double large_time, int large_count) {
            return (large_time / large_count) / (small_time / small_count);
        };
        const auto one_edit = [&](const SESSION& s) {
            const int rows = s.list->get_num_nodes();
            return time_edits(256, [&](int k) {
                in_unit(s,
                        [&](KSM_TX_TRIGGER* list) { list->set_trigger_condition(k * 7 % rows, 0, condition(turn)); });
            });
        };
        g_growth.one_edit.push_back(one_edit(large) / one_edit(small));
        const auto every_row = [&](const SESSION& s) {
            return time_edits(s.list->get_num_nodes(), [&](int row) {
                in_unit(s, [&](KSM_TX_TRIGGER* list) { list->set_trigger_condition(row, 0, condition(turn)); });
            });
        };
        const double every_small = every_row(small), every_large = every_row(large);
        g_growth.every_row.push_back(
            per_edit(every_small, small.list->get_num_nodes(), every_large, large.list->get_num_nodes()));
        const auto move = [&](const SESSION& s) {
            return time_edits(64, [&](int) {
                in_unit(s, [](KSM_TX_TRIGGER* list) { list->move_nodes(0, 0, list->get_num_nodes(), false); });
            });
        };
        g_growth.move.push_back(move(large) / move(small));
        const auto editor_edit = [&](EDITOR& e) {
            const int rows = e.rows();
            return time_edits(32,
                              [&](int k) { e.edit([&] { e.m->set_trigger(k * 7 % rows, 0, condition(turn), -1); }); });
        };
        g_growth.editor_edit.push_back(editor_edit(large_editor) / editor_edit(small_editor));
        const auto editor_move = [&](EDITOR& e) {
            return time_edits(32, [&](int) { e.edit([&] { e.m->move_before_node(0, 0, e.rows(), false); }); });
        };
        g_growth.editor_move.push_back(editor_move(large_editor) / editor_move(small_editor));
        state.counters["every_row_1024_ms"] = every_small * 1e3,
        state.counters["every_row_4096_ms"] = every_large * 1e3;
        ++turn;
    }
}
BENCHMARK(BM_EditsInTurns)->Iterations(20)->Unit(benchmark::kMillisecond);

void print_ratios(const BENCH_REPORTER::TIMES&)
{
    std::printf("\n(each aim's figure is the median of its %zu turns' ratios)\n", g_turns.growth.size());
    print_aim("insert 4,096 nodes one by one / vector push", median(g_turns.over_push), "<=", 10.0);
    print_aim("insert 4,096 / 1,024 nodes one by one", median(g_turns.growth), "<=", 5.0);
    std::printf("(the edits' aims: the median of %zu turns' ratios, per edit)\n", g_growth.one_edit.size());
    print_aim("one edit in its own undo step, 4,096 / 1,024 rows", median(g_growth.one_edit), "<=", 2.0);
    print_aim("a condition on every row, each in its own step, 4,096 / 1,024 rows", median(g_growth.every_row),
              "<=", 2.0);
    print_aim("moving a bus, 4,096 / 1,024 rows", median(g_growth.move), "<=", 2.0);
    print_aim("one edit through the editor, its views refreshed, 4,096 / 1,024 rows", median(g_growth.editor_edit),
              "<=", 2.0);
    print_aim("moving a bus through the editor, its views refreshed, 4,096 / 1,024 rows", median(g_growth.editor_move),
              "<=", 2.0);
}

}  // namespace

int main(int argc, char** argv)
{
    // The heap keeps 64 MB free at its top rather than giving memory back and faulting it in
    // again: whether the rows one side of a turn frees are given back would otherwise decide how
    // fast the next side allocates (the vector's rows took 0.23 ms or 0.47 ms so).
    mallopt(M_TOP_PAD, 64 << 20);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BENCH_REPORTER reporter(BENCH_REPORTER::REAL_TIME, print_ratios);
    return bench_main(argc, argv, reporter);
}
