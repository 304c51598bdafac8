// commonvcqx/base/Visibility.h
//
// CVQ_HIDDEN marks a function or variable internal to the library: it is not exported,
// and the library's other files reach it by a direct call instead of through the PLT
// or the GOT (the files of one mechanism call each other on hot paths).
//
//   CVQ_HIDDEN void* DefaultAlloc(size_t size);
#pragma once

#define CVQ_HIDDEN __attribute__((visibility("hidden")))
