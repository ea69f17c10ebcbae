// The state-based trigger flow of one instance: its states, each with a name, a text and a
// kind, and the unified text in which all states stand one after another. It persists as
// the one attribute "state_machine_flow_expression".
#pragma once

#include "vokr_tree_object.h"

#include <QString>
#include <QStringList>
#include <QVector>

class VOKR_STATE_MACHINE_OBJECT : public VOKR_TREE_OBJECT {
public:
    static constexpr const char* FLOW_ATTRIBUTE = "state_machine_flow_expression";

    int get_state_count() const { return m_state_count; }
    void set_state_count(int count);
    void get_state_name(int n, QString* name) const;
    void set_state_name(int n, const QString& name);
    void set_state_text(int n, const QString& text);
    QString get_state_text(int n) const;
    void get_unified_state_text(QString* text);
    void set_unified_state_text(const QString& text);
    int get_state_type(int n) const;
    void set_state_type(int n, int type);

    void get_attributes() override;
    void generate_tree(RUV_ADVANCED_TRIGGER_FACTORY* factory) override;
    void set_attribute(const char* key, const char* value) override;

private:
    int m_state_count = 1;
    QStringList m_state_names;
    QStringList m_state_texts;
    QString m_unified_text;
    QVector<int> m_state_types;
};
