// The node list view over a capture: zoom and scrolling, time bars, stepping between transitions
// and searching for bus values.
#include "manager_test_support.h"
#include "view_test_support.h"

#include "vokr_insert_time_bar_dlg.h"
#include "vokr_layout_widget.h"
#include "vokr_time_units_dlg.h"
#include "vokr_trigger_value_dlg.h"
#include "vokr_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <cmath>
#include <functional>
#include <random>

using namespace manager_test;

namespace {

struct VIEW : VOKR_VIEW {
    using VOKR_VIEW::m_time_bars;
    using VOKR_VIEW::m_timebar_count;
    using VOKR_VIEW::m_zoom_level;
    using VOKR_VIEW::visible_node_rows;
    using VOKR_VIEW::VOKR_VIEW;
    std::vector<int> bars() const { return {m_time_bars, m_time_bars + m_timebar_count}; }
    void set_bars(const std::vector<int>& bars)
    {
        std::copy(bars.begin(), bars.end(), m_time_bars);
        m_timebar_count = int(bars.size());
    }
    double span() const { return get_zoom_base() / get_zoom_level().value() - std::trunc(get_zoom_offset().value()); }
};

// Runs `drive` on the next modal dialog once it shows, then closes it if it is still open.
template <class DIALOG> void on_next_dialog(std::function<void(DIALOG*)> drive)
{
    QTimer::singleShot(0, [drive] {
        auto* dialog = qobject_cast<DIALOG*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        drive(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
}

// A framed editor on its Data tab with rows n0..n{count-1} and a 1000 x 400 view.
class ViewZoom : public VIEW_TEST<VIEW> {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        open_view(400, 0);
    }
    void rows(int count)
    {
        for (int i = 0; i < count; ++i)
            add_rows(m(), {QString("n%1").arg(i).toLatin1().constData()});
    }
    void check_transitions(int depth, int changes, int gaps, int stride);
    // A capture of `depth` samples: node n's bit at s is bit(n, s), validity valid(s).
    KSM_DATA_LOG* capture(int depth, std::function<bool(int, int)> bit, std::function<bool(int)> valid = {},
                          int trigger = -1)
    {
        KSM_DATA_LOG* log = m()->get_session()->create_new_log(0);
        KSM_TX_SIGNAL_SET* set = m()->get_signal_nodes(-1);
        log->begin_capture(set->get_num_channels(), depth, 0);
        for (int node = 0; node < set->get_num_nodes(); ++node)
            for (int s = 0, c = set->get_channel(node); c >= 0 && s < depth; ++s)
                log->set_bit(c, s, bit(node, s));
        for (int s = 0; s < depth; ++s)
            log->set_valid(s, !valid || valid(s));
        if (trigger >= 0)
            log->set_trigger_positions({trigger});
        log->end_capture();
        m()->set_view_log(0, log);
        m_view->reset_zoom(true);
        m_view->resizeEvent(nullptr);
        return log;
    }
    // The time bars the session holds: saved, opened in a new editor window, read from its view
    // on the Data tab.
    std::vector<int> reopened_bars()
    {
        const QString file = QString::fromStdString(path("bars.lmx")), copy = file + ".copy.lmx";
        EXPECT_TRUE(m()->save_document(file.toLocal8Bit().constData()));
        QFile::remove(copy);
        EXPECT_TRUE(QFile::copy(file, copy));
        VOKR_FRAME_WND frame(nullptr, 0, 0, 0);
        EXPECT_TRUE(frame.open_file(copy));
        QCoreApplication::processEvents();
        QTabWidget* tabs = frame.get_layout_widget()->get_data_setup_tab_widget(-1);
        EXPECT_TRUE(tabs);
        if (tabs)
            tabs->setCurrentIndex(0);
        QCoreApplication::processEvents();
        const VOKR_VIEW* view = frame.get_layout_widget()->get_view();
        return {view->get_time_bars(), view->get_time_bars() + view->get_timebar_count()};
    }
    // The sample becomes the master time bar, the only one.
    void master_at(int sample)
    {
        m_view->on_delete_all_time_bars();
        m_view->set_context_sample(sample);
        m_view->on_insert_master_time_bar();
    }
};

TEST_F(ViewZoom, ZoomStopsAtOneSampleAndTheDepthAndKeepsThePointedSample)
{
    rows(1);
    capture(4096, [](int, int s) { return s % 7 == 0; });
    EXPECT_EQ(m_view->get_zoom_offset().m_numerator, 126976);
    EXPECT_EQ(m_view->span(), 4096);
    EXPECT_FALSE(m_view->on_update_zoom_out());
    EXPECT_FALSE(m_view->zoom_out(nullptr));
    for (int i = 1; i <= 12; ++i) {
        EXPECT_TRUE(m_view->zoom_in(nullptr)) << i;
        EXPECT_EQ(m_view->span(), 4096 >> i) << i;
    }
    EXPECT_FALSE(m_view->on_update_zoom_in());
    EXPECT_FALSE(m_view->zoom_in(nullptr));
    m_view->on_fit_in_window();
    EXPECT_EQ(m_view->span(), 4096);
    // The sample under the pointer stays there; the header rows refuse a zoom out.
    for (int i = 0; i < 3; ++i)
        m_view->zoom_in(nullptr);
    const QPoint point(700, 5);
    const int before = m_view->get_sample_at(point);
    ASSERT_GE(before, 0);
    EXPECT_TRUE(m_view->zoom_in(&point));
    EXPECT_EQ(m_view->get_sample_at(point), before);
    EXPECT_FALSE(m_view->zoom_out(&point));
    // Centring on the sample already in the middle does not move the window.
    m_view->center_on_sample(1000);
    const int value = m_view->get_horizontal_bar()->value();
    EXPECT_FALSE(m_view->center_on_sample(value + (m_view->get_visible_end_sample() - value) / 2, true));
}

// A zoom without a pointer keeps the trigger or the master time bar at its place on the screen,
// the one nearer the middle of those in view, else the middle: at 512 samples in view from
// `first`, the view then starts halfway between `first` and that sample.
TEST_F(ViewZoom, ZoomWithoutAPointerKeepsWhatIsInView)
{
    rows(1);
    capture(
        4096, [](int, int) { return false; }, {}, 100);
    const struct {
        int first;
        std::vector<int> bars;
        int kept;
    } cases[] = {
        {0, {}, 100}, {0, {300}, 300}, {2000, {}, 2256}, {2000, {2100}, 2100}, {2000, {3000}, 2256},
    };
    for (const auto& c : cases) {
        m_view->on_fit_in_window();
        for (int i = 0; i < 3; ++i)
            m_view->zoom_in(nullptr);
        m_view->set_bars(c.bars);
        m_view->get_horizontal_bar()->setValue(c.first);
        ASSERT_TRUE(m_view->zoom_in(nullptr));
        EXPECT_NEAR(m_view->get_horizontal_bar()->value(), c.kept - (c.kept - c.first) / 2, 1) << c.first;
    }
}

TEST_F(ViewZoom, DeepAndFullSpanCapturesKeepTheirFractionsInRange)
{
    rows(1);
    capture(131072, [](int, int) { return false; });
    m_view->m_zoom_level = VOKR_DOUBLE(65536, 1);
    EXPECT_TRUE(m_view->zoom_in(nullptr));
    EXPECT_EQ(std::make_pair(m_view->get_zoom_level().m_numerator, m_view->get_zoom_offset().m_numerator),
              std::make_pair(131072, 0));
    // A million samples: fit shows them all, and twenty zoom-ins reach one sample.
    capture(1000000, [](int, int) { return false; });
    m_view->on_fit_in_window();
    EXPECT_EQ(m_view->span(), 1000000);
    int steps = 0;
    while (m_view->zoom_in(nullptr))
        ++steps;
    EXPECT_EQ(steps, 20);
    EXPECT_EQ(m_view->span(), 1);
    EXPECT_GT(m_view->get_zoom_level().m_numerator, 0);
}

TEST_F(ViewZoom, TimeBarCommands)
{
    rows(1);
    capture(
        1000, [](int, int) { return false; }, {}, 100);
    const struct {
        std::vector<int> bars;
        std::function<void(VIEW*)> command;
        int context;
        std::vector<int> expected;
    } cases[] = {
        {{10, 20}, &VOKR_VIEW::on_insert_master_time_bar, 20, {20, 10}},
        {{10, 20}, &VOKR_VIEW::on_insert_master_time_bar, 30, {30, 20, 10}},
        {{10, 20, 30}, &VOKR_VIEW::on_move_master_time_bar, 20, {20, 30}},
        {{10, 20, 30}, &VOKR_VIEW::on_delete_time_bar, 10, {20, 30}},
        {{10}, &VOKR_VIEW::on_delete_time_bar, 10, {}},
    };
    for (const auto& c : cases) {
        m_view->set_bars(c.bars);
        m_view->set_context_sample(c.context);
        c.command(m_view.get());
        EXPECT_EQ(m_view->bars(), c.expected) << c.context;
    }
    EXPECT_EQ(m_view->get_column_width(VOKR_VIEW::VALUE_COLUMN), 0);
    // The ruler's commands leave the window where it is, zoomed in at the start of the capture.
    for (int i = 0; i < 3; ++i)
        m_view->zoom_in(nullptr);
    for (auto command : {&VOKR_VIEW::on_insert_master_time_bar, &VOKR_VIEW::on_move_master_time_bar}) {
        m_view->set_bars({10});
        m_view->get_horizontal_bar()->setValue(0);
        m_view->set_context_sample(700);
        (m_view.get()->*command)();
        EXPECT_EQ(std::make_pair(m_view->bars()[0], m_view->get_horizontal_bar()->value()), std::make_pair(700, 0));
    }
    // The dialog's text is relative to the trigger (100): an out-of-range number is refused with
    // both bounds, a fraction or a text that is no number with the rule of a whole sample number;
    // a first bar becomes the master, an existing one is not doubled.
    const char* const range = "Enter a value between -100 and 900";
    const char* const whole = "Enter a whole sample number between -100 and 900";
    const struct {
        std::vector<int> bars;
        const char* text;
        std::vector<int> expected;
        const char* refusal;
    } inserts[] = {
        {{}, "901", {}, range},     {{}, "12.5", {}, whole},       {{}, "abc", {}, whole},
        {{}, "-100", {0}, nullptr}, {{150}, "50", {150}, nullptr}, {{150}, "7", {150, 107}, nullptr},
    };
    for (const auto& c : inserts) {
        m_view->set_bars(c.bars);
        MSG_JOURNAL::clear();
        bool accepted = false;
        on_next_dialog<VOKR_INSERT_TIME_BAR_DLG>([&](VOKR_INSERT_TIME_BAR_DLG* dialog) {
            dialog->get_sample_edit()->setText(c.text);
            dialog->accept();
            accepted = !dialog->isVisible();
        });
        m_view->on_insert_time_bar();
        EXPECT_EQ(accepted, !c.refusal) << c.text;
        EXPECT_EQ(m_view->bars(), c.expected) << c.text;
        const auto shown = MSG_JOURNAL::records_of("prompted");
        ASSERT_EQ(shown.size(), c.refusal ? 1u : 0u) << c.text;
        if (c.refusal) {
            EXPECT_EQ(shown[0].text, c.refusal) << c.text;
        }
    }
}

// Every time-bar command is stored with the session: after each, the session saved and opened
// again shows the bars the command left, the master first. Relative positions count from the
// trigger (100); in time mode (1 ns a sample) the make-master box can be ticked.
TEST_F(ViewZoom, TimeBarCommandsAreStoredWithTheSession)
{
    rows(1);
    m()->get_signal_nodes(-1)->set_sample_depth(1024);
    const auto low = [](int, int) { return false; };
    capture(1024, low, {}, 100);
    const auto insert = [this](const char* relative, bool make_master) {
        m_view->set_time_units(make_master, 1.0, "ns");
        if (make_master)
            on_next_dialog<VOKR_TIME_UNITS_DLG>([=](VOKR_TIME_UNITS_DLG* dialog) {
                dialog->get_value_edit()->setText(relative);
                dialog->on_update_time_units_edit(relative);
                dialog->findChild<QCheckBox*>("make_master")->setChecked(true);
                dialog->accept();
            });
        else
            on_next_dialog<VOKR_INSERT_TIME_BAR_DLG>([=](VOKR_INSERT_TIME_BAR_DLG* dialog) {
                dialog->get_sample_edit()->setText(relative);
                dialog->accept();
            });
        m_view->on_insert_time_bar();
    };
    const auto at = [this](int sample, void (VOKR_VIEW::*command)()) {
        m_view->set_context_sample(sample);
        (m_view.get()->*command)();
    };
    const struct {
        const char* what;
        std::function<void()> command;
        std::vector<int> bars;
    } steps[] = {
        {"insert the first", [&] { insert("-100", false); }, {0}},
        {"insert", [&] { insert("50", false); }, {0, 150}},
        {"insert as master", [&] { insert("7", true); }, {107, 150, 0}},
        {"insert master at 300", [&] { at(300, &VOKR_VIEW::on_insert_master_time_bar); }, {300, 150, 0, 107}},
        {"move master to 150", [&] { at(150, &VOKR_VIEW::on_move_master_time_bar); }, {150, 0, 107}},
        {"delete 0", [&] { at(0, &VOKR_VIEW::on_delete_time_bar); }, {150, 107}},
        {"delete the master", [&] { at(150, &VOKR_VIEW::on_delete_time_bar); }, {107}},
        {"insert", [&] { insert("-50", false); }, {107, 50}},
        {"delete all", [&] { m_view->on_delete_all_time_bars(); }, {}},
    };
    for (const auto& step : steps) {
        step.command();
        EXPECT_EQ(reopened_bars(), step.bars) << step.what;
    }
}

// The search against a sample-by-sample reference on random captures with gaps: a short one with
// frequent changes, often at the first sample a step reaches, and a sparse one whose searches cross
// many words of each plane (every thirteenth master, and each one before a 4,096-sample mark),
// both ways.
TEST_F(ViewZoom, TransitionsMatchASampleBySampleScan)
{
    rows(3);
    for (const auto& [depth, changes, gaps, stride] : {std::tuple{700, 40, 97, 1}, std::tuple{70000, 4000, 5003, 13}})
        check_transitions(depth, changes, gaps, stride);
    // At the end the next button is off; while acquiring, steps are single samples.
    m_view->set_bars({69999});
    m_view->on_next_transition();
    EXPECT_FALSE(m_view->get_next_transition_button()->isEnabled());
    m()->get_data_log()->set_acquiring_data(true);
    m_view->set_bars({10});
    m_view->on_previous_transition();
    EXPECT_EQ(m_view->bars()[0], 9);
}

// Each row changes at random about once in `changes` samples; gaps start every `gaps` samples
// and now and then.
void ViewZoom::check_transitions(int depth, int changes, int gaps, int stride)
{
    std::mt19937 random(7);
    std::vector<std::vector<bool>> bits(3, std::vector<bool>(depth));
    std::vector<bool> valid(depth);
    for (int s = 0; s < depth; ++s) {
        for (auto& row : bits)
            row[s] = s > 0 && random() % changes ? row[s - 1] : random() % 2;
        valid[s] = !(s % gaps < 3 || random() % (changes * 4) == 0);
    }
    capture(
        depth, [&](int n, int s) { return bits[n][s]; }, [&](int s) { return valid[s]; });
    const auto changed = [&](int s, const std::vector<int>& nodes) {
        if (s >= depth || !valid[s])
            return s > 0 && valid[s - 1];
        return std::any_of(nodes.begin(), nodes.end(), [&](int n) { return s > 0 && bits[n][s] != bits[n][s - 1]; });
    };
    for (const std::vector<int>& selected : {std::vector<int>{}, std::vector<int>{0, 2}}) {
        m()->select_node_range(0, 2, false);
        for (int n : selected)
            m()->set_node_selection_status(n, true);
        const std::vector<int> nodes = selected.empty() ? std::vector<int>{0, 1, 2} : selected;
        for (int master = 0; master <= depth; master += master % 4096 >= 4089 || master > depth - 3 ? 1 : stride) {
            int next = master + 1, previous = std::min(master, depth) - 1;
            while (next < depth && !changed(next, nodes))
                ++next;
            while (previous > 0 && !changed(previous, nodes))
                --previous;
            m_view->set_bars({master});
            m_view->on_next_transition();
            ASSERT_EQ(m_view->bars()[0], std::min(next, depth)) << master;
            m_view->set_bars({master});
            m_view->on_previous_transition();
            ASSERT_EQ(m_view->bars()[0], master < 1 ? master : std::max(previous, 0)) << master;
        }
        EXPECT_EQ(m_view->get_selected_node_count(), int(selected.size()));  // the selection is kept
    }
}

// Next and Previous Transition move the master over what the selection examines: a single bit, a
// bus (every member, its last one too) or, with nothing selected, every row; they stop at both
// ends of the capture, where the button that would go further is off. Rows: n0, the bus at row 1
// over members 2..4 (most significant first), n4 at row 5.
TEST_F(ViewZoom, TransitionsOfBitsAndBusesStopAtBothEnds)
{
    rows(5);
    ASSERT_TRUE(m()->group_node(1, 3));
    const auto high = [](int node, int s) {
        switch (node) {
        case 0: return s >= 10 && s < 60;
        case 2: return s >= 20;
        case 4: return s >= 30 && s < 70;  // the bus's last member
        case 5: return s >= 40;
        default: return false;
        }
    };
    capture(100, high);
    const struct {
        int selected;  // -1: none
        int master;
        bool next;
        int expected;
    } cases[] = {
        {1, 0, true, 20},    {1, 20, true, 30},   {1, 30, true, 70},    {1, 70, true, 100}, {1, 100, false, 70},
        {1, 70, false, 30},  {1, 30, false, 20},  {1, 20, false, 0},    {0, 0, true, 10},   {0, 10, true, 60},
        {0, 60, true, 100},  {0, 100, false, 60}, {0, 10, false, 0},    {-1, 0, true, 10},  {-1, 30, true, 40},
        {-1, 70, false, 60}, {-1, 40, false, 30}, {-1, 100, false, 70}, {5, 50, false, 40}, {5, 40, true, 100},
    };
    for (const auto& c : cases) {
        m()->select_node_range(0, 5, false);
        if (c.selected >= 0)
            m()->set_node_selection_status(c.selected, true);
        master_at(c.master);
        EXPECT_EQ(m_view->get_previous_transition_button()->isEnabled(), c.master > 0) << c.master;
        c.next ? m_view->on_next_transition() : m_view->on_previous_transition();
        EXPECT_EQ(m_view->get_time_bars()[0], c.expected)
            << c.selected << (c.next ? " next from " : " back from ") << c.master;
        EXPECT_EQ(m_view->get_next_transition_button()->isEnabled(), c.expected < 100) << c.expected;
        EXPECT_EQ(m_view->get_previous_transition_button()->isEnabled(), c.expected > 0) << c.expected;
    }
}

// A change at the first sample of a word, the level then held for words: the words count as
// steady only where they repeat the last sample of the word before. Row n0 either rises there,
// or falls there after a pulse that began inside the word before; at every word of the first
// eight, so that the change starts each place in a step of four words, and after or before runs
// of steady words longer than a step of 32.
TEST_F(ViewZoom, TransitionsAtTheFirstSampleOfAWordAfterSteadyWords)
{
    rows(1);
    const int depth = 64 * 100;
    for (int k : {1, 2, 3, 4, 5, 6, 7, 8, 33, 64, 65, 97})
        for (const bool pulse : {false, true}) {
            const int at = 64 * k;
            capture(depth, [=](int, int s) { return s < at ? pulse && s >= at - 54 : !pulse; });
            master_at(pulse ? at - 50 : 0);
            m_view->on_next_transition();
            EXPECT_EQ(m_view->get_time_bars()[0], at) << "next, " << (pulse ? "pulse" : "rise") << " at word " << k;
            master_at(depth);
            m_view->on_previous_transition();
            EXPECT_EQ(m_view->get_time_bars()[0], at) << "back, " << (pulse ? "pulse" : "rise") << " at word " << k;
        }
}

// A step lands where a view that never stepped before lands, after each change of what it examines:
// the selection, grouping and its undo, a removed row, a capture in a new log and again in the
// same log. Row n changes at 10 (n + 1) in the first capture, at 90 - 10 n in the later ones.
TEST_F(ViewZoom, TransitionsFollowEveryChangeOfTheExaminedPlanes)
{
    rows(4);
    capture(100, [](int n, int s) { return s >= 10 * (n + 1); });
    const auto late = [](int n, int s) { return s >= 90 - 10 * n; };
    const auto select = [this](int row) {
        m()->select_node_range(0, m_view->get_node_count() - 1, false);
        m()->set_node_selection_status(row, true);
    };
    const auto recapture = [&] {
        KSM_DATA_LOG* log = m()->get_data_log();
        log->begin_capture(log->get_num_channels(), 100, 0);
        for (int c = 0; c < log->get_num_channels(); ++c)
            for (int s = 0; s < 100; ++s)
                log->set_bit(c, s, late(c, s));
        for (int s = 0; s < 100; ++s)
            log->set_valid(s, true);
        log->end_capture();
    };
    const struct {
        const char* change;
        std::function<void()> make;
    } changes[] = {
        {"nothing selected", [] {}},
        {"n2 selected", [&] { select(2); }},
        {"n3 selected", [&] { select(3); }},
        {"n1 and n2 grouped, the bus selected",
         [&] {
             m()->begin_action(-1);
             ASSERT_TRUE(m()->group_node(1, 2));
             m()->end_action(VOKR_CHECK_NOTHING, -1);
             select(1);
         }},
        {"the grouping undone", [&] { m()->on_edit_undo(); }},
        {"n0 removed, nothing selected",
         [&] {
             m()->select_node_range(0, m_view->get_node_count() - 1, false);
             ASSERT_EQ(m()->delete_node(0, 0), 1);
         }},
        {"a new log", [&] { capture(100, late); }},
        {"the same log again", [&] { recapture(); }},
    };
    for (const auto& c : changes) {
        VIEW fresh(nullptr, m());  // made first: a new view clears the selection
        c.make();
        for (const auto& [master, next] : {std::pair{0, true}, {50, true}, {50, false}, {100, false}}) {
            for (VIEW* view : {m_view.get(), &fresh}) {
                view->set_bars({master});
                next ? view->on_next_transition() : view->on_previous_transition();
            }
            EXPECT_EQ(m_view->bars()[0], fresh.bars()[0])
                << c.change << (next ? ", next from " : ", back from ") << master;
        }
    }
}

// A 4-bit bus n0 over members n1..n4 holding (s / 4) % 16; member n4 (the lowest bit) is inverted.
TEST_F(ViewZoom, FindBusValue)
{
    rows(6);
    ASSERT_TRUE(m()->group_node(0, 3));  // the bus row is node 0, its members 1..4, node 5 alone
    ASSERT_TRUE(m()->get_signal_nodes(-1)->set_signal_inverted(4, true));
    capture(256, [](int n, int s) { return n >= 1 && n <= 4 ? (((s / 4) % 16) >> (4 - n) & 1) != (n == 4) : false; });
    const struct {
        bool select_bus;
        std::vector<int> bars;
        const char* text;  // hexadecimal
        int found;         // the master afterwards
        const char* message;
    } cases[] = {
        {false, {}, "3", 0, "VOKR_FIND_BUS_VALUE_NO_BUS_SELECTED"},
        {true, {}, "0", 0, ""},
        {true, {3}, "0", 64, ""},
        {true, {5}, "X", 6, ""},
        {true, {250}, "5", 250, "VOKR_FIND_BUS_VALUE_NOT_FOUND"},
    };
    for (const auto& c : cases) {
        m()->select_node_range(0, 6, false);
        m()->set_node_selection_status(c.select_bus ? 0 : 5, true);
        m_view->set_bars(c.bars);
        MSG_JOURNAL::clear();
        if (c.select_bus)
            on_next_dialog<VOKR_TRIGGER_VALUE_DLG>([&](VOKR_TRIGGER_VALUE_DLG* dialog) {
                dialog->get_value_edit()->setText(c.text);
                dialog->get_ok_button()->click();
            });
        m_view->on_find_bus_value();
        EXPECT_EQ(m_view->bars(), std::vector<int>{c.found}) << c.text;
        const auto shown = shown_messages();
        EXPECT_EQ(shown.empty() ? "" : shown.back(), std::string(c.message)) << c.text;
    }
    // The repeats use the remembered value: previous without bars starts below the depth, next
    // one sample beyond the master.
    m_view->set_bars({});
    m_view->on_find_previous_bus_value();
    EXPECT_EQ(m_view->bars(), std::vector<int>{215});
    m_view->set_bars({3});
    m_view->on_find_next_bus_value();
    EXPECT_EQ(m_view->bars(), std::vector<int>{20});
    // n4 no longer inverted: 5 now reads where 4 was stored.
    ASSERT_TRUE(m()->get_signal_nodes(-1)->set_signal_inverted(4, false));
    m_view->set_bars({3});
    m_view->on_find_next_bus_value();
    EXPECT_EQ(m_view->bars(), std::vector<int>{16});
    ASSERT_TRUE(m()->get_signal_nodes(-1)->set_signal_inverted(4, true));
    // A value searched in decimal, the dialog then shown in hexadecimal and closed: the repeat
    // looks for the value searched, not for its digits read in the radix shown last.
    m_view->set_bars({3});
    on_next_dialog<VOKR_TRIGGER_VALUE_DLG>([&](VOKR_TRIGGER_VALUE_DLG* dialog) {
        dialog->get_radix_combo()->setCurrentIndex(VOKR_TRIGGER_VALUE_DLG::radix_index(KSM_GTYPE_UNSIGNED));
        dialog->get_value_edit()->setText("10");
        dialog->get_ok_button()->click();
        dialog->get_radix_combo()->setCurrentIndex(VOKR_TRIGGER_VALUE_DLG::radix_index(KSM_GTYPE_HEX));
        EXPECT_EQ(dialog->get_value_edit()->text(), "A");
        dialog->reject();
    });
    m_view->on_find_bus_value();
    const std::vector<int> ten = m_view->bars();
    m_view->set_bars({3});
    m_view->on_find_next_bus_value();
    EXPECT_EQ(m_view->bars(), ten);
    // Blocks over which the first member keeps one level are told from it alone, and the last
    // block's words past a multiple of four are read too: F only at 5,000, 1 only at the end, 6
    // only at 300, 4 only at 12,000; both ways over runs of words the first member rules out or not.
    const int depth = 20000;
    capture(depth, [&](int n, int s) {
        return n >= 1 && n <= 4 && s != depth - 1 && !(n == 4 && s == 5000) && !(n == 1 && s == 300) &&
               !(n % 2 && s == 12000);
    });
    const struct {
        const char* text;
        bool forward;
        int master, found;
    } searches[] = {
        {"F", true, 0, 5000}, {"1", true, 0, depth - 1}, {"F", false, depth - 1, 5000}, {"6", false, depth - 1, 300}};
    const auto search = [&](const char* text, bool forward, int master, int found) {
        m_view->set_bars({master});
        on_next_dialog<VOKR_TRIGGER_VALUE_DLG>([&](VOKR_TRIGGER_VALUE_DLG* dialog) {
            dialog->get_value_edit()->setText(text);
            (forward ? dialog->get_ok_button() : dialog->get_find_previous_button())->click();
        });
        m_view->on_find_bus_value();
        EXPECT_EQ(m_view->bars(), std::vector<int>{found})
            << text << (forward ? " next from " : " back from ") << master;
    };
    for (const auto& c : searches)
        search(c.text, c.forward, c.master, c.found);
    // From each of five words before (after) the 4 at 12,000, over runs longer than a step: the
    // words read one at a time up to a vector boundary are counted once, whichever their number.
    for (int j = 0; j <= 4; ++j)
        for (const bool forward : {true, false})
            search("4", forward, 12000 + (forward ? -64 : 64) * (32 + j), 12000);
    // The focused view's Edit menu offers the search and, after one, its repeats, on the Data tab.
    m_tabs.setCurrentIndex(0);
    m_view->show();
    QApplication::setActiveWindow(m_view.get());
    m_view->setFocus();
    m_view->grab();
    m_view->on_update_edit_menu();
    for (int id : {349, 350, 351})
        EXPECT_TRUE(m()->get_action(static_cast<PIRQ_ACTION_ENUM>(id), QVariant())->isEnabled()) << id;
}

TEST_F(ViewZoom, InsertTriggerValueNeedsSelectedBusesOfOneWidth)
{
    rows(27);
    ASSERT_TRUE(m()->group_node(0, 7));
    ASSERT_TRUE(m()->group_node(9, 24));
    for (const auto& [second, enabled] : {std::make_pair(-1, true), std::make_pair(9, false)}) {
        m()->set_node_selection_status(0, true);
        if (second >= 0)
            m()->set_node_selection_status(second, true);
        EXPECT_EQ(m_view->on_update_insert_trigger_value(), enabled);
    }
    // A value typed in hexadecimal becomes the bus's trigger pattern at the view's level, undone
    // in one step.
    m()->set_node_selection_status(9, false);
    m()->set_node_group_display_type(0, KSM_GTYPE_HEX);
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<VOKR_TRIGGER_VALUE_DLG*>(QApplication::activeModalWidget());
        ASSERT_TRUE(dialog);
        dialog->get_value_edit()->setText("A5");
        dialog->on_ok_button();
    });
    m_view->on_insert_trigger_value();
    QString pattern;
    bool radix_ok = false;
    m_view->get_group_trigger_pattern(0, m_view->get_current_level(), &pattern, &radix_ok);
    EXPECT_EQ(pattern, "10100101");
    m()->on_edit_undo();
    m_view->get_group_trigger_pattern(0, m_view->get_current_level(), &pattern, &radix_ok);
    EXPECT_EQ(pattern, "XXXXXXXX");
}

}  // namespace
