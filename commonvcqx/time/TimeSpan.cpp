// TTimeSpan's storage and its format expansion.
#include <commonvcqx/time/TimeSpan.h>

#include <commonvcqx/base/BoundedText.h>
#include <commonvcqx/streams/InputStream.h>
#include <commonvcqx/streams/OutputStream.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>

void TTimeSpan::Write(TOutputStream& out) const {
    out.Write(m_span);
}

void TTimeSpan::Read(TInputStream& in) {
    in.Read(&m_span, 1);
}

void TTimeSpan::WriteState(TTaggedOutputStream& out, int32_t, const char* name, int index) const {
    out.SetValue(m_span, name, index);
}

char TTimeSpan::RestoreState(TTaggedInputStream& in, int32_t, const char* name, int index) {
    m_span = in.GetValue(int32_t{0}, name, index);
    return 1;
}

TString TTimeSpan::ConvertToString(const char* format) const {
    char buffer[256];
    cvq::TBoundedText text(buffer);
    const char* p = format ? format : "";
    while (*p != '\0' && !text.Truncated()) {
        const char c = *p++;
        if (c != '%') {
            text.Append(c);
            continue;
        }
        const char directive = *p;
        if (directive == '\0') break;
        ++p;
        switch (directive) {
            case 'D':
                text.AppendInteger(GetDays());
                break;
            case 'H':
                text.AppendInteger(GetHours(), 2);
                break;
            case 'M':
                text.AppendInteger(GetMinutes(), 2);
                break;
            case 'S':
                text.AppendInteger(GetSeconds(), 2);
                break;
            default:
                text.Append(directive);
                break;
        }
    }
    return TString(TSubString::Create(buffer, uint32_t(text.Length())));
}
