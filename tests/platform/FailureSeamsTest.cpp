// The failure seam table: every seam fails exactly its Nth call with the armed error
// and only once, through the operation's own failure path; arming and disarming.
#include "../files/FileTestSupport.h"

#include <commonvcqx/platform/FileFlags.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/platform/internal/FileMapping.h>
#include <commonvcqx/platform/internal/Files.h>
#include <commonvcqx/platform/internal/VirtualMemory.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <thread>
#include <vector>

namespace {

namespace pf = cvq::platform;
using pf::EFailureSeam;
using namespace cvq::open_flags;
using FailureSeamsTest = cvq::test::ScratchFolder;

// One call of the operation behind a seam: true when it succeeded; on failure `error`
// holds the Windows code it reported (the memory operations report none: 0).
using TAttempt = std::function<bool(DWORD& error)>;

TEST_F(FailureSeamsTest, EachSeamFailsItsNthCallOnceWithTheArmedError) {
    Put("data.bin", std::string(8192, 'x'));
    DWORD error = 0;
    pf::FileHandle* file = pf::OpenFile(Name("data.bin"), kReadWrite | kShareAll, error);
    ASSERT_NE(file, nullptr);
    pf::FileMapping* mapping = pf::CreateFileMapping(file, 0, pf::EViewAccess::ReadWrite, error);
    ASSERT_NE(mapping, nullptr);
    const size_t region = pf::kAllocationGranularity;
    char* reserved = static_cast<char*>(pf::ReserveRegion(region));
    ASSERT_NE(reserved, nullptr);
    int renames = 0;
    Put("r0", "");

    struct Case {
        EFailureSeam seam;
        int errorNumber;
        DWORD code;  // the Windows code the operation reports; 0 for memory
        TAttempt attempt;
    } cases[] = {
        {EFailureSeam::Open, EMFILE, 4,
         [&](DWORD& e) {
             pf::FileHandle* opened = pf::OpenFile(Name("data.bin"), kReadAccess | kShareAll, e);
             return opened && pf::CloseFile(opened, e);
         }},
        {EFailureSeam::Write, ENOSPC, 112,
         [&](DWORD& e) {
             size_t done = 0;
             return pf::WriteFile(file, "abc", 3, done, e);
         }},
        {EFailureSeam::Sync, EIO, 1117, [&](DWORD& e) { return pf::SyncFile(file, e); }},
        {EFailureSeam::Rename, EXDEV, 17,
         [&](DWORD& e) {
             std::string from = "r" + std::to_string(renames);
             std::string to = "r" + std::to_string(renames + 1);
             if (!pf::RenameFile(Name(from), Name(to), false, e)) return false;
             ++renames;
             return true;
         }},
        {EFailureSeam::Reserve, ENOMEM, 0,
         [&](DWORD&) {
             void* p = pf::ReserveRegion(region);
             if (p) pf::ReleaseRegion(p, region);
             return p != nullptr;
         }},
        {EFailureSeam::Commit, ENOMEM, 0,
         [&](DWORD&) { return pf::CommitPages(reserved, pf::PageSize()); }},
        {EFailureSeam::CreateMapping, ENOSPC, 112,
         [&](DWORD& e) {
             pf::FileMapping* made = pf::CreateFileMapping(file, 0, pf::EViewAccess::Read, e);
             if (made) pf::CloseFileMapping(made);
             return made != nullptr;
         }},
        {EFailureSeam::MapView, ENOMEM, 8,
         [&](DWORD& e) {
             void* view = pf::MapView(mapping, 0, 0, e);
             return view && pf::UnmapView(view, pf::MappingSize(mapping), e);
         }},
        {EFailureSeam::Read, EIO, 1117,
         [&](DWORD& e) {
             char byte = 0;
             size_t done = 0;
             return pf::ReadFileAt(file, &byte, 1, 0, done, e);
         }},
    };
    static_assert(std::size(cases) == pf::kFailureSeamCount, "a case for every seam");
    for (Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.seam));
        pf::FailNthOperation(c.seam, 2, c.errorNumber);
        EXPECT_TRUE(pf::FailureArmed(c.seam));
        DWORD code = 0;
        EXPECT_TRUE(c.attempt(code)) << code;
        EXPECT_TRUE(pf::FailureArmed(c.seam));
        code = 0;
        errno = 0;
        EXPECT_FALSE(c.attempt(code));
        if (c.code == 0) {
            EXPECT_EQ(errno, c.errorNumber);
        } else {
            EXPECT_EQ(code, c.code);
        }
        EXPECT_FALSE(pf::FailureArmed(c.seam));
        EXPECT_TRUE(c.attempt(code)) << code;  // fired once
    }

    pf::ReleaseRegion(reserved, region);
    pf::CloseFileMapping(mapping);
    EXPECT_TRUE(pf::CloseFile(file, error));
}

TEST(FailureSeamsTableTest, ArmingReplacesNeverArmsAndDisarmingClearsAll) {
    pf::FailNthOperation(EFailureSeam::Sync, 5, EIO);
    pf::FailNthOperation(EFailureSeam::Sync, 1, ENOSPC);  // replaces
    errno = 0;
    EXPECT_TRUE(pf::FailureFires(EFailureSeam::Sync));
    EXPECT_EQ(errno, ENOSPC);
    EXPECT_FALSE(pf::FailureFires(EFailureSeam::Sync));

    for (int nth : {0, -3}) {
        pf::FailNthOperation(EFailureSeam::Open, nth, EIO);
        EXPECT_FALSE(pf::FailureArmed(EFailureSeam::Open));
        EXPECT_FALSE(pf::FailureFires(EFailureSeam::Open));
    }

    for (int seam = 0; seam < pf::kFailureSeamCount; ++seam)
        pf::FailNthOperation(static_cast<EFailureSeam>(seam), 3, EIO);
    pf::DisarmFailures();
    for (int seam = 0; seam < pf::kFailureSeamCount; ++seam) {
        EXPECT_FALSE(pf::FailureArmed(static_cast<EFailureSeam>(seam))) << seam;
        EXPECT_FALSE(pf::FailureFires(static_cast<EFailureSeam>(seam))) << seam;
    }
}

TEST(FailureSeamsTableTest, ExactlyOneOfManyConcurrentCallsFires) {
    constexpr int kThreads = 4, kCallsEach = 2000;
    for (int nth : {1, 777, kThreads * kCallsEach}) {
        pf::FailNthOperation(EFailureSeam::Write, nth, ENOSPC);
        std::atomic<int> fired{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
            threads.emplace_back([&] {
                for (int i = 0; i < kCallsEach; ++i)
                    if (pf::FailureFires(EFailureSeam::Write)) ++fired;
            });
        for (auto& thread : threads) thread.join();
        EXPECT_EQ(fired.load(), 1) << nth;
        EXPECT_FALSE(pf::FailureArmed(EFailureSeam::Write));
    }
    pf::DisarmFailures();
}

}  // namespace
