// A fresh folder under $TMPDIR for one sample run, removed with everything in it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

class TScratchFolder {
public:
    TScratchFolder() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "cvq_porting_XXXXXX").string();
        if (mkdtemp(pattern.data())) m_path = pattern;
    }
    ~TScratchFolder() {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};
