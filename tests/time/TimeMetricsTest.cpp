// TTimeMetrics: construction, storage with its exact tags and the defaults of a
// restored group.
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/time/TimeMetrics.h>

#include <gtest/gtest.h>

TEST(TimeMetricsTest, ConstructorsSetOnlyTheSampleRate) {
    EXPECT_EQ(TTimeMetrics(), TTimeMetrics(0));
    const TTimeMetrics metrics(48000);
    EXPECT_EQ(metrics.sampleRate, 48000.0);
    EXPECT_EQ(metrics.frameRate, 0.0);
    EXPECT_EQ(metrics.timing, TMusicTiming());
}

TEST(TimeMetricsTest, RoundTripsWithItsTags) {
    TTimeMetrics metrics(96000);
    metrics.frameRate = 29.97;
    metrics.timing = TMusicTiming(133.0, 480, 6, 8);
    TTaggedOutputStream out(1, "doc", 1);
    metrics.WriteState(out, 7, "M", 1);
    out.SetValue(int32_t{1}, "Root", 0);
    out.CloseWriting();

    TTaggedInputStream in(1, const_cast<char*>(out.GetStart()), int32_t(out.GetSize()), 0);
    TTimeMetrics back;
    EXPECT_TRUE(back.RestoreState(in, 7, "M", 1));
    EXPECT_EQ(back, metrics);
    EXPECT_EQ(in.GetValue(int32_t{0}, "Root", 0), 1);  // returned to the root
    // The stored layout: "M1" holds "sr", "fs" and the group "tm" with the timing.
    ASSERT_TRUE(in.MoveDown("M", 1));
    ASSERT_TRUE(in.MoveDown("tm", 0));
    EXPECT_EQ(in.GetValue(0.0, "tp", 0), 133.0);
    EXPECT_EQ(in.GetValue(int32_t{0}, "ti", 0), 480);
    EXPECT_EQ(in.GetValue(int32_t{0}, "bm", 0), 6);
    EXPECT_EQ(in.GetValue(int32_t{0}, "bw", 0), 8);
    in.MoveUp();
    EXPECT_EQ(in.GetValue(0.0, "sr", 0), 96000.0);
    EXPECT_EQ(in.GetValue(0.0, "fs", 0), 29.97);
}

TEST(TimeMetricsTest, RestoreDefaultsAndAbsentGroups) {
    TTaggedOutputStream out(1, "doc", 1);
    out.MoveDown("Empty", 0);
    out.MoveUp();
    out.MoveDown("Zeros", 0);
    out.SetValue(0.0, "sr", 0);
    out.SetValue(0.0, "fs", 0);
    out.CloseWriting();

    TTaggedInputStream in(1, const_cast<char*>(out.GetStart()), int32_t(out.GetSize()), 0);
    TTimeMetrics metrics(8000);
    metrics.timing = TMusicTiming(120.0, 480, 4, 4);
    EXPECT_TRUE(metrics.RestoreState(in, 0, "Empty", 0));
    EXPECT_EQ(metrics.sampleRate, 44100.0);
    EXPECT_EQ(metrics.frameRate, 30.0);
    EXPECT_EQ(metrics.timing, TMusicTiming(120.0, 480, 4, 4));

    TTimeMetrics untouched(22050);
    EXPECT_FALSE(untouched.RestoreState(in, 0, "Missing", 0));
    EXPECT_EQ(untouched, TTimeMetrics(22050));

    EXPECT_TRUE(metrics.RestoreState(in, 0, "Zeros", 0));
    EXPECT_EQ(metrics.sampleRate, 0.0);  // kept as stored; the formatters refuse it
    EXPECT_EQ(metrics.frameRate, 0.0);
}
