// commonvcqx/platform/internal/ThreadSlot.h
//
// TThreadSlot: one pointer per thread under a key that the library allocates, with a
// destructor that runs for a thread's non-null value when the thread ends without
// having cleared it (not for the thread that exits the process, nor after Free).
//
//   constinit cvq::platform::TThreadSlot slot;
//   slot.Allocate(&DeleteData);
//   slot.Set(new TData);
//   ...
//   slot.Free();
#pragma once

#include <atomic>
#include <cstdint>

namespace cvq::platform {

class TThreadSlot {
public:
    using TDestructor = void (*)(void* value);

    /// Invalid until Allocate; constant, so a static slot exists before any constructor.
    constexpr TThreadSlot() noexcept : m_key(0), m_valid(false) {}
    TThreadSlot(const TThreadSlot&) = delete;
    TThreadSlot& operator=(const TThreadSlot&) = delete;

    /// False when the system has no key left; the slot then stays invalid.
    bool Allocate(TDestructor destructor) noexcept;
    /// Gives the key back; values still set are forgotten, their destructor not run.
    void Free() noexcept;
    /// Threads still ending while the process exits may ask after Free.
    bool IsValid() const noexcept { return m_valid.load(std::memory_order_acquire); }

    /// The calling thread's value; null when none or the slot is invalid.
    void* Get() const noexcept;
    /// False when the slot is invalid or the system refuses.
    bool Set(void* value) noexcept;

private:
    uint32_t m_key;
    std::atomic<bool> m_valid;
};

}  // namespace cvq::platform
