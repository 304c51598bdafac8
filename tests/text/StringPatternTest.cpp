#include <commonvcqx/text/String.h>
#include <commonvcqx/text/StringPattern.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

using Hits = std::vector<std::tuple<int, int32_t, int32_t>>;  // group, first, last

int Collect(int group, int32_t first, int32_t last, const char*, void* context) {
    static_cast<Hits*>(context)->emplace_back(group, first, last);
    return 0;
}

}  // namespace

TEST(StringPatternTest, FindsLeftmostLongestWithoutCaptures) {
    struct Case {
        const char* text;
        const char* pattern;
        char caseSensitive;
        int32_t length, pos;
    } cases[] = {
        {"xxabbbc", "ab*c", 1, 5, 2},
        {"say HELLO", "hello", 0, 5, 4},
        {"say HELLO", "hello", 1, -1, 0},
        {"a1b22", "/d+", 1, 1, 1},
        {"12ab3", "[^0-9]+", 1, 2, 2},
        {"ab", "a|ab", 1, 2, 0},  // longest, not first
        {"xaby", "(a|ab)(c|bcd)?y", 1, 3, 1},
        {"abc", "x*", 1, 0, 0},  // only empty matches: the end's answer, start kept
        {"", "a", 1, -1, 0},
        {"", "a*", 1, 0, 0},
        {"one\ntwo", "^two$", 1, 3, 4},
        {"one\ntwo", "^one$", 1, 3, 0},
        {"cat concat", "/bcat/b", 1, 3, 0},
        {"concat cat", "/bcat/b", 1, 3, 7},
        {"a.b", "a/.b", 1, 3, 0},
        {"axb", "a/.b", 1, -1, 0},
        {"a\nb", "a.b", 1, -1, 0},  // "." never takes a newline
        {"tab\there", "/t", 1, 1, 3},
        {"A", "/x41", 1, 1, 0},
        {"A", "/65", 1, 1, 0},
        {"a", "/x61", 0, 1, 0},
        {"x_y z", "/v+", 1, 3, 0},
        {"x_y z", "[a-z_]+", 1, 3, 0},
        {"QRS", "[p-r]+", 0, 2, 0},  // set characters folded when ignoring case
        {"a-b", "[a/-]+", 1, 2, 0},
        {"a]b", "a/]b", 1, 3, 0},
        {"x^$y", "[x^$]+", 1, 1, 0},  // "^" and "$" inside a set add nothing
        {"a??", "a??", 1, 2, 0},      // a second "?" is a literal, optional "a" before it
        {"  word", "/S+", 1, 4, 2},
        {"x\xFFy", "/s", 1, 1, 1},
    };
    for (const Case& c : cases) {
        int32_t pos = -7;
        EXPECT_EQ(FindPattern(c.text, c.pattern, c.caseSensitive, &pos), c.length)
            << c.pattern << " in " << c.text;
        EXPECT_EQ(pos, c.pos) << c.pattern << " in " << c.text;
    }
    EXPECT_EQ(FindPattern(nullptr, "a*", 1, nullptr), 0);
}

TEST(StringPatternTest, RejectsSyntaxErrors) {
    const char* bad[] = {"a**", "a*+", "[-a]", "[a-]", "[a",    "[a\nb]", "/300", "(a",     "{a",
                         "a)",  "a}",  "()",   "|a",   "a|",    "",       "*a",   "+",      "]",
                         "/",   "/x4", "/xg1", "~a",   "[^-a]", "{a)",    "(a}",  "[a-c-]x"};
    for (const char* pattern : bad) {
        TStringPattern p;
        EXPECT_EQ(p.Set(pattern, 1), 0) << pattern;
        EXPECT_EQ(p.Find(nullptr, "aaa", 0, TStringPattern::kForward), -1) << pattern;
    }
    const char* good[] = {"/~", "/255", "[]", "a|b|c", "((a))", "{a}{b}", "[/]]"};
    for (const char* pattern : good) EXPECT_EQ(TStringPattern(pattern, 1).IsValid(), 1) << pattern;
    EXPECT_EQ(TStringPattern(nullptr, 1).IsValid(), 0);
    // A failed Set discards the previous machine.
    TStringPattern p("a", 1);
    EXPECT_EQ(p.Set("(", 1), 0);
    EXPECT_EQ(p.Find(nullptr, "a", 0, TStringPattern::kForward), -1);
}

