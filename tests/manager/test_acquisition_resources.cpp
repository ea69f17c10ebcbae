// Acquisition resources of the manager (sample depth, segments, RAM type, pipeline level,
// allocated and used node counts, usage estimates) and the node-allocation boxes.
#include "manager_test_support.h"

#include "vokr_node_allocation.h"

#include <functional>

using namespace manager_test;

namespace {

class Resources : public MANAGER_TEST {};

TEST_F(Resources, SampleDepthTexts)
{
    const struct {
        const char* text;
        int depth;
    } to_depth[] = {{"2 K", 2048}, {"1 K", 1024}, {"512", 512}, {"abc", 0}, {"abc K", 0}, {"2K", 0}, {"", 0}};
    for (const auto& c : to_depth)
        EXPECT_EQ(VOKR_TX_MANAGER::convert_to_sample_depth_int(c.text), c.depth) << '"' << c.text << '"';

    // Converted one after another, as the memo of the last conversion sees them.
    const struct {
        int depth;
        const char* text;
    } to_text[] = {{128, "128"},   {2048, "2 K"}, {2048, "2 K"}, {1536, "1 K"},    {1000, "1000"},
                   {1023, "1023"}, {1024, "1 K"}, {0, "0"},      {131072, "128 K"}};
    VOKR_TX_MANAGER m(nullptr);
    for (const auto& c : to_text)
        EXPECT_EQ(m.convert_to_sample_depth_str(c.depth), c.text) << c.depth;
}

TEST_F(Resources, WithoutAnInstanceTheGettersGiveTheirDefaultsAndTheSettersDoNothing)
{
    VOKR_TX_MANAGER m(nullptr);
    int depth = 5;
    EXPECT_FALSE(m.get_sample_depth(&depth, -1));
    EXPECT_EQ(depth, 0);
    EXPECT_TRUE(m.is_zero_sample_depth());
    const struct {
        const char* what;
        std::function<bool(QString*)> get;
        bool result;
        const char* text;
    } texts[] = {
        {"sample depth", [&](QString* t) { return m.get_sample_depth(t, -1); }, false, "128"},
        {"segments", [&](QString* t) { return m.get_number_of_segments(t, -1); }, true, "0  "},
        {"RAM type", [&](QString* t) { return m.get_ram_type(t, -1); }, false, "Auto"},
        {"pipeline", [&](QString* t) { return m.get_pipeline_level(t, -1); }, false, "0"},
        {"data used", [&](QString* t) { return m.get_data_nodes_used(t); }, false, "0"},
        {"trigger used", [&](QString* t) { return m.get_trigger_nodes_used(t); }, false, "0"},
        {"storage qualifier used", [&](QString* t) { return m.get_storage_qualifier_nodes_used(t); }, false, "0"},
    };
    for (const auto& c : texts) {
        QString text = "stale";
        EXPECT_EQ(c.get(&text), c.result) << c.what;
        EXPECT_EQ(text, c.text) << c.what;
    }
    EXPECT_EQ(m.get_data_nodes_allocated(-1), 0);
    EXPECT_EQ(m.get_storage_qualifier_nodes_allocated(-1), 0);
    EXPECT_EQ(m.get_corvix_trigger_nodes_allocated(-1), 0);
    EXPECT_FALSE(m.set_corvix_data_nodes_allocated("12"));
    EXPECT_FALSE(m.set_corvix_trigger_nodes_allocated(12, -1));

    HINTS hints(&m);
    m.set_sample_depth("512");
    m.set_number_of_segments("4  ");
    m.set_ram_type("Auto");
    m.set_pipeline_level("2");
    m.set_data_nodes_allocated("12");
    m.set_trigger_nodes_allocated(12, -1);
    EXPECT_TRUE(hints.list.empty());
}

TEST_F(Resources, WithoutAnInstanceTheAllocatedCountTextsAreZeroAndTrue)
{
    VOKR_TX_MANAGER m(nullptr);
    const struct {
        const char* what;
        bool (VOKR_TX_MANAGER::*get)(QString*) const;
    } getters[] = {
        {"data", &VOKR_TX_MANAGER::get_data_nodes_allocated},
        {"trigger", &VOKR_TX_MANAGER::get_trigger_nodes_allocated},
        {"wizard data", &VOKR_TX_MANAGER::get_corvix_data_nodes_allocated},
        {"wizard trigger", &VOKR_TX_MANAGER::get_corvix_trigger_nodes_allocated},
    };
    for (const auto& g : getters) {
        QString text = "stale";
        EXPECT_TRUE((m.*g.get)(&text)) << g.what;
        EXPECT_EQ(text, "0") << g.what;
    }
}

using ResourcesDeathTest = Resources;

TEST_F(ResourcesDeathTest, SegmentSizeNeedsATrigger)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    VOKR_TX_MANAGER m(nullptr);
    EXPECT_DEATH(m.get_segment_size(),
                 "VOKR, File: zlm/vokr/vokr_tx_manager_resources\\.cpp, Line: [0-9]+\nreturn_value");
}

