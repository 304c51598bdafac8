#include <commonvcqx/streams/OutputStream.h>

#include <commonvcqx/text/String.h>

#include <cstring>

uint32_t TOutputStream::WriteBytes(char fill, uint32_t n) {
    if (n == 0) return GetCurrentPosition();
    char block[128];
    std::memset(block, fill, sizeof block);
    uint32_t result = 0;
    while (n > 0) {
        const uint32_t piece = n < sizeof block ? n : uint32_t(sizeof block);
        result = WriteData(block, piece);
        n -= piece;
    }
    return result;
}

uint32_t TOutputStream::WriteString(const char* text, char withNul) {
    if (!text) text = "";
    // The NUL after the characters is the one written.
    return WriteData(text, uint32_t(std::strlen(text)) + (withNul ? 1 : 0));
}

uint32_t TOutputStream::WriteString(const TString& text, char withNul) {
    return WriteData(text.c_str(), text.GetLength() + (withNul ? 1 : 0));
}

uint32_t TOutputStream::WriteLine(const char* text) {
    if (!text) text = "";
    static const char kCr = 13, kLf = 10;
    WriteData(text, uint32_t(std::strlen(text)));
    WriteData(&kCr, 1);
    return WriteData(&kLf, 1);
}

uint32_t TOutputStream::WriteLine(const TString& text) {
    static const char kCr = 13, kLf = 10;
    WriteData(text.c_str(), text.GetLength());
    WriteData(&kCr, 1);
    return WriteData(&kLf, 1);
}
