// Thread-specific data keys.
#include <commonvcqx/platform/internal/ThreadSlot.h>

#include <pthread.h>

#include <type_traits>

namespace cvq::platform {

static_assert(sizeof(pthread_key_t) <= sizeof(uint32_t) && std::is_unsigned_v<pthread_key_t>);

bool TThreadSlot::Allocate(TDestructor destructor) noexcept {
    pthread_key_t key;
    if (pthread_key_create(&key, destructor) != 0) return false;
    m_key = key;
    m_valid.store(true, std::memory_order_release);
    return true;
}

void TThreadSlot::Free() noexcept {
    if (!m_valid.exchange(false, std::memory_order_acq_rel)) return;
    pthread_key_delete(m_key);
}

void* TThreadSlot::Get() const noexcept {
    return IsValid() ? pthread_getspecific(m_key) : nullptr;
}

bool TThreadSlot::Set(void* value) noexcept {
    return IsValid() && pthread_setspecific(m_key, value) == 0;
}

}  // namespace cvq::platform
