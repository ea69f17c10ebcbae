// zlib streams of sample planes, each plane a whole buffer inflated or deflated in one call by
// libdeflate: streams that zlib's uncompress() and qUncompress() read, and every zlib stream
// (whatever wrote it) read with the same verdicts as uncompress(), its Adler-32 checksum checked.
#pragma once

#include <QByteArray>

#include <cstddef>

// Inflates the zlib stream `in` into exactly `out_size` bytes at `out`: false when it is not a
// zlib stream, is damaged, gives more or fewer bytes, or fails its checksum.
bool ksm_uncompress(const unsigned char* in, size_t in_size, unsigned char* out, size_t out_size);

// `size` bytes compressed at zlib's `level` in qCompress()'s layout: their size (4 bytes,
// big-endian), then the zlib stream. The same bytes and level give the same stream. `out` is
// reused: its room is kept from one call to the next.
void ksm_compress(const unsigned char* data, size_t size, int level, QByteArray* out);
