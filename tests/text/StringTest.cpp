#include <commonvcqx/text/String.h>

#include <commonvcqx/memory/Heap.h>

#include <gtest/gtest.h>
#include <cfloat>
#include <climits>
#include <cstring>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

uint32_t Capacity(const TString& s) {
    return s.GetStringRef()->capacity;
}
int32_t Count(const TString& s) {
    return s.GetStringRef()->refCount;
}
const TStringRef* EmptyRef() {
    return TString().GetStringRef();
}

struct Mutator {
    const char* name;
    std::function<void(TString&)> apply;
};

// Every changing operation, each applied to a string that changes under it.
std::vector<Mutator> Mutators() {
    return {
        {"InsertMemory", [](TString& s) { s.InsertMemory(1, "xy", 2); }},
        {"Insert text", [](TString& s) { s.Insert(0, "x"); }},
        {"Insert string", [](TString& s) { s.Insert(2, TString("x")); }},
        {"Insert char", [](TString& s) { s.Insert(1, 'x', 3); }},
        {"Append text", [](TString& s) { s.Append("x"); }},
        {"Append string", [](TString& s) { s.Append(TString("x")); }},
        {"Append char", [](TString& s) { s.Append('x'); }},
        {"+= char", [](TString& s) { s += 'x'; }},
        {"+= text", [](TString& s) { s += "xyz"; }},
        {"Prepend", [](TString& s) { s.Prepend('x', 2); }},
        {"Replace text", [](TString& s) { s.Replace(1, 2, "xyz"); }},
        {"Replace string", [](TString& s) { s.Replace(0, 1, TString("q")); }},
        {"Remove", [](TString& s) { s.Remove(1, 2); }},
        {"RemoveRight", [](TString& s) { s.RemoveRight(2); }},
        {"KeepLeft", [](TString& s) { s.KeepLeft(3); }},
        {"KeepRight", [](TString& s) { s.KeepRight(3); }},
        {"KeepMid", [](TString& s) { s.KeepMid(1, 2); }},
        {"RemoveAll", [](TString& s) { s.RemoveAll(' '); }},
        {"MakeUpper", [](TString& s) { s.MakeUpper(); }},
        {"MakeLower", [](TString& s) { s.MakeLower(); }},
        {"MakeCapital", [](TString& s) { s.MakeCapital(); }},
        {"Reverse", [](TString& s) { s.Reverse(); }},
        {"Trim", [](TString& s) { s.Trim(); }},
        {"TrimLeft", [](TString& s) { s.TrimLeft(); }},
        {"TrimRight", [](TString& s) { s.TrimRight(); }},
        {"SetEnd", [](TString& s) { s.SetEnd(2); }},
        {"Buffer", [](TString& s) { s.Buffer()[0] = '#'; }},
        {"CopyBeforeWrite",
         [](TString& s) {
             s.CopyBeforeWrite();
             s[1] = '#';
         }},
        {"EnsureBufferSize",
         [](TString& s) {
             s.EnsureBufferSize(100);
             s.Buffer()[2] = '#';
         }},
        {"Clear", [](TString& s) { s.Clear(); }},
        {"assign text", [](TString& s) { s = "other"; }},
    };
}

}  // namespace

TEST(StringTest, EmptyStringsShareOneNeverFreedRepresentation) {
    const TStringRef* empty = EmptyRef();
    EXPECT_EQ(empty->heap, nullptr);
    EXPECT_EQ(empty->length, 0u);
    EXPECT_EQ(empty->capacity, 8u);

    int32_t before = empty->refCount;
    TString a;
    TString b;
    EXPECT_EQ(a.GetStringRef(), empty);
    EXPECT_EQ(b.GetStringRef(), empty);
    EXPECT_EQ(empty->refCount, before + 2);

    TString c("text");
    c.Clear();
    EXPECT_EQ(c.GetStringRef(), empty);
    EXPECT_EQ(empty->refCount, before + 3);
    c = "";
    c = static_cast<const char*>(nullptr);
    EXPECT_EQ(c.GetStringRef(), empty);
    {
        TString adopted(TSubString::CreateNull());
        EXPECT_EQ(adopted.GetStringRef(), empty);
        EXPECT_EQ(empty->refCount, before + 4);
    }
    EXPECT_EQ(empty->refCount, before + 3);
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_TRUE(!a);
    EXPECT_EQ(a.GetFirstChar(), '\0');
    EXPECT_EQ(a.GetLastChar(), '\0');
}

