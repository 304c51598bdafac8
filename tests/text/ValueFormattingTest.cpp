// Value formatting: tables per function and flag family, written from the formatting
// rules and their examples; the designed half-up differences from snprintf; bounds of
// the documented room and of the sized forms; rates that would divide by zero.
#include <commonvcqx/text/StaticStrings.h>
#include <commonvcqx/text/ValueFormatting.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

std::string Float(double value, int32_t flags) {
    char text[kFloatTextSize];
    const int length = FloatToString(value, text, flags);
    EXPECT_EQ(size_t(length), std::strlen(text));
    EXPECT_EQ(std::string(FloatToString(value, flags).c_str()), text);
    return text;
}

TTimeMetrics Metrics(double rate, double frameRate = 0, TMusicTiming timing = {}) {
    TTimeMetrics metrics;
    metrics.sampleRate = rate;
    metrics.frameRate = frameRate;
    metrics.timing = timing;
    return metrics;
}

std::string Time(double samples, int32_t format, const TTimeMetrics& metrics, int32_t flags = 0) {
    char text[kTimeTextSize];
    const int length = TimeToString(samples, text, format, metrics, flags);
    EXPECT_EQ(size_t(length), std::strlen(text));
    EXPECT_EQ(std::string(TimeToString(samples, format, metrics, flags).c_str()), text);
    return text;
}

std::string Level(float level, int32_t format, int32_t flags) {
    char text[kLevelTextSize];
    AudioLevelToString(level, text, format, flags);
    EXPECT_EQ(std::string(AudioLevelToString(level, format, flags).c_str()), text);
    return text;
}

std::string Frequency(double hertz, int32_t format, const TTimeMetrics* metrics, int32_t flags) {
    char text[kFrequencyTextSize];
    FrequencyToString(hertz, text, format, metrics, flags);
    EXPECT_EQ(std::string(FrequencyToString(hertz, format, metrics, flags).c_str()), text);
    return text;
}

std::string FileSize(int64_t bytes, int32_t flags) {
    char text[kFileSizeTextSize];
    FileSizeToString(bytes, text, flags);
    EXPECT_EQ(std::string(FileSizeToString(bytes, flags).c_str()), text);
    return text;
}

}  // namespace

TEST(ValueFormattingTest, FloatToStringTable) {
    struct TCase {
        double value;
        int32_t flags;
        const char* text;
    };
    const TCase cases[] = {
        {1.5, 2, "1.5"},
        {1.5, 2 | kNumKeepZeros, "1.50"},
        {2.0, 2, "2"},
        {2.0, 2 | kNumKeepZeros, "2.00"},
        {-0.001, 2, "0"},
        {-0.001, 2 | kNumKeepZeros, "0.00"},
        {1234567.891, 2 | kNumGroupDigits, "1 234 567.89"},
        {0.999, 2, "1"},
        {0.0, 0, "0"},
        {0.0, kNumPlusSign, "0"},
        {3.0, kNumPlusSign, "+3"},
        {-3.0, kNumPlusSign, "-3"},
        {-2.5, 0, "-3"},  // half up on the magnitude
        {2.5, 0, "3"},
        {0.125, 2, "0.13"},
        {1.005, 2, "1"},  // 1.00499999999999989...
        {0.375, 2, "0.38"},
        {0.1, 9, "0.1"},
        {0.123456789, 9, "0.123456789"},
        {0.123456789, 15, "0.123456789"},  // places beyond 9 are 9
        {-12.3456, 3 | kNumPlusSign, "-12.346"},
        {999.9996, 3, "1000"},
        {100.0, 1 | kNumKeepZeros, "100.0"},
        {1e6, kNumGroupDigits, "1 000 000"},
        {999.0, kNumGroupDigits, "999"},
        {-1234.0, kNumGroupDigits, "-1 234"},
        {2147483647.0, kNumGroupDigits, "2 147 483 647"},
        {4294967296.5, 1, "4294967296.5"},
        {1e20, kNumGroupDigits, "100 000 000 000 000 000 000"},
        {18446744073709551616.0, 0, "18446744073709551616"},
        {1e22, 0, "10000000000000000000000"},
        {0.05, 1, "0.1"},
        {kNaN, 2, "nan"},
        {kInf, 2, "inf"},
        {kInf, kNumPlusSign, "+inf"},
        {-kInf, 2, "-inf"},
    };
    for (const TCase& c : cases) EXPECT_EQ(Float(c.value, c.flags), c.text) << c.value;

    const std::string biggest = Float(-DBL_MAX, 9 | kNumGroupDigits | kNumKeepZeros);
    EXPECT_EQ(biggest.size(), 422u);
    EXPECT_LT(biggest.size(), kFloatTextSize);
    EXPECT_EQ(biggest.substr(0, 9), "-179 769 ");
    EXPECT_EQ(biggest.substr(biggest.size() - 10), ".000000000");
}

