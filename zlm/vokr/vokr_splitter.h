// A splitter that belongs to a link group: dragging a handle of one splitter of the group moves
// the same handle of every other splitter of that group, so that the panes repeated in every
// tab keep one common split. The group relays through a hidden hub splitter per link id, kept
// in a map that the owner of the splitters holds and deletes; the hub also keeps the split of
// the last drag, which a splitter made later, in a rebuilt tab, takes over.
#pragma once

#include <QMap>
#include <QSplitter>

class VOKR_SPLITTER : public QSplitter {
    Q_OBJECT
public:
    using HUB_MAP = QMap<int, VOKR_SPLITTER*>;

    VOKR_SPLITTER(HUB_MAP* hub_map, int id, Qt::Orientation orientation, QWidget* parent);
    int get_id() const { return m_id; }
    // Takes the split the group was last dragged to, when the group's splitters have as many
    // panes as this one.
    void apply_dragged_sizes();

signals:
    void splitterMoved(VOKR_SPLITTER* sender, int pos, int index);

public slots:
    void onSplitterMoved(int pos, int index);
    void moveSplitter(VOKR_SPLITTER* sender, int pos, int index);

private:
    // A hub: no map, no panes, hidden and parentless.
    VOKR_SPLITTER();
    VOKR_SPLITTER* get_hub();

    int m_id = 0;
    HUB_MAP* m_hub_map = nullptr;
    QList<int> m_dragged_sizes;  // a hub's: the sizes of the splitter last dragged
};
