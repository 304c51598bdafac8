// The library's layers as ARCHITECTURE.md states them: the folder order (a folder may
// include itself and the folders before it) and the few files where the design's
// circles cross a layer upwards. LayoutTest checks every include against this table
// and checks that ARCHITECTURE.md lists the same order.
#pragma once

#include <string_view>

namespace cvq::layout {

inline constexpr std::string_view kFolderOrder[] = {
    "base",  "platform", "memory", "text",     "frame", "containers", "threads", "events",
    "files", "streams",  "config", "geometry", "time",  "undo",       "system",
};

/// A file allowed to include a folder above its own.
struct TBridge {
    std::string_view file;
    std::string_view reaches;
};

inline constexpr TBridge kBridges[] = {
    {"commonvcqx/text/StringFunctions.h", "containers"},
    {"commonvcqx/text/StringLists.cpp", "containers"},
    {"commonvcqx/text/StringPattern.h", "containers"},
    {"commonvcqx/text/StringPattern.cpp", "containers"},
    {"commonvcqx/text/StringStreaming.cpp", "streams"},
    {"commonvcqx/containers/CollectionState.cpp", "streams"},
    {"commonvcqx/files/FileSelector.h", "config"},
    {"commonvcqx/files/FileSelector.cpp", "config"},
    {"commonvcqx/text/ValueFormatting.h", "time"},
    {"commonvcqx/text/ValueFormatting.cpp", "time"},
};

/// Headers any folder may include: leaves that need only the layers below everything.
inline constexpr std::string_view kLeafHeaders[] = {
    "commonvcqx/geometry/Randomizer.h",
};

}  // namespace cvq::layout
