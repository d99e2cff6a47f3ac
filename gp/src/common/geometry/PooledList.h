#pragma once
// A doubly linked list of rectangle nodes whose memory comes from the small pool
// (gp/src/common/memory/SmallPool.h), which must be acquired while the list holds nodes.
// Not locked: a list belongs to one thread.

#include "gp/src/common/geometry/Geometry.h"

namespace HA::GP {

class PooledList {
public:
    struct tNode {
        tNode* prev;
        tNode* next;
        Rect rect;
    };

    PooledList() = default;
    PooledList(const PooledList&) = delete;
    PooledList& operator=(const PooledList&) = delete;
    PooledList(PooledList&& other) noexcept { swap(other); }
    PooledList& operator=(PooledList&& other) noexcept
    {
        if (this != &other) {
            clear();
            swap(other);
        }
        return *this;
    }
    ~PooledList() { clear(); }

    tNode* head() const { return m_head; }
    tNode* tail() const { return m_tail; }
    bool isEmpty() const { return m_head == nullptr; }

    // A new node holding `rect`, linked before `pos` (at the end when `pos` is null).
    // Throws std::bad_alloc when the pool cannot grow.
    tNode* insertBefore(tNode* pos, const Rect& rect);
    tNode* pushBack(const Rect& rect) { return insertBefore(nullptr, rect); }
    // Unlinks the node and frees it; returns its successor.
    tNode* remove(tNode* node);
    // Unlinks and frees every node from the head on.
    void clear();
    void swap(PooledList& other) noexcept;

private:
    tNode* m_head = nullptr;
    tNode* m_tail = nullptr;
};

}  // namespace HA::GP
