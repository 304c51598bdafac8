#include <commonvcqx/platform/TraceSink.h>

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::vector<std::string> lines;

void Capture(const char* line) {
    lines.emplace_back(line);
}

}  // namespace

TEST(TraceSinkTest, HostSinkReceivesLinesWithoutTheirNewline) {
    TTraceSink previous = SetTraceSink(&Capture);
    TraceLine("reader stopped\n");
    TraceLine("no newline");
    TraceLine("");
    TraceLine(nullptr);
    TraceLine("\n");
    SetTraceSink(previous);
    EXPECT_EQ(lines, (std::vector<std::string>{"reader stopped", "no newline", "", "", ""}));
}

TEST(TraceSinkTest, DefaultWritesToStandardError) {
    SetTraceSink(nullptr);
    testing::internal::CaptureStderr();
    TraceLine("to the console");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "to the console\n");
}
