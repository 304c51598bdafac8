// TFile beyond plain transfers: byte-range locks, reads on worker threads, the C stream
// back end, the close notification and the flags that give a file its own objects.
#include "FileTestSupport.h"

#include <commonvcqx/events/EventPublisher.h>
#include <commonvcqx/files/File.h>
#include <commonvcqx/files/internal/FileNotifier.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/threads/CriticalSection.h>
#include <commonvcqx/threads/ThreadEvent.h>

#include <sys/resource.h>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <thread>
#include <vector>

namespace {

using cvq::test::Catch;
using cvq::test::ErrorText;
namespace fs = std::filesystem;

class FileFlagsTest : public cvq::test::ScratchFolder {};

TEST_F(FileFlagsTest, ByteRangeLocksConflictBetweenOpensAndLeaveSharingAlone) {
    Put("ranges.bin", std::string(64, 'r'));
    std::string name = Name("ranges.bin");
    TFile first(name.c_str(), 0x8 | 0x80);
    TFile second(name.c_str(), 0x2 | 0x80);  // read-only: still locks against writers
    auto lockError = [&](TFile& file, int32_t offset, uint32_t count) {
        auto caught = Catch([&] { file.Lock(offset, count); });
        if (caught.thrown) {
            EXPECT_EQ(caught.text, ErrorText(18025, name));
        }
        return caught.thrown ? caught.code : 0u;
    };
    first.Lock(0, 16);
    struct Case {
        TFile* file;
        int32_t offset;
        uint32_t count;
        uint32_t code;
    } cases[] = {
        {&second, 8, 16, 33},                      // overlaps the other open's range
        {&second, 15, 1, 33}, {&first, 4, 2, 33},  // overlaps its own range, as Windows refuses
        {&second, 16, 16, 0},                      // right beside it
        {&first, 0, 0, 0},                         // zero bytes lock nothing
        {&first, -16, 16, 0},  // offsets are unsigned: the last 16 bytes below 4 GB
        {&second, -8, 4, 33},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.offset << "+" << c.count);
        EXPECT_EQ(lockError(*c.file, c.offset, c.count), c.code);
    }

    // Ranges do not touch the sharing modes, nor they the ranges.
    TFile third(name.c_str(), 0x8 | 0x80);
    EXPECT_EQ(lockError(third, 20, 1), 33u);
    EXPECT_EQ(lockError(third, 40, 8), 0u);
    auto exclusive = Catch([&] { TFile(name.c_str(), 0x2 | 0x100); });
    EXPECT_EQ(exclusive.code, 32u);

    auto notLocked = Catch([&] { first.Unlock(0, 8); });  // only whole ranges unlock
    EXPECT_EQ(notLocked.text, ErrorText(18025, name));
    EXPECT_EQ(notLocked.code, 158u);
    first.Unlock(0, 16);
    EXPECT_EQ(lockError(second, 0, 8), 0u);
    EXPECT_EQ(lockError(first, 0, 8), 33u);
    second.Close();  // its ranges go with it
    EXPECT_EQ(lockError(first, 0, 8), 0u);
    EXPECT_EQ(lockError(first, 16, 16), 0u);
    EXPECT_EQ(Get("ranges.bin"), std::string(64, 'r'));

    TFile closed;
    EXPECT_EQ(Catch([&] { closed.Lock(0, 1); }).code, 6u);
}

