#include <commonvcqx/files/FileName.h>
#include <commonvcqx/platform/TraceSink.h>
#include <commonvcqx/system/Diagnostics.h>
#include <commonvcqx/system/internal/TestSwitches.h>

#include "../support/ScratchFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

std::vector<std::string> g_lines;

void Capture(const char* line) {
    g_lines.emplace_back(line);
}

class DiagnosticsTest : public testing::Test {
protected:
    void SetUp() override {
        g_lines.clear();
        m_previous = SetTraceSink(&Capture);
    }
    void TearDown() override { SetTraceSink(m_previous); }

    std::string Last() const { return g_lines.empty() ? "<nothing>" : g_lines.back(); }

private:
    TTraceSink m_previous = nullptr;
};

}  // namespace

TEST_F(DiagnosticsTest, MonitorSendsOneBoundedLine) {
    Monitor("reader started");
    EXPECT_EQ(Last(), "reader started");
    Monitor("");
    EXPECT_EQ(Last(), "");
    Monitor(static_cast<const char*>(nullptr));
    EXPECT_EQ(Last(), "");
    const std::string longText(5000, 'x');
    Monitor(longText.c_str());
    EXPECT_EQ(Last(), std::string(998, 'x'));
    EXPECT_EQ(g_lines.size(), 4u);
}

TEST_F(DiagnosticsTest, MonitorFormatsThirtyTwoBitArgumentsAtEveryWidth) {
    struct TCase {
        const char* format;
        std::string line;
    };
    Monitor("%d", -5);
    EXPECT_EQ(Last(), "-5");
    Monitor("%ld", -5);
    EXPECT_EQ(Last(), "-5");
    Monitor("%lu and %u", -1, -1);
    EXPECT_EQ(Last(), "4294967295 and 4294967295");
    Monitor("%lx %X %08lx", 255, 255, 0x1234);
    EXPECT_EQ(Last(), "ff FF 00001234");
    Monitor("%lld|%5d|%-4ld|%c", -7, 42, 3, 'A');
    EXPECT_EQ(Last(), "-7|   42|3   |A");
    Monitor("%hd %hhu", 70000, 257);
    EXPECT_EQ(Last(), "4464 1");
    Monitor("%zu %Ld", 9, -2);
    EXPECT_EQ(Last(), "9 -2");
    Monitor("%.2f%%", 3);
    EXPECT_EQ(Last(), "3.00%");
    Monitor("%d %d %d %d %d %d %d", 1, 2, 3, 4, 5, 6, 7);
    EXPECT_EQ(Last(), "1 2 3 4 5 6 7");
    Monitor("%d %d", 1);  // more conversions than arguments: 0, never a stray read
    EXPECT_EQ(Last(), "1 0");
    Monitor("%s at %p%n", 1, 2, 3);
    EXPECT_EQ(Last(), "%s at %p%n");
    Monitor("%*d and %q and %", 4, 5);
    EXPECT_EQ(Last(), "%*d and %q and %");
    Monitor("[%999d|%1000d|%.1000f]", 1, 2, 3);
    EXPECT_EQ(Last().substr(0, 6), "[     ");
    EXPECT_EQ(Last().size(), 998u);  // 1000 bytes less the newline and the NUL
    Monitor("%01000d", 1);
    EXPECT_EQ(Last(), "%01000d");
    Monitor(static_cast<const char*>(nullptr), 1);
    EXPECT_EQ(Last(), "");
    const std::string wide = std::string(990, '-') + "%d";
    Monitor(wide.c_str(), 123456789);
    EXPECT_EQ(Last(), std::string(990, '-') + "12345678");
}

TEST(ClearConsoleTest, NothingIsWrittenWhenStandardOutputIsNoTerminal) {
    testing::internal::CaptureStdout();
    ClearOutputConsole();
    cls(nullptr);
    cls(GetStdHandle(STD_ERROR_HANDLE));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    EXPECT_NE(GetStdHandle(STD_OUTPUT_HANDLE), nullptr);
    EXPECT_NE(GetStdHandle(STD_INPUT_HANDLE), GetStdHandle(STD_OUTPUT_HANDLE));
    EXPECT_EQ(GetStdHandle(0), nullptr);
}

namespace {

class TestSwitchesTest : public testing::Test {
protected:
    TFileName Write(const std::string& text) {
        return TFileName(m_folder.Put("tconfig.txt", text).c_str());
    }

    cvq::test::TScratchFolder m_folder{"cvq_switches"};
};

}  // namespace

TEST_F(TestSwitchesTest, RootValuesAreSwitchesAndTheRestIsOff) {
    const auto switches = cvq::detail::TTestSwitches::Load(
        Write("Test\r\n{\r\n\tOn=1\r\n\tOff=0\r\n\tNegative=-1\r\n\tText=yes\r\n"
              "\tSpaced= 7\r\n\tGroup\r\n\t{\r\n\t\tInner=1\r\n\t}\r\n}\r\n"));
    ASSERT_NE(switches, nullptr);
    EXPECT_TRUE(switches->IsOn("On"));
    EXPECT_FALSE(switches->IsOn("Off"));
    EXPECT_TRUE(switches->IsOn("Negative"));
    EXPECT_FALSE(switches->IsOn("Text"));
    EXPECT_TRUE(switches->IsOn("Spaced"));
    EXPECT_FALSE(switches->IsOn("Inner"));  // not at the root
    EXPECT_FALSE(switches->IsOn("Group"));
    EXPECT_FALSE(switches->IsOn("Missing"));
    EXPECT_FALSE(switches->IsOn(""));
    EXPECT_FALSE(switches->IsOn(nullptr));
}

TEST_F(TestSwitchesTest, MissingFileMeansNoSwitches) {
    EXPECT_EQ(cvq::detail::TTestSwitches::Load(TFileName(m_folder.Path("none.txt").c_str())),
              nullptr);
}

TEST_F(TestSwitchesTest, ThreadsAskAtOnce) {
    const auto switches = cvq::detail::TTestSwitches::Load(Write("A=1\nB=0\n"));
    ASSERT_NE(switches, nullptr);
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 500; ++i)
                if (!switches->IsOn("A") || switches->IsOn("B")) ++wrong[size_t(t)];
        });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

TEST(CanTestTest, SwitchesComeFromTheFileBesideTheApplication) {
    // The build writes this binary's tconfig.txt.
    std::vector<std::thread> threads;
    std::vector<int> answers(4, -1);
    for (size_t t = 0; t < answers.size(); ++t)
        threads.emplace_back([&, t] { answers[t] = CanTest("FastPath"); });
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(answers, std::vector<int>(4, 1));
    EXPECT_EQ(CanTest("SlowDisk"), 0);
    EXPECT_EQ(CanTest("Negative"), 1);
    EXPECT_EQ(CanTest("Words"), 0);
    EXPECT_EQ(CanTest("Huge"), 1);  // saturates to INT32_MAX
    EXPECT_EQ(CanTest("Inner"), 0);
    EXPECT_EQ(CanTest("NotThere"), 0);
}
