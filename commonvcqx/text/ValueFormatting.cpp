// Every writer below appends to a raw pointer into room of the documented size; the
// sized forms write into a local buffer of that size and copy what fits. Doubles
// become integers only after they are known to be finite and in range.
#include <commonvcqx/text/ValueFormatting.h>

#include <commonvcqx/base/BoundedText.h>
#include <commonvcqx/base/CheckedArithmetic.h>
#include <commonvcqx/geometry/NumericFunctions.h>
#include <commonvcqx/text/StaticStrings.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace {

constexpr std::array<char, 200> kTwoDigits = [] {
    std::array<char, 200> table{};
    for (int i = 0; i < 100; ++i) {
        table[size_t(2 * i)] = char('0' + i / 10);
        table[size_t(2 * i + 1)] = char('0' + i % 10);
    }
    return table;
}();

constexpr double kPowersOfTen[] = {1.0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9};
// 1 / (2 × 10^p), each the double closest to its exact value, as the division gives.
constexpr double kHalfUnits[] = {0.5,      0.05,      0.005,      0.0005,      0.00005,
                                 0.000005, 0.0000005, 0.00000005, 0.000000005, 0.0000000005};
constexpr int kMaxPlaces = 9;
constexpr double kTwoTo64 = 18446744073709551616.0;

char* Put(char* p, const char* text) {
    const size_t length = std::strlen(text);
    std::memcpy(p, text, length);
    return p + length;
}

// The digits of `value` zero-padded to `width`.
char* PutUnsigned(char* p, uint64_t value, int width = 0) {
    char digits[20];
    char* end = digits + sizeof digits;
    char* first = end;
    while (value >= 100) {
        first -= 2;
        std::memcpy(first, &kTwoDigits[size_t(value % 100) * 2], 2);
        value /= 100;
    }
    if (value >= 10) {
        first -= 2;
        std::memcpy(first, &kTwoDigits[size_t(value) * 2], 2);
    } else {
        *--first = char('0' + value);
    }
    const int count = int(end - first);
    for (int i = count; i < width; ++i) *p++ = '0';
    std::memcpy(p, first, size_t(count));
    return p + count;
}

// Digits with a space between each group of three, counted from the right.
char* PutGroupedDigits(char* p, const char* digits, int count) {
    int lead = count % 3 == 0 ? 3 : count % 3;
    std::memcpy(p, digits, size_t(lead));
    p += lead;
    for (const char* group = digits + lead; group < digits + count; group += 3) {
        *p++ = ' ';
        std::memcpy(p, group, 3);
        p += 3;
    }
    return p;
}

// A finite whole number >= 0, exactly (values from 2^64 through the shortest exact
// decimal expansion of the double).
char* PutWhole(char* p, double whole, bool group, int width = 0) {
    if (whole < kTwoTo64) {
        const uint64_t value = uint64_t(whole);
        if (!group || value < 1000) return PutUnsigned(p, value, width);
        char digits[20];
        const int count = int(PutUnsigned(digits, value) - digits);
        return PutGroupedDigits(p, digits, count);
    }
    char digits[320];
    const std::to_chars_result result =
        std::to_chars(digits, digits + sizeof digits, whole, std::chars_format::fixed, 0);
    const int count = int(result.ptr - digits);
    if (group) return PutGroupedDigits(p, digits, count);
    std::memcpy(p, digits, size_t(count));
    return p + count;
}

char* PutNonFinite(char* p, double value, int32_t flags) {
    if (std::isnan(value)) return Put(p, "nan");
    if (value < 0) return Put(p, "-inf");
    return Put(p, (flags & kNumPlusSign) ? "+inf" : "inf");
}

