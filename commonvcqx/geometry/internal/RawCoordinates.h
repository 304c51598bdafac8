// commonvcqx/geometry/internal/RawCoordinates.h
//
// The stored form the geometry values share: 32-bit coordinates in field order, raw
// in a byte stream or as one tagged value that wraps them.
#pragma once

#include <cstdint>

class TInputStream;
class TOutputStream;
class TTaggedInputStream;
class TTaggedOutputStream;

namespace cvq::detail {

void WriteCoordinates(TOutputStream& out, const int32_t* values, int count);
void ReadCoordinates(TInputStream& in, int32_t* values, int count);
void WriteCoordinatesState(TTaggedOutputStream& out, const int32_t* values, int count,
                           const char* name, int index);
/// False, leaving `values` alone, when the tagged value is absent or too short.
char RestoreCoordinatesState(TTaggedInputStream& in, int32_t* values, int count, const char* name,
                             int index);

}  // namespace cvq::detail
