// The porting guide quotes its code from example programs that the suite builds and
// runs: every C++ block of the guide names its region of a file and must be that
// region's text, and every region the files mark is quoted.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kSource = CVQ_SOURCE_DIR;
const std::string kGuide = "docs/porting.md";
const std::string kBegin = "// guide: ";
const std::string kEnd = "// guide: end";

std::vector<std::string> Lines(const fs::path& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string Trimmed(const std::string& line) {
    const size_t first = line.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : line.substr(first);
}

// The marked regions of a source file by name, each dedented to its marker's column.
// A region that is not ended, or named twice, is a failure.
std::map<std::string, std::string> Regions(const std::string& path) {
    std::map<std::string, std::string> regions;
    const std::vector<std::string> lines = Lines(kSource / path);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string marker = Trimmed(lines[i]);
        if (marker.rfind(kBegin, 0) != 0 || marker == kEnd) continue;
        const std::string name = marker.substr(kBegin.size());
        const size_t indent = lines[i].size() - marker.size();
        std::string text;
        size_t j = i + 1;
        for (; j < lines.size() && Trimmed(lines[j]) != kEnd; ++j) {
            const std::string& line = lines[j];
            text += (line.size() > indent ? line.substr(indent) : Trimmed(line)) + "\n";
        }
        EXPECT_LT(j, lines.size()) << path << ": region " << name << " is not ended";
        EXPECT_TRUE(regions.emplace(name, text).second) << path << ": region " << name << " twice";
        i = j;
    }
    return regions;
}

struct TQuote {
    size_t line;  // of the marker, from 1
    std::string path;
    std::string name;
    std::string text;
};

// The guide's C++ blocks, each with the marker line above it.
std::vector<TQuote> Quotes() {
    std::vector<TQuote> quotes;
    const std::vector<std::string> lines = Lines(kSource / kGuide);
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].rfind("```", 0) != 0 || lines[i] == "```") continue;
        EXPECT_EQ(lines[i], "```cpp") << kGuide << ":" << i + 1 << ": a block that is not C++";
        TQuote quote{i, {}, {}, {}};
        std::istringstream marker(i > 0 ? lines[i - 1] : std::string());
        std::string open, sample, close;
        marker >> open >> sample >> quote.path >> quote.name >> close;
        EXPECT_TRUE(open == "<!--" && sample == "sample:" && close == "-->")
            << kGuide << ":" << i + 1 << ": a C++ block without its sample line above it";
        size_t j = i + 1;
        for (; j < lines.size() && lines[j] != "```"; ++j) quote.text += lines[j] + "\n";
        quotes.push_back(quote);
        i = j;
    }
    return quotes;
}

std::set<std::string> SampleFiles() {
    std::set<std::string> files;
    for (const char* folder : {"examples/porting", "examples/event_loop"})
        for (const auto& entry : fs::directory_iterator(kSource / folder))
            if (entry.path().extension() == ".cpp" || entry.path().extension() == ".h")
                files.insert(fs::relative(entry.path(), kSource).string());
    return files;
}

}  // namespace

TEST(PortingGuideTest, EveryBlockIsItsSampleRegionWordForWord) {
    const std::vector<TQuote> quotes = Quotes();
    EXPECT_GE(quotes.size(), 12u);
    std::map<std::string, std::map<std::string, std::string>> files;
    for (const TQuote& quote : quotes) {
        if (!files.count(quote.path)) {
            ASSERT_TRUE(fs::exists(kSource / quote.path))
                << kGuide << ":" << quote.line << ": " << quote.path << " does not exist";
            files[quote.path] = Regions(quote.path);
        }
        const auto& regions = files[quote.path];
        const auto found = regions.find(quote.name);
        ASSERT_NE(found, regions.end())
            << kGuide << ":" << quote.line << ": no region " << quote.name << " in " << quote.path;
        EXPECT_EQ(quote.text, found->second)
            << kGuide << ":" << quote.line << " differs from " << quote.path << " " << quote.name;
    }
}

TEST(PortingGuideTest, EveryMarkedRegionIsQuoted) {
    std::set<std::string> quoted;
    for (const TQuote& quote : Quotes()) quoted.insert(quote.path + " " + quote.name);
    for (const std::string& file : SampleFiles())
        for (const auto& [name, text] : Regions(file))
            EXPECT_TRUE(quoted.count(file + " " + name))
                << file << ": region " << name << " is not in " << kGuide;
}
