// Public operations under out-of-memory at every allocation they make: strings,
// containers, string lists and patterns.
#include "OutOfMemoryDriver.h"

#include <commonvcqx/containers/Array.h>
#include <commonvcqx/containers/ArrayBase.h>
#include <commonvcqx/containers/DoubleList.h>
#include <commonvcqx/containers/FlexHashMap.h>
#include <commonvcqx/containers/FlexList.h>
#include <commonvcqx/containers/StringItem.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/text/StringFunctions.h>
#include <commonvcqx/text/StringPattern.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

using cvq::reliability::DriveOutOfMemory;
using cvq::reliability::TNamedOutOfMemoryCase;
using cvq::reliability::TOutOfMemoryRun;

namespace {

int g_alive = 0;

// A list element that counts its living instances, so that ownership shows in one number.
class TItem : public THashableElement {
public:
    explicit TItem(int key) : m_key(key) { ++g_alive; }
    TItem(const TItem& other) : THashableElement(other), m_key(other.m_key) { ++g_alive; }
    ~TItem() override { --g_alive; }
    int Compare(const TObject& other, int) const override {
        int k = static_cast<const TItem&>(other).m_key;
        return m_key < k ? -1 : (m_key > k ? 1 : 0);
    }
    TObject* CreateClone(void*) const override { return new TItem(*this); }
    unsigned int GetHashedValue() const override { return unsigned(m_key) * 2654435761u; }
    int m_key;
};

// An item that stores its key under its tag.
class TStoredItem : public TItem {
public:
    TStoredItem() : TItem(0) {}
    void WriteState(TTaggedOutputStream& out, int32_t, const char* name, int index) const override {
        out.SetValue(int32_t(m_key), name, index);
    }
    char RestoreState(TTaggedInputStream& in, int32_t, const char* name, int index) override {
        m_key = in.GetValue(int32_t(-1), name, index);
        return m_key >= 0;
    }
};

TObject* MakeStoredItem(int32_t) {
    return new TStoredItem;
}

std::string Keys(const TArrayBase& array) {
    std::string keys;
    for (int i = 0; i < array.GetCount(); ++i)
        keys += std::to_string(static_cast<TItem*>(array[i])->m_key) + " ";
    return keys;
}

std::string Keys(const TDoubleList& list) {
    std::string keys;
    for (TListElement* e = list.GetFirst(); e; e = list.GetNext(e))
        keys += std::to_string(static_cast<TItem*>(e)->m_key) + " ";
    return keys;
}

std::string Text(const TString& s) {
    return std::string(s.c_str(), s.GetLength());
}

// The string either kept its text or took the new one, and still changes normally.
void ExpectStringWorks(TString& s, bool done, const std::string& before, const std::string& after) {
    EXPECT_EQ(Text(s), done ? after : before);
    s += "!";
    EXPECT_EQ(Text(s).back(), '!');
}

const TNamedOutOfMemoryCase kTextCases[] = {
    {"string append to a shared text",
     [](TOutOfMemoryRun& run) {
         TString s("head");
         TString shared = s;
         bool done = run.Armed([&] { s += TString('x', 5000); });
         EXPECT_EQ(Text(shared), "head");
         ExpectStringWorks(s, done, "head", "head" + std::string(5000, 'x'));
     }},
    {"string concatenation",
     [](TOutOfMemoryRun& run) {
         TString a("left "), b('r', 2000), sum;
         bool done = run.Armed([&] { sum = TString(a + b) + "tail"; });
         EXPECT_EQ(Text(a), "left ");
         ExpectStringWorks(sum, done, "", "left " + std::string(2000, 'r') + "tail");
     }},
    {"string edits",
     [](TOutOfMemoryRun& run) {
         TString s("one two three four");
         TString keep = s;
         bool done = run.Armed([&] {
             s.Insert(3, TString('-', 1500));
             s.Replace(0, 3, "ONE");
             s.MakeUpper();
             s.Remove(2, 100);
         });
         EXPECT_EQ(Text(keep), "one two three four");
         if (done) {
             EXPECT_EQ(s.GetLength(), 1518u - 100u);
         }
         s = keep;
         EXPECT_EQ(Text(s), "one two three four");
     }},
    {"ExplodeString into an array",
     [](TOutOfMemoryRun& run) {
         TArray<TString> items;
         items.Add("old");
         std::string text;
         for (int i = 0; i < 60; ++i) text += "item" + std::to_string(i) + ", ";
         bool done = run.Armed([&] { ExplodeString(items, text.c_str(), ",", 1, 0); });
         if (done) {
             ASSERT_EQ(items.GetCount(), 60);
             EXPECT_EQ(Text(items[59]), "item59");
         }
         items.Add("more");
         EXPECT_EQ(Text(items.GetLast()), "more");
     }},
    {"ExplodeString into a list",
     [](TOutOfMemoryRun& run) {
         TFlexList<TStringItem<TListElement>> items;
         std::string text;
         for (int i = 0; i < 40; ++i) text += "w" + std::to_string(i) + " ";
         bool done = run.Armed([&] { ExplodeString(items, text.c_str(), " ", 0, 0); });
         if (done) {
             EXPECT_EQ(items.GetCount(), 40);
         }
     }},
    {"pattern compile and search",
     [](TOutOfMemoryRun& run) {
         TStringPattern pattern;
         int32_t found = -2, at = -1;
         bool done = run.Armed([&] {
             if (!pattern.Set("(ab|cd)+[x-z]*{e+}f", 1)) return;
             found = pattern.Find(&at, "zzabcdxxeef", 0, TStringPattern::kForward);
         });
         if (done) {
             EXPECT_TRUE(pattern.IsValid());
             EXPECT_EQ(found, 9);
             EXPECT_EQ(at, 2);
         } else if (run.Failed() && run.Thrown()[0] == 0) {
             // A compile that runs out of memory leaves the pattern invalid.
             EXPECT_FALSE(pattern.IsValid());
             run.AcceptResult();
         }
         pattern.Set("a+", 1);
         EXPECT_EQ(pattern.Find(&at, "baac", 0, TStringPattern::kForward), 2);
     }},
    {"pattern tokenize and replace",
     [](TOutOfMemoryRun& run) {
         TStringPattern pattern("[0-9]+", 1);
         TArray<TString> tokens;
         TString text("a1 b22 c333 d4444");
         int count = 0;
         bool done = run.Armed([&] {
             count = pattern.Tokenize(text, tokens);
             pattern.ReplaceAll(text, "#");
         });
         if (done) {
             EXPECT_EQ(count, 4);
             EXPECT_EQ(Text(text), "a# b# c# d#");
         }
     }},
};

const TNamedOutOfMemoryCase kContainerCases[] = {
    {"array inserts",
     [](TOutOfMemoryRun& run) {
         int alive = g_alive;
         {
             TArrayBase array(2, 3);
             array.Add(new TItem(-1));
             bool done = run.Armed([&] {
                 for (int i = 0; i < 50; ++i) {
                     TItem* item = new TItem(i);
                     try {
                         array.Insert(item, i % 2 ? 0 : array.GetCount());
                     } catch (...) {
                         delete item;  // not taken: still the caller's
                         throw;
                     }
                 }
             });
             EXPECT_EQ(array.GetCount() == 51, done);
             array.Sort();
             EXPECT_TRUE(array.IsSorted());
         }
         EXPECT_EQ(g_alive, alive);
     }},
    {"array copy and sort",
     [](TOutOfMemoryRun& run) {
         int alive = g_alive;
         {
             TArrayBase source(10, 10);
             for (int i = 0; i < 30; ++i) source.Add(new TItem((i * 7) % 30));
             TArrayBase target(1, 1);
             target.Add(new TItem(99));
             bool done = run.Armed([&] {
                 target = source;
                 target.Sort();
             });
             if (done) {
                 EXPECT_EQ(Keys(target).substr(0, 6), "0 1 2 ");
             }
             EXPECT_EQ(source.GetCount(), 30);
         }
         EXPECT_EQ(g_alive, alive);
     }},
    {"list copy",
     [](TOutOfMemoryRun& run) {
         int alive = g_alive;
         {
             TDoubleList source;
             for (int i = 0; i < 20; ++i) source.Append(new TItem(20 - i));
             TDoubleList* copy = nullptr;
             bool done = run.Armed([&] {
                 copy = new TDoubleList(source);
                 copy->Sort();
             });
             if (done) {
                 EXPECT_EQ(Keys(*copy).substr(0, 4), "1 2 ");
             }
             delete copy;
             EXPECT_EQ(Keys(source).substr(0, 6), "20 19 ");
         }
         EXPECT_EQ(g_alive, alive);
     }},
    {"hash map inserts and copy",
     [](TOutOfMemoryRun& run) {
         int alive = g_alive;
         {
             TFlexHashMapImp map(0, 1);
             TFlexHashMapImp* copy = nullptr;
             bool done = run.Armed([&] {
                 for (int i = 0; i < 40; ++i) {
                     TItem* item = new TItem(i);
                     try {
                         map.Add(item);
                     } catch (...) {
                         delete item;
                         throw;
                     }
                 }
                 copy = new TFlexHashMapImp(map);
             });
             for (int i = 0; i < map.GetCount(); ++i) {
                 TItem probe(i);
                 EXPECT_NE(map.FindEqual(probe), nullptr) << i;
             }
             if (done) {
                 TItem probe(39);
                 EXPECT_NE(copy->FindEqual(probe), nullptr);
             }
             delete copy;
         }
         EXPECT_EQ(g_alive, alive);
     }},
    {"array and list stored and restored",
     [](TOutOfMemoryRun& run) {
         int alive = g_alive;
         {
             TArrayBase source(20, 20, 1, &MakeStoredItem);
             for (int i = 0; i < 25; ++i) {
                 auto* item = new TStoredItem;
                 item->m_key = i;
                 source.Add(item);
             }
             TArrayBase array(20, 20, 1, &MakeStoredItem);
             TDoubleList list(1, &MakeStoredItem);
             bool done = run.Armed([&] {
                 TTaggedOutputStream out(1, "doc", 1);
                 source.WriteState(out, 0, "Items", 0);
                 out.CloseWriting();
                 TTaggedInputStream in(1, const_cast<char*>(out.GetStart()), int32_t(out.GetSize()),
                                       0);
                 array.RestoreState(in, 0, "Items", 0);
                 list.RestoreState(in, 0, "Items", 0);
             });
             if (done) {
                 EXPECT_EQ(Keys(array), Keys(source));
                 EXPECT_EQ(list.GetCount(), 25);
             }
             // Whatever was restored is whole and owned.
             for (int i = 0; i < array.GetCount(); ++i) {
                 EXPECT_EQ(static_cast<TItem*>(array[i])->m_key, i);
             }
         }
         EXPECT_EQ(g_alive, alive);
     }},
    {"array of strings grows and copies",
     [](TOutOfMemoryRun& run) {
         TArray<TString> words(1, 2);
         TArray<TString> copy;
         bool done = run.Armed([&] {
             for (int i = 0; i < 30; ++i) words.Add(TString(int32_t(i)));
             copy = words;
         });
         if (done) {
             EXPECT_EQ(Text(copy[29]), "29");
         }
         for (int i = 0; i < words.GetCount(); ++i) EXPECT_EQ(Text(words[i]), std::to_string(i));
     }},
};

TEST(OutOfMemoryTest, TextOperationsFailCleanlyAtEveryAllocation) {
    for (const auto& entry : kTextCases) {
        int32_t points = DriveOutOfMemory(entry);
        std::printf("%-40s %5d failure points\n", entry.name, points);
        if (cvq::reliability::HeapsServeTheProcess()) {
            EXPECT_GT(points, 0) << entry.name;
        }
        if (HasFailure()) return;
    }
}

TEST(OutOfMemoryTest, ContainerOperationsFailCleanlyAtEveryAllocation) {
    for (const auto& entry : kContainerCases) {
        int32_t points = DriveOutOfMemory(entry);
        std::printf("%-40s %5d failure points\n", entry.name, points);
        if (cvq::reliability::HeapsServeTheProcess()) {
            EXPECT_GT(points, 0) << entry.name;
        }
        if (HasFailure()) return;
    }
}

}  // namespace
