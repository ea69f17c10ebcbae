// Finding nodes in the view: the find targets and the view's find and select-all commands.
#include "vokr_find_dlg.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

VOKR_FIND_TARGET::VOKR_FIND_TARGET(VOKR_VIEW* view, int node, const QString& name, bool bus)
    : m_view(view), m_node(node), m_name(name)
{
    set_type(bus ? BUS_NAMES : NODE_NAMES);
}

void VOKR_FIND_TARGET::show()
{
    m_view->ensure_visible(m_node);
    m_view->update();
}

void VOKR_VIEW::on_edit_find()
{
    VOKR_FIND_DLG dialog(this, this);
    dialog.exec();
}

void VOKR_VIEW::on_edit_find_next()
{
    VOKR_FIND_DLG dialog(this, this);
    dialog.on_view_find_next();
}

void VOKR_VIEW::on_edit_select_all()
{
    KSM_TX_SIGNAL_NODES* list = current_node_table();
    if (!hasFocus() || !list || !m_tx_manager)
        return;
    for (int node = 0, count = list->get_num_nodes(); node < count; ++node)
        m_tx_manager->set_node_selection_status(node, true);
    deselect_hidden_rows();
    update();
}
