// Sample planes' zlib streams: libdeflate's whole-buffer coders, one pair per thread.
#include "ksm_zlib.h"

#include <QtEndian>

#include <libdeflate.h>

#include <mutex>
#include <utility>
#include <vector>

namespace {

// A thread's decompressor and its compressor at the level last asked for, made once and reused:
// each holds tables and buffers of tens to hundreds of kilobytes.
struct CODERS {
    libdeflate_decompressor* decompressor = nullptr;
    libdeflate_compressor* compressor = nullptr;
    int compressor_level = -1;
    CODERS() = default;
    CODERS(CODERS&& o) noexcept { *this = std::move(o); }
    CODERS& operator=(CODERS&& o) noexcept
    {
        std::swap(decompressor, o.decompressor);
        std::swap(compressor, o.compressor);
        std::swap(compressor_level, o.compressor_level);
        return *this;
    }
    ~CODERS()
    {
        libdeflate_free_decompressor(decompressor);
        libdeflate_free_compressor(compressor);
    }
    libdeflate_decompressor* decompressing()
    {
        if (!decompressor)
            decompressor = libdeflate_alloc_decompressor();
        return decompressor;
    }
    libdeflate_compressor* compressing(int level)
    {
        if (compressor && compressor_level == level)
            return compressor;
        libdeflate_free_compressor(compressor);
        compressor = libdeflate_alloc_compressor(level);
        compressor_level = level;
        return compressor;
    }
};

// Coders left by threads that ended, for the next new threads: a save or an open hands its
// planes to fresh threads, which so start with tables already made and their memory touched.
// Never freed, as threads may end while the process exits.
struct SPARE_CODERS {
    static constexpr size_t MOST = 64;  // more than any pool of threads here
    std::mutex mutex;
    std::vector<CODERS> coders;
};
SPARE_CODERS& spare_coders()
{
    static auto* spare = new SPARE_CODERS;
    return *spare;
}

struct THREAD_CODERS : CODERS {
    THREAD_CODERS()
    {
        SPARE_CODERS& spare = spare_coders();
        const std::lock_guard<std::mutex> lock(spare.mutex);
        if (!spare.coders.empty()) {
            CODERS::operator=(std::move(spare.coders.back()));
            spare.coders.pop_back();
        }
    }
    ~THREAD_CODERS()
    {
        SPARE_CODERS& spare = spare_coders();
        const std::lock_guard<std::mutex> lock(spare.mutex);
        if (spare.coders.size() < SPARE_CODERS::MOST)
            spare.coders.push_back(std::move(*this));
    }
};
thread_local THREAD_CODERS t_coders;

}  // namespace

bool ksm_uncompress(const unsigned char* in, size_t in_size, unsigned char* out, size_t out_size)
{
    libdeflate_decompressor* d = t_coders.decompressing();
    // Without room for the actual size, anything but exactly out_size bytes is refused.
    return d && libdeflate_zlib_decompress(d, in, in_size, out, out_size, nullptr) == LIBDEFLATE_SUCCESS;
}

void ksm_compress(const unsigned char* data, size_t size, int level, QByteArray* out)
{
    if (size == 0) {  // nothing to compress is its size alone, as qCompress() gives it
        out->fill('\0', 4);
        return;
    }
    // zlib's default level is its 6; libdeflate's levels 0 to 9 follow zlib's scale.
    libdeflate_compressor* c = t_coders.compressing(level < 0 ? 6 : level);
    if (!c) {  // no memory for libdeflate's tables: zlib's stream in its own memory
        *out = qCompress(data, static_cast<int>(size), level);
        return;
    }
    out->resize(static_cast<int>(4 + libdeflate_zlib_compress_bound(c, size)));
    auto* at = reinterpret_cast<unsigned char*>(out->data());
    qToBigEndian<quint32>(static_cast<quint32>(size), at);
    const size_t written = libdeflate_zlib_compress(c, data, size, at + 4, static_cast<size_t>(out->size()) - 4);
    out->resize(static_cast<int>(4 + written));
}
