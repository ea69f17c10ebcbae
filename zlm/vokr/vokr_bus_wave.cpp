#include "vokr_bus_wave.h"

#include <algorithm>

std::vector<VOKR_BUS_WAVE::ROW>& VOKR_BUS_WAVE::rows()
{
    static std::vector<ROW> buffer;
    return buffer;
}

std::vector<const unsigned char*>& VOKR_BUS_WAVE::views()
{
    static std::vector<const unsigned char*> pointers;
    return pointers;
}

bool* VOKR_BUS_WAVE::row(int member, int depth)
{
    std::vector<ROW>& all = rows();
    if (member >= static_cast<int>(all.size()))
        all.resize(member + 1);
    ROW& r = all[member];
    if (depth > r.capacity) {
        r.capacity = std::max(depth, 2 * r.capacity);
        r.samples = std::make_unique<bool[]>(r.capacity);
    }
    return r.samples.get();
}

VOKR_BIT_ROWS VOKR_BUS_WAVE::bit_rows(int width)
{
    const std::vector<ROW>& all = rows();
    std::vector<const unsigned char*>& out = views();
    out.clear();
    for (int i = 0; i < width && i < static_cast<int>(all.size()); ++i)
        out.push_back(reinterpret_cast<const unsigned char*>(all[i].samples.get()));
    return VOKR_BIT_ROWS{out.data(), static_cast<int>(out.size())};
}
