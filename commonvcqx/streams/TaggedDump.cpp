#include <commonvcqx/streams/TaggedDump.h>

#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/text/Checksums.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
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

// What the walk finds, in order: the header, then every node depth first.
class ADumpSink {
public:
    virtual ~ADumpSink() = default;
    /// `crcOk` is 1 or 0, or -1 when the header's length does not allow the check.
    virtual void Header(const TString& document, bool swapped, uint32_t length, uint32_t size,
                        uint32_t crc, int crcOk) = 0;
    virtual void GroupStart(const char* name, size_t depth) = 0;
    virtual void GroupEnd(size_t depth) = 0;
    virtual void Value(const char* name, size_t depth, const uint8_t* data, uint32_t length,
                       bool swapped) = 0;
};

// Walks the node tree with the reader's own checks.
class TDumper : public TTaggedInputStream {
public:
    TDumper(const void* data, int32_t size)
        : TTaggedInputStream(1, const_cast<void*>(data), size, 0) {}

    void Walk(ADumpSink& sink) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(GetStart());
        const uint32_t size = GetLimit();
        const uint32_t length = Word(bytes + 8, m_swapped);
        const uint32_t stored = Word(bytes + 4, m_swapped);
        int crcOk = -1;
        if (length >= kHeaderSize && length <= size)
            crcOk = ComputeCrc32(bytes + kHeaderSize, length - kHeaderSize) == stored ? 1 : 0;
        sink.Header(GetDocumentName(), m_swapped, length, size, stored, crcOk);
        // An explicit stack: nesting is bounded only by the block.
        struct TLevel {
            uint32_t group, node, after;
        };
        std::vector<TLevel> stack{{m_root, FirstChild(m_root), m_root}};
        while (!stack.empty()) {
            TLevel& level = stack.back();
            if (!level.node) {
                stack.pop_back();
                sink.GroupEnd(stack.size());
                continue;
            }
            const uint32_t node = level.node;
            CheckNode(node, level.after);
            level.after = node;
            level.node = Next(node);
            const char* name = Node(GetName(node));
            if (IsGroup(node)) {
                if (Parent(node) != level.group) Fail();
                sink.GroupStart(name, stack.size());
                stack.push_back({node, FirstChild(node), node});
                continue;
            }
            CheckData(node);
            uint32_t dataLength;
            const auto* data = reinterpret_cast<const uint8_t*>(Node(GetData(node, &dataLength)));
            sink.Value(name, stack.size(), data, dataLength, m_swapped);
        }
    }
};

// A value of 1, 2, 4 or 8 bytes read as a signed number in the block's byte order.
int64_t SignedNumber(const uint8_t* data, uint32_t length, bool swapped) {
    uint8_t v[8];
    for (uint32_t i = 0; i < length; ++i) v[i] = data[swapped ? length - 1 - i : i];
    switch (length) {
        case 1:
            return int8_t(v[0]);
        case 2: {
            int16_t n;
            std::memcpy(&n, v, 2);
            return n;
        }
        case 4: {
            int32_t n;
            std::memcpy(&n, v, 4);
            return n;
        }
        default: {
            int64_t n;
            std::memcpy(&n, v, 8);
            return n;
        }
    }
}

bool IsNumberSize(uint32_t length) {
    return length == 1 || length == 2 || length == 4 || length == 8;
}

