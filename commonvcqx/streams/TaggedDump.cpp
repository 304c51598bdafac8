#include <commonvcqx/streams/TaggedDump.h>

#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/text/Checksums.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

constexpr uint32_t kHeaderSize = 12;
constexpr uint32_t kSmallestBlock = 13;
constexpr uint32_t kHexShown = 32;

void Appendf(std::string& out, const char* format, auto... args) {
    char line[128];
    std::snprintf(line, sizeof line, format, args...);
    out += line;
}

uint32_t Word(const uint8_t* p, bool swapped) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return swapped ? __builtin_bswap32(v) : v;
}

void AppendQuoted(std::string& out, const char* text, size_t length) {
    out += '"';
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            Appendf(out, "\\x%02X", c);
        } else {
            out += char(c);
        }
    }
    out += '"';
}

bool LooksLikeText(const uint8_t* data, uint32_t length) {
    if (length < 2 || data[length - 1] != 0) return false;
    for (uint32_t i = 0; i + 1 < length; ++i)
        if (data[i] < 0x20 && data[i] != '\t' && data[i] != '\n' && data[i] != '\r') return false;
    return true;
}

// Walks the node tree with the reader's own checks.
class TDumper : public TTaggedInputStream {
public:
    TDumper(const void* data, int32_t size)
        : TTaggedInputStream(1, const_cast<void*>(data), size, 0) {}

    void Dump(std::string& out) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(GetStart());
        const uint32_t size = GetLimit();
        const uint32_t length = Word(bytes + 8, m_swapped);
        const uint32_t stored = Word(bytes + 4, m_swapped);
        out += "document ";
        AppendQuoted(out, GetDocumentName().c_str(), GetDocumentName().GetLength());
        Appendf(out, ", %s, length %" PRIu32 " of %" PRIu32 " bytes, CRC-32 %08" PRIX32,
                m_swapped ? "reversed byte order" : "little-endian", length, size, stored);
        if (length >= kHeaderSize && length <= size)
            out += ComputeCrc32(bytes + kHeaderSize, length - kHeaderSize) == stored ? " (ok)\n"
                                                                                     : " (wrong)\n";
        else
            out += " (not checked)\n";
        out += "Root/\n";
        // An explicit stack: nesting is bounded only by the block.
        struct TLevel {
            uint32_t group, node, after;
        };
        std::vector<TLevel> stack{{m_root, FirstChild(m_root), m_root}};
        while (!stack.empty()) {
            TLevel& level = stack.back();
            if (!level.node) {
                stack.pop_back();
                continue;
            }
            const uint32_t node = level.node;
            CheckNode(node, level.after);
            level.after = node;
            level.node = Next(node);
            out.append(2 * stack.size(), ' ');
            const char* name = Node(GetName(node));
            out += name;
            if (IsGroup(node)) {
                if (Parent(node) != level.group) Fail();
                out += "/\n";
                stack.push_back({node, FirstChild(node), node});
                continue;
            }
            CheckData(node);
            uint32_t dataLength;
            const auto* data = reinterpret_cast<const uint8_t*>(Node(GetData(node, &dataLength)));
            Appendf(out, " [%" PRIu32 " bytes]", dataLength);
            AppendValue(out, data, dataLength);
            out += '\n';
        }
    }

private:
    void AppendValue(std::string& out, const uint8_t* data, uint32_t length) {
        if (length == 0) return;
        out += " = ";
        if (LooksLikeText(data, length)) {
            AppendQuoted(out, reinterpret_cast<const char*>(data), length - 1);
            return;
        }
        if (length == 1 || length == 2 || length == 4 || length == 8) {
            uint8_t v[8];
            for (uint32_t i = 0; i < length; ++i) v[i] = data[m_swapped ? length - 1 - i : i];
            if (length == 1) {
                Appendf(out, "%d", int(int8_t(v[0])));
            } else if (length == 2) {
                int16_t n;
                std::memcpy(&n, v, 2);
                Appendf(out, "%d", int(n));
            } else if (length == 4) {
                int32_t n;
                std::memcpy(&n, v, 4);
                Appendf(out, "%" PRId32, n);
            } else {
                int64_t n;
                double d;
                std::memcpy(&n, v, 8);
                std::memcpy(&d, v, 8);
                Appendf(out, "%" PRId64 " (double %.17g)", n, d);
            }
            return;
        }
        out += "hex";
        for (uint32_t i = 0; i < std::min(length, kHexShown); ++i) Appendf(out, " %02X", data[i]);
        if (length > kHexShown) Appendf(out, " ... (%" PRIu32 " more)", length - kHexShown);
    }
};

}  // namespace

std::string DumpTaggedStream(const void* data, int32_t size) {
    TDumper dumper(data, size);
    std::string out;
    dumper.Dump(out);
    return out;
}

bool VerifyTaggedStream(const void* data, int32_t size, std::string* reason, char useTags) {
    std::string why;
    const auto* bytes = static_cast<const uint8_t*>(data);
    const uint32_t blockSize = data && size > 0 ? uint32_t(size) : 0;
    if (blockSize < kSmallestBlock) {
        Appendf(why, "too short: %" PRIu32 " bytes, a tagged stream has at least %" PRIu32,
                blockSize, kSmallestBlock);
    } else if (bytes[2] != 0 || bytes[3] != 0) {
        Appendf(why, "bad marker %02X %02X %02X %02X", bytes[0], bytes[1], bytes[2], bytes[3]);
    } else {
        const bool swapped = !(bytes[0] == 'L' && bytes[1] == 'E');
        const uint32_t length = Word(bytes + 8, swapped);
        const uint32_t stored = Word(bytes + 4, swapped);
        if (length < kSmallestBlock || length % 4 != 0) {
            Appendf(why, "bad length %" PRIu32 " in the header", length);
        } else if (length != blockSize) {
            Appendf(why, "length %" PRIu32 " in the header, but %" PRIu32 " bytes present", length,
                    blockSize);
        } else if (const uint32_t crc = ComputeCrc32(bytes + kHeaderSize, length - kHeaderSize);
                   crc != stored) {
            Appendf(why, "CRC-32 mismatch: stored %08" PRIX32 ", computed %08" PRIX32, stored, crc);
        } else {
            try {
                if (useTags)
                    DumpTaggedStream(data, size);
                else
                    TTaggedInputStream(0, const_cast<void*>(data), size, 0);
            } catch (const TException&) {
                why = "damaged node tree";
            }
        }
    }
    if (reason) *reason = why;
    return why.empty();
}
