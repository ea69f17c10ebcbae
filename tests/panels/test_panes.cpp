// The JTAG chain pane with its attached programming files, the hierarchy display and the data
// log tree, each on an editor of its own.
#include "manager_test_support.h"

#include "daw.h"
#include "jop.h"
#include "pgmio.h"
#include "vokr_hierarchy_widget.h"
#include "vokr_jtag_widget.h"
#include "vokr_layout_widget.h"
#include "vokr_log_widget.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QTreeView>

using namespace manager_test;

void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

class PANES : public MANAGER_TEST {
protected:
    PANES() : m(true) {}
    void SetUp() override
    {
        MANAGER_TEST::SetUp();
        daw_sim::reset();
        daw_sim::add_hardware("USB-Cable", {{"MR2-C40", true, false}});
        m->get_session()->set_jtag_chain_name("USB-Cable");
        m->get_session()->set_jtag_device_name("MR2-C40");
    }
    void TearDown() override
    {
        daw_sim::reset();
        MANAGER_TEST::TearDown();
    }
    // A programming file holding these analyzer records.
    QString sif(const char* name, const std::vector<PGMIO_ZLM_RECORD>& records)
    {
        std::string error;
        EXPECT_TRUE(pgmio_write_sif(path(name).c_str(), records, "bits", &error)) << error;
        return QString::fromStdString(path(name));
    }
    static void select(QTreeView* tree, std::initializer_list<QModelIndex> indexes)
    {
        tree->selectionModel()->clearSelection();
        for (const QModelIndex& index : indexes)
            tree->selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    EDITOR m;
};

TEST_F(PANES, AttachedFilesAreListedRenamedDeletedAndProgrammed)
{
    QSplitter outer(Qt::Vertical);
    auto* inner = new QSplitter(&outer);
    outer.addWidget(new QWidget);
    auto* jtag = new VOKR_JTAG_WIDGET(inner, m.frame());
    QStandardItemModel* files = jtag->get_file_model();
    EXPECT_EQ(files->rowCount(), 0);
    EXPECT_EQ(files->columnCount(), 1 + m->get_num_instances());

    jop_record_compile(m->get_session());
    const KSM_TX_INSTANCE* instance = m->get_session()->get_instance_at(0);
    const PGMIO_ZLM_RECORD fits{VOKR_TX_MANAGER::get_node_info_word(instance), m.trigger()->get_crc_value(false)};
    QString name;
    for (const QString& file : {sif("a.sif", {fits}), sif("b.sif", {{1, 2}}), sif("c.sif", {fits})})
        ASSERT_TRUE(m->embed_sif_file(file, &name));
    jtag->on_update(nullptr, vokr_hint(VOKR_HINT_REBUILD_JTAG));
    ASSERT_EQ(files->rowCount(), 3);
    EXPECT_EQ(files->item(0, 1)->text(), "compatible");
    EXPECT_EQ(files->item(1, 1)->text(), "not compatible");

    // A run disables the chain's controls and the file's; its end gives every one of them back.
    QWidget* controls[] = {jtag->get_hardware_combo(), jtag->get_device_combo(), jtag->get_setup_button(),
                           jtag->get_scan_button(), jtag->get_browse_button()};
    for (const int hint : {0x8000020, 0x4000020})
        for (QWidget* control : controls)
            EXPECT_EQ((jtag->on_update(nullptr, hint), control->isEnabled()), hint == 0x4000020) << std::hex << hint;

    // Program needs the chain set; rename and extract do not.
    QTreeView* list = jtag->get_file_list();
    select(list, {files->index(1, 0)});
    jtag->on_sif_manager_update_actions();
    EXPECT_TRUE(m->get_action(PIRQ_ACTION_ENUM(617), {})->isEnabled());
    m->get_session()->set_jtag_device_name("");
    jtag->on_sif_manager_update_actions();
    EXPECT_FALSE(m->get_action(PIRQ_ACTION_ENUM(617), {})->isEnabled());
    EXPECT_TRUE(m->get_action(PIRQ_ACTION_ENUM(618), {})->isEnabled());
    m->get_session()->set_jtag_device_name("MR2-C40");

    // An empty name stores nothing and the cell shows the stored name again.
    files->item(1, 0)->setText("");
    EXPECT_STREQ(m->get_session()->get_embedded_sif_name_at(1), "b.sif");
    EXPECT_EQ(files->item(1, 0)->text(), "b.sif");

    // Programming goes through a private file and gives the session its own file back, also
    // when the run fails (unknown hardware).
    for (const char* hardware : {"USB-Cable", "Gone-Cable"}) {
        SCOPED_TRACE(hardware);
        m->get_session()->set_jtag_chain_name(hardware);
        m->get_session()->get_data_session()->set_sif_file_name("own.sif");
        select(list, {files->index(0, 0)});
        jtag->on_sif_manager_program();
        const QString reserved = jtag->get_reserved_file_path();
        EXPECT_EQ(QFileInfo(reserved).fileName(), VOKR_JTAG_WIDGET::RESERVED_FILE_NAME);
        EXPECT_NE(QFileInfo(reserved).absolutePath(), QDir::currentPath());
        EXPECT_EQ(QString(m->get_session()->get_sif_file_name()), reserved);
        QCoreApplication::sendPostedEvents(jtag);
        EXPECT_STREQ(m->get_session()->get_sif_file_name(), "own.sif");
        EXPECT_FALSE(QFileInfo::exists(reserved));
    }

    select(list, {files->index(0, 0), files->index(2, 0)});
    jtag->on_sif_manager_delete();
    ASSERT_EQ(m->get_session()->get_embedded_sif_file_count(), 1);
    EXPECT_STREQ(m->get_session()->get_embedded_sif_name_at(0), "b.sif");

    // Closing the list gives its height from the first pane of the outer splitter to the second.
    outer.resize(400, 600);
    outer.show();
    jtag->on_sif_manager_toggle();
    QCoreApplication::processEvents();
    const QList<int> open = outer.sizes();
    const int height = list->height();
    jtag->on_sif_manager_toggle();
    EXPECT_EQ(outer.sizes(), QList<int>({open[0] - height, open[1] + height}));
    EXPECT_EQ(m->get_session()->get_global_data("sif manager visible"), 0);

    // The layout's switch of the pane records its visibility through the pane.
    QAction* visible = m.frame()->get_layout_widget()->get_jtag_action();
    m.frame()->get_layout_widget()->set_jtag_widget(jtag);
    visible->setChecked(false);
    EXPECT_EQ(m->get_session()->get_global_data("jtag widget visible"), 0);
    EXPECT_TRUE(jtag->isHidden());
}

// Answers the next modal file dialog with a file, or cancels it for an empty one.
void answer_file_dialog(const QString& file)
{
    QTimer::singleShot(0, [file] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        if (file.isEmpty())
            return dialog->reject();
        dialog->selectFile(file);
        static_cast<QDialog*>(dialog)->accept();
    });
}

