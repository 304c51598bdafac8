// A registry folder of its own for each registry test, forgotten afterwards.
#pragma once

#include <commonvcqx/config/Registry.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace cvq::test {

class RegistryFolder : public ::testing::Test {
protected:
    void SetUp() override {
        // Memory-backed when there is one: the concurrency test replaces files often.
        std::error_code error;
        std::filesystem::path base = "/dev/shm";
        if (!std::filesystem::is_directory(base, error) || access(base.c_str(), W_OK) != 0)
            base = std::filesystem::temp_directory_path();
        std::string pattern = (base / "cvq_registry_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_folder = pattern;
        SetRegistryDirectory(m_folder.c_str());
    }
    void TearDown() override {
        SetRegistryDirectory(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(m_folder, ignored);
    }
    std::string RootFile(const char* root = "HKEY_CURRENT_USER") const {
        return m_folder + "/" + root + ".reg";
    }
    std::string Contents(const char* root = "HKEY_CURRENT_USER") const {
        std::ifstream in(RootFile(root), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    void Put(const std::string& text, const char* root = "HKEY_CURRENT_USER") const {
        std::ofstream(RootFile(root), std::ios::binary) << text;
    }
    /// Drops the parsed files, as a fresh process would start.
    void Forget() const { SetRegistryDirectory(m_folder.c_str()); }

    std::string m_folder;
};

template <class F>
bool ThrowsZero(F&& f) {
    try {
        f();
    } catch (int value) {
        return value == 0;
    }
    return false;
}

}  // namespace cvq::test
