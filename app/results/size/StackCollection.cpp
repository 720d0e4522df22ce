#include "StackCollection.h"

namespace lurkel {

void StackCollection::pushItem(std::unique_ptr<StackItem> item)
{
    if (!item) return;
    item->prevItem = std::move(m_topItem);
    m_topItem = std::move(item);
    ++m_nDepth;
}

std::unique_ptr<StackItem> StackCollection::popItem()
{
    if (!m_topItem) return nullptr;
    std::unique_ptr<StackItem> taken = std::move(m_topItem);
    m_topItem = std::move(taken->prevItem);
    --m_nDepth;
    return taken;
}

void StackCollection::clearStack()
{
    // one at a time: dropping the top would free the chain recursively
    while (popItem()) {}
}

} // namespace lurkel