TEST_F(Resources, DepthChangeTellsTheViewsOnlyWhenItStartsOrEndsAtZero)
{
    const struct {
        int from;
        const char* to;
        int layout_hints;
    } cases[] = {{0, "256", 1}, {256, "512", 0}, {1024, "2 K", 0}, {2048, "128", 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.from << " to " << c.to);
        EDITOR editor(true);
        if (c.from == 0) {
            store_zero_depth(editor.data());
        } else {
            ASSERT_TRUE(editor.data()->set_sample_depth(c.from));
        }
        EXPECT_EQ(editor->is_zero_sample_depth(), c.from == 0);
        HINTS hints(editor.get());
        editor->set_sample_depth(c.to);
        EXPECT_EQ(editor.data()->get_sample_depth(), VOKR_TX_MANAGER::convert_to_sample_depth_int(c.to));
        EXPECT_EQ(hints.count(LAYOUT_HINT), c.layout_hints);
        EXPECT_EQ(hints.count(MODIFIED_HINT), 1);
        EXPECT_EQ(undo_all(editor.get()), 1);
        EXPECT_EQ(editor.data()->get_sample_depth(), c.from);
    }
}

TEST_F(Resources, UnchangedDepthOrFillingWidgetsOpensNoUnit)
{
    EDITOR editor(true);
    ASSERT_TRUE(editor.data()->set_sample_depth(1024));
    HINTS hints(editor.get());
    editor->set_sample_depth("1 K");
    editor->set_sample_depth("");
    {
        VOKR_UPDATE_GUARD filling;
        editor->set_sample_depth("256");
    }
    EXPECT_TRUE(hints.list.empty());
    EXPECT_EQ(editor.data()->get_sample_depth(), 1024);
    EXPECT_FALSE(undo_available(editor.get()));
}

TEST_F(Resources, ShrinkingTheDepthHalvesASegmentThatNoLongerFits)
{
    const struct {
        bool segmented;
        int size;
        const char* depth;
        int expected;
    } cases[] = {
        {true, 512, "256", 128},  {true, 64, "256", 64},   {true, 256, "256", 128},
        {false, 512, "256", 512}, {true, 512, "2 K", 512},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "segmented " << c.segmented << " size " << c.size << " depth " << c.depth);
        EDITOR editor(false);
        ASSERT_TRUE(editor.data()->set_sample_depth(1024));
        editor.trigger()->set_segmented(c.segmented);
        ASSERT_TRUE(editor.trigger()->set_segment_size(c.size));
        editor->set_sample_depth(c.depth);
        EXPECT_EQ(editor->get_segment_size(), c.expected);
        // The segment size goes back with the depth.
        EXPECT_EQ(undo_all(editor.get()), 1);
        EXPECT_EQ(editor->get_segment_size(), c.size);
    }
}

// Ticking Segmented keeps a size the segment list holds and otherwise stores the list's first
// entry, two segments, which the list shows; one undo takes both back.
TEST_F(Resources, SegmentedStoresTheSegmentsTheListShows)
{
    const struct {
        int size, expected;
    } cases[] = {{0, 512}, {256, 256}, {512, 512}, {1024, 512}, {300, 512}, {4096, 512}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "stored size " << c.size);
        EDITOR editor(false);
        ASSERT_TRUE(editor.data()->set_sample_depth(1024));
        ASSERT_TRUE(editor.trigger()->set_segment_size(c.size));
        editor->set_segmented_acquisition_mode(true);
        EXPECT_TRUE(editor->is_segmented_acquisition_enabled(-1));
        EXPECT_EQ(editor->get_segment_size(), c.expected);
        EXPECT_EQ(undo_all(editor.get()), 1);
        EXPECT_FALSE(editor->is_segmented_acquisition_enabled(-1));
        EXPECT_EQ(editor->get_segment_size(), c.size);
    }
}