TEST(StringPatternTest, ModesAndCallbacks) {
    TStringPattern p("o+", 1);
    const char* text = "foo boo o";
    int32_t pos;
    Hits hits;
    EXPECT_EQ(p.Find(&pos, text, 0, TStringPattern::kAll, Collect, &hits), 2);
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(hits, (Hits{{0, 1, 2}, {0, 5, 6}, {0, 8, 8}}));

    hits.clear();
    EXPECT_EQ(p.Find(&pos, text, 8, TStringPattern::kBackward, Collect, &hits), 1);
    EXPECT_EQ(pos, 6);  // the first position going back from 7 that matches
    EXPECT_EQ(hits, (Hits{{0, 6, 6}}));
    EXPECT_EQ(p.Find(&pos, text, 0, TStringPattern::kBackward), -1);
    EXPECT_EQ(pos, 0);

    hits.clear();
    EXPECT_EQ(p.Find(&pos, text, 5, TStringPattern::kAnchored, Collect, &hits), 2);
    EXPECT_TRUE(hits.empty());  // anchored searches report nothing for plain patterns
    EXPECT_EQ(p.Find(&pos, text, 0, TStringPattern::kAnchored), -1);
    EXPECT_EQ(TStringPattern("x*", 1).Find(&pos, "abc", 1, TStringPattern::kAnchored), 0);

    EXPECT_EQ(p.Find(&pos, text, 3, TStringPattern::kForward), 2);
    EXPECT_EQ(pos, 5);
    EXPECT_EQ(p.Find(&pos, text, 10, TStringPattern::kForward), -1);  // past the end
    EXPECT_EQ(pos, 10);
    EXPECT_EQ(p.Find(&pos, text, -1, TStringPattern::kForward), -1);
}

TEST(StringPatternTest, CaptureGroupsTakeTheFirstPathAndReportEachClose) {
    struct Case {
        const char* text;
        const char* pattern;
        int32_t length, pos;
        Hits hits;
    } cases[] = {
        {"ab", "{a|ab}", 1, 0, {{0, 0, 0}}},  // first alternative, not the longest
        {"xab", "{a}{b}", 2, 1, {{0, 1, 1}, {1, 2, 2}}},
        {"aaa", "{a}*", 3, 0, {{0, 0, 0}, {0, 1, 1}, {0, 2, 2}}},
        {"key=value", "{/w+}={/w*}", 9, 0, {{0, 0, 2}, {1, 4, 8}}},
        {"k=", "{/w+}={/w*}", 2, 0, {{0, 0, 0}}},  // the empty capture is not reported
        {"abab", "{{a}b}+", 4, 0, {{1, 0, 0}, {0, 0, 1}, {1, 2, 2}, {0, 2, 3}}},
        {"aab", "{a*}*b", 3, 0, {{0, 0, 1}}},  // empty loop: no hang
        {"zzz", "{a}?z", 1, 0, {}},
    };
    for (const Case& c : cases) {
        TStringPattern p(c.pattern, 1);
        ASSERT_EQ(p.IsValid(), 1) << c.pattern;
        Hits hits;
        int32_t pos;
        EXPECT_EQ(p.Find(&pos, c.text, 0, TStringPattern::kForward, Collect, &hits), c.length)
            << c.pattern;
        EXPECT_EQ(pos, c.pos) << c.pattern;
        EXPECT_EQ(hits, c.hits) << c.pattern;
    }
}

TEST(StringPatternTest, ReplaceAndDosPatterns) {
    TString s("foo boo");
    EXPECT_EQ(ReplaceAllPatterns(s, "o", "0", 1), 4);
    EXPECT_STREQ(s.c_str(), "f00 b00");
    TString shared("a-b-c");
    TString copy(shared);
    EXPECT_EQ(ReplaceAllPatterns(shared, "-+", "<$>", 1), 2);
    EXPECT_STREQ(shared.c_str(), "a<$>b<$>c");  // replacement taken literally
    EXPECT_STREQ(copy.c_str(), "a-b-c");
    EXPECT_EQ(ReplaceAllPatterns(shared, "z", "y", 1), 0);
    EXPECT_EQ(ReplaceAllPatterns(shared, "(", "y", 1), 0);

    int32_t pos;
    EXPECT_EQ(FindWithDosWildcards("file.wav", "*.WAV", &pos, 0), 8);
    EXPECT_EQ(pos, 0);
    EXPECT_EQ(FindWithDosWildcards("file.wav", "*.WAV", &pos, 1), -1);
    EXPECT_EQ(FindWithDosWildcards("readXtxt", "*.txt", &pos, 1), 8);  // "." is any character
    EXPECT_EQ(FindWithDosWildcards("a(b)|c", "(b)|", &pos, 1), 4);     // other operators literal
    EXPECT_EQ(pos, 1);
    EXPECT_EQ(FindWithDosWildcards("ab", "a?c", &pos, 1), -1);

    struct Case {
        const char* text;
        const char* pattern;
        char sensitive, insensitive;
    } cases[] = {
        {"report.txt", "*.txt", 1, 1},
        {"a.txt", "?.txt", 1, 1},
        {"ab.txt", "?.txt", 0, 0},
        {"A.TXT", "*.txt", 0, 1},
        {"", "*", 1, 1},
        {"", "?", 0, 0},
        {"", "", 1, 1},
        {"a", "", 0, 0},
        {"abc", "a*c*", 1, 1},
        {"abc", "*b", 0, 0},
        {"mississippi", "m*iss*ppi", 1, 1},
        {"aXbXc", "a*b*c", 1, 1},
        {"abcabd", "*ab?", 1, 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsStringMatchedByDosPattern(c.text, c.pattern), c.sensitive)
            << c.text << " " << c.pattern;
        EXPECT_EQ(IsStringMatchedByDosPatternNCS(c.text, c.pattern), c.insensitive)
            << c.text << " " << c.pattern;
    }
    EXPECT_EQ(IsStringMatchedByDosPattern(nullptr, "*"), 1);
}

