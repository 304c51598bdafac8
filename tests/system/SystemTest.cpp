#include <commonvcqx/platform/internal/SystemFacts.h>
#include <commonvcqx/system/System.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string ReadFile(const char* path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(SystemTest, VersionIsTheKernelsInTheNtFamily) {
    const TSystem::TVersionInfo& info = TSystem::GetVerInfo();
    EXPECT_EQ(info.dwOSVersionInfoSize, 148u);
    EXPECT_TRUE(TSystem::IsNT());
    EXPECT_FALSE(TSystem::IsWin95());
    EXPECT_EQ(TSystem::GetPlatformId(), 2u);
    std::string release = ReadFile("/proc/sys/kernel/osrelease");
    const size_t dot = release.find('.');
    ASSERT_NE(dot, std::string::npos);
    EXPECT_EQ(TSystem::GetMajorVersion(), uint32_t(std::stoul(release)));
    EXPECT_EQ(TSystem::GetMinorVersion(), uint32_t(std::stoul(release.substr(dot + 1))));
    EXPECT_EQ(TSystem::GetVersion(), TSystem::GetMajorVersion() * 256 + TSystem::GetMinorVersion());
    EXPECT_EQ(std::string(info.szCSDVersion),
              cvq::platform::DistributionPrettyName().substr(0, 127));
    EXPECT_EQ(&TSystem::GetVerInfo(), &info);  // cached
}

TEST(SystemTest, VersionPackingHoldsEachPartToAByte) {
    EXPECT_EQ(TSystem::PackVersion(6, 1), 0x0601);
    EXPECT_EQ(TSystem::PackVersion(5, 15), 0x050F);
    EXPECT_EQ(TSystem::PackVersion(0, 0), 0);
    EXPECT_EQ(TSystem::PackVersion(300, 2), 0xFF02);
    EXPECT_EQ(TSystem::PackVersion(4, 1000), 0x04FF);
}

TEST(SystemTest, SystemInfoDescribesThisProcess) {
    const TSystem::TSystemInfo& info = TSystem::GetSystemInfo();
    EXPECT_GE(TSystem::GetNumProcessors(), 1);
    EXPECT_LE(TSystem::GetNumProcessors(), int32_t(std::thread::hardware_concurrency()));
    EXPECT_EQ(uint32_t(TSystem::GetNumProcessors()), cvq::platform::UsableProcessorCount());
    EXPECT_EQ(info.dwActiveProcessorMask, cvq::platform::UsableProcessorMask());
    EXPECT_EQ(info.dwAllocationGranularity, 65536u);
    EXPECT_GE(info.dwPageSize, 4096u);
    EXPECT_EQ(info.dwPageSize & (info.dwPageSize - 1), 0u);
#if defined(__x86_64__)
    EXPECT_EQ(info.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
    EXPECT_EQ(TSystem::GetProcessorType(), TSystem::kAmdX8664);
    const cvq::platform::TProcessorIdentity identity = cvq::platform::ProcessorIdentity();
    EXPECT_EQ(info.wProcessorLevel, identity.family);
    EXPECT_EQ(info.wProcessorRevision, (identity.model << 8) | identity.stepping);
#endif
}

TEST(SystemTest, ColourCountPacking) {
    struct TCase {
        int planes, bits;
        int32_t colors;
    };
    const TCase cases[] = {
        {1, 32, 2147483647}, {1, 24, 16777216},   {1, 16, 65536},      {1, 8, 256},
        {4, 1, 8},           {1, 1, 2},           {1, 0, 0},           {0, 8, 0},
        {2, 30, 2147483647}, {1, 31, 2147483647}, {1, 64, 2147483647},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(TSystem::NumColorsOf(c.planes, c.bits), c.colors) << c.planes << "x" << c.bits;
    const int bits = cvq::platform::DisplayBitsPerPixel();
    EXPECT_EQ(TSystem::GetNumColors(), TSystem::NumColorsOf(1, bits ? bits : 32));
}

TEST(SystemTest, DbcsFollowsTheLocaleCodeset) {
    EXPECT_EQ(TSystem::UseDbcs() != 0,
              cvq::platform::IsDoubleByteCodeset(cvq::platform::LocaleCodeset()));
}

TEST(SystemTest, FirstCallsFromManyThreadsAgree) {
    std::vector<std::thread> threads;
    std::vector<const void*> records(8);
    std::vector<int64_t> counts(8);
    for (size_t i = 0; i < records.size(); ++i)
        threads.emplace_back([&, i] {
            records[i] = &TSystem::GetSystemInfo();
            counts[i] = int64_t(TSystem::GetNumColors()) * 1000000 + TSystem::UseDbcs() * 100000 +
                        TSystem::GetVersion();
        });
    for (std::thread& thread : threads) thread.join();
    for (size_t i = 1; i < records.size(); ++i) {
        EXPECT_EQ(records[i], records[0]);
        EXPECT_EQ(counts[i], counts[0]);
    }
}
