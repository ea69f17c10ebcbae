// Node-list edits and their undo on a full instance of 4096 nodes, and nodes inserted one by one
// in turns with the same rows pushed into a vector.
#include "../tests/support/ksm_test_session.h"
#include "bench_reporter.h"
#include "ksm_state.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

constexpr int BUS_WIDTH = 16;

void fill(KSM_TX_TRIGGER* list)
{
    for (int i = 0; i < KSM_MAX_NODES; ++i)
        list->insert_node(
            ("top|core|bus" + std::to_string(i / BUS_WIDTH) + "[" + std::to_string(i % BUS_WIDTH) + "]").c_str(),
            KSM_STYPE_REGISTERED, KSM_TAP_PRE_SYNTHESIS, false);
}

// Groups every BUS_WIDTH rows into one bus; each group row shifts the next bus by one.
void group_buses(KSM_TX_TRIGGER* list)
{
    for (int bus = 0; bus < KSM_MAX_NODES / BUS_WIDTH; ++bus) {
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
void fill_buses(KSM_TX_TRIGGER* list)
{
    fill(list);
    group_buses(list);
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

void BM_InsertAndGroupInOneUnit(benchmark::State& state)
{
    for (auto _ : state) {
        SESSION s;
        in_unit(s, fill_buses);
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
    in_unit(s, fill_buses);
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
// alike, where benchmarks run apart would each catch a different part of it.
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

void print_ratios(const BENCH_REPORTER::TIMES&)
{
    std::printf("\n(each aim's figure is the median of its %zu turns' ratios)\n", g_turns.growth.size());
    print_aim("insert 4,096 nodes one by one / vector push", median(g_turns.over_push), "<=", 10.0);
    print_aim("insert 4,096 / 1,024 nodes one by one", median(g_turns.growth), "<=", 5.0);
}

}  // namespace

int main(int argc, char** argv)
{
    BENCH_REPORTER reporter(BENCH_REPORTER::REAL_TIME, print_ratios);
    return bench_main(argc, argv, reporter);
}
