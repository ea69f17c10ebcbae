#include "vokr_hierarchy_names.h"

#include "toz.h"

#include <string>

namespace {

// The decimal index after the '[' at `open`, up to its ']'.
long index_after(const std::string& path, size_t open) { return std::strtol(path.c_str() + open + 1, nullptr, 10); }

}  // namespace

bool vokr_compare_hierarchy_names(const TOZ_INSTANCE_NAME* a, const TOZ_INSTANCE_NAME* b)
{
    const std::string& pa = a->get_short_hpath();
    const std::string& pb = b->get_short_hpath();
    const size_t ba = pa.find('[');
    const size_t bb = pb.find('[');
    if (ba == std::string::npos || bb == std::string::npos)
        return pa > pb;
    const std::string stem_a = pa.substr(0, ba);
    const std::string stem_b = pb.substr(0, bb);
    if (stem_a != stem_b)
        return stem_a > stem_b;
    const long ia = index_after(pa, ba);
    const long ib = index_after(pb, bb);
    if (ia != ib)
        return ia > ib;
    const size_t second_a = pa.find('[', ba + 1);
    const size_t second_b = pb.find('[', bb + 1);
    if (second_a != std::string::npos && second_b != std::string::npos)
        return index_after(pa, second_a) > index_after(pb, second_b);
    return pa.substr(ba) > pb.substr(bb);
}
