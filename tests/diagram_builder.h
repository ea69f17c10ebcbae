// Advanced-trigger diagrams for the tests: boxes made as the repository makes them when it reads
// a session file (through the tree slots, each property given as its persisted attribute), and
// the printer's full and short texts of a box.
#pragma once

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

    // A box below `parent` (a top-level box for null) with the given attributes.
    VOKR_OBJECT* box(VOKR_OBJECT* parent, ATTRIBUTES attributes)
    {
        KSM_TX_TREE_OBJECT* made = parent ? parent->create_child_object(0) : trigger.create_child_object(0);
        auto* box = static_cast<VOKR_OBJECT*>(made);
        for (const auto& [key, value] : attributes)
            box->set_attribute(key, value);
        return box;
    }
    VOKR_OBJECT* result() { return box(nullptr, {{"type", "Advanced Trigger Level Result"}}); }
    VOKR_OBJECT* node(VOKR_OBJECT* parent, const char* name, ATTRIBUTES more = {})
    {
        VOKR_OBJECT* made = box(parent, {{"type", "Node"}, {"name", name}});
        for (const auto& [key, value] : more)
            made->set_attribute(key, value);
        return made;
    }
    // A bus of nodes.
    VOKR_OBJECT* bus(VOKR_OBJECT* parent, std::initializer_list<const char*> names, ATTRIBUTES more = {})
    {
        VOKR_OBJECT* made = box(parent, more);
        made->set_attribute("type", "Bus");
        for (const char* name : names)
            node(made, name);
        return made;
    }
    // A bus of `width` nodes named n0, n1, ...
    VOKR_OBJECT* wide_bus(VOKR_OBJECT* parent, int width)
    {
        VOKR_OBJECT* made = box(parent, {{"type", "Bus"}});
        for (int i = 0; i < width; ++i)
            node(made, ("n" + std::to_string(i)).c_str());
        return made;
    }
    // A constant bus value, decimal unless the attributes say otherwise.
    VOKR_OBJECT* value(VOKR_OBJECT* parent, const char* text, ATTRIBUTES more = {})
    {
        VOKR_OBJECT* made = box(parent, {{"type", "Bus Value"}, {"configurable", "1"}, {"bus_value", text}});
        for (const auto& [key, value] : more)
            made->set_attribute(key, value);
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

}  // namespace diagram
