#include "yek.h"

YEK_PARTITION_MANAGER* YEK_PARTITION_MANAGER::get_instance(int, int, int)
{
    static YEK_PARTITION_MANAGER* manager = new YEK_PARTITION_MANAGER;  // lives for the process
    return manager;
}