// The programming file's field shows as much of the path as fits, cut on the left, folders
// first: the file's name stays whole while it fits; the tooltip holds the whole path.
TEST_F(PANES, TheProgrammingFileFieldKeepsTheFilesNameReadable)
{
    QSplitter outer;
    auto* jtag = new VOKR_JTAG_WIDGET(&outer, m.frame());
    const QString path = "/home/engineer/projects/board/output_files/demo.sif";
    m->get_session()->set_sif_file_name(path.toLocal8Bit().constData());
    jtag->on_update(nullptr, vokr_hint(VOKR_HINT_REFRESH | VOKR_HINT_JTAG));
    outer.show();
    QLineEdit* field = jtag->get_file_edit();
    const QFontMetrics metrics = field->fontMetrics();
    const int whole = metrics.horizontalAdvance(path);
    const int name = metrics.horizontalAdvance("demo.sif");
    for (int width : {whole + 20, name + 60, name + 12}) {
        field->resize(width, field->height());
        const QString shown = field->text();
        EXPECT_LE(metrics.horizontalAdvance(shown), width - 8) << width;
        EXPECT_TRUE(shown.endsWith("demo.sif")) << shown.toStdString();
        EXPECT_EQ(shown == path, width > whole) << shown.toStdString();
        EXPECT_EQ(field->toolTip(), path);
    }
    EXPECT_TRUE(field->text().startsWith("demo")) << "only the name fits";
}

