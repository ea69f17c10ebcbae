// Shared set-up of the tests that drive the manager. Their one `main` (manager_test_support.cpp)
// gives the process an offscreen QApplication and a private user registry. Here: project
// descriptions written to temporary files, editors on a fresh session, the messages the user
// was shown, the hints the manager announced, and rows made in the current trigger list.
#pragma once

#include "msg.h"
#include "nixq.h"
#include "prj.h"
#include "tevq.h"
#include "vokr_enum.h"
#include "vokr_frame_wnd.h"
#include "vokr_tx_manager.h"

#include <QByteArray>
#include <QFile>
#include <QTableView>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace manager_test {

constexpr const char* PRE_TITLE = "Lumetra: pre-synthesis";
constexpr const char* POST_TITLE = "Lumetra: post-fitting";

// Hints the tests look for by name.
// What update_modified_flag announces.
constexpr unsigned int MODIFIED_HINT = VOKR_HINT_MODIFIED | VOKR_HINT_JTAG;
// What the end of every undo unit announces: the compilation status may have changed.
constexpr unsigned int UNIT_END_HINT = VOKR_HINT_STATUS | VOKR_HINT_INSTANCES;
// Refresh of the signal configuration panel.
constexpr unsigned int CONFIG_HINT = VOKR_HINT_REFRESH | VOKR_HINT_CONFIG;
// Refresh of the node list view.
constexpr unsigned int VIEW_HINT = VOKR_HINT_REFRESH | VOKR_HINT_VIEW;
// Refresh of the node list view and the layout tabs.
constexpr unsigned int LAYOUT_HINT = VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_VIEW;
// Refresh of the node list view and the instances after the validity marks changed.
constexpr unsigned int VALIDITY_HINT =
    VOKR_HINT_REFRESH | VOKR_HINT_ADVANCED_MODIFIED | VOKR_HINT_INSTANCES | VOKR_HINT_VIEW;

// A new file name, unique in the run, in a directory for the files of the whole run.
std::string scratch_file(const char* stem);

// Replaces the file's contents with `bytes`.
void write_file(const QString& path, const QByteArray& bytes);

// Writes a project description and opens it as the suite's project.
void open_project(const char* text);

// A design name as the node finder hands it out for the database that `post` chooses.
PIRQ_INSTANCE_NAME found(const char* full_name, bool post = false);

// An editor on a new session: a framed window that is not the suite's main window, or the
// wizard's manager, which has no frame.
class EDITOR {
public:
    explicit EDITOR(bool framed);
    VOKR_TX_MANAGER* operator->() const { return m_manager; }
    VOKR_TX_MANAGER* get() const { return m_manager; }
    VOKR_FRAME_WND* frame() const { return m_frame.get(); }
    KSM_TX_TRIGGER* trigger() const { return m_manager->get_trigger_nodes(-1); }
    KSM_TX_SIGNAL_SET* data() const { return m_manager->get_signal_nodes(-1); }

private:
    std::unique_ptr<VOKR_FRAME_WND> m_frame;
    std::unique_ptr<VOKR_TX_MANAGER> m_wizard;
    VOKR_TX_MANAGER* m_manager = nullptr;
};

std::vector<std::string> names(const KSM_TX_SIGNAL_NODES* list);

// Identifiers of the messages prompted (shown) since the journal was cleared.
std::vector<std::string> shown_messages();

// The posted messages with that identifier.
std::vector<MSG_RECORD> posted(const std::string& identifier);

// Position of the first shown or posted record with that identifier in the journal, or -1.
int journal_position(const std::string& identifier);

// Every hint the manager announces while the recorder lives, in order, through a direct
// connection; `on_hint` runs after each.
class HINTS {
public:
    explicit HINTS(VOKR_TX_MANAGER* manager, std::function<void()> on_hint = {});
    ~HINTS();
    HINTS(const HINTS&) = delete;
    HINTS& operator=(const HINTS&) = delete;

    // How often `hint` was announced.
    int count(unsigned int hint) const;
    // The hints without the modified mark and the end-of-unit announcements.
    std::vector<unsigned int> without_marks() const;

    std::vector<unsigned int> list;

private:
    QMetaObject::Connection m_connection;
};

// A fresh journal, no queued answers or finder choices, a directory for the test's files, and
// no project left open.
class MANAGER_TEST : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string path(const char* name) const { return m_dir.filePath(name).toStdString(); }
#ifdef VOKR_EXAMPLES_DIR
    // Opens the demo project and copies its session into the test's directory as "demo.lmx".
    void open_demo_project()
    {
        std::string error;
        ASSERT_TRUE(PRJ_PROJECT::open(VOKR_EXAMPLES_DIR "/demo/demo.kproj", &error)) << error;
        ASSERT_TRUE(QFile::copy(VOKR_EXAMPLES_DIR "/demo/demo.lmx", QString::fromStdString(path("demo.lmx"))));
    }
#endif
    // Opens the session file `name` of the test's directory in `m`.
    void open_session(VOKR_TX_MANAGER* m, const char* name)
    {
        bool renamed = false;
        std::string title;
        ASSERT_TRUE(m->open_document(path(name).c_str(), &renamed, &title));
    }

    QTemporaryDir m_dir;
};

// The user registry of a test: a directory of its own while the scope lives.
class REGISTRY_SCOPE {
public:
    REGISTRY_SCOPE();
    ~REGISTRY_SCOPE();
    REGISTRY_SCOPE(const REGISTRY_SCOPE&) = delete;
    REGISTRY_SCOPE& operator=(const REGISTRY_SCOPE&) = delete;
    void set(const char* name, const QVariant& value) { NIXQ_REGISTRY_KEY(NIXQ_VOKR_SUB_KEY).set_value(name, value); }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};

inline bool undo_available(VOKR_TX_MANAGER* m)
{
    return m->get_tx_instance() && m->get_tx_instance()->is_undo_available();
}

// Undoes every unit of the current instance and returns how many there were.
int undo_all(VOKR_TX_MANAGER* m);

// Rows appended to the current trigger list as the views' callers insert them.
void add_rows(VOKR_TX_MANAGER* m, std::initializer_list<const char*> rows,
              KSM_DATA_WIRE_TAP_MODE tap = KSM_TAP_PRE_SYNTHESIS);

// A stored sample depth of 0: an instance without sample memory.
void store_zero_depth(KSM_TX_SIGNAL_SET* set);

// Expects a shown table to show every header text and every row whole, without scrolling.
void expect_table_whole(const QTableView* view, const char* what);

}  // namespace manager_test
