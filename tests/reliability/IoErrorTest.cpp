// Every file operation of a save and of a load failing in turn, with a full disk and
// with an I/O error: the failure reaches the caller as a TException with the disk's
// message and the Windows code, the old file stays whole, nothing is left beside it, and
// no failure passes for success.
#include <commonvcqx/config/Config.h>
#include <commonvcqx/config/Registry.h>
#include <commonvcqx/files/File.h>
#include <commonvcqx/frame/Exception.h>
#include <commonvcqx/memory/Heap.h>
#include <commonvcqx/platform/Drives.h>
#include <commonvcqx/platform/internal/FailureSeams.h>
#include <commonvcqx/streams/TaggedInputStream.h>
#include <commonvcqx/streams/TaggedOutputStream.h>
#include <commonvcqx/text/StaticStrings.h>

#include "../support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;
namespace pf = cvq::platform;
using pf::EFailureSeam;

// The running test's folder: the cases below are plain functions.
const cvq::test::TScratchFolder* g_folder = nullptr;

TFileName Library(const char* leaf) {
    return TFileName(g_folder->Name(leaf).c_str());
}

struct TOutcome {
    bool thrown = false;
    bool otherThrown = false;
    std::string text;
    uint32_t code = 0;
};

template <class F>
TOutcome Attempt(F&& operation) {
    TOutcome outcome;
    try {
        operation();
    } catch (const TException& e) {
        outcome.thrown = true;
        outcome.text = e.GetMessage() ? e.GetMessage()->c_str() : "";
        outcome.code = e.GetCode();
    } catch (...) {
        outcome.otherThrown = true;
    }
    return outcome;
}

struct TSave {
    const char* name;
    const char* leaf;
    void (*save)();
};

const TSave kSaves[] = {
    {"whole file", "data.bin",
     [] {
         std::string bytes(200000, 'n');
         TFile::SaveFile(Library("data.bin"), bytes.data(), uint32_t(bytes.size()));
     }},
    {"tagged document", "song.doc",
     [] {
         TTaggedOutputStream out(1, "song", 1);
         out.SetValue(int32_t(2), "Version", 0);
         out.SaveAs(Library("song.doc"), 0);
     }},
    {"configuration", "prefs.cfg",
     [] {
         TConfig config("Prefs", TConfig::EMode(0));
         config.SetValue(int32_t(2), "Version", 0);
         config.Save(Library("prefs.cfg"), 1);
     }},
};

struct TErrorKind {
    int errorNumber;
    uint32_t code;  // the Windows code the exception carries
    int messageId;  // its text: the full disk names the drive
};
const TErrorKind kErrors[] = {{ENOSPC, 112, 18019}, {EIO, 1117, 18003}};

class IoErrorTest : public ::testing::Test {
protected:
    void SetUp() override { g_folder = &m_folder; }
    void TearDown() override {
        pf::DisarmFailures();
        SetRegistryDirectory(nullptr);
    }
    cvq::test::TScratchFolder m_folder{"cvq_ioerror"};
};

TEST_F(IoErrorTest, EveryFailingStepOfASaveKeepsTheOldFileAndIsReported) {
    int tried = 0;
    for (const TSave& save : kSaves) {
        for (EFailureSeam seam : {EFailureSeam::Write, EFailureSeam::Sync, EFailureSeam::Rename}) {
            for (const TErrorKind& kind : kErrors) {
                for (int nth = 1;; ++nth) {
                    SCOPED_TRACE(std::string(save.name) + " seam " + std::to_string(int(seam)) +
                                 " errno " + std::to_string(kind.errorNumber) + " call " +
                                 std::to_string(nth));
                    g_folder->Put(save.leaf, "the old contents");
                    pf::FailNthOperation(seam, nth, kind.errorNumber);
                    TOutcome outcome = Attempt(save.save);
                    bool reached = !pf::FailureArmed(seam);
                    pf::DisarmFailures();
                    if (!reached) {
                        EXPECT_FALSE(outcome.thrown || outcome.otherThrown) << outcome.text;
                        EXPECT_NE(g_folder->Get(save.leaf), "the old contents");
                        break;
                    }
                    ++tried;
                    ASSERT_TRUE(outcome.thrown) << "a failed save reported success";
                    EXPECT_EQ(outcome.code, kind.code);
                    EXPECT_NE(outcome.text.find(
                                  std::string(GetStaticString(kind.messageId)).substr(0, 20)),
                              std::string::npos)
                        << outcome.text;
                    EXPECT_EQ(g_folder->Get(save.leaf), "the old contents");
                    EXPECT_EQ(g_folder->Entries(), 1u) << "a new file was left beside the old one";
                }
            }
        }
        fs::remove(g_folder->Path(save.leaf));
    }
    std::printf("%d failing save steps checked\n", tried);
}

TEST_F(IoErrorTest, RegistryWritesThatFailChangeNothingAndSaySo) {
    SetRegistryDirectory(g_folder->Path().c_str());
    EnsureRegistryLong(HKEY_CURRENT_USER, "Software\\Io", "Count", 1);
    const std::string before = g_folder->Get("HKEY_CURRENT_USER.reg");
    int tried = 0;
    for (EFailureSeam seam : {EFailureSeam::Write, EFailureSeam::Sync, EFailureSeam::Rename}) {
        pf::FailNthOperation(seam, 1, ENOSPC);
        bool refused = false;
        try {
            EnsureRegistryLong(HKEY_CURRENT_USER, "Software\\Io", "Count", 2);
        } catch (int) {
            refused = true;  // the registry helpers' documented failure
        }
        bool reached = !pf::FailureArmed(seam);
        pf::DisarmFailures();
        ASSERT_TRUE(reached) << int(seam);
        ++tried;
        EXPECT_TRUE(refused) << int(seam);
        EXPECT_EQ(g_folder->Get("HKEY_CURRENT_USER.reg"), before) << int(seam);
        char found = 0;
        EXPECT_EQ(GetRegistryLong(HKEY_CURRENT_USER, "Software\\Io", "Count", &found), 1);
    }
    std::printf("%d failing registry steps checked\n", tried);
}

