// What the locate commands of the node list and the canvas need of the compiled design: a
// borrow of its hierarchy that is given back exactly once, the lookup of a node's instance and
// the location schema that names an instance to the suite's tools.
#pragma once

#include <QString>

class MSG_GEN_LOCATION_SCHEMA;
class TOZ_INSTANCE_NAME;
class TOZ_NAMESPACE;

class VOKR_DESIGN_LOAN {
public:
    // Borrows the compiled hierarchy of `kind` for `client` (a literal that names the caller).
    VOKR_DESIGN_LOAN(const char* client, int kind);
    ~VOKR_DESIGN_LOAN() { give_back(); }
    VOKR_DESIGN_LOAN(const VOKR_DESIGN_LOAN&) = delete;
    VOKR_DESIGN_LOAN& operator=(const VOKR_DESIGN_LOAN&) = delete;

    bool is_available() const { return m_space != nullptr; }
    // The design instance of a node name; null when the design has none or was given back.
    // The instance, and everything built from it, is valid only until give_back.
    TOZ_INSTANCE_NAME* find(const QString& name) const;
    void give_back();

private:
    const char* m_client;
    int m_kind;
    TOZ_NAMESPACE* m_space;
};

// A new schema holding one instance as the suite's tools address it: by its short path in the
// alternative hierarchy-database mode, else by the name manager's identifier.
MSG_GEN_LOCATION_SCHEMA* vokr_tool_location_schema(const TOZ_INSTANCE_NAME* instance);