TEST(ValueFormattingTest, FloatToStringAgreesWithSnprintfButForHalves) {
    // printf rounds the exact binary value, ties to even; FloatToString adds half a
    // unit first and takes the floor. Where the double holds the places asked for, the
    // two differ only within rounding error of a half; everywhere the text stays within
    // half a unit of the last place (plus the double's own error) of the value.
    std::mt19937_64 random(20);
    std::uniform_real_distribution<double> exponent(-6, 12);
    int differences = 0;
    for (int i = 0; i < 40000; ++i) {
        const double value = std::pow(10.0, exponent(random)) * (i % 2 ? -1 : 1);
        const int places = i % 10;
        char expected[512];
        std::snprintf(expected, sizeof expected, "%.*f", places, value);
        const std::string text = Float(value, places | kNumKeepZeros);
        const double unit = std::pow(10.0, -places);
        const double ulp = std::nextafter(std::fabs(value), kInf) - std::fabs(value);
        ASSERT_LE(std::fabs(std::strtod(text.c_str(), nullptr) - value), unit / 2 + 2 * ulp)
            << value << " " << places;
        if (text == expected || "-" + text == expected) continue;  // printf keeps "-0.00"
        if (ulp / unit > 1e-4) continue;  // digits beyond the double's precision
        const double scaled = std::fabs(value) / unit;
        EXPECT_NEAR(scaled - std::floor(scaled), 0.5, 1e-3) << value << " " << places;
        ++differences;
    }
    EXPECT_LT(differences, 20);
    // Exact halves: printf to even, FloatToString up.
    struct TCase {
        double value;
        int places;
        const char* printed;
        const char* text;
    };
    const TCase halves[] = {{0.5, 0, "0", "1"},
                            {2.5, 0, "2", "3"},
                            {-2.5, 0, "-2", "-3"},
                            {0.125, 2, "0.12", "0.13"},
                            {3.5, 0, "4", "4"}};
    for (const TCase& c : halves) {
        char printed[64];
        std::snprintf(printed, sizeof printed, "%.*f", c.places, c.value);
        EXPECT_STREQ(printed, c.printed);
        EXPECT_EQ(Float(c.value, c.places | kNumKeepZeros), c.text);
    }
}

TEST(ValueFormattingTest, SizedFormsCutToFit) {
    char text[6];
    EXPECT_EQ(FloatToString(1234567.0, text, sizeof text, kNumGroupDigits), 5);
    EXPECT_STREQ(text, "1 234");
    EXPECT_EQ(FloatToString(1.0, text, 0, 0), 0);
    const TTimeMetrics metrics = Metrics(48000, 25);
    EXPECT_EQ(TimeToString(48000.0 * 3723.5, text, sizeof text, kTimeTimecode, metrics, 0), 5);
    EXPECT_STREQ(text, "01:02");
    EXPECT_EQ(TimeToString(int64_t{123456789}, text, sizeof text, kTimeSamples, metrics, 0), 5);
    EXPECT_STREQ(text, "12345");
    EXPECT_EQ(AudioLevelToString(0.5f, text, sizeof text, kLevelPercent, 1), 4);
    EXPECT_STREQ(text, "50 %");
    EXPECT_EQ(FrequencyToString(440.0, text, sizeof text, kFrequencyHertz, nullptr, 0), 5);
    EXPECT_STREQ(text, "440 H");
    EXPECT_EQ(FileSizeToString(1234567, text, sizeof text, 0), 5);
    EXPECT_STREQ(text, "1 234");
}

