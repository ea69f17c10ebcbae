// The view's commands that open the mnemonic table setup and the plug-in option dialogs.
#include "vokr_mnemonic_dlg.h"
#include "vokr_tx_manager.h"
#include "vokr_view.h"

void VOKR_VIEW::on_mnemonic_table_setup()
{
    if (!m_frame_wnd || !m_tx_manager || !m_tx_manager->get_session())
        return;
    VOKR_MNEMONIC_DLG dialog(m_frame_wnd, this);
    if (dialog.exec() == QDialog::Accepted)
        update();
}

// Edits the options of the selected plug-in bus.
void VOKR_VIEW::on_plugin_options()
{
    const int node = get_single_selected_node();
    if (!m_tx_manager || node < 0)
        return;
    std::unique_ptr<VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT> table = m_tx_manager->get_plugin_struct(node);
    if (!table)
        return;
    QList<VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT*> tables{table.get()};
    m_tx_manager->get_plugin_user_options(&tables, false);
    update();
}
