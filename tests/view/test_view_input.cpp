// The node list view driven by hand: tooltips, presses and keys, in-place editors, drops, and the
// undo of every edit they make.
#include "manager_test_support.h"
#include "view_test_support.h"

#include "vokr_comparison_edit.h"
#include "vokr_edit.h"
#include "vokr_hierarchy_widget.h"
#include "vokr_layout_widget.h"
#include "vokr_node.h"
#include "vokr_view.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QMimeData>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QWheelEvent>

#include <random>

using namespace manager_test;

namespace {

// Synthetic drag events carry no source: the seam marks them as the view's own drag. Node drags
// end at once, and context menus are recorded instead of shown.
struct VIEW : VOKR_VIEW {
    using VOKR_VIEW::m_horizontal_bar;
    using VOKR_VIEW::m_time_bars;
    using VOKR_VIEW::m_timebar_count;
    using VOKR_VIEW::m_zoom_level;
    using VOKR_VIEW::VOKR_VIEW;
    std::vector<int> bars() const { return {m_time_bars, m_time_bars + m_timebar_count}; }
    bool own = false;
    bool is_own_drag(const QDropEvent*) const override { return own; }
    Qt::DropAction exec_node_drag(Qt::DropActions) override { return Qt::IgnoreAction; }
    QMenu* shown_menu = nullptr;
    void exec_context_menu(QMenu* menu, const QPoint&) override { shown_menu = menu; }
};

// Rows n0..n9, n2..n5 under the 4-bit bus row 2, on the Setup tab of a focused framed view.
class ViewInput : public FRAMED_VIEW_TEST<VIEW, 600> {
protected:
    QPoint at(int node, int column) const
    {
        QRect r;
        EXPECT_TRUE(m_view->get_item_rect(VOKR_VIEW::node_to_row(node), column, &r)) << node << " " << column;
        return r.center();
    }
    void click(const QPoint& p, Qt::KeyboardModifiers mods = {})
    {
        QTest::mouseMove(m_view.get(), p);
        QTest::mousePress(m_view.get(), Qt::LeftButton, mods, p);
        QTest::mouseRelease(m_view.get(), Qt::LeftButton, mods, p);
    }
    std::vector<int> selected() const
    {
        std::vector<int> s;
        for (int i = 0; i < m_view->get_node_count(); ++i)
            if (m()->get_node_selection_status(i))
                s.push_back(i);
        return s;
    }
    static void lose_focus(QWidget* editor)
    {
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(editor, &out);
    }
    void type_into(QLineEdit* editor, const QString& text)
    {
        editor->setText(text);
        lose_focus(editor);
    }
    QByteArray saved() const
    {
        const QString path = QString::fromStdString(scratch_file("input_session"));
        EXPECT_TRUE(m()->get_session()->save_session(path.toLocal8Bit().constData()));
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return file.readAll();
    }
    void drop_text(const QString& names, const QPoint& p)
    {
        QMimeData text;
        text.setText(names);
        QDragEnterEvent enter(p, Qt::CopyAction, &text, Qt::LeftButton, {});
        QApplication::sendEvent(m_view.get(), &enter);
        QDropEvent drop(p, Qt::CopyAction, &text, Qt::LeftButton, {});
        QApplication::sendEvent(m_view.get(), &drop);
    }
    // The view's own node drag over a point (an accepted enter makes the view the drop target);
    // true when the move was accepted. `drop`: then dropped there.
    bool own_drag(const QPoint& p, Qt::DropAction action, bool drop)
    {
        m_view->own = true;
        QMimeData own;
        own.setData(VOKR_VIEW::NODE_DRAG_FORMAT, QByteArray());
        QDragEnterEvent enter(p, action, &own, Qt::LeftButton, {});
        QApplication::sendEvent(m_view.get(), &enter);
        QDragMoveEvent move(p, action, &own, Qt::LeftButton, {});
        QApplication::sendEvent(m_view.get(), &move);
        QDropEvent dropped(p, action, &own, Qt::LeftButton, {});
        if (drop)
            QApplication::sendEvent(m_view.get(), &dropped);
        m_view->own = false;
        return move.isAccepted();
    }
    std::string comparison(int node) const
    {
        std::string text;
        m()->get_comparison_expression(node, 0, &text, -1);
        return text;
    }

