// Coordinates raw in byte streams and wrapped in tagged values.
#include <commonvcqx/frame/ExceptionThrower.h>
#include <commonvcqx/frame/ResMess.h>
#include <commonvcqx/geometry/internal/RawCoordinates.h>
#include <commonvcqx/streams/InputStream.h>
#include <commonvcqx/streams/OutputStream.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>

#include <cstdlib>
#include <stdexcept>

namespace cvq::detail {

namespace {

constexpr int kDamagedStream = 18032;
constexpr int kMaxCoordinates = 4;

}  // namespace

void WriteCoordinates(TOutputStream& out, const int32_t* values, int count) {
    for (int i = 0; i < count; ++i) out.Write(values[i]);
}

void ReadCoordinates(TInputStream& in, int32_t* values, int count) {
    in.Read(values, uint32_t(count));
}

void WriteCoordinatesState(TTaggedOutputStream& out, const int32_t* values, int count,
                           const char* name, int index) {
    TTaggedOutputStream::TAutoTag tag(out, name, index);
    WriteCoordinates(out.GetMemoryStream(), values, count);
}

char RestoreCoordinatesState(TTaggedInputStream& in, int32_t* values, int count, const char* name,
                             int index) {
    const uint32_t bytes = uint32_t(count) * sizeof(int32_t);
    if (in.UseTags()) {
        // The size lookup does not move the search, so both find the same value.
        if (uint32_t(in.GetBinarySize(name, index)) < bytes) return 0;
        if (!in.MoveToDataStart(name, index, nullptr)) return 0;
    }
    int32_t read[kMaxCoordinates];
    try {
        in.GetMemoryStream().ReadChecked(read, uint32_t(count));
    } catch (const std::out_of_range&) {
        // Only an untagged block can end early: a tagged value was checked above.
        TExceptionThrower(0).SetAndThrow(TResMess(kDamagedStream));
        std::abort();  // a thrower made with post = 0 always throws
    }
    for (int i = 0; i < count; ++i) values[i] = read[i];
    return 1;
}

}  // namespace cvq::detail
