#include "vokr_allocation_type_button_group.h"

#include "vokr_enum.h"
#include "vokr_node_allocation.h"
#include "vokr_tx_manager.h"

#include <QSpinBox>

VOKR_ALLOCATION_TYPE_BUTTON_GROUP::VOKR_ALLOCATION_TYPE_BUTTON_GROUP(QObject* parent,
                                                                     VOKR_NODE_ALLOCATION_IF* allocation)
    : QButtonGroup(parent), m_allocation(allocation)
{
    connect(this, &QButtonGroup::idClicked, this, &VOKR_ALLOCATION_TYPE_BUTTON_GROUP::rbuttonclicked);
}

void VOKR_ALLOCATION_TYPE_BUTTON_GROUP::rbuttonclicked(int id)
{
    if (id == 0) {
        if (m_spin_box)
            m_spin_box->setEnabled(false);
        m_allocation->get_manager()->update_all_views(nullptr, vokr_hint(VOKR_HINT_VIEW));
        m_allocation->set_value(0);
    } else if (id == 1) {
        if (m_spin_box)
            m_spin_box->setEnabled(true);
        m_allocation->set_value(m_spin_box ? m_spin_box->value() : 0);
    }
}
