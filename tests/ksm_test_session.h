// A session of the repository with a minimal object tree, for the repository's tests.
#pragma once

#include "ksm.h"

#include <memory>
#include <string>
#include <vector>

// A tree object that keeps its attributes and children; the session root makes trigger
// objects (kind 0) and state-machine objects (kind 1) and owns them.
class TEST_TREE_OBJECT : public KSM_TX_TREE_OBJECT {
public:
    explicit TEST_TREE_OBJECT(bool root = false) : m_root(root) {}
    ~TEST_TREE_OBJECT() override
    {
        for (KSM_TX_TREE_OBJECT* c : m_children)
            delete c;
    }
    KSM_TX_TREE_OBJECT* get_child_object(int index) override
    {
        return index >= 0 && index < static_cast<int>(m_children.size()) ? m_children[index] : nullptr;
    }
    int get_child_count() override { return static_cast<int>(m_children.size()); }
    KSM_TX_TREE_OBJECT* create_child_object(int) override
    {
        m_children.push_back(new TEST_TREE_OBJECT);
        return m_children.back();
    }
    bool delete_child_object(KSM_TX_TREE_OBJECT* child) override
    {
        for (auto it = m_children.begin(); it != m_children.end(); ++it) {
            if (*it == child) {
                delete child;
                m_children.erase(it);
                return true;
            }
        }
        return false;
    }
    bool get_equation(std::string* text, KSM_DATA_MNEMONICS*, KSM_TX_SIGNAL_NODES*, int, bool power_up) override
    {
        *text = power_up ? "power-up" : "normal";
        return true;
    }
    bool duplicate_trigger(bool to_power_up) override
    {
        duplicated.push_back(to_power_up);
        return true;
    }
    void get_attributes() override
    {
        for (const auto& [key, value] : attributes)
            add_attribute(key.c_str(), value.c_str());
    }
    void generate_tree(RUV_ADVANCED_TRIGGER_FACTORY*) override {}
    void set_attribute(const char* key, const char* value) override { attributes.emplace_back(key, value); }

    std::vector<std::pair<std::string, std::string>> attributes;
    std::vector<bool> duplicated;

private:
    bool m_root;
    std::vector<KSM_TX_TREE_OBJECT*> m_children;
};

// A new session with one instance, named after the test.
inline std::unique_ptr<KSM_TX_SESSION> make_test_session(const std::string& path = "test.lmx")
{
    auto session = std::make_unique<KSM_TX_SESSION>(new TEST_TREE_OBJECT(true), true);
    session->create_session(path.c_str());
    return session;
}
