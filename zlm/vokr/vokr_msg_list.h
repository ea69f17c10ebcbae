// A list message that collects one item message per node name and is posted once when its
// batch ends. Items follow one rule: the first 100 names each get an item, the 101st gets a
// single item "etc.", and further names are only counted.
#pragma once

#include "msg.h"

#include <functional>
#include <memory>

class VOKR_MSG_LIST {
public:
    static constexpr int MAX_NAMED_ITEMS = 100;

    using LIST_BUILDER = std::function<MSG_POST*()>;
    using ITEM_BUILDER = std::function<MSG_POST*(const char*)>;

    // `etc_item` builds the "etc." item; without it `item` builds it.
    VOKR_MSG_LIST(LIST_BUILDER list, ITEM_BUILDER item, ITEM_BUILDER etc_item = nullptr);
    ~VOKR_MSG_LIST();
    VOKR_MSG_LIST(const VOKR_MSG_LIST&) = delete;
    VOKR_MSG_LIST& operator=(const VOKR_MSG_LIST&) = delete;

    // Adds one name; returns true when this name created the pending list.
    bool add(const char* name);
    // Posts the pending list, deletes it and resets the counter.
    void flush();
    // Deletes the pending list without posting it.
    void discard();

    bool is_pending() const { return m_list != nullptr; }
    int get_count() const { return m_count; }

private:
    LIST_BUILDER m_build_list;
    ITEM_BUILDER m_build_item;
    ITEM_BUILDER m_build_etc_item;
    std::unique_ptr<MSG_POST> m_list;
    int m_count = 0;
};
