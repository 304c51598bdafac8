// commonvcqx/streams/TaggedDump.h
//
// Looking into tagged blocks from outside the objects that wrote them: a readable tree
// of every group and value, and a check of the header's marker, length and CRC-32.
// Used by the cvq tool and by programs that want to show what a document holds; the
// JSON form is for scripts.
//
//   std::string reason;
//   if (!VerifyTaggedStream(block, size, &reason)) Report(reason);   // one line
//   std::puts(DumpTaggedStream(block, size).c_str());
//
// The dump shows the header, then each group as "Name/" and each value as
// "Name [n bytes] = ...": a number for 1, 2, 4 and 8 bytes (8 also as a double),
// quoted text for NUL-terminated printable data, hex otherwise. The format keeps no
// types, so these are readings, not certainties.
#pragma once

#include <cstdint>
#include <string>

/// The tree of a tagged-mode block as indented text, one line per node. A block whose
/// nodes are damaged throws the library exception of static string 18032; the header's
/// length and CRC are reported in the first line, not enforced.
std::string DumpTaggedStream(const void* data, int32_t size);

/// The same tree as one JSON object: "document", "byteOrder" ("little-endian" or
/// "reversed"), "length", "size", "crc32" (8 hex digits), "crcOk" (null when not checked)
/// and "root", an array of nodes. A group is {"name", "group": [nodes]}; a value is
/// {"name", "size", "hex"} (its bytes as lower-case hex) with the readings that fit:
/// "text" for NUL-terminated printable data, "number" for 1, 2, 4 and 8 bytes (signed)
/// and "double" for 8 finite ones. Text that is not UTF-8 has its stray bytes read as
/// Latin-1. Damaged nodes throw as DumpTaggedStream does.
std::string DumpTaggedStreamAsJson(const void* data, int32_t size);

/// True when the block is a whole, intact tagged stream: its marker, its length (at
/// least 13, a multiple of 4, equal to `size`) and its CRC-32 are right and, in tagged
/// mode (`useTags`), every node can be walked. Otherwise false, with a one-line reason
/// in *reason when it is not null.
bool VerifyTaggedStream(const void* data, int32_t size, std::string* reason, char useTags = 1);