    // A mouse event as the window system sends it, buttons held and modifiers included.
    void mouse(QEvent::Type type, const QPoint& p, Qt::MouseButtons held = {}, Qt::KeyboardModifiers mods = {},
               Qt::MouseButton button = Qt::NoButton)
    {
        QMouseEvent event(type, p, m_view->mapToGlobal(p), button, held, mods);
        QSpontaneKeyEvent::setSpontaneous(&event);
        qApp->notify(m_view.get(), &event);
    }
    // A left drag from `from` to `to` through the press, move and release handlers.
    void drag(const QPoint& from, const QPoint& to, Qt::KeyboardModifiers mods = {})
    {
        mouse(QEvent::MouseMove, from, {}, mods);
        mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, mods, Qt::LeftButton);
        mouse(QEvent::MouseMove, to, Qt::LeftButton, mods);
        mouse(QEvent::MouseButtonRelease, to, {}, mods, Qt::LeftButton);
    }
    // The Data tab over a capture of `depth` samples (in segments of `segment`) where every node
    // toggles each sample; the channel of row `unconnected` is not connected.
    void capture(int depth, int unconnected = -1, int segment = 0)
    {
        m_tabs.setCurrentIndex(0);
        m()->set_int_state(-1, "active tab", 0);
        KSM_DATA_LOG* log = m()->get_session()->create_new_log(0);
        KSM_TX_SIGNAL_SET* set = m()->get_signal_nodes(-1);
        log->begin_capture(set->get_num_channels(), depth, segment);
        for (int node = 0; node < set->get_num_nodes(); ++node)
            for (int s = 0, c = set->get_channel(node); c >= 0 && s < depth; ++s)
                log->set_bit(c, s, s % 2);
        for (int s = 0; s < depth; ++s)
            log->set_valid(s, true);
        if (unconnected >= 0)
            log->set_connection_status(set->get_channel(unconnected), false);
        if (segment > 0)
            log->set_trigger_positions(std::vector<int>(size_t(depth / segment), 0));
        log->end_capture();
        m()->set_view_log(0, log);
        m_view->reset_zoom(true);
        m_view->resizeEvent(nullptr);
    }
    // The vertical scroll bar of the view made too short for its rows.
    QScrollBar* short_view_bar()
    {
        m_view->resize(1000, 160);
        m_view->resizeEvent(nullptr);
        for (QScrollBar* bar : m_view->findChildren<QScrollBar*>())
            if (bar->orientation() == Qt::Vertical && bar->isVisible())
                return bar;
        ADD_FAILURE() << "no vertical scroll bar";
        return nullptr;
    }
    // The point on the ruler (row 0) or a node row over a sample.
    QPoint over(int sample, int node = -1) const
    {
        QRect r;
        EXPECT_TRUE(m_view->get_item_rect(node < 0 ? 0 : VOKR_VIEW::node_to_row(node), VOKR_VIEW::WAVEFORM_COLUMN, &r));
        return QPoint(m_view->get_sample_x(sample), r.center().y());
    }
};

TEST_F(ViewInput, TooltipsPerCell)
{
    m()->set_node_alias(1, "fast");
    const struct {
        int node, column;
        const char* text;
    } cases[] = {
        {0, 1, "click to set alias"},
        {1, 1, "fast"},
        {0, 2, "n0"},
        {0, 5, "Data Capture Disabled"},
        {2, 5, "Data Capture Partially Enabled"},
        {1, 5, "Data Capture Enabled"},
        {2, 6, "Trigger Enabled"},
    };
    VOKR_NODE(m(), m_editor->trigger(), 0).enable_data(false);
    VOKR_NODE(m(), m_editor->trigger(), 4).enable_data(false);
    for (const auto& c : cases) {
        QString text;
        EXPECT_TRUE(m_view->tooltip_text(at(c.node, c.column), &text));
        EXPECT_EQ(text.toStdString(), c.text) << c.node << " " << c.column << " [" << text.toStdString() << "]";
    }
    QString text;
    EXPECT_FALSE(m_view->tooltip_text(QPoint(5, 590), &text));
    QHelpEvent off(QEvent::ToolTip, QPoint(5, 590), m_view->mapToGlobal(QPoint(5, 590)));
    EXPECT_TRUE(QApplication::sendEvent(m_view.get(), &off));
}

