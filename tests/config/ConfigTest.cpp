// TConfig: navigation by names, indices and paths, typed values and their stored
// text, binary values, refused names, deleting and the cursor, sorted modes, walks.
#include "ConfigTestSupport.h"

#include <commonvcqx/config/Config.h>
#include <commonvcqx/text/AsciiEncoding.h>

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

using cvq::test::TextOf;
using cvq::test::Throws;

std::string Stored(TConfig& config, const char* name) {
    return config.GetValue("<absent>", name, 0).c_str();
}

std::vector<std::string> ChildNames(const TConfig& config) {
    std::vector<std::string> names;
    for (TConfigKey* key = config.GetFirstKey(); key; key = key->GetNext())
        names.emplace_back(key->GetName().c_str());
    return names;
}

}  // namespace

TEST(ConfigTest, FormatNameAppendsNonZeroIndicesAndNeverOverflows) {
    char out[256];
    EXPECT_STREQ(TConfig::FormatName(out, "Track", 0), "Track");
    EXPECT_STREQ(TConfig::FormatName(out, "Track", 12), "Track12");
    EXPECT_STREQ(TConfig::FormatName(out, "Track", -3), "Track-3");
    std::string longName(400, 'n');
    TConfig::FormatName(out, longName.c_str(), 7);
    EXPECT_EQ(std::strlen(out), 255u);

    // Inside the tree, names are never cut: two long names differing at the end stay two.
    TConfig config("Prefs", TConfig::kNoMode);
    config.SetValue(1, (longName + "a").c_str(), 5);
    config.SetValue(2, (longName + "b").c_str(), 5);
    EXPECT_EQ(config.GetNumValues(), 2);
    EXPECT_EQ(config.GetValue(0, (longName + "b").c_str(), 5), 2);
    EXPECT_TRUE(config.ExistValue((longName + "a5").c_str(), 0));
}

TEST(ConfigTest, MoveDownFollowsPathsAndCreatesWhenAllowed) {
    TConfig config("Prefs", TConfig::kNoMode);
    TConfigKey* b = config.MoveDown("/a/b", 0);
    EXPECT_EQ(std::string(b->GetName().c_str()), "b");
    EXPECT_EQ(std::string(b->GetParent()->GetName().c_str()), "a");
    EXPECT_EQ(b->GetParent()->GetParent(), config.GetRoot());

    // From any key, a leading "/" starts at the root; the parts are trimmed, empty
    // ones skipped, and the index goes to the last part.
    config.MoveDown("elsewhere", 0);
    EXPECT_EQ(config.MoveDown("/ a //\tb\t", 0), b);
    TConfigKey* c2 = config.MoveDown("/a/c", 2);
    EXPECT_EQ(std::string(c2->GetName().c_str()), "c2");
    config.MoveUp();
    EXPECT_EQ(config.MoveDown("b/", 0), b);  // relative path
    EXPECT_EQ(config.MoveUp(), b->GetParent());
    EXPECT_EQ(config.MoveUp(), config.GetRoot());
    EXPECT_EQ(config.MoveUp(), config.GetRoot());  // the root stays the root

    // A single name enters the first group of that name, never a value.
    config.MoveToRoot();
    config.SetValue(5, "v", 0);
    TConfigKey* group = config.MoveDown("v", 0);
    EXPECT_TRUE(group->IsGroup());
    config.MoveToRoot();
    EXPECT_EQ(config.GetNumKeys(), 3);  // group a, value v, group v
    EXPECT_EQ(config.GetNumGroups(), 2);
    EXPECT_EQ(config.GetNumValues(), 1);

    // Without auto-create the cursor stays; a path stops at the deepest group found.
    config.SetAutoCreate(0);
    EXPECT_EQ(config.MoveDown("missing", 0), config.GetRoot());
    EXPECT_EQ(config.MoveDown("/a/missing/b", 0), b->GetParent());
    config.MoveToRoot();
    EXPECT_EQ(config.MoveDownIfExist("missing", 0), nullptr);
    EXPECT_EQ(config.GetCurrentKey(), config.GetRoot());
    EXPECT_EQ(config.MoveDownIfExist("a", 0), b->GetParent());
    EXPECT_EQ(config.MoveDownIfExist("c", 2), c2);
}

