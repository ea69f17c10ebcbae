#include "vokr_locate.h"

#include "gen.h"
#include "msg.h"
#include "toz.h"
#include "wolpa.h"

VOKR_DESIGN_LOAN::VOKR_DESIGN_LOAN(const char* client, int kind)
    : m_client(client), m_kind(kind),
      m_space(WOLPA_MANAGER::get_wolpa_manager()->get_toz_cmp_action_pt_instance(client, kind))
{
}

TOZ_INSTANCE_NAME* VOKR_DESIGN_LOAN::find(const QString& name) const
{
    if (!m_space || name.isEmpty())
        return nullptr;
    return m_space->get_instance_name(name.toLocal8Bit().toStdString());
}

void VOKR_DESIGN_LOAN::give_back()
{
    if (!m_space)
        return;
    WOLPA_MANAGER::get_wolpa_manager()->unget_toz_cmp_action_pt_instance(m_client, m_kind);
    m_space = nullptr;
}

MSG_GEN_LOCATION_SCHEMA* vokr_tool_location_schema(const TOZ_INSTANCE_NAME* instance)
{
    auto* schema = new MSG_GEN_LOCATION_SCHEMA;
    if (!instance)
        return schema;
    auto* location = new MSG_GEN_LOC_INSTANCE;
    if (gen_is_mav())
        location->set_instance_name(instance->get_short_hpath());
    else
        location->set_iname_id(TOZ_NAME_MGR::get_name_mgr()->get_iname_id(instance));
    schema->add_object(location);
    return schema;
}
