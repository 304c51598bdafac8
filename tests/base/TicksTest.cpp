// Millisecond ticks compared across the 32-bit wrap.
#include <commonvcqx/base/Ticks.h>

#include <gtest/gtest.h>

TEST(TicksTest, ElapsedAndOrderSurviveTheWrap) {
    struct TCase {
        uint32_t earlier, later, elapsed;
    };
    const TCase cases[] = {
        {0, 0, 0},
        {100, 250, 150},
        {0xFFFFFFF0u, 0x10u, 0x20u},  // across the wrap
        {0xFFFFFFFFu, 0u, 1u},
        {0x7FFFFFFFu, 0x80000000u, 1u},
        {5u, 5u + 0x7FFFFFFFu, 0x7FFFFFFFu},  // the farthest apart that still orders
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(cvq::TicksElapsed(c.earlier, c.later), c.elapsed) << c.earlier;
        EXPECT_TRUE(cvq::TickReached(c.later, c.earlier)) << c.earlier;
        EXPECT_EQ(cvq::TickReached(c.earlier, c.later), c.elapsed == 0) << c.earlier;
        EXPECT_EQ(cvq::TickBefore(c.earlier, c.later), c.elapsed != 0) << c.earlier;
        EXPECT_FALSE(cvq::TickBefore(c.later, c.earlier)) << c.earlier;
    }
    // A deadline set just before the wrap is reached just after it, and not before.
    const uint32_t deadline = 0xFFFFFF00u + 0x200u;
    EXPECT_FALSE(cvq::TickReached(0xFFFFFF00u, deadline));
    EXPECT_FALSE(cvq::TickReached(0xFFu, deadline));
    EXPECT_TRUE(cvq::TickReached(0x100u, deadline));
}
