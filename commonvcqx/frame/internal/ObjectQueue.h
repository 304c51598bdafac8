// commonvcqx/frame/internal/ObjectQueue.h
//
// TObjectQueue: a first-in first-out list that owns its objects, deleting what it
// still holds when it is emptied or destroyed. It holds each thread's pending
// notifications until the library's own double list takes its place.
//
//   cvq::detail::TObjectQueue queue;
//   queue.Append(record);                 // the queue owns it now
//   while (TObject* next = queue.TakeFirst()) { Dispatch(*next); next->Delete(); }
#pragma once

#include <commonvcqx/frame/Object.h>

#include <cstdint>

namespace cvq::detail {

class TObjectQueue {
public:
    TObjectQueue() noexcept = default;
    TObjectQueue(const TObjectQueue&) = delete;
    TObjectQueue& operator=(const TObjectQueue&) = delete;
    ~TObjectQueue() { DeleteAll(); }

    /// Takes `object` over at the end. When memory runs out it throws and the object
    /// stays the caller's.
    void Append(TObject* object);
    /// The first object, now the caller's; null when empty.
    TObject* TakeFirst() noexcept;
    bool IsEmpty() const noexcept { return m_first == nullptr; }
    int32_t GetCount() const noexcept { return m_count; }
    /// Deletes every object, in queue order. Objects appended by a destructor meanwhile
    /// are deleted too.
    void DeleteAll() noexcept;

private:
    struct TNode {
        TNode* next;
        TObject* object;
    };
    TNode* m_first = nullptr;
    TNode* m_last = nullptr;
    int32_t m_count = 0;
};

}  // namespace cvq::detail
