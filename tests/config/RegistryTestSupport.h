// A registry folder of its own for each registry test, forgotten afterwards.
#pragma once

#include <commonvcqx/config/Registry.h>

#include "../support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

namespace cvq::test {

class RegistryFolder : public ::testing::Test, public TScratchFolder {
protected:
    RegistryFolder() : TScratchFolder("cvq_registry", MemoryBacked()) {}
    void SetUp() override { SetRegistryDirectory(Path().c_str()); }
    void TearDown() override { SetRegistryDirectory(nullptr); }
    std::string RootFile(const char* root = "HKEY_CURRENT_USER") const {
        return Path(std::string(root) + ".reg");
    }
    std::string Contents(const char* root = "HKEY_CURRENT_USER") const {
        return Get(std::string(root) + ".reg");
    }
    void Put(const std::string& text, const char* root = "HKEY_CURRENT_USER") const {
        TScratchFolder::Put(std::string(root) + ".reg", text);
    }
    /// Drops the parsed files, as a fresh process would start.
    void Forget() const { SetRegistryDirectory(Path().c_str()); }

private:
    // Memory-backed when there is one: the concurrency test replaces files often.
    static std::filesystem::path MemoryBacked() {
        std::error_code error;
        if (std::filesystem::is_directory("/dev/shm", error) && access("/dev/shm", W_OK) == 0)
            return "/dev/shm";
        return std::filesystem::temp_directory_path();
    }
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