// A depth changed under a segmented capture keeps a segment size the list offers for the new
// depth, else stores its first entry, two segments: the pane shows what the next run captures.
TEST_F(Resources, DepthChangesKeepASegmentSizeTheListOffers)
{
    EDITOR editor(false);
    ASSERT_TRUE(editor.data()->set_sample_depth(1024));
    ASSERT_TRUE(editor.trigger()->set_segment_size(256));
    editor->set_segmented_acquisition_mode(true);
    const struct {
        const char* depth;
        int stored;  // the size stored before the change; -1: as left by the step before
        int size;
    } steps[] = {{"4 K", -1, 256}, {"256", -1, 128}, {"1 K", -1, 128}, {"2 K", 0, 1024}, {"512", 96, 256}};
    for (const auto& c : steps) {
        if (c.stored >= 0) {
            ASSERT_TRUE(editor.trigger()->set_segment_size(c.stored));
        }
        editor->set_sample_depth(c.depth);
        EXPECT_EQ(editor->get_segment_size(), c.size) << c.depth;
    }
}

TEST_F(Resources, SegmentCountText)
{
    const struct {
        int depth, size;
        const char* text;
    } cases[] = {{8192, 4, "2 K "}, {8192, 2048, "4  "}, {1024, 0, "0  "},
                 {1024, 1, "1 K "}, {1024, 1024, "1  "}, {0, 16, "0  "}};
    EDITOR editor(false);
    for (const auto& c : cases) {
        if (c.depth == 0) {
            store_zero_depth(editor.data());
        } else {
            editor.data()->set_sample_depth(c.depth);
        }
        editor.trigger()->set_segment_size(c.size);
        ASSERT_EQ(editor.data()->get_sample_depth(), c.depth);
        QString text;
        EXPECT_TRUE(editor->get_number_of_segments(&text, -1));
        EXPECT_EQ(text, c.text) << c.depth << " / " << c.size;
    }
}

TEST_F(Resources, SegmentCountSetsTheSegmentSize)
{
    const struct {
        int depth;
        const char* text;
        int size;
    } cases[] = {{1024, "4  ", 256}, {1024, "0", 0},   {8192, "2 K ", 4}, {8192, "2 k", 4096},
                 {1024, "abc", 0},   {1024, "3", 341}, {1024, "1 K", 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << '"' << c.text << "\" at depth " << c.depth);
        EDITOR editor(true);
        ASSERT_TRUE(editor.data()->set_sample_depth(c.depth));
        ASSERT_TRUE(editor.trigger()->set_segment_size(8));
        HINTS hints(editor.get());
        editor->set_number_of_segments(c.text);
        EXPECT_EQ(editor->get_segment_size(), c.size);
        EXPECT_TRUE(hints.without_marks().empty());
        EXPECT_EQ(hints.count(MODIFIED_HINT), 1);
        EXPECT_EQ(undo_all(editor.get()), 1);
    }
}

TEST_F(Resources, RamTypeLabels)
{
    const QStringList labels = VOKR_TX_MANAGER::get_ram_type_labels();
    ASSERT_EQ(labels.size(), 4);
    EXPECT_EQ(labels[0], "Auto");
    EDITOR editor(false);
    for (int type : {2, 1, 3, 0}) {
        editor->set_ram_type(labels[type]);
        EXPECT_EQ(editor.data()->get_ram_type(), type);
        QString label;
        EXPECT_TRUE(editor->get_ram_type(&label, -1));
        EXPECT_EQ(label, labels[type]);
    }
    editor->set_ram_type(labels[3]);
    editor->set_ram_type("no such memory");
    EXPECT_EQ(editor.data()->get_ram_type(), KSM_RAM_AUTO);
}

TEST_F(Resources, EveryResourceEditIsItsOwnUndoUnit)
{
    EDITOR editor(true);
    ASSERT_TRUE(editor.data()->set_sample_depth(1024));
    const QStringList labels = VOKR_TX_MANAGER::get_ram_type_labels();
    editor->set_sample_depth("2 K");
    editor->set_ram_type(labels[2]);
    editor->set_pipeline_level("2");
    editor->set_number_of_segments("4  ");
    KSM_TX_SIGNAL_SET* s = editor.data();
    EXPECT_EQ(s->get_sample_depth(), 2048);
    EXPECT_EQ(editor->get_segment_size(), 512);
    const struct {
        int depth, ram, pipeline, segment;
    } after_undo[] = {{2048, 2, 2, 0}, {2048, 2, 0, 0}, {2048, 0, 0, 0}, {1024, 0, 0, 0}};
    for (const auto& u : after_undo) {
        editor->on_edit_undo();
        s = editor.data();
        EXPECT_EQ(s->get_sample_depth(), u.depth);
        EXPECT_EQ(s->get_ram_type(), u.ram);
        EXPECT_EQ(s->get_pipeline_level(), u.pipeline);
        EXPECT_EQ(editor->get_segment_size(), u.segment);
    }
    EXPECT_FALSE(undo_available(editor.get()));
}

