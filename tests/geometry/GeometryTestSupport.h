// Stored forms shared by the geometry tests: a tagged block written by a callback,
// and a reader over an exact-size copy of it, so that the sanitizer build sees any
// read past its end.
#pragma once

#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/text/StaticStrings.h>

#include <cstdint>
#include <functional>
#include <vector>

namespace geometry_test {

inline std::vector<uint8_t> WriteBlock(char useTags,
                                       const std::function<void(TTaggedOutputStream&)>& write) {
    TTaggedOutputStream out(useTags, "g", 1);
    write(out);
    out.CloseWriting();
    const uint8_t* start = reinterpret_cast<const uint8_t*>(out.GetStart());
    return std::vector<uint8_t>(start, start + out.GetSize());
}

class TReader {
public:
    TReader(char useTags, const std::vector<uint8_t>& bytes)
        : m_data(bytes.begin(), bytes.end()),
          m_in(useTags, m_data.data(), int32_t(m_data.size()), 0) {}
    TTaggedInputStream& In() { return m_in; }

private:
    std::vector<char> m_data;  // exactly the block's size
    TTaggedInputStream m_in;
};

/// True when `read` throws the damaged-stream exception (static string 18032).
inline bool FailsAsDamaged(const std::function<void()>& read) {
    try {
        read();
    } catch (const TException& e) {
        return e.GetMessage() && *e.GetMessage() == GetStaticString(18032);
    }
    return false;
}

}  // namespace geometry_test
