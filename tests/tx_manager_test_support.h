// Shared set-up of the manager tests: one QApplication for the process, a private user
// registry and an empty module directory, a recorder of `updated` hints and the messages shown.
#pragma once

#include "gen.h"
#include "msg.h"
#include "nixq.h"
#include "vokr_frame_wnd.h"
#include "vokr_session_object.h"
#include "vokr_tx_manager.h"

#include <QApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TX_MANAGER_ENVIRONMENT : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("KORVANE_SETTINGS_DIR", m_registry.path().toLocal8Bit());
        gen_set_module_path(empty_module_dir());
        static int argc = 1;
        static char name[] = "tx_manager_test";
        static char* argv[] = {name, nullptr};
        m_app = std::make_unique<QApplication>(argc, argv);
    }
    void TearDown() override { m_app.reset(); }
    // The module directory while no test says otherwise: it holds no plug-ins.
    static std::string empty_module_dir() { return s_instance->m_modules.path().toStdString(); }

    static TX_MANAGER_ENVIRONMENT* s_instance;

private:
    std::unique_ptr<QApplication> m_app;
    QTemporaryDir m_registry;
    QTemporaryDir m_modules;
};

inline TX_MANAGER_ENVIRONMENT* TX_MANAGER_ENVIRONMENT::s_instance = static_cast<TX_MANAGER_ENVIRONMENT*>(
    ::testing::AddGlobalTestEnvironment(new TX_MANAGER_ENVIRONMENT));

// Every hint the manager emits, in order, through a direct connection.
class HINTS {
public:
    explicit HINTS(VOKR_TX_MANAGER* manager, std::function<void()> on_hint = {})
    {
        m_connection = QObject::connect(manager, &VOKR_TX_MANAGER::updated, [this, on_hint](QObject*, int hint) {
            list.push_back(static_cast<unsigned>(hint));
            if (on_hint)
                on_hint();
        });
    }
    ~HINTS() { QObject::disconnect(m_connection); }

    std::vector<unsigned> list;

private:
    QMetaObject::Connection m_connection;
};

// Identifiers of the messages prompted since the journal was last cleared.
inline std::vector<std::string> shown_messages()
{
    std::vector<std::string> ids;
    for (const MSG_RECORD& r : MSG_JOURNAL::records_of("prompted"))
        ids.push_back(r.identifier);
    return ids;
}

// A fresh journal, no scripted answers and a directory for the test's files.
class TX_TEST : public ::testing::Test {
protected:
    void SetUp() override
    {
        MSG_JOURNAL::clear();
        MSG_JOURNAL::clear_answers();
        ASSERT_TRUE(m_dir.isValid());
    }
    std::string path(const char* name) const { return m_dir.filePath(name).toStdString(); }

    QTemporaryDir m_dir;
};

// The user registry of a test: a directory of its own while the scope lives.
class REGISTRY_SCOPE {
public:
    REGISTRY_SCOPE() : m_previous(qgetenv("KORVANE_SETTINGS_DIR"))
    {
        qputenv("KORVANE_SETTINGS_DIR", m_dir.path().toLocal8Bit());
    }
    ~REGISTRY_SCOPE() { qputenv("KORVANE_SETTINGS_DIR", m_previous); }
    void set(const char* name, const QVariant& value) { NIXQ_REGISTRY_KEY(NIXQ_VOKR_SUB_KEY).set_value(name, value); }

private:
    QTemporaryDir m_dir;
    QByteArray m_previous;
};