char* PutFloat(char* p, double value, int32_t flags) {
    if (!std::isfinite(value)) return PutNonFinite(p, value, flags);
    int places = std::min(flags & kNumPlacesMask, kMaxPlaces);
    const double rounded = std::fabs(value) + kHalfUnits[places];
    double whole = std::floor(rounded);
    uint64_t fraction = 0;
    if (places > 0) {
        const double scale = kPowersOfTen[places];
        double digits = std::floor(scale * (rounded - whole));
        if (digits >= scale) {  // the product rounded up to a whole unit
            digits -= scale;
            whole += 1;
        }
        fraction = uint64_t(digits);
        if (fraction != 0 && !(flags & kNumKeepZeros)) {
            while (fraction % 10 == 0) {
                fraction /= 10;
                --places;
            }
        }
    }
    if (whole != 0 || fraction != 0) {
        if (value < 0)
            *p++ = '-';
        else if (flags & kNumPlusSign)
            *p++ = '+';
    }
    p = PutWhole(p, whole, (flags & kNumGroupDigits) != 0);
    if (places > 0 && (fraction != 0 || (flags & kNumKeepZeros))) {
        *p++ = '.';
        p = PutUnsigned(p, fraction, places);
    }
    return p;
}

bool UsableRate(double rate) {
    return rate > 0 && std::isfinite(rate);
}

// "-" for negative values, "+" for positive ones with kNumPlusSign.
char* PutSign(char* p, double value, int32_t flags) {
    if (value < 0)
        *p++ = '-';
    else if (value > 0 && (flags & kNumPlusSign))
        *p++ = '+';
    return p;
}

// ---- Text with units ---------------------------------------------------------------

enum EUnit { kHours, kMinutes, kSeconds, kMilliseconds, kMicroseconds, kSamples, kUnitCount };

constexpr double kUnitMicroseconds[] = {3.6e9, 6e7, 1e6, 1e3, 1.0};
constexpr const char* kLongLabels[] = {" h", " mn", " s", " ms", " \xB5s", " smp"};
constexpr const char* kShortLabels[] = {"h", "mn", "s", "ms", "\xB5s", "smp"};

char* PutTimeUnits(char* p, double samples, int32_t format, double rate, int32_t flags) {
    const bool allowed[kUnitCount] = {true,
                                      (format & kTimeMinutes) != 0,
                                      (format & kTimeSeconds) != 0,
                                      (format & kTimeMilliseconds) != 0,
                                      (format & kTimeMicroseconds) != 0,
                                      (format & kTimeSamples) != 0};
    // A unit that is not shown hands its share to the next smaller unit that is, so
    // that 90 s with minutes hidden reads "90 s". Seconds always take part when
    // nothing smaller does: they are the fallback piece and the rounding unit.
    bool used[kUnitCount];
    std::copy(allowed, allowed + kUnitCount, used);
    used[kSeconds] =
        used[kSeconds] || !(used[kMilliseconds] || used[kMicroseconds] || used[kSamples]);
    double perUnit[kUnitCount];
    for (int unit = 0; unit < kSamples; ++unit)
        perUnit[unit] = rate * (kUnitMicroseconds[unit] * 1e-6);
    perUnit[kSamples] = 1.0;

    p = PutSign(p, samples, flags);
    double rest = std::fabs(samples);
    int last = kSamples;
    while (!used[last]) --last;
    // Far from zero the rests are rounding noise; each stays inside the unit above it
    // so that no smaller unit grows beyond its range.
    double values[kUnitCount] = {};
    for (int unit = 0, parent = -1; unit < last; ++unit) {
        if (!used[unit]) continue;
        values[unit] = std::max(0.0, std::floor(rest / perUnit[unit]));
        if (parent >= 0)
            values[unit] =
                std::min(values[unit], kUnitMicroseconds[parent] / kUnitMicroseconds[unit] - 1);
        rest = std::clamp(rest - values[unit] * perUnit[unit], 0.0, perUnit[unit]);
        parent = unit;
    }
    values[last] = RoundToClosestInteger(rest / perUnit[last]);
    // Rounding that reaches a whole larger unit carries into it, up the chain.
    for (int unit = last; unit > 0;) {
        int parent = unit - 1;
        while (!used[parent]) --parent;  // hours always take part
        const double ratio = unit == kSamples ? perUnit[parent]
                                              : kUnitMicroseconds[parent] / kUnitMicroseconds[unit];
        if (values[unit] < ratio) break;
        values[unit] = std::max(0.0, RoundToClosestInteger(values[unit] - ratio));
        values[parent] += 1;
        unit = parent;
    }

    bool shown[kUnitCount];
    int pieces = 0;
    for (int unit = 0; unit < kUnitCount; ++unit) {
        shown[unit] = allowed[unit] && used[unit] && values[unit] != 0;
        pieces += shown[unit];
    }
    if (pieces == 0) {
        shown[kSeconds] = true;
        pieces = 1;
    }
    const bool shortLabels = pieces > 1 && (format & kTimeShort);
    bool first = true;
    for (int unit = 0; unit < kUnitCount; ++unit) {
        if (!shown[unit]) continue;
        if (!first) *p++ = ' ';
        first = false;
        p = PutWhole(p, values[unit], false);
        p = Put(p, shortLabels ? kShortLabels[unit] : kLongLabels[unit]);
    }
    return p;
}

