// Locating the selected Node box's design instance in the suite's tools and in its design file,
// and the state of the frame's locate sub-menu while the canvas shows it.
#include "vokr_object_widget.h"

#include "msg.h"
#include "pirq.h"
#include "toz.h"
#include "vokr_assert.h"
#include "vokr_frame_wnd.h"
#include "vokr_locate.h"
#include "vokr_object.h"
#include "vokr_tx_manager.h"
#include "wex.h"

#include <memory>

// The name of the first selected box in the current bank; for a Node box the node's name.
QString VOKR_OBJECT_WIDGET::locate_name() const
{
    const QList<VOKR_OBJECT*> selected = selected_boxes();
    QString name;
    if (!selected.isEmpty())
        selected.first()->get_string_property_text(VOKR_STRING_NAME, &name, VOKR_BANK_CURRENT);
    return name;
}

// The frame's locate sub-menu; null for the wizard's canvas, which has no frame.
PIRQ_LOCATE_MENU* VOKR_OBJECT_WIDGET::locate_menu() const
{
    VOKR_FRAME_WND* frame = m_tx_manager ? m_tx_manager->get_frame_wnd() : nullptr;
    return frame ? qobject_cast<PIRQ_LOCATE_MENU*>(frame->get_locate_menu()) : nullptr;
}

void VOKR_OBJECT_WIDGET::on_update_locate()
{
    PIRQ_LOCATE_MENU* menu = locate_menu();
    if (!hasFocus() || !menu)
        return;
    const QString name = locate_name();
    bool found = false;
    if (is_selected()) {
        VOKR_DESIGN_LOAN design("VOKR_OBJECT_WIDGET::on_update_locate", TOZ_KIND_POST_FITTING);
        found = design.find(name) != nullptr;
    }
    WEX_PRJ_UI_MGR* project_ui_mgr = WEX_PRJ_UI_MGR::get_prj_ui_mgr();
    VOKR_ASSERT_TEXT(project_ui_mgr != nullptr, "project_ui_mgr != NULL");
    const VOKR_OBJECT* box = get_selection_count() == 1 ? selected_boxes().first() : nullptr;
    menu->set_entries_enabled(project_ui_mgr->project_is_open() && box && box->get_type() == VOKR_TYPE_NODE &&
                              !name.isEmpty() && !is_disabled() && found);
}

// The location schema is built while the design is still lent: the instance that builds it
// belongs to the design and is not valid once the design is given back.
void VOKR_OBJECT_WIDGET::on_locate_design_file()
{
    WEX_PRJ_UI_MGR* project_ui_mgr = WEX_PRJ_UI_MGR::get_prj_ui_mgr();
    VOKR_ASSERT_TEXT(project_ui_mgr != nullptr, "project_ui_mgr != NULL");
    if (!hasFocus() || !project_ui_mgr->project_is_open())
        return;
    const int kind = m_tx_manager->is_incremental_compile() ? TOZ_KIND_POST_FITTING : TOZ_KIND_PRE_SYNTHESIS;
    const QString name = locate_name();
    VOKR_DESIGN_LOAN design("vokr_object_widget", kind);
    const TOZ_INSTANCE_NAME* instance = design.find(name);
    std::unique_ptr<MSG_GEN_LOCATION_SCHEMA> schema(instance ? instance->make_location_schema() : nullptr);
    design.give_back();
    if (!schema)
        return;
    schema->set_name(name.toLocal8Bit().toStdString());
    wex_locate_to_design_file(schema.get(), false);
}

void VOKR_OBJECT_WIDGET::on_locate_triggered(const QString& locate_target)
{
    WEX_PRJ_UI_MGR* project_ui_mgr = WEX_PRJ_UI_MGR::get_prj_ui_mgr();
    VOKR_ASSERT_TEXT(project_ui_mgr != nullptr, "project_ui_mgr != nullptr");
    if (!hasFocus() || !project_ui_mgr->project_is_open())
        return;
    VOKR_DESIGN_LOAN design("VOKR_OBJECT_WIDGET::do_locate_triggered", TOZ_KIND_POST_FITTING);
    const TOZ_INSTANCE_NAME* instance = design.find(locate_name());
    if (!instance)
        return;
    std::unique_ptr<MSG_GEN_LOCATION_SCHEMA> schema(vokr_tool_location_schema(instance));
    design.give_back();
    wex_locate(locate_target, schema.get(), false);
}

// The frame's locate sub-menu joins the context menu, its entries acting on this canvas while
// it has the focus.
void VOKR_OBJECT_WIDGET::add_locate_menu()
{
    PIRQ_LOCATE_MENU* menu = locate_menu();
    if (!menu)
        return;
    m_context_menu->addMenu(menu);
    m_context_menu->addSeparator();
    connect(menu, &QMenu::aboutToShow, this, &VOKR_OBJECT_WIDGET::on_update_locate);
    connect(menu, &PIRQ_LOCATE_MENU::locate_triggered, this, &VOKR_OBJECT_WIDGET::on_locate_triggered);
    connect(menu->get_design_file_action(), &QAction::triggered, this, &VOKR_OBJECT_WIDGET::on_locate_design_file);
}
