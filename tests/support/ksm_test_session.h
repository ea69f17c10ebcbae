// A tree-object family shaped like the module's and a session made with it, for the
// repository's tests and benchmarks.
#pragma once

#include "ksm.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

// A trigger object or a box of an advanced trigger: ordered attributes and child boxes.
class TEST_BOX : public KSM_TX_TREE_OBJECT {
public:
    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<std::unique_ptr<TEST_BOX>> children;
    int duplications = 0;

    TEST_BOX* add(const std::string& key, const std::string& value)
    {
        attributes.emplace_back(key, value);
        return this;
    }
    TEST_BOX* box() { return static_cast<TEST_BOX*>(create_child_object(0)); }

    KSM_TX_TREE_OBJECT* get_child_object(int index) override
    {
        return index >= 0 && index < get_child_count() ? children[index].get() : nullptr;
    }
    int get_child_count() override { return static_cast<int>(children.size()); }
    KSM_TX_TREE_OBJECT* create_child_object(int) override
    {
        children.push_back(std::make_unique<TEST_BOX>());
        return children.back().get();
    }
    bool delete_child_object(KSM_TX_TREE_OBJECT* child) override
    {
        for (auto it = children.begin(); it != children.end(); ++it)
            if (it->get() == child) {
                children.erase(it);
                return true;
            }
        return false;
    }
    bool get_equation(std::string* text, KSM_DATA_MNEMONICS*, KSM_TX_SIGNAL_NODES*, int, bool) override
    {
        *text = "(box)";
        return true;
    }
    bool duplicate_trigger(bool) override
    {
        ++duplications;
        return true;
    }
    void get_attributes() override
    {
        for (const auto& [key, value] : attributes)
            add_attribute(key.c_str(), value.c_str());
    }
    void generate_tree(RUV_ADVANCED_TRIGGER_FACTORY*) override {}
    void set_attribute(const char* key, const char* value) override { attributes.emplace_back(key, value); }
};

// The state-based flow of a trigger: attributes only.
class TEST_STATE_MACHINE : public TEST_BOX {
public:
    KSM_TX_TREE_OBJECT* create_child_object(int) override { return nullptr; }
};

// The session root: makes and owns the trigger objects (kind 0) and state machines (kind 1).
class TEST_ROOT : public TEST_BOX {
public:
    KSM_TX_TREE_OBJECT* create_child_object(int kind) override
    {
        children.push_back(kind == 1 ? std::make_unique<TEST_STATE_MACHINE>() : std::make_unique<TEST_BOX>());
        return children.back().get();
    }
    bool delete_child_object(KSM_TX_TREE_OBJECT* child) override
    {
        return !dynamic_cast<TEST_STATE_MACHINE*>(child) && TEST_BOX::delete_child_object(child);
    }
};

// A new session with one instance.
inline std::unique_ptr<KSM_TX_SESSION> make_test_session(const std::string& path = "test.lmx")
{
    auto session = std::make_unique<KSM_TX_SESSION>(new TEST_ROOT, true);
    session->create_session(path.c_str());
    return session;
}

// While it lives, files of this process cannot grow past `bytes`: a write beyond fails with
// EFBIG instead of raising SIGXFSZ. Nothing may be written to a regular file meanwhile.
class FILE_SIZE_LIMIT {
public:
    explicit FILE_SIZE_LIMIT(rlim_t bytes) : m_handler(std::signal(SIGXFSZ, SIG_IGN))
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit small = m_saved;
        small.rlim_cur = bytes;
        m_set = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FILE_SIZE_LIMIT()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }
    FILE_SIZE_LIMIT(const FILE_SIZE_LIMIT&) = delete;
    FILE_SIZE_LIMIT& operator=(const FILE_SIZE_LIMIT&) = delete;
    bool is_set() const { return m_set; }

private:
    void (*m_handler)(int);
    rlimit m_saved{};
    bool m_set = false;
};

// A count or seed that a test run can set from the environment: the variable's number, or the
// fallback when it is unset or empty.
inline int env_number(const char* name, int fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::atoi(text) : fallback;
}
