#include <commonvcqx/platform/internal/Console.h>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace pf = cvq::platform;

TEST(ConsoleTest, StandardHandlesAreStableAndKnowTheirDescriptors) {
    EXPECT_EQ(pf::DescriptorOfConsole(pf::StandardConsole(pf::kStandardInput)), 0);
    EXPECT_EQ(pf::DescriptorOfConsole(pf::StandardConsole(pf::kStandardOutput)), 1);
    EXPECT_EQ(pf::DescriptorOfConsole(pf::StandardConsole(pf::kStandardError)), 2);
    EXPECT_EQ(pf::StandardConsole(pf::kStandardOutput), pf::StandardConsole(pf::kStandardOutput));
    EXPECT_EQ(pf::StandardConsole(0), nullptr);
    int other = 0;
    EXPECT_EQ(pf::DescriptorOfConsole(&other), -1);
    EXPECT_EQ(pf::DescriptorOfConsole(nullptr), -1);
}

TEST(ConsoleTest, OnlyATerminalIsCleared) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    EXPECT_FALSE(pf::ClearTerminal(pipeEnds[1]));
    close(pipeEnds[1]);
    char byte;
    EXPECT_EQ(read(pipeEnds[0], &byte, 1), 0);  // nothing was written
    close(pipeEnds[0]);
    EXPECT_FALSE(pf::ClearTerminal(-1));

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) GTEST_SKIP() << "no pty";
    const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
    ASSERT_GE(terminal, 0);
    EXPECT_TRUE(pf::ClearTerminal(terminal));
    char buffer[64] = {};
    const ssize_t got = read(master, buffer, sizeof buffer - 1);
    EXPECT_EQ(std::string(buffer, got > 0 ? size_t(got) : 0), "\033[H\033[2J\033[3J");
    close(terminal);
    close(master);
}