TEST(StringPatternTest, ReassignedOperators) {
    TStringPattern p;
    p.SetMetaChar(TStringPattern::kEscape, '\\');
    p.SetMetaChar(TStringPattern::kAlternation, '!');
    ASSERT_EQ(p.Set("\\d+!x", 1), 1);
    int32_t pos;
    EXPECT_EQ(p.Find(&pos, "ab|x12", 0, TStringPattern::kForward), 1);
    EXPECT_EQ(pos, 3);  // "|" is a literal now, "!" alternates
    p.SetNoMetaChar();
    ASSERT_EQ(p.Set("a*(b)", 1), 1);
    EXPECT_EQ(p.Find(&pos, "xa*(b)", 0, TStringPattern::kForward), 5);
    EXPECT_EQ(pos, 1);
    ASSERT_EQ(p.Set("\x01", 1), 1);  // the "switched off" byte itself is literal
    EXPECT_EQ(p.Find(&pos, "a\x01", 0, TStringPattern::kForward), 1);
}

TEST(StringPatternTest, PathologicalInputsStayLinear) {
    std::string as(20000, 'a');
    // Nested repetition that explodes a naive backtracker, with and without captures.
    EXPECT_EQ(FindPattern(as.c_str(), "(a*)*b", 1, nullptr), -1);
    EXPECT_EQ(FindPattern(as.c_str(), "{(a*)*}b", 1, nullptr), -1);
    EXPECT_EQ(FindPattern((as + "b").c_str(), "{a|aa}*b", 1, nullptr), 20001);
    // Many states active at once (far beyond a fixed list of 1000).
    std::string many;
    for (int i = 0; i < 3000; ++i) many += "a?";
    many += std::string(3000, 'a');
    EXPECT_EQ(FindPattern(std::string(3000, 'a').c_str(), many.c_str(), 1, nullptr), 3000);
    // Long alternations and deep nesting compile without deep recursion; too deep fails.
    std::string alternation = "x";
    for (int i = 0; i < 20000; ++i) alternation += "|y";
    EXPECT_EQ(FindPattern("zy", alternation.c_str(), 1, nullptr), 1);
    EXPECT_EQ(TStringPattern((std::string(1000, '(') + "a" + std::string(1000, ')')).c_str(), 1)
                  .IsValid(),
              1);
    EXPECT_EQ(TStringPattern((std::string(1001, '{') + "a" + std::string(1001, '}')).c_str(), 1)
                  .IsValid(),
              0);
    EXPECT_EQ(TStringPattern(std::string(200000, '(').c_str(), 1).IsValid(), 0);
    // A text that makes candidate-by-candidate matching re-read too much, and a pattern
    // whose cached transitions would outgrow their cache: both stay correct.
    std::string ab;
    for (int i = 0; i < 100000; ++i) ab += "ab";
    EXPECT_EQ(FindPattern(ab.c_str(), "(a|b)*c", 1, nullptr), -1);
    EXPECT_EQ(FindPattern((ab + "c").c_str(), "(a|b)*c", 1, nullptr), 200001);
    std::string blowup = "(a|b)*a";
    for (int i = 0; i < 14; ++i) blowup += "(a|b)";
    int32_t pos;
    EXPECT_EQ(FindPattern(ab.c_str(), blowup.c_str(), 1, &pos),
              199999);  // last "a" with 14 after it
    EXPECT_EQ(pos, 0);
    // A whole-text DOS match with many stars over a long text.
    std::string stars;
    for (int i = 0; i < 30; ++i) stars += "*a";
    EXPECT_EQ(IsStringMatchedByDosPattern(as.c_str(), (stars + "*b").c_str()), 0);
}

