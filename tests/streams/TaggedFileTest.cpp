#include "../files/FileTestSupport.h"

#include <commonvcqx/files/File.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <string>

namespace {

using cvq::test::Catch;
using cvq::test::ErrorText;

class TaggedFileTest : public cvq::test::ScratchFolder {
protected:
    // A small document with a group, a text and raw bytes.
    static void Fill(TTaggedOutputStream& out) {
        out.SetValue(int32_t(3), "Siz", 0);
        out.MoveDown("Track", 1);
        out.SetValue("Piano", "Name", 0);
        out.SetBinary("\x01\x02\x03\x04\x05", 5, "Raw", 0);
        out.MoveUp();
        out.SetValue(2.5, "Tempo", 0);
    }

    static void Expect(TTaggedInputStream& in) {
        EXPECT_EQ(in.GetDocumentName(), TString("song"));
        EXPECT_EQ(in.GetValue(int32_t(0), "Siz", 0), 3);
        ASSERT_TRUE(in.MoveDown("Track", 1));
        EXPECT_EQ(in.GetValue("", "Name", 0), TString("Piano"));
        char raw[8] = {};
        EXPECT_EQ(in.GetBinary(raw, nullptr, 0, "Raw", 0), 5);
        EXPECT_EQ(std::memcmp(raw, "\x01\x02\x03\x04\x05", 5), 0);
        in.MoveUp();
        EXPECT_EQ(in.GetValue(0.0, "Tempo", 0), 2.5);
    }
};

TEST_F(TaggedFileTest, SavedDocumentLoadsBackFromTheFile) {
    const std::string name = Name("song.doc");
    Put("song.doc", "an older, longer file that must be replaced entirely");
    TTaggedOutputStream out(1, "song", 1);
    Fill(out);
    out.SaveAs(name.c_str(), 1);
    EXPECT_TRUE(out.IsClosed());
    EXPECT_EQ(Get("song.doc"), std::string(out.GetStart(), out.GetSize()));
    EXPECT_EQ(out.GetSize() % 4, 0u);

    // Saving again (already closed) writes the same bytes to another file.
    out.SaveAs(Name("copy.doc").c_str(), 0);
    EXPECT_EQ(Get("copy.doc"), Get("song.doc"));

    {
        TTaggedInputStream in(1, TFileName(name.c_str()), 1);
        Expect(in);
    }
    // Without auto-delete the caller takes over the loaded block.
    const char* kept;
    {
        TTaggedInputStream in(1, TFileName(name.c_str()), 0);
        Expect(in);
        kept = in.GetStart();
    }
    EXPECT_EQ(std::string(kept, Get("song.doc").size()), Get("song.doc"));
    NH_Heap::FreeMem(const_cast<char*>(kept));

    // Untagged documents go through the same file the same way.
    TTaggedOutputStream plain(0, "song", 1);
    plain.SetValue(int32_t(77), "", 0);
    plain.SaveAs(Name("plain.doc").c_str(), 1);
    TTaggedInputStream back(0, TFileName(Name("plain.doc").c_str()), 1);
    EXPECT_EQ(back.GetValue(int32_t(0), "", 0), 77);
}

TEST_F(TaggedFileTest, DamagedOrShortFilesFailAndFreeTheirBlock) {
    TTaggedOutputStream out(1, "song", 1);
    Fill(out);
    out.CloseWriting();
    const std::string good(out.GetStart(), out.GetSize());
    auto setWord = [](std::string& s, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) s[at + i] = char(v >> (8 * i));
    };
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
    } cases[] = {
        {"flipped body byte", [](std::string& s) { s[s.size() / 2] ^= 0x10; }},
        {"flipped last byte", [](std::string& s) { s.back() ^= 0x01; }},
        {"flipped crc", [](std::string& s) { s[4] ^= 0x80; }},
        {"cut short by 4", [](std::string& s) { s.resize(s.size() - 4); }},
        {"cut to the header", [](std::string& s) { s.resize(12); }},
        {"cut to 13 bytes", [](std::string& s) { s.resize(13); }},
        {"empty", [](std::string& s) { s.clear(); }},
        {"length past the end", [&](std::string& s) { setWord(s, 8, uint32_t(s.size() + 4)); }},
        {"length below the header", [&](std::string& s) { setWord(s, 8, 12); }},
        {"huge length", [&](std::string& s) { setWord(s, 8, 0xFFFFFFF0u); }},
    };
    const std::string name = Name("bad.doc");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string bytes = good;
        c.damage(bytes);
        Put("bad.doc", bytes);
        for (char autoDelete : {char(0), char(1)}) {
            auto failed =
                Catch([&] { TTaggedInputStream in(1, TFileName(name.c_str()), autoDelete); });
            EXPECT_TRUE(failed.thrown);
            EXPECT_EQ(failed.text, GetStaticString(18032));
        }
    }

    // Bytes after the sealed length are not part of the document.
    Put("bad.doc", good + "tail");
    TTaggedInputStream in(1, TFileName(name.c_str()), 1);
    Expect(in);

    // File errors come through unchanged.
    const std::string missing = Name("missing.doc");
    auto absent = Catch([&] { TTaggedInputStream gone(1, TFileName(missing.c_str()), 1); });
    EXPECT_TRUE(absent.thrown);
    EXPECT_EQ(absent.code, 2u);
    EXPECT_NE(absent.text, GetStaticString(18032));
}

TEST_F(TaggedFileTest, FailedSaveReportsTheDiskAndKeepsTheOldFile) {
    const std::string name = Name("song.doc");
    const std::string drive = name.substr(0, 2);
    Put("song.doc", "old contents");
    struct Case {
        int errorNumber;
        char checkSpace;
        std::string text;
        uint32_t code;
    } cases[] = {
        {ENOSPC, 1, ErrorText(18019, drive), 112},
        {ENOSPC, 0, ErrorText(18019, drive), 112},
        {EDQUOT, 1, ErrorText(18019, drive), 112},
        {EIO, 1, GetStaticString(18003), 1117},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.errorNumber);
        TTaggedOutputStream out(1, "song", 1);
        Fill(out);
        cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Write, 1, c.errorNumber);
        auto failed = Catch([&] { out.SaveAs(name.c_str(), c.checkSpace); });
        EXPECT_TRUE(failed.thrown);
        EXPECT_EQ(failed.text, c.text);
        EXPECT_EQ(failed.code, c.code);
        EXPECT_TRUE(out.IsClosed());
        EXPECT_EQ(Get("song.doc"), "old contents");
        EXPECT_EQ(Entries(), 1u);
    }
    // The free-space check passes on a drive with room, and the save goes through.
    TTaggedOutputStream out(1, "song", 1);
    Fill(out);
    out.SaveAs(name.c_str(), 1);
    EXPECT_EQ(Get("song.doc"), std::string(out.GetStart(), out.GetSize()));
}

}  // namespace
