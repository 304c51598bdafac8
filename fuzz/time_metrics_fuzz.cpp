// Time metrics restored from arbitrary tagged blocks, then values formatted with them.
// The first byte picks tagged or untagged mode, the rest is the block; the metrics are
// read from the group "M". Whatever rates, frame rate and timing the block holds (zeros,
// negatives, NaN, huge values), every format must finish within its documented room;
// the only failure allowed is the library exception of a damaged stream.
#include <commonvcqx/base/CheckedArithmetic.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/text/ValueFormatting.h>
#include <commonvcqx/time/TimeMetrics.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

namespace {

void Check(int length, const char* text, size_t room) {
    if (length < 0 || size_t(length) >= room || std::strlen(text) != size_t(length)) std::abort();
}

void FormatWith(const TTimeMetrics& metrics) {
    static const double kValues[] = {0.0,
                                     1.0,
                                     -1.0,
                                     0.5,
                                     47999.5,
                                     -123456789.25,
                                     1e15,
                                     -1e300,
                                     std::numeric_limits<double>::max(),
                                     std::numeric_limits<double>::denorm_min(),
                                     std::numeric_limits<double>::quiet_NaN(),
                                     std::numeric_limits<double>::infinity()};
    static const int32_t kFormats[] = {
        kTimeUnits,
        kTimeUnits | kTimeMinutes | kTimeSeconds | kTimeMilliseconds | kTimeMicroseconds |
            kTimeSamples,
        kTimeUnits | kTimeMilliseconds | kTimeShort,
        kTimeUnits | kTimeSamples,
        kTimeTimecode,
        kTimeTimecode | kTimeHundredths | kTimeShort,
        kTimeTimecode | kTimeQuarterFrames | kTimeLabels | kTimeShort | kTimeNoPadding,
        kTimeSamples | kTimeLabels,
        kTimeMusical,
        kTimeMusical | kTimeFromOne,
    };
    char text[kTimeTextSize];
    for (double value : kValues) {
        for (int32_t format : kFormats) {
            for (int32_t rate = 0; rate < 16; rate += format & kTimeTimecode ? 1 : 16) {
                const int32_t full = format | (rate << kTimeFrameRateShift);
                Check(TimeToString(value, text, full, metrics, 0x3F), text, kTimeTextSize);
                Check(FrequencyToString(value, text, full, &metrics, 0x1F), text,
                      kFrequencyTextSize);
            }
        }
        Check(FrequencyToString(value, text, kFrequencyNote, &metrics, 0), text,
              kFrequencyTextSize);
        Check(TimeToString(cvq::SaturatingCast<int64_t>(value), text, kTimeMusical, metrics, 0x10),
              text, kTimeTextSize);
    }
    int32_t measure, beat, tick;
    metrics.timing.TimeToMeasure(metrics.sampleRate, &measure, &beat, &tick);
    (void)metrics.timing.MeasureToTime(measure, beat, tick);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 16)) return 0;
    const char useTags = char(data[0] & 1);
    const size_t blockSize = size - 1;
    std::unique_ptr<char[]> block(new char[blockSize ? blockSize : 1]);
    if (blockSize) std::memcpy(block.get(), data + 1, blockSize);
    TTimeMetrics metrics;
    try {
        TTaggedInputStream in(useTags, block.get(), int32_t(blockSize), 0);
        metrics.RestoreState(in, 0, "M", 0);
    } catch (const TException&) {
    }
    FormatWith(metrics);
    return 0;
}
