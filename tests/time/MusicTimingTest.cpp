// TMusicTiming and the note functions: the derived resolutions, positions round-tripping
// across tempi and signatures, unusable timings, notes and their boundaries, storage.
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/time/MusicTiming.h>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(MusicTimingTest, DerivedResolutions) {
    struct TCase {
        TMusicTiming timing;
        double perSecond;
        int32_t perBeat, perMeasure;
    };
    const TCase cases[] = {
        {{120.0, 480, 4, 4}, 960.0, 480, 1920},
        {{120.0, 480, 6, 8}, 960.0, 240, 1440},
        {{90.0, 96, 3, 2}, 144.0, 192, 576},
        {{60.0, 5, 7, 3}, 5.0, 6, 42},  // integer division of the beat
        {{}, 0.0, 0, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.perMeasure);
        EXPECT_DOUBLE_EQ(c.timing.TicksPerSecond(), c.perSecond);
        EXPECT_EQ(c.timing.TicksPerBeat(), c.perBeat);
        EXPECT_EQ(c.timing.TicksPerMeasure(), c.perMeasure);
    }
}

TEST(MusicTimingTest, TimeToMeasureTable) {
    struct TCase {
        TMusicTiming timing;
        double seconds;
        int32_t measure, beat, tick;
    };
    const TCase cases[] = {
        {{120.0, 480, 4, 4}, 2.5, 1, 1, 0},
        {{120.0, 480, 4, 4}, 0.0, 0, 0, 0},
        {{120.0, 480, 4, 4}, 0.625, 0, 1, 120},
        {{120.0, 480, 4, 4}, 1.9999, 1, 0, 0},  // 1919.9 ticks round to the next measure
        {{120.0, 480, 4, 4}, -0.5, -1, 3, 0},   // floor, not truncation
        {{120.0, 480, 6, 8}, 1.5, 1, 0, 0},
        {{100.0, 960, 3, 4}, 1.8, 1, 0, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.seconds);
        int32_t measure = -7, beat = -7, tick = -7;
        c.timing.TimeToMeasure(c.seconds, &measure, &beat, &tick);
        EXPECT_EQ(measure, c.measure);
        EXPECT_EQ(beat, c.beat);
        EXPECT_EQ(tick, c.tick);
    }
    int32_t measure, beat, tick;
    EXPECT_DOUBLE_EQ(TMusicTiming(120.0, 480, 4, 4).MeasureToTime(1, 1, 0), 2.5);
    TMusicTiming(120.0, 480, 4, 4).TimeToMeasure(-0.0005, &measure, &beat, &tick);
    EXPECT_EQ(measure, 0);  // -0.48 ticks rounds to 0
    EXPECT_EQ(tick, 0);
    TMusicTiming(120.0, 480, 4, 4).TimeToMeasure(-0.001, &measure, &beat, &tick);
    EXPECT_EQ(measure, -1);
    EXPECT_EQ(beat, 3);
    EXPECT_EQ(tick, 479);
    TMusicTiming(120.0, 480, 4, 4).TimeToMeasure(1.0, nullptr, &beat, nullptr);
    EXPECT_EQ(beat, 2);
}

TEST(MusicTimingTest, PositionsRoundTripAcrossTempiAndSignatures) {
    const double tempi[] = {40.0, 60.0, 97.5, 120.0, 133.3, 240.0};
    const int32_t resolutions[] = {24, 96, 480, 960, 1000};
    const int32_t signatures[][2] = {{4, 4}, {3, 4}, {6, 8}, {7, 8}, {2, 2}, {5, 16}};
    for (double tempo : tempi) {
        for (int32_t resolution : resolutions) {
            for (const auto& signature : signatures) {
                const TMusicTiming timing(tempo, resolution, signature[0], signature[1]);
                ASSERT_TRUE(timing.IsUsable());
                for (int32_t measure : {-3, 0, 1, 17, 1000}) {
                    for (int32_t beat = 0; beat < signature[0]; beat += 2) {
                        for (int32_t tick : {0, 1, timing.TicksPerBeat() - 1}) {
                            const double seconds = timing.MeasureToTime(measure, beat, tick);
                            int32_t m, b, t;
                            timing.TimeToMeasure(seconds, &m, &b, &t);
                            ASSERT_EQ(m, measure) << tempo << " " << resolution;
                            ASSERT_EQ(b, beat);
                            ASSERT_EQ(t, tick);
                        }
                    }
                }
            }
        }
    }
}

