// A configuration tree of about 200 000 keys in nested groups (about 10 MB of text):
// reading the text, writing it, and 1 000 000 lookups of a value by its group path,
// beside Boost.PropertyTree with its INFO format (an indented key tree in text)
// holding the same keys, measured in the same run; read the results as ratios.
#include <commonvcqx/config/Config.h>
#include <commonvcqx/memory/Heap.h>

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#if CVQ_HAVE_PROPERTY_TREE
#include <boost/property_tree/info_parser.hpp>
#include <boost/property_tree/ptree.hpp>

#include <sstream>
#endif

namespace {

constexpr int kSections = 1000;
constexpr int kItems = 20;
constexpr int kParameters = 10;
constexpr int64_t kKeys =
    int64_t(kSections) * kItems * kParameters + kSections * kItems + kSections;
constexpr int kLookups = 1000000;

std::string ValueText(int s, int i, int p) {
    return "v" + std::to_string(s * 7919 + i * 31 + p) + "-abcdefghijklmnopqrstuvwxyz0123";
}

std::string ConfigText() {
    TConfig config("Bench", TConfig::kNoMode);
    for (int s = 0; s < kSections; ++s) {
        for (int i = 0; i < kItems; ++i) {
            config.MoveDown(("/Section" + std::to_string(s) + "/Item" + std::to_string(i)).c_str(),
                            0);
            for (int p = 0; p < kParameters; ++p)
                config.SetValue(ValueText(s, i, p).c_str(), "Parameter", p);
        }
    }
    unsigned size = 0;
    char* block = config.GetAsBlock(&size);
    std::string text(block, size);
    NH_Heap::FreeMem(block);
    return text;
}

const std::string& Text() {
    static const std::string text = ConfigText();
    return text;
}

// The same lookups for both: a section, an item and a parameter.
struct TLookup {
    std::string group;   // "/Section12/Item3"
    std::string name;    // "Parameter7"
    std::string dotted;  // "Section12.Item3.Parameter7"
};

const std::vector<TLookup>& Lookups() {
    static const std::vector<TLookup> lookups = [] {
        std::vector<TLookup> all;
        std::mt19937 random(42);
        for (int n = 0; n < 4096; ++n) {
            int s = int(random() % kSections), i = int(random() % kItems);
            int p = int(random() % kParameters);
            std::string section = "Section" + std::to_string(s);
            std::string item = "Item" + std::to_string(i);
            std::string parameter = "Parameter" + std::to_string(p);
            all.push_back(
                {"/" + section + "/" + item, parameter, section + "." + item + "." + parameter});
        }
        return all;
    }();
    return lookups;
}

void BM_ConfigRead(benchmark::State& state) {
    const std::string& text = Text();
    for (auto _ : state) {
        TConfig config("", TConfig::kNoMode);
        config.BuildFromTextBlock(text.data(), unsigned(text.size()));
        benchmark::DoNotOptimize(config.GetNumKeys());
    }
    state.SetItemsProcessed(state.iterations() * kKeys);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_ConfigRead)->Unit(benchmark::kMillisecond);

void BM_ConfigWrite(benchmark::State& state) {
    TConfig config("", TConfig::kNoMode);
    config.BuildFromTextBlock(Text().data(), unsigned(Text().size()));
    unsigned size = 0;
    for (auto _ : state) {
        char* block = config.GetAsBlock(&size);
        benchmark::DoNotOptimize(block);
        NH_Heap::FreeMem(block);
    }
    if (size != Text().size()) state.SkipWithError("text differs");
    state.SetItemsProcessed(state.iterations() * kKeys);
    state.SetBytesProcessed(int64_t(state.iterations()) * size);
}
BENCHMARK(BM_ConfigWrite)->Unit(benchmark::kMillisecond);

void BM_ConfigLookup(benchmark::State& state) {
    TConfig config("", TConfig::kNoMode);
    config.BuildFromTextBlock(Text().data(), unsigned(Text().size()));
    const std::vector<TLookup>& lookups = Lookups();
    uint64_t length = 0;
    for (auto _ : state) {
        for (int n = 0; n < kLookups; ++n) {
            const TLookup& lookup = lookups[size_t(n) & 4095];
            config.MoveDown(lookup.group.c_str(), 0);
            length += config.GetValue("", lookup.name.c_str(), 0).GetLength();
        }
    }
    benchmark::DoNotOptimize(length);
    state.SetItemsProcessed(state.iterations() * kLookups);
}
BENCHMARK(BM_ConfigLookup)->Unit(benchmark::kMillisecond);

#if CVQ_HAVE_PROPERTY_TREE
namespace pt = boost::property_tree;

// The same tree in the INFO format.
const std::string& InfoText() {
    static const std::string text = [] {
        pt::ptree tree;
        for (int s = 0; s < kSections; ++s) {
            pt::ptree& section = tree.add_child("Section" + std::to_string(s), pt::ptree());
            for (int i = 0; i < kItems; ++i) {
                pt::ptree& item = section.add_child("Item" + std::to_string(i), pt::ptree());
                for (int p = 0; p < kParameters; ++p)
                    item.add("Parameter" + std::to_string(p), ValueText(s, i, p));
            }
        }
        std::ostringstream out;
        pt::write_info(out, tree);
        return out.str();
    }();
    return text;
}

pt::ptree ReadInfo() {
    std::istringstream in(InfoText());
    pt::ptree tree;
    pt::read_info(in, tree);
    return tree;
}

void BM_PropertyTreeRead(benchmark::State& state) {
    const std::string& text = InfoText();
    for (auto _ : state) {
        std::istringstream in(text);
        pt::ptree tree;
        pt::read_info(in, tree);
        benchmark::DoNotOptimize(tree.size());
    }
    state.SetItemsProcessed(state.iterations() * kKeys);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}
BENCHMARK(BM_PropertyTreeRead)->Unit(benchmark::kMillisecond);

void BM_PropertyTreeWrite(benchmark::State& state) {
    const pt::ptree tree = ReadInfo();
    size_t size = 0;
    for (auto _ : state) {
        std::ostringstream out;
        pt::write_info(out, tree);
        size = size_t(out.tellp());
        benchmark::DoNotOptimize(size);
    }
    state.SetItemsProcessed(state.iterations() * kKeys);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(size));
}
BENCHMARK(BM_PropertyTreeWrite)->Unit(benchmark::kMillisecond);

void BM_PropertyTreeLookup(benchmark::State& state) {
    const pt::ptree tree = ReadInfo();
    const std::vector<TLookup>& lookups = Lookups();
    uint64_t length = 0;
    for (auto _ : state) {
        for (int n = 0; n < kLookups; ++n) {
            const TLookup& lookup = lookups[size_t(n) & 4095];
            length += tree.get_child(lookup.dotted).data().size();
        }
    }
    benchmark::DoNotOptimize(length);
    state.SetItemsProcessed(state.iterations() * kLookups);
}
BENCHMARK(BM_PropertyTreeLookup)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
