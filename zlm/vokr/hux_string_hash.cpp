#include "hux_string_hash.h"

#include "hux.h"

#include <cstring>

HUX_STRING_HASH::HUX_STRING_HASH(uint32_t bucket_count)
    : m_bucket_count(bucket_count ? bucket_count : 1), m_buckets(new NODE*[m_bucket_count]())
{
}

HUX_STRING_HASH::~HUX_STRING_HASH() { clear(); }

uint32_t HUX_STRING_HASH::hash(const char* key)
{
    uint32_t h = 0;
    for (const char* p = key; *p; ++p)
        h ^= (h << 5) + (h >> 2) + static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*p)));
    return h;
}

HUX_STRING_HASH::NODE* HUX_STRING_HASH::find(const char* key, uint32_t* bucket_index, uint32_t* bucket_count) const
{
    const uint32_t b = m_buckets ? hash(key) % m_bucket_count : 0;
    if (bucket_index)
        *bucket_index = b;
    if (bucket_count)
        *bucket_count = m_bucket_count;
    if (!m_buckets)
        return nullptr;
    for (NODE* n = m_buckets[b]; n; n = n->next)
        if (std::strcmp(n->key, key) == 0)
            return n;
    return nullptr;
}

uint32_t& HUX_STRING_HASH::insert_or_get(const char* key)
{
    if (!m_buckets)
        m_buckets = new NODE*[m_bucket_count]();
    uint32_t b = 0;
    if (NODE* found = find(key, &b))
        return found->value;
    NODE* head = m_buckets[b];
    NODE* node = new NODE{key, 0, head, nullptr};
    if (head) {
        head->inserted_after = node;
        ++m_collision_count;
    }
    m_buckets[b] = node;
    ++m_entry_count;
    grow(m_entry_count);
    return node->value;
}

void HUX_STRING_HASH::reserve(uint32_t entries) { grow(entries); }

void HUX_STRING_HASH::grow(uint32_t wanted_entries)
{
    const uint32_t wanted_buckets = wanted_entries / 4 * 5;  // five buckets for every four entries
    if (wanted_buckets <= m_bucket_count)
        return;
    const uint32_t count = hux_hash_50_percent_increase_size(wanted_buckets);
    NODE** buckets = new NODE*[count]();
    for (uint32_t b = 0; m_buckets && b < m_bucket_count; ++b) {
        for (NODE* n = m_buckets[b]; n;) {
            NODE* next = n->next;
            const uint32_t target = hash(n->key) % count;
            n->next = buckets[target];
            buckets[target] = n;
            n = next;
        }
    }
    delete[] m_buckets;
    m_buckets = buckets;
    m_bucket_count = count;
    m_collision_count = 0;
}

void HUX_STRING_HASH::clear()
{
    for (uint32_t b = 0; m_buckets && b < m_bucket_count; ++b) {
        for (NODE* n = m_buckets[b]; n;) {
            NODE* next = n->next;
            delete n;
            n = next;
        }
    }
    delete[] m_buckets;
    m_buckets = nullptr;
    m_entry_count = 0;
    m_collision_count = 0;
}
