// TString on byte streams: one of the few places where text reaches up to the
// streams built of it (see ARCHITECTURE.md).
#include <commonvcqx/streams/InputStream.h>
#include <commonvcqx/streams/OutputStream.h>
#include <commonvcqx/text/String.h>

void TString::Write(TOutputStream& out) const {
    out.WriteString(*this, 1);
}

void TString::Read(TInputStream& in) {
    *this = in.ReadString();
}
