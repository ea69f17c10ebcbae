#include "faj.h"

#include "dev.h"
#include "omu.h"

FAJ_RR_STATE_MANAGER* FAJ_RR_STATE_MANAGER::get_instance()
{
    static FAJ_RR_STATE_MANAGER manager;
    return &manager;
}

bool FAJ_RR_STATE_MANAGER::is_rapid_recompile_supported(bool) const
{
    OMU_MANAGER* omu = OMU_MANAGER::get_omu_manager();
    OMU_REVISION_MANAGER* revision = omu->get_revision_manager();
    const bool taken = revision->read_lock();
    OMU_ASSIGNMENT family;
    const bool found = omu->get_assignment(OMU_VAR_DEVICE_FAMILY, &family);
    if (taken)
        revision->read_unlock();
    return found && DEV_FAMILY_MANAGER::get_instance()->has_trait(
                        plon_get_dev_family_enum_by_string(family.value.c_str()), DEV_TRAIT_FAST_RECOMPILATION);
}
