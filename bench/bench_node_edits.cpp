// Node-list edits and their undo on a full instance of 4096 nodes.
#include "../tests/ksm_test_session.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int BUS_WIDTH = 16;

void fill(KSM_TX_TRIGGER* list)
{
    for (int i = 0; i < KSM_MAX_NODES; ++i)
        list->insert_node(("top|core|bus" + std::to_string(i / BUS_WIDTH) + "[" + std::to_string(i % BUS_WIDTH) + "]").c_str(),
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

void BM_InsertAndGroupInOneUnit(benchmark::State& state)
{
    for (auto _ : state) {
        auto session = make_test_session();
        KSM_TX_INSTANCE* instance = session->get_instance_at(0);
        KSM_TX_TRIGGER* list = session->get_trigger_at(0);
        instance->begin_action();
        fill(list);
        group_buses(list);
        instance->end_action();
        benchmark::DoNotOptimize(list->get_num_nodes());
        state.PauseTiming();
        session.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_InsertAndGroupInOneUnit)->Unit(benchmark::kMillisecond);

// Undo and redo of the unit that inserted and grouped all 4096 nodes.
void BM_UndoRedoOfTheWholeFill(benchmark::State& state)
{
    auto session = make_test_session();
    KSM_TX_INSTANCE* instance = session->get_instance_at(0);
    KSM_TX_TRIGGER* list = session->get_trigger_at(0);
    instance->begin_action();
    fill(list);
    group_buses(list);
    instance->end_action();
    for (auto _ : state) {
        instance->undo();
        instance->redo();
    }
    state.counters["rows"] = list->get_num_nodes();
}
BENCHMARK(BM_UndoRedoOfTheWholeFill)->Unit(benchmark::kMicrosecond);

// One small edit of a 4096-node list, undone and redone: what the user waits for.
void BM_UndoRedoOfOneEdit(benchmark::State& state)
{
    auto session = make_test_session();
    KSM_TX_INSTANCE* instance = session->get_instance_at(0);
    KSM_TX_TRIGGER* list = session->get_trigger_at(0);
    fill(list);
    group_buses(list);
    instance->begin_action();
    list->set_trigger_condition(100, 0, KSM_CTYPE_RISING_EDGE);
    instance->end_action();
    for (auto _ : state) {
        instance->undo();
        instance->redo();
    }
}
BENCHMARK(BM_UndoRedoOfOneEdit)->Unit(benchmark::kMicrosecond);

// The same after a change outside the unit (another row selected): undo and redo merge the
// unit's change into the list instead of putting a recorded list back.
void BM_UndoRedoOfOneEditAfterAnOutsideChange(benchmark::State& state)
{
    auto session = make_test_session();
    KSM_TX_INSTANCE* instance = session->get_instance_at(0);
    KSM_TX_TRIGGER* list = session->get_trigger_at(0);
    fill(list);
    group_buses(list);
    instance->begin_action();
    list->set_trigger_condition(100, 0, KSM_CTYPE_RISING_EDGE);
    instance->end_action();
    list->set_selected(200, true);
    for (auto _ : state) {
        instance->undo();
        instance->redo();
    }
}
BENCHMARK(BM_UndoRedoOfOneEditAfterAnOutsideChange)->Unit(benchmark::kMicrosecond);

// A bus deleted, then another row selected outside the unit: the list itself merges.
void BM_UndoRedoOfADeletionAfterAnOutsideChange(benchmark::State& state)
{
    auto session = make_test_session();
    KSM_TX_INSTANCE* instance = session->get_instance_at(0);
    KSM_TX_TRIGGER* list = session->get_trigger_at(0);
    fill(list);
    group_buses(list);
    instance->begin_action();
    list->delete_nodes(BUS_WIDTH + 1, BUS_WIDTH + 1);
    instance->end_action();
    list->set_selected(200, true);
    for (auto _ : state) {
        instance->undo();
        instance->redo();
    }
}
BENCHMARK(BM_UndoRedoOfADeletionAfterAnOutsideChange)->Unit(benchmark::kMicrosecond);

// One edit made inside its own unit: the copy of the row table that recording costs.
void BM_OneEditInItsOwnUnit(benchmark::State& state)
{
    auto session = make_test_session();
    KSM_TX_INSTANCE* instance = session->get_instance_at(0);
    KSM_TX_TRIGGER* list = session->get_trigger_at(0);
    fill(list);
    int k = 0;
    for (auto _ : state) {
        const KSM_DATA_TRIGGER_CONDITION condition = (k / KSM_MAX_NODES) % 2 ? KSM_CTYPE_HIGH : KSM_CTYPE_LOW;
        instance->begin_action();
        list->set_trigger_condition(k % KSM_MAX_NODES, 0, condition);
        instance->end_action();
        ++k;
    }
}
BENCHMARK(BM_OneEditInItsOwnUnit)->Unit(benchmark::kMicrosecond);

// Moving a whole bus across the list.
void BM_MoveABus(benchmark::State& state)
{
    auto session = make_test_session();
    KSM_TX_INSTANCE* instance = session->get_instance_at(0);
    KSM_TX_TRIGGER* list = session->get_trigger_at(0);
    fill(list);
    group_buses(list);
    for (auto _ : state) {
        instance->begin_action();
        list->move_nodes(0, 0, list->get_num_nodes(), false);
        instance->end_action();
    }
}
BENCHMARK(BM_MoveABus)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
