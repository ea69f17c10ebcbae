#include "vokr_msg_list.h"

VOKR_MSG_LIST::VOKR_MSG_LIST(LIST_BUILDER list, ITEM_BUILDER item, ITEM_BUILDER etc_item)
    : m_build_list(std::move(list)), m_build_item(std::move(item)), m_build_etc_item(std::move(etc_item))
{
    if (!m_build_etc_item)
        m_build_etc_item = m_build_item;
}

VOKR_MSG_LIST::~VOKR_MSG_LIST() = default;

bool VOKR_MSG_LIST::add(const char* name)
{
    const bool created = !m_list;
    if (created)
        m_list.reset(m_build_list());
    if (m_count < MAX_NAMED_ITEMS)
        m_list->add_msg(m_build_item(name));
    else if (m_count == MAX_NAMED_ITEMS)
        m_list->add_msg(m_build_etc_item("etc."));
    ++m_count;
    return created;
}

void VOKR_MSG_LIST::flush()
{
    if (m_list)
        m_list->post();
    discard();
}

void VOKR_MSG_LIST::discard()
{
    m_list.reset();
    m_count = 0;
}