TEST(StringPatternTest, UnanchoredSearchAgreesWithPositionByPosition) {
    // The one-pass search must equal trying each position anchored, in order.
    std::mt19937 rng(11);
    const char* atoms[] = {"a", "b", ".", "[ab]", "(a|bb)", "/w", "^", "$", "/b", "(ab|a)"};
    const char* posts[] = {"", "", "*", "+", "?"};
    for (int round = 0; round < 6000; ++round) {
        std::string pattern;
        int items = 1 + int(rng() % 4);
        for (int i = 0; i < items; ++i) {
            pattern += atoms[rng() % 10];
            pattern += posts[rng() % 5];
            if (rng() % 7 == 0 && i + 1 < items) pattern += '|';
        }
        std::string text;
        int n = int(rng() % 12);
        for (int i = 0; i < n; ++i) text += "ab \n"[rng() % 4];
        // Half the rounds run the capture-group matcher, whose forward search keeps the
        // failures of earlier starts.
        if (round % 2) pattern = "{" + pattern + "}";
        TStringPattern p(pattern.c_str(), 1);
        ASSERT_EQ(p.IsValid(), 1) << pattern;
        int32_t expectLength = -1, expectPos = -1;
        for (int32_t at = 0; at <= int32_t(text.size()) && expectPos < 0; ++at) {
            int32_t l = p.Find(nullptr, text.c_str(), at, TStringPattern::kAnchored);
            if (l > 0) expectLength = l, expectPos = at;
        }
        int32_t pos;
        int32_t length = p.Find(&pos, text.c_str(), 0, TStringPattern::kForward);
        if (round % 2 == 0) {
            // "^?" is always true but keeps the search off the cached transitions.
            TStringPattern simulated(("^?(" + pattern + ")").c_str(), 1);
            int32_t simulatedPos;
            EXPECT_EQ(simulated.Find(&simulatedPos, text.c_str(), 0, TStringPattern::kForward),
                      length)
                << pattern << " / " << text;
            EXPECT_EQ(simulatedPos, pos) << pattern << " / " << text;
        }
        if (expectPos < 0) {
            EXPECT_LE(length, 0) << pattern << " / " << text;
        } else {
            EXPECT_EQ(length, expectLength) << pattern << " / " << text;
            EXPECT_EQ(pos, expectPos) << pattern << " / " << text;
        }
    }
}

TEST(StringPatternTest, RunEndingInLiteralAgreesWithGeneralSearch) {
    // "C+L" and "C*L" search for L and extend back over C; "P|P" means the same but takes
    // the general search.
    const char* patterns[] = {"/w+ing", "[a-i]*ng", ".+ing", "a+aa", "x*xy",
                              "/d+0",   "[^ ]+ a",  "/W*i",  "n+n",  "i*ing"};
    std::mt19937 rng(5);
    for (int round = 0; round < 3000; ++round) {
        const char* pattern = patterns[round % 10];
        std::string text;
        int n = int(rng() % 40);
        for (int i = 0; i < n; ++i) text += "aingxy0 \n_"[rng() % 10];
        TStringPattern fast(pattern, 1);
        TStringPattern general((std::string(pattern) + "|" + pattern).c_str(), 1);
        ASSERT_EQ(fast.IsValid(), 1) << pattern;
        Hits fastHits, generalHits;
        int32_t start = int32_t(rng() % (text.size() + 1)), fastPos, generalPos;
        EXPECT_EQ(
            fast.Find(&fastPos, text.c_str(), start, TStringPattern::kAll, Collect, &fastHits),
            general.Find(&generalPos, text.c_str(), start, TStringPattern::kAll, Collect,
                         &generalHits))
            << pattern << " / " << text;
        EXPECT_EQ(fastPos, generalPos) << pattern << " / " << text;
        EXPECT_EQ(fastHits, generalHits) << pattern << " / " << text;
        EXPECT_EQ(fast.Find(&fastPos, text.c_str(), start, TStringPattern::kForward),
                  general.Find(&generalPos, text.c_str(), start, TStringPattern::kForward))
            << pattern << " / " << text;
        EXPECT_EQ(fastPos, generalPos) << pattern << " / " << text;
    }
    // A long run without the literal, and one where the literal repeats inside the run.
    std::string run(200000, 'a');
    int32_t pos;
    EXPECT_EQ(TStringPattern("a*b", 1).Find(&pos, run.c_str(), 0, TStringPattern::kForward), -1);
    run[150000] = 'b';
    run[199999] = 'b';
    EXPECT_EQ(TStringPattern("a+b", 1).Find(&pos, run.c_str(), 10, TStringPattern::kForward),
              150000 - 10 + 1);
    EXPECT_EQ(pos, 10);
}

