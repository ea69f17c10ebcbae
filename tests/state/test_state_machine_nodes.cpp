// The design's own state machines: the readers of the hierarchy and the keep databases, the
// state machine nodes dialog, and the demo's sequencer tapped with its mnemonic table; then a
// PNG of the state-based trigger flow tab's tools on the demo session.
#include "manager_test_support.h"

#include "biv.h"
#include "vokr_database_manager.h"
#include "vokr_diagram_widget.h"
#include "vokr_resources_widget.h"
#include "vokr_state_list_widget.h"
#include "vokr_state_machine_dlg.h"
#include "vokr_state_machine_table_view.h"
#include "vokr_state_widget.h"
#include "vokr_tree_widget.h"
#include "vokr_view.h"
#include "wolpa.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QPushButton>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTimer>

#include <iostream>
#include <type_traits>

using namespace manager_test;

namespace {

static_assert(!std::is_copy_assignable<VOKR_DATABASE_MANAGER>::value, "a copy would share the owned reader");

const char* const PROJECT = R"(project fsms
top top
node u1|ctrl|fsm machine pre
node u1|ctrl|fsm.IDLE registered pre
node u2|ctrl|fsm machine pre
node u2|ctrl|fsm.A registered pre
node u2|ctrl|fsm.B registered pre
node u2|ctrl|fsm.C registered pre
node u3|ctrl|fsm machine pre
node u3|ctrl|fsm.X registered pre
node u3|ctrl|fsm.Y registered pre
node u4|odd~fsm machine pre
node u4|odd~fsm.S registered pre
node a|b|q0 registered post
node a|b|q1 registered post
)";

// One state of a|b|fsm leaves a bit open; x|fsm is split over two transformations.
const char* const KEEP = R"(fsm a/b/fsm
register a/b/q0
register a/b/q1
state fsm.IDLE 00
state RUN 1-
fsm x/fsm
register x/r9
state S0 0
fsm x/fsm
register x/r1
register x/r2
state S1 10
)";

class StateMachineNodes : public MANAGER_TEST {
protected:
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        open_project(PROJECT);
        const QString db =
            QFileInfo(QString::fromStdString(PRJ_PROJECT::get_open()->get_path())).absolutePath() + "/db";
        QDir().mkpath(db);
        write_file(db + "/fsms.map.biv", KEEP);
        write_file(db + "/fsms.cmp.biv", "");
    }
    void TearDown() override
    {
        PRJ_PROJECT::close();
        MANAGER_TEST::TearDown();
    }
};

struct READ {
    QStringList machines, nodes, states, encodings;
};

READ read(int netlist, const QString& machine)
{
    READ r;
    VOKR_DATABASE_MANAGER database(netlist);
    database.get_state_machine_list(&r.machines);
    database.get_node_list(machine, &r.nodes);
    database.get_mnemonic_list(machine, &r.states, &r.encodings);
    return r;
}

QStringList column(VOKR_STATE_MACHINE_DLG* dialog, int c)
{
    QStringList texts;
    QStandardItemModel* model = dialog->get_table()->get_model();
    for (int row = 0; row < model->rowCount(); ++row)
        texts << model->item(row, c)->text();
    return texts;
}