TEST_F(PANES, AttachAndExtractGoThroughTheFileDialog)
{
    QSplitter outer(Qt::Vertical);
    auto* jtag = new VOKR_JTAG_WIDGET(new QSplitter(&outer), m.frame());
    const QString file = sif("a.sif", {{1, 2}});
    const struct {
        void (VOKR_JTAG_WIDGET::*command)();
        QString answer;
        int attached;
        bool extracted;
    } cases[] = {{&VOKR_JTAG_WIDGET::on_sif_manager_attach, "", 0, false},
                 {&VOKR_JTAG_WIDGET::on_sif_manager_attach, file, 1, false},
                 {&VOKR_JTAG_WIDGET::on_sif_manager_extract, "", 1, false},
                 {&VOKR_JTAG_WIDGET::on_sif_manager_extract, QString::fromStdString(path("out.sif")), 1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer.toStdString());
        select(jtag->get_file_list(), {jtag->get_file_model()->index(0, 0)});
        answer_file_dialog(c.answer);
        (jtag->*c.command)();
        EXPECT_EQ(jtag->get_file_model()->rowCount(), c.attached);
        EXPECT_EQ(QFileInfo::exists(QString::fromStdString(path("out.sif"))), c.extracted);
    }
    QFile in(file), out(QString::fromStdString(path("out.sif")));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly) && out.open(QIODevice::ReadOnly));
    EXPECT_EQ(out.readAll(), in.readAll());
}

TEST_F(PANES, DataLogMenuFollowsSelectionAndLock)
{
    KSM_DATA_LOG* log = m->get_session()->create_new_log(0);
    m->set_view_log(0, log);
    VOKR_LOG_WIDGET pane(nullptr, 0, m.frame());
    const QList<QAction*> menu = pane.get_tree()->actions();
    ASSERT_EQ(menu.size(), 3);
    const int ids[] = {113, 116, 118};  // delete, rename, select all
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(menu[i], m->get_action(PIRQ_ACTION_ENUM(ids[i]), {}));
    const struct {
        int selected;  // the instance item, then its signal set
        VOKR_LOCK_MODE lock;
        const char* on;  // delete, rename, select all
    } cases[] = {{1, VOKR_LOCK_MODE_ALL_CHANGES, "111"},
                 {2, VOKR_LOCK_MODE_ALL_CHANGES, "101"},
                 {0, VOKR_LOCK_MODE_ALL_CHANGES, "001"},
                 {1, VOKR_LOCK_MODE_INCREMENTAL_ROUTE, "011"}};
    for (const auto& c : cases) {
        m->set_lock_mode(c.lock, false);
        QStandardItem* instance = pane.get_model()->item(0);
        select(pane.get_tree(), {});
        if (c.selected >= 1)
            select(pane.get_tree(), {instance->index()});
        if (c.selected == 2)
            pane.get_tree()->selectionModel()->select(instance->child(0)->index(), QItemSelectionModel::Select);
        std::string on;
        for (QAction* action : menu)
            on += action->isEnabled() ? '1' : '0';
        EXPECT_EQ(on, c.on) << c.selected << c.lock;
    }
}

