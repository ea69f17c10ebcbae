#include "vokr_view_molq_handler.h"

#include "vokr_view.h"

VOKR_VIEW_MOLQ_HANDLER::~VOKR_VIEW_MOLQ_HANDLER() = default;

bool VOKR_VIEW_MOLQ_HANDLER::on_assignments_changed()
{
    if (m_view)
        m_view->on_settings_changed();
    return false;
}