void select_row(VOKR_STATE_MACHINE_DLG* dialog, int row)
{
    QStandardItemModel* model = dialog->get_table()->get_model();
    dialog->get_table()->selectionModel()->select(model->index(row, 0),
                                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

}  // namespace

TEST_F(StateMachineNodes, ReadersListMachinesNodesAndEncodings)
{
    const struct {
        int netlist;
        const char* machine;
        READ expected;
    } cases[] = {
        {0, "u1|ctrl|fsm", {{"u1|ctrl|fsm", "u2|ctrl|fsm", "u3|ctrl|fsm"}, {"u1|ctrl|fsm.IDLE"}, {"IDLE"}, {"1"}}},
        {0,
         "u2|ctrl|fsm",
         {{}, {"u2|ctrl|fsm.A", "u2|ctrl|fsm.B", "u2|ctrl|fsm.C"}, {"A", "B", "C"}, {"001", "010", "100"}}},
        {0, "gone|fsm", {{}, {}, {}, {}}},  // recompiled meanwhile: no registers, no internal error
        {1, "a|b|fsm", {{"a|b|fsm", "x|fsm", "x|fsm"}, {"a|b|q0", "a|b|q1"}, {"IDLE", "RUN"}, {"00", "1"}}},
        {1, "x|fsm", {{}, {"x|r9"}, {"S0", "S1"}, {"0", "10"}}},  // nodes of the first, states of both
    };
    for (const auto& c : cases) {
        const READ r = read(c.netlist, c.machine);
        if (!c.expected.machines.isEmpty()) {
            EXPECT_EQ(r.machines, c.expected.machines);
        }
        EXPECT_EQ(r.nodes, c.expected.nodes) << c.machine;
        EXPECT_EQ(r.states, c.expected.states) << c.machine;
        EXPECT_EQ(r.encodings, c.expected.encodings) << c.machine;
    }
    EXPECT_EQ(WOLPA_MANAGER::get_wolpa_manager()->get_outstanding_borrows(), 0);
    EXPECT_EQ(BIV_KEYPOINTS_MANAGER::get_instance()->get_loaded_count(), 0);  // the facade owned its reader
    VOKR_DATABASE_MANAGER(1).dump();
    EXPECT_TRUE(pirq_last_message_box_text().startsWith("fsm name: a/b/fsm\nstate transformed size: 2\n"));
    EXPECT_TRUE(
        pirq_last_message_box_text().contains("register: a/b/q1\nstate_name: fsm.IDLE\n00\nstate_name: RUN\n1"));

    PRJ_PROJECT::close();
    for (int netlist : {0, 1}) {
        VOKR_DATABASE_MANAGER database(netlist);
        EXPECT_FALSE(database.is_database_loaded());
        EXPECT_EQ(read(netlist, "a|b|fsm").machines, QStringList());
        pirq_message_box("before", 1);
        database.dump();
        EXPECT_EQ(pirq_last_message_box_text(), "before");
    }
}

TEST_F(StateMachineNodes, DialogProposesTablesAndAddsGroupsInOneStep)
{
    EDITOR m(true);
    m->get_session()->get_data_session()->get_mnemonics()->create_table("fsm_table (1)", 1);
    VOKR_STATE_MACHINE_DLG add(m.frame(), false, nullptr);
    EXPECT_EQ(column(&add, 1), QStringList({"fsm_table", "fsm_table (2)", "fsm_table (3)"}));
    EXPECT_FALSE(add.get_ok_button()->isEnabled());
    select_row(&add, 0);
    select_row(&add, 2);
    EXPECT_TRUE(add.get_ok_button()->isEnabled());
    add.get_table()->selectionModel()->select(add.get_table()->get_model()->index(2, 0),
                                              QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
    EXPECT_FALSE(add.get_ok_button()->isEnabled());
    add.on_double_click_state_machine_node_list();
    EXPECT_EQ(add.result(), 0);
    select_row(&add, 1);

    // Post-fitting: a|b|fsm's encodings are of different widths, which no mnemonic table can
    // hold; x|fsm's keypoint is not in the fitted hierarchy.
    add.get_netlist_combo()->setCurrentIndex(1);
    EXPECT_EQ(column(&add, 1), QStringList({VOKR_STATE_MACHINE_DLG::UNUSABLE, VOKR_STATE_MACHINE_DLG::UNTAPPABLE,
                                            VOKR_STATE_MACHINE_DLG::UNTAPPABLE}));
    EXPECT_FALSE(add.get_table()->get_model()->item(0, 0)->flags() & Qt::ItemIsSelectable);
    add.get_netlist_combo()->setCurrentIndex(0);
    add.get_netlist_combo()->setCurrentIndex(1);
    EXPECT_EQ(add.get_post_fitting_evaluations(), 1);
    add.get_netlist_combo()->setCurrentIndex(0);
    select_row(&add, 0);
    select_row(&add, 2);
    const int rows = m->get_node_count(-1);
    add.accept();
    EXPECT_EQ(m->get_node_count(-1), rows + 2 + 1 + 2);
    EXPECT_EQ(undo_all(m.get()), 1);
    ASSERT_EQ(m->get_node_count(-1), rows);
    m->get_session()->get_instance_at(0)->redo();

    VOKR_STATE_MACHINE_DLG again(m.frame(), false, nullptr);
    EXPECT_EQ(column(&again, 1), QStringList({VOKR_STATE_MACHINE_DLG::ALREADY_TAPPED, "fsm_table (2)",
                                              VOKR_STATE_MACHINE_DLG::ALREADY_TAPPED}));

    VOKR_STATE_MACHINE_DLG recreate(m.frame(), true, nullptr);
    EXPECT_EQ(column(&recreate, 1), QStringList({VOKR_STATE_MACHINE_DLG::UNCHANGED, VOKR_STATE_MACHINE_DLG::NOT_TAPPED,
                                                 VOKR_STATE_MACHINE_DLG::UNCHANGED}));
    KSM_DATA_MNEMONICS_TABLE* table =
        m->get_session()->get_data_session()->get_mnemonics()->find_table("fsm_table (3)");
    ASSERT_TRUE(table);
    table->add_entry("Z", "11");
    recreate.on_state_machine_overwrite_table_check_box(Qt::Checked);
    EXPECT_EQ(column(&recreate, 1),
              QStringList({VOKR_STATE_MACHINE_DLG::UNCHANGED, VOKR_STATE_MACHINE_DLG::NOT_TAPPED, "fsm_table (3)"}));
    recreate.get_overwrite_check_box()->setChecked(false);
    EXPECT_EQ(column(&recreate, 1).last(), "fsm_table (2)");
    recreate.get_overwrite_check_box()->setChecked(true);
    select_row(&recreate, 2);
    recreate.accept();
    table = m->get_session()->get_data_session()->get_mnemonics()->find_table("fsm_table (3)");
    ASSERT_TRUE(table);
    EXPECT_EQ(table->get_num_entries(), 2);
    EXPECT_EQ(QString(table->get_value("Y")), "10");
}

// The view's two commands run the dialog in its own mode on the frame; here it adds u1's machine
// and then shows that machine as tapped and unchanged.
TEST_F(StateMachineNodes, ViewCommandsRunTheDialogInBothModes)
{
    EDITOR m(true);
    VOKR_VIEW view(nullptr, m.get());
    const int rows = m->get_node_count(-1);
    const struct {
        void (VOKR_VIEW::*command)();
        const char* title;
        QStringList statuses;
        int added;
    } steps[] = {
        {&VOKR_VIEW::on_node_add_state_machine,
         "Add State Machine Nodes",
         {"fsm_table", "fsm_table (1)", "fsm_table (2)"},
         2},
        {&VOKR_VIEW::on_node_recreate_state_machine_mnemonics,
         "Recreate State Machine Mnemonics",
         {VOKR_STATE_MACHINE_DLG::UNCHANGED, VOKR_STATE_MACHINE_DLG::NOT_TAPPED, VOKR_STATE_MACHINE_DLG::NOT_TAPPED},
         2},
    };
    for (const auto& s : steps) {
        QString title;
        QStringList statuses;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<VOKR_STATE_MACHINE_DLG*>(QApplication::activeModalWidget());
            if (!dialog) {
                if (QWidget* other = QApplication::activeModalWidget())
                    other->close();
                return;
            }
            title = dialog->windowTitle();
            statuses = column(dialog, 1);
            select_row(dialog, 0);
            dialog->accept();
        });
        (view.*s.command)();
        EXPECT_EQ(title, s.title);
        EXPECT_EQ(statuses, s.statuses);
        EXPECT_EQ(m->get_node_count(-1), rows + s.added) << s.title;
    }
}

