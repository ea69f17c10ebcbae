// A chained hash from static strings to unsigned 32-bit values, used for the option tables
// of the Tcl commands. Keys are not copied: they must outlive the table.
#pragma once

#include <cstdint>

class HUX_STRING_HASH {
public:
    struct NODE {
        const char* key;
        uint32_t value;
        NODE* next;
        NODE* inserted_after;  // the node put into the same bucket right after this one
    };

    static constexpr uint32_t DEFAULT_BUCKETS = 61;

    explicit HUX_STRING_HASH(uint32_t bucket_count = DEFAULT_BUCKETS);
    ~HUX_STRING_HASH();
    HUX_STRING_HASH(const HUX_STRING_HASH&) = delete;
    HUX_STRING_HASH& operator=(const HUX_STRING_HASH&) = delete;

    static uint32_t hash(const char* key);

    // The node of key, or null; the bucket it belongs in and the bucket count are reported.
    NODE* find(const char* key, uint32_t* bucket_index = nullptr, uint32_t* bucket_count = nullptr) const;
    // The value of key, inserted as 0 when absent.
    uint32_t& insert_or_get(const char* key);
    void reserve(uint32_t entries);
    void clear();

    uint32_t get_bucket_count() const { return m_bucket_count; }
    uint32_t get_entry_count() const { return m_entry_count; }
    uint32_t get_collision_count() const { return m_collision_count; }

private:
    void grow(uint32_t wanted_entries);

    uint32_t m_bucket_count;
    uint32_t m_entry_count = 0;
    NODE** m_buckets;
    uint32_t m_collision_count = 0;
};
