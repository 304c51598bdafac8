// House rules of the source tree that a compiler does not check.
#include "Layers.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

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

// The folder of a library path ("commonvcqx/text/String.h" -> "text"); "" at the root.
std::string FolderOf(std::string_view path) {
    path.remove_prefix(std::string_view("commonvcqx/").size());
    size_t slash = path.find('/');
    return slash == std::string_view::npos ? "" : std::string(path.substr(0, slash));
}

// Position in the layer order; the root files sit above everything, unknown folders
// have none.
int LayerOf(const std::string& folder) {
    if (folder.empty()) return int(std::size(cvq::layout::kFolderOrder));
    const auto* end = std::end(cvq::layout::kFolderOrder);
    const auto* found = std::find(std::begin(cvq::layout::kFolderOrder), end, folder);
    return found == end ? -1 : int(found - std::begin(cvq::layout::kFolderOrder));
}

// Why `file` may not include `header` (both paths from the repository root), or "".
std::string LayerViolation(const std::string& file, const std::string& header) {
    const std::string from = FolderOf(file), to = FolderOf(header);
    if (LayerOf(from) < 0) return "folder " + from + " is not in the layer table";
    if (LayerOf(to) < 0) return "folder " + to + " is not in the layer table";
    if (from != to) {
        if (header.find("/posix/") != std::string::npos) return "platform/posix is private";
        if (to != "platform" && header.find("/internal/") != std::string::npos)
            return to + "/internal is private to " + to;
    }
    if (LayerOf(to) <= LayerOf(from)) return "";
    for (std::string_view leaf : cvq::layout::kLeafHeaders)
        if (header == leaf) return "";
    for (const cvq::layout::TBridge& bridge : cvq::layout::kBridges)
        if (file == bridge.file && LayerOf(to) <= LayerOf(std::string(bridge.reaches))) return "";
    return from + " may not include " + to + " (a layer above it)";
}

std::vector<std::string> LibraryIncludes(const std::string& text) {
    static const std::regex include(R"(#\s*include\s*<(commonvcqx/[^>]+)>)");
    std::vector<std::string> headers;
    for (std::sregex_iterator it(text.begin(), text.end(), include), end; it != end; ++it)
        headers.push_back((*it)[1]);
    return headers;
}

}  // namespace

TEST(LayoutTest, LayerRuleCatchesBackEdgesAndPrivateReaches) {
    struct Case {
        const char* file;
        const char* header;
        bool allowed;
    } cases[] = {
        {"commonvcqx/files/File.cpp", "commonvcqx/text/String.h", true},
        {"commonvcqx/files/File.cpp", "commonvcqx/files/internal/FileErrors.h", true},
        {"commonvcqx/files/File.cpp", "commonvcqx/platform/internal/Files.h", true},
        {"commonvcqx/CommonVcQx.h", "commonvcqx/system/Module.h", true},
        {"commonvcqx/memory/Heap.cpp", "commonvcqx/files/File.h", false},  // a back-edge
        {"commonvcqx/text/String.cpp", "commonvcqx/containers/Array.h", false},
        {"commonvcqx/text/StringLists.cpp", "commonvcqx/containers/Array.h", true},  // bridge
        {"commonvcqx/text/StringLists.cpp", "commonvcqx/files/File.h", false},       // past it
        {"commonvcqx/streams/TaggedStream.cpp", "commonvcqx/files/internal/FileErrors.h", false},
        {"commonvcqx/files/File.cpp", "commonvcqx/platform/posix/FileState.h", false},
        {"commonvcqx/memory/AllocatorHooks.cpp", "commonvcqx/geometry/Randomizer.h", true},
        {"commonvcqx/memory/Heap.cpp", "commonvcqx/geometry/Rect.h", false},
        {"commonvcqx/gadgets/Gadget.cpp", "commonvcqx/text/String.h", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LayerViolation(c.file, c.header).empty(), c.allowed)
            << c.file << " -> " << c.header << ": " << LayerViolation(c.file, c.header);
}

TEST(LayoutTest, EveryIncludeKeepsTheLayers) {
    for (const std::string& file : LibraryFiles(false))
        for (const std::string& header : LibraryIncludes(ReadFile(kRoot / file))) {
            std::string why = LayerViolation(file, header);
            EXPECT_TRUE(why.empty()) << file << " includes " << header << ": " << why;
        }
}

TEST(LayoutTest, ArchitecturePageListsTheLayerTable) {
    const std::string page = ReadFile(kRoot / "ARCHITECTURE.md");
    const std::regex row(R"(\n\| *(\d+) *\| *`([a-z]+)/` *\|)");
    std::vector<std::string> listed;
    for (std::sregex_iterator it(page.begin(), page.end(), row), end; it != end; ++it) {
        EXPECT_EQ(std::stoi((*it)[1]), int(listed.size()));
        listed.push_back((*it)[2]);
    }
    EXPECT_EQ(listed, std::vector<std::string>(std::begin(cvq::layout::kFolderOrder),
                                               std::end(cvq::layout::kFolderOrder)));
    for (const cvq::layout::TBridge& bridge : cvq::layout::kBridges)
        EXPECT_NE(page.find(std::string(bridge.file.substr(11))), std::string::npos)
            << bridge.file << " is a bridge the page does not name";
    for (const auto& entry : fs::directory_iterator(kRoot / "commonvcqx")) {
        if (!entry.is_directory()) continue;
        EXPECT_GE(LayerOf(entry.path().filename().string()), 0) << entry.path();
    }
}

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
