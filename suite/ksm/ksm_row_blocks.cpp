#include "ksm_row_blocks.h"

KSM_ROW_BLOCKS::BLOCK::BLOCK(size_t bytes) : at(static_cast<char*>(ksm_allocate_planes(bytes))), size(bytes) {}

KSM_ROW_BLOCKS::BLOCK::~BLOCK() { ksm_free_planes(at, size); }

std::shared_ptr<KSM_TX_SIGNAL_NODES::ROW> KSM_ROW_BLOCKS::make()
{
    const size_t huge = ksm_huge_page_size();
    if (m_made++ < ROWS_ALONE || huge == 0)
        return std::make_shared<ROW>();
    if (!m_block || m_block->used + ROW_ROOM > m_block->size)
        m_block = std::make_shared<BLOCK>(huge);
    return std::allocate_shared<ROW>(ALLOCATOR<ROW>(m_block));
}
