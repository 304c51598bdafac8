// TMessageBuffer: the posted messages of a thread's queue, in order. Private to
// platform/posix.
#pragma once

#include <commonvcqx/platform/WinTypes.h>

#include <cstddef>
#include <utility>
#include <vector>

namespace cvq::platform::posix {

// Messages in order: a vector read from `m_head`. A drained buffer keeps its storage, so
// the owner taking a batch and handing back the empty one allocates nothing in the
// steady state, and a poster's time under the queue lock stays short.
class TMessageBuffer {
public:
    using Iterator = std::vector<MSG>::iterator;
    bool empty() const { return m_head == m_items.size(); }
    const MSG& front() const { return m_items[m_head]; }
    Iterator begin() { return m_items.begin() + static_cast<ptrdiff_t>(m_head); }
    Iterator end() { return m_items.end(); }
    void push_back(const MSG& msg) { m_items.push_back(msg); }
    void pop_front() {
        if (++m_head == m_items.size()) {
            clear();
        } else if (m_head >= kCompactAfter && m_head * 2 >= m_items.size()) {
            // Read one by one while others arrive, it never drains: drop the read part.
            m_items.erase(m_items.begin(), begin());
            m_head = 0;
        }
    }
    void erase(Iterator at) {
        if (at == begin())
            pop_front();
        else
            m_items.erase(at);
    }
    // Puts the messages of `earlier` in front of these and empties it.
    void prepend(TMessageBuffer& earlier) {
        m_items.insert(begin(), earlier.begin(), earlier.end());
        earlier.clear();
    }
    void clear() {
        // Batch sizes vary widely, and growing the storage again costs more than the
        // messages: it goes only once many batches in a row were far smaller (a burst
        // long past).
        if (m_items.capacity() <= kKeptCapacity || m_items.size() >= m_items.capacity() / 4) {
            m_smallBatches = 0;
        } else if (++m_smallBatches == kSmallBatchesToShrink) {
            std::vector<MSG>().swap(m_items);
            m_smallBatches = 0;
        }
        m_items.clear();
        m_head = 0;
    }
    void swap(TMessageBuffer& other) noexcept {
        m_items.swap(other.m_items);
        std::swap(m_head, other.m_head);
        std::swap(m_smallBatches, other.m_smallBatches);
    }

private:
    static constexpr size_t kCompactAfter = 1024;
    static constexpr size_t kKeptCapacity = 1024;
    static constexpr int kSmallBatchesToShrink = 16;
    std::vector<MSG> m_items;
    size_t m_head = 0;
    int m_smallBatches = 0;
};

}  // namespace cvq::platform::posix
