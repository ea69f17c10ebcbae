// The object tree of one advanced trigger level or storage-qualifier pattern: every box of its
// diagram in one flat list that owns them (a box without a parent is a top-level box, which
// the repository sees as a child), and the editor's snapshots of the diagram for its own undo.
#pragma once

#include "vokr_tree_object.h"

#include <QList>

class VOKR_OBJECT;

class VOKR_TRIGGER_OBJECT : public VOKR_TREE_OBJECT {
public:
    VOKR_TRIGGER_OBJECT() = default;
    // Deletes every box, then every snapshot with its boxes.
    ~VOKR_TRIGGER_OBJECT() override;

    QList<VOKR_OBJECT*>* get_object_array() { return &m_object_array; }
    QList<QList<VOKR_OBJECT*>*>* get_undo_list() { return &m_undo_list; }
    int get_undo_position() const { return m_undo_position; }
    void set_undo_position(int position) { m_undo_position = position; }
    // The level's modified mark when the first snapshot was recorded, which undoing every
    // snapshot after it gives back.
    bool is_first_snapshot_modified() const { return m_first_snapshot_modified; }
    void set_first_snapshot_modified(bool modified) { m_first_snapshot_modified = modified; }

    // The top-level boxes, in the order of the flat list; null past the last.
    KSM_TX_TREE_OBJECT* get_child_object(int index) override;
    int get_child_count() override;
    // A new top-level box without view context at (0, 0), appended to the flat list.
    KSM_TX_TREE_OBJECT* create_child_object(int kind) override;
    // The expression of the diagram's result box (the last one in the list): every box is
    // first set to the power-up or the normal bank marker, which stays. The text (local 8-bit)
    // is empty and the result false without a wired result box; true when the printer found
    // no problem.
    bool get_equation(std::string* text, KSM_DATA_MNEMONICS* mnemonics, KSM_TX_SIGNAL_NODES* node_set, int condition,
                      bool power_up) override;
    // Every box's, from the last to the first; true when all succeed.
    bool duplicate_trigger(bool to_power_up) override;

private:
    QList<VOKR_OBJECT*> m_object_array;
    QList<QList<VOKR_OBJECT*>*> m_undo_list;
    int m_undo_position = 0;
    bool m_first_snapshot_modified = false;
};
