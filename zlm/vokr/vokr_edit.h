// The in-place line editor of the node list view: a node's alias or name, a trigger level's
// title, or a bus's trigger value at a level. It sits over its cell from the press that opens it
// until it loses focus, which commits a changed text in one undo unit and closes it.
#pragma once

#include "vokr_cell_edit.h"

class VOKR_EDIT : public VOKR_CELL_EDIT {
    Q_OBJECT
public:
    // `node` -1 with a level column edits that level's title.
    VOKR_EDIT(VOKR_VIEW* view, VOKR_TX_MANAGER* manager, int node, int column);
    // The editor's rectangle over its cell; false when the cell is not shown.
    bool place_editor();
    const QRect& get_rect() const { return m_rect; }
    // The characters a bus's trigger value cell takes; empty where it takes any text.
    static QString trigger_value_characters(VOKR_TX_MANAGER* manager, int node);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    QString initial_text() const;
    void commit() override;
};