TEST_F(FileFlagsTest, ReadAsyncSignalsWithTheDataAndLeavesThePosition) {
    Put("async.bin", "0123456789");
    std::string name = Name("async.bin");
    TFile file(name.c_str(), 0x2 | 0x4000);
    file.Seek(3, TFile::kFromStart);
    TThreadEvent done(1);  // set before: the read resets it
    char buffer[8] = {};
    file.ReadAsync(buffer, 4, 5, done.GetHandle());
    ASSERT_TRUE(done.WaitForIt(10000));
    int32_t read = 0;
    EXPECT_TRUE(file.GetAsyncResult(done.GetHandle(), &read, 0));
    EXPECT_EQ(read, 4);
    EXPECT_EQ(std::string(buffer, 4), "5678");
    EXPECT_EQ(file.GetPosition(), 3);

    // Past the end the read is short; one event per read in flight.
    TThreadEvent other;
    char tail[8] = {};
    file.ReadAsync(buffer, 8, 8, done.GetHandle());
    file.ReadAsync(tail, 3, 0, other.GetHandle());
    EXPECT_TRUE(file.GetAsyncResult(other.GetHandle(), &read, 1));
    EXPECT_EQ(read, 3);
    EXPECT_EQ(std::string(tail, 3), "012");
    EXPECT_TRUE(file.GetAsyncResult(done.GetHandle(), &read, 1));
    EXPECT_EQ(read, 2);
    EXPECT_EQ(std::string(buffer, 2), "89");

    // A result is given once; unknown events and files without 0x4000 are refused.
    auto again = Catch([&] { file.GetAsyncResult(done.GetHandle(), &read); });
    EXPECT_EQ(again.text, ErrorText(18002, name));
    EXPECT_EQ(again.code, 87u);
    EXPECT_FALSE(file.GetAsyncResult(done.GetHandle(), &read, 1, 0));
    EXPECT_EQ(read, -1);
    TFile plain(name.c_str(), 0x2 | 0x80);
    auto refused = Catch([&] { plain.ReadAsync(buffer, 1, 0, done.GetHandle()); });
    EXPECT_EQ(refused.text, ErrorText(18002, name));
    EXPECT_EQ(refused.code, 87u);
    EXPECT_EQ(Catch([&] { file.ReadAsync(buffer, -1, 0, done.GetHandle()); }).code, 87u);
}

TEST_F(FileFlagsTest, CloseWaitsForReadsStillRunning) {
    std::string big(4 << 20, 'b');
    Put("big.bin", big);
    std::vector<TThreadEvent> events(4);
    std::vector<std::string> buffers(events.size(), std::string(big.size(), '\0'));
    TFile file(Name("big.bin").c_str(), 0x2 | 0x4000);
    for (size_t i = 0; i < events.size(); ++i)
        file.ReadAsync(buffers[i].data(), static_cast<int32_t>(big.size()), 0,
                       events[i].GetHandle());
    file.Close();
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_TRUE(events[i].IsTrue());
        EXPECT_TRUE(buffers[i] == big);
    }
}

// The first reads of a file, started on several threads at once, are all kept.
TEST_F(FileFlagsTest, FirstReadsStartedOnSeveralThreadsAreAllFound) {
    Put("racing.bin", "0123456789");
    std::string name = Name("racing.bin");
    constexpr int kThreads = 4;
    for (int round = 0; round < 20; ++round) {
        TFile file(name.c_str(), 0x2 | 0x4000);
        std::vector<TThreadEvent> events(kThreads);
        std::vector<std::string> buffers(kThreads, std::string(2, '\0'));
        std::vector<int32_t> reads(kThreads, -1);
        std::atomic<int> ready{0};
        std::vector<std::thread> threads;
        for (int i = 0; i < kThreads; ++i) {
            threads.emplace_back([&, i] {
                ready.fetch_add(1);
                while (ready.load() < kThreads) {
                }
                file.ReadAsync(buffers[i].data(), 2, static_cast<uint32_t>(2 * i),
                               events[i].GetHandle());
                file.GetAsyncResult(events[i].GetHandle(), &reads[i], 1, 0);
            });
        }
        for (std::thread& thread : threads) thread.join();
        for (int i = 0; i < kThreads; ++i) {
            EXPECT_EQ(reads[i], 2) << "round " << round << ", thread " << i;
            EXPECT_EQ(buffers[i], std::string("0123456789").substr(2 * size_t(i), 2));
        }
    }
}

