// commonvcqx/files/internal/FileSelectorText.h
//
// The text rules of TFileSelector, apart from any dialog: the filter text's pairs, the
// patterns handed to a back end, and the name buffer in which the chosen names come
// back (one full name, or a folder followed by names, each ended by a NUL).
//
//   auto pairs = cvq::detail::ParseFilterText("Sound|*.wav;*.aif|All|*.*|");
//   // {"Sound", "*.wav;*.aif"}, {"All", "*.*"}
//   cvq::detail::BackEndPattern("*.wav");   // "*.[wW][aA][vV]"
#pragma once

#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/files/FileName.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace cvq::detail {

struct TFilterPair {
    std::string description;
    std::string patterns;
};

/// The pairs of a filter text, as the platform's dialog reads it once every "|" is a
/// NUL: a final "|" is supplied when missing, and the list ends at the first empty
/// string or at a description without patterns.
std::vector<TFilterPair> ParseFilterText(std::string_view text);

/// The one-based filter to preselect: `filterIndex` + 1, 1 when negative or beyond
/// `pairCount`.
int PreselectedFilter(int filterIndex, int pairCount) noexcept;

/// The patterns of a pair ("*.wav; *.aif"), split at ";" and trimmed, empties dropped.
std::vector<std::string> SplitPatterns(std::string_view patterns);

/// A pattern in the form back ends match: "*.*" is "*" (every name, with or without a
/// dot), letters match either case ("[wW]"), and "[" is literal.
std::string BackEndPattern(std::string_view pattern);

/// Writes `names` (library form) into `buffer` of `size` bytes: one name alone, or
/// their common folder followed by each name relative to it. False when they do not
/// fit with the final NULs, or when they share no folder; the buffer is then not valid.
bool PackNames(const std::vector<std::string>& names, char* buffer, size_t size);

/// Reads a packed buffer of `size` bytes: one full name (its folder is the chosen
/// folder), or a folder and names joined to it and sorted. False, with `files` and
/// `folder` untouched, when the buffer holds no file name. Never reads past `size`.
bool ParseNameBuffer(const char* buffer, size_t size, TFlexList<TFileName>& files,
                     TFileName& folder);

}  // namespace cvq::detail
