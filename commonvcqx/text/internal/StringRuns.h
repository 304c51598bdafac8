// commonvcqx/text/internal/StringRuns.h
//
// Strings for many runs of text at once: their representations come from _stringHeap
// in one heap call per batch, sized and placed together, each one afterwards an
// independent string like any other (its own count, freed on its own).
//
//   cvq::detail::TTextRun runs[] = {{"ab", 2}, {"cde", 3}};
//   cvq::detail::BuildStrings(runs, 2, [](TSubString& s, void* list) { ... }, &list);
#pragma once

#include <commonvcqx/text/String.h>

#include <cstddef>
#include <cstdint>

namespace cvq::detail {

struct TTextRun {
    const char* text;
    uint32_t length;
};

/// Calls add once per run, in order, with a carrier of a string holding the run's bytes
/// (an empty run gives one sharing the empty text); add may take the string over without
/// touching its count. Throws std::bad_alloc when memory runs out (the strings handed
/// over so far stay).
void BuildStrings(const TTextRun* runs, size_t count, void (*add)(TSubString& s, void* context),
                  void* context);

}  // namespace cvq::detail
