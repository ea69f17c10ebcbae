// The entry point of the tests that need a QApplication, and the helpers of
// manager_test_support.h.
#include "manager_test_support.h"

#include <QApplication>
#include <QFile>
#include <QHeaderView>

#include <tcl.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace manager_test {

namespace {

// A directory for the files of the whole run.
QTemporaryDir& scratch_dir()
{
    static QTemporaryDir dir;
    return dir;
}

}  // namespace

std::string scratch_file(const char* stem)
{
    static int serial = 0;
    return scratch_dir().filePath(QString("%1_%2").arg(stem).arg(++serial)).toStdString();
}

void write_file(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

void open_project(const char* text)
{
    const std::string path = scratch_file("project") + ".kproj";
    ASSERT_NO_FATAL_FAILURE(write_file(QString::fromStdString(path), text));
    std::string error;
    ASSERT_TRUE(PRJ_PROJECT::open(path, &error)) << error;
}

PIRQ_INSTANCE_NAME found(const char* full_name, bool post)
{
    PIRQ_INSTANCE_NAME name;
    EXPECT_TRUE(tevq_make_instance_name(full_name, post ? POST_TITLE : PRE_TITLE, &name)) << full_name;
    return name;
}

EDITOR::EDITOR(bool framed)
{
    if (framed) {
        m_frame = std::make_unique<VOKR_FRAME_WND>(nullptr, 0, 0, 0);
        m_manager = m_frame->get_tx_manager();
    } else {
        m_wizard = std::make_unique<VOKR_TX_MANAGER>(nullptr);
        m_manager = m_wizard.get();
    }
    const std::string path = scratch_file("session") + ".lmx";
    m_manager->new_document(path.c_str());
}

std::vector<std::string> names(const KSM_TX_SIGNAL_NODES* list)
{
    std::vector<std::string> out;
    out.reserve(list->get_num_nodes());
    for (int i = 0; i < list->get_num_nodes(); ++i)
        out.push_back(list->get_node_name(i));
    return out;
}

std::vector<std::string> shown_messages()
{
    std::vector<std::string> ids;
    for (const MSG_RECORD& r : MSG_JOURNAL::records_of("prompted"))
        ids.push_back(r.identifier);
    return ids;
}

std::vector<MSG_RECORD> posted(const std::string& identifier)
{
    std::vector<MSG_RECORD> out;
    for (const MSG_RECORD& r : MSG_JOURNAL::records_of("posted"))
        if (r.identifier == identifier)
            out.push_back(r);
    return out;
}

int journal_position(const std::string& identifier)
{
    const std::vector<MSG_RECORD>& all = MSG_JOURNAL::records();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].event != "built" && all[i].identifier == identifier)
            return static_cast<int>(i);
    return -1;
}

HINTS::HINTS(VOKR_TX_MANAGER* manager, std::function<void()> on_hint)
{
    m_connection =
        QObject::connect(manager, &VOKR_TX_MANAGER::updated, [this, on_hint = std::move(on_hint)](QObject*, int hint) {
            list.push_back(static_cast<unsigned int>(hint));
            if (on_hint)
                on_hint();
        });
}

HINTS::~HINTS() { QObject::disconnect(m_connection); }

int HINTS::count(unsigned int hint) const { return static_cast<int>(std::count(list.begin(), list.end(), hint)); }

std::vector<unsigned int> HINTS::without_marks() const
{
    std::vector<unsigned int> out;
    for (unsigned int hint : list)
        if (hint != MODIFIED_HINT && hint != UNIT_END_HINT)
            out.push_back(hint);
    return out;
}

void MANAGER_TEST::SetUp()
{
    MSG_JOURNAL::clear();
    MSG_JOURNAL::clear_answers();
    tevq_clear_scripted_choices();
    ASSERT_TRUE(m_dir.isValid());
}

void MANAGER_TEST::TearDown()
{
    PRJ_PROJECT::close();
    MSG_JOURNAL::clear_answers();
    tevq_clear_scripted_choices();
}

REGISTRY_SCOPE::REGISTRY_SCOPE() : m_previous(qgetenv("KORVANE_SETTINGS_DIR"))
{
    qputenv("KORVANE_SETTINGS_DIR", m_dir.path().toLocal8Bit());
}

REGISTRY_SCOPE::~REGISTRY_SCOPE() { qputenv("KORVANE_SETTINGS_DIR", m_previous); }

int undo_all(VOKR_TX_MANAGER* m)
{
    int units = 0;
    while (undo_available(m) && units < 100) {
        m->on_edit_undo();
        ++units;
    }
    return units;
}

void add_rows(VOKR_TX_MANAGER* m, std::initializer_list<const char*> rows, KSM_DATA_WIRE_TAP_MODE tap)
{
    for (const char* name : rows)
        ASSERT_TRUE(m->insert_node(name, KSM_STYPE_INPUT_PIN, tap, false)) << name;
}

void store_zero_depth(KSM_TX_SIGNAL_SET* set) { ASSERT_TRUE(set->set_sample_depth(0)); }

void expect_table_whole(const QTableView* view, const char* what)
{
    const QHeaderView* header = view->horizontalHeader();
    for (int c = 0; c < header->count(); ++c)
        EXPECT_GE(header->sectionSize(c), header->sectionSizeHint(c)) << what << ": column " << c;
    EXPECT_LE(header->length(), view->viewport()->width()) << what << ": the columns are cut";
    const int rows = view->model()->rowCount();
    if (rows > 0) {
        EXPECT_LE(view->rowViewportPosition(rows - 1) + view->rowHeight(rows - 1), view->viewport()->height())
            << what << ": the rows are cut";
    }
}

}  // namespace manager_test

// Offscreen Qt unless the caller chose a platform, a user registry of the run's own, and Tcl's
// encodings for the tests that make interpreters. The module directory stays the module's own:
// it holds the node finder and no decoding plug-ins.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // A death test runs in a child process that ends by aborting, before it removes the temporary
    // directories it made: they go into this run's directory, which the run removes as it ends.
    const bool death_test_child = std::any_of(argv, argv + argc, [](const char* arg) {
        return QByteArray(arg).startsWith("--gtest_internal_run_death_test");
    });
    std::unique_ptr<QTemporaryDir> run;
    if (!death_test_child) {
        run = std::make_unique<QTemporaryDir>();
        if (run->isValid())
            qputenv("TMPDIR", QFile::encodeName(run->path()));
    }
    QTemporaryDir registry;
    qputenv("KORVANE_SETTINGS_DIR", registry.path().toLocal8Bit());
    Tcl_FindExecutable(argv[0]);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
