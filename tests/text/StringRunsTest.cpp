// Strings built in bulk: each an independent representation from the string heap (its
// own count, written without touching the others, freed on its own), empty runs
// sharing the empty text, long runs beside short ones, a heap running dry midway; the
// heap's batch of small blocks; and ExplodeString's array form against its list form
// on random texts.
#include <commonvcqx/geometry/Randomizer.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/text/StringFunctions.h>
#include <commonvcqx/text/internal/StringRuns.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

using cvq::detail::TTextRun;

void Collect(TSubString& s, void* out) {
    static_cast<std::vector<TString>*>(out)->emplace_back(s);
}

std::vector<TString> Build(const std::vector<std::string>& texts) {
    std::vector<TTextRun> runs;
    for (const std::string& t : texts) runs.push_back({t.data(), uint32_t(t.size())});
    std::vector<TString> out;
    cvq::detail::BuildStrings(runs.data(), runs.size(), Collect, &out);
    return out;
}

}  // namespace

TEST(StringRunsTest, EachStringIsIndependentAndSizedByTheCapacityRule) {
    std::vector<std::string> texts;
    for (int i = 0; i < 700; ++i) texts.push_back("item " + std::to_string(i));
    texts[5] = "";
    texts[300] = std::string(3000, 'x');  // beyond a small block: built alone
    texts[301] = std::string("with\0nul", 8);
    const std::vector<TString> built = Build(texts);
    ASSERT_EQ(built.size(), texts.size());
    const TString empty;
    for (size_t i = 0; i < texts.size(); ++i) {
        ASSERT_EQ(std::string(built[i].c_str(), built[i].GetLength()), texts[i]) << i;
        const TStringRef* rep = built[i].GetStringRef();
        if (texts[i].empty()) {
            EXPECT_EQ(rep, empty.GetStringRef());  // no allocation
            continue;
        }
        ASSERT_EQ(rep->capacity, (texts[i].size() + 1 + 7) & ~size_t(7)) << i;
        ASSERT_EQ(rep->heap, _stringHeap);
        ASSERT_EQ(rep->refCount, 1) << i;
        ASSERT_EQ(rep->Text()[rep->length], '\0');
        ASSERT_GE(NH_Heap::GetBlockSize(rep), sizeof(TStringRef) + rep->capacity);
        if (i) {
            ASSERT_NE(rep, built[i - 1].GetStringRef());
        }
    }
    // Written, copied and freed one by one like strings made singly.
    std::vector<TString> copies = built;
    copies[7] += " changed";
    copies[8].MakeUpper();
    EXPECT_STREQ(built[7].c_str(), "item 7");
    EXPECT_STREQ(built[8].c_str(), "item 8");
    EXPECT_STREQ(built[9].c_str(), "item 9");
    EXPECT_STREQ(copies[7].c_str(), "item 7 changed");
    EXPECT_STREQ(copies[8].c_str(), "ITEM 8");
    copies.clear();
    EXPECT_EQ(built[7].GetStringRef()->refCount, 1);
}

TEST(StringRunsTest, AHeapThatRunsDryThrowsAndKeepsWhatWasHandedOver) {
    NH_Heap starved(NH_AHeap::kNoStandardHandler);
    NH_Heap* previous = _stringHeap;
    std::vector<std::string> texts(3000, "a text of some length");  // several page sets
    std::vector<TTextRun> runs;
    for (const std::string& t : texts) runs.push_back({t.data(), uint32_t(t.size())});
    // An emergency reserve, when there is one, absorbs the first failure.
    int thrown = 0;
    for (int nth = 1; nth <= 4; ++nth) {
        std::vector<TString> out;
        _stringHeap = &starved;
        cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Reserve, nth, ENOMEM);
        try {
            cvq::detail::BuildStrings(runs.data(), runs.size(), Collect, &out);
        } catch (const std::bad_alloc&) {
            ++thrown;
            EXPECT_LT(out.size(), texts.size());
        }
        cvq::platform::DisarmFailures();
        _stringHeap = previous;
        for (const TString& s : out) ASSERT_STREQ(s.c_str(), "a text of some length");
    }
    EXPECT_GT(thrown, 0);
}

TEST(StringRunsTest, HeapBatchesAreOrdinaryBlocks) {
    NH_Heap heap(NH_AHeap::kZeroFill);
    std::vector<uint32_t> sizes;
    for (uint32_t i = 0; i < 5000; ++i) sizes.push_back(1 + (i * 37) % 1016);
    std::vector<void*> blocks(sizes.size());
    ASSERT_EQ(heap.AllocSmallBlocks(sizes.data(), sizes.size(), blocks.data()), sizes.size());
    for (size_t i = 0; i < blocks.size(); ++i) {
        ASSERT_EQ(NH_Heap::GetBlockSize(blocks[i]), sizes[i]) << i;
        const auto* bytes = static_cast<const unsigned char*>(blocks[i]);
        for (uint32_t j = 0; j < sizes[i]; ++j) ASSERT_EQ(bytes[j], 0) << i;
        std::memset(blocks[i], int(i), sizes[i]);  // no block overlaps another
    }
    for (size_t i = 0; i < blocks.size(); ++i)
        ASSERT_EQ(static_cast<unsigned char*>(blocks[i])[sizes[i] - 1], (unsigned char)i);
    for (size_t i = 0; i < blocks.size(); i += 2) NH_Heap::FreeMem(blocks[i]);
    // Freed blocks are taken again by the next batch.
    std::vector<void*> again(blocks.size() / 2);
    ASSERT_EQ(heap.AllocSmallBlocks(sizes.data(), again.size(), again.data()), again.size());
    for (size_t i = 1; i < blocks.size(); i += 2) NH_Heap::FreeMem(blocks[i]);
    for (void* p : again) NH_Heap::FreeMem(p);
}

TEST(StringRunsTest, ExplodeArrayAgreesWithTheListFormOnRandomTexts) {
    TRandomizer random(17);
    const char* separatorSets[] = {",", ";,", " \t", "\r\n", ""};
    for (int round = 0; round < 400; ++round) {
        const char* separators = separatorSets[random.Get(5)];
        std::string text;
        const char pieces[] = "ab ,;\t\r\nxyz";
        const uint32_t length = random.Get(round < 300 ? 40 : 3000);
        for (uint32_t i = 0; i < length; ++i) text += pieces[random.Get(sizeof pieces - 1)];
        if (!*separators) text += std::string("\0last\0", 7);  // a NUL-separated list
        for (char trim = 0; trim < 2; ++trim)
            for (char keep = 0; keep < 2; ++keep) {
                TArray<TString> array;
                TFlexList<TStringItem<TListElement>> list;
                ExplodeString(array, text.c_str(), separators, trim, keep);
                ExplodeString(list, text.c_str(), separators, trim, keep);
                std::vector<std::string> fromList;
                for (auto& item : list) fromList.emplace_back(item.c_str());
                ASSERT_EQ(size_t(array.GetCount()), fromList.size()) << round;
                for (int32_t i = 0; i < array.GetCount(); ++i)
                    ASSERT_EQ(std::string(array[i].c_str()), fromList[size_t(i)]) << round;
            }
    }
}