TEST_F(Resources, TypedAllocationCountIsTheNumberOnlyWhenWrittenPlainly)
{
    const struct {
        const char* text;
        int stored;
    } cases[] = {{"12", 12}, {"07", 4096}, {"", 4096}, {"0", 0}, {" 5", 4096}, {"+5", 4096}, {"x", 4096}};
    const struct {
        const char* what;
        void (VOKR_TX_MANAGER::*set)(const QString&);
        int (KSM_TX_SIGNAL_SET::*get)() const;
        bool (KSM_TX_SIGNAL_SET::*store)(int);
    } kinds[] = {
        {"data", &VOKR_TX_MANAGER::set_data_nodes_allocated, &KSM_TX_SIGNAL_SET::get_data_nodes_allocated,
         &KSM_TX_SIGNAL_SET::set_data_nodes_allocated},
        {"trigger", &VOKR_TX_MANAGER::set_trigger_nodes_allocated, &KSM_TX_SIGNAL_SET::get_trigger_nodes_allocated,
         &KSM_TX_SIGNAL_SET::set_trigger_nodes_allocated},
    };
    for (const auto& k : kinds) {
        for (const auto& c : cases) {
            SCOPED_TRACE(testing::Message() << k.what << " \"" << c.text << '"');
            EDITOR editor(true);
            ASSERT_TRUE((editor.data()->*k.store)(1));
            HINTS hints(editor.get());
            (editor.get()->*k.set)(c.text);
            EXPECT_EQ((editor.data()->*k.get)(), c.stored);
            // The plain setters tell the views but neither mark the document nor open a unit.
            EXPECT_EQ(hints.list, std::vector<unsigned int>{VIEW_HINT});
            EXPECT_FALSE(undo_available(editor.get()));
            hints.list.clear();
            (editor.get()->*k.set)(c.text);
            EXPECT_TRUE(hints.list.empty());
        }
    }
}

TEST_F(Resources, UsageEstimatesOfTheCurrentInstanceAreAskedByItsIndex)
{
    const DEV_FAMILY_ENUM family = 3;
    EDITOR editor(false);
    ASSERT_TRUE(editor->add_instance());  // current: the second instance
    ASSERT_EQ(editor->get_current_instance_index(), 1);
    editor->set_data_nodes_allocated(40, -1);
    editor->set_trigger_nodes_allocated(20, -1);
    ASSERT_TRUE(editor.data()->set_sample_depth(2048));

    const unsigned long cells = editor->get_le_usage(1, family);
    const unsigned long bits = editor->get_ram_bits_usage(1);
    EXPECT_GT(cells, 0u);
    EXPECT_GT(bits, 0u);
    EXPECT_NE(cells, editor->get_le_usage(0, family));
    EXPECT_NE(bits, editor->get_ram_bits_usage(0));
    EXPECT_EQ(editor->get_le_usage(-1, family), cells);
    EXPECT_EQ(editor->get_ram_bits_usage(-1), bits);
    EXPECT_EQ(editor->get_le_usage(-1, family),
              editor->get_session()->get_instance_estimated_logic_cell_count_at(1, family));

    // A disabled instance uses nothing, however it is addressed.
    editor->set_instance_enabled(1, false);
    for (int index : {-1, 1}) {
        EXPECT_EQ(editor->get_le_usage(index, family), 0u) << index;
        EXPECT_EQ(editor->get_ram_bits_usage(index), 0u) << index;
    }
    EXPECT_GT(editor->get_ram_bits_usage(0), 0u);
}

// ---- node-allocation boxes ----------------------------------------------------------------------------------

TEST_F(Resources, WithoutAnInstanceEveryAllocationBoxReadsZero)
{
    VOKR_TX_MANAGER m(nullptr);
    VOKR_DATA_NODE_ALLOCATION data(&m);
    VOKR_TRIGGER_NODE_ALLOCATION trigger(&m);
    VOKR_STORAGE_QUALIFIER_NODE_ALLOCATION storage(&m);
    for (VOKR_NODE_ALLOCATION_IF* box : std::vector<VOKR_NODE_ALLOCATION_IF*>{&data, &trigger, &storage}) {
        EXPECT_EQ(box->get_maximum(), 0);
        EXPECT_EQ(box->get_value(), 0);
    }
}

