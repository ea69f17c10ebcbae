// The instance manager pane on the demo session: status texts from posted state events, the
// ownership of acquisition callbacks, command enabling, the status line, the resource columns,
// and a whole acquisition from adding an instance to the data log tree.
#include "manager_test_support.h"

#include "daw.h"
#include "jop.h"
#include "omu.h"
#include "pgmio.h"
#include "vokr_control_cmd_ela_int.h"
#include "vokr_globals.h"
#include "vokr_instance_widget.h"
#include "vokr_jtag_widget.h"
#include "vokr_log_widget.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTreeView>

#ifndef VOKR_EXAMPLES_DIR
#error "VOKR_EXAMPLES_DIR must name the examples directory"
#endif

using namespace manager_test;

void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

class INSTANCE_PANE : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        daw_sim::reset();
        daw_sim::add_hardware("USB-Cable", {{"MR2-C40", true, false}});
        ASSERT_NO_FATAL_FAILURE(open_demo_project());
        frame = std::make_unique<VOKR_FRAME_WND>(nullptr, WEX_FRAME_MODE_MAIN_WINDOW, 0, 0);
        m = frame->get_tx_manager();
        ASSERT_NO_FATAL_FAILURE(open_session(m, "demo.lmx"));
        m->get_session()->set_jtag_chain_name("USB-Cable");
        m->get_session()->set_jtag_device_name("MR2-C40");
        pane = std::make_unique<VOKR_INSTANCE_WIDGET>(nullptr, frame.get());
        refresh();
    }
    void TearDown() override
    {
        daw_sim::reset();
        JOP_RAM_USAGE_GUI::reset_device();
        pane.reset();
        frame.reset();
        MANAGER_TEST::TearDown();
    }
    void refresh()
    {
        QCoreApplication::sendPostedEvents();
        pane->on_update(nullptr, VOKR_HINT_INSTANCES);
    }
    QStandardItem* cell(int row, int column) { return pane->get_model()->item(row, column); }
    void select_row(int row)
    {
        pane->get_tree()->selectionModel()->select(pane->get_model()->index(row, 0),
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    bool enabled(PIRQ_ACTION_ENUM id) { return m->get_action(id, {})->isEnabled(); }

    std::unique_ptr<VOKR_FRAME_WND> frame;
    VOKR_TX_MANAGER* m = nullptr;
    std::unique_ptr<VOKR_INSTANCE_WIDGET> pane;
};

TEST_F(INSTANCE_PANE, EventsShowTheirOwnArgumentInTheStatusCell)
{
    const struct {
        uint32_t code;
        int argument;
        bool trigger_in;
        const char* text;
    } cases[] = {
        {1, 1, false, "Waiting for trigger"},
        {2, 2, false, "Trigger level 1 met"},
        {1, 3, false, "Trigger level 2 met"},
        {1, 0, true, "Waiting for trigger"},
        {1, 1, true, "Trigger in conditions met"},
        {1, 2, true, "Trigger level 1 met"},
        {3, 1, false, "Waiting for power-up trigger"},
        {5, 0, false, "Acquiring power-up pre-trigger data"},
        {17, 0, false, "Not running"},
        {17, 9, false, "Not running"},
        {17, 5, false, "Instance not found"},
        {15, 0, false, "JTAG is busy.  Wait until JTAG chain is available."},
        {1, -3, false, "Currently in state 3: ST3"},
    };
    // Every case is posted before any is handled: each must show its own argument.
    QStringList shown;
    QObject::connect(pane->get_model(), &QStandardItemModel::dataChanged, [&](const QModelIndex& index) {
        if (index.column() == VOKR_INSTANCE_WIDGET::STATUS && index.data().toString() != shown.value(shown.size() - 1))
            shown << index.data().toString();
    });
    VOKR_CONTROL_CMD_ELA_INT callback(pane.get(), 0);
    KSM_TX_TRIGGER_IN_INTERFACE trigger_in(m->get_trigger_nodes(-1));
    for (const auto& c : cases) {
        trigger_in.set_enabled(c.trigger_in);
        callback.notify(c.code, static_cast<uint32_t>(c.argument), 0);
        QCoreApplication::sendPostedEvents();
    }
    QStringList expected;
    for (const auto& c : cases)
        if (expected.value(expected.size() - 1) != c.text)
            expected << c.text;
    EXPECT_EQ(shown, expected);

    // Two events queued together keep their own arguments.
    shown.clear();
    trigger_in.set_enabled(false);
    callback.notify(1, 2, 0);
    callback.notify(1, 3, 0);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(shown, QStringList({"Trigger level 1 met", "Trigger level 2 met"}));
}

TEST_F(INSTANCE_PANE, EachCallbackIsDeletedOnceAndEndingsAreNeverLost)
{
    jop_record_compile(m->get_session());
    daw_sim::program("USB-Cable", "MR2-C40", m->get_session()->get_instance_at(0)->get_node_info(),
                     m->get_trigger_nodes(-1)->get_crc_value(false));
    // A refused run keeps nothing (a leaked callback shows in the sanitized build).
    select_row(0);
    daw_sim::refuse_next_run();
    pane->on_tools_go();
    EXPECT_EQ(pane->get_live_callback_count(), 0);
    EXPECT_FALSE(m->is_instance_acquiring(0));

    // An error and a "not running" queued behind it: the first ending deletes the callback,
    // the second finds it gone.
    pane->on_tools_repeat();
    ASSERT_EQ(pane->get_live_callback_count(), 1);
    daw_sim::step();
    daw_sim::jtag_error(0, 4);
    daw_sim::inject(0, DAW_EVENT_NOT_RUNNING, 0);
    daw_sim::drain();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(pane->get_live_callback_count(), 0);

    // Without a current instance the tree is empty; the ending still ends the acquisition.
    pane->on_tools_go();
    ASSERT_EQ(pane->get_live_callback_count(), 1);
    ASSERT_TRUE(m->set_instance(-1));
    refresh();
    ASSERT_EQ(pane->get_model()->rowCount(), 0);
    daw_sim::drain();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(pane->get_live_callback_count(), 0);
    EXPECT_FALSE(m->is_any_instance_acquiring());
}

// With logging on each capture adds a log; with it off every capture goes into one temporary
// log. A run stopped before its capture reached the log leaves no log behind, and the log shown
// keeps the capture before.
TEST_F(INSTANCE_PANE, OnlyCapturesAddLogsAndOnlyWithLoggingOn)
{
    jop_record_compile(m->get_session());
    daw_sim::program("USB-Cable", "MR2-C40", m->get_session()->get_instance_at(0)->get_node_info(),
                     m->get_trigger_nodes(-1)->get_crc_value(false));
    select_row(0);
    const struct {
        bool logging, stop;
        int added;
    } runs[] = {{true, false, 1},  {true, true, 0},  {false, false, 1},
                {false, false, 0}, {false, true, 0}, {true, false, 1}};
    const KSM_TX_TRIGGER* trigger = m->get_session()->get_trigger_at(0);
    for (const auto& r : runs) {
        m->set_logging(r.logging);
        const int before = trigger->get_num_logs();
        pane->on_tools_go();
        ASSERT_EQ(pane->get_live_callback_count(), 1);
        daw_sim::step();
        if (r.stop)
            pane->on_tools_stop();
        daw_sim::drain();
        QCoreApplication::sendPostedEvents();
        EXPECT_EQ(pane->get_live_callback_count(), 0);
        EXPECT_EQ(trigger->get_num_logs() - before, r.added) << r.logging << r.stop;
        ASSERT_NE(m->get_data_log(), nullptr);
        EXPECT_TRUE(m->get_data_log()->is_data_available(true)) << r.logging << r.stop;
    }
}

TEST_F(INSTANCE_PANE, CommandsFollowSelectionLockAndJtag)
{
    select_row(0);
    pane->on_selection_changed();
    EXPECT_TRUE(enabled(PIRQ_ACTION_RUN));
    EXPECT_TRUE(enabled(PIRQ_ACTION_DELETE_INSTANCE));
    EXPECT_TRUE(enabled(PIRQ_ACTION_ENABLE_POWER_UP_TRIGGER));
    EXPECT_FALSE(enabled(PIRQ_ACTION_DUPLICATE_TRIGGER));
    pane->on_update(nullptr, vokr_hint(VOKR_HINT_JTAG_BUSY | VOKR_HINT_INSTANCES));
    EXPECT_EQ(pane->get_status_line()->text(), "Waiting for JTAG");
    EXPECT_FALSE(enabled(PIRQ_ACTION_RUN));
    m->set_lock_mode(VOKR_LOCK_MODE_INCREMENTAL_ROUTE, false);
    pane->on_selection_changed();
    for (PIRQ_ACTION_ENUM id : {PIRQ_ACTION_ADD_INSTANCE, PIRQ_ACTION_DELETE_INSTANCE,
                                PIRQ_ACTION_ENABLE_POWER_UP_TRIGGER, PIRQ_ACTION_DISABLE_POWER_UP_TRIGGER})
        EXPECT_FALSE(enabled(id)) << id;

    // The Enabled check box is no undo step, but the session knows it changed.
    m->set_modified_flag(false);
    cell(0, VOKR_INSTANCE_WIDGET::ENABLED)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(m->instance_is_enabled(0));
    EXPECT_TRUE(m->get_session()->is_modified());
    EXPECT_EQ(cell(0, VOKR_INSTANCE_WIDGET::LE)->text(), "0 cells");
}

TEST_F(INSTANCE_PANE, RowsFollowTheSessionWithPowerUpChildren)
{
    HINTS hints(m);
    pane->on_instance_add();
    EXPECT_EQ(hints.without_marks(), (std::vector<unsigned int>{VOKR_HINT_REBUILD_INSTANCES, VOKR_HINT_REFRESH_VIEW}));
    refresh();
    ASSERT_EQ(pane->get_model()->rowCount(), 2);
    EXPECT_TRUE(pane->get_tree()->selectionModel()->isRowSelected(1, {}));

    select_row(1);
    pane->on_instance_enable_powerup();
    refresh();
    QStandardItem* child = cell(1, 0)->child(0);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(child->text(), "Power-Up Trigger");
    EXPECT_TRUE(pane->get_tree()->isExpanded(cell(1, 0)->index()));
    hints.list.clear();
    pane->on_double_clicked(child->index());
    EXPECT_EQ(m->get_current_instance_index(), 2);
    EXPECT_EQ(child->background(), vokr_light_blue_brush());
    EXPECT_EQ(hints.without_marks(),
              (std::vector<unsigned int>{VOKR_HINT_REBUILD | VOKR_HINT_TABS, VOKR_HINT_REFRESH_VIEW}));
    pane->on_double_clicked(cell(0, 0)->index());
    EXPECT_NE(child->background(), vokr_light_blue_brush());

    // Instance and its own power-up row: duplicate is off; with two rows it sends one hint.
    select_row(1);
    pane->get_tree()->selectionModel()->select(child->index(), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    pane->on_selection_changed();
    EXPECT_FALSE(enabled(PIRQ_ACTION_DUPLICATE_TRIGGER));
    select_row(1);
    hints.list.clear();
    pane->on_instance_duplicate_trigger();
    EXPECT_EQ(hints.count(VOKR_HINT_REFRESH_TABS | VOKR_HINT_DATA_LOG | VOKR_HINT_CONFIG | VOKR_HINT_HIERARCHY |
                          VOKR_HINT_VIEW),
              1);

    // The instance read from the file: its undo history must go with the session (a leak shows
    // in the sanitized build).
    select_row(0);
    pane->on_instance_enable_powerup();
    EXPECT_TRUE(m->get_session()->is_power_up_trigger(0));
}

// While an instance captures it stays enabled (Stop and closing need it), and no power-up
// trigger moves the entries of the instances below it.
TEST_F(INSTANCE_PANE, ACapturingInstanceKeepsItsEntryAndStaysEnabled)
{
    select_row(0);
    m->set_instance_acq_state(0, VOKR_ACQ_STARTED);
    pane->on_selection_changed();
    EXPECT_FALSE(enabled(PIRQ_ACTION_ENABLE_POWER_UP_TRIGGER));
    pane->on_instance_enable_powerup();
    EXPECT_FALSE(m->get_session()->is_power_up_trigger(0));
    cell(0, VOKR_INSTANCE_WIDGET::ENABLED)->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(m->instance_is_enabled(0));
    EXPECT_EQ(cell(0, VOKR_INSTANCE_WIDGET::ENABLED)->checkState(), Qt::Checked);
    m->set_instance_acq_state(0, VOKR_ACQ_NOT_RUNNING);
    pane->on_selection_changed();
    EXPECT_TRUE(enabled(PIRQ_ACTION_ENABLE_POWER_UP_TRIGGER));
}

// An instance added while another captures rebuilds the rows: the capturing row goes on telling
// its last reported state, the new one is not running.
TEST_F(INSTANCE_PANE, AddedRowsKeepTheStatusLastReported)
{
    VOKR_CONTROL_CMD_ELA_INT callback(pane.get(), 0);
    callback.notify(1, 1, 0);
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(cell(0, VOKR_INSTANCE_WIDGET::STATUS)->text(), "Waiting for trigger");
    EXPECT_NE(cell(0, VOKR_INSTANCE_WIDGET::STATUS)->background().color(), QColor(Qt::black));  // under black text
    pane->on_instance_add();
    refresh();
    ASSERT_EQ(pane->get_model()->rowCount(), 2);
    EXPECT_EQ(cell(0, VOKR_INSTANCE_WIDGET::STATUS)->text(), "Waiting for trigger");
    EXPECT_EQ(cell(1, VOKR_INSTANCE_WIDGET::STATUS)->text(), "Not running");
}

// Rows picked bottom first: each power-up trigger inserts an entry, and must not move the entry
// of a row still to come onto its neighbour.
TEST_F(INSTANCE_PANE, PowerUpTriggersGoToTheRowsSelectedInAnyOrder)
{
    pane->on_instance_add();
    pane->on_instance_add();
    refresh();
    ASSERT_EQ(pane->get_model()->rowCount(), 3);
    select_row(2);
    pane->get_tree()->selectionModel()->select(pane->get_model()->index(0, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
    pane->on_instance_enable_powerup();
    refresh();
    std::vector<bool> children;
    for (int r = 0; r < pane->get_model()->rowCount(); ++r)
        children.push_back(cell(r, 0)->child(0) != nullptr);
    EXPECT_EQ(children, (std::vector<bool>{true, false, true}));
}

TEST_F(INSTANCE_PANE, ContextMenuFollowsSelectionAndLock)
{
    const PIRQ_ACTION_ENUM SEPARATOR = PIRQ_ACTION_ENUM(0);
    const PIRQ_ACTION_ENUM entries[] = {PIRQ_ACTION_ADD_INSTANCE,
                                        PIRQ_ACTION_DELETE_INSTANCE,
                                        PIRQ_ACTION_RENAME_INSTANCE,
                                        SEPARATOR,
                                        PIRQ_ACTION_ENABLE_POWER_UP_TRIGGER,
                                        PIRQ_ACTION_DISABLE_POWER_UP_TRIGGER,
                                        PIRQ_ACTION_DUPLICATE_TRIGGER,
                                        SEPARATOR,
                                        PIRQ_ACTION_ENUM(263)};  // status help
    const QList<QAction*> menu = pane->get_tree()->actions();
    ASSERT_EQ(menu.size(), int(std::size(entries)));
    for (int i = 0; i < menu.size(); ++i)
        EXPECT_TRUE(entries[i] == SEPARATOR ? menu[i]->isSeparator() : menu[i] == m->get_action(entries[i], {})) << i;
    const struct {
        bool selected;
        VOKR_LOCK_MODE lock;
        const char* on;  // per entry, separators skipped: 1 enabled
    } cases[] = {{false, VOKR_LOCK_MODE_ALL_CHANGES, "1000000"},
                 {true, VOKR_LOCK_MODE_ALL_CHANGES, "1111001"},
                 {true, VOKR_LOCK_MODE_INCREMENTAL_ROUTE, "0010001"}};
    for (const auto& c : cases) {
        m->set_lock_mode(c.lock, false);
        if (c.selected)
            select_row(0);
        else
            pane->get_tree()->selectionModel()->clearSelection();
        pane->on_selection_changed();
        std::string on;
        for (QAction* action : menu)
            if (!action->isSeparator())
                on += action->isEnabled() ? '1' : '0';
        EXPECT_EQ(on, c.on) << c.selected << c.lock;
    }
    // A refresh of the resource columns keeps the selection.
    pane->update_resource_usage();
    EXPECT_TRUE(pane->get_tree()->selectionModel()->isRowSelected(0, {}));
}

QWidget* help_window()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == "rafq_help_window" && w->isVisible())
            return w;
    return nullptr;
}

TEST_F(INSTANCE_PANE, StatusHelpOpensTheTopicOfTheTextShown)
{
    const struct {
        bool row;  // the selected row's Status cell, else the status line
        const char* text;
        const char* topic;  // null: no help
    } cases[] = {{false, "Start Quickfold to continue", "vokr_recompile_design"},
                 {true, "Not running", "vokr_not_running"},
                 {true, "Trigger level 2 met", "vokr_trigger_level"},
                 {true, "Currently in state 3: ST3", "vokr_trigger_level"},
                 {true, "", nullptr},
                 {false, "A text of no message", nullptr}};
    select_row(0);
    for (const auto& c : cases) {
        if (QWidget* w = help_window())
            w->close();
        if (c.row) {
            cell(0, VOKR_INSTANCE_WIDGET::STATUS)->setText(c.text);
            pane->on_instance_status_help();
        } else {
            pane->get_status_line()->setText(c.text);
            pane->on_ela_status_help();
        }
        QWidget* w = help_window();
        EXPECT_EQ(w ? w->windowTitle() : QString(), c.topic ? QString("Help - ") + c.topic : QString()) << c.text;
    }
    if (QWidget* w = help_window())
        w->close();
}

TEST_F(INSTANCE_PANE, StatusLineTellsTheNextStep)
{
    // The demo as never compiled, then compiled without a programming file, then with one.
    m->get_session()->get_instance_at(0)->set_compiled_checksums(0, 0);
    refresh();
    EXPECT_EQ(pane->get_status_line()->text(), "Start Quickfold to continue");
    jop_record_compile(m->get_session());
    refresh();
    EXPECT_EQ(pane->get_status_line()->text(), "Compile the project to continue");
    m->get_session()->set_sif_file_name(path("demo.sif").c_str());
    refresh();
    EXPECT_EQ(pane->get_status_line()->text(), "Program the device to continue");
    KSM_TX_INSTANCE* instance = m->get_session()->get_instance_at(0);
    daw_sim::program("USB-Cable", "MR2-C40", instance->get_node_info(), m->get_trigger_nodes(-1)->get_crc_value(false));
    refresh();
    EXPECT_EQ(pane->get_status_line()->text(), "Ready to acquire");
    m->get_session()->set_jtag_device_name("");
    refresh();
    EXPECT_EQ(pane->get_status_line()->text(), "Invalid JTAG configuration");
}

TEST_F(INSTANCE_PANE, MemoryBlocksAreCountedInRowOrder)
{
    KSM_TX_SIGNAL_SET* set = m->get_signal_nodes(-1);
    const int width = set->get_num_channels();
    const int bits = static_cast<int>(m->get_ram_bits_usage(0));
    const int blocks = (bits + 639) / 640;
    ASSERT_GT(width, 0);
    const int medium = (bits + 9215) / 9216;
    const struct {
        const char* what;
        const char* family;  // none that the device list knows: memory is counted by RAM type
        KSM_TALVERN_RAM_TYPE type;
        int total;  // of every class
        std::vector<QString> cells;
        QString small_header;
    } cases[] = {
        {"fits",
         "",
         KSM_RAM_SMALL,
         blocks,
         {QString("%1 blocks").arg(blocks), "0 blocks", "0 blocks"},
         QString("Small: %1/%1").arg(blocks)},
        {"too small", "", KSM_RAM_SMALL, blocks - 1, {"NA", "NA", "NA"}, "Small: NA"},
        {"no counts",
         "",
         KSM_RAM_SMALL,
         JOP_RAM_USAGE_GUI::NO_COUNT,
         {QString("%1 blocks").arg(blocks), "0 blocks", "0 blocks"},
         QString("Small: %1").arg(blocks)},
        // Auto with nothing free: halving down to empty chunks must end.
        {"auto never fits", "", KSM_RAM_AUTO, 0, {"Can't fit", "Can't fit", "Can't fit"}, "Small: 0/0"},
        {"other family",
         "Meridian",
         KSM_RAM_SMALL,
         100,
         {"0 blocks", QString("%1 blocks").arg(medium), "0 blocks"},
         "Small: 0/100"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        OMU_MANAGER::get_omu_manager()->load_assignment(OMU_VAR_DEVICE_FAMILY, c.family);
        const int used[3] = {0, 0, 0}, total[3] = {c.total, c.total, c.total};
        JOP_RAM_USAGE_GUI::set_device(used, total);
        ASSERT_TRUE(set->set_ram_type(c.type));
        pane->update_resource_usage();
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(cell(0, VOKR_INSTANCE_WIDGET::SMALL + k)->text(), c.cells[k]);
        EXPECT_EQ(pane->get_model()->horizontalHeaderItem(VOKR_INSTANCE_WIDGET::SMALL)->text(), c.small_header);
    }
}

// Without a person: a new instance with demo nodes and a basic trigger is programmed from the
// JTAG pane and run from this pane; the Status cell walks through the status texts to data
// ready, and the data log tree shows the new log.
TEST_F(INSTANCE_PANE, AcquisitionFromAddToTheDataLogTree)
{
    pane->on_instance_add();
    const int entry = m->get_current_instance_index();
    add_rows(m, {"cpu|pc[3]", "led[1]", "uart|tx|busy"});
    ASSERT_TRUE(m->get_trigger_nodes(-1)->set_trigger_condition(0, 0, KSM_CTYPE_RISING_EDGE));
    m->get_session()->set_jtag_chain_name("USB-Cable");
    m->get_session()->set_jtag_device_name("MR2-C40");
    // The compile gives the new instance a hub position of its own.
    KSM_DATA_INSTANCE_INFO info = m->get_session()->get_instance_at(entry)->get_node_info();
    info.first = 1;
    m->get_session()->get_instance_at(entry)->set_node_info(info);
    jop_record_compile(m->get_session());
    const std::string sif = path("design.sif");
    std::string error;
    std::vector<PGMIO_ZLM_RECORD> records;
    for (int e = 0; e < m->get_num_instances(); ++e)
        records.push_back({VOKR_TX_MANAGER::get_node_info_word(m->get_session()->get_instance_at(e)),
                           m->get_session()->get_trigger_at(e)->get_crc_value(false)});
    ASSERT_TRUE(pgmio_write_sif(sif.c_str(), records, "bits", &error)) << error;
    m->set_jtag_chain(QString::fromStdString(sif));
    VOKR_JTAG_WIDGET jtag(nullptr, frame.get());
    jtag.on_program();
    QCoreApplication::sendPostedEvents();
    refresh();
    ASSERT_EQ(pane->get_status_line()->text(), "Ready to acquire");

    VOKR_LOG_WIDGET logs(nullptr, entry, frame.get());
    const int row = pane->find_instance_item(entry)->row();
    QStringList shown;
    QObject::connect(pane->get_model(), &QStandardItemModel::dataChanged, [&](const QModelIndex& index) {
        if (index.column() == VOKR_INSTANCE_WIDGET::STATUS && index.row() == row &&
            index.data().toString() != shown.value(shown.size() - 1))
            shown << index.data().toString();
    });
    select_row(row);
    daw_sim::set_mode(daw_sim::THREADED, 1);
    pane->on_tools_go();
    ASSERT_EQ(pane->get_live_callback_count(), 1);
    ASSERT_TRUE(daw_sim::wait_idle());
    for (int i = 0; i < 100 && pane->get_live_callback_count() > 0; ++i)
        QCoreApplication::sendPostedEvents();
    EXPECT_EQ(pane->get_live_callback_count(), 0);
    EXPECT_EQ(shown, QStringList({"Waiting for trigger", "Acquiring pre-trigger data", "Acquiring post-trigger data",
                                  "Offloading acquired data", "Not running"}));
    QCoreApplication::sendPostedEvents();
    const QStandardItem* trigger = logs.get_model()->item(0)->child(0)->child(0);
    ASSERT_NE(trigger, nullptr);
    ASSERT_EQ(trigger->rowCount(), 1);
    EXPECT_EQ(trigger->child(0)->text(), QString::fromLocal8Bit(m->get_data_log()->get_name()));
}

}  // namespace

namespace {

// Paced runs on the control's worker: closing the window while each phase is under way lets
// the worker go with no call into the destroyed callbacks, pane or logs (the sanitized builds
// catch any), and the control ends up idle.
TEST_F(INSTANCE_PANE, ClosingDuringAPacedRunLeavesTheWorkerNothingToCall)
{
    KSM_TX_INSTANCE* instance = m->get_session()->get_instance_at(0);
    for (int wait_ms : {0, 120, 600, 900}) {
        if (!pane) {
            frame = std::make_unique<VOKR_FRAME_WND>(nullptr, WEX_FRAME_MODE_MAIN_WINDOW, 0, 0);
            m = frame->get_tx_manager();
            bool renamed = false;
            std::string name;
            ASSERT_TRUE(m->open_document(path("demo.lmx").c_str(), &renamed, &name));
            pane = std::make_unique<VOKR_INSTANCE_WIDGET>(nullptr, frame.get());
            instance = m->get_session()->get_instance_at(0);
            refresh();
        }
        daw_sim::program("USB-Cable", "MR2-C40", instance->get_node_info(),
                         m->get_trigger_nodes(-1)->get_crc_value(false));
        daw_sim::set_mode(daw_sim::PACED);
        select_row(0);
        pane->on_tools_repeat();
        ASSERT_EQ(pane->get_live_callback_count(), 1) << wait_ms;
        for (QElapsedTimer clock; !clock.isValid() || clock.elapsed() < wait_ms;) {
            if (!clock.isValid())
                clock.start();
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        pane.reset();
        frame.reset();
        EXPECT_TRUE(daw_sim::wait_idle(2000)) << wait_ms;
        QCoreApplication::sendPostedEvents();
    }
}

}  // namespace