TEST(ConfigTest, ModeOneAlwaysAddsANewGroup) {
    TConfig config("Prefs", TConfig::kAlwaysNewGroup);
    TConfigKey* first = config.MoveDown("g", 0);
    config.MoveUp();
    TConfigKey* second = config.MoveDown("g", 0);
    EXPECT_NE(first, second);
    config.MoveToRoot();
    EXPECT_EQ(config.GetNumGroups(), 2);
    EXPECT_EQ(config.MoveDownIfExist("g", 0), first);  // lookups find the first
}

TEST(ConfigTest, IntegersStoreDecimalTextAndReadAsThe32BitRuntime) {
    TConfig config("Prefs", TConfig::kNoMode);
    config.SetValue(char(-5), "c", 0);
    config.SetValue(static_cast<signed char>(-128), "sc", 0);
    config.SetValue(short(-32768), "s", 0);
    config.SetValue(INT32_MIN, "i", 0);
    config.SetValue(static_cast<unsigned char>(255), "uc", 0);
    config.SetValue(static_cast<unsigned short>(65535), "us", 0);
    config.SetValue(UINT32_MAX, "u", 0);
    EXPECT_EQ(Stored(config, "c"), "-5");
    EXPECT_EQ(Stored(config, "sc"), "-128");
    EXPECT_EQ(Stored(config, "s"), "-32768");
    EXPECT_EQ(Stored(config, "i"), "-2147483648");
    EXPECT_EQ(Stored(config, "uc"), "255");
    EXPECT_EQ(Stored(config, "us"), "65535");
    EXPECT_EQ(Stored(config, "u"), "4294967295");
    EXPECT_EQ(config.GetValue(char(0), "c", 0), char(-5));
    EXPECT_EQ(config.GetValue(static_cast<signed char>(0), "sc", 0), -128);
    EXPECT_EQ(config.GetValue(short(0), "s", 0), -32768);
    EXPECT_EQ(config.GetValue(0, "i", 0), INT32_MIN);
    EXPECT_EQ(config.GetValue(static_cast<unsigned char>(0), "uc", 0), 255);
    EXPECT_EQ(config.GetValue(static_cast<unsigned short>(0), "us", 0), 65535);
    EXPECT_EQ(config.GetValue(0u, "u", 0), UINT32_MAX);

    struct Case {
        const char* text;
        int32_t asInt;
        uint32_t asUnsigned;
    } cases[] = {
        {"12abc", 12, 12u},
        {"abc", 0, 0u},
        {"", 0, 0u},
        {"  -7", -7, 0xFFFFFFF9u},
        {"99999999999", INT32_MAX, UINT32_MAX},
        {"-99999999999", INT32_MIN, UINT32_MAX},
        {"-1", -1, UINT32_MAX},
        {"0x10", 0, 0u},
    };
    for (const Case& c : cases) {
        config.SetValue(c.text, "n", 0);
        EXPECT_EQ(config.GetValue(77, "n", 0), c.asInt) << c.text;
        EXPECT_EQ(config.GetValue(77u, "n", 0), c.asUnsigned) << c.text;
    }
    // Narrowing as the original's casts do.
    config.SetValue("70000", "n", 0);
    EXPECT_EQ(config.GetValue(short(0), "n", 0), short(70000 - 65536));
}