TEST_F(FileFlagsTest, StreamBackEndReadsWritesSeeksAndSizes) {
    std::string name = Name("stream.bin");
    TFile file(name.c_str(), 0x20000 | 0x10 | 0x8 | 0x4000);
    file.WriteString("hello world", 0);
    EXPECT_EQ(file.GetSize(), 11);  // the buffer counts
    EXPECT_EQ(file.SeekStart(), 0);
    char head[5];
    file.ReadSecure(head, 5);
    EXPECT_EQ(std::string(head, 5), "hello");
    file.Write("_", 1);  // a write right after a read
    char next[5];
    file.ReadSecure(next, 5);  // and a read right after a write
    EXPECT_EQ(std::string(next, 5), "world");
    EXPECT_EQ(file.Seek(-5, TFile::kFromEnd), 6);
    EXPECT_EQ(file.Seek(0, TFile::kFromCurrent), 6);
    file.WriteLine("!", '\n', static_cast<char>(0xFF));
    EXPECT_EQ(file.GetPosition(), 8);

    TThreadEvent done;  // reads on workers see what the buffer held
    char seen[8];
    file.ReadAsync(seen, 8, 0, done.GetHandle());
    int32_t read = 0;
    EXPECT_TRUE(file.GetAsyncResult(done.GetHandle(), &read));
    EXPECT_EQ(std::string(seen, static_cast<size_t>(read)), "hello_!\n");
    file.Lock(0, 4);  // the descriptor stays usable for locks

    file.SetSize(5);
    EXPECT_EQ(file.GetPosition(), 5);
    EXPECT_EQ(file.Seek(-1, TFile::kFromStart, 0), -1);
    file.FlushBuffers();
    EXPECT_EQ(Get("stream.bin"), "hello");
    int32_t got = 0;
    char none[4];
    EXPECT_TRUE(file.ReadData(none, 4, 1, &got));
    EXPECT_EQ(got, 0);
    file.Close();
    EXPECT_EQ(Get("stream.bin"), "hello");

    // Without sharing flags a stream is exclusive.
    TFile reader(name.c_str(), 0x20000 | 0x2);
    EXPECT_EQ(Catch([&] { TFile(name.c_str(), 0x2 | 0x80); }).code, 32u);
    reader.Close();

    // Unbuffered (0x1000000): every write goes through at once and is not rounded.
    TFile direct(name.c_str(), 0x20000 | 0x10 | 0x4 | 0x1000000);
    direct.Write("abc", 3);
    EXPECT_EQ(Get("stream.bin"), "abc");
}

TEST_F(FileFlagsTest, StreamDeletesOnCloseAndReportsShortWrites) {
    TFile temporary(Name("gone.bin").c_str(), 0x20000 | 0x10 | 0x200);
    EXPECT_EQ(temporary.GetOpenFlags() & 0x600, 0x400);  // the library deletes it
    EXPECT_TRUE(temporary.ShouldBeDeletedOnClose());
    temporary.WriteString("data", 1);
    temporary.Close();
    EXPECT_FALSE(fs::exists(Path("gone.bin")));

    TFile file(Name("full.bin").c_str(), 0x20000 | 0x10 | 0x1000000);
    cvq::platform::FailNthOperation(cvq::platform::EFailureSeam::Write, 1, ENOSPC);
    auto nothing = Catch([&] { file.Write("abc", 3); });  // nothing written: 18003
    EXPECT_EQ(nothing.text, GetStaticString(18003));
    EXPECT_EQ(nothing.code, 112u);

    struct rlimit old;
    getrlimit(RLIMIT_FSIZE, &old);
    auto previous = signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = {4096, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &small);
    std::string block(6000, 'q');
    auto part = Catch([&] { file.Write(block.data(), 6000); });  // part written: 18019
    setrlimit(RLIMIT_FSIZE, &old);
    signal(SIGXFSZ, previous);
    EXPECT_EQ(part.text, ErrorText(18019, "C:"));
    EXPECT_EQ(part.code, 223u);
    EXPECT_EQ(file.GetPosition(), 4096);
}

struct Closing {
    std::vector<TFile*> files;
    std::vector<std::string> names;
    std::vector<bool> open;
    std::vector<std::thread::id> threads;
};

