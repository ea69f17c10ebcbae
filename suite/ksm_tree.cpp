// Tree-object base, shared tree references and the condition names.
#include "ksm_state.h"

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

std::shared_ptr<KSM_TX_TREE_OBJECT> ksm_adopt_tree_object(KSM_DATA_SESSION* session, KSM_TX_TREE_OBJECT* object,
                                                          bool delete_through_root)
{
    if (!object)
        return nullptr;
    std::shared_ptr<KSM_TREE_HOST> host = KSM_ACCESS::tree_host(session);
    return std::shared_ptr<KSM_TX_TREE_OBJECT>(object, [host, delete_through_root](KSM_TX_TREE_OBJECT* o) {
        if (delete_through_root && host->root)
            host->root->delete_child_object(o);
    });
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
