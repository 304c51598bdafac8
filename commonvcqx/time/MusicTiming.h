// commonvcqx/time/MusicTiming.h
//
// TMusicTiming: a tempo and a time signature, and the conversions between seconds and
// zero-based measure/beat/tick positions. NoteToFrequency and FrequencyToNote convert
// between frequencies and note names numbered from A (0 = A ... 11 = G#), with A of
// octave 3 at 440 Hz and octaves changing at C.
//
//   TMusicTiming timing(120.0, 480, 4, 4);
//   int32_t measure, beat, tick;
//   timing.TimeToMeasure(2.5, &measure, &beat, &tick);   // 1, 1, 0
//   double seconds = timing.MeasureToTime(1, 1, 0);      // 2.5
//   double a = NoteToFrequency(0, 3, 0);                 // 440
//
// A timing is usable once its tempo, ticks per quarter, beats per measure and beat
// width make positive ticks per beat and per measure (IsUsable). The default timing
// (all zero), or one restored from a document that stored zeros, is not: the
// conversions then give zero positions and zero seconds instead of dividing by zero.
#pragma once

#include <cstdint>

class TTaggedOutputStream;
class TTaggedInputStream;

class TMusicTiming {
public:
    TMusicTiming() noexcept = default;
    TMusicTiming(double quartersPerMinute, int32_t resolution, int32_t numerator,
                 int32_t denominator) noexcept
        : tempo(quartersPerMinute),
          ticksPerQuarter(resolution),
          beatsPerMeasure(numerator),
          beatWidth(denominator) {}

    /// Ticks per quarter × tempo / 60.
    double TicksPerSecond() const noexcept;
    /// Ticks per quarter × 4 / beat width (integer division); 0 for a zero beat width.
    int32_t TicksPerBeat() const noexcept;
    /// TicksPerBeat × beats per measure (wrapping as 32-bit arithmetic does).
    int32_t TicksPerMeasure() const noexcept;
    /// True when the tempo is positive and finite and the ticks per beat and per
    /// measure are positive.
    bool IsUsable() const noexcept;

    /// Seconds to a zero-based position; negative times give negative measures with a
    /// beat and tick inside the measure. Each output may be null. Measures beyond the
    /// 32-bit range saturate; an unusable timing or a non-finite time gives 0, 0, 0.
    void TimeToMeasure(double seconds, int32_t* measure, int32_t* beat,
                       int32_t* tick) const noexcept;
    /// A zero-based position to seconds; 0 for an unusable timing.
    double MeasureToTime(int32_t measure, int32_t beat, int32_t tick) const noexcept;

    /// The group (name, index) with "tp", "ti", "bm" and "bw"; the stream returns to
    /// the group it was in.
    void WriteState(TTaggedOutputStream& out, int32_t id, const char* name, int index) const;
    /// Reads the group, each value defaulting to its current one; false (and nothing
    /// changed) when the group is absent.
    char RestoreState(TTaggedInputStream& in, int32_t id, const char* name, int index);

    bool operator==(const TMusicTiming&) const noexcept = default;

    double tempo = 0.0;           ///< Quarter notes per minute.
    int32_t ticksPerQuarter = 0;  ///< Resolution.
    int32_t beatsPerMeasure = 0;  ///< Numerator of the time signature.
    int32_t beatWidth = 0;        ///< Denominator: 4 for a quarter-note beat, 8 for an eighth.
};

/// The frequency of `note` (0 = A ... 11 = G#) in `octave`, raised by `cents`.
double NoteToFrequency(int note, int octave, int cents) noexcept;

/// The nearest note of `frequency`, its octave and the cents (-49 to +50) from it; a
/// frequency exactly between two notes belongs to the lower one at +50. Each output
/// may be null. False, and the outputs untouched, for a frequency that is not positive
/// and finite.
bool FrequencyToNote(double frequency, int* note, int* octave, int* cents) noexcept;