void OnClosed(int32_t eventId, int32_t first, int32_t second, void* user, TEventPublisher*,
              int32_t) {
    auto* seen = static_cast<Closing*>(user);
    TFile* file = TFile::ClosedFile(first, second);
    EXPECT_EQ(eventId, TFile::kFileClosedEvent);
    seen->files.push_back(file);
    seen->names.push_back(file->GetName().c_str());
    seen->open.push_back(file->IsOpen());
    seen->threads.push_back(std::this_thread::get_id());
}

TEST_F(FileFlagsTest, CloseNotifiesSubscribersOnTheClosingThread) {
    Closing seen, other;
    TFile::SubscribeToFileCloseEvent(&OnClosed, &seen);
    TFile::SubscribeToFileCloseEvent(&OnClosed, &other);
    auto file = std::make_unique<TFile>(Name("a.bin").c_str(), 0x10);
    std::thread([&] { file->Close(); }).join();
    file->Close();  // closing a closed file tells nobody
    ASSERT_EQ(seen.files.size(), 1u);
    EXPECT_EQ(seen.files[0], file.get());
    EXPECT_EQ(seen.names[0], Name("a.bin"));
    EXPECT_FALSE(seen.open[0]);
    EXPECT_NE(seen.threads[0], std::this_thread::get_id());
    EXPECT_EQ(other.files.size(), 1u);

    TFile::UnsubscribeToFileCloseEvent(&OnClosed, &seen);
    { TFile again(Name("a.bin").c_str(), 0); }  // the destructor closes and tells
    EXPECT_EQ(seen.files.size(), 1u);
    ASSERT_EQ(other.files.size(), 2u);
    EXPECT_EQ(other.threads[1], std::this_thread::get_id());
    TFile::UnsubscribeToFileCloseEvent(&OnClosed, &other);
    { TFile last(Name("a.bin").c_str(), 0); }
    EXPECT_EQ(other.files.size(), 2u);
}

TEST_F(FileFlagsTest, CloseNotifierIsNamedAndServesAnyThread) {
    TEventPublisher* notifier = cvq::detail::GlobalFileNotifier();
    ASSERT_NE(notifier, nullptr);
    EXPECT_STREQ(notifier->GetName(), "GlobalFileNotifier");
    int32_t seen = 0;
    auto count = [](int32_t, int32_t first, int32_t, void* user, TEventPublisher*, int32_t) {
        *static_cast<int32_t*>(user) += first;
    };
    notifier->Subscribe(nullptr, 1, count, &seen);
    std::thread([&] { notifier->SendNotification(1, 9); }).join();
    EXPECT_EQ(notifier->Unsubscribe(1, count, &seen), 1);
    EXPECT_EQ(seen, 9);
}

TEST_F(FileFlagsTest, LockAndWriteBehindFlagsKeepPlainTransfers) {
    struct Case {
        int flags;
        bool locked;
        int reported;
    } cases[] = {
        {0x2000, true, 0x2000},
        {0x8000, true, 0xA000},  // the read cache implies the lock
        {0x10000, false, 0x10000},
        {0x100000, false, 0x100000},
        {0x8000 | 0x10000 | 0x100000 | 0x80000, true, 0x19A000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.flags);
        TFile file(Name("flags.bin").c_str(), 0x10 | c.flags);
        EXPECT_EQ(file.GetOpenFlags() & 0x1FFF000, c.reported);
        ASSERT_EQ(file.GetLock() != nullptr, c.locked);
        if (c.locked) TAutoCriticalSection guard(file.GetLock());
        file.WriteString("abcdef", 0);
        file.SeekStart();
        char back[6];
        file.ReadSecure(back, 6);
        EXPECT_EQ(std::string(back, 6), "abcdef");
        file.AdjustSizeOfFile(4, 0, 0);
        EXPECT_EQ(file.GetSize(), 4);
        file.Close();
        EXPECT_EQ(file.GetLock(), nullptr);
        EXPECT_EQ(Get("flags.bin"), "abcd");
    }
    Put(".hidden", "x");
    TFile hidden(Name(".hidden").c_str(), 0x2);
    EXPECT_EQ(hidden.GetAttributes(), 0x4);
    fs::permissions(Path(".hidden"), fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_EQ(hidden.GetAttributes(), 0x6);
}

}  // namespace