// ---- Timecode ----------------------------------------------------------------------

double SelectedFrameRate(int32_t format, const TTimeMetrics& metrics) {
    static constexpr double kRates[] = {24.0, 25.0, 29.97, 30.0, 75.0, 1000.0};
    const int32_t selector = (format >> kTimeFrameRateShift) & 15;
    return selector >= 1 && selector <= 6 ? kRates[selector - 1] : metrics.frameRate;
}

char* PutTimecode(char* p, double samples, int32_t format, double rate, double frameRate,
                  int32_t flags) {
    const double framesPerSecond = RoundToClosestInteger(frameRate);
    if (!(framesPerSecond >= 1)) return p;
    const bool withSubFrames = (format & (kTimeQuarterFrames | kTimeHundredths)) != 0;
    const double subFrames = (format & kTimeHundredths) ? 100.0 : 4.0;

    p = PutSign(p, samples, flags);
    const double magnitude = std::fabs(samples);
    double hours = std::floor(magnitude / (3600 * rate));
    double rest = std::clamp(magnitude - hours * 3600 * rate, 0.0, 3600 * rate);
    double minutes = std::clamp(std::floor(rest / (60 * rate)), 0.0, 59.0);
    rest = std::max(0.0, rest - minutes * 60 * rate);
    double seconds = std::clamp(std::floor(rest / rate), 0.0, 59.0);
    rest = std::max(0.0, rest - seconds * rate);
    const double frameLength = rate / framesPerSecond;
    double frames =
        withSubFrames ? std::floor(rest / frameLength) : RoundToClosestInteger(rest / frameLength);
    rest = std::max(0.0, rest - frames * frameLength);
    // A frame count that reaches a whole second is the next second's frame 0.
    if (frames >= framesPerSecond) {
        frames = 0;
        rest = 0;
        if (++seconds == 60) {
            seconds = 0;
            if (++minutes == 60) {
                minutes = 0;
                hours += 1;
            }
        }
    }
    double subFrame = 0;
    if (withSubFrames)
        subFrame =
            std::min(RoundToClosestInteger(rest / (rate / (frameRate * subFrames))), subFrames - 1);

    const bool labels = (format & kTimeLabels) != 0;
    bool shown[5] = {true, true, true, true, withSubFrames};
    if (format & kTimeShort) {
        const bool separators = !labels;
        shown[0] = hours != 0;
        shown[1] = minutes != 0 || (separators && hours != 0);
        shown[2] = seconds != 0 || (separators && (hours != 0 || minutes != 0));
        shown[3] = frames != 0 || (separators && (hours != 0 || minutes != 0 || seconds != 0));
        shown[4] = withSubFrames &&
                   (subFrame != 0 ||
                    (separators && (hours != 0 || minutes != 0 || seconds != 0 || frames != 0)));
        if (!(shown[0] || shown[1] || shown[2] || shown[3] || shown[4])) shown[2] = true;
    }
    const bool pad = !(format & kTimeNoPadding);
    const int frameWidth = !pad ? 0 : frameRate >= 100 ? 3 : frameRate >= 10 ? 2 : 0;
    const bool hundredths = (format & kTimeHundredths) != 0;
    const double values[5] = {hours, minutes, seconds, frames, subFrame};
    const int widths[5] = {pad ? 2 : 0, pad ? 2 : 0, pad ? 2 : 0, frameWidth,
                           hundredths && pad ? 2 : 0};
    static constexpr char kSeparators[5] = {0, ':', ':', '.', '.'};
    const char* const fieldLabels[5] = {"h ", "mn ", "s ", "fr ", hundredths ? "hf" : "qf"};
    bool first = true;
    for (int field = 0; field < 5; ++field) {
        if (!shown[field]) continue;
        // A leading field dropped by kTimeShort takes its separator with it.
        if (!labels && !first) *p++ = kSeparators[field];
        first = false;
        p = PutWhole(p, values[field], false, widths[field]);
        if (labels) p = Put(p, fieldLabels[field]);
    }
    return p;
}

