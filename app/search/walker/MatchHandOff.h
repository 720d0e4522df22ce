#pragma once

#include <functional>
#include <mutex>
#include <utility>
#include <vector>

namespace lurkel {

// Hands results from many producer threads to one consumer in batches. A producer's push()
// that finds the hand-off empty calls the wake-up function (once per batch, outside the
// lock), which schedules the consumer; the consumer's drain() takes everything pushed so
// far, in the order pushed. Once every producer has returned, one last drain() gives the
// rest, so a completion that drains first never runs ahead of an item.
template <typename T> class MatchHandOff {
public:
    explicit MatchHandOff(std::function<void()> wake) : m_wake(std::move(wake)) {}

    void push(T item)
    {
        bool first = false;
        {
            std::lock_guard lock(m_mutex);
            first = m_items.empty() && !m_wakePending;
            if (first) m_wakePending = true;
            m_items.push_back(std::move(item));
        }
        if (first && m_wake) m_wake();
    }

    std::vector<T> drain()
    {
        std::vector<T> out;
        std::lock_guard lock(m_mutex);
        out.swap(m_items);
        m_wakePending = false;
        return out;
    }

private:
    std::function<void()> m_wake;
    std::mutex m_mutex;
    std::vector<T> m_items;
    bool m_wakePending = false;
};

} // namespace lurkel