TEST(StringTest, FreshRepresentationsRoundTheirCapacity) {
    struct Case {
        uint32_t length;
        uint32_t capacity;
    } cases[] = {{0, 8}, {1, 8}, {7, 8}, {8, 16}, {15, 16}, {16, 24}, {100, 104}};
    for (const Case& c : cases) {
        std::string text(c.length, 'a');
        TString fromText(text.c_str());
        TString fromRun('a', c.length);
        TString fromMid = TString(std::string(c.length + 5, 'a').c_str()).Mid(5);
        TString fromLeft = fromRun.Left(c.length);
        TString fromRight = fromRun.Right(c.length);
        TString fromConcat = fromText + "";
        TString fromCreate(TSubString::Create(text.c_str(), c.length));
        TString fromCheckedText(text.c_str(), 1, 0, 999);
        for (const TString* s : {&fromText, &fromRun, &fromMid, &fromLeft, &fromRight, &fromConcat,
                                 &fromCreate, &fromCheckedText}) {
            EXPECT_EQ(s->GetLength(), c.length);
            EXPECT_EQ(Capacity(*s), c.capacity) << "length " << c.length;
            EXPECT_EQ(Count(*s), 1);
            EXPECT_NE(s->GetStringRef()->heap, nullptr);
        }
    }
    EXPECT_EQ(Capacity(TString(-5)), 8u);
    EXPECT_EQ(Capacity(TString(1234567890)), 16u);
}

TEST(StringTest, InsertionGrowsExactlyAndOnlyWhenFull) {
    TString s("12345678");
    ASSERT_EQ(Capacity(s), 16u);
    s.Append('9');
    EXPECT_EQ(Capacity(s), 16u);  // room enough: only the length changes
    EXPECT_STREQ(s.c_str(), "123456789");

    TString full("123456789012345");
    ASSERT_EQ(Capacity(full), 16u);
    full += 'x';
    EXPECT_EQ(Capacity(full), 17u);  // exactly length + 1, no rounding
    full.Append("yz");
    EXPECT_EQ(Capacity(full), 19u);
    full.Prepend('<');
    EXPECT_EQ(Capacity(full), 20u);
    EXPECT_STREQ(full.c_str(), "<123456789012345xyz");

    // A shared string grows straight into a private buffer of the exact size.
    TString shared("123456789012345");
    TString other = shared;
    shared.Append("ab");
    EXPECT_EQ(Capacity(shared), 18u);
    EXPECT_EQ(Capacity(other), 16u);

    // Removing keeps the capacity; FreeExtraBufferSize gives it back, rounded.
    full.Remove(2, 15);
    EXPECT_EQ(Capacity(full), 20u);
    EXPECT_STREQ(full.c_str(), "<1yz");
    full.FreeExtraBufferSize();
    EXPECT_EQ(Capacity(full), 8u);
    EXPECT_STREQ(full.c_str(), "<1yz");

    TString reserved("ab");
    reserved.EnsureBufferSize(30);
    EXPECT_EQ(Capacity(reserved), 32u);  // reserved buffers are rounded
    EXPECT_STREQ(reserved.c_str(), "ab");
    reserved.EnsureBufferSize(10);
    EXPECT_EQ(Capacity(reserved), 32u);

    // A long run of one-character appends keeps every byte.
    TString grown;
    std::string expected;
    for (int i = 0; i < 5000; ++i) {
        grown += char('a' + i % 26);
        expected += char('a' + i % 26);
    }
    EXPECT_EQ(grown.GetLength(), 5000u);
    EXPECT_EQ(Capacity(grown), 5001u);
    EXPECT_EQ(expected, grown.c_str());
}

