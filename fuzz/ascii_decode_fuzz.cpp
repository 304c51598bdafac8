// ASCII decoding of arbitrary characters into a buffer of exactly the announced size
// (the sanitizers see any read or write outside), and encoding round trips.
#include <commonvcqx/text/AsciiEncoding.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 16) return 0;
    std::unique_ptr<unsigned char[]> in(new unsigned char[size]);
    std::memcpy(in.get(), data, size);
    int32_t decoded = ComputeAsciiDecodedSize(in.get(), int32_t(size));
    if (decoded < 0 || size_t(decoded) > size) std::abort();
    std::unique_ptr<unsigned char[]> out(new unsigned char[size_t(decoded)]);
    if (AsciiDecode(in.get(), out.get(), int32_t(size)) != decoded) std::abort();

    int32_t encodedSize = ComputeAsciiEncodedSize(int32_t(size));
    std::unique_ptr<unsigned char[]> encoded(new unsigned char[size_t(encodedSize)]);
    if (AsciiEncode(in.get(), encoded.get(), int32_t(size)) != encodedSize) std::abort();
    for (int32_t i = 0; i < encodedSize; ++i)
        if (encoded[i] < '!' || encoded[i] > '`') std::abort();
    std::unique_ptr<unsigned char[]> back(new unsigned char[size]);
    if (ComputeAsciiDecodedSize(encoded.get(), encodedSize) != int32_t(size) ||
        AsciiDecode(encoded.get(), back.get(), encodedSize) != int32_t(size) ||
        std::memcmp(back.get(), in.get(), size) != 0)
        std::abort();
    return 0;
}
