#include "vokr_view_molq_handler.h"

#include "vokr_view.h"

const MOLQ_NOTIFY_ENTRY VOKR_VIEW_MOLQ_HANDLER::m_notify_entries[100] = {
    {molq_get_message("MOLQ_MSG_OMU_ASSIGNMENTS_CHANGED"),
     static_cast<MOLQ_NOTIFY_HANDLER>(&VOKR_VIEW_MOLQ_HANDLER::on_assignments_changed)},
    {0, nullptr}};

const MOLQ_NOTIFY_MAP VOKR_VIEW_MOLQ_HANDLER::m_notify_map = {&MOLQ_NOTIFY_TARGET::m_notify_map,
                                                              VOKR_VIEW_MOLQ_HANDLER::m_notify_entries};

VOKR_VIEW_MOLQ_HANDLER::~VOKR_VIEW_MOLQ_HANDLER() = default;

bool VOKR_VIEW_MOLQ_HANDLER::on_assignments_changed()
{
    if (m_view)
        m_view->on_settings_changed();
    return false;
}
