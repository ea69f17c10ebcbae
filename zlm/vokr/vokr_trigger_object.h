// The object tree of one advanced trigger level or storage-qualifier pattern: the boxes of its
// diagram, and the editor's snapshots of them for its own undo.
#pragma once

#include "vokr_tree_object.h"

#include <QList>

class VOKR_OBJECT;

class VOKR_TRIGGER_OBJECT : public VOKR_TREE_OBJECT {
public:
    VOKR_TRIGGER_OBJECT() = default;
    ~VOKR_TRIGGER_OBJECT() override;

    QList<VOKR_OBJECT*>* get_object_array() { return &m_object_array; }
    QList<QList<VOKR_OBJECT*>*>* get_undo_list() { return &m_undo_list; }
    int get_undo_position() const { return m_undo_position; }

    KSM_TX_TREE_OBJECT* get_child_object(int index) override;
    int get_child_count() override;
    KSM_TX_TREE_OBJECT* create_child_object(int kind) override;
    bool get_equation(std::string* text, KSM_DATA_MNEMONICS* mnemonics, KSM_TX_SIGNAL_NODES* node_set, int condition,
                      bool power_up) override;
    bool duplicate_trigger(bool to_power_up) override;

private:
    QList<VOKR_OBJECT*> m_object_array;
    QList<QList<VOKR_OBJECT*>*> m_undo_list;
    int m_undo_position = 0;
};