double AsDouble(int64_t bits) {
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

class TTextSink : public ADumpSink {
public:
    explicit TTextSink(std::string& out) : m_out(out) {}

    void Header(const TString& document, bool swapped, uint32_t length, uint32_t size, uint32_t crc,
                int crcOk) override {
        m_out += "document ";
        AppendQuoted(m_out, document.c_str(), document.GetLength());
        Appendf(m_out, ", %s, length %" PRIu32 " of %" PRIu32 " bytes, CRC-32 %08" PRIX32,
                swapped ? "reversed byte order" : "little-endian", length, size, crc);
        m_out += crcOk < 0 ? " (not checked)\n" : crcOk ? " (ok)\n" : " (wrong)\n";
        m_out += "Root/\n";
    }
    void GroupStart(const char* name, size_t depth) override {
        m_out.append(2 * depth, ' ');
        m_out += name;
        m_out += "/\n";
    }
    void GroupEnd(size_t) override {}
    void Value(const char* name, size_t depth, const uint8_t* data, uint32_t length,
               bool swapped) override {
        m_out.append(2 * depth, ' ');
        m_out += name;
        Appendf(m_out, " [%" PRIu32 " bytes]", length);
        if (length > 0) {
            m_out += " = ";
            if (LooksLikeText(data, length)) {
                AppendQuoted(m_out, reinterpret_cast<const char*>(data), length - 1);
            } else if (IsNumberSize(length)) {
                const int64_t n = SignedNumber(data, length, swapped);
                Appendf(m_out, "%" PRId64, n);
                if (length == 8) Appendf(m_out, " (double %.17g)", AsDouble(n));
            } else {
                m_out += "hex";
                for (uint32_t i = 0; i < std::min(length, kHexShown); ++i)
                    Appendf(m_out, " %02X", data[i]);
                if (length > kHexShown)
                    Appendf(m_out, " ... (%" PRIu32 " more)", length - kHexShown);
            }
        }
        m_out += '\n';
    }

private:
    std::string& m_out;
};

// Length of the well-formed UTF-8 sequence at `p` (no overlong forms, surrogates or
// code points past U+10FFFF), or 0.
size_t Utf8Sequence(const unsigned char* p, size_t left) {
    const unsigned char c = p[0];
    size_t length;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
        length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        if (c == 0xE0) low = 0xA0;
        if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        if (c == 0xF0) low = 0x90;
        if (c == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (left < length || p[1] < low || p[1] > high) return 0;
    for (size_t i = 2; i < length; ++i)
        if (p[i] < 0x80 || p[i] > 0xBF) return 0;
    return length;
}

void AppendJsonString(std::string& out, const char* text, size_t length) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    out += '"';
    for (size_t i = 0; i < length;) {
        const unsigned char c = bytes[i];
        if (c >= 0x80) {
            if (const size_t n = Utf8Sequence(bytes + i, length - i)) {
                out.append(text + i, n);
                i += n;
            } else {
                Appendf(out, "\\u%04X", c);  // a byte outside UTF-8, read as Latin-1
                ++i;
            }
            continue;
        }
        ++i;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F)
                    Appendf(out, "\\u%04X", c);
                else
                    out += char(c);
        }
    }
    out += '"';
}

class TJsonSink : public ADumpSink {
public:
    explicit TJsonSink(std::string& out) : m_out(out) {}

    void Header(const TString& document, bool swapped, uint32_t length, uint32_t size, uint32_t crc,
                int crcOk) override {
        m_out += "{\n  \"document\": ";
        AppendJsonString(m_out, document.c_str(), document.GetLength());
        Appendf(m_out,
                ",\n  \"byteOrder\": \"%s\",\n  \"length\": %" PRIu32 ",\n  \"size\": %" PRIu32
                ",\n  \"crc32\": \"%08" PRIX32 "\",\n  \"crcOk\": %s,\n  \"root\": [",
                swapped ? "reversed" : "little-endian", length, size, crc,
                crcOk < 0 ? "null"
                : crcOk   ? "true"
                          : "false");
        m_first = true;
    }
    void GroupStart(const char* name, size_t depth) override {
        Open(name, depth);
        m_out += ", \"group\": [";
        m_first = true;
    }
    void GroupEnd(size_t depth) override {
        if (!m_first) {
            m_out += '\n';
            Indent(depth);
        }
        m_out += depth == 0 ? "]\n}\n" : "]}";
        m_first = false;
    }
    void Value(const char* name, size_t depth, const uint8_t* data, uint32_t length,
               bool swapped) override {
        Open(name, depth);
        Appendf(m_out, ", \"size\": %" PRIu32 ", \"hex\": \"", length);
        for (uint32_t i = 0; i < length; ++i) Appendf(m_out, "%02x", data[i]);
        m_out += '"';
        if (LooksLikeText(data, length)) {
            m_out += ", \"text\": ";
            AppendJsonString(m_out, reinterpret_cast<const char*>(data), length - 1);
        }
        if (IsNumberSize(length)) {
            const int64_t n = SignedNumber(data, length, swapped);
            Appendf(m_out, ", \"number\": %" PRId64, n);
            // JSON has no NaN or infinity.
            if (length == 8 && std::isfinite(AsDouble(n)))
                Appendf(m_out, ", \"double\": %.17g", AsDouble(n));
        }
        m_out += '}';
        m_first = false;
    }

private:
    void Indent(size_t depth) { m_out.append(2 * depth + 2, ' '); }
    void Open(const char* name, size_t depth) {
        m_out += m_first ? "\n" : ",\n";
        Indent(depth);
        m_out += "{\"name\": ";
        AppendJsonString(m_out, name, std::strlen(name));
    }

    std::string& m_out;
    bool m_first = true;
};

}  // namespace

std::string DumpTaggedStream(const void* data, int32_t size) {
    TDumper dumper(data, size);
    std::string out;
    TTextSink sink(out);
    dumper.Walk(sink);
    return out;
}

std::string DumpTaggedStreamAsJson(const void* data, int32_t size) {
    TDumper dumper(data, size);
    std::string out;
    TJsonSink sink(out);
    dumper.Walk(sink);
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
