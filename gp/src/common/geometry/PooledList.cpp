#include "gp/src/common/geometry/PooledList.h"

#include <new>
#include <utility>

#include "gp/src/common/memory/SmallPool.h"

namespace HA::GP {

static_assert(alignof(PooledList::tNode) <= DETAIL::RegularAllocatorBase::kBlockAlign,
              "pool blocks are not aligned enough for list nodes");
static_assert(sizeof(PooledList::tNode) == DETAIL::kSmallPoolPayloadSize,
              "the small pool's blocks are sized for list nodes");

PooledList::tNode* PooledList::insertBefore(tNode* pos, const Rect& rect)
{
    void* memory = DETAIL::smallPool().allocate();
    tNode* node = new (memory) tNode{nullptr, pos, rect};
    node->prev = pos ? pos->prev : m_tail;
    if (node->prev)
        node->prev->next = node;
    else
        m_head = node;
    if (pos)
        pos->prev = node;
    else
        m_tail = node;
    return node;
}

PooledList::tNode* PooledList::remove(tNode* node)
{
    tNode* next = node->next;
    if (node->prev)
        node->prev->next = next;
    else
        m_head = next;
    if (next)
        next->prev = node->prev;
    else
        m_tail = node->prev;
    DETAIL::smallPool().free(node);
    return next;
}

void PooledList::clear()
{
    tNode* node = m_head;
    m_head = m_tail = nullptr;
    while (node) {
        tNode* next = node->next;
        DETAIL::smallPool().free(node);
        node = next;
    }
}

void PooledList::swap(PooledList& other) noexcept
{
    std::swap(m_head, other.m_head);
    std::swap(m_tail, other.m_tail);
}

}  // namespace HA::GP
