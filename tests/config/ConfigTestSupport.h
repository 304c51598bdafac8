// Shared helpers of the configuration tests: the text form as a std::string and a
// catch of the library's exception.
#pragma once

#include <commonvcqx/config/Config.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/memory/Heap.h>

#include <string>

namespace cvq::test {

inline std::string TextOf(TConfig& config) {
    unsigned size = 0;
    char* block = config.GetAsBlock(&size);
    std::string text(block, size);
    NH_Heap::FreeMem(block);
    return text;
}

inline void ReadText(TConfig& config, const std::string& text) {
    config.BuildFromTextBlock(text.data(), unsigned(text.size()));
}

template <class F>
bool Throws(F&& f) {
    try {
        f();
    } catch (const TException&) {
        return true;
    }
    return false;
}

}  // namespace cvq::test
