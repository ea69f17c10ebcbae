// The data of a drag of node rows out of the node list, which the advanced trigger canvas and
// the node list itself accept.
#include "vokr_view.h"

#include <QMimeData>

QMimeData* VOKR_VIEW::make_node_drag_data() const
{
    auto* data = new QMimeData;
    data->setData(NODE_DRAG_FORMAT, QByteArray());
    return data;
}
