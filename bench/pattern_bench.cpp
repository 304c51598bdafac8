// TStringPattern beside std::regex (ECMAScript), POSIX regexec and PCRE2 without JIT:
// every match of a few typical patterns over 10 MB of text, and a FindPattern whose only
// match lies at the end. IsStringMatchedByDosPatternNCS beside fnmatch(FNM_CASEFOLD).
#include <commonvcqx/text/StringPattern.h>

#include <benchmark/benchmark.h>

#include <fnmatch.h>
#include <regex.h>

#include <cstring>
#include <random>
#include <regex>
#include <string>
#include <vector>

#if CVQ_HAVE_PCRE2
#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>
#endif

namespace {

// Words, numbers and punctuation in lines of about 70 characters.
const std::string& Text() {
    static const std::string text = [] {
        const char* words[] = {"the",       "sound", "of",    "a",       "take",
                               "mixing",    "Hello", "world", "session", "track",
                               "recording", "level", "gain",  "stereo",  "channel",
                               "singing",   "left",  "right", "error:",  "ok"};
        std::mt19937 rng(5);
        std::string t;
        t.reserve(10u << 20);
        size_t line = 0;
        while (t.size() < (10u << 20) - 64) {
            if (rng() % 9 == 0) {
                t += std::to_string(rng() % 100000);
            } else {
                t += words[rng() % 20];
            }
            line += 8;
            if (line > 70) {
                t += '\n';
                line = 0;
            } else {
                t += rng() % 11 == 0 ? ", " : " ";
            }
        }
        t += " zebra42\n";
        return t;
    }();
    return text;
}

struct Pattern {
    const char* name;
    const char* library;  // this library's syntax
    const char* ecma;     // std::regex and PCRE2
    const char* posix;    // regcomp extended
    bool ignoreCase;
};

const Pattern kPatterns[] = {
    {"literal", "recording", "recording", "recording", false},
    {"digits", "[0-9]+", "[0-9]+", "[0-9]+", false},
    {"suffix", "/w+ing", "\\w+ing", "[[:alnum:]_]+ing", false},
    {"alternation_nocase", "hello|world", "hello|world", "hello|world", true},
    {"word_pair", "take [a-z]+ level", "take [a-z]+ level", "take [a-z]+ level", false},
};

int CountHit(int, int32_t, int32_t, const char*, void* context) {
    ++*static_cast<int64_t*>(context);
    return 0;
}

void BM_Pattern_CommonVcQx(benchmark::State& state) {
    const Pattern& p = kPatterns[state.range(0)];
    TStringPattern compiled(p.library, p.ignoreCase ? 0 : 1);
    int64_t matches = 0;
    for (auto _ : state) {
        matches = 0;
        compiled.Find(nullptr, Text().c_str(), 0, TStringPattern::kAll, CountHit, &matches);
    }
    state.SetLabel(std::string(p.name) + " matches=" + std::to_string(matches));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Text().size()));
}

void BM_Pattern_StdRegex(benchmark::State& state) {
    const Pattern& p = kPatterns[state.range(0)];
    auto flags =
        std::regex::ECMAScript | (p.ignoreCase ? std::regex::icase : std::regex::ECMAScript);
    std::regex re(p.ecma, flags);
    int64_t matches = 0;
    const char* begin = Text().c_str();
    const char* end = begin + Text().size();
    for (auto _ : state) {
        matches = std::distance(std::cregex_iterator(begin, end, re), std::cregex_iterator());
    }
    state.SetLabel(std::string(p.name) + " matches=" + std::to_string(matches));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Text().size()));
}

void BM_Pattern_PosixRegexec(benchmark::State& state) {
    const Pattern& p = kPatterns[state.range(0)];
    regex_t re;
    regcomp(&re, p.posix, REG_EXTENDED | (p.ignoreCase ? REG_ICASE : 0));
    int64_t matches = 0;
    for (auto _ : state) {
        matches = 0;
        const char* at = Text().c_str();
        regmatch_t m;
        int flags = 0;
        while (regexec(&re, at, 1, &m, flags) == 0) {
            ++matches;
            at += m.rm_eo > m.rm_so ? m.rm_eo : m.rm_so + 1;
            flags = REG_NOTBOL;
            if (!*at) break;
        }
    }
    regfree(&re);
    state.SetLabel(std::string(p.name) + " matches=" + std::to_string(matches));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Text().size()));
}

