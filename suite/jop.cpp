#include "jop.h"

#include "wex.h"

namespace {

KSM_TX_INSTANCE* instance_of(const KSM_DATA_TRIGGER* trigger)
{
    const KSM_TX_SIGNAL_SET* set = trigger ? trigger->get_signal_set() : nullptr;
    return set ? set->get_instance() : nullptr;
}

}  // namespace

bool jop_lmx_check_compatibility(const KSM_DATA_LOG* log, bool flag)
{
    return log && jop_lmx_check_compatibility(log->get_trigger(), flag);
}

bool jop_lmx_check_compatibility(const KSM_DATA_TRIGGER* trigger, bool)
{
    const KSM_TX_INSTANCE* instance = instance_of(trigger);
    return instance && instance->get_compiled_checksum() == trigger->get_crc_value(false);
}

void jop_record_compile(KSM_TX_SESSION* session)
{
    for (int entry = 0; session && entry < session->get_num_instances(); ++entry) {
        KSM_TX_INSTANCE* instance = session->get_instance_at(entry);
        const KSM_TX_TRIGGER* trigger = session->get_trigger_at(entry);
        if (instance && trigger && !session->is_power_up_view(entry))
            instance->set_compiled_checksums(trigger->get_crc_value(false), trigger->get_crc_value(false));
    }
}

bool jop_run_compile(int flow, const std::string&)
{
    if (flow != FSTR_FLOW_FULL_COMPILATION && flow != FSTR_FLOW_FAST_RECOMPILATION)
        return true;
    for (KSM_TX_SESSION* session : ksm_get_open_sessions())
        jop_record_compile(session);
    return true;
}
