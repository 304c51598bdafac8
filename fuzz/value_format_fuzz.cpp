// Random doubles and 64-bit values with every flag and format bit, through every
// formatter into buffers of exactly the documented room, and through the sized forms
// into small buffers. Bytes: value (8), count (8), flags (4), format (4), sample rate
// (8), frame rate (8), tempo (8), ticks per quarter, beats, beat width (4 each), size (1).
#include <commonvcqx/text/ValueFormatting.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

template <class T>
T Take(const uint8_t*& data, size_t& size) {
    T value{};
    const size_t count = size < sizeof value ? size : sizeof value;
    std::memcpy(&value, data, count);
    data += count;
    size -= count;
    return value;
}

// The text ends before the room and nothing past the NUL was touched.
void Check(int length, const std::vector<char>& buffer, size_t room) {
    if (length < 0 || size_t(length) >= room || std::strlen(buffer.data()) != size_t(length))
        std::abort();
    for (size_t i = room; i < buffer.size(); ++i)
        if (buffer[i] != '\x5A') std::abort();
}

std::vector<char> Fresh(size_t room) {
    return std::vector<char>(room + 16, '\x5A');
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const double value = Take<double>(data, size);
    const int64_t count = Take<int64_t>(data, size);
    const int32_t flags = Take<int32_t>(data, size);
    const int32_t format = Take<int32_t>(data, size);
    TTimeMetrics metrics;
    metrics.sampleRate = Take<double>(data, size);
    metrics.frameRate = Take<double>(data, size);
    metrics.timing.tempo = Take<double>(data, size);
    metrics.timing.ticksPerQuarter = Take<int32_t>(data, size);
    metrics.timing.beatsPerMeasure = Take<int32_t>(data, size);
    metrics.timing.beatWidth = Take<int32_t>(data, size);
    const size_t small = Take<uint8_t>(data, size);

    std::vector<char> out = Fresh(kFloatTextSize);
    Check(FloatToString(value, out.data(), flags), out, kFloatTextSize);
    Check(FloatToString(double(count), out.data(), flags | 0x1FF), out, kFloatTextSize);
    out = Fresh(kTimeTextSize);
    Check(TimeToString(value, out.data(), format, metrics, flags), out, kTimeTextSize);
    Check(TimeToString(count, out.data(), format, metrics, flags), out, kTimeTextSize);
    out = Fresh(kLevelTextSize);
    Check(AudioLevelToString(float(value), out.data(), format, flags), out, kLevelTextSize);
    out = Fresh(kFrequencyTextSize);
    Check(FrequencyToString(value, out.data(), format, &metrics, flags), out, kFrequencyTextSize);
    Check(FrequencyToString(value, out.data(), format, nullptr, flags), out, kFrequencyTextSize);
    out = Fresh(kFileSizeTextSize);
    Check(FileSizeToString(count, out.data(), flags), out, kFileSizeTextSize);
    (void)ByteSizeToString(value);

    // The sized forms never pass the size they are given.
    const size_t room = small == 0 ? 1 : small;
    out = Fresh(room);
    Check(FloatToString(value, out.data(), room, flags), out, room);
    Check(TimeToString(value, out.data(), room, format, metrics, flags), out, room);
    Check(TimeToString(count, out.data(), room, format, metrics, flags), out, room);
    Check(AudioLevelToString(float(value), out.data(), room, format, flags), out, room);
    Check(FrequencyToString(value, out.data(), room, format, &metrics, flags), out, room);
    Check(FileSizeToString(count, out.data(), room, flags), out, room);
    std::vector<char> none = Fresh(0);
    if (FloatToString(value, none.data(), 0, flags) != 0 || none[0] != '\x5A') std::abort();
    return 0;
}