#if CVQ_HAVE_PCRE2
void BM_Pattern_Pcre2(benchmark::State& state) {
    const Pattern& p = kPatterns[state.range(0)];
    int error;
    PCRE2_SIZE offset;
    pcre2_code* re = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(p.ecma), PCRE2_ZERO_TERMINATED,
                                   p.ignoreCase ? PCRE2_CASELESS : 0, &error, &offset, nullptr);
    pcre2_match_data* md = pcre2_match_data_create_from_pattern(re, nullptr);
    const auto* subject = reinterpret_cast<PCRE2_SPTR>(Text().c_str());
    const PCRE2_SIZE length = Text().size();
    int64_t matches = 0;
    for (auto _ : state) {
        matches = 0;
        PCRE2_SIZE start = 0;
        while (pcre2_match(re, subject, length, start, 0, md, nullptr) > 0) {
            ++matches;
            PCRE2_SIZE* ov = pcre2_get_ovector_pointer(md);
            start = ov[1] > ov[0] ? ov[1] : ov[0] + 1;
        }
    }
    pcre2_match_data_free(md);
    pcre2_code_free(re);
    state.SetLabel(std::string(p.name) + " matches=" + std::to_string(matches));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Text().size()));
}
BENCHMARK(BM_Pattern_Pcre2)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
#endif

BENCHMARK(BM_Pattern_CommonVcQx)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pattern_PosixRegexec)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Pattern_StdRegex)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->Iterations(1);

// FindPattern compiles and finds the first match, here only at the very end.
void BM_FindPattern_CommonVcQx(benchmark::State& state) {
    int32_t pos = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(FindPattern(Text().c_str(), "zebra[0-9]+", 1, &pos));
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Text().size()));
}
BENCHMARK(BM_FindPattern_CommonVcQx)->Unit(benchmark::kMillisecond);

void BM_FindPattern_StdRegex(benchmark::State& state) {
    std::cmatch m;
    for (auto _ : state) {
        std::regex re("zebra[0-9]+");
        benchmark::DoNotOptimize(std::regex_search(Text().c_str(), m, re));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(Text().size()));
}
BENCHMARK(BM_FindPattern_StdRegex)->Unit(benchmark::kMillisecond)->Iterations(1);

// DOS wildcards over a list of file names.
const std::vector<std::string>& Names() {
    static const std::vector<std::string> names = [] {
        const char* stems[] = {"take_", "Mix_final_", "drums-", "VOX", "session.backup."};
        const char* exts[] = {".wav", ".WAV", ".aif", ".txt", ".mp3", ""};
        std::mt19937 rng(9);
        std::vector<std::string> v;
        for (int i = 0; i < 10000; ++i)
            v.push_back(std::string(stems[rng() % 5]) + std::to_string(rng() % 1000) +
                        exts[rng() % 6]);
        return v;
    }();
    return names;
}

const char* kDosPatterns[] = {"*.wav", "take_??.*", "*mix*final*.WAV", "*"};

void BM_Dos_CommonVcQx(benchmark::State& state) {
    const char* pattern = kDosPatterns[state.range(0)];
    int64_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (const auto& name : Names())
            hits += IsStringMatchedByDosPatternNCS(name.c_str(), pattern);
    }
    state.SetLabel(std::string(pattern) + " hits=" + std::to_string(hits));
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(Names().size()));
}
BENCHMARK(BM_Dos_CommonVcQx)->DenseRange(0, 3);

void BM_Dos_Fnmatch(benchmark::State& state) {
    const char* pattern = kDosPatterns[state.range(0)];
    int64_t hits = 0;
    for (auto _ : state) {
        hits = 0;
        for (const auto& name : Names()) hits += fnmatch(pattern, name.c_str(), FNM_CASEFOLD) == 0;
    }
    state.SetLabel(std::string(pattern) + " hits=" + std::to_string(hits));
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(Names().size()));
}
BENCHMARK(BM_Dos_Fnmatch)->DenseRange(0, 3);

}  // namespace

BENCHMARK_MAIN();
