// zlib streams of sample planes with their Adler-32 checksum computed by vector instructions:
// the same bytes as compress2() and the same verdicts as uncompress(), with the checksum, a
// quarter of zlib's time when inflating, no longer done a byte at a time.
#pragma once

#include <QByteArray>

#include <cstddef>
#include <cstdint>

// The Adler-32 checksum of `size` bytes continued from `adler` (1 to start), as zlib's adler32().
uint32_t ksm_adler32(uint32_t adler, const unsigned char* data, size_t size);

// Inflates the zlib stream `in` into exactly `out_size` bytes at `out`: false when it is not a
// zlib stream, is damaged, gives more or fewer bytes, or fails its checksum.
bool ksm_uncompress(const unsigned char* in, size_t in_size, unsigned char* out, size_t out_size);

// `size` bytes compressed at `level` as qCompress() gives them: their size (4 bytes, big-endian),
// then the zlib stream. `out` is reused: its room is kept from one call to the next.
void ksm_compress(const unsigned char* data, size_t size, int level, QByteArray* out);