TEST(MusicTimingTest, UnusableTimingsGiveZerosInsteadOfDividing) {
    const TMusicTiming timings[] = {
        {},
        {120.0, 480, 4, 0},
        {120.0, 480, 0, 4},
        {0.0, 480, 4, 4},
        {-120.0, 480, 4, 4},
        {std::numeric_limits<double>::quiet_NaN(), 480, 4, 4},
        {120.0, 1, 4, 8},  // 4 / 8 ticks per beat is 0
        {120.0, 0, 4, 4},
        {120.0, 480, 4, -4},
        {120.0, 1 << 29, 1 << 10, 1},  // ticks per measure beyond 32 bits
    };
    for (const TMusicTiming& timing : timings) {
        SCOPED_TRACE(timing.beatWidth);
        EXPECT_FALSE(timing.IsUsable());
        int32_t measure = 9, beat = 9, tick = 9;
        timing.TimeToMeasure(12.0, &measure, &beat, &tick);
        EXPECT_EQ(measure, 0);
        EXPECT_EQ(beat, 0);
        EXPECT_EQ(tick, 0);
        EXPECT_EQ(timing.MeasureToTime(3, 1, 2), 0.0);
    }
    const TMusicTiming timing(120.0, 480, 4, 4);
    int32_t measure = 9, beat = 9, tick = 9;
    for (double seconds :
         {std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}) {
        timing.TimeToMeasure(seconds, &measure, &beat, &tick);
        EXPECT_EQ(measure, 0);
    }
    timing.TimeToMeasure(1e300, &measure, &beat, &tick);
    EXPECT_EQ(measure, INT32_MAX);
    timing.TimeToMeasure(-1e300, &measure, &beat, &tick);
    EXPECT_EQ(measure, INT32_MIN);
}

TEST(MusicTimingTest, NotesAndFrequencies) {
    EXPECT_DOUBLE_EQ(NoteToFrequency(0, 3, 0), 440.0);
    EXPECT_NEAR(NoteToFrequency(3, 3, 0), 261.6256, 1e-4);
    EXPECT_NEAR(NoteToFrequency(0, 3, 100), 466.1638, 1e-4);
    EXPECT_NEAR(NoteToFrequency(2, 3, 0), 493.8833, 1e-4);   // B3 above A3
    EXPECT_NEAR(NoteToFrequency(11, 3, 0), 415.3047, 1e-4);  // G#3 below A3
    EXPECT_NEAR(NoteToFrequency(0, 4, 0), 880.0, 1e-9);
    EXPECT_NEAR(NoteToFrequency(-12, 4, 0), 440.0, 1e-9);  // classes are taken modulo 12

    struct TCase {
        double frequency;
        int note, octave, cents;
    };
    const TCase cases[] = {
        {440.0, 0, 3, 0},
        {261.63, 3, 3, 0},
        {440.0 * std::exp2(0.5 / 12), 0, 3, 50},    // halfway up: the lower note +50
        {440.0 * std::exp2(-0.5 / 12), 11, 3, 50},  // halfway down: G# +50
        {443.0, 0, 3, 12},
        {880.0, 0, 4, 0},
        {27.5, 0, -1, 0},
        {16.3516, 3, -1, 0},
        {8.1758, 3, -2, 0},
        {437.0, 0, 3, -12},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.frequency);
        int note = -1, octave = -1, cents = -1;
        ASSERT_TRUE(FrequencyToNote(c.frequency, &note, &octave, &cents));
        EXPECT_EQ(note, c.note);
        EXPECT_EQ(octave, c.octave);
        EXPECT_EQ(cents, c.cents);
    }
    // Every note and octave comes back from its own frequency.
    for (int octave = -2; octave <= 9; ++octave) {
        for (int note = 0; note < 12; ++note) {
            int n, o, c;
            ASSERT_TRUE(FrequencyToNote(NoteToFrequency(note, octave, 20), &n, &o, &c));
            EXPECT_EQ(n, note);
            EXPECT_EQ(o, octave);
            EXPECT_EQ(c, 20);
        }
    }
    int note = 5;
    for (double bad : {0.0, -440.0, std::numeric_limits<double>::infinity(),
                       std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_FALSE(FrequencyToNote(bad, &note, nullptr, nullptr));
        EXPECT_EQ(note, 5);
    }
    EXPECT_TRUE(
        FrequencyToNote(std::numeric_limits<double>::denorm_min(), nullptr, nullptr, nullptr));
    EXPECT_TRUE(FrequencyToNote(std::numeric_limits<double>::max(), &note, nullptr, nullptr));
}

TEST(MusicTimingTest, StoresItsGroupAndKeepsValuesThatAreAbsent) {
    TTaggedOutputStream out(1, "doc", 1);
    out.MoveDown("Song", 0);
    TMusicTiming(97.5, 960, 7, 8).WriteState(out, 0, "Timing", 2);
    out.SetValue(int32_t{5}, "After", 0);  // back in "Song"
    out.MoveDown("Partial", 0);
    out.SetValue(int32_t{3}, "bm", 0);
    out.CloseWriting();

    TTaggedInputStream in(1, const_cast<char*>(out.GetStart()), int32_t(out.GetSize()), 0);
    ASSERT_TRUE(in.MoveDown("Song", 0));
    TMusicTiming timing;
    EXPECT_TRUE(timing.RestoreState(in, 0, "Timing", 2));
    EXPECT_EQ(timing, TMusicTiming(97.5, 960, 7, 8));
    EXPECT_EQ(in.GetValue(int32_t{0}, "After", 0), 5);
    TMusicTiming absent(1.0, 2, 3, 4);
    EXPECT_FALSE(absent.RestoreState(in, 0, "Timing", 0));
    EXPECT_EQ(absent, TMusicTiming(1.0, 2, 3, 4));
    EXPECT_EQ(in.GetValue(int32_t{0}, "After", 0), 5);
    TMusicTiming partial(1.0, 2, 9, 4);
    EXPECT_TRUE(partial.RestoreState(in, 0, "Partial", 0));
    EXPECT_EQ(partial, TMusicTiming(1.0, 2, 3, 4));
}