// Each box reads the limit and the reserved count of its own kind, each count set apart.
TEST_F(Resources, EachAllocationBoxReadsTheLimitAndCountOfItsKind)
{
    using READER = int (KSM_TX_SIGNAL_SET::*)() const;
    EDITOR editor(true);
    editor->set_data_nodes_allocated(2, -1);
    editor->set_trigger_nodes_allocated(3, -1);
    editor->set_storage_qualifier_nodes_allocated(4, -1);
    VOKR_DATA_NODE_ALLOCATION data(editor.get());
    VOKR_TRIGGER_NODE_ALLOCATION trigger(editor.get());
    VOKR_STORAGE_QUALIFIER_NODE_ALLOCATION storage(editor.get());
    const struct {
        VOKR_NODE_ALLOCATION_IF* box;
        READER maximum, count;
    } boxes[] = {
        {&data, &KSM_TX_SIGNAL_SET::get_max_data_nodes, &KSM_TX_SIGNAL_SET::get_data_nodes_allocated},
        {&trigger, &KSM_TX_SIGNAL_SET::get_max_trigger_nodes, &KSM_TX_SIGNAL_SET::get_trigger_nodes_allocated},
        {&storage, &KSM_TX_SIGNAL_SET::get_max_storage_qualifier_nodes,
         &KSM_TX_SIGNAL_SET::get_storage_qualifier_nodes_allocated},
    };
    for (const auto& b : boxes) {
        EXPECT_EQ(b.box->get_maximum(), (editor.data()->*b.maximum)()) << (editor.data()->*b.count)();
        EXPECT_EQ(b.box->get_value(), (editor.data()->*b.count)());
    }
}

TEST_F(Resources, TypedCountIsOneUndoableEditOfItsOwnKindAndReadsBack)
{
    using COUNT = int (KSM_TX_SIGNAL_SET::*)() const;
    const COUNT counts[] = {&KSM_TX_SIGNAL_SET::get_data_nodes_allocated,
                            &KSM_TX_SIGNAL_SET::get_trigger_nodes_allocated,
                            &KSM_TX_SIGNAL_SET::get_storage_qualifier_nodes_allocated};
    const struct {
        const char* what;
        std::function<std::unique_ptr<VOKR_NODE_ALLOCATION_IF>(VOKR_TX_MANAGER*)> make;
        int kind;  // index into counts
        COUNT maximum;
    } boxes[] = {
        {"data", [](VOKR_TX_MANAGER* m) { return std::make_unique<VOKR_DATA_NODE_ALLOCATION>(m); }, 0,
         &KSM_TX_SIGNAL_SET::get_max_data_nodes},
        {"trigger", [](VOKR_TX_MANAGER* m) { return std::make_unique<VOKR_TRIGGER_NODE_ALLOCATION>(m); }, 1,
         &KSM_TX_SIGNAL_SET::get_max_trigger_nodes},
        {"storage qualifier",
         [](VOKR_TX_MANAGER* m) { return std::make_unique<VOKR_STORAGE_QUALIFIER_NODE_ALLOCATION>(m); }, 2,
         &KSM_TX_SIGNAL_SET::get_max_storage_qualifier_nodes},
    };
    for (const auto& b : boxes) {
        SCOPED_TRACE(b.what);
        EDITOR editor(true);
        editor->set_data_nodes_allocated(1, -1);
        editor->set_trigger_nodes_allocated(1, -1);
        editor->set_storage_qualifier_nodes_allocated(1, -1);
        const std::unique_ptr<VOKR_NODE_ALLOCATION_IF> box = b.make(editor.get());
        EXPECT_EQ(box->get_maximum(), (editor.data()->*b.maximum)());
        EXPECT_GT(box->get_maximum(), 0);
        EXPECT_EQ(box->get_value(), 1);

        HINTS hints(editor.get());
        box->set_value(7);
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ((editor.data()->*counts[k])(), k == b.kind ? 7 : 1) << "count " << k;
        EXPECT_EQ(box->get_value(), 7);
        EXPECT_EQ(hints.without_marks(), std::vector<unsigned int>{VIEW_HINT});
        EXPECT_EQ(hints.count(MODIFIED_HINT), 1);

        // Typed while the panel is being filled: ignored.
        {
            VOKR_UPDATE_GUARD filling;
            box->set_value(9);
        }
        EXPECT_EQ(box->get_value(), 7);
        EXPECT_EQ(undo_all(editor.get()), 1);
        EXPECT_EQ(box->get_value(), 1);
    }
}

}  // namespace