TEST_F(StateMachineNodes, EmptyDatabaseGivesOneGreyRow)
{
    PRJ_PROJECT::close();
    EDITOR m(true);
    for (bool recreate : {false, true}) {
        VOKR_STATE_MACHINE_DLG dialog(m.frame(), recreate, nullptr);
        EXPECT_EQ(column(&dialog, 0), QStringList({recreate ? "No pre-synthesis state machines tapped"
                                                            : "No pre-synthesis state machines found"}));
        EXPECT_FALSE(dialog.get_table()->get_model()->item(0, 0)->flags() & Qt::ItemIsSelectable);
        EXPECT_FALSE(dialog.get_overwrite_check_box()->isEnabled());
        EXPECT_FALSE(dialog.get_ok_button()->isEnabled());
    }
}

// The demo's sequencer tapped through the dialog, its states named by the bus; then the flow
// tab's tools on the demo session as a PNG.
TEST_F(StateMachineNodes, DemoSequencerIsTappedWithItsStateNames)
{
    ASSERT_NO_FATAL_FAILURE(open_demo_project());
    EDITOR m(true);
    ASSERT_NO_FATAL_FAILURE(open_session(m.get(), "demo.lmx"));
    VOKR_STATE_MACHINE_DLG post(m.frame(), false, nullptr);
    post.get_netlist_combo()->setCurrentIndex(1);
    EXPECT_EQ(column(&post, 0), QStringList({"cpu|seq"}));
    EXPECT_EQ(column(&post, 1), QStringList({"seq_table"}));
    VOKR_STATE_MACHINE_DLG dialog(m.frame(), false, nullptr);
    const int row = column(&dialog, 0).indexOf("cpu|seq");
    ASSERT_GE(row, 0);
    EXPECT_EQ(dialog.get_table()->tool_tip_at(dialog.get_table()->get_model()->index(row, 1)),
              "001     IDLE\n010     FETCH\n100     EXEC");
    select_row(&dialog, row);
    const int group = m->get_node_count(-1);
    dialog.accept();
    QString symbol, table;
    ASSERT_TRUE(m->get_node_mnemonics_table_name(group, &table, nullptr));
    EXPECT_EQ(table, "seq_table");
    ASSERT_TRUE(m->get_node_mnemonics_symbol(group, "010", &symbol, nullptr));
    EXPECT_EQ(symbol, "FETCH");

    m->set_counter_count(1);
    m->set_state_count(3);
    m->set_state_text(0, "begin\nincrement c1;\nif (c1 > 5) goto ST2;\nend\n");
    m->set_state_text(1, "if (condition1 && c1 < 9) goto ST3;\nelse goto ST1;\n");
    m->set_state_text(2, "trigger;\n");
    QSplitter tab;
    auto* state = new VOKR_STATE_WIDGET(nullptr, -1, m.frame());
    auto* resources = new VOKR_RESOURCES_WIDGET(nullptr, -1, m.frame());
    auto* diagram = new VOKR_DIAGRAM_WIDGET(nullptr, -1, m.frame());
    tab.addWidget(state);
    tab.addWidget(resources);
    tab.addWidget(diagram);
    tab.setSizes({470, 440, 190});
    tab.resize(1100, 620);
    tab.show();
    QCoreApplication::processEvents();
    // The picture shows each pane, none squeezed, the flow's three states after the diagram's
    // first row, and its counter.
    for (const int width : tab.sizes())
        EXPECT_GT(width, 150);
    EXPECT_EQ(diagram->get_state_list()->count(), 4);
    EXPECT_EQ(resources->get_counter_table()->topLevelItemCount(), 1);
    EXPECT_TRUE(state->isVisible() && resources->isVisible() && diagram->isVisible());
    QDir().mkpath(VOKR_ARTIFACT_DIR);
    const QString file = VOKR_ARTIFACT_DIR "/state_flow_tab.png";
    ASSERT_TRUE(tab.grab().save(file));
    std::cout << "state-based trigger flow tab image: " << file.toStdString() << std::endl;
}

// The dialog opens at a size that shows both headers and every row; a picture to look at.
TEST_F(StateMachineNodes, DialogOpensShowingItsHeadersAndRows)
{
    EDITOR m(true);
    VOKR_STATE_MACHINE_DLG dialog(m.frame(), false, nullptr);
    dialog.show();
    QCoreApplication::processEvents();
    expect_table_whole(dialog.get_table(), "state machine table");
    QDir().mkpath(VOKR_ARTIFACT_DIR);
    EXPECT_TRUE(dialog.grab().save(VOKR_ARTIFACT_DIR "/state_machine_nodes_dialog.png"));
}
