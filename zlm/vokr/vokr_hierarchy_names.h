// The order of a bus's members: greater names first, indices compared as numbers.
#pragma once

class TOZ_INSTANCE_NAME;

// True when a sorts after b, that is, when a is to be inserted before b.
bool vokr_compare_hierarchy_names(const TOZ_INSTANCE_NAME* a, const TOZ_INSTANCE_NAME* b);