TEST(ConfigTest, AbsentKeysGiveTheDefaultItself) {
    TConfig config("Prefs", TConfig::kNoMode);
    EXPECT_EQ(config.GetValue(1.0 / 3.0, "x", 0), 1.0 / 3.0);
    EXPECT_EQ(config.GetValue(0.125f, "x", 0), 0.125f);
    EXPECT_EQ(config.GetValue(-9, "x", 0), -9);
    EXPECT_EQ(config.GetValue(4000000000u, "x", 0), 4000000000u);
    EXPECT_EQ(std::string(config.GetValue("dflt", "x", 0).c_str()), "dflt");
    EXPECT_EQ(std::string(config.GetValue(TString("t"), "x", 0).c_str()), "t");
    EXPECT_EQ(config.GetTheValue(TString("d"), "x"), TString("d"));
    // A group of that name is not a value.
    config.MoveDown("x", 0);
    config.SetValue(1, "inner", 0);
    config.MoveUp();
    EXPECT_EQ(config.GetValue(-9, "x", 0), -9);
    EXPECT_EQ(config.GetNumKeys(), 1);
}

TEST(ConfigTest, FloatsAndDoublesRoundTripEveryBit) {
    TConfig config("Prefs", TConfig::kNoMode);
    const float floats[] = {0.0f,
                            -0.0f,
                            1.0f / 3.0f,
                            FLT_MIN,
                            FLT_MAX,
                            -FLT_TRUE_MIN,
                            std::numeric_limits<float>::infinity()};
    for (float f : floats) {
        config.SetValue(f, "f", 0);
        std::string text = Stored(config, "f");
        ASSERT_EQ(text[0], 'f');
        EXPECT_EQ(text.size(), 1u + size_t(ComputeAsciiEncodedSize(4)));
        float back = config.GetValue(99.0f, "f", 0);
        EXPECT_EQ(std::memcmp(&back, &f, 4), 0) << text;
    }
    const double doubles[] = {0.0,      1.0 / 3.0, DBL_MIN,
                              -DBL_MAX, 1e-310,    std::numeric_limits<double>::quiet_NaN()};
    for (double d : doubles) {
        config.SetValue(d, "d", 0);
        ASSERT_EQ(Stored(config, "d")[0], 'd');
        double back = config.GetValue(99.0, "d", 0);
        EXPECT_EQ(std::memcmp(&back, &d, 8), 0);
    }
    // The stored text of 1.0f: "f" and the ASCII encoding of its bytes 00 00 80 3F.
    config.SetValue(1.0f, "one", 0);
    unsigned char bytes[] = {0x00, 0x00, 0x80, 0x3F};
    unsigned char encoded[16] = {};
    int32_t n = AsciiEncode(bytes, encoded, 4);
    EXPECT_EQ(Stored(config, "one"),
              "f" + std::string(reinterpret_cast<char*>(encoded), size_t(n)));

    // Other text reads as a decimal number; an "f"/"d" text of the wrong size gives
    // the default.
    struct Case {
        const char* text;
        float asFloat;
        double asDouble;
    } cases[] = {
        {"2.5", 2.5f, 2.5}, {"-1e3x", -1000.0f, -1000.0}, {"abc", 0.0f, 0.0},
        {"f", 7.0f, 0.0},   {"f$97*D", 7.0f, 0.0},        {"d", 0.0f, 7.0},
    };
    for (const Case& c : cases) {
        config.SetValue(c.text, "t", 0);
        EXPECT_EQ(config.GetValue(7.0f, "t", 0), c.asFloat) << c.text;
        EXPECT_EQ(config.GetValue(7.0, "t", 0), c.asDouble) << c.text;
    }
}

TEST(ConfigTest, GetSureHoldsValuesInRange) {
    TConfig config("Prefs", TConfig::kNoMode);
    config.SetValue(42, "big", 0);
    config.SetValue(-3, "small", 0);
    config.SetValue(7, "fits", 0);
    EXPECT_EQ(config.GetSure(5, 0, 10, "big", 0), 10);
    EXPECT_EQ(config.GetSure(5, 0, 10, "small", 0), 0);
    EXPECT_EQ(config.GetSure(5, 0, 10, "fits", 0), 7);
    EXPECT_EQ(config.GetSure(5, 0, 10, "absent", 0), 5);
    EXPECT_EQ(config.GetSure(short(5), short(0), short(10), "big", 0), 10);
    EXPECT_EQ(config.GetSure(5u, 0u, 10u, "small", 0), 10u);  // -3 reads as 4294967293
    EXPECT_EQ(config.GetSure(0.5, 0.0, 1.0, "big", 0), 1.0);
    EXPECT_EQ(config.GetSure(0.5f, 0.0f, 1.0f, "small", 0), 0.0f);
    EXPECT_EQ(config.GetSure(char(1), char(-2), char(2), "small", 0), char(-2));
}

