// The suite's recompile state: whether the project's device family supports fast recompilation.
#pragma once

class FAJ_RR_STATE_MANAGER {
public:
    static FAJ_RR_STATE_MANAGER* get_instance();
    bool is_rapid_recompile_supported(bool) const;
};