TEST(StringTest, AppendsGrowIntoRoomTheBlockReserves) {
    // The capacity grows exactly; the block grows seldom, and the heap always knows
    // its full size (a move copies all of it).
    auto roomKept = [](const TString& s) {
        const TStringRef* rep = s.GetStringRef();
        return rep->room >= rep->capacity &&
               NH_Heap::GetBlockSize(rep) == sizeof(TStringRef) + rep->room;
    };
    TString a, b;
    std::string expected;
    std::vector<TString> between;  // other blocks, so that growth cannot always stay put
    int blockGrowths = 0;
    for (int i = 0; i < 100000; ++i) {
        uint32_t room = a.GetStringRef()->room;
        a += char('a' + i % 26);
        b.Append(char('A' + i % 26));
        expected += char('a' + i % 26);
        blockGrowths += a.GetStringRef()->room != room;
        if (i % 997 == 0) between.emplace_back(TString('-', uint32_t(i % 3000)));
        ASSERT_EQ(Capacity(a), a.GetLength() + (i < 7 ? 8 - a.GetLength() : 1)) << i;
        ASSERT_TRUE(roomKept(a)) << i;
    }
    EXPECT_EQ(expected, a.c_str());
    EXPECT_EQ(b.GetLength(), 100000u);
    EXPECT_LT(blockGrowths, 40);

    // A sharer with room left is cloned, not written.
    TString copy = a;
    a += '!';
    EXPECT_EQ(copy.GetLength(), 100000u);
    EXPECT_EQ(copy.c_str()[100000], '\0');
    EXPECT_EQ(Count(copy), 1);
    copy += '?';
    EXPECT_STREQ(a.c_str() + 99999, "d!");
    EXPECT_STREQ(copy.c_str() + 99999, "d?");

    // Reserving within the room moves nothing; FreeExtraBufferSize gives the room back
    // and keeps the capacity, except on a shared block.
    ASSERT_GT(copy.GetStringRef()->room, 100008u);
    const TStringRef* before = copy.GetStringRef();
    copy.EnsureBufferSize(100005);
    EXPECT_EQ(copy.GetStringRef(), before);
    EXPECT_EQ(Capacity(copy), 100008u);
    EXPECT_TRUE(roomKept(copy));
    TString sharer = copy;
    copy.FreeExtraBufferSize();
    EXPECT_EQ(copy.GetStringRef(), before);
    EXPECT_GT(copy.GetStringRef()->room, Capacity(copy));
    sharer.Clear();
    copy.FreeExtraBufferSize();
    EXPECT_EQ(Capacity(copy), 100008u);
    EXPECT_EQ(copy.GetStringRef()->room, 100008u);
    EXPECT_TRUE(roomKept(copy));
    EXPECT_STREQ(copy.c_str() + 99999, "d?");
}

TEST(StringTest, OversizedRequestsThrowInsteadOfWrapping) {
    // Sizes whose length + NUL would wrap the 32-bit capacity.
    EXPECT_THROW(TString('x', 0xFFFFFFFFu), std::bad_alloc);
    EXPECT_THROW(TString('x', 0xFFFFFFF0u), std::bad_alloc);
    TString s("kept");
    EXPECT_THROW(s.EnsureBufferSize(0xFFFFFFFFu), std::bad_alloc);
    EXPECT_THROW(s.Insert(0, 'x', 0xFFFFFFFEu), std::bad_alloc);
    EXPECT_STREQ(s.c_str(), "kept");
    EXPECT_EQ(Capacity(s), 8u);
}

