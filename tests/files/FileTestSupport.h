// Shared helpers of the file tests: a scratch folder per test, reading back native
// files and catching the library's exceptions with their text and code.
#pragma once

#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/text/StaticStrings.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace cvq::test {

class ScratchFolder : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "cvq_files_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_native = pattern;
        m_library = FileNameFromNativePath(m_native);
    }
    // A seam left armed by a failing test would fail the next test's operation.
    void TearDown() override {
        cvq::platform::DisarmFailures();
        std::error_code ignored;
        std::filesystem::permissions(m_native, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(m_native, ignored);
    }
    /// Library name ("C:\tmp\...\leaf") and native path of an entry of the folder.
    std::string Name(const std::string& leaf) const { return m_library + "\\" + leaf; }
    std::string Path(const std::string& leaf) const { return m_native + "/" + leaf; }

    void Put(const std::string& leaf, const std::string& contents) const {
        std::ofstream(Path(leaf), std::ios::binary) << contents;
    }
    std::string Get(const std::string& leaf) const {
        std::ifstream in(Path(leaf), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    size_t Entries() const {
        size_t n = 0;
        for (auto& entry : std::filesystem::directory_iterator(m_native)) {
            (void)entry;
            ++n;
        }
        return n;
    }

    std::string m_native;
    std::string m_library;
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
