// TTaggedInputStream over arbitrary bytes: the first byte picks tagged or untagged
// mode, the rest is the block. Tagged: every node of every group is visited and read
// with every overload; untagged: values are read in turn until the block runs out.
// Nothing may be read outside the block (the sanitizer build sees it), nothing may
// hang, and the only failure allowed is the library exception of a damaged stream.
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/streams/TaggedInputStream.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

class TWalker : public TTaggedInputStream {
public:
    using TTaggedInputStream::TTaggedInputStream;

    // Reads every child of the current group, entering groups to `depth` levels.
    void ReadGroup(int depth) {
        std::vector<std::string> names;
        uint32_t after = m_current;
        for (uint32_t node = FirstChild(m_current); node; after = node, node = Next(node)) {
            CheckNode(node, after);
            names.emplace_back(Node(GetName(node)));
        }
        // Each name once: a lookup finds the same node again, and repeated names
        // would otherwise multiply the work at every level.
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        for (const std::string& name : names) {
            ReadValues(name.c_str());
            // A name holding "/" would be taken as a path, which may stay in this
            // group: only plain names are entered.
            if (depth > 0 && name.find('/') == std::string::npos && MoveDown(name.c_str(), 0)) {
                ReadGroup(depth - 1);
                MoveUp();
            }
        }
        ForEachGroup(
            [](TTaggedInputStream* in, const char*, int, intptr_t) -> char {
                in->GetValue(0, "Siz", 0);
                return 1;
            },
            0);
    }

    void ReadValues(const char* name) {
        GetValue(char(0), name, 0);
        GetValue(short(0), name, 0);
        GetValue(0, name, 0);
        GetValue(0.0f, name, 0);
        GetValue(0LL, name, 0);
        GetValue(0.0, name, 0);
        GetValue("", name, 0);
        const int32_t size = GetBinarySize(name, 0);
        if (size < 0) std::abort();
        if (size <= 65536) {
            std::vector<char> buffer(size_t(size) + 1);
            if (GetBinary(buffer.data(), nullptr, 0, name, 0) != size) std::abort();
        }
        int32_t node = 0;
        MoveToDataStart(name, 0, &node);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > (1u << 16)) return 0;
    const char useTags = char(data[0] & 1);
    const size_t blockSize = size - 1;
    // A block of exactly its size, so that a read past it is caught.
    std::unique_ptr<char[]> block(new char[blockSize ? blockSize : 1]);
    if (blockSize) std::memcpy(block.get(), data + 1, blockSize);
    try {
        TWalker in(useTags, block.get(), int32_t(blockSize), 0);
        if (useTags) {
            in.ReadGroup(64);
            in.MoveDown("/a/b", 1);
            in.ReadGroup(0);
        } else {
            char bytes[64];
            for (int i = 0; i < 4096; ++i) {
                switch (i % 6) {
                    case 0:
                        in.GetValue(char(0), "", 0);
                        break;
                    case 1:
                        in.GetValue(0, "", 0);
                        break;
                    case 2:
                        in.GetValue(0.0, "", 0);
                        break;
                    case 3:
                        in.GetValue("", "", 0);
                        break;
                    case 4:
                        if (in.GetBinarySize("", 0) <= int32_t(sizeof bytes))
                            in.GetBinary(bytes, nullptr, 0, "", 0);
                        else
                            in.GetValue(short(0), "", 0);
                        break;
                    case 5:
                        in.GetValue(short(0), "", 0);
                        break;
                }
            }
        }
    } catch (const TException&) {
        // A damaged stream: the expected failure.
    }
    return 0;
}