TEST(ConfigTest, BinaryValuesNeverWritePastTheBuffer) {
    TConfig config("Prefs", TConfig::kNoMode);
    const unsigned char data[] = {1, 2, 3, 250, 0, 9, 8};
    config.SetBinary(data, 7, "bin", 0);
    EXPECT_EQ(Stored(config, "bin")[0], '#');
    EXPECT_EQ(config.GetBinarySize("bin", 0), 7);

    unsigned char buffer[16];
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(config.GetBinary(buffer, nullptr, 7, "bin", 0), 7);
    EXPECT_EQ(std::memcmp(buffer, data, 7), 0);
    EXPECT_EQ(buffer[7], 0xEE);

    // A buffer smaller than the stored bytes gets only what fits.
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(config.GetBinary(buffer, nullptr, 3, "bin", 0), 3);
    EXPECT_EQ(std::memcmp(buffer, data, 3), 0);
    EXPECT_EQ(buffer[3], 0xEE);

    // Absent or empty: the default bytes, or zeros.
    const unsigned char fallback[] = {5, 6, 7, 8};
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(config.GetBinary(buffer, fallback, 4, "absent", 0), 4);
    EXPECT_EQ(std::memcmp(buffer, fallback, 4), 0);
    EXPECT_EQ(config.GetBinary(buffer, nullptr, 4, "absent", 0), 0);
    EXPECT_EQ(buffer[0] | buffer[1] | buffer[2] | buffer[3], 0);
    EXPECT_EQ(buffer[4], 0xEE);
    config.SetValue("", "empty", 0);
    EXPECT_EQ(config.GetBinary(buffer, fallback, 2, "empty", 0), 2);

    // Other text: hexadecimal pairs after the buffer is zeroed.
    struct Case {
        const char* text;
        int length;
        int made;
        std::vector<unsigned char> bytes;
        int size;
    } cases[] = {
        {"0aFf10", 4, 3, {0x0A, 0xFF, 0x10, 0x00}, 3},
        {"  0aFf10\t", 2, 2, {0x0A, 0xFF}, 3},
        {"abc", 3, 1, {0xAB, 0x00, 0x00}, 1},
        {"#", 2, 0, {0xEE, 0xEE}, 0},
    };
    for (const Case& c : cases) {
        config.SetValue(c.text, "hex", 0);
        std::memset(buffer, 0xEE, sizeof buffer);
        EXPECT_EQ(config.GetBinary(buffer, nullptr, c.length, "hex", 0), c.made) << c.text;
        EXPECT_EQ(std::vector<unsigned char>(buffer, buffer + c.length), c.bytes) << c.text;
        EXPECT_EQ(buffer[c.length], 0xEE) << c.text;
        EXPECT_EQ(config.GetBinarySize("hex", 0), c.size) << c.text;
    }
    // Nothing at all for a negative length.
    EXPECT_EQ(config.GetBinary(buffer, fallback, -4, "bin", 0), 0);
}

