// commonvcqx/memory/internal/FastMemory.h
//
// The copy and zero-fill the file code runs its transfers through: the host's routines
// when SetFastMemoryRoutines installed them, the C library's otherwise.
#pragma once

#include <cstddef>

namespace cvq::detail {

void FastCopy(const void* source, void* destination, size_t count);
void FastZero(void* destination, size_t count);

}  // namespace cvq::detail