TEST(StringTest, EveryMutatorLeavesSharersAlone) {
    for (const Mutator& m : Mutators()) {
        TString original("  Hello World  ");
        original.EnsureBufferSize(40);  // room, so no change needs to grow
        TString copy = original;
        ASSERT_EQ(Count(original), 2);
        m.apply(copy);
        EXPECT_STREQ(original.c_str(), "  Hello World  ") << m.name;
        EXPECT_EQ(original.GetLength(), 15u) << m.name;
        EXPECT_EQ(Count(original), 1) << m.name;
        EXPECT_NE(copy.GetStringRef(), original.GetStringRef()) << m.name;
    }
    // Shrinking a shared buffer clones into the smaller size instead.
    TString roomy("abc");
    roomy.EnsureBufferSize(100);
    TString copy = roomy;
    copy.FreeExtraBufferSize();
    EXPECT_EQ(Capacity(copy), 8u);
    EXPECT_EQ(Capacity(roomy), 104u);
    EXPECT_STREQ(roomy.c_str(), "abc");
    EXPECT_STREQ(copy.c_str(), "abc");
}

TEST(StringTest, MutatorsNeverWriteTheSharedEmptyText) {
    for (const Mutator& m : Mutators()) {
        TString empty;
        m.apply(empty);
        EXPECT_EQ(EmptyRef()->length, 0u) << m.name;
        EXPECT_STREQ(TString().c_str(), "") << m.name;
    }
    TString e;
    e.Buffer();
    EXPECT_NE(e.GetStringRef(), EmptyRef());
    EXPECT_EQ(Capacity(e), 8u);
}

TEST(StringTest, StringInsertedIntoItself) {
    struct Case {
        const char* name;
        std::function<void(TString&)> apply;
        const char* result;
    } cases[] = {
        {"Append", [](TString& s) { s.Append(s); }, "abcdabcd"},
        {"+=", [](TString& s) { s += s; }, "abcdabcd"},
        {"Prepend", [](TString& s) { s.Prepend(s, 2); }, "ababcd"},
        {"Insert", [](TString& s) { s.Insert(1, s); }, "aabcdbcd"},
        {"Replace", [](TString& s) { s.Replace(1, 2, s); }, "aabcdd"},
        {"Insert own text", [](TString& s) { s.Insert(0, s.c_str() + 2); }, "cdabcd"},
        {"Append own text", [](TString& s) { s.Append(s.c_str() + 1, 2); }, "abcdbc"},
        {"Replace own text", [](TString& s) { s.Replace(0, 2, s.c_str() + 2); }, "cdcd"},
        {"assign own text", [](TString& s) { s = s.c_str() + 1; }, "bcd"},
        {"assign self",
         [](TString& s) {
             TString& same = s;
             s = same;
         },
         "abcd"},
    };
    for (const Case& c : cases) {
        // Unique and shared.
        TString unique("abcd");
        c.apply(unique);
        EXPECT_STREQ(unique.c_str(), c.result) << c.name << " (unique)";

        TString shared("abcd");
        TString holder = shared;
        c.apply(shared);
        EXPECT_STREQ(shared.c_str(), c.result) << c.name << " (shared)";
        EXPECT_STREQ(holder.c_str(), "abcd") << c.name;
    }
    TString big(std::string(2000, 'z').c_str());
    big.Append(big);
    EXPECT_EQ(std::string(big.c_str()), std::string(4000, 'z'));
}