// Values over a capture of 16 samples where every node is 1 at odd samples; a bus's in
// hexadecimal whatever its display format.
TEST_F(ViewInput, TooltipsOverACapture)
{
    const struct {
        int node, column, master, sample;  // sample: the mouse over it in the waveform column
        bool connected;
        const char* text;
    } cases[] = {
        {0, VOKR_VIEW::VALUE_COLUMN, 16, 0, true, "No Data"},  // a bar at the depth is past the data
        {0, VOKR_VIEW::VALUE_COLUMN, 15, 0, true, "1"},       {2, VOKR_VIEW::VALUE_COLUMN, 15, 0, true, "Fh"},
        {2, VOKR_VIEW::VALUE_COLUMN, 15, 0, false, ""},  // a member's channel is not connected
        {1, VOKR_VIEW::WAVEFORM_COLUMN, 0, 4, true, "0"},     {4, VOKR_VIEW::WAVEFORM_COLUMN, 0, 5, false, "Unknown"},
        {2, VOKR_VIEW::WAVEFORM_COLUMN, 0, 5, true, "Fh"},
    };
    for (const auto& c : cases) {
        capture(16, c.connected ? -1 : 4);
        m()->set_node_group_display_type(2, KSM_GTYPE_BINARY);
        m_view->m_time_bars[0] = c.master;
        m_view->m_timebar_count = 1;
        QPoint p = at(c.node, c.column);
        if (c.column == VOKR_VIEW::WAVEFORM_COLUMN)
            p.setX(m_view->get_sample_x(c.sample) + 1);
        QString text;
        EXPECT_TRUE(m_view->tooltip_text(p, &text));
        EXPECT_EQ(text.toStdString(), c.text) << c.node << " " << c.column << " " << c.master;
    }
    QString text;
    mouse(QEvent::MouseMove, over(8));  // no bar there: the insert cursor
    EXPECT_TRUE(m_view->tooltip_text(over(8), &text));
    EXPECT_EQ(text.toStdString(), "click to insert time bar");
    // In time units the sample row tells a time, as its ticks do; the segment row counts samples.
    capture(16, -1, 8);
    m_view->set_time_units(true, 10.0, "ns");
    for (const auto& [row, tip] : {std::pair{1, "Segment 5"}, {2, "Sample 50ns"}}) {
        QRect r;
        ASSERT_TRUE(m_view->get_item_rect(row, VOKR_VIEW::WAVEFORM_COLUMN, &r));
        EXPECT_TRUE(m_view->tooltip_text(QPoint(m_view->get_sample_x(5) + 1, r.center().y()), &text));
        EXPECT_EQ(text.toStdString(), tip) << row;
    }
}