// ---- Musical position --------------------------------------------------------------

int TickWidth(int32_t ticksPerBeat) {
    if (ticksPerBeat < 10 || ticksPerBeat >= 100000) return 0;
    if (ticksPerBeat < 100) return 2;
    if (ticksPerBeat < 1000) return 3;
    if (ticksPerBeat < 10000) return 4;
    return 5;
}

char* PutMusical(char* p, double samples, int32_t format, const TTimeMetrics& metrics,
                 int32_t flags) {
    const TMusicTiming& timing = metrics.timing;
    if (!timing.IsUsable()) return p;
    const double magnitude = RoundToClosestInteger(std::fabs(samples));
    if (magnitude != 0) p = PutSign(p, samples, flags);
    int32_t measure, beat, tick;
    timing.TimeToMeasure(magnitude / metrics.sampleRate, &measure, &beat, &tick);
    int64_t shownMeasure = measure, shownBeat = beat;
    if ((format & kTimeFromOne) && samples >= 0) {
        ++shownMeasure;
        ++shownBeat;
    }
    p += Int64ToString(shownMeasure, p, 0, kIntGroupDigits);
    *p++ = ':';
    p += Int64ToString(shownBeat, p, 0, 0);
    *p++ = ':';
    return PutUnsigned(p, uint64_t(tick), TickWidth(timing.TicksPerBeat()));
}

char* PutTime(char* p, double samples, int32_t format, const TTimeMetrics& metrics, int32_t flags) {
    const double rate = metrics.sampleRate;
    const int32_t needsRate = kTimeTimecode | kTimeUnits | kTimeMusical;
    const bool plainCount = !(format & (kTimeTimecode | kTimeUnits)) && (format & kTimeSamples);
    if (!plainCount && (format & needsRate)) {
        if (!UsableRate(rate)) return p;
        if (!std::isfinite(samples / rate)) return PutNonFinite(p, samples / rate, flags);
    }
    if (format & kTimeTimecode) {
        const double frameRate = SelectedFrameRate(format, metrics);
        if (!UsableRate(frameRate)) return p;
        return PutTimecode(p, samples, format, rate, frameRate, flags);
    }
    if (format & kTimeUnits) return PutTimeUnits(p, samples, format, rate, flags);
    if (format & kTimeSamples) {
        p = PutFloat(p, samples, flags & (kNumGroupDigits | kNumPlusSign));
        return (format & kTimeLabels) ? Put(p, " smp") : p;
    }
    if (format & kTimeMusical) return PutMusical(p, samples, format, metrics, flags);
    return p;
}

// ---- Levels, frequencies, sizes ----------------------------------------------------

char* PutLevel(char* p, float level, int32_t format, int32_t flags) {
    const bool unit = !(flags & kNumNoUnit);
    if (format & kLevelDecibels) {
        if (std::isnan(level) || level > 1.1920929e-7f)
            p = PutFloat(p, 20.0 * std::log10(double(level)), flags);
        else
            p = Put(p, "-144");
        return unit ? Put(p, " dB") : p;
    }
    if (format & kLevelPercent) {
        p = PutFloat(p, double(level) * 100.0, flags);
        return unit ? Put(p, " %") : p;
    }
    const double scale = (format & kLevel8Bit)    ? 128.0
                         : (format & kLevel16Bit) ? 32768.0
                         : (format & kLevel20Bit) ? 524288.0
                                                  : 8388608.0;
    // Written from the rounded double, so levels above full scale cannot overflow.
    return PutFloat(p, RoundToClosestInteger(double(level) * scale),
                    flags & (kNumGroupDigits | kNumPlusSign));
}

