// House rules of the source tree that a compiler does not check.
#include <gtest/gtest.h>
#include <filesystem>
#include <fstream>
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
    // base/ is the library's own toolkit (namespace cvq), not part of the user interface.
    return relative.extension() == ".h" && text.find("/internal/") == std::string::npos &&
           text.find("/posix/") == std::string::npos && !text.starts_with("commonvcqx/base/");
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

bool TalksToSystem(const std::string& text) {
    static const std::regex systemHeader(
        R"(#\s*include\s*<((unistd|pthread|fcntl|dirent|dlfcn|errno|signal|poll|semaphore|windows)\.h|(sys|linux)/[^>]*|cerrno|csignal)>)");
    static const std::regex errnoUse(R"(\berrno\b)");
    return std::regex_search(text, systemHeader) || std::regex_search(text, errnoUse);
}

}  // namespace

TEST(LayoutTest, SystemAccessIsRecognized) {
    for (const char* text :
         {"#include <unistd.h>", "#include <sys/mman.h>", "#  include <pthread.h>",
          "#include <cerrno>", "if (errno == EINTR)", "#include <linux/futex.h>"})
        EXPECT_TRUE(TalksToSystem(text)) << text;
    for (const char* text : {"#include <string>", "#include <commonvcqx/platform/Drives.h>",
                             "int errnos = 0;", "// see system_errno"})
        EXPECT_FALSE(TalksToSystem(text)) << text;
}

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
    for (const std::string& file : LibraryFiles(false)) {
        if (file.starts_with("commonvcqx/platform/")) continue;
        EXPECT_FALSE(TalksToSystem(ReadFile(kRoot / file)))
            << file << " includes a system header or reads errno outside the platform layer";
    }
}
