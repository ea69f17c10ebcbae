#include "hux.h"

namespace {

bool is_prime(unsigned long long n)
{
    if (n < 2)
        return false;
    for (unsigned long long d = 2; d * d <= n; ++d)
        if (n % d == 0)
            return false;
    return true;
}

}  // namespace

unsigned int hux_hash_50_percent_increase_size(unsigned int wanted)
{
    unsigned long long n = wanted + wanted / 2ull;
    if (n < 2)
        n = 2;
    while (!is_prime(n))
        ++n;
    return static_cast<unsigned int>(n);
}
