#pragma once

#include "StackItem.h"

#include <cstdint>
#include <memory>

namespace lurkel {

// The folders a size calculation still has to list: a stack linked through
// StackItem::prevItem, so that a deep tree costs heap, never call stack.
class StackCollection {
public:
    StackCollection() = default;
    ~StackCollection() { clearStack(); }
    StackCollection(const StackCollection &) = delete;
    StackCollection &operator=(const StackCollection &) = delete;

    // A null item is ignored.
    void pushItem(std::unique_ptr<StackItem> item);
    // The top item, taken off the stack (its prevItem cleared); null when the stack is empty.
    std::unique_ptr<StackItem> popItem();
    void clearStack();

    std::int64_t nDepth() const { return m_nDepth; }
    const StackItem *topItem() const { return m_topItem.get(); }

private:
    std::int64_t m_nDepth = 0;
    std::unique_ptr<StackItem> m_topItem;
};

} // namespace lurkel
