// Musical positions computed in doubles so that long times and large resolutions
// neither overflow nor reach an integer conversion unchecked.
#include <commonvcqx/time/MusicTiming.h>

#include <commonvcqx/base/CheckedArithmetic.h>
#include <commonvcqx/geometry/NumericFunctions.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>

#include <algorithm>
#include <cmath>

double TMusicTiming::TicksPerSecond() const noexcept {
    return ticksPerQuarter * tempo / 60.0;
}

int32_t TMusicTiming::TicksPerBeat() const noexcept {
    if (beatWidth == 0) return 0;
    return cvq::WrapToInt32(int64_t{ticksPerQuarter} * 4 / beatWidth);
}

int32_t TMusicTiming::TicksPerMeasure() const noexcept {
    return cvq::WrapMultiply32(TicksPerBeat(), beatsPerMeasure);
}

bool TMusicTiming::IsUsable() const noexcept {
    const int64_t perMeasure = cvq::WideMultiply(TicksPerBeat(), beatsPerMeasure);
    return tempo > 0 && std::isfinite(tempo) && ticksPerQuarter > 0 && TicksPerBeat() > 0 &&
           perMeasure > 0 && cvq::FitsInt32(perMeasure);
}

void TMusicTiming::TimeToMeasure(double seconds, int32_t* measure, int32_t* beat,
                                 int32_t* tick) const noexcept {
    double wholeMeasures = 0, beats = 0, ticks = 0;
    const double total = RoundToClosestInteger(ticksPerQuarter * tempo * seconds / 60.0);
    if (IsUsable() && std::isfinite(total)) {
        const double perBeat = TicksPerBeat();
        const double perMeasure = TicksPerMeasure();
        wholeMeasures = std::floor(total / perMeasure);
        // Far from zero the subtraction is inexact; keep the rest inside its measure.
        const double rest = std::clamp(total - perMeasure * wholeMeasures, 0.0, perMeasure - 1);
        beats = std::clamp(std::floor(rest / perBeat), 0.0, double(beatsPerMeasure - 1));
        ticks = std::clamp(RoundToClosestInteger(rest - perBeat * beats), 0.0, perBeat - 1);
    }
    if (measure) *measure = cvq::SaturatingCast<int32_t>(wholeMeasures);
    if (beat) *beat = int32_t(beats);
    if (tick) *tick = int32_t(ticks);
}

double TMusicTiming::MeasureToTime(int32_t measure, int32_t beat, int32_t tick) const noexcept {
    if (!IsUsable()) return 0.0;
    const double perBeat = TicksPerBeat();
    const double ticks = perBeat * beatsPerMeasure * measure + perBeat * beat + tick;
    return ticks / ticksPerQuarter / tempo * 60.0;
}

void TMusicTiming::WriteState(TTaggedOutputStream& out, int32_t, const char* name,
                              int index) const {
    TTaggedStream::TAutoPosition keep(out);
    out.MoveDown(name, index);
    out.SetValue(tempo, "tp", 0);
    out.SetValue(ticksPerQuarter, "ti", 0);
    out.SetValue(beatsPerMeasure, "bm", 0);
    out.SetValue(beatWidth, "bw", 0);
}

char TMusicTiming::RestoreState(TTaggedInputStream& in, int32_t, const char* name, int index) {
    TTaggedStream::TAutoPosition keep(in);
    if (!in.MoveDown(name, index)) return 0;
    tempo = in.GetValue(tempo, "tp", 0);
    ticksPerQuarter = in.GetValue(ticksPerQuarter, "ti", 0);
    beatsPerMeasure = in.GetValue(beatsPerMeasure, "bm", 0);
    beatWidth = in.GetValue(beatWidth, "bw", 0);
    return 1;
}

double NoteToFrequency(int note, int octave, int cents) noexcept {
    const int noteClass = cvq::FloorModulo(note, 12);
    // Octaves change at C: A, A# and B sit above the C of their octave.
    const double offset = noteClass <= 2 ? 12.0 * octave - 36 : 12.0 * octave - 48;
    return 440.0 * std::exp2((note + offset + cents * 0.01) / 12.0);
}

bool FrequencyToNote(double frequency, int* note, int* octave, int* cents) noexcept {
    if (!(frequency > 0) || !std::isfinite(frequency)) return false;
    // log2 of the quotient would underflow for the smallest frequencies.
    const double fromA = RoundToClosestInteger(1200.0 * (std::log2(frequency) - std::log2(440.0)));
    int32_t semitones = int32_t(RoundToClosestInteger(fromA * 0.01));
    int32_t rest = int32_t(fromA) - 100 * semitones;
    if (rest == -50) {
        --semitones;
        rest = 50;
    }
    if (note) *note = cvq::FloorModulo(semitones, 12);
    if (octave) *octave = cvq::FloorDivide(semitones + 9, 12) + 3;
    if (cents) *cents = rest;
    return true;
}
