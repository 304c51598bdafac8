// Default message-box handler and trace sink, and their replacement.
#include <commonvcqx/platform/MessageBoxHandler.h>
#include <commonvcqx/platform/TraceSink.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

int WriteBoxToStandardError(const char* text, const char* caption, UINT type) {
    std::fprintf(stderr, "[%s] %s\n", caption, text);
    return DefaultMessageBoxAnswer(type);
}

void WriteLineToStandardError(const char* line) {
    std::fprintf(stderr, "%s\n", line);
}

std::atomic<TMessageBoxHandler> messageBoxHandler{&WriteBoxToStandardError};
std::atomic<TTraceSink> traceSink{&WriteLineToStandardError};

}  // namespace

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler handler) {
    return messageBoxHandler.exchange(handler ? handler : &WriteBoxToStandardError);
}

int ShowMessageBox(const char* text, const char* caption, UINT type) {
    return messageBoxHandler.load()(text ? text : "", caption ? caption : "", type);
}

int DefaultMessageBoxAnswer(UINT type) {
    static constexpr int kButtons[][3] = {
        {IDOK, 0, 0},                       // MB_OK
        {IDOK, IDCANCEL, 0},                // MB_OKCANCEL
        {IDABORT, IDRETRY, IDIGNORE},       // MB_ABORTRETRYIGNORE
        {IDYES, IDNO, IDCANCEL},            // MB_YESNOCANCEL
        {IDYES, IDNO, 0},                   // MB_YESNO
        {IDRETRY, IDCANCEL, 0},             // MB_RETRYCANCEL
        {IDCANCEL, IDTRYAGAIN, IDCONTINUE}  // MB_CANCELTRYCONTINUE
    };
    UINT kind = type & MB_TYPEMASK;
    if (kind >= std::size(kButtons)) kind = MB_OK;
    UINT button = (type & MB_DEFMASK) >> 8;
    if (button > 2 || kButtons[kind][button] == 0) button = 0;
    return kButtons[kind][button];
}

TTraceSink SetTraceSink(TTraceSink sink) {
    return traceSink.exchange(sink ? sink : &WriteLineToStandardError);
}

void TraceLine(const char* text) {
    if (!text) text = "";
    size_t length = std::strlen(text);
    if (length == 0 || text[length - 1] != '\n') {
        traceSink.load()(text);
        return;
    }
    std::string line(text, length - 1);
    traceSink.load()(line.c_str());
}