TEST(StringTest, InsertPositionsRemovalAndKeeping) {
    struct Case {
        const char* name;
        std::function<void(TString&)> apply;
        const char* result;
    } cases[] = {
        {"Insert at -1 appends", [](TString& s) { s.Insert(TString::kAll, "X"); }, "abcdefX"},
        {"Insert past end appends", [](TString& s) { s.Insert(99, "X"); }, "abcdefX"},
        {"Insert at end", [](TString& s) { s.Insert(6, 'X', 2); }, "abcdefXX"},
        {"Insert in middle", [](TString& s) { s.Insert(3, "XYZ", 2); }, "abcXYdef"},
        {"Insert nothing", [](TString& s) { s.Insert(3, "", 5).Insert(3, 'X', 0); }, "abcdef"},
        {"InsertMemory with NUL", [](TString& s) { s.InsertMemory(6, "\0z", 2); }, "abcdef"},
        {"Remove past end", [](TString& s) { s.Remove(6, 3); }, "abcdef"},
        {"Remove cut to length", [](TString& s) { s.Remove(4, 100); }, "abcd"},
        {"Remove zero", [](TString& s) { s.Remove(1, 0); }, "abcdef"},
        {"KeepLeft length", [](TString& s) { s.KeepLeft(6); }, "abcdef"},
        {"KeepLeft more", [](TString& s) { s.KeepLeft(9); }, "abcdef"},
        {"KeepLeft 0", [](TString& s) { s.KeepLeft(0); }, ""},
        {"RemoveRight length", [](TString& s) { s.RemoveRight(6); }, ""},
        {"RemoveRight more", [](TString& s) { s.RemoveRight(60); }, ""},
        {"RemoveRight 2", [](TString& s) { s.RemoveRight(2); }, "abcd"},
        {"KeepRight 2", [](TString& s) { s.KeepRight(2); }, "ef"},
        {"KeepRight length", [](TString& s) { s.KeepRight(6); }, "abcdef"},
        {"KeepMid", [](TString& s) { s.KeepMid(2, 3); }, "cde"},
        {"KeepMid past end", [](TString& s) { s.KeepMid(9, 3); }, ""},
        {"Replace", [](TString& s) { s.Replace(1, 4, "-"); }, "a-f"},
        {"Replace past end", [](TString& s) { s.Replace(10, 4, "-"); }, "abcdef-"},
        {"SetEnd", [](TString& s) { s.SetEnd(3); }, "abc"},
        {"SetEnd at capacity", [](TString& s) { s.SetEnd(8); }, "abcdef"},
        {"Prepend text", [](TString& s) { s.Prepend("12", 1); }, "1abcdef"},
        {"chained", [](TString& s) { s.Append('1').Append("23").Prepend('0').KeepRight(4); },
         "f123"},
    };
    for (const Case& c : cases) {
        TString s("abcdef");
        c.apply(s);
        EXPECT_STREQ(s.c_str(), c.result) << c.name;
        EXPECT_EQ(s.GetLength(), std::strlen(c.result) +
                                     (std::strcmp(c.name, "InsertMemory with NUL") == 0 ? 2 : 0))
            << c.name;
    }
    TString e;
    e.RemoveRight(1);
    EXPECT_EQ(e.GetStringRef(), EmptyRef());
}

TEST(StringTest, SubstringBounds) {
    TString s("abcdef");
    struct Case {
        TString result;
        const char* text;
    } cases[] = {
        {s.Mid(2, 3), "cde"},
        {s.Mid(2), "cdef"},
        {s.Mid(4, 100), "ef"},
        {s.Mid(6, 1), ""},
        {s.Mid(7, 1), ""},  // past the end: "" rather than a stray read
        {s.Left(0), ""},
        {s.Left(4), "abcd"},
        {s.Left(40), "abcdef"},
        {s.Right(2), "ef"},
        {s.Right(40), "abcdef"},
        {TString(s, 1, 2), "bc"},
        {TString(s, 3, 100), "def"},
        {TString(s, 6, 1), ""},
        {TString(s, 60, 1), ""},
        {TString("abcdef", 1, 4, 10), "ef"},
        {TString("abcdef", 1, 6, 1), ""},
        {TString("abcdef", 1, 60, 1), ""},
        {TString("abcdef", 0, 1, 3), "bcd"},
        {TString('x', 3), "xxx"},
        {TString('x', 0), ""},
        {s + "gh", "abcdefgh"},
        {"<" + s, "<abcdef"},
        {s + s, "abcdefabcdef"},
        {s + '!', "abcdef!"},
        {'!' + s, "!abcdef"},
        {s + static_cast<const char*>(nullptr), "abcdef"},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.result.c_str(), c.text);
    TString past(s, 60, 1);
    EXPECT_NE(past.GetStringRef(), EmptyRef());  // a new representation of length 0

    // Exactly count bytes when the length is not checked, embedded NULs included.
    TString raw("a\0b", 0, 0, 3);
    EXPECT_EQ(raw.GetLength(), 3u);
    EXPECT_EQ(raw.GetChar(2), 'b');
    EXPECT_EQ(raw.GetNumberOf('\0'), 1);
}