constexpr const char* kNoteNames[] = {"A",  "A#", "B", "C",  "C#", "D",
                                      "D#", "E",  "F", "F#", "G",  "G#"};
constexpr size_t kMaxCentsUnit = 255;

char* PutFrequency(char* p, double hertz, int32_t format, const TTimeMetrics* metrics,
                   int32_t flags) {
    if (format & kFrequencyHertz) return Put(PutFloat(p, hertz, flags), " Hz");
    if (format & kFrequencyNote) {
        int note, octave, cents;
        if (!FrequencyToNote(hertz, &note, &octave, &cents)) return p;
        p = Put(p, kNoteNames[note]);
        if (!(flags & kNumNoSpace)) *p++ = ' ';
        p += IntToString(octave, p, 0, 0);
        if (cents != 0) {
            *p++ = ' ';
            p += IntToString(cents, p, 0, kIntPlusSign);
            const char* unit = GetStaticString(18031);
            for (size_t i = 0; unit && unit[i] != '\0' && i < kMaxCentsUnit; ++i) *p++ = unit[i];
        }
        return p;
    }
    if ((format & 0xF) && metrics) {
        const double cycle = std::isnan(hertz) ? hertz : std::max(hertz, 0.000001);
        return PutTime(p, metrics->sampleRate / cycle, format, *metrics, flags);
    }
    return p;
}

char* PutFileSize(char* p, int64_t bytes, int32_t flags) {
    if (!(flags & kNumDecimalUnits)) {
        p += Int64ToString(bytes, p, 0, kIntGroupDigits);
        return Put(p, " bytes");
    }
    const char* label = "B";
    if (bytes < 1000) {
        p += Int64ToString(bytes, p, 0, 0);
    } else {
        const double size = double(bytes);
        double scaled;
        if (size < 1e6) {
            scaled = size * 0.001;
            label = "kB";
        } else if (size < 1e9) {
            scaled = size * 1e-6;
            label = "MB";
        } else if (size < 1e12) {
            scaled = size * 1e-9;
            label = "GB";
        } else {
            scaled = size * 1e-12;
            label = "TB";
        }
        p = PutFloat(p, scaled, 2 | (flags & kNumKeepZeros));
    }
    if (!(flags & kNumNoSpace)) *p++ = ' ';
    return Put(p, label);
}

// The three forms of one writer; `kRoom` is the writer's documented room, which the
// caller of the unbounded form provides.
template <class TWriter>
int WriteUnbounded(char* out, TWriter writer) {
    char* end = writer(out);
    *end = '\0';
    return int(end - out);
}

template <size_t kRoom, class TWriter>
int WriteBounded(char* out, size_t size, TWriter writer) {
    char text[kRoom];
    const size_t length = size_t(writer(text) - text);
    cvq::TBoundedText bounded(out, size);
    bounded.Append(text, length);
    return int(bounded.Length());
}

template <size_t kRoom, class TWriter>
TString WriteString(TWriter writer) {
    char text[kRoom];
    const size_t length = size_t(writer(text) - text);
    return TSubString::Create(text, uint32_t(length));
}

}  // namespace

int FloatToString(double value, char* out, int32_t flags) {
    return WriteUnbounded(out, [&](char* p) { return PutFloat(p, value, flags); });
}
int FloatToString(double value, char* out, size_t size, int32_t flags) {
    return WriteBounded<kFloatTextSize>(out, size,
                                        [&](char* p) { return PutFloat(p, value, flags); });
}
TString FloatToString(double value, int32_t flags) {
    return WriteString<kFloatTextSize>([&](char* p) { return PutFloat(p, value, flags); });
}

int TimeToString(double samples, char* out, int32_t format, const TTimeMetrics& metrics,
                 int32_t flags) {
    return WriteUnbounded(out,
                          [&](char* p) { return PutTime(p, samples, format, metrics, flags); });
}
int TimeToString(double samples, char* out, size_t size, int32_t format,
                 const TTimeMetrics& metrics, int32_t flags) {
    return WriteBounded<kTimeTextSize>(
        out, size, [&](char* p) { return PutTime(p, samples, format, metrics, flags); });
}
TString TimeToString(double samples, int32_t format, const TTimeMetrics& metrics, int32_t flags) {
    return WriteString<kTimeTextSize>(
        [&](char* p) { return PutTime(p, samples, format, metrics, flags); });
}