// A rename rebuilds the rows: the renamed row stays current and selected, so that once the tree
// takes the focus again Home selects the instance row, which Rename then takes.
TEST_F(PANES, DataLogTreeKeepsItsCurrentRowThroughARename)
{
    m->set_view_log(0, m->get_session()->create_new_log(0));
    VOKR_LOG_WIDGET pane(nullptr, 0, m.frame());
    QTreeView* tree = pane.get_tree();
    QStandardItem* set = pane.get_model()->item(0)->child(0);
    tree->selectionModel()->setCurrentIndex(set->index(), QItemSelectionModel::ClearAndSelect);
    set->setText("SET");
    QCoreApplication::sendPostedEvents(&pane);
    EXPECT_EQ(tree->currentIndex().data().toString(), "SET");
    pane.show();
    QApplication::setActiveWindow(&pane);
    tree->setFocus();
    QCoreApplication::processEvents();
    QKeyEvent home(QEvent::KeyPress, Qt::Key_Home, Qt::NoModifier);
    QApplication::sendEvent(tree, &home);
    EXPECT_EQ(tree->selectionModel()->selectedIndexes(), QModelIndexList{pane.get_model()->item(0)->index()});
    EXPECT_TRUE(m->get_action(PIRQ_ACTION_DATA_LOG_RENAME, {})->isEnabled());
}

TEST_F(PANES, HierarchyHidesTheNodesOfUncheckedLevels)
{
    VOKR_HIERARCHY_WIDGET empty(nullptr, 0, m.frame());
    EXPECT_EQ(empty.get_model()->rowCount(), 0);
    EXPECT_FALSE(empty.is_hidden("a|b|x"));

    add_rows(m.get(), {"a|b|x", "a|c|y", "a|b|d|z", "top_node"});
    m->add_instance();  // current: entry 1, without nodes
    VOKR_HIERARCHY_WIDGET pane(nullptr, 0, m.frame());
    QStandardItem* top = pane.get_model()->item(0);
    ASSERT_EQ(top->rowCount(), 1);
    QStandardItem* a = top->child(0);
    ASSERT_EQ(a->rowCount(), 2);
    QStandardItem* b = a->child(0);
    EXPECT_EQ(b->text(), "b");
    EXPECT_EQ(a->child(1)->text(), "c");
    EXPECT_EQ(top->checkState(), Qt::Checked);

    HINTS hints(m.get());
    b->setCheckState(Qt::Unchecked);
    pane.get_tree()->collapse(b->index());
    EXPECT_EQ(hints.count(VOKR_HINT_REFRESH | VOKR_HINT_VIEW), 1);
    const struct {
        const char* name;
        bool hidden;
    } cases[] = {{"a|b|x", true}, {"a|c|y", false}, {"a|b|d|z", false}, {"top_node", false}, {"q|r|s", false}};
    for (const auto& c : cases)
        EXPECT_EQ(pane.is_hidden(c.name), c.hidden) << c.name;
    top->setCheckState(Qt::Unchecked);
    EXPECT_TRUE(pane.is_hidden("top_node"));

    // States go to the pane's own instance (entry 0), not the current one.
    const char* key = m->is_setup_mode() ? "setup hierarchy b" : "data hierarchy b";
    EXPECT_EQ(m->get_session()->get_instance_at(0)->get_position_data(key), 0);
    EXPECT_EQ(m->get_session()->get_instance_at(1)->get_position_data(key), -1);
    pane.update_hierarchy_tree();
    EXPECT_EQ(pane.get_model()->item(0)->child(0)->child(0)->checkState(), Qt::Unchecked);

    // A pane whose instance went away rebuilds empty.
    VOKR_HIERARCHY_WIDGET gone(nullptr, 7, m.frame());
    EXPECT_EQ(gone.get_model()->rowCount(), 0);
}