TEST(StringTest, NumericConstructors) {
    struct Case {
        TString s;
        const char* text;
    } cases[] = {
        {TString(1.5f, nullptr), "1.50"},
        {TString(2.0, nullptr), "2.00"},
        {TString(-5, nullptr), "-5"},
        {TString(static_cast<unsigned short>(65535), nullptr), "65535"},
        {TString(static_cast<short>(-32768)), "-32768"},
        {TString(INT32_MIN), "-2147483648"},
        {TString(UINT32_MAX), "4294967295"},
        {TString(int64_t{INT64_MIN}), "-9223372036854775808"},
        {TString(uint64_t{UINT64_MAX}), "18446744073709551615"},  // unsigned, not "-1"
        {TString(uint64_t{1} << 40), "1099511627776"},
        {TString(-7LL), "-7"},
        {TString(7ULL), "7"},
        {TString(0), "0"},
        {TString(255, "%04X"), "00FF"},
        {TString(static_cast<short>(-1), "%d"), "-1"},
        {TString(static_cast<unsigned short>(0xFFFF), "%x"), "ffff"},  // zero-extended
        {TString(3u, "[%u]"), "[3]"},
        {TString(2.5, "%.1f"), "2.5"},
        {TString(0.125f, "%g"), "0.125"},
    };
    for (const Case& c : cases) EXPECT_STREQ(c.s.c_str(), c.text);

    // Formatting stops at 79 characters.
    TString wide(DBL_MAX, "%f");
    EXPECT_EQ(wide.GetLength(), 79u);
    TString padded(1, "%0100d");
    EXPECT_EQ(padded.GetLength(), 79u);
}

TEST(StringTest, TextToNumbers) {
    EXPECT_EQ(TString("42").to_int(), 42);
    EXPECT_EQ(TString(" -17xyz").to_long(), -17);
    EXPECT_EQ(TString("ff").to_int(16), 255);
    EXPECT_EQ(TString("99999999999").to_long(), INT32_MAX);  // saturates like a 32-bit strtol
    EXPECT_EQ(TString("-99999999999").to_int32(), INT32_MIN);
    EXPECT_EQ(TString("70000").to_short(), short(70000 - 65536));
    EXPECT_EQ(TString("300").to_uchar(), 44);
    EXPECT_EQ(TString("4294967295").to_ulong(), UINT32_MAX);
    EXPECT_EQ(TString("4294967296").to_ulong(), UINT32_MAX);
    EXPECT_EQ(TString("-1").to_uint32(), UINT32_MAX);
    EXPECT_EQ(TString("-2").to_uint(), UINT32_MAX - 1);
    EXPECT_EQ(TString("-99999999999").to_ulong(), UINT32_MAX);
    EXPECT_EQ(TString("65536").to_uint16(), 0);
    EXPECT_EQ(TString("abc").to_int(), 0);
    EXPECT_DOUBLE_EQ(TString("2.5e1").to_double(), 25.0);
    EXPECT_FLOAT_EQ(TString("1.5").to_float(), 1.5f);
    EXPECT_EQ(TString("").to_int(), 0);
}