namespace {
// A plain count is written from the integer; every other mode works in doubles.
char* PutSampleCount(char* p, int64_t samples, int32_t format, const TTimeMetrics& metrics,
                     int32_t flags) {
    if ((format & (kTimeTimecode | kTimeUnits)) || !(format & kTimeSamples))
        return PutTime(p, double(samples), format, metrics, flags);
    p += Int64ToString(samples, p, 0, flags & (kNumGroupDigits | kNumPlusSign));
    return (format & kTimeLabels) ? Put(p, " smp") : p;
}
}  // namespace

int TimeToString(int64_t samples, char* out, int32_t format, const TTimeMetrics& metrics,
                 int32_t flags) {
    return WriteUnbounded(
        out, [&](char* p) { return PutSampleCount(p, samples, format, metrics, flags); });
}
int TimeToString(int64_t samples, char* out, size_t size, int32_t format,
                 const TTimeMetrics& metrics, int32_t flags) {
    return WriteBounded<kTimeTextSize>(
        out, size, [&](char* p) { return PutSampleCount(p, samples, format, metrics, flags); });
}
TString TimeToString(int64_t samples, int32_t format, const TTimeMetrics& metrics, int32_t flags) {
    return WriteString<kTimeTextSize>(
        [&](char* p) { return PutSampleCount(p, samples, format, metrics, flags); });
}

int AudioLevelToString(float level, char* out, int32_t format, int32_t flags) {
    return WriteUnbounded(out, [&](char* p) { return PutLevel(p, level, format, flags); });
}
int AudioLevelToString(float level, char* out, size_t size, int32_t format, int32_t flags) {
    return WriteBounded<kLevelTextSize>(out, size,
                                        [&](char* p) { return PutLevel(p, level, format, flags); });
}
TString AudioLevelToString(float level, int32_t format, int32_t flags) {
    return WriteString<kLevelTextSize>([&](char* p) { return PutLevel(p, level, format, flags); });
}

int FrequencyToString(double hertz, char* out, int32_t format, const TTimeMetrics* metrics,
                      int32_t flags) {
    return WriteUnbounded(out,
                          [&](char* p) { return PutFrequency(p, hertz, format, metrics, flags); });
}
int FrequencyToString(double hertz, char* out, size_t size, int32_t format,
                      const TTimeMetrics* metrics, int32_t flags) {
    return WriteBounded<kFrequencyTextSize>(
        out, size, [&](char* p) { return PutFrequency(p, hertz, format, metrics, flags); });
}
TString FrequencyToString(double hertz, int32_t format, const TTimeMetrics* metrics,
                          int32_t flags) {
    return WriteString<kFrequencyTextSize>(
        [&](char* p) { return PutFrequency(p, hertz, format, metrics, flags); });
}

int FileSizeToString(int64_t bytes, char* out, int32_t flags) {
    return WriteUnbounded(out, [&](char* p) { return PutFileSize(p, bytes, flags); });
}
int FileSizeToString(int64_t bytes, char* out, size_t size, int32_t flags) {
    return WriteBounded<kFileSizeTextSize>(out, size,
                                           [&](char* p) { return PutFileSize(p, bytes, flags); });
}
TString FileSizeToString(int64_t bytes, int32_t flags) {
    return WriteString<kFileSizeTextSize>([&](char* p) { return PutFileSize(p, bytes, flags); });
}

TString ByteSizeToString(double bytes) {
    const char* label = "B";
    double scaled = bytes;
    if (bytes >= 1073741824.0) {
        scaled = bytes / 1073741824.0;
        label = "GB";
    } else if (bytes >= 1048576.0) {
        scaled = bytes / 1048576.0;
        label = "MB";
    } else if (bytes >= 1024.0) {
        scaled = bytes / 1024.0;
        label = "KB";
    }
    char text[kFloatTextSize];
    cvq::TBoundedText bounded(text);
    bounded.AppendFormat("%.2lf %s", scaled, label);
    return TSubString::Create(text, uint32_t(bounded.Length()));
}
