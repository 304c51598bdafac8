#include <commonvcqx/frame/internal/ObjectQueue.h>

namespace cvq::detail {

void TObjectQueue::Append(TObject* object) {
    TNode* node = new TNode{nullptr, object};
    (m_last ? m_last->next : m_first) = node;
    m_last = node;
    ++m_count;
}

TObject* TObjectQueue::TakeFirst() noexcept {
    TNode* node = m_first;
    if (!node) return nullptr;
    m_first = node->next;
    if (!m_first) m_last = nullptr;
    --m_count;
    TObject* object = node->object;
    delete node;
    return object;
}

void TObjectQueue::DeleteAll() noexcept {
    while (!IsEmpty())
        if (TObject* object = TakeFirst()) object->Delete();
}

}  // namespace cvq::detail