TEST(StringTest, Searching) {
    TString s("Hello World, hello");
    EXPECT_EQ(s.FindFirst('o'), 4);
    EXPECT_EQ(s.FindFirst('h'), 13);
    EXPECT_EQ(s.FindFirst('h', 0), 0);
    EXPECT_EQ(s.FindFirst('q'), -1);
    EXPECT_EQ(s.FindFirst("hello"), 13);
    EXPECT_EQ(s.FindFirst("HELLO", 0), 0);
    EXPECT_EQ(s.FindFirst(TString("World")), 6);
    EXPECT_EQ(s.FindFirst(""), 0);
    EXPECT_EQ(s.FindFirst(static_cast<const char*>(nullptr)), -1);
    EXPECT_EQ(s.FindLast('o'), 17);
    EXPECT_EQ(s.FindLast('H'), 0);
    EXPECT_EQ(s.FindLast('H', 0), 13);
    EXPECT_EQ(s.FindLast("Hello"), 0);
    EXPECT_EQ(s.FindLast("hello", 0), 13);
    EXPECT_EQ(s.FindLast("xyz", 0), -1);
    EXPECT_EQ(TString("aaa").FindLast("aa", 1), 1);  // overlapping matches count
    EXPECT_EQ(TString("aaa").FindLast("AA", 0), 1);
    EXPECT_EQ(TString("abc").FindLast(""), 3);
    EXPECT_EQ(TString("").FindLast("a"), -1);
    EXPECT_EQ(s.FindOneOf(",W"), 6);
    EXPECT_EQ(s.FindOneOf(TString("xyz")), -1);
    EXPECT_TRUE(s.Contains("World"));
    EXPECT_TRUE(s.Contains("WORLD", 0));
    EXPECT_FALSE(s.Contains("WORLD"));
    EXPECT_TRUE(s.Contains(','));
    EXPECT_TRUE(s.Contains(TString("ld, h")));

    struct NotOf {
        const char* text;
        const char* set;
        uint32_t start;
        int32_t first;
        int32_t last;
    } cases[] = {
        {"ab   ", " ", 2, -1, 1},  {"ab  c", " ", 2, 4, 4},
        {"ab  c", " ", 5, -1, 4},  // start at the length
        {"ab  c", " ", 50, -1, 4}, {"  ", " ", 0, -1, -1},
        {"", " ", 0, -1, -1},      {"x\t ", " \t", 0, 0, 0},
        {"abc", "", 1, 1, 2},
    };
    for (const NotOf& c : cases) {
        EXPECT_EQ(TString(c.text).FindFirstNotOf(c.set, c.start), c.first) << c.text;
        EXPECT_EQ(TString(c.text).FindLastNotOf(TString(c.set)), c.last) << c.text;
    }
}

TEST(StringTest, TrimCaseAndCharacterEdits) {
    struct Case {
        const char* text;
        std::function<void(TString&)> apply;
        const char* result;
    } cases[] = {
        {"\t \t", [](TString& s) { s.Trim(" \t", 2); }, ""},
        {"\t \t", [](TString& s) { s.Trim(); }, ""},
        {" \tab c\t ", [](TString& s) { s.Trim(); }, "ab c"},
        {" \tab c\t ", [](TString& s) { s.TrimLeft(); }, "ab c\t "},
        {" \tab c\t ", [](TString& s) { s.TrimRight(); }, " \tab c"},
        {"xxaxx", [](TString& s) { s.Trim("x", 3); }, "a"},
        {"xxaxx", [](TString& s) { s.Trim("x", 0); }, "xxaxx"},
        {"xxaxx", [](TString& s) { s.Trim(nullptr, 3); }, "xxaxx"},
        {"hELLO wORLD", [](TString& s) { s.MakeCapital(); }, "Hello world"},
        {"hELLO wORLD", [](TString& s) { s.MakeUpper(); }, "HELLO WORLD"},
        {"hELLO wORLD", [](TString& s) { s.MakeLower(); }, "hello world"},
        {"a\xC9z", [](TString& s) { s.MakeUpper(); }, "A\xC9Z"},
        {"abc", [](TString& s) { s.Reverse(); }, "cba"},
        {"ab", [](TString& s) { s.Reverse(); }, "ba"},
        {"a", [](TString& s) { s.Reverse(); }, "a"},
        {"a b c ", [](TString& s) { s.RemoveAll(' '); }, "abc"},
        {"   ", [](TString& s) { s.RemoveAll(' '); }, ""},
        {"abc", [](TString& s) { s.RemoveAll('x'); }, "abc"},
    };
    for (const Case& c : cases) {
        TString s(c.text);
        c.apply(s);
        EXPECT_STREQ(s.c_str(), c.result) << '"' << c.text << '"';
        EXPECT_EQ(s.GetLength(), std::strlen(c.result)) << '"' << c.text << '"';
    }
    // Nothing to remove: nothing is copied.
    TString s("abc");
    TString copy = s;
    copy.Trim();
    copy.RemoveAll('x');
    EXPECT_EQ(copy.GetStringRef(), s.GetStringRef());

    TString count("a,b,,c");
    EXPECT_EQ(count.GetNumberOf(','), 3);
    EXPECT_EQ(count.GetLastChar(), 'c');
    EXPECT_EQ(count.GetFirstChar(), 'a');
    EXPECT_EQ(count[2], 'b');
    count.CopyBeforeWrite();
    count.SetChar(0, 'A');
    EXPECT_STREQ(count.c_str(), "A,b,,c");
}