TEST(ConfigTest, NamesAndValuesTheTextCannotCarryAreRefused) {
    TConfig config("Prefs", TConfig::kNoMode);
    const char* badValueNames[] = {"", " ", "\t", "{", "}", " { ", "a=b", "==", "a\rb", "a\n"};
    for (const char* name : badValueNames) {
        EXPECT_TRUE(Throws([&] { config.SetValue(1, name, 0); })) << name;
        EXPECT_TRUE(Throws([&] { config.CreateKey(name); })) << name;
    }
    const char* badGroupNames[] = {"{", "}", " ", "a\r\nb"};
    for (const char* name : badGroupNames)
        EXPECT_TRUE(Throws([&] { config.MoveDown(name, 0); })) << name;
    EXPECT_EQ(config.GetNumKeys(), 0);
    EXPECT_EQ(config.GetCurrentKey(), config.GetRoot());

    EXPECT_TRUE(Throws([&] { config.SetValue("two\r\nlines", "v", 0); }));
    EXPECT_TRUE(Throws([&] { config.SetTheValue(TString("x\ny"), "v"); }));
    EXPECT_EQ(config.GetNumKeys(), 0);
    EXPECT_TRUE(Throws([] { TConfig bad("a\nb", TConfig::kNoMode); }));
    EXPECT_TRUE(Throws([] { TConfig bad("}", TConfig::kNoMode); }));

    // What the text does carry is accepted: "=" first in a value name, "=" in a group.
    config.SetValue(1, "=x", 0);
    config.MoveDown("a=b", 0);
    config.SetValue("v=w", "k", 0);
    config.MoveToRoot();
    std::string text = TextOf(config);
    TConfig back("", TConfig::kNoMode);
    cvq::test::ReadText(back, text);
    EXPECT_TRUE(back == config);

    // A value key cannot take children.
    config.MoveTo(config.GetFirstKey());
    EXPECT_TRUE(Throws([&] { config.SetValue(1, "child", 0); }));
}

TEST(ConfigTest, DeletingKeepsTheCursorOnALiveKey) {
    TConfig config("Prefs", TConfig::kNoMode);
    config.MoveDown("/a/b/c", 0);
    TConfigKey* a = config.GetRoot()->FirstChild();
    config.DeleteKey(a);
    EXPECT_EQ(config.GetCurrentKey(), config.GetRoot());
    EXPECT_EQ(config.GetNumKeys(), 0);

    TConfigKey* c = config.MoveDown("/a/b/c", 0);
    TConfigKey* aKey = config.GetRoot()->FirstChild();
    config.DeleteKey(c->GetParent());  // an ancestor of the cursor
    EXPECT_EQ(config.GetCurrentKey(), aKey);
    EXPECT_FALSE(config.DeleteChildKey("b", 0));

    config.MoveDown("x/y", 0);
    TConfigKey* y = config.GetCurrentKey();
    config.DeleteKey(y);
    EXPECT_EQ(config.GetCurrentKey(), aKey->FirstChild());
    config.DeleteKey(config.GetRoot());  // the root stays, without children
    EXPECT_EQ(config.GetCurrentKey(), config.GetRoot());
    EXPECT_EQ(config.GetNumKeys(), 0);

    // DeleteChildKey takes the first of either kind.
    config.SetValue(1, "k", 0);
    config.MoveDown("k", 0);
    config.MoveUp();
    EXPECT_TRUE(config.DeleteChildKey("k", 0));
    EXPECT_TRUE(config.ExistGroup("k", 0));
    EXPECT_FALSE(config.ExistValue("k", 0));
}

TEST(ConfigTest, DeleteEmptyGroupsWorksFromTheCurrentKeyAndSparesIt) {
    TConfig config("Prefs", TConfig::kNoMode);
    config.MoveDown("/a/b/c", 0);
    config.MoveDown("/a/d", 0);
    config.SetValue(1, "keep", 0);
    config.MoveDown("/e/f", 0);
    config.MoveDown("/e", 0);
    config.DeleteEmptyGroups();
    EXPECT_EQ(config.GetCurrentKey()->GetName(), TString("e"));
    EXPECT_EQ(config.GetNumKeys(), 0);  // f went, e itself stays
    config.MoveToRoot();
    config.DeleteEmptyGroups();
    EXPECT_EQ(ChildNames(config), (std::vector<std::string>{"a"}));
    config.MoveDown("a", 0);
    EXPECT_EQ(ChildNames(config), (std::vector<std::string>{"d"}));
}

