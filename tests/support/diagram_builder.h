// Advanced-trigger diagrams for the tests, written in a compact notation: boxes made as the
// repository makes them when it reads a session file (through the tree slots, each property
// given as its persisted attribute), and the printer's full and short texts of a box.
#pragma once

#include "ruv.h"
#include "vokr_object.h"
#include "vokr_trigger_object.h"

#include <initializer_list>
#include <ostream>
#include <string>
#include <utility>

// Texts in failure messages as texts.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace diagram {

using ATTRIBUTES = std::initializer_list<std::pair<const char*, const char*>>;

class DIAGRAM {
public:
    VOKR_TRIGGER_OBJECT trigger;

    // Boxes made in the diagram's own trigger, or in `target` (a level's tree of a session).
    DIAGRAM() = default;
    explicit DIAGRAM(KSM_TX_TREE_OBJECT* target) : m_target(target) {}

    // A box below `parent` (a top-level box for null) with the given attributes.
    VOKR_OBJECT* box(VOKR_OBJECT* parent, ATTRIBUTES attributes)
    {
        KSM_TX_TREE_OBJECT* made = parent ? parent->create_child_object(0) : m_target->create_child_object(0);
        auto* box = static_cast<VOKR_OBJECT*>(made);
        for (const auto& [key, value] : attributes)
            box->set_attribute(key, value);
        return box;
    }

    // A tree from a compact notation, one box per term:
    //   term = "'" name "'"                      a node
    //        | "#" value                         a constant decimal bus value
    //        | kind [ "*" width ]                a bus of that many nodes n0, n1, ...
    //          [ "[" key "=" value { ";" key "=" value } "]" ] [ "(" term { "," term } ")" ]
    // A kind is a short word for a type (see TYPE_WORDS); the attributes are persisted keys and
    // words, except that a condition for routed nodes takes its three texts as pattern,
    // powerup_pattern and node_list.
    VOKR_OBJECT* make(const std::string& text)
    {
        size_t at = 0;
        return term(nullptr, text, at);
    }

private:
    KSM_TX_TREE_OBJECT* m_target = &trigger;

    VOKR_OBJECT* node(VOKR_OBJECT* parent, const std::string& name)
    {
        return box(parent, {{"type", "Node"}, {"name", name.c_str()}});
    }

    static const char* type_word(const std::string& kind)
    {
        static const std::pair<const char*, const char*> TYPE_WORDS[] = {
            {"result", "Advanced Trigger Level Result"},
            {"eld", "Edge & Level Detector"},
            {"node", "Node"},
            {"bus", "Bus"},
            {"bit", "Bit Value"},
            {"value", "Bus Value"},
            {"compare", "Comparison Operator"},
            {"bitwise", "Bitwise Operator"},
            {"logical", "Logical Operator"},
            {"reduction", "Reduction Operator"},
            {"shift", "Shift Operator"},
            {"counter", "Counter Operator"},
            {"hdl", "Custom Trigger HDL"},
            {"cirn", "Condition for Incrementally Routed Nodes"}};
        for (const auto& [word, type] : TYPE_WORDS)
            if (kind == word)
                return type;
        return "Unknown";
    }

    static void set(VOKR_OBJECT* box, const std::string& key, const std::string& value)
    {
        const QString text = QString::fromStdString(value);
        if (box->get_type() == VOKR_TYPE_CIRN && key == "pattern")
            box->set_pattern(text);
        else if (box->get_type() == VOKR_TYPE_CIRN && key == "powerup_pattern")
            box->set_power_up_pattern(text);
        else if (key == "node_list")
            box->set_node_list(text);
        else
            box->set_attribute(key.c_str(), value.c_str());
    }

    VOKR_OBJECT* term(VOKR_OBJECT* parent, const std::string& t, size_t& at)
    {
        if (t[at] == '\'' || t[at] == '#') {
            const size_t end = t[at] == '#' ? t.find_first_of(",)", at) : t.find('\'', at + 1) + 1;
            const std::string inner = t.substr(at + 1, end - at - (t[at] == '#' ? 1 : 2));
            VOKR_OBJECT* made =
                t[at] == '#' ? box(parent, {{"type", "Bus Value"}, {"configurable", "1"}, {"bus_value", inner.c_str()}})
                             : node(parent, inner);
            at = end;
            return made;
        }
        const size_t end = t.find_first_of("*[(,)", at);
        VOKR_OBJECT* made = box(parent, {{"type", type_word(t.substr(at, end - at))}});
        at = end;
        if (at < t.size() && t[at] == '*') {
            const size_t digits = ++at;
            at = t.find_first_not_of("0123456789", at);
            for (int i = 0, width = std::stoi(t.substr(digits, at - digits)); i < width; ++i)
                node(made, "n" + std::to_string(i));
        }
        if (at < t.size() && t[at] == '[') {
            while (t[at] != ']') {
                const size_t equals = t.find('=', at + 1);
                const size_t next = t.find_first_of(";]", equals);
                set(made, t.substr(at + 1, equals - at - 1), t.substr(equals + 1, next - equals - 1));
                at = next;
            }
            ++at;
        }
        if (at < t.size() && t[at] == '(') {
            ++at;
            do
                term(made, t, at);
            while (t[at++] == ',');
        }
        return made;
    }
};

struct PRINTED {
    std::string full;
    std::string short_form;
    uint32_t code = 0;
    VOKR_OBJECT* at_fault = nullptr;
};

inline PRINTED print(VOKR_OBJECT* box, int condition = 1, bool power_up = false,
                     KSM_DATA_MNEMONICS* mnemonics = nullptr, KSM_TX_SIGNAL_NODES* node_set = nullptr)
{
    PRINTED printed;
    QString full, short_form;
    box->get_element_equation(&full, mnemonics, node_set, &printed.code, &printed.at_fault, condition, power_up);
    box->get_element_equation(&short_form, mnemonics, node_set, nullptr, nullptr, condition, power_up);
    printed.full = full.toStdString();
    printed.short_form = short_form.toStdString();
    return printed;
}

// The text printed from a diagram that the tree generator builds from the parse of `text`
// (a result box filled from it), with the printer's validation code in `code`; empty, with the
// parser's message in `error`, when it does not parse.
inline std::string regenerated(const std::string& text, std::string* error = nullptr, uint32_t* code = nullptr)
{
    RUV_ADVANCED_TRIGGER_FACTORY factory;
    if (!factory.parse(text)) {
        if (error)
            *error = factory.get_error_message();
        return std::string();
    }
    DIAGRAM d;
    VOKR_OBJECT* result = d.make("result");
    result->generate_tree(&factory);
    const PRINTED printed = print(result);
    if (code)
        *code = printed.code;
    return printed.full;
}

}  // namespace diagram
