// Shared set-up of the node tests: project descriptions written to temporary files, editor
// windows (framed or the wizard's frameless manager) on a fresh session, the messages the
// user was shown and the hints the manager emitted.
#pragma once

#include "msg.h"
#include "prj.h"
#include "tevq.h"
#include "vokr_frame_wnd.h"
#include "vokr_tx_manager.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace node_test {

constexpr const char* PRE_TITLE = "Lumetra: pre-synthesis";
constexpr const char* POST_TITLE = "Lumetra: post-fitting";
constexpr unsigned int POST_FLAG = 0x2000;
// What update_modified_flag announces.
constexpr unsigned int MODIFIED_HINT = 0x80000020;

// A directory for the files of the whole run.
inline QTemporaryDir& scratch()
{
    static QTemporaryDir dir;
    return dir;
}

inline std::string scratch_file(const char* stem)
{
    static int serial = 0;
    return scratch().filePath(QString("%1_%2").arg(stem).arg(++serial)).toStdString();
}

// Writes a project description and opens it as the suite's project.
inline void open_project(const char* text)
{
    const std::string path = scratch_file("project") + ".kproj";
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    std::string error;
    ASSERT_TRUE(PRJ_PROJECT::open(path, &error)) << error;
}

// A design name as the node finder hands it out for the database that `post` chooses.
inline PIRQ_INSTANCE_NAME found(const char* full_name, bool post = false)
{
    PIRQ_INSTANCE_NAME name;
    EXPECT_TRUE(tevq_make_instance_name(full_name, post ? POST_TITLE : PRE_TITLE, &name)) << full_name;
    return name;
}

// An editor on a new session: a framed window that is not the suite's main window, or the
// wizard's manager, which has no frame.
class EDITOR {
public:
    explicit EDITOR(bool framed)
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

inline std::vector<std::string> names(const KSM_TX_SIGNAL_NODES* list)
{
    std::vector<std::string> out;
    for (int i = 0; i < list->get_num_nodes(); ++i)
        out.push_back(list->get_node_name(i));
    return out;
}

// Identifiers of the messages prompted (shown) since the journal was cleared.
inline std::vector<std::string> prompted()
{
    std::vector<std::string> ids;
    for (const MSG_RECORD& r : MSG_JOURNAL::records_of("prompted"))
        ids.push_back(r.identifier);
    return ids;
}

// The posted messages with that identifier.
inline std::vector<MSG_RECORD> posted(const std::string& identifier)
{
    std::vector<MSG_RECORD> out;
    for (const MSG_RECORD& r : MSG_JOURNAL::records_of("posted"))
        if (r.identifier == identifier)
            out.push_back(r);
    return out;
}

// Position of the first shown or posted record with that identifier in the journal, or -1.
inline int journal_position(const std::string& identifier)
{
    const std::vector<MSG_RECORD>& all = MSG_JOURNAL::records();
    for (size_t i = 0; i < all.size(); ++i)
        if (all[i].event != "built" && all[i].identifier == identifier)
            return static_cast<int>(i);
    return -1;
}

inline std::vector<unsigned int> hints(const QSignalSpy& spy)
{
    std::vector<unsigned int> out;
    for (const QList<QVariant>& arguments : spy)
        out.push_back(static_cast<unsigned int>(arguments.at(1).toInt()));
    return out;
}

inline int count_hint(const QSignalSpy& spy, unsigned int hint)
{
    const std::vector<unsigned int> all = hints(spy);
    return static_cast<int>(std::count(all.begin(), all.end(), hint));
}

// A fresh journal, no queued answers or finder choices, and no project left open.
class NODE_TEST : public ::testing::Test {
protected:
    void SetUp() override
    {
        MSG_JOURNAL::clear();
        MSG_JOURNAL::clear_answers();
        tevq_clear_scripted_choices();
    }
    void TearDown() override
    {
        PRJ_PROJECT::close();
        MSG_JOURNAL::clear_answers();
        tevq_clear_scripted_choices();
    }
};

}  // namespace node_test
