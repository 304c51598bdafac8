// The checked readers of TInputMemoryStream over arbitrary bytes: whatever the
// bytes and the order of reads, nothing is read outside the block (the sanitizer
// build sees it), a failed read throws std::out_of_range and leaves the position,
// and a successful one never moves past the end.
#include <commonvcqx/streams/InputMemoryStream.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // The first byte: how many of the following bytes choose the reads; the rest is the block.
    const size_t opCount = std::min<size_t>(data[0] % 64, size - 1);
    const uint8_t* ops = data + 1;
    const size_t blockSize = size - 1 - opCount;
    // A block of exactly its size, so that a read past it is caught.
    std::unique_ptr<char[]> block(new char[blockSize ? blockSize : 1]);
    std::memcpy(block.get(), ops + opCount, blockSize);
    TInputMemoryStream in(block.get(), uint32_t(blockSize),
                          (data[0] & 0x80) ? kBigEndian : kLittleEndian);
    char text[8];
    for (size_t i = 0; i < opCount; ++i) {
        const uint32_t before = in.GetCurrentPosition();
        try {
            switch (ops[i] % 10) {
                case 0: {
                    int32_t v[3];
                    in.ReadChecked(v, 1 + ops[i] / 10 % 3);
                    break;
                }
                case 1: {
                    double v;
                    in.ReadChecked(&v, 1);
                    break;
                }
                case 2: {
                    short v[2];
                    in.ReadChecked(v, 2);
                    break;
                }
                case 3:
                    in.ReadStringChecked();
                    break;
                case 4:
                    in.ReadStringChecked(text, sizeof text);
                    break;
                case 5:
                    in.ReadStringThenAlignChecked();
                    break;
                case 6:
                    in.ReadLineChecked();
                    break;
                case 7:
                    in.FindStringLenChecked();
                    break;
                case 8:
                    in.SetCurrentPositionChecked(ops[i] / 10);
                    break;
                case 9: {
                    char v[16];
                    in.ReadDataChecked(v, ops[i] / 10 % 16);
                    break;
                }
            }
        } catch (const std::out_of_range&) {
            if (in.GetCurrentPosition() != before) std::abort();
        }
        if (in.GetCurrentPosition() > blockSize) std::abort();
    }
    return 0;
}
