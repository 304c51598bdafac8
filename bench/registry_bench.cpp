// 10 000 GetRegistryString/GetRegistryLong calls over 1 000 values of one root file,
// beside reading the same values with the configuration tree loaded from that file
// for every call (the peer: the tree reads the same text format), and Ensure* of
// values that are already there, which must not write (checked: the file keeps its
// identity and time). Read items_per_second as calls per second.
#include <commonvcqx/config/Config.h>
#include <commonvcqx/config/Registry.h>

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kValues = 1000;
constexpr int kCalls = 10000;
constexpr int kKeys = 10;

struct TBenchValue {
    std::string key;   // "Software\\Bench\\Key3"
    std::string path;  // "/Software/Bench/Key3" for the tree
    std::string name;
    bool isString;
};

struct TFixture {
    std::string folder;
    std::string file;
    std::vector<TBenchValue> values;

    TFixture() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "cvq_regbench_XXXXXX").string();
        if (!mkdtemp(pattern.data())) std::abort();
        folder = pattern;
        file = folder + "/HKEY_CURRENT_USER.reg";
        SetRegistryDirectory(folder.c_str());
        for (int i = 0; i < kValues; ++i) {
            TBenchValue value;
            value.key = "Software\\Bench\\Key" + std::to_string(i % kKeys);
            value.path = "/Software/Bench/Key" + std::to_string(i % kKeys);
            value.isString = i % 2 == 0;
            value.name = (value.isString ? "Text" : "Number") + std::to_string(i);
            if (value.isString)
                EnsureRegistryString(HKEY_CURRENT_USER, value.key.c_str(), value.name.c_str(),
                                     ("value of " + value.name).c_str(), 1);
            else
                EnsureRegistryLong(HKEY_CURRENT_USER, value.key.c_str(), value.name.c_str(), i);
            values.push_back(value);
        }
    }
    ~TFixture() {
        SetRegistryDirectory(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

TFixture& Fixture() {
    static TFixture fixture;
    return fixture;
}

struct timespec WrittenAt(const std::string& file, ino_t& inode) {
    struct stat info = {};
    stat(file.c_str(), &info);
    inode = info.st_ino;
    return info.st_mtim;
}

void BM_RegistryGet(benchmark::State& state) {
    TFixture& fixture = Fixture();
    int64_t sum = 0;
    for (auto _ : state) {
        for (int call = 0; call < kCalls; ++call) {
            const TBenchValue& value = fixture.values[size_t(call % kValues)];
            char found = 0;
            if (value.isString)
                sum += GetRegistryString(HKEY_CURRENT_USER, value.key.c_str(), value.name.c_str(),
                                         &found)
                           .GetLength();
            else
                sum += GetRegistryLong(HKEY_CURRENT_USER, value.key.c_str(), value.name.c_str(),
                                       &found);
            if (!found) state.SkipWithError("value not found");
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kCalls);
}
BENCHMARK(BM_RegistryGet)->Unit(benchmark::kMillisecond);

// The peer: the configuration tree loaded from the same file for every call.
void BM_ConfigTreeFromFileEachTime(benchmark::State& state) {
    TFixture& fixture = Fixture();
    const TFileName file(fixture.file.c_str());
    int64_t sum = 0;
    for (auto _ : state) {
        for (int call = 0; call < kCalls; ++call) {
            const TBenchValue& value = fixture.values[size_t(call % kValues)];
            TConfig config("", TConfig::kNoMode);
            config.Load(file);
            config.SetAutoCreate(0);
            config.MoveDown(value.path.c_str(), 0);
            if (value.isString)
                sum += config.GetValue("", ("sz:" + value.name).c_str(), 0).GetLength();
            else
                sum += config.GetValue(int32_t(0), ("dword:" + value.name).c_str(), 0);
        }
    }
    benchmark::DoNotOptimize(sum);
    state.SetItemsProcessed(state.iterations() * kCalls);
}
BENCHMARK(BM_ConfigTreeFromFileEachTime)->Unit(benchmark::kMillisecond);

void BM_EnsureUnchanged(benchmark::State& state) {
    TFixture& fixture = Fixture();
    ino_t before = 0, after = 0;
    const struct timespec was = WrittenAt(fixture.file, before);
    for (auto _ : state) {
        for (int i = 0; i < kValues; ++i) {
            const TBenchValue& value = fixture.values[size_t(i)];
            if (value.isString)
                EnsureRegistryString(HKEY_CURRENT_USER, value.key.c_str(), value.name.c_str(),
                                     ("value of " + value.name).c_str(), 1);
            else
                EnsureRegistryLong(HKEY_CURRENT_USER, value.key.c_str(), value.name.c_str(), i);
        }
    }
    const struct timespec is = WrittenAt(fixture.file, after);
    const bool wrote = before != after || was.tv_sec != is.tv_sec || was.tv_nsec != is.tv_nsec;
    if (wrote) state.SkipWithError("an unchanged Ensure wrote the file");
    state.counters["writes"] = wrote ? 1 : 0;
    state.SetItemsProcessed(state.iterations() * kValues);
}
BENCHMARK(BM_EnsureUnchanged)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