TEST_F(ViewInput, PressesOpenEditorsAndSelect)
{
    m()->set_node_selection_status(7, true);
    click(at(0, 1));
    auto* alias = qobject_cast<VOKR_EDIT*>(m_view->get_editor());
    ASSERT_NE(alias, nullptr);
    EXPECT_TRUE(selected().empty());
    alias->setText("typed");
    QTest::keyClick(alias, Qt::Key_Escape);
    lose_focus(alias);
    QString text;
    m()->get_node_alias(0, &text);
    EXPECT_TRUE(text.isEmpty());
    EXPECT_EQ(m_view->get_editor(), nullptr);

    click(at(1, 2));
    click(at(3, 2), Qt::ShiftModifier);
    EXPECT_EQ(selected(), (std::vector<int>{1, 2, 3}));
    click(at(10, 2) + QPoint(0, 60), Qt::ShiftModifier);  // below the last row
    EXPECT_EQ(selected(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    EXPECT_EQ(m_view->get_selection_anchor(), 1);

    click(at(8, 2));  // several selected: the pressed one alone
    EXPECT_EQ(selected(), (std::vector<int>{8}));
    EXPECT_EQ(m_view->get_editor(), nullptr);
    click(at(8, 2));  // the only selected node: renamed in place
    ASSERT_NE(qobject_cast<VOKR_EDIT*>(m_view->get_editor()), nullptr);
    type_into(qobject_cast<VOKR_EDIT*>(m_view->get_editor()), "n8_renamed");
    QString name;
    m()->get_node(8, nullptr, &name, nullptr, nullptr, nullptr, nullptr, nullptr, -4, nullptr);
    EXPECT_EQ(name.toStdString(), "n8_renamed");
}

// Rows of a level unchecked in the hierarchy pane are hidden: a Shift range over them, pressed on
// a row or below the last, leaves them out.
TEST_F(ViewInput, ShiftRangesLeaveOutTheRowsTheHierarchyHides)
{
    add_rows(m(), {"h|a", "h|b", "tail"});  // nodes 11, 12 and 13
    VOKR_LAYOUT_WIDGET* layout = m_editor->frame()->get_layout_widget();
    layout->on_update(nullptr, vokr_hint(VOKR_HINT_REBUILD | VOKR_HINT_TABS));  // builds the pane
    VOKR_HIERARCHY_WIDGET* pane = layout->get_hierarchy_widget();
    ASSERT_NE(pane, nullptr);
    const QList<QStandardItem*> level = pane->get_model()->findItems("h", Qt::MatchRecursive);
    ASSERT_EQ(level.size(), 1);
    level[0]->setCheckState(Qt::Unchecked);
    m_view->invalidate_geometry();
    ASSERT_TRUE(pane->is_hidden("h|a") && pane->is_hidden("h|b"));
    click(at(10, 2));
    click(at(13, 2), Qt::ShiftModifier);
    EXPECT_EQ(selected(), (std::vector<int>{10, 13}));
    click(at(10, 2));
    click(at(13, 2) + QPoint(0, 60), Qt::ShiftModifier);  // below the last row
    EXPECT_EQ(selected(), (std::vector<int>{10, 13}));
}

// A level title typed in place with a name another level bears is refused with a message and
// changes nothing; the repository refuses such a name on its own too.
TEST_F(ViewInput, LevelTitleTakesNoNameAnotherLevelBears)
{
    m_editor->trigger()->set_num_levels(2);
    const std::string first = m()->get_trigger_level_name(0, -1);
    const struct {
        const char* name;
        bool refused;
    } cases[] = {{first.c_str(), true}, {"armed", false}};
    for (const auto& c : cases) {
        MSG_JOURNAL::clear();
        const QByteArray before = saved();
        const std::string second = m()->get_trigger_level_name(1, -1);
        type_into(new VOKR_EDIT(m_view.get(), m(), -1, VOKR_VIEW::FIRST_LEVEL_COLUMN + 1), c.name);
        EXPECT_EQ(shown_messages(),
                  c.refused ? std::vector<std::string>{"VOKR_DUPLICATE_NAME"} : std::vector<std::string>{})
            << c.name;
        EXPECT_EQ(m()->get_trigger_level_name(1, -1), c.refused ? second : std::string(c.name));
        if (c.refused) {
            EXPECT_EQ(saved().toStdString(), before.toStdString());
        }
    }
    EXPECT_FALSE(m_editor->trigger()->set_level_name(1, first.c_str()));
    EXPECT_EQ(m()->get_condition_names(-1).join(", ").toStdString(), first + ", armed");
}

TEST_F(ViewInput, ComparisonTextCommitsOnlyWhenValid)
{
    const struct {
        const char* text;
        const char* result;  // empty: unchanged
    } cases[] = {
        {">= 15", ">= 15"},    {"> 16", ""}, {"[3, 7]", "[3, 7]"}, {"(7, 3)", ""},
        {"[3, 7", ""},         {"x>=3", ""}, {"1>=3", ">= 13"},    {"== 99999999999999999999", ""},
        {"<= 4294967297", ""},
    };
    for (const auto& c : cases) {
        m_editor->trigger()->set_comparison_enabled(2, 0, true);
        m_editor->trigger()->set_comparison_operand(2, 0, 1, KSM_CTYPE_COMPARE_EQUAL_TO);
        m_editor->trigger()->set_comparison_operand(2, 0, 2, KSM_CTYPE_COMPARE_TRUE);
        m_editor->trigger()->set_comparison_value(2, 0, 1, 1);
        const std::string before = comparison(2);
        type_into(new VOKR_COMPARISON_EDIT(m_view.get(), m(), 2, 12), c.text);
        const std::string after = comparison(2);
        if (*c.result)
            EXPECT_EQ(QString::fromStdString(after).remove(' '), QString(c.result).remove(' ')) << c.text;
        else
            EXPECT_EQ(after, before) << c.text;
    }
}

// Random text never ends the process and never stores a value outside the bus.
TEST_F(ViewInput, RandomTypedTextIsRefusedOrStoredInRange)
{
    std::mt19937 random(20);
    const std::string alphabet = "0123456789<>=[](), \tx-";
    m_editor->trigger()->set_comparison_enabled(2, 0, true);
    for (int round = 0; round < 200; ++round) {
        std::string text(std::uniform_int_distribution<int>(0, 30)(random), ' ');
        for (char& ch : text)
            ch = alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(random)];
        type_into(new VOKR_COMPARISON_EDIT(m_view.get(), m(), 2, 12), QString::fromStdString(text));
        for (int operand : {1, 2}) {
            const int v = m_editor->trigger()->get_comparison_value(2, 0, operand);
            EXPECT_TRUE(v >= -1 && v <= 15) << text;
        }
        QString before, after;
        bool radix_ok = false;
        m_view->get_group_trigger_pattern(2, 0, &before, &radix_ok);
        const bool too_long = round % 20 == 0;
        type_into(new VOKR_EDIT(m_view.get(), m(), 2, 12),
                  too_long ? QString(5000, '1') : QString::fromStdString(text));
        m_view->get_group_trigger_pattern(2, 0, &after, &radix_ok);
        if (too_long) {
            EXPECT_EQ(after, before);  // a value longer than any bus is refused
        }
        EXPECT_EQ(after.size(), 4) << text;
    }
}

// A bus's trigger value cell takes the digits of the bus's format and the trigger letters only:
// a key of neither leaves the text as it was.
TEST_F(ViewInput, TriggerValueCellTakesItsFormatsDigitsAndTheTriggerLetters)
{
    const struct {
        KSM_DATA_GROUP_DISPLAY_TYPE type;
        const char *keys, *text;
    } cases[] = {{KSM_GTYPE_HEX, "G1g f", "1f"},
                 {KSM_GTYPE_HEX, "1xRh", "1xRh"},
                 {KSM_GTYPE_UNSIGNED, "1a2-", "12"},
                 {KSM_GTYPE_BINARY, "10Z2X", "10X"}};
    for (const auto& c : cases) {
        m()->get_trigger_nodes(-1)->set_group_display_type(2, c.type);  // false where it is so already
        auto* editor = new VOKR_EDIT(m_view.get(), m(), 2, VOKR_VIEW::FIRST_LEVEL_COLUMN);
        editor->clear();
        QTest::keyClicks(editor, c.keys);
        EXPECT_EQ(editor->text().toStdString(), c.text) << c.keys;
        lose_focus(editor);
    }
}

TEST_F(ViewInput, DropsRefuseOwnRowsAndInsertTextNames)
{
    m()->set_node_selection_status(7, true);
    EXPECT_FALSE(own_drag(at(7, 2), Qt::MoveAction, false));
    EXPECT_EQ(m_view->get_drop_row(), -1);
    EXPECT_TRUE(own_drag(at(8, 2), Qt::MoveAction, false));

    QMimeData text;
    text.setText("a  b\tc");
    QDragEnterEvent enter(at(0, 2), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(m_view.get(), &enter);
    ASSERT_TRUE(enter.isAccepted());
    const int before = m_view->get_node_count();
    QDropEvent drop(at(0, 2), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(m_view.get(), &drop);
    EXPECT_EQ(m_view->get_node_count(), before + 3);
}

TEST_F(ViewInput, ZoomBandByMouse)
{
    capture(512);
    const struct {
        int zoom_ins, from, to;  // samples; to < 0: a band |to| px wide
        Qt::KeyboardModifiers mods;
        double level, offset;  // offset < 0: not checked
    } cases[] = {
        {0, 100, 356, {}, 512, 0},
        {0, 100, 400, {}, 256, 212},
        {0, 100, -4, {}, 2, -1},
        {2, 100, -4, Qt::ShiftModifier, 2, -1},
        {2, 100, 300, Qt::ShiftModifier, 2, -1},
    };
    for (const auto& c : cases) {
        m_view->m_zoom_level = VOKR_DOUBLE(1, 1);
        m_view->reset_zoom(true);
        m_view->resizeEvent(nullptr);
        for (int i = 0; i < c.zoom_ins; ++i)
            m_view->zoom_in(nullptr);
        m_view->m_horizontal_bar->setValue(0);
        const QPoint from = over(c.from, 0);
        // The band ends inside the sample before `to`: snapping extends it to that sample's end.
        const QPoint to =
            c.to < 0 ? from + QPoint(-c.to - 1, 30) : QPoint(m_view->get_sample_x(c.to) - 1, over(0, 3).y());
        drag(from, to, c.mods);
        EXPECT_EQ(m_view->get_zoom_level().value(), c.level) << c.from << ".." << c.to;
        if (c.offset >= 0) {
            EXPECT_EQ(m_view->get_zoom_offset().value(), c.offset) << c.from << ".." << c.to;
        }
    }
}

TEST_F(ViewInput, TimeBarsByMouse)
{
    capture(512);
    QRect column;
    m_view->get_column_rect(VOKR_VIEW::WAVEFORM_COLUMN, &column);
    const QPoint outside(column.left() - 20, over(0).y());
    const struct {
        int from;   // sample of the pressed point
        QPoint to;  // null: a click
        int to_sample;
        Qt::KeyboardModifiers mods;
        std::vector<int> bars;
    } cases[] = {
        {300, {}, 0, {}, {50, 100, 200, 300}},               // a click on the ruler adds a bar
        {50, {}, 100, {}, {100, 100, 200}},                  // the master keeps its place on another bar
        {200, {}, 100, {}, {50, 100}},                       // another bar dropped on a bar goes
        {100, outside, 0, {}, {50, 200}},                    // dragged out of the column: deleted
        {100, outside, 0, Qt::ShiftModifier, {}},            // with Shift: all bars
        {100, {}, 150, Qt::ShiftModifier, {100, 150, 250}},  // with Shift all bars move together
    };
    for (const auto& c : cases) {
        const int start[] = {50, 100, 200};
        std::copy(start, start + 3, m_view->m_time_bars);
        m_view->m_timebar_count = 3;
        const QPoint from = over(c.from);
        drag(from, c.to.isNull() ? (c.to_sample ? over(c.to_sample) : from) : c.to, c.mods);
        EXPECT_EQ(m_view->bars(), c.bars) << c.from;
    }
}

// Own rows dragged over and dropped on the list; Data is the proposed action.
TEST_F(ViewInput, OwnDragsRefuseAndAppend)
{
    ASSERT_TRUE(m()->group_node(9, 10));  // the list now ends in a group
    m_editor->trigger()->set_group_display_type(2, KSM_GTYPE_PLUGIN);
    const int n = m_view->get_node_count();
    const QPoint below_last = at(n - 1, 2) + QPoint(0, 60);
    const struct {
        QPoint point;
        Qt::DropAction action;
        int count;         // nodes after the drop; 0: refused over the list
        const char* last;  // name of the last row
    } cases[] = {
        {at(2, 2), Qt::MoveAction, 0, ""},      // after a plug-in bus row, before its first member
        {below_last, Qt::MoveAction, n, "n0"},  // appended outside the closing group
        {below_last, Qt::CopyAction, n + 1, "n1"},
    };
    // While the instance captures the rows keep their places.
    m()->set_instance_acq_state(0, VOKR_ACQ_STARTED);
    m()->set_node_selection_status(0, true);
    EXPECT_FALSE(own_drag(below_last, Qt::MoveAction, true));
    EXPECT_EQ(m_view->get_node_count(), n);
    m()->set_instance_acq_state(0, VOKR_ACQ_NOT_RUNNING);
    for (const auto& c : cases) {
        m_view->select_items(false);
        m()->set_node_selection_status(0, true);
        EXPECT_EQ(own_drag(c.point, c.action, c.count > 0), c.count > 0) << c.count;
        if (!c.count)
            continue;
        const int count = m_view->get_node_count();
        ASSERT_EQ(count, c.count);
        QString name;
        m()->get_node(count - 1, nullptr, &name, nullptr, nullptr, nullptr, nullptr, nullptr, -4, nullptr);
        EXPECT_EQ(name.toStdString(), c.last);
        EXPECT_EQ(m()->get_node_depth(count - 1), 0) << c.last;
    }
}

// Outside drags: they switch Data to Setup, and nothing is taken without a current instance.
TEST_F(ViewInput, OutsideDragsAndAutoScroll)
{
    m_tabs.setCurrentIndex(0);
    m()->set_int_state(-1, "active tab", 0);
    const int n = m_view->get_node_count();
    drop_text("d1", QPoint(300, 580));
    EXPECT_EQ(m()->get_int_state(-1, "active tab", 0), 1);
    EXPECT_EQ(m_view->get_node_count(), n + 1);
    m()->set_instance(-1);
    QMimeData text;
    text.setText("d2");
    QDragEnterEvent enter(QPoint(300, 580), Qt::CopyAction, &text, Qt::LeftButton, {});
    QApplication::sendEvent(m_view.get(), &enter);
    EXPECT_FALSE(enter.isAccepted());
    QDropEvent drop(QPoint(300, 580), Qt::CopyAction, &text, Qt::LeftButton, {});
    m_view->event(&drop);  // straight to the view: the refused enter made it no drop target
    m()->set_instance(0);
    EXPECT_EQ(m_view->get_node_count(), n + 1);

    // The step grows from 1 next to the inner edge of the scroll margin to 4 at the view's edge.
    QScrollBar* vertical = short_view_bar();
    ASSERT_TRUE(vertical);
    const struct {
        int from_bottom, step;
    } cases[] = {{0, 4}, {30, 1}, {60, 0}};
    for (const auto& c : cases) {
        vertical->setValue(1);
        QCursor::setPos(m_view->mapToGlobal(QPoint(300, m_view->rect().bottom() - c.from_bottom)));
        m_view->on_drag_scroll();
        EXPECT_EQ(vertical->value(), 1 + c.step) << c.from_bottom;
    }
}

TEST_F(ViewInput, ContextMenuPerCell)
{
    const struct {
        int row, column, menu;  // menu: the column whose menu opens, -1 none
        bool capture;
        std::vector<int> selected;
        int level;
    } cases[] = {
        {VOKR_VIEW::node_to_row(3), 1, 1, false, {3}, 5},  // an unselected node becomes the selection
        {VOKR_VIEW::node_to_row(7), 2, 2, false, {7}, 5},
        {VOKR_VIEW::node_to_row(7), 12, 12, false, {7}, 0},  // a level cell makes its level current
        {1, 12, 2, false, {7}, 0},                           // header rows use the name column's menu
        {VOKR_VIEW::node_to_row(7), 23, -1, true, {}, 5},    // waveforms: the right button zooms out
        {0, 23, 23, true, {}, 5},
    };
    m()->set_node_selection_status(7, true);
    for (const auto& c : cases) {
        m_view->set_current_level(5);
        if (c.capture)
            capture(16);
        QRect cell;
        ASSERT_TRUE(m_view->get_item_rect(c.row, c.column, &cell)) << c.row << " " << c.column;
        m_view->shown_menu = nullptr;
        QContextMenuEvent event(QContextMenuEvent::Mouse, cell.center(), m_view->mapToGlobal(cell.center()));
        QApplication::sendEvent(m_view.get(), &event);
        EXPECT_EQ(m_view->shown_menu, c.menu < 0 ? nullptr : m_view->get_context_menu(c.menu))
            << c.row << " " << c.column;
        EXPECT_EQ(selected(), c.selected) << c.row << " " << c.column;
        EXPECT_EQ(m_view->get_current_level(), c.level) << c.row << " " << c.column;
    }
    EXPECT_EQ(m_view->get_context_sample(), m_view->get_sample_at(at(-3, 23), true));
}

// A pick from a condition cell's right-click menu stores its condition on every selected row as
// one undo unit; a single bit gets its condition this way, a bus its group condition on Basic OR.
TEST_F(ViewInput, ConditionMenuPicksStoreTheirCondition)
{
    const auto pick = [&](int node, const QString& text) {
        m_view->shown_menu = nullptr;
        const QPoint p = at(node, VOKR_VIEW::FIRST_LEVEL_COLUMN);
        QContextMenuEvent event(QContextMenuEvent::Mouse, p, m_view->mapToGlobal(p));
        QApplication::sendEvent(m_view.get(), &event);
        ASSERT_TRUE(m_view->shown_menu);
        emit m_view->shown_menu->aboutToShow();
        for (QAction* entry : m_view->shown_menu->actions())
            if (entry->text().remove('&') == text) {
                ASSERT_TRUE(entry->isEnabled()) << text.toStdString();
                entry->trigger();
                return;
            }
        ADD_FAILURE() << "no entry " << text.toStdString();
    };
    const struct {
        std::vector<int> selected;
        int node;
        const char* text;
        int condition;
        std::vector<int> rows;  // the rows that take it
        bool basic_or;
    } cases[] = {
        {{}, 0, "High", KSM_CTYPE_HIGH, {0}, false},
        {{0, 1}, 1, "Rising Edge", KSM_CTYPE_RISING_EDGE, {0, 1}, false},
        {{}, 8, "Low", KSM_CTYPE_LOW, {8}, false},
        {{8, 9}, 9, "Falling Edge", KSM_CTYPE_FALLING_EDGE, {8, 9}, false},
        {{}, 3, "Either Edge", KSM_CTYPE_EITHER_EDGE, {3}, false},
        {{}, 0, "Don't Care", KSM_CTYPE_DONT_CARE, {0}, false},
        {{}, 2, "XOR", 14, {2}, true},
        {{}, 2, "Equal", 9, {2}, true},
    };
    KSM_TX_TRIGGER* t = m_editor->trigger();
    t->set_trigger_condition(0, 0, KSM_CTYPE_LOW);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        m_view->findChild<QComboBox*>("level_type_0")->setCurrentText(c.basic_or ? "Basic OR" : "Basic AND");
        m_view->select_items(false);
        for (int node : c.selected)
            m()->set_node_selection_status(node, true);
        std::vector<int> before, after;
        for (int row : c.rows)
            before.push_back(t->get_trigger_condition(row, 0));
        pick(c.node, c.text);
        for (int row : c.rows)
            after.push_back(t->get_trigger_condition(row, 0));
        EXPECT_EQ(after, std::vector<int>(c.rows.size(), c.condition));
        m()->on_edit_undo();
        for (size_t i = 0; i < c.rows.size(); ++i)
            EXPECT_EQ(t->get_trigger_condition(c.rows[i], 0), before[i]) << c.rows[i];
        m()->on_edit_redo();
    }
}

// Left moves toward the first column or sample and Right toward the last, a twentieth of what the
// view shows: the columns of a narrow Setup tab, the samples of a zoomed Data tab.
TEST_F(ViewInput, ArrowKeysMoveTowardTheirEnd)
{
    for (const bool data : {false, true}) {
        SCOPED_TRACE(data ? "data" : "setup");
        m_view->resize(data ? 1000 : 300, 400);
        if (data) {
            capture(4096);
            for (int i = 0; i < 3; ++i)
                m_view->zoom_in(nullptr);
        }
        m_view->resizeEvent(nullptr);
        QScrollBar* bar = nullptr;
        for (QScrollBar* b : m_view->findChildren<QScrollBar*>())
            if (b->orientation() == Qt::Horizontal)
                bar = b;
        ASSERT_TRUE(bar && bar->maximum() > 2);
        EXPECT_TRUE(!data || bar->pageStep() == 512) << "the bar scrolls the samples: " << bar->pageStep();
        const int step = bar->pageStep() / 20;
        bar->setValue(2);
        QTest::keyClick(m_view.get(), Qt::Key_Right);
        EXPECT_EQ(bar->value(), 2 + step);
        bar->setValue(bar->maximum());
        QTest::keyClick(m_view.get(), Qt::Key_Left);
        EXPECT_EQ(bar->value(), bar->maximum() - step);
    }
}

// The rename editor of a name column at its least width is still wide enough to type in.
TEST_F(ViewInput, RenameEditorOpensWideEnoughToType)
{
    m_view->set_column_width(2, QPoint(0, 0), false);
    m()->set_node_selection_status(7, true);
    ASSERT_TRUE(m_view->on_update_node_rename());
    m_view->on_node_rename();
    auto* editor = qobject_cast<QLineEdit*>(m_view->get_editor());
    ASSERT_TRUE(editor);
    EXPECT_GE(editor->width(), editor->fontMetrics().horizontalAdvance("n7MMMM"));
    editor->selectAll();
    QTest::keyClicks(editor, "renamed");
    QTest::keyClick(editor, Qt::Key_Return);
    QString name;
    m()->get_node(7, nullptr, &name, nullptr, nullptr, nullptr, nullptr, nullptr, -4, nullptr);
    EXPECT_EQ(name, "renamed");
}

// Keys and the wheel move the scroll bars of a view too short for its rows; Delete deletes.
TEST_F(ViewInput, KeysAndWheelScroll)
{
    QScrollBar* vertical = short_view_bar();
    ASSERT_TRUE(vertical);
    const auto wheel = [&](bool spontaneous) {
        QWheelEvent event(QPointF(300, 100), QPointF(m_view->mapToGlobal(QPoint(300, 100))), {}, QPoint(0, -120), {},
                          {}, Qt::NoScrollPhase, false);
        if (spontaneous)
            QSpontaneKeyEvent::setSpontaneous(&event);
        qApp->notify(m_view.get(), &event);
    };
    const struct {
        std::function<void()> input;
        int value;  // -1: the maximum
    } cases[] = {
        {[&] { QTest::keyClick(m_view.get(), Qt::Key_Down); }, 3},
        {[&] { QTest::keyClick(m_view.get(), Qt::Key_End); }, -1},
        {[&] { QTest::keyClick(m_view.get(), Qt::Key_Home); }, 0},
        {[&] { wheel(true); }, 5},
        {[&] { wheel(false); }, 2},  // a wheel event sent again by the program is not the user's
    };
    for (const auto& c : cases) {
        vertical->setValue(2);
        c.input();
        EXPECT_EQ(vertical->value(), c.value < 0 ? vertical->maximum() : c.value) << &c - cases;
    }
    const int n = m_view->get_node_count();
    m()->set_node_selection_status(0, true);
    QTest::keyClick(m_view.get(), Qt::Key_Delete);
    EXPECT_EQ(m_view->get_node_count(), n - 1);
}

// A double click acts as a press: it opens the editor of the cell.
TEST_F(ViewInput, DoubleClickOpensEditors)
{
    const struct {
        int node, column;
        bool comparison;
        const char* editor;  // class name, empty: none
    } cases[] = {
        {0, 1, false, "VOKR_EDIT"},
        {2, 12, false, "VOKR_EDIT"},
        {2, 12, true, "VOKR_COMPARISON_EDIT"},
        {0, 12, false, ""},
    };
    QComboBox* type = m_view->get_level_combo(3);  // level 0, after the three storage-qualifier levels
    for (const auto& c : cases) {
        type->setCurrentIndex(type->findText(c.comparison ? "Comparison" : "Basic AND"));
        m_editor->trigger()->set_comparison_enabled(2, 0, c.comparison);
        mouse(QEvent::MouseMove, at(c.node, c.column));
        QTest::mouseDClick(m_view.get(), Qt::LeftButton, {}, at(c.node, c.column));
        QWidget* editor = m_view->get_editor() ? m_view->get_editor() : m_view->get_comparison_editor();
        EXPECT_STREQ(editor ? editor->metaObject()->className() : "", c.editor) << c.node << " " << c.column;
        if (editor)
            lose_focus(editor);
    }
}

// Each edit by hand is one undo unit: undo gives back the saved session before, redo the one after.
// The design marks some rows invalid, so the tap-mode changes re-check validity for real.
TEST_F(ViewInput, EveryHandEditIsOneUndoStep)
{
    const auto tap_mode = [&](std::vector<int> nodes, bool pre_synthesis) {
        for (int node : nodes)
            m()->set_node_selection_status(node, true);
        m_view->change_selected_tap_mode(pre_synthesis);
        m_view->select_items(false);
    };
    const auto data_tab = [&] {
        m_tabs.setCurrentIndex(0);
        m()->set_int_state(-1, "active tab", 0);
    };
    const struct {
        std::function<void()> prepare, edit;
    } edits[] = {
        {{}, [&] { click(at(0, 5)); }},
        {{}, [&] { click(at(0, 1)), type_into(qobject_cast<QLineEdit*>(m_view->get_editor()), "alias0"); }},
        {{}, [&] { type_into(new VOKR_COMPARISON_EDIT(m_view.get(), m(), 2, 12), "[2, 9]"); }},
        {data_tab, [&] { drop_text("x1 x2", QPoint(300, 580)); }},  // switches to Setup on entering
        {[&] { m()->set_node_selection_status(7, true); }, [&] { drop_text("y1", at(4, 2)); }},
        {[&] { m()->set_node_selection_status(0, true); }, [&] { own_drag(at(8, 2), Qt::MoveAction, true); }},
        {{},
         [&] {
             tap_mode({2, 7}, false);
         }},
        {{}, [&] { tap_mode({2}, true); }},
    };
    open_project("top top\nincremental on\nnode n1 input pre post\nnode n2 input pre\nnode x1 input post\n");
    m()->check_node_validity(-1);
    m_editor->trigger()->set_comparison_enabled(2, 0, true);
    for (const auto& e : edits) {
        if (e.prepare)
            e.prepare();
        const QByteArray before = saved();
        e.edit();
        const QByteArray after = saved();
        const int i = int(&e - edits);
        EXPECT_NE(before, after) << i;
        m()->on_edit_undo();
        EXPECT_EQ(saved().toStdString(), before.toStdString()) << i;
        m()->on_edit_redo();
        EXPECT_EQ(saved().toStdString(), after.toStdString()) << i;
    }
}

}  // namespace
