// Hash sizing rule of the suite's hash tables.
#pragma once

// A bucket count for a table that wants at least `wanted` buckets: the smallest prime that
// is at least one and a half times `wanted`.
unsigned int hux_hash_50_percent_increase_size(unsigned int wanted);
