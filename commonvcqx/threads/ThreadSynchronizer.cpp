// The end-code reports of two threads and the self-deletion of the second report.
#include <commonvcqx/threads/ThreadSynchronizer.h>

#include <commonvcqx/frame/ExceptionThrower.h>

#include <cassert>
#include <new>

#ifndef NDEBUG
#include <commonvcqx/base/Mutex.h>

#include <unordered_set>
#endif

namespace {

#ifndef NDEBUG
// The live blocks made by the class's operator new. Debug builds only: it lets a
// self-deleting report refuse an object that delete cannot free.
class THeapBlocks {
public:
    void Add(const void* block) {
        cvq::TMutexGuard guard(m_lock);
        m_blocks.insert(block);
    }
    void Remove(const void* block) {
        cvq::TMutexGuard guard(m_lock);
        m_blocks.erase(block);
    }
    bool Holds(const void* block) {
        cvq::TMutexGuard guard(m_lock);
        return m_blocks.count(block) != 0;
    }

private:
    cvq::TMutex m_lock;
    std::unordered_set<const void*> m_blocks CVQ_GUARDED_BY(m_lock);
};

// Never destroyed: synchronizers may be deleted by static destructors.
THeapBlocks& HeapBlocks() {
    static THeapBlocks* blocks = new THeapBlocks;
    return *blocks;
}
#endif

}  // namespace

TThreadSynchronizer::~TThreadSynchronizer() = default;

void* TThreadSynchronizer::operator new(std::size_t size) {
    void* block = ::operator new(size);
#ifndef NDEBUG
    HeapBlocks().Add(block);
#endif
    return block;
}

void TThreadSynchronizer::operator delete(void* block) noexcept {
#ifndef NDEBUG
    if (block) HeapBlocks().Remove(block);
#endif
    ::operator delete(block);
}

char TThreadSynchronizer::SetThreadEndCode(int32_t thread, int32_t code, TCriticalSection* lock) {
    if (!lock) TExceptionThrower(0).SetAndThrow("A thread synchronizer needs a lock.");
    char deleted = 0;
    lock->Enter();
    int32_t& own = thread == 0 ? m_endCode0 : m_endCode1;
    const int32_t other = thread == 0 ? m_endCode1 : m_endCode0;
    own = code;
    if (other != 0) {
        // The most derived object is what new handed out.
        assert(HeapBlocks().Holds(dynamic_cast<const void*>(this)) &&
               "a reporting TThreadSynchronizer must be made with new");
        delete this;
        deleted = 1;
    }
    lock->Leave();
    if (deleted) delete lock;
    return deleted;
}
