// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>

namespace ovra::processing {

// A first-in first-out hand-over between one producing and one consuming thread that holds at
// most `capacity` items, so that a fast producer waits instead of filling memory. close() ends
// every wait: from then on pushes fail and pops return what is left, then nothing.
template <typename T> class BoundedQueue
{
public:
    explicit BoundedQueue(std::size_t capacity)
        : m_capacity(capacity)
    {
    }

    // Waits while the queue is full; false (item dropped) once it is closed.
    bool push(T item)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_closed || m_items.size() < m_capacity; });
        if (m_closed)
            return false;
        m_items.push_back(std::move(item));
        m_changed.notify_all();
        return true;
    }

    // Waits while the queue is empty and open; nothing once it is closed and empty.
    std::optional<T> pop()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_closed || !m_items.empty(); });
        if (m_items.empty())
            return std::nullopt;
        std::optional<T> item(std::move(m_items.front()));
        m_items.pop_front();
        m_changed.notify_all();
        return item;
    }

    // discard: also drop the items still waiting.
    void close(bool discard = false)
    {
        std::lock_guard lock(m_mutex);
        m_closed = true;
        if (discard)
            m_items.clear();
        m_changed.notify_all();
    }

    std::size_t size() const
    {
        std::lock_guard lock(m_mutex);
        return m_items.size();
    }

private:
    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<T> m_items;
    bool m_closed = false;
};

} // namespace ovra::processing
