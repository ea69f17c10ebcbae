#include "vokr_splitter.h"

VOKR_SPLITTER::VOKR_SPLITTER() : QSplitter(nullptr) { hide(); }

VOKR_SPLITTER::VOKR_SPLITTER(HUB_MAP* hub_map, int id, Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent), m_id(id), m_hub_map(hub_map)
{
    connect(this, qOverload<int, int>(&QSplitter::splitterMoved), this, &VOKR_SPLITTER::onSplitterMoved);
    connect(get_hub(), qOverload<VOKR_SPLITTER*, int, int>(&VOKR_SPLITTER::splitterMoved), this,
            &VOKR_SPLITTER::moveSplitter);
}

VOKR_SPLITTER* VOKR_SPLITTER::get_hub()
{
    VOKR_SPLITTER*& hub = (*m_hub_map)[m_id];
    if (!hub)
        hub = new VOKR_SPLITTER();
    return hub;
}

void VOKR_SPLITTER::onSplitterMoved(int pos, int index)
{
    VOKR_SPLITTER* hub = get_hub();
    hub->m_dragged_sizes = sizes();
    emit hub->splitterMoved(this, pos, index);
}

void VOKR_SPLITTER::apply_dragged_sizes()
{
    const QList<int>& dragged = get_hub()->m_dragged_sizes;
    if (!dragged.isEmpty() && dragged.size() == count())
        setSizes(dragged);
}

// The other members of the group follow silently: neither they nor their listeners re-broadcast.
void VOKR_SPLITTER::moveSplitter(VOKR_SPLITTER* sender, int pos, int index)
{
    if (sender == this)
        return;
    const bool blocked = blockSignals(true);
    QSplitter::moveSplitter(pos, index);
    blockSignals(blocked);
}
