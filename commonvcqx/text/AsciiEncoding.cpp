// commonvcqx/text/AsciiEncoding.cpp
#include <commonvcqx/text/AsciiEncoding.h>

namespace {

constexpr int32_t kLineBytes = 60;

unsigned SixBits(unsigned char c) noexcept {
    return unsigned(c - 33) & 63;
}

// Walks the lines of `length` characters; `sink(group, count)` receives each group's
// four characters and how many bytes of it count. Stops at a group cut short, so no
// character past `length` is ever read. Returns the byte total.
template <class Sink>
int32_t WalkLines(const unsigned char* encoded, int32_t length, Sink sink) {
    int32_t pos = 0;
    int32_t total = 0;
    while (pos < length) {
        int32_t n = int32_t(SixBits(encoded[pos++]));
        for (int32_t left = n; left > 0; left -= 3) {
            if (length - pos < 4) return total;
            int32_t count = left < 3 ? left : 3;
            sink(encoded + pos, count);
            total += count;
            pos += 4;
        }
    }
    return total;
}

}  // namespace

int32_t ComputeAsciiEncodedSize(int32_t size) {
    if (size <= 0) return 0;
    int32_t rest = size % kLineBytes;
    return size / kLineBytes * 81 + (rest ? 4 * ((rest + 2) / 3) + 1 : 0);
}

int32_t AsciiEncode(const unsigned char* source, unsigned char* target, int32_t size) {
    unsigned char* out = target;
    for (int32_t done = 0; done < size;) {
        int32_t n = size - done < kLineBytes ? size - done : kLineBytes;
        *out++ = static_cast<unsigned char>(n + 33);
        for (int32_t i = 0; i < n; i += 3) {
            // The last group of the data is padded with zero bytes.
            unsigned a = source[done + i];
            unsigned b = i + 1 < n ? source[done + i + 1] : 0;
            unsigned c = i + 2 < n ? source[done + i + 2] : 0;
            *out++ = static_cast<unsigned char>((a >> 2) + 33);
            *out++ = static_cast<unsigned char>((((a << 4) & 63) | (b >> 4)) + 33);
            *out++ = static_cast<unsigned char>((((b << 2) & 63) | (c >> 6)) + 33);
            *out++ = static_cast<unsigned char>((c & 63) + 33);
        }
        done += n;
    }
    return int32_t(out - target);
}

int32_t ComputeAsciiDecodedSize(const unsigned char* encoded, int32_t length) {
    return WalkLines(encoded, length, [](const unsigned char*, int32_t) {});
}

int32_t AsciiDecode(const unsigned char* encoded, unsigned char* target, int32_t length) {
    unsigned char* out = target;
    return WalkLines(encoded, length, [&out](const unsigned char* g, int32_t count) {
        unsigned v0 = SixBits(g[0]), v1 = SixBits(g[1]), v2 = SixBits(g[2]), v3 = SixBits(g[3]);
        *out++ = static_cast<unsigned char>((v0 << 2) | (v1 >> 4));
        if (count >= 2) *out++ = static_cast<unsigned char>(((v1 & 15) << 4) | (v2 >> 2));
        if (count >= 3) *out++ = static_cast<unsigned char>(((v2 & 3) << 6) | v3);
    });
}
