// TLogFile: batching by threshold, append or restart, writes in pieces, falling silent
// after a failure, and copies sharing one file.
#include "FileTestSupport.h"

#include <commonvcqx/files/LogFile.h>
#include <commonvcqx/platform/internal/FailureSeams.h>

#include <cerrno>
#include <fstream>
#include <string>

namespace {

int g_liveEntries = 0;

class TLine : public TLogEntry {
public:
    explicit TLine(std::string text) : m_text(std::move(text)) { ++g_liveEntries; }
    TLine(const TLine& other) : TLogEntry(other), m_text(other.m_text) { ++g_liveEntries; }
    ~TLine() override { --g_liveEntries; }
    TObject* CreateClone(void*) const override { return new TLine(*this); }
    TString GetLogText() const override {
        return TString(m_text.c_str(), 0, 0, static_cast<uint32_t>(m_text.size()));
    }
    std::string m_text;
};

class LogFileTest : public cvq::test::ScratchFolder {
protected:
    void TearDown() override {
        EXPECT_EQ(g_liveEntries, 0);
        g_liveEntries = 0;
        ScratchFolder::TearDown();
    }
};

TEST_F(LogFileTest, ThresholdDecidesWhenLinesReachTheFile) {
    for (int threshold : {1, 0, -5}) {
        TLogFile log(Name("t.log").c_str(), 1, threshold);
        log.AddEntry(new TLine("one"));
        EXPECT_EQ(Get("t.log"), "one\r\n") << threshold;
        log.AddEntry(new TLine("two"));
        EXPECT_EQ(Get("t.log"), "one\r\ntwo\r\n") << threshold;
    }
    TLogFile log(Name("b.log").c_str(), 1, 3);
    log.AddEntry(new TLine("a"));
    log.AddEntry(new TLine("b"));
    EXPECT_EQ(Entries(), 1u);  // only t.log: nothing opened before the first batch
    EXPECT_EQ(log.GetNumPendingEntries(), 2);
    log.AddEntry(new TLine("c"));
    EXPECT_EQ(Get("b.log"), "a\r\nb\r\nc\r\n");
    log.AddEntry(new TLine("d"));
    log.Flush(1);
    EXPECT_EQ(Get("b.log"), "a\r\nb\r\nc\r\nd\r\n");
    EXPECT_EQ(log.GetNumPendingEntries(), 0);
}

TEST_F(LogFileTest, RestartOrAppend) {
    Put("a.log", "old\r\n");
    Put("r.log", "old\r\n");
    {
        TLogFile append(Name("a.log").c_str(), 0, 1000);
        TLogFile restart(Name("r.log").c_str(), 1, 1000);
        append.AddEntry(new TLine("new"));
        restart.AddEntry(new TLine("new"));
    }  // the destructors write
    EXPECT_EQ(Get("a.log"), "old\r\nnew\r\n");
    EXPECT_EQ(Get("r.log"), "new\r\n");
    {
        TLogFile missing(Name("m.log").c_str(), 0, 1000);
        missing.AddEntry(new TLine("first"));
    }
    EXPECT_EQ(Get("m.log"), "first\r\n");
    { TLogFile empty(Name("e.log").c_str(), 1, 1000); }
    EXPECT_TRUE(std::filesystem::exists(Path("e.log")));
    EXPECT_EQ(Get("e.log"), "");
}

TEST_F(LogFileTest, AnotherWriterIsNeverOverwritten) {
    TLogFile log(Name("s.log").c_str(), 1, 1);
    log.AddEntry(new TLine("log 1"));
    std::ofstream(Path("s.log"), std::ios::binary | std::ios::app) << "other\r\n";
    log.AddEntry(new TLine("log 2"));
    EXPECT_EQ(Get("s.log"), "log 1\r\nother\r\nlog 2\r\n");
}

TEST_F(LogFileTest, AFileThatCannotBeMadeSilencesTheLog) {
    TLogFile log(Name("no\\such\\folder.log").c_str(), 1, 2);
    log.AddEntry(new TLine("a"));
    log.AddEntry(new TLine("b"));  // the batch fails: both entries are discarded
    EXPECT_EQ(g_liveEntries, 0);
    EXPECT_TRUE(log.IsBypassed());
    TLine kept("c");
    log.AddEntry(&kept);  // not taken over
    EXPECT_EQ(log.GetNumPendingEntries(), 0);
    log.Bypass(0);
    log.Bypass(1);
    EXPECT_TRUE(log.IsBypassed());
}

TEST_F(LogFileTest, BypassKeepsNothingAndClearingItResumes) {
    TLogFile log(Name("b.log").c_str(), 1, 1);
    log.AddEntry(new TLine("a"));
    log.Bypass(1);
    TLine dropped("b");
    log.AddEntry(&dropped);
    log.Bypass(0);
    log.AddEntry(new TLine("c"));
    EXPECT_EQ(Get("b.log"), "a\r\nc\r\n");
}

TEST_F(LogFileTest, LongBatchesGoOutInPiecesInOrder) {
    // 1 000 lines of 100 bytes with their line ends: 102 000 bytes in two writes, the
    // first cut after the line that passes 65 535 bytes.
    std::string expected;
    {
        TLogFile log(Name("p.log").c_str(), 1, 1000);
        for (int i = 0; i < 1000; ++i) {
            std::string line = std::to_string(i);
            line.resize(100, 'x');
            expected += line + "\r\n";
            log.AddEntry(new TLine(line));
        }
    }
    EXPECT_EQ(Get("p.log"), expected);

    // The second write fails: exactly the first piece reached the file, whole lines.
    TLogFile log(Name("f.log").c_str(), 1, 1000);
    cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Write, 2, ENOSPC);
    for (int i = 0; i < 1000; ++i) {
        std::string line = std::to_string(i);
        line.resize(100, 'x');
        log.AddEntry(new TLine(line));
    }
    EXPECT_TRUE(log.IsBypassed());
    const size_t firstPiece = (65535 / 102 + 1) * 102;
    EXPECT_EQ(Get("f.log"), expected.substr(0, firstPiece));
}

TEST_F(LogFileTest, CopiesShareOneFileAndCloneThePending) {
    auto log = std::make_unique<TLogFile>(Name("c.log").c_str(), 1, 1000);
    log->AddEntry(new TLine("a"));
    TLogFile copy(*log);
    EXPECT_EQ(copy.GetNumPendingEntries(), 1);
    log->Flush(0);  // opens the file for both
    copy.AddEntry(new TLine("b"));
    log.reset();
    copy.AddEntry(new TLine("c"));
    copy.Flush(0);
    EXPECT_EQ(Get("c.log"), "a\r\na\r\nb\r\nc\r\n");

    TLogFile other(Name("o.log").c_str(), 1, 1000);
    other.AddEntry(new TLine("kept"));
    other = copy;  // its own pending entries go to its own file first
    EXPECT_EQ(Get("o.log"), "kept\r\n");
    other.AddEntry(new TLine("d"));
    other.Flush(0);
    EXPECT_EQ(Get("c.log"), "a\r\na\r\nb\r\nc\r\nd\r\n");
}

}  // namespace
