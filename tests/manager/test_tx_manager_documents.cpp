// Documents of the manager: new, open (version scan, restored instance and lock mode), save
// (refusals, project enabling, stored values), the modified mark and the notifications.
#include "manager_test_support.h"

#include "ksm_test_session.h"
#include "omu.h"
#include "vokr_session_object.h"
#include "wex.h"

#include <QAction>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

using namespace manager_test;

namespace {

const std::vector<unsigned> OPEN_HINTS = {VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_INSTANCES | VOKR_HINT_JTAG,
                                          VIEW_HINT, VOKR_HINT_ADVANCED, VOKR_HINT_REBUILD | VOKR_HINT_JTAG};

// Writes a session file with one instance per version given.
void write_session(const std::string& path, const std::vector<int>& versions,
                   const std::function<void(KSM_TX_SESSION*)>& extra = {})
{
    KSM_TX_SESSION session(new VOKR_SESSION_OBJECT, true);
    session.create_session(path.c_str());
    while (session.get_num_instances() < static_cast<int>(versions.size()))
        session.create_lumetra_instance();
    for (size_t i = 0; i < versions.size(); ++i) {
        KSM_DATA_INSTANCE_INFO info = session.get_instance_at(static_cast<int>(i))->get_node_info();
        info.version = static_cast<uint8_t>(versions[i]);
        session.get_instance_at(static_cast<int>(i))->set_node_info(info);
    }
    if (extra)
        extra(&session);
    ASSERT_TRUE(session.save_session(path.c_str()));
}

// A stored session-wide value as the file holds it.
int stored_value(const std::string& path, const char* key)
{
    KSM_TX_SESSION session(new VOKR_SESSION_OBJECT, true);
    return session.open_session(path.c_str()) ? session.get_global_data(key) : -2;
}

QByteArray contents(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

using TxDocuments = MANAGER_TEST;

TEST_F(TxDocuments, NewDocumentHasOneCurrentInstanceWithLoggingOff)
{
    VOKR_TX_MANAGER m(nullptr);
    m.new_document(path("old.lmx").c_str());
    m.add_instance();
    HINTS hints(&m);
    EXPECT_TRUE(m.new_document(path("n.lmx").c_str()));
    EXPECT_EQ(m.get_session()->get_num_instances(), 1);
    EXPECT_EQ(m.get_current_instance_index(), 0);
    EXPECT_EQ(m.get_tx_instance(), m.get_session()->get_instance_at(0));
    EXPECT_FALSE(m.get_session()->is_gui_logging_enabled());
    EXPECT_EQ(hints.list, (std::vector<unsigned>{VOKR_HINT_REFRESH | VOKR_HINT_TABS | VOKR_HINT_INSTANCES, VIEW_HINT}));
}

TEST_F(TxDocuments, OpenRestoresTheStoredInstanceAndLockMode)
{
    const struct {
        int active, lock, current;
        VOKR_LOCK_MODE mode;
    } cases[] = {{7, 5, 2, VOKR_LOCK_MODE_ALL_CHANGES},
                 {-1, -1, 0, VOKR_LOCK_MODE_TRIGGER_CONDITIONS},  // the main window's mode stays
                 {1, 1, 1, VOKR_LOCK_MODE_INCREMENTAL_ROUTE},
                 {0, 2, 0, VOKR_LOCK_MODE_TRIGGER_CONDITIONS}};
    for (const auto& c : cases) {
        write_session(path("s.lmx"), {3, 3, 3}, [&](KSM_TX_SESSION* s) {
            s->set_global_data("active instance", c.active);
            s->set_global_data("lock mode", c.lock);
        });
        VOKR_FRAME_WND frame(nullptr, WEX_FRAME_MODE_MAIN_WINDOW, 0, 0);
        VOKR_TX_MANAGER* m = frame.get_tx_manager();
        bool renamed = true;
        std::string name;
        EXPECT_TRUE(m->open_document(path("s.lmx").c_str(), &renamed, &name));
        EXPECT_FALSE(renamed);
        EXPECT_EQ(m->get_current_instance_index(), c.current) << c.active;
        EXPECT_EQ(m->get_tx_instance(), m->get_session()->get_instance_at(c.current));
        EXPECT_EQ(m->get_lock_mode(false), c.mode) << c.lock;
    }
}

TEST_F(TxDocuments, AdoptedSessionKeepsItsLockModeAndStaysTheCallers)
{
    auto* session = new KSM_TX_SESSION(new VOKR_SESSION_OBJECT, true);
    session->create_session(path("w.lmx").c_str());
    session->create_lumetra_instance();
    session->set_global_data("lock mode", 5);
    session->set_global_data("active instance", 9);
    {
        VOKR_FRAME_WND frame(nullptr, 0, 0, 0);
        VOKR_TX_MANAGER* m = frame.get_tx_manager();
        HINTS hints(m);
        EXPECT_TRUE(m->open_document(session));
        EXPECT_EQ(int(m->get_lock_mode(false)), 5);
        EXPECT_EQ(m->get_current_instance_index(), 1);
        EXPECT_TRUE(hints.list.empty());
    }
    EXPECT_EQ(session->get_num_instances(), 2);  // not deleted with the manager
    delete session;
}

TEST_F(TxDocuments, OpenScansVersionsAndAsksOnlyAboutOlderFiles)
{
    std::vector<unsigned> updated_then_opened = {MODIFIED_HINT};
    updated_then_opened.insert(updated_then_opened.end(), OPEN_HINTS.begin(), OPEN_HINTS.end());
    const struct {
        const char* what;
        std::vector<int> versions;
        int answer;
        bool result;
        std::vector<std::string> shown;
        std::vector<unsigned> hints;
        int version_of_1;  // after opening; -1: the file is closed
    } cases[] = {
        {"current", {3, 3, 3}, 0, true, {}, OPEN_HINTS, 3},
        {"older, then newer; No", {3, 2, 4}, 7, true, {"VOKR_UPDATE_VERSION"}, OPEN_HINTS, 2},
        {"older, then newer; Yes", {3, 2, 4}, 6, true, {"VOKR_UPDATE_VERSION"}, updated_then_opened, 3},
        {"newer, then older", {3, 4, 2}, 6, false, {"VOKR_NEWER_VERSION"}, {}, -1},
    };
    for (const auto& c : cases) {
        write_session(path("v.lmx"), c.versions);
        const QByteArray before = contents(path("v.lmx"));
        MSG_JOURNAL::clear();
        MSG_JOURNAL::clear_answers();
        MSG_JOURNAL::push_answer(c.answer);
        VOKR_TX_MANAGER m(nullptr);
        HINTS hints(&m);
        bool renamed = false;
        std::string name;
        EXPECT_EQ(m.open_document(path("v.lmx").c_str(), &renamed, &name), c.result) << c.what;
        EXPECT_EQ(shown_messages(), c.shown) << c.what;
        EXPECT_EQ(hints.list, c.hints) << c.what;
        if (c.version_of_1 >= 0) {
            EXPECT_EQ(m.get_session()->get_instance_at(1)->get_node_info().version, c.version_of_1) << c.what;
            EXPECT_EQ(m.get_session()->is_modified(), c.answer == 6) << c.what;
            continue;
        }
        // A refused newer file is closed, so that nothing this version understood is written back.
        EXPECT_EQ(m.get_current_instance_index(), -1);
        EXPECT_EQ(m.get_session()->get_data_session(), nullptr);
        EXPECT_FALSE(m.save_document(path("v.lmx").c_str()));
        EXPECT_EQ(contents(path("v.lmx")), before);
    }
}

TEST_F(TxDocuments, UpdatingAnOlderFileWarnsAboutEveryTriggerThatRoutesIncrementally)
{
    const std::string UPDATE = "VOKR_UPDATE_VERSION", USED = "VOKR_OLD_INCREMENTAL_ROUTE_USED";
    const struct {
        const char* what;
        bool available;                        // the older instance offers incremental routing
        std::vector<const char*> incremental;  // its triggers that use it, as the file stores them
        int answer;
        std::vector<std::string> shown;
        std::vector<std::string> warned;  // signal set/trigger of each warning
    } cases[] = {
        {"two triggers", true, {"t0", "t2"}, 6, {UPDATE, USED}, {"main/t0", "history/t2"}},
        {"none", true, {}, 6, {UPDATE}, {}},
        {"not offered", false, {"t0", "t2"}, 6, {UPDATE}, {}},
        {"not updated", true, {"t0", "t2"}, 7, {UPDATE}, {}},
    };
    for (const auto& c : cases) {
        write_session(path("r.lmx"), {3, 2}, [&](KSM_TX_SESSION* s) {
            KSM_TX_INSTANCE* older = s->get_instance_at(1);
            older->set_name("core");
            older->set_incremental_route_available(c.available);
            older->get_signal_set(0)->set_name("main");
            older->get_signal_set(0)->get_trigger(0)->set_name("t0");
            older->create_signal_set("history")->create_trigger("t1");
            older->get_signal_set(1)->create_trigger("t2");
            for (const char* name : c.incremental)
                for (int set = 0; set < 2; ++set)
                    for (int t = 0; t < older->get_signal_set(set)->get_num_triggers(); ++t)
                        if (std::string(older->get_signal_set(set)->get_trigger(t)->get_name()) == name)
                            older->get_signal_set(set)->get_trigger(t)->set_using_incremental_route(true);
        });
        MSG_JOURNAL::clear();
        MSG_JOURNAL::clear_answers();
        MSG_JOURNAL::push_answer(c.answer);
        VOKR_TX_MANAGER m(nullptr);
        bool renamed = false;
        std::string name;
        EXPECT_TRUE(m.open_document(path("r.lmx").c_str(), &renamed, &name)) << c.what;
        EXPECT_EQ(shown_messages(), c.shown) << c.what;
        std::vector<std::string> warned;
        for (const MSG_RECORD& r : MSG_JOURNAL::records_of("posted")) {
            EXPECT_EQ(r.identifier, USED + "_SYS") << c.what;
            for (const std::string& expected : c.warned)
                if (r.text.find("instance: core, the signal set: " + expected.substr(0, expected.find('/')) +
                                ", and the trigger: " + expected.substr(expected.find('/') + 1) + ".") !=
                    std::string::npos)
                    warned.push_back(expected);
        }
        EXPECT_EQ(warned, c.warned) << c.what;
        EXPECT_EQ(MSG_JOURNAL::records_of("posted").size(), c.warned.size()) << c.what;
    }
}

TEST_F(TxDocuments, SaveWithoutCurrentInstanceStoresNeitherInstanceNorLockMode)
{
    VOKR_TX_MANAGER m(nullptr);
    m.new_document(path("e.lmx").c_str());
    m.set_instance(-1);
    HINTS hints(&m);
    EXPECT_TRUE(m.save_document(path("e.lmx").c_str()));
    EXPECT_EQ(shown_messages(), std::vector<std::string>{"VOKR_ZERO_INSTANCES"});
    EXPECT_EQ(MSG_JOURNAL::records_of("prompted").front().text, "File contains no instances");
    EXPECT_TRUE(hints.list.empty());
    EXPECT_EQ(stored_value(path("e.lmx"), "active instance"), -1);
    EXPECT_EQ(stored_value(path("e.lmx"), "lock mode"), -1);
}

TEST_F(TxDocuments, SaveClearsTheModifiedMarkBeforeNotifying)
{
    VOKR_FRAME_WND frame(nullptr, 0, 0, 0);
    VOKR_TX_MANAGER* m = frame.get_tx_manager();
    m->new_document(path("s.lmx").c_str());
    m->add_instance();
    m->set_lock_mode(VOKR_LOCK_MODE_INCREMENTAL_ROUTE, false);
    ASSERT_TRUE(frame.isWindowModified());
    std::vector<bool> marked;
    HINTS hints(m, [&] { marked.push_back(frame.isWindowModified()); });
    EXPECT_TRUE(m->save_document(path("s.lmx").c_str()));
    EXPECT_EQ(hints.list,
              std::vector<unsigned>{VOKR_HINT_REFRESH | VOKR_HINT_DATA_LOG | VOKR_HINT_CONFIG | VOKR_HINT_VIEW});
    EXPECT_EQ(marked, std::vector<bool>{false});
    EXPECT_FALSE(m->get_session()->is_modified());
    EXPECT_EQ(stored_value(path("s.lmx"), "active instance"), 1);
    EXPECT_EQ(stored_value(path("s.lmx"), "lock mode"), 1);
}

TEST_F(TxDocuments, SaveIsRefusedWhileAcquiringOrOverAnotherOpenSession)
{
    const struct {
        const char* what;
        std::function<void(VOKR_TX_MANAGER&, std::unique_ptr<VOKR_TX_MANAGER>*)> arrange;
        const char* shown;
    } cases[] = {
        {"acquiring", [](VOKR_TX_MANAGER& m, auto*) { m.set_instance_acq_state(0, VOKR_ACQ_STARTED); },
         "VOKR_CANT_CLOSE_LMX_FILE"},
        {"open as another session",
         [this](VOKR_TX_MANAGER&, std::unique_ptr<VOKR_TX_MANAGER>* other) {
             *other = std::make_unique<VOKR_TX_MANAGER>(nullptr);
             (*other)->new_document(path("target.lmx").c_str());
         },
         "VOKR_SAVE_TO_OPEN_FILE"},
    };
    for (const auto& c : cases) {
        MSG_JOURNAL::clear();
        VOKR_TX_MANAGER m(nullptr);
        m.new_document(path("own.lmx").c_str());
        std::unique_ptr<VOKR_TX_MANAGER> other;
        c.arrange(m, &other);
        HINTS hints(&m);
        EXPECT_FALSE(m.save_document(path("target.lmx").c_str())) << c.what;
        EXPECT_EQ(shown_messages(), std::vector<std::string>{c.shown}) << c.what;
        EXPECT_FALSE(QFile::exists(QString::fromStdString(path("target.lmx")))) << c.what;
        EXPECT_TRUE(hints.list.empty()) << c.what;
    }
}

TEST_F(TxDocuments, FailedSaveTellsTheUserAndLosesNothing)
{
    VOKR_TX_MANAGER m(nullptr);
    m.new_document(path("f.lmx").c_str());
    m.add_instance();
    EXPECT_FALSE(m.save_document(path("no such directory/f.lmx").c_str()));
    EXPECT_EQ(shown_messages().back(), "VOKR_CANNOT_SAVE");
    EXPECT_TRUE(m.get_session()->is_modified());
    EXPECT_EQ(m.get_session()->get_num_instances(), 2);
    EXPECT_EQ(m.get_current_instance_index(), 1);
    EXPECT_TRUE(m.save_document(path("f.lmx").c_str()));
}

// A write that the system stops (here a file-size limit) names the system's reason in the
// Messages window beside the notice, and leaves the saved file as it was.
TEST_F(TxDocuments, SaveStoppedByTheSystemTellsWhyAndKeepsTheSavedFile)
{
    VOKR_TX_MANAGER m(nullptr);
    m.new_document(path("l.lmx").c_str());
    ASSERT_TRUE(m.save_document(path("l.lmx").c_str()));
    const QByteArray before = contents(path("l.lmx"));
    m.add_instance();
    MSG_JOURNAL::clear();
    bool saved = true;
    {
        FILE_SIZE_LIMIT limit(64);
        ASSERT_TRUE(limit.is_set());
        saved = m.save_document(path("l.lmx").c_str());
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(contents(path("l.lmx")), before);
    EXPECT_EQ(shown_messages().back(), "VOKR_CANNOT_SAVE");
    const std::vector<MSG_RECORD> errors = MSG_JOURNAL::records_of("posted");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].type, "E");
    EXPECT_NE(errors[0].text.find(std::strerror(EFBIG)), std::string::npos) << errors[0].text;
    EXPECT_NE(errors[0].text.find(path("l.lmx")), std::string::npos) << errors[0].text;
    EXPECT_TRUE(m.get_session()->is_modified());
}

// Another program wrote the file since it was opened: the save asks first. No keeps what the
// other program wrote and the window's modified mark, and the next save asks again; Yes replaces
// it, and the next save asks no more.
TEST_F(TxDocuments, SaveOverAFileChangedOnDiskAsksFirst)
{
    const std::string asked = "VOKR_FILE_CHANGED_ON_DISK";
    const auto asks = [&] {
        const std::vector<std::string> shown = shown_messages();
        return std::count(shown.begin(), shown.end(), asked);
    };
    for (const int answer : {7, 6}) {
        SCOPED_TRACE(answer);
        write_session(path("s.lmx"), {3});
        VOKR_TX_MANAGER m(nullptr);
        bool renamed = false;
        std::string name;
        ASSERT_TRUE(m.open_document(path("s.lmx").c_str(), &renamed, &name));
        m.add_instance();
        write_session(path("other.lmx"), {3, 3, 3});  // another program's save: a new file takes the name
        ASSERT_TRUE(QFile::remove(QString::fromStdString(path("s.lmx"))));
        ASSERT_TRUE(QFile::rename(QString::fromStdString(path("other.lmx")), QString::fromStdString(path("s.lmx"))));
        const QByteArray theirs = contents(path("s.lmx"));
        for (const bool again : {false, true}) {
            MSG_JOURNAL::clear();
            MSG_JOURNAL::clear_answers();
            MSG_JOURNAL::push_answer(answer);
            EXPECT_EQ(m.save_document(path("s.lmx").c_str()), answer == 6) << again;
            EXPECT_EQ(asks(), again && answer == 6 ? 0 : 1) << again;
            EXPECT_EQ(contents(path("s.lmx")) == theirs, answer == 7) << again;
            EXPECT_EQ(m.get_session()->is_modified(), answer == 7) << again;
            m.add_instance();
        }
    }
}

TEST_F(TxDocuments, SaveOffersToEnableTheFileForTheOpenProject)
{
    QDir(m_dir.path()).mkpath("sub");
    const std::string file = path("sub/x.lmx");
    OMU_MANAGER* omu = OMU_MANAGER::get_omu_manager();
    OMU_REVISION_MANAGER* revision = omu->get_revision_manager();
    const std::string ASK = "VOKR_ENABLE_CURRENT_LUMETRA_FILE_ON_SAVE", UNSUPPORTED = "VOKR_LUMETRA_NOT_SUPPORTED";
    const struct {
        const char* what;
        const char* family;
        int answer;
        std::function<void(VOKR_TX_MANAGER*)> arrange;
        bool saved;
        std::vector<std::string> shown;
        std::string assignments;  // 1414|1412|57 afterwards
        bool write_locked;
    } cases[] = {
        {"unsupported family", "Brisk", 6, {}, true, {UNSUPPORTED}, "||", false},
        {"Cancel", "Talvern", 2, {}, false, {ASK}, "||", false},
        {"No", "Talvern II", 7, {}, true, {ASK}, "||", false},
        {"Yes", "Meridian", 6, {}, true, {ASK}, "On|sub/x.lmx|sub/x.lmx", false},
        {"already enabled",
         "Corsa",
         6,
         [&](VOKR_TX_MANAGER*) {
             omu->load_assignment(OMU_VAR_SESSION_ENABLE, "oN");
             omu->load_assignment(OMU_VAR_SESSION_FILE, "sub/x.lmx");
         },
         true,
         {},
         "oN|sub/x.lmx|",
         false},
        {"made by the IP wizard",
         "Talvern",
         6,
         [](VOKR_TX_MANAGER* m) {
             m->get_tx_instance()->set_node_info({0, 0, 2, 3});
         },
         true,
         {},
         "||",
         false},
        {"Yes while the write lock is held elsewhere",
         "Talvern",
         6,
         [&](VOKR_TX_MANAGER*) { revision->write_lock(false); },
         true,
         {ASK},
         "||",
         true},
    };
    for (const auto& c : cases) {
        QFile::remove(QString::fromStdString(file));
        MSG_JOURNAL::clear();
        MSG_JOURNAL::clear_answers();
        MSG_JOURNAL::push_answer(c.answer);
        omu->open_project(m_dir.path().toStdString(), "top");
        omu->load_assignment(OMU_VAR_DEVICE_FAMILY, c.family);
        VOKR_FRAME_WND frame(nullptr, 0, 0, 0);
        VOKR_TX_MANAGER* m = frame.get_tx_manager();
        m->new_document(file.c_str());
        m->add_instance();
        if (c.arrange)
            c.arrange(m);
        EXPECT_EQ(m->save_document(file.c_str()), c.saved) << c.what;
        EXPECT_EQ(QFile::exists(QString::fromStdString(file)), c.saved) << c.what;
        EXPECT_EQ(frame.isWindowModified(), !c.saved) << c.what;
        std::vector<std::string> shown = shown_messages();
        shown.erase(std::remove(shown.begin(), shown.end(), "VOKR_ZERO_INPUT"), shown.end());
        EXPECT_EQ(shown, c.shown) << c.what;
        EXPECT_EQ(revision->is_write_locked(), c.write_locked) << c.what;
        if (!revision->is_write_locked())
            revision->read_lock();
        std::string assignments;
        for (int variable : {OMU_VAR_SESSION_ENABLE, OMU_VAR_SESSION_FILE, OMU_VAR_SESSION_FILE_COPY}) {
            OMU_ASSIGNMENT a;
            omu->get_assignment(variable, &a);
            assignments += (variable == OMU_VAR_SESSION_ENABLE ? "" : "|") + a.value;
        }
        EXPECT_EQ(assignments, c.assignments) << c.what;
        revision->is_write_locked() ? revision->write_unlock(false) : revision->read_unlock();
        omu->close_project();
    }
}

// A path relative to the working directory is stored relative to the project, and the file
// then counts as enabled: the question is asked once.
TEST_F(TxDocuments, SaveUnderARelativePathEnablesTheFileOnce)
{
    QDir(m_dir.path()).mkpath("proj");
    struct WORKING_DIRECTORY {
        QString previous = QDir::currentPath();
        ~WORKING_DIRECTORY() { QDir::setCurrent(previous); }
    } restore;
    ASSERT_TRUE(QDir::setCurrent(m_dir.path()));
    OMU_MANAGER* omu = OMU_MANAGER::get_omu_manager();
    omu->open_project(path("proj"), "top");
    omu->load_assignment(OMU_VAR_DEVICE_FAMILY, "Talvern");
    MSG_JOURNAL::push_answer(6);
    VOKR_TX_MANAGER m(nullptr);
    m.new_document("proj/x.lmx");
    EXPECT_TRUE(m.save_document("proj/x.lmx"));
    EXPECT_TRUE(m.save_document("proj/x.lmx"));
    const std::vector<std::string> shown = shown_messages();
    EXPECT_EQ(std::count(shown.begin(), shown.end(), "VOKR_ENABLE_CURRENT_LUMETRA_FILE_ON_SAVE"), 1);
    omu->get_revision_manager()->read_lock();
    for (int variable : {OMU_VAR_SESSION_FILE, OMU_VAR_SESSION_FILE_COPY}) {
        OMU_ASSIGNMENT a;
        omu->get_assignment(variable, &a);
        EXPECT_EQ(a.value, "x.lmx") << variable;
    }
    omu->get_revision_manager()->read_unlock();
    omu->close_project();
}

TEST_F(TxDocuments, ModifiedMarkFollowsTheSession)
{
    VOKR_TX_MANAGER wizard(nullptr);
    HINTS wizard_hints(&wizard);
    wizard.update_modified_flag();  // no session counts as modified; still announced
    wizard.set_modified_flag(true);
    EXPECT_EQ(wizard_hints.list, std::vector<unsigned>{MODIFIED_HINT});

    VOKR_FRAME_WND frame(nullptr, 0, 0, 0);
    VOKR_TX_MANAGER* m = frame.get_tx_manager();
    m->update_modified_flag();
    EXPECT_TRUE(frame.isWindowModified());
    m->new_document(path("m.lmx").c_str());
    HINTS hints(m);
    m->set_modified_flag(false);
    EXPECT_FALSE(frame.isWindowModified());
    m->get_action(PIRQ_ACTION_LOGGING, QVariant())->setChecked(true);  // the logging switch
    EXPECT_TRUE(m->get_session()->is_gui_logging_enabled());
    EXPECT_TRUE(frame.isWindowModified());
    EXPECT_EQ(hints.list, std::vector<unsigned>{MODIFIED_HINT});
}

}  // namespace
