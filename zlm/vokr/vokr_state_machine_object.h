// The state-based trigger flow of one instance: its states, each with a name, a text and a
// kind, and the unified text in which all states stand one after another. It persists as the
// attribute "state_machine_flow_expression", followed by "state_machine_state_types" when a
// state has a kind other than 0.
#pragma once

#include "vokr_enum.h"
#include "vokr_tree_object.h"

#include <QString>
#include <QStringList>
#include <QVector>

class VOKR_STATE_MACHINE_OBJECT : public VOKR_TREE_OBJECT {
public:
    static constexpr const char* FLOW_ATTRIBUTE = "state_machine_flow_expression";
    // The kinds of the states in order, as decimal numbers separated by blanks, up to the last
    // one that is not 0.
    static constexpr const char* TYPES_ATTRIBUTE = "state_machine_state_types";

    int get_state_count() const { return m_state_count; }
    void set_state_count(int count);
    void get_state_name(int n, QString* name) const;
    void set_state_name(int n, const QString& name);
    // Stores state n's text; n = -1 only drops the cached unified text.
    void set_state_text(int n, const QString& text);
    QString get_state_text(int n) const;
    int get_stored_text_count() const { return m_state_texts.size(); }
    void get_unified_state_text(QString* text);
    void set_unified_state_text(const QString& text);
    VOKR_STATE_TYPE get_state_type(int n) const;
    void set_state_type(int n, VOKR_STATE_TYPE type);
    int get_stored_type_count() const { return m_state_types.size(); }
    // Drops the cached unified text, so that the next read builds it from the states.
    void clear_unified_text() { m_unified_text.clear(); }

    // A state header "state <name>:" in a unified text: where the word begins and where its colon
    // stands.
    struct HEADER {
        int start;
        int colon;
    };
    // The state headers of a unified text, in order. The word "state", in any letter case, begins
    // a header only as a whole word: at the start of the text or after white space, ';' or ':',
    // and followed by white space or the colon. The name runs up to the next colon, so a name may
    // hold the word; a header without a colon ends the list.
    static QVector<HEADER> find_headers(const QString& text);
    // Where a state's own text holds the word "state" as it would begin a header once the text
    // stands in the text of all states, or -1. Such a text would split into more states there.
    static int find_header_word(const QString& state_text);

    KSM_TX_TREE_OBJECT* get_child_object(int index) override;
    int get_child_count() override;
    KSM_TX_TREE_OBJECT* create_child_object(int kind) override;
    bool delete_child_object(KSM_TX_TREE_OBJECT* child) override;
    void get_attributes() override;
    void generate_tree(RUV_ADVANCED_TRIGGER_FACTORY* factory) override;
    // The flow attribute replaces the whole flow (names and kinds too), so that writing the
    // attributes of another moment back restores that moment; the kinds attribute follows it.
    void set_attribute(const char* key, const char* value) override;

private:
    int m_state_count = 1;
    QStringList m_state_names;
    QStringList m_state_texts;
    QString m_unified_text;
    QVector<VOKR_STATE_TYPE> m_state_types;
};
