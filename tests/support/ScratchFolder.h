// A folder of one test's own under $TMPDIR (or /tmp), removed with all it holds when
// the object goes: also after a failed ASSERT, which returns early.
#pragma once

#include <commonvcqx/platform/Drives.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>

namespace cvq::test {

class TScratchFolder {
public:
    /// Makes "<under>/<prefix>_XXXXXX"; `under` when a test needs a particular file system.
    explicit TScratchFolder(const std::string& prefix, const std::filesystem::path& under =
                                                           std::filesystem::temp_directory_path()) {
        std::string pattern = (under / (prefix + "_XXXXXX")).string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make " + pattern);
        m_path = pattern;
        m_name = FileNameFromNativePath(m_path);
    }
    ~TScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TScratchFolder(const TScratchFolder&) = delete;
    TScratchFolder& operator=(const TScratchFolder&) = delete;

    /// Native paths of the folder and of an entry in it.
    const std::string& Path() const { return m_path; }
    std::string Path(std::string_view leaf) const { return m_path + "/" + std::string(leaf); }
    /// The library's names of them ("C:\tmp\cvq_files_x\leaf").
    const std::string& Name() const { return m_name; }
    std::string Name(std::string_view leaf) const { return m_name + "\\" + std::string(leaf); }

    /// Writes the whole file `leaf`; returns its path.
    std::string Put(std::string_view leaf, std::string_view bytes) const {
        std::ofstream(Path(leaf), std::ios::binary)
            .write(bytes.data(), std::streamsize(bytes.size()));
        return Path(leaf);
    }
    /// The whole file `leaf`; "" when there is none.
    std::string Get(std::string_view leaf) const {
        std::ifstream in(Path(leaf), std::ios::binary);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }
    /// How many entries the folder holds, not counting those further down.
    size_t Entries() const {
        std::filesystem::directory_iterator entries(m_path);
        return size_t(std::distance(begin(entries), end(entries)));
    }

private:
    std::string m_path;
    std::string m_name;
};

}  // namespace cvq::test