TEST(ConfigTest, SortedModesOrderNewKeys) {
    TConfig byName("Prefs", TConfig::kSorted);
    TConfig groupsFirst("Prefs", TConfig::kSortedGroupsFirst);
    for (TConfig* config : {&byName, &groupsFirst}) {
        config->SetValue(1, "m", 0);
        config->MoveDown("z", 0);
        config->MoveUp();
        config->SetValue(1, "b", 0);
        config->MoveDown("c", 0);
        config->MoveUp();
        config->CreateKey("a");
        config->SetValue(1, "c", 0);
    }
    EXPECT_EQ(ChildNames(byName), (std::vector<std::string>{"a", "b", "c", "c", "m", "z"}));
    EXPECT_TRUE(byName.GetKey(2)->IsGroup());  // a group before a value of the same name
    EXPECT_EQ(ChildNames(groupsFirst), (std::vector<std::string>{"c", "z", "a", "b", "c", "m"}));
    EXPECT_EQ(byName.GetKey(6), nullptr);
    EXPECT_EQ(byName.GetKey(-1), nullptr);

    TConfig::TStringList names;
    EXPECT_EQ(byName.GetValueNames(names, 0), 4);
    TConfig unsorted("Prefs", TConfig::kNoMode);
    for (const char* name : {"q", "b", "k"}) unsorted.SetValue(1, name, 0);
    unsorted.MoveDown("g", 0);
    unsorted.MoveUp();
    EXPECT_EQ(unsorted.GetValueNames(names, 0), 3);
    std::vector<std::string> got;
    for (auto& item : names) got.emplace_back(item.c_str());
    EXPECT_EQ(got, (std::vector<std::string>{"q", "b", "k"}));
    EXPECT_EQ(unsorted.GetValueNames(names, 1), 3);
    got.clear();
    for (auto& item : names) got.emplace_back(item.c_str());
    EXPECT_EQ(got, (std::vector<std::string>{"b", "k", "q"}));
}

TEST(ConfigTest, WalksVisitChildrenBeforeTheirGroup) {
    TConfig config("Prefs", TConfig::kNoMode);
    config.SetValue(1, "v1", 0);
    config.MoveDown("g", 0);
    config.SetValue(1, "v2", 0);
    config.MoveDown("h", 0);
    config.SetValue(1, "v3", 0);
    config.MoveToRoot();
    config.MoveDown("empty", 0);
    config.MoveToRoot();
    config.SetValue(1, "v4", 0);

    std::vector<std::string> order;
    config.ForEachKey(
        [](TConfigKey& key, void* data) {
            static_cast<std::vector<std::string>*>(data)->emplace_back(key.GetName().c_str());
        },
        &order);
    EXPECT_EQ(order, (std::vector<std::string>{"v1", "v2", "v3", "h", "g", "empty", "v4"}));

    // The function may delete the key it is given.
    config.ForEachKey(
        [](TConfigKey& key, void* data) {
            if (key.IsValue()) static_cast<TConfig*>(data)->DeleteKey(&key);
        },
        &config);
    config.MoveToRoot();
    EXPECT_EQ(ChildNames(config), (std::vector<std::string>{"g", "empty"}));

    auto named = [](const TConfigKey& key, const void* name) -> char {
        return key.GetName() == TString(static_cast<const char*>(name));
    };
    EXPECT_EQ(config.FindFirstThat(named, "h")->GetParent()->GetName(), TString("g"));
    EXPECT_EQ(config.FindFirstThat(named, "nothing"), nullptr);
    EXPECT_EQ(config.FindFirstThat(config.GetRoot()->FirstChild(), named, "empty"), nullptr);
}

TEST(ConfigTest, KeyFinderStartsAtANameAndWalksOn) {
    TConfig config("Prefs", TConfig::kNoMode);
    for (const char* name : {"a", "b", "c"}) config.SetValue(1, name, 0);
    TConfig::TKeyFinder finder(config);
    EXPECT_EQ(finder.GetFirst("b")->GetName(), TString("b"));
    EXPECT_EQ(finder.GetNext()->GetName(), TString("c"));
    EXPECT_EQ(finder.GetNext(), nullptr);
    EXPECT_EQ(finder.GetFirst(nullptr)->GetName(), TString("a"));
    EXPECT_EQ(finder.GetFirst("missing")->GetName(), TString("b"));  // the candidate stayed
}
