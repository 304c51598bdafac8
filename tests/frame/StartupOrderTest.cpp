#include <commonvcqx/base/StartupOrder.h>

#include <gtest/gtest.h>

#include <vector>

using namespace cvq::detail;

namespace {

// The steps that the library builds today, in the order they must run.
const std::vector<int> kLandedSteps = {kStartHeaps,
                                       kStartFileNotifier,
                                       kStartParallelReaderHeap,
                                       kStartProcessorClock,
                                       kStartStringHeap,
                                       kStartFileSelectorLock,
                                       kStartExceptionHandlers,
                                       kStartExceptionPrototype,
                                       kStartNotificationLock,
                                       kStartThreadData};

}  // namespace

TEST(StartupOrderTest, LoadRanTheLandedStepsInOrder) {
    const TStartupLog& log = StartupLog();
    std::vector<int> built;
    for (int i = 0; i < log.count; ++i) {
        EXPECT_GT(log.entries[i], 0) << "a step was destroyed while the library is loaded";
        built.push_back(log.entries[i]);
    }
    EXPECT_EQ(built, kLandedSteps);
}
