// Locating the selected node of the list in the suite's tools and in its design file, and the
// state of the frame's locate sub-menu.
#include "vokr_view.h"

#include "ksm.h"
#include "msg.h"
#include "pirq.h"
#include "toz.h"
#include "vokr_assert.h"
#include "vokr_frame_wnd.h"
#include "vokr_locate.h"
#include "vokr_tx_manager.h"
#include "wex.h"

#include <QAction>

#include <memory>

namespace {

constexpr int MAX_LOCATE_NODE = 4095;

}  // namespace

// The name of the first selected node that is not a bus row; empty when there is none.
QString VOKR_VIEW::first_selected_signal_name() const
{
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    for (int node = 0, count = list ? list->get_num_nodes() : 0; node < count; ++node)
        if (list->is_selected(node) && !is_group(node))
            return QString::fromLocal8Bit(list->get_node_name(node));
    return QString();
}

void VOKR_VIEW::on_locate(const QString& tool)
{
    if (!hasFocus())
        return;
    VOKR_DESIGN_LOAN design("VOKR_VIEW::do_locate_triggered", TOZ_KIND_POST_FITTING);
    if (!design.is_available())
        return;
    // The schema is complete before the design goes back: the instance dies with the loan.
    std::unique_ptr<MSG_GEN_LOCATION_SCHEMA> schema(
        vokr_tool_location_schema(design.find(first_selected_signal_name())));
    design.give_back();
    wex_locate(tool, schema.get(), false);
}

void VOKR_VIEW::on_locate_design_file()
{
    if (!hasFocus())
        return;
    VOKR_DESIGN_LOAN design("VOKR_VIEW::do_locate_in_design_file", TOZ_KIND_POST_FITTING);
    const TOZ_INSTANCE_NAME* instance = design.find(first_selected_signal_name());
    std::unique_ptr<MSG_GEN_LOCATION_SCHEMA> schema(instance ? instance->make_location_schema() : nullptr);
    design.give_back();
    if (schema)
        wex_locate_to_design_file(schema.get(), false);
}

void VOKR_VIEW::on_update_locate()
{
    VOKR_ASSERT_TEXT(m_frame_wnd != nullptr, "this->m_frame_wnd != NULL");
    if (!hasFocus())
        return;
    bool found = false;
    {
        VOKR_DESIGN_LOAN design("VOKR_VIEW::on_update_locate", TOZ_KIND_POST_FITTING);
        found = design.find(first_selected_signal_name()) != nullptr;
    }
    WEX_PRJ_UI_MGR* project_ui_mgr = WEX_PRJ_UI_MGR::get_prj_ui_mgr();
    VOKR_ASSERT_TEXT(project_ui_mgr != nullptr, "project_ui_mgr != NULL");
    const KSM_TX_SIGNAL_NODES* list = current_node_table();
    int selected = 0;
    for (int node = 0, count = list ? std::min(list->get_num_nodes(), MAX_LOCATE_NODE + 1) : 0; node < count; ++node)
        selected += list->is_selected(node) ? 1 : 0;
    const bool enabled = project_ui_mgr->project_is_open() && selected == 1 && found;
    QMenu* menu = m_frame_wnd->get_locate_menu();
    wex_enable_locate_menu_actions(menu, enabled ? 2 : 0);
    if (QAction* design_file = menu->findChild<QAction*>("design file"))
        design_file->setEnabled(enabled);
}