TEST(StringTest, ComparisonsUseTheText) {
    TString a("abc");
    TString b(std::string("abc").c_str());
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a == "abc");
    EXPECT_TRUE("abc" == a);
    EXPECT_FALSE(a != b);
    EXPECT_TRUE(a != "abd");
    EXPECT_TRUE(a < TString("abd"));
    EXPECT_TRUE(a > "ab");
    EXPECT_TRUE(TString("\xE9") > "z");  // bytes compare unsigned
    EXPECT_FALSE(a == static_cast<const char*>(nullptr));
    EXPECT_TRUE(TString() == static_cast<const char*>(nullptr));
}

TEST(StringTest, CarriersHandTheirReferenceOver) {
    TString local("result");
    const TStringRef* rep = local.GetStringRef();
    TSubString carrier = TSubString::TransformToSubString(local);
    TString adopted(carrier);
    EXPECT_EQ(adopted.GetStringRef(), rep);
    EXPECT_EQ(Count(adopted), 1);  // adopted without counting again

    TString target("old");
    target = TSubString::TransformToSubString(adopted);
    EXPECT_EQ(target.GetStringRef(), rep);
    EXPECT_EQ(Count(target), 1);

    // A carrier that nobody adopts gives its reference back.
    TString shared("shared");
    {
        TSubString dropped = TSubString::TransformToSubString(shared);
        shared = TSubString::Create("again", 5);
        TSubString copy = dropped;  // the copy now holds the reference
        TSubString other;
        other = copy;
    }
    int32_t before = EmptyRef()->refCount;
    { TSubString unused = TSubString::CreateNull(); }
    EXPECT_EQ(EmptyRef()->refCount, before);
    { (void)shared.Mid(1, 2); }
    EXPECT_STREQ(shared.c_str(), "again");

    // Adopting an empty carrier gives an empty string, not a null one.
    TString fromNull{TSubString()};
    EXPECT_STREQ(fromNull.c_str(), "");
}

TEST(StringTest, RepresentationsRememberTheirHeap) {
    NH_Heap* saved = _stringHeap;
    ASSERT_NE(saved, nullptr);
    NH_Heap* other = new NH_Heap(1, "other strings");
    {
        _stringHeap = other;
        TString s("made in the other heap");
        _stringHeap = saved;
        EXPECT_EQ(s.GetStringRef()->heap, other);
        TString copy = s;
        s.Append(std::string(3000, '+').c_str());  // grows and clones in its own heap
        EXPECT_EQ(s.GetStringRef()->heap, other);
        copy.Clear();
        TString empty;
        empty += "x";  // the empty text has no heap: a change goes to _stringHeap
        EXPECT_EQ(empty.GetStringRef()->heap, saved);
    }
    delete other;

    TString* object = new TString("on the string heap");
    EXPECT_STREQ(object->c_str(), "on the string heap");
    delete object;
    NH_Heap local(0, "local");
    TString* placed = new (local) TString("placed");
    EXPECT_STREQ(placed->c_str(), "placed");
    placed->~TString();
    TString::operator delete(placed);
}

TEST(StringTest, EmptyStringsAcrossThreads) {
    // Every thread makes and drops empty strings at once; the shared empty text survives.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([] {
            for (int i = 0; i < 20000; ++i) {
                TString a;
                TString b = a;
                TString c("x");
                c.Clear();
                b = c;
            }
        });
    for (std::thread& t : threads) t.join();
    EXPECT_STREQ(TString().c_str(), "");
    EXPECT_GT(EmptyRef()->refCount, 0);
}
