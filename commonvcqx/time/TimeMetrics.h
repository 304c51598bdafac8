// commonvcqx/time/TimeMetrics.h
//
// TTimeMetrics: the rates that turn a position in samples into seconds, video frames
// and musical measures: a sample rate, a frame rate and a TMusicTiming. The value
// formatting functions (text/ValueFormatting.h) read it.
//
//   TTimeMetrics metrics(48000);          // 48 kHz, no frame rate, no timing yet
//   metrics.frameRate = 25.0;
//   metrics.timing = TMusicTiming(120.0, 480, 4, 4);
//   metrics.WriteState(out, 0, "Metrics", 0);
#pragma once

#include <commonvcqx/time/MusicTiming.h>

#include <cstdint>

class TTaggedOutputStream;
class TTaggedInputStream;

class TTimeMetrics {
public:
    /// Every rate zero.
    TTimeMetrics() noexcept = default;
    /// The given sample rate, the rest zero.
    explicit TTimeMetrics(int32_t rate) noexcept : sampleRate(rate) {}

    /// The group (name, index) with "sr", "fs" and the timing as group "tm"; the stream
    /// returns to the group it was in.
    void WriteState(TTaggedOutputStream& out, int32_t id, const char* name, int index) const;
    /// Reads the group: a missing "sr" gives 44 100, a missing "fs" 30, a missing "tm"
    /// keeps the timing. False (and nothing changed) when the group is absent. The rates
    /// are taken as stored, zeros included; the formatters write nothing for them.
    char RestoreState(TTaggedInputStream& in, int32_t id, const char* name, int index);

    bool operator==(const TTimeMetrics&) const noexcept = default;

    double sampleRate = 0.0;  ///< Samples per second.
    double frameRate = 0.0;   ///< Video frames per second.
    TMusicTiming timing;      ///< Tempo and time signature.
};
