#include <commonvcqx/platform/internal/SystemFacts.h>

#include <gtest/gtest.h>

#include <bitset>
#include <fstream>
#include <sstream>
#include <string>

namespace pf = cvq::platform;

namespace {

std::string ReadProcFile(const char* path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// "0-3,6,8-9" from Cpus_allowed_list, as bits.
std::bitset<1024> AllowedProcessors() {
    std::istringstream status(ReadProcFile("/proc/self/status"));
    std::bitset<1024> allowed;
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("Cpus_allowed_list:", 0) != 0) continue;
        std::istringstream list(line.substr(line.find(':') + 1));
        for (std::string range; std::getline(list, range, ',');) {
            const size_t dash = range.find('-');
            const int first = std::stoi(range);
            const int last = dash == std::string::npos ? first : std::stoi(range.substr(dash + 1));
            for (int cpu = first; cpu <= last && cpu < 1024; ++cpu) allowed.set(size_t(cpu));
        }
    }
    return allowed;
}

}  // namespace

TEST(SystemFactsTest, KernelReleaseKeepsItsLeadingNumbers) {
    struct TCase {
        const char* release;
        bool ok;
        uint32_t major, minor, patch;
    };
    const TCase cases[] = {
        {"6.1.0-18-amd64", true, 6, 1, 0},
        {"6.1.0-rc3+", true, 6, 1, 0},
        {"5.15.0-1040-azure", true, 5, 15, 0},
        {"4.19.287", true, 4, 19, 287},
        {"6.8", true, 6, 8, 0},
        {"6.8-rc1", true, 6, 8, 0},
        {"6.8.", true, 6, 8, 0},
        {"3.10.0.x", true, 3, 10, 0},
        {"99999999999.1.2", true, UINT32_MAX, 1, 2},
        {"", false, 0, 0, 0},
        {"6", false, 0, 0, 0},
        {"6.", false, 0, 0, 0},
        {".1.2", false, 0, 0, 0},
        {"v6.1.0", false, 0, 0, 0},
        {"-6.1", false, 0, 0, 0},
    };
    for (const TCase& c : cases) {
        pf::TKernelVersion version{7, 7, 7};
        EXPECT_EQ(pf::ParseKernelRelease(c.release, version), c.ok) << c.release;
        EXPECT_EQ(version.major, c.major) << c.release;
        EXPECT_EQ(version.minor, c.minor) << c.release;
        EXPECT_EQ(version.patch, c.patch) << c.release;
    }
}

TEST(SystemFactsTest, KernelReleaseIsTheOneProcReports) {
    std::string release = ReadProcFile("/proc/sys/kernel/osrelease");
    while (!release.empty() && release.back() == '\n') release.pop_back();
    EXPECT_EQ(pf::KernelRelease(), release);
    pf::TKernelVersion version;
    EXPECT_TRUE(pf::ParseKernelRelease(pf::KernelRelease(), version));
    EXPECT_GE(version.major, 3u);
}

TEST(SystemFactsTest, PrettyNameFollowsTheShellSyntax) {
    const std::pair<const char*, const char*> cases[] = {
        {"NAME=\"Debian\"\nPRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\n",
         "Debian GNU/Linux 12 (bookworm)"},
        {"PRETTY_NAME='Ubuntu 22.04.3 LTS'\r\n", "Ubuntu 22.04.3 LTS"},
        {"PRETTY_NAME=Alpine", "Alpine"},
        {"PRETTY_NAME=\"Say \\\"hi\\\" \\\\ \\$HOME\"", "Say \"hi\" \\ $HOME"},
        {"PRETTY_NAME=\"first\"\nPRETTY_NAME=\"second\"", "second"},
        {"  PRETTY_NAME=\"indented\"", "indented"},
        {"# PRETTY_NAME=\"comment\"\nNAME=x", ""},
        {"XPRETTY_NAME=\"other key\"", ""},
        {"PRETTY_NAME=\"unterminated", "unterminated"},
        {"PRETTY_NAME=", ""},
        {"", ""},
    };
    for (const auto& [text, name] : cases)
        EXPECT_EQ(pf::PrettyNameFromOsRelease(text), name) << text;
}

TEST(SystemFactsTest, ProcessorsAreThoseTheProcessMayRunOn) {
    const std::bitset<1024> allowed = AllowedProcessors();
    ASSERT_GT(allowed.count(), 0u);
    EXPECT_EQ(pf::UsableProcessorCount(), allowed.count());
    uint64_t low = 0;
    for (int cpu = 0; cpu < 64; ++cpu)
        if (allowed.test(size_t(cpu))) low |= uint64_t(1) << cpu;
    EXPECT_EQ(pf::UsableProcessorMask(), low);
}

TEST(SystemFactsTest, ProcessorIdentityMatchesCpuInfo) {
#if defined(__x86_64__)
    std::istringstream info(ReadProcFile("/proc/cpuinfo"));
    uint32_t family = 0, model = 0, stepping = 0;
    for (std::string line; std::getline(info, line);) {
        const auto value = [&] { return uint32_t(std::stoul(line.substr(line.find(':') + 1))); };
        if (line.rfind("cpu family", 0) == 0) family = value();
        if (line.rfind("model\t", 0) == 0) model = value();
        if (line.rfind("stepping", 0) == 0 && line.find_first_of("0123456789") != std::string::npos)
            stepping = value();
        if (line.empty()) break;  // the first processor is enough
    }
    const pf::TProcessorIdentity identity = pf::ProcessorIdentity();
    EXPECT_EQ(identity.family, family);
    EXPECT_EQ(identity.model, model);
    EXPECT_EQ(identity.stepping, stepping);
#else
    GTEST_SKIP() << "CPUID is x86 only";
#endif
}

TEST(SystemFactsTest, DoubleByteCodesetsAreTheEastAsianOnes) {
    for (const char* name : {"SHIFT_JIS", "sjis", "CP932", "GBK", "gb2312", "EUC-KR", "BIG5",
                             "BIG5-HKSCS", "CP950", "EUC-JP"})
        EXPECT_TRUE(pf::IsDoubleByteCodeset(name)) << name;
    for (const char* name : {"UTF-8", "ANSI_X3.4-1968", "ISO-8859-1", "GB18030", "", "BIG"})
        EXPECT_FALSE(pf::IsDoubleByteCodeset(name)) << name;
    EXPECT_FALSE(pf::LocaleCodeset().empty());
}

TEST(SystemFactsTest, DisplayDepthIsZeroOrARealDepth) {
    const int bits = pf::DisplayBitsPerPixel();
    EXPECT_TRUE(bits == 0 || bits == 1 || bits == 8 || bits == 16 || bits == 24 || bits == 32)
        << bits;
}
