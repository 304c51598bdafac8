// Shared helpers of the file tests: a scratch folder per test and catching the
// library's exceptions with their text and code.
#pragma once

#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/text/StaticStrings.h>

#include "../support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace cvq::test {

/// A file test's own scratch folder; no failure seam stays armed after it.
class ScratchFolder : public ::testing::Test, public TScratchFolder {
protected:
    ScratchFolder() : TScratchFolder("cvq_files") {}
    // A seam left armed by a failing test would fail the next test's operation.
    void TearDown() override { cvq::platform::DisarmFailures(); }
};

struct Caught {
    bool thrown = false;
    std::string text;
    uint32_t code = 0;
};

template <class F>
Caught Catch(F&& f) {
    try {
        f();
    } catch (const TException& e) {
        return {true, e.GetMessage() ? e.GetMessage()->c_str() : "", e.GetCode()};
    }
    return {};
}

/// The built-in text of a file error, its "%s" replaced by `argument`.
inline std::string ErrorText(int id, const std::string& argument = "") {
    std::string text = GetStaticString(id);
    size_t at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, argument);
    return text;
}

/// `size` bytes of a seeded random pattern.
inline std::string Pattern(size_t size, uint32_t seed) {
    std::mt19937 random(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
}

/// Equal bytes; on a difference only its place is shown, not megabytes of data.
inline ::testing::AssertionResult SameBytes(const std::string& actual,
                                            const std::string& expected) {
    if (actual == expected) return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
    return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                         << ", first difference at " << at;
}

}  // namespace cvq::test