namespace {

std::vector<std::string> Texts(const TArray<TString>& tokens) {
    std::vector<std::string> texts;
    for (const TString& t : tokens) texts.emplace_back(t.c_str(), t.GetLength());
    return texts;
}

}  // namespace

TEST(StringPatternTest, TokenizeAppendsEachMatchOrCapture) {
    using Strings = std::vector<std::string>;
    struct Case {
        const char* text;
        const char* pattern;
        char caseSensitive;
        Strings tokens;
    } cases[] = {
        {"one two  three", "/w+", 1, {"one", "two", "three"}},
        {"", "/w+", 1, {}},
        {"   ", "/w+", 1, {}},
        {"aXbxc", "x", 0, {"X", "x"}},
        {"a,b,,c", "[^,]*", 1, {"a", "b", "c"}},              // empty matches are no tokens
        {"k1=v1;k2=", "{/w+}={/w*}", 1, {"k1", "v1", "k2"}},  // captures, empty ones dropped
        {"ab", "a|ab", 1, {"ab"}},
        {"x", "a**", 1, {}},  // does not compile: nothing added
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.text) + " / " + c.pattern);
        TArray<TString> tokens;
        EXPECT_EQ(TokenizePatterns(c.text, tokens, c.pattern, c.caseSensitive),
                  int(c.tokens.size()));
        EXPECT_EQ(Texts(tokens), c.tokens);
    }

    // Tokens are appended to what the array holds; the count is the array's.
    TArray<TString> tokens;
    tokens.Add("kept");
    TStringPattern digits("/d+", 1);
    EXPECT_EQ(digits.Tokenize(TString("a1b22c333"), tokens), 4);
    EXPECT_EQ(digits.Tokenize(TString("none"), tokens), 4);
    EXPECT_EQ(Texts(tokens), (Strings{"kept", "1", "22", "333"}));

    // A text holding a NUL is tokenized up to it.
    TString withNul("ab");
    withNul.Append('\0').Append("cd");
    TArray<TString> cut;
    EXPECT_EQ(TokenizePatterns(withNul, cut, "/w+", 1), 1);
    EXPECT_EQ(Texts(cut), (Strings{"ab"}));
}

TEST(StringPatternTest, MatchCallbacksStoreTextsAndLocations) {
    TArray<TMatchLocation> locations;
    TStringPattern plain("o+", 1);
    int32_t pos;
    EXPECT_EQ(plain.Find(&pos, "foo boo o", 0, TStringPattern::kAll,
                         CB_OnMatchStoreInMatchLocationArray, &locations),
              2);
    ASSERT_EQ(locations.GetCount(), 3);
    const int32_t expected[][3] = {{0, 1, 2}, {0, 5, 2}, {0, 8, 1}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(locations[i].group, expected[i][0]);
        EXPECT_EQ(locations[i].first, expected[i][1]);
        EXPECT_EQ(locations[i].length, expected[i][2]);
    }

    locations.Clear();
    TStringPattern groups("{/w+}={/w+}", 1);
    groups.Find(&pos, "  key=value", 0, TStringPattern::kForward,
                CB_OnMatchStoreInMatchLocationArray, &locations);
    ASSERT_EQ(locations.GetCount(), 2);
    EXPECT_EQ(locations[1].group, 1);
    EXPECT_EQ(locations[1].first, 6);
    EXPECT_EQ(locations[1].length, 5);

    // Called directly with degenerate arguments: nothing is read past the text's NUL,
    // and a missing array or text is ignored.
    TArray<TString> texts;
    EXPECT_EQ(CB_OnMatchStoreInStringArray(0, 1, 100, "abc", &texts), 0);
    EXPECT_EQ(CB_OnMatchStoreInStringArray(0, 3, 2, "abc", &texts), 0);  // empty range
    EXPECT_EQ(CB_OnMatchStoreInStringArray(0, -1, 2, "abc", &texts), 0);
    EXPECT_EQ(CB_OnMatchStoreInStringArray(0, 0, 2, nullptr, &texts), 0);
    EXPECT_EQ(CB_OnMatchStoreInStringArray(0, 0, 2, "abc", nullptr), 0);
    EXPECT_EQ(CB_OnMatchStoreInMatchLocationArray(0, 0, 2, "abc", nullptr), 0);
    EXPECT_EQ(Texts(texts), (std::vector<std::string>{"bc", ""}));
}