TEST_F(PANES, DataLogTreeRenamesDeletesAndActivates)
{
    add_rows(m.get(), {"a", "b"});
    m->save_to_log();  // a second trigger
    KSM_DATA_LOG* first = m->get_session()->create_new_log(0);
    KSM_DATA_LOG* second = m->get_session()->create_new_log(0);
    m->set_view_log(0, second);
    VOKR_LOG_WIDGET pane(nullptr, 0, m.frame());
    QStandardItem* trigger = pane.get_model()->item(0)->child(0)->child(0);
    ASSERT_EQ(trigger->rowCount(), 2);
    const std::string first_name = first->get_name(), second_name = second->get_name();

    const struct {
        int row;
        QString text;
        const char* name_after;
        bool duplicate;
    } renames[] = {{0, "", first_name.c_str(), false},
                   {0, QString::fromStdString(second_name), first_name.c_str(), true},
                   {0, "kept", "kept", false}};
    for (const auto& r : renames) {
        MSG_JOURNAL::clear();
        HINTS hints(m.get());
        pane.get_model()->item(0)->child(0)->child(0)->child(r.row)->setText(r.text);
        QCoreApplication::sendPostedEvents(&pane);
        EXPECT_STREQ(first->get_name(), r.name_after) << r.text.toStdString();
        EXPECT_EQ(shown_messages().size(), r.duplicate ? 1u : 0u);
        EXPECT_EQ(hints.count(VOKR_HINT_REFRESH | VOKR_HINT_VIEW), 1);
    }

    // Another log activates; the active one does nothing.
    HINTS hints(m.get());
    pane.on_double_clicked(pane.get_model()->item(0)->child(0)->child(0)->child(1)->index());
    EXPECT_TRUE(hints.list.empty());
    pane.on_double_clicked(pane.get_model()->item(0)->child(0)->child(0)->child(0)->index());
    EXPECT_STREQ(m->get_data_log()->get_name(), "kept");
    const std::vector<unsigned int> shown = hints.without_marks();
    const auto tabs = std::find(shown.begin(), shown.end(), VOKR_HINT_REBUILD | VOKR_HINT_TABS);
    ASSERT_NE(tabs, shown.end());
    EXPECT_NE(std::find(tabs, shown.end(), VOKR_HINT_REFRESH_CONFIG_VIEW), shown.end());

    // A log and its trigger: the log goes first, then the trigger. Only with focus.
    pane.show();
    QApplication::setActiveWindow(&pane);
    pane.get_tree()->setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(pane.get_tree()->hasFocus());
    // The active trigger, which the repository keeps, is refused before the question and
    // nothing goes; without it the other trigger goes after the logs.
    const int triggers = m.data()->get_num_triggers();
    ASSERT_EQ(m.data()->get_active_trigger(), m.data()->get_trigger(0));
    for (bool with_active : {true, false}) {
        QStandardItem* set_item = pane.get_model()->item(0)->child(0);
        pane.get_tree()->selectionModel()->clearSelection();
        for (int t = 0; t < set_item->rowCount(); ++t) {
            if (t > 0 || with_active)
                pane.get_tree()->selectionModel()->select(set_item->child(t)->index(), QItemSelectionModel::Select);
            for (int l = 0; l < set_item->child(t)->rowCount(); ++l)
                pane.get_tree()->selectionModel()->select(set_item->child(t)->child(l)->index(),
                                                          QItemSelectionModel::Select);
        }
        MSG_JOURNAL::clear();
        HINTS deleted(m.get());
        pane.on_data_log_delete();
        EXPECT_EQ(shown_messages(),
                  std::vector<std::string>{with_active ? "VOKR_CANT_DELETE_ACTIVE_ITEM" : "VOKR_NO_UNDO_SUPPORT"});
        EXPECT_EQ(m.data()->get_num_triggers(), with_active ? triggers : triggers - 1);
        EXPECT_EQ(m.data()->get_trigger(0)->get_num_logs(), with_active ? 2 : 0);
        EXPECT_EQ(deleted.count(VOKR_HINT_REBUILD | VOKR_HINT_DATA_LOG | VOKR_HINT_VIEW), with_active ? 0 : 1);
        QCoreApplication::sendPostedEvents(&pane);
    }

    // A pane that is not the current instance's renames nothing.
    m->add_instance();
    pane.update_log_tree();
    const std::string set_name = m->get_session()->get_signal_set_at(0)->get_name();
    pane.get_model()->item(0)->child(0)->setText("other");
    EXPECT_EQ(m->get_session()->get_signal_set_at(0)->get_name(), set_name);
}

}  // namespace
