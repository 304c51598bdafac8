// Containers restored from arbitrary bytes, then the same bytes dumped (as text and as
// JSON) and verified.
// The first byte picks tagged or untagged mode, the rest is the block. Elements come
// from factories whose objects read a value or a group; whatever the block says, no
// element may leak, no read may leave the block, nothing may hang, and the only
// failure allowed is the library exception of a damaged stream.
#include <commonvcqx/containers/ArrayBase.h>
#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/streams/TaggedDump.h>
#include <commonvcqx/streams/TaggedInputStream.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

int g_alive = 0;

// Reads one value, or a group holding a value and a nested array.
class TElement : public TListElement {
public:
    TElement() { ++g_alive; }
    ~TElement() override { --g_alive; }
    char RestoreState(TTaggedInputStream& in, int32_t context, const char* name,
                      int index) override {
        if (context == 0) {
            m_value = in.GetValue(int32_t(-1), name, index);
            return m_value >= 0;
        }
        if (!in.MoveDown(name, index)) return 0;
        m_value = in.GetValue(int32_t(0), "V", 0);
        if (context > 0) {
            TArrayBase inner(20, 20, 1, MakeValue);
            inner.RestoreState(in, context - 1, "In", 0);
        }
        in.MoveUp();
        return 1;
    }
    static TObject* MakeValue(int32_t) { return new TElement; }

private:
    int32_t m_value = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 16)) return 0;
    const char useTags = char(data[0] & 1);
    const size_t blockSize = size - 1;
    std::unique_ptr<char[]> block(new char[blockSize ? blockSize : 1]);
    if (blockSize) std::memcpy(block.get(), data + 1, blockSize);
    try {
        TTaggedInputStream in(useTags, block.get(), int32_t(blockSize), 0);
        for (int32_t context = 0; context < 3; ++context) {
            TArrayBase array(20, 20, 1, TElement::MakeValue);
            TDoubleList list(1, TElement::MakeValue);
            array.RestoreState(in, context, "A", 0);
            list.RestoreState(in, context, "L", 0);
            array.RestoreState(in, context, "Siz", 0);
        }
    } catch (const TException&) {
        // A damaged stream: the expected failure.
    }
    if (g_alive != 0) std::abort();
    std::string reason;
    VerifyTaggedStream(block.get(), int32_t(blockSize), &reason, useTags);
    if (useTags) {
        // Both dumps walk the same nodes: they fail together. JSON text holds no raw
        // control bytes but its line breaks.
        int failed = 0;
        std::string json;
        try {
            DumpTaggedStream(block.get(), int32_t(blockSize));
        } catch (const TException&) {
            ++failed;
        }
        try {
            json = DumpTaggedStreamAsJson(block.get(), int32_t(blockSize));
        } catch (const TException&) {
            ++failed;
        }
        if (failed == 1) std::abort();
        for (const char c : json)
            if (static_cast<unsigned char>(c) < 0x20 && c != '\n') std::abort();
    }
    return 0;
}
