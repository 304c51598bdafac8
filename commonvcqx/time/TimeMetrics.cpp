#include <commonvcqx/time/TimeMetrics.h>

#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>

void TTimeMetrics::WriteState(TTaggedOutputStream& out, int32_t id, const char* name,
                              int index) const {
    TTaggedStream::TAutoPosition keep(out);
    out.MoveDown(name, index);
    out.SetValue(sampleRate, "sr", 0);
    out.SetValue(frameRate, "fs", 0);
    timing.WriteState(out, id, "tm", 0);
}

char TTimeMetrics::RestoreState(TTaggedInputStream& in, int32_t id, const char* name, int index) {
    TTaggedStream::TAutoPosition keep(in);
    if (!in.MoveDown(name, index)) return 0;
    sampleRate = in.GetValue(44100.0, "sr", 0);
    frameRate = in.GetValue(30.0, "fs", 0);
    timing.RestoreState(in, id, "tm", 0);
    return 1;
}
