// The view's commands that open a modal dialog: the mnemonic table setup, the plug-in options of
// the selected plug-in buses, the comparison of a bus, and the state machine nodes dialog in its
// Add and Recreate modes.
#include "vokr_assert.h"
#include "vokr_comparison_trigger_dlg.h"
#include "vokr_mnemonic_dlg.h"
#include "vokr_state_machine_dlg.h"
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

// Edits the options of every selected plug-in bus in one dialog and one undo unit.
void VOKR_VIEW::on_plugin_options()
{
    if (!m_tx_manager || !current_node_table())
        return;
    std::vector<std::unique_ptr<VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT>> owned;
    QList<VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT*> tables;
    for (int i = 0, count = get_node_count(); i < count; ++i) {
        if (!is_selected_bus(i))
            continue;
        if (std::unique_ptr<VOKR_TX_MANAGER::VOKR_PLUGIN_STRUCT> table = m_tx_manager->get_plugin_struct(i)) {
            tables << table.get();
            owned.push_back(std::move(table));
        }
    }
    if (tables.isEmpty())
        return;
    m_tx_manager->get_plugin_user_options(&tables, false);
    update();
}

bool VOKR_VIEW::ask_comparison(int node, int width, COMPARISON* comparison)
{
    VOKR_TRIGGER_COMPARE_DLG dialog(this);
    m_tx_manager->get_node(node, nullptr, &dialog.m_node_name, nullptr, nullptr, nullptr, nullptr, nullptr, -4,
                           nullptr);
    dialog.m_operand_a = comparison->operand1;
    dialog.m_operand_b = comparison->operand2;
    dialog.m_value_a = comparison->value1;
    dialog.m_value_b = comparison->value2;
    dialog.m_bus_width = width;
    dialog.build();
    if (dialog.exec() == QDialog::Rejected)
        return false;
    *comparison = {static_cast<KSM_DATA_TRIGGER_CONDITION>(dialog.m_operand_a),
                   static_cast<KSM_DATA_TRIGGER_CONDITION>(dialog.m_operand_b), dialog.m_value_a, dialog.m_value_b};
    return true;
}

// The dialog reads the design databases itself and makes its own undo unit on OK.
void VOKR_VIEW::on_node_add_state_machine()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    VOKR_STATE_MACHINE_DLG dialog(m_frame_wnd, false, this);
    dialog.exec();
}

void VOKR_VIEW::on_node_recreate_state_machine_mnemonics()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    VOKR_STATE_MACHINE_DLG dialog(m_frame_wnd, true, this);
    dialog.exec();
}