TEST(ValueFormattingTest, TimeWithUnits) {
    const TTimeMetrics kHz = Metrics(1000);
    const int32_t hms = kTimeUnits | kTimeMinutes | kTimeSeconds;
    struct TCase {
        double seconds;
        int32_t format, flags;
        const char* text;
    };
    const TCase cases[] = {
        {5400, hms, 0, "1 h 30 mn"},
        {5400, hms | kTimeShort, 0, "1h 30mn"},
        {0, kTimeUnits, 0, "0 s"},
        {0, hms, kNumPlusSign, "0 s"},
        {90, kTimeUnits | kTimeSeconds, 0, "90 s"},  // minutes hidden stay in the seconds
        {90, hms, 0, "1 mn 30 s"},
        {119.6, hms, 0, "2 mn"},  // 60 s carry into the minute
        {119.4, hms, 0, "1 mn 59 s"},
        {3599.6, hms, 0, "1 h"},
        {3599.6, kTimeUnits | kTimeSeconds, 0, "1 h"},
        {3725, kTimeUnits | kTimeSeconds, 0, "1 h 125 s"},
        {30, kTimeUnits | kTimeMinutes, 0, "30 s"},  // nothing shown: the seconds
        {90, kTimeUnits | kTimeMinutes, 0, "1 mn"},
        {119.6, kTimeUnits | kTimeMinutes, 0, "2 mn"},  // 59.6 s round into a minute
        {61.25, hms | kTimeMilliseconds, 0, "1 mn 1 s 250 ms"},
        {61.25, hms | kTimeMilliseconds | kTimeShort, 0, "1mn 1s 250ms"},
        {1.5, kTimeUnits | kTimeMilliseconds, 0, "1500 ms"},
        {1.9996, hms | kTimeMilliseconds, 0, "2 s"},
        {59.9996, hms | kTimeMilliseconds, 0, "1 mn"},
        {0.0015, kTimeUnits | kTimeSeconds | kTimeMicroseconds, 0, "1500 \xB5s"},
        {1.0015, hms | kTimeMilliseconds | kTimeMicroseconds, 0, "1 s 1 ms 500 \xB5s"},
        {-90, hms, 0, "-1 mn 30 s"},
        {90, hms, kNumPlusSign, "+1 mn 30 s"},
        {0.0004, kTimeUnits | kTimeMilliseconds, 0, "0 s"},
        {1.0035, kTimeUnits | kTimeSeconds | kTimeSamples, 0, "1 s 4 smp"},
        {7200, hms, 0, "2 h"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Time(c.seconds * 1000, c.format, kHz, c.flags), c.text) << c.seconds;
    // Leftover samples that round to a whole second carry too.
    EXPECT_EQ(Time(47999.6, kTimeUnits | kTimeSeconds | kTimeSamples, Metrics(48000)), "1 s");
    EXPECT_EQ(
        Time(48168, kTimeUnits | kTimeSeconds | kTimeMilliseconds | kTimeSamples, Metrics(48000)),
        "1 s 3 ms 24 smp");
    // At 1 kHz a leftover sample is a whole millisecond.
    EXPECT_EQ(Time(1003.5, kTimeUnits | kTimeSeconds | kTimeMilliseconds | kTimeSamples, kHz),
              "1 s 4 ms");
    EXPECT_EQ(Time(1e300, kTimeUnits, Metrics(1)).size(), 297u + 2);  // hours, exactly
    // Hours beyond the double's precision leave noise as their rest; the smaller units
    // stay in range instead of growing to hundreds of digits.
    const std::string noise =
        Time(252, kTimeUnits | kTimeMinutes | kTimeSeconds, Metrics(7.3e-304));
    ASSERT_LT(noise.size(), kTimeTextSize);
    const size_t hours = noise.find(" h");
    ASSERT_NE(hours, std::string::npos);
    EXPECT_LE(noise.size() - hours, std::string(" h 59 mn 59 s").size()) << noise;
}

TEST(ValueFormattingTest, Timecode) {
    const TTimeMetrics pal = Metrics(48000, 25);
    struct TCase {
        double seconds;
        int32_t format;
        const char* text;
    };
    const int32_t tc = kTimeTimecode;
    const TCase cases[] = {
        {3723.5, tc, "01:02:03.13"},
        {3723.5, tc | kTimeLabels, "01h 02mn 03s 13fr "},
        {-1, tc, "-00:00:01.00"},
        {1.5, tc | kTimeShort | kTimeLabels, "01s 13fr "},
        {1.5, tc | kTimeShort, "01.13"},
        {61.5, tc | kTimeShort, "01:01.13"},
        {0, tc | kTimeShort, "00"},
        {0, tc | kTimeShort | kTimeLabels, "00s "},
        {3600, tc | kTimeShort, "01:00:00.00"},
        {0.04, tc | kTimeShort, "01"},
        {3723.5, tc | kTimeNoPadding, "1:2:3.13"},
        {59.99, tc, "00:01:00.00"},  // 24.75 frames round up into the next minute
        {3599.99, tc, "01:00:00.00"},
        {1.02, tc | kTimeQuarterFrames, "00:00:01.00.2"},
        {1.02, tc | kTimeHundredths, "00:00:01.00.50"},
        {1.02, tc | kTimeHundredths | kTimeQuarterFrames, "00:00:01.00.50"},
        {1.0399, tc | kTimeHundredths, "00:00:01.00.99"},  // 100 is written 99
        {1.0399, tc | kTimeQuarterFrames, "00:00:01.00.3"},
        {1.02, tc | kTimeHundredths | kTimeLabels, "00h 00mn 01s 00fr 50hf"},
        {1.02, tc | kTimeQuarterFrames | kTimeLabels, "00h 00mn 01s 00fr 2qf"},
        {1.02, tc | kTimeHundredths | kTimeNoPadding, "0:0:1.0.50"},
        {1.5, tc | (1 << kTimeFrameRateShift), "00:00:01.12"},
        {1.5, tc | (4 << kTimeFrameRateShift), "00:00:01.15"},
        {1.5, tc | (5 << kTimeFrameRateShift), "00:00:01.38"},   // 37.5 rounds up
        {1.5, tc | (6 << kTimeFrameRateShift), "00:00:01.500"},  // three digits
        {1.5, tc | (6 << kTimeFrameRateShift) | kTimeNoPadding, "0:0:1.500"},
        {1.5, tc | (3 << kTimeFrameRateShift), "00:00:01.15"},  // 29.97 counts 30
        {1.5, tc | (7 << kTimeFrameRateShift), "00:00:01.13"},  // the metrics' rate
        {360000, tc, "100:00:00.00"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Time(c.seconds * 48000, c.format, pal), c.text) << c.seconds << " " << c.format;
    EXPECT_EQ(Time(48000 * 1.5, tc, Metrics(48000, 8)), "00:00:01.4");  // below 10: no padding
    EXPECT_EQ(Time(48000 * 1.5, tc | kTimeShort, Metrics(48000, 25), kNumPlusSign), "+01.13");
    // A whole frame never shows: frame F is frame 0 of the next second.
    for (double frameRate : {24.0, 25.0, 29.97, 30.0, 75.0}) {
        for (int i = 0; i < 2000; ++i) {
            const std::string text = Time(i * 17.3, tc, Metrics(44100, frameRate));
            const int frames = std::stoi(text.substr(text.rfind('.') + 1));
            ASSERT_LT(frames, int(std::lround(frameRate))) << text;
            ASSERT_EQ(text.substr(6, 2) < "60", true) << text;
        }
    }
}

TEST(ValueFormattingTest, SampleCountsAndMusicalPositions) {
    const TTimeMetrics metrics = Metrics(48000, 25, TMusicTiming(120.0, 480, 4, 4));
    EXPECT_EQ(Time(1234567.5, kTimeSamples, metrics), "1234568");
    EXPECT_EQ(Time(1234567.0, kTimeSamples, metrics, kNumGroupDigits | 3), "1 234 567");
    EXPECT_EQ(Time(-12.0, kTimeSamples | kTimeLabels, metrics), "-12 smp");
    EXPECT_EQ(Time(12.0, kTimeSamples | kTimeMusical, metrics, kNumPlusSign), "+12");
    EXPECT_EQ(Time(12.0, kTimeSamples, Metrics(0)), "12");  // a count needs no rate
    char text[kTimeTextSize];
    TimeToString(int64_t{INT64_MIN}, text, kTimeSamples | kTimeLabels, Metrics(0), kNumGroupDigits);
    EXPECT_STREQ(text, "-9 223 372 036 854 775 808 smp");
    TimeToString(int64_t{9007199254740993}, text, kTimeSamples, Metrics(0), 0);
    EXPECT_STREQ(text, "9007199254740993");  // exact beyond the doubles' 53 bits
    EXPECT_EQ(std::string(TimeToString(int64_t{96000}, kTimeUnits, metrics, 0).c_str()), "2 s");

    // One beat and 120 ticks: 600 ticks at 960 ticks a second.
    const double position = 600.0 / 960.0 * 48000;
    EXPECT_EQ(Time(position, kTimeMusical, metrics), "0:1:120");
    EXPECT_EQ(Time(position, kTimeMusical | kTimeFromOne, metrics), "1:2:120");
    EXPECT_EQ(Time(-position, kTimeMusical, metrics), "-0:1:120");
    EXPECT_EQ(Time(-position, kTimeMusical | kTimeFromOne, metrics), "-0:1:120");
    EXPECT_EQ(Time(position, kTimeMusical, metrics, kNumPlusSign), "+0:1:120");
    EXPECT_EQ(Time(0, kTimeMusical, metrics), "0:0:000");
    EXPECT_EQ(Time(48000 * 2.5, kTimeMusical, metrics), "1:1:000");
    EXPECT_EQ(Time(48000 * 2000.0 * 2, kTimeMusical, metrics), "2 000:0:000");
    struct TCase {
        int32_t ticksPerQuarter;
        const char* text;
    };
    const TCase widths[] = {{8, "0:0:2"},         {12, "0:0:03"},     {99, "0:0:25"},
                            {200, "0:0:050"},     {4000, "0:0:1000"}, {20000, "0:0:05000"},
                            {100000, "0:0:25000"}};
    for (const TCase& c : widths) {
        const TTimeMetrics m = Metrics(48000, 0, TMusicTiming(60.0, c.ticksPerQuarter, 4, 4));
        EXPECT_EQ(Time(12000, kTimeMusical, m), c.text) << c.ticksPerQuarter;
    }
}

TEST(ValueFormattingTest, UnusableRatesWriteNothing) {
    const TTimeMetrics zero = Metrics(0, 0);
    const int32_t formats[] = {kTimeUnits, kTimeTimecode, kTimeMusical,
                               kTimeUnits | kTimeSeconds | kTimeSamples};
    for (int32_t format : formats) {
        for (double rate : {0.0, -48000.0, kNaN, kInf}) {
            EXPECT_EQ(Time(48000, format, Metrics(rate, 25, TMusicTiming(120.0, 480, 4, 4))), "")
                << format << " " << rate;
        }
        EXPECT_EQ(Time(48000, format, zero), "");
    }
    for (double frameRate : {0.0, -25.0, 0.2, kNaN, kInf})
        EXPECT_EQ(Time(48000, kTimeTimecode, Metrics(48000, frameRate)), "") << frameRate;
    EXPECT_EQ(Time(48000, kTimeMusical, Metrics(48000, 25)), "");
    EXPECT_EQ(Time(48000, kTimeMusical, Metrics(48000, 25, TMusicTiming(120.0, 480, 4, 0))), "");
    EXPECT_EQ(Time(48000, 0, Metrics(48000, 25)), "");
    EXPECT_EQ(Time(48000, kTimeMinutes, Metrics(48000, 25)), "");
    // Values that are not finite, and rates too small for the value.
    EXPECT_EQ(Time(kNaN, kTimeTimecode, Metrics(48000, 25)), "nan");
    EXPECT_EQ(Time(-kInf, kTimeUnits, Metrics(48000, 25)), "-inf");
    EXPECT_EQ(Time(kInf, kTimeSamples, zero), "inf");
    EXPECT_EQ(Time(1e300, kTimeUnits, Metrics(1e-300)), "inf");
    EXPECT_EQ(Frequency(440, kTimeUnits, nullptr, 0), "");
    EXPECT_EQ(Frequency(440, kTimeUnits, &zero, 0), "");
}

TEST(ValueFormattingTest, AudioLevels) {
    struct TCase {
        float level;
        int32_t format, flags;
        const char* text;
    };
    const TCase cases[] = {
        {0.0f, kLevelDecibels, 0, "-144 dB"},
        {0.0f, kLevelDecibels, kNumNoUnit, "-144"},
        {-0.5f, kLevelDecibels, 0, "-144 dB"},
        {1.0f, kLevelDecibels, 2, "0 dB"},
        {0.5f, kLevelDecibels, 2, "-6.02 dB"},
        {2.0f, kLevelDecibels, 1 | kNumPlusSign, "+6 dB"},
        {0.5f, kLevelDecibels, 2 | kNumNoUnit, "-6.02"},
        {1.0e-6f, kLevelDecibels, 0, "-120 dB"},
        {0.5f, kLevelPercent, 1, "50 %"},
        {0.5f, kLevelPercent, 1 | kNumNoUnit, "50"},
        {0.1234f, kLevelPercent, 2 | kNumKeepZeros, "12.34 %"},
        {0.5f, kLevelPercent | kLevelDecibels, 2, "-6.02 dB"},
        {1.0f, kLevel16Bit, 0, "32768"},
        {1.0f, kLevel8Bit, 0, "128"},
        {1.0f, kLevel20Bit, kNumGroupDigits, "524 288"},
        {1.0f, 0, 0, "8388608"},
        {-0.5f, 0, 0, "-4194304"},
        {0.5f, 0, kNumPlusSign | 3, "+4194304"},
        {1.0e-8f, 0, kNumPlusSign, "0"},
        {FLT_MAX, 0, 0, "2854495215270736301647340207211686556881387520"},
        {std::numeric_limits<float>::quiet_NaN(), 0, 0, "nan"},
        {std::numeric_limits<float>::quiet_NaN(), kLevelDecibels, 0, "nan dB"},
        {std::numeric_limits<float>::infinity(), kLevelPercent, 0, "inf %"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(Level(c.level, c.format, c.flags), c.text) << c.level << " " << c.format;
}

TEST(ValueFormattingTest, Frequencies) {
    const std::string cents = GetStaticString(18031);
    const TTimeMetrics metrics = Metrics(48000, 25);
    EXPECT_EQ(Frequency(440, kFrequencyHertz, nullptr, 0), "440 Hz");
    EXPECT_EQ(Frequency(440.25, kFrequencyHertz, nullptr, 1 | kNumPlusSign), "+440.3 Hz");
    EXPECT_EQ(Frequency(440, kFrequencyNote, nullptr, 0), "A 3");
    EXPECT_EQ(Frequency(440, kFrequencyNote, nullptr, kNumNoSpace), "A3");
    EXPECT_EQ(Frequency(443, kFrequencyNote, nullptr, 0), "A 3 +12" + cents);
    EXPECT_EQ(Frequency(437, kFrequencyNote, nullptr, 0), "A 3 -12" + cents);
    EXPECT_EQ(Frequency(261.63, kFrequencyNote, nullptr, 0), "C 3");
    EXPECT_EQ(Frequency(8.1758, kFrequencyNote, nullptr, 0), "C -2");
    EXPECT_EQ(Frequency(440 * std::exp2(-0.5 / 12), kFrequencyNote, nullptr, 0),
              "G# 3 +50" + cents);
    EXPECT_EQ(Frequency(440, kFrequencyNote | kFrequencyHertz, nullptr, 0), "440 Hz");
    for (double bad : {0.0, -440.0, kNaN, kInf})
        EXPECT_EQ(Frequency(bad, kFrequencyNote, nullptr, 0), "") << bad;
    EXPECT_EQ(Frequency(kNaN, kFrequencyHertz, nullptr, 0), "nan Hz");
    // The period: one cycle of 1 kHz is 48 samples, 1 ms.
    EXPECT_EQ(Frequency(1000, kTimeSamples, &metrics, 0), "48");
    EXPECT_EQ(Frequency(1000, kTimeUnits | kTimeMilliseconds, &metrics, 0), "1 ms");
    EXPECT_EQ(Frequency(0.5, kTimeUnits | kTimeSeconds, &metrics, 0), "2 s");
    EXPECT_EQ(Frequency(0, kTimeSamples, &metrics, 0), "48000000000");  // at most 1e6 s
    EXPECT_EQ(Frequency(-5, kTimeSamples, &metrics, 0), "48000000000");
    EXPECT_EQ(Frequency(1, kTimeTimecode, &metrics, 0), "00:00:01.00");
    EXPECT_EQ(Frequency(1000, 0, &metrics, 0), "");
}

TEST(ValueFormattingTest, FileSizes) {
    struct TCase {
        int64_t bytes;
        int32_t flags;
        const char* text;
    };
    const TCase cases[] = {
        {999, kNumDecimalUnits, "999 B"},
        {999, kNumDecimalUnits | kNumNoSpace, "999B"},
        {1000, kNumDecimalUnits | kNumNoSpace, "1kB"},
        {1000, kNumDecimalUnits | kNumKeepZeros, "1.00 kB"},
        {1536000, kNumDecimalUnits, "1.54 MB"},
        {1536000, kNumDecimalUnits | kNumGroupDigits | kNumPlusSign, "1.54 MB"},
        {2500000000, kNumDecimalUnits, "2.5 GB"},
        {7000000000000, kNumDecimalUnits, "7 TB"},
        {INT64_MAX, kNumDecimalUnits, "9223372.04 TB"},
        {-5, kNumDecimalUnits, "-5 B"},
        {0, kNumDecimalUnits, "0 B"},
        {1234567, 0, "1 234 567 bytes"},
        {0, 0, "0 bytes"},
        {INT64_MIN, kNumPlusSign, "-9 223 372 036 854 775 808 bytes"},
    };
    for (const TCase& c : cases) EXPECT_EQ(FileSize(c.bytes, c.flags), c.text) << c.bytes;
    EXPECT_LT(FileSize(INT64_MIN, 0).size(), kFileSizeTextSize);

    EXPECT_STREQ(ByteSizeToString(1536).c_str(), "1.50 KB");
    EXPECT_STREQ(ByteSizeToString(512).c_str(), "512.00 B");
    EXPECT_STREQ(ByteSizeToString(3 * 1048576.0).c_str(), "3.00 MB");
    EXPECT_STREQ(ByteSizeToString(1.5 * 1073741824.0).c_str(), "1.50 GB");
    EXPECT_STREQ(ByteSizeToString(-1).c_str(), "-1.00 B");
}

TEST(ValueFormattingTest, LongestTextsFitTheirRoom) {
    const int32_t everyUnit = kTimeUnits | kTimeMinutes | kTimeSeconds | kTimeMilliseconds |
                              kTimeMicroseconds | kTimeSamples;
    const int32_t fullTimecode = kTimeTimecode | kTimeHundredths | kTimeLabels;
    const TTimeMetrics extremes[] = {Metrics(1, DBL_MAX), Metrics(1e-300, 1e300),
                                     Metrics(DBL_MAX, 1), Metrics(1e6, 1e6),
                                     Metrics(2.2e-308, 0.6)};
    size_t longest = 0;
    for (const TTimeMetrics& metrics : extremes) {
        for (double value : {DBL_MAX, -DBL_MAX, 1e300, 3.7e305, 1e-300, 123456.789}) {
            for (int32_t format :
                 {everyUnit, everyUnit | kTimeShort, fullTimecode, kTimeSamples | kTimeLabels}) {
                longest = std::max(longest, Time(value, format, metrics, 0x3F).size());
                longest =
                    std::max(longest, Frequency(value, format, &metrics, kNumPlusSign).size());
            }
        }
    }
    EXPECT_LT(longest, kTimeTextSize);
    EXPECT_GT(longest, 400u);
    EXPECT_LT(Level(FLT_MAX, kLevelPercent, 0x3F | kNumKeepZeros).size(), kLevelTextSize);
}