TEST_F(IoErrorTest, EveryFailingStepOfALoadIsReported) {
    std::string bytes(300000, 'l');
    TFile::SaveFile(Library("data.bin"), bytes.data(), uint32_t(bytes.size()));
    {
        TTaggedOutputStream out(1, "song", 1);
        out.SetValue(int32_t(5), "Version", 0);
        out.SaveAs(Library("song.doc"), 0);
        TConfig config("Prefs", TConfig::EMode(0));
        config.SetValue(int32_t(5), "Version", 0);
        config.Save(Library("prefs.cfg"), 1);
    }
    struct TLoad {
        const char* name;
        void (*load)();
    } loads[] = {
        {"whole file",
         [] {
             uint32_t size = 0;
             void* block = TFile::LoadFile(Library("data.bin"), &size);
             NH_Heap::FreeMem(block);
             if (size != 300000) throw 1;
         }},
        {"tagged document",
         [] {
             TTaggedInputStream in(1, Library("song.doc"), 1);
             if (in.GetValue(int32_t(0), "Version", 0) != 5) throw 1;
         }},
        {"configuration",
         [] {
             TConfig config("Prefs", TConfig::EMode(TConfig::kThrowIfNotLoaded));
             config.Load(Library("prefs.cfg"));
             if (config.GetValue(int32_t(0), "Version", 0) != 5) throw 1;
         }},
    };
    int tried = 0;
    for (const TLoad& load : loads) {
        for (EFailureSeam seam : {EFailureSeam::Open, EFailureSeam::Read}) {
            for (int nth = 1;; ++nth) {
                SCOPED_TRACE(std::string(load.name) + " seam " + std::to_string(int(seam)) +
                             " call " + std::to_string(nth));
                pf::FailNthOperation(seam, nth, EIO);
                TOutcome outcome = Attempt(load.load);
                bool reached = !pf::FailureArmed(seam);
                pf::DisarmFailures();
                if (!reached) {
                    EXPECT_FALSE(outcome.thrown || outcome.otherThrown) << outcome.text;
                    break;
                }
                ++tried;
                // A wrong value read (the int thrown) is worse than no value.
                EXPECT_FALSE(outcome.otherThrown) << "a failed read passed for data";
                EXPECT_TRUE(outcome.thrown) << "a failed load reported success";
            }
        }
    }
    std::printf("%d failing load steps checked\n", tried);
}

TEST_F(IoErrorTest, EveryFailingStepOfAWriteBehindFlushIsRaisedAndWritesNothingAfterIt) {
    constexpr int kBlocks = 6, kBlock = 65536;
    std::string data(size_t(kBlocks) * kBlock, '\0');
    for (size_t i = 0; i < data.size(); ++i) data[i] = char('A' + (i / kBlock) * 3 + i % 3);
    int tried = 0;
    for (EFailureSeam seam : {EFailureSeam::Write, EFailureSeam::Sync}) {
        for (const TErrorKind& kind : kErrors) {
            for (int nth = 1;; ++nth) {
                SCOPED_TRACE("seam " + std::to_string(int(seam)) + " errno " +
                             std::to_string(kind.errorNumber) + " call " + std::to_string(nth));
                fs::remove(g_folder->Path("flush.bin"));
                TOutcome outcome;
                {
                    TFile file(Library("flush.bin"), 0x10018);
                    pf::FailNthOperation(seam, nth, kind.errorNumber);
                    outcome = Attempt([&] {
                        for (int i = 0; i < kBlocks; ++i)
                            file.WriteInCache(data.data() + size_t(i) * kBlock, kBlock);
                        file.WaitEndOfCacheWriting();
                        file.FlushBuffers();
                    });
                    // A queued write that failed is raised for good: the close says so
                    // as well. A failed sync was raised by the flush itself.
                    TOutcome closed = Attempt([&] { file.Close(); });
                    if (outcome.thrown && seam == EFailureSeam::Write) {
                        EXPECT_TRUE(closed.thrown);
                        EXPECT_EQ(closed.code, kind.code);
                    }
                }
                bool reached = !pf::FailureArmed(seam);
                pf::DisarmFailures();
                std::string written = g_folder->Get("flush.bin");
                if (!reached) {
                    EXPECT_FALSE(outcome.thrown || outcome.otherThrown) << outcome.text;
                    EXPECT_EQ(written, data);
                    break;
                }
                ++tried;
                ASSERT_TRUE(outcome.thrown) << "a failed flush reported success";
                EXPECT_EQ(outcome.code, kind.code);
                // What reached the disk is the blocks before the failure, whole.
                EXPECT_EQ(written.size() % kBlock, 0u);
                EXPECT_EQ(written, data.substr(0, written.size()));
                if (seam == EFailureSeam::Write) {
                    EXPECT_LT(written.size(), data.size());
                }
            }
        }
    }
    std::printf("%d failing flush steps checked\n", tried);
}

}  // namespace
