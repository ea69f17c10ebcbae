// Tree-object base, the trees the repository keeps for the module, and the condition names.
#include "ksm_state.h"

#include <algorithm>
#include <cstring>

KSM_TX_TREE_OBJECT::KSM_TX_TREE_OBJECT() = default;

KSM_TX_TREE_OBJECT::~KSM_TX_TREE_OBJECT() = default;

KSM_TREE_ATTRIBUTES KSM_TX_TREE_OBJECT::collect_attributes()
{
    KSM_TREE_ATTRIBUTES attributes;
    m_attribute_sink = &attributes;
    get_attributes();
    m_attribute_sink = nullptr;
    return attributes;
}

void KSM_TX_TREE_OBJECT::add_attribute(const char* key, const char* value)
{
    if (m_attribute_sink && key)
        m_attribute_sink->emplace_back(key, value ? value : "");
}

KSM_OBJECT::~KSM_OBJECT() = default;

// ---- trees kept by the repository ------------------------------------------------------------------

KSM_TREE::~KSM_TREE()
{
    if (object && kind != KSM_TREE_KIND_STATE_MACHINE && host && host->root)
        host->root->delete_child_object(object);
}

namespace {

void fill_tree(KSM_TX_TREE_OBJECT* object, const KSM_TREE_NODE& node)
{
    for (const auto& [key, value] : node.attributes)
        object->set_attribute(key.c_str(), value.c_str());
    for (const KSM_TREE_NODE& child : node.children)
        if (KSM_TX_TREE_OBJECT* made = object->create_child_object(child.kind))
            fill_tree(made, child);
}

// Remembers a tree whose object the host's root made; trees that are gone leave the list now and then.
void add_tree(KSM_TREE_HOST& host, const std::shared_ptr<KSM_TREE>& tree)
{
    if (host.trees.size() >= host.prune_at) {
        host.trees.erase(std::remove_if(host.trees.begin(), host.trees.end(),
                                        [](const std::weak_ptr<KSM_TREE>& t) { return t.expired(); }),
                         host.trees.end());
        host.prune_at = std::max<size_t>(64, 2 * host.trees.size());
    }
    host.trees.push_back(tree);
}

// The content of a tree object of that kind: a state machine's attributes, a diagram's whole tree.
KSM_TREE_NODE tree_content(KSM_TX_TREE_OBJECT* object, int kind)
{
    KSM_TREE_NODE node;
    node.kind = kind;
    node.attributes = object->collect_attributes();
    if (kind != KSM_TREE_KIND_STATE_MACHINE)
        for (int i = 0; i < object->get_child_count(); ++i)
            if (KSM_TX_TREE_OBJECT* child = object->get_child_object(i))
                node.children.push_back(tree_content(child, KSM_TREE_KIND_TRIGGER));
    return node;
}

}  // namespace

KSM_TX_TREE_OBJECT* ksm_show_tree(KSM_DATA_SESSION* session, const std::shared_ptr<KSM_TREE>& tree)
{
    if (!tree || tree->object || !session)
        return tree ? tree->object : nullptr;
    const std::shared_ptr<KSM_TREE_HOST>& host = KSM_ACCESS::tree_host(session);
    KSM_TX_TREE_OBJECT* object = host->root ? host->root->create_child_object(tree->kind) : nullptr;
    if (!object)
        return nullptr;
    if (tree->content)
        fill_tree(object, *tree->content);
    tree->object = object;
    tree->host = host;
    tree->content.reset();  // the object is the tree now
    add_tree(*host, tree);
    return object;
}

void ksm_release_trees(KSM_DATA_SESSION* session)
{
    KSM_TREE_HOST& host = *KSM_ACCESS::tree_host(session);
    for (const std::weak_ptr<KSM_TREE>& weak : host.trees) {
        const std::shared_ptr<KSM_TREE> tree = weak.lock();
        if (!tree || !tree->object)
            continue;
        if (tree->kind != KSM_TREE_KIND_STATE_MACHINE) {
            tree->content = std::make_shared<const KSM_TREE_NODE>(tree_content(tree->object, tree->kind));
            if (host.root)
                host.root->delete_child_object(tree->object);
        }
        tree->object = nullptr;
        tree->host.reset();
    }
    host.trees.clear();
}

KSM_DATA_TRIGGER_CONDITION KSM_DATA_GLOBAL_ENUM::convert_string_to_enum(const char* text)
{
    static const struct {
        const char* text;
        KSM_DATA_TRIGGER_CONDITION condition;
    } table[] = {{">", KSM_CTYPE_COMPARE_GREATER_THAN},
                 {">=", KSM_CTYPE_COMPARE_GREATER_THAN_OR_EQUAL_TO},
                 {"==", KSM_CTYPE_COMPARE_EQUAL_TO},
                 {"<=", KSM_CTYPE_COMPARE_LESS_THAN_OR_EQUAL_TO},
                 {"<", KSM_CTYPE_COMPARE_LESS_THAN}};
    for (const auto& row : table)
        if (text && std::strcmp(text, row.text) == 0)
            return row.condition;
    return KSM_CTYPE_COUNT;
}

const char* KSM_DATA_GLOBAL_ENUM::convert_enum_to_string(KSM_DATA_TRIGGER_CONDITION condition)
{
    switch (condition) {
    case KSM_CTYPE_COMPARE_GREATER_THAN: return ">";
    case KSM_CTYPE_COMPARE_GREATER_THAN_OR_EQUAL_TO: return ">=";
    case KSM_CTYPE_COMPARE_EQUAL_TO: return "==";
    case KSM_CTYPE_COMPARE_LESS_THAN_OR_EQUAL_TO: return "<=";
    case KSM_CTYPE_COMPARE_LESS_THAN: return "<";
    case KSM_CTYPE_COMPARE_TRUE: return "true";
    default: return "";
    }
}
