// House rules of the source tree that a compiler does not check.
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

const fs::path kRoot = CVQ_SOURCE_DIR;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool IsPublicHeader(const fs::path& relative) {
    std::string text = relative.generic_string();
    return relative.extension() == ".h" && text.find("/internal/") == std::string::npos &&
           text.find("/posix/") == std::string::npos;
}

std::set<std::string> LibraryFiles(bool headersOnly) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(kRoot / "commonvcqx")) {
        fs::path relative = fs::relative(entry.path(), kRoot);
        if (!entry.is_regular_file()) continue;
        if (headersOnly ? IsPublicHeader(relative)
                        : (relative.extension() == ".h" || relative.extension() == ".cpp"))
            files.insert(relative.generic_string());
    }
    return files;
}

}  // namespace

TEST(LayoutTest, UmbrellaHeaderReachesEveryPublicHeader) {
    const std::regex include(R"(#include\s*<(commonvcqx/[^>]+)>)");
    std::set<std::string> reached;
    std::vector<std::string> pending = {"commonvcqx/CommonVcQx.h"};
    while (!pending.empty()) {
        std::string header = pending.back();
        pending.pop_back();
        if (!reached.insert(header).second) continue;
        std::string text = ReadFile(kRoot / header);
        for (std::sregex_iterator it(text.begin(), text.end(), include), end; it != end; ++it)
            pending.push_back((*it)[1]);
    }
    for (const std::string& header : LibraryFiles(true))
        EXPECT_TRUE(reached.count(header)) << header << " is not reachable from CommonVcQx.h";
}

TEST(LayoutTest, OnlyThePlatformLayerTalksToTheSystem) {
    const std::regex systemHeader(
        R"(#include\s*<(unistd|pthread|fcntl|dirent|dlfcn|errno|signal|poll|semaphore|windows)\.h>|#include\s*<(sys|linux)/|#include\s*<cerrno>)");
    const std::regex errnoUse(R"(\berrno\b)");
    for (const std::string& file : LibraryFiles(false)) {
        if (file.starts_with("commonvcqx/platform/")) continue;
        std::string text = ReadFile(kRoot / file);
        EXPECT_FALSE(std::regex_search(text, systemHeader)) << file << " includes a system header";
        EXPECT_FALSE(std::regex_search(text, errnoUse)) << file << " reads errno";
    }
}
