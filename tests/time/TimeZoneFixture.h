// A fixed time zone for calendar tests: Central European rules written as a POSIX TZ
// string, so no zone database is needed. CET (UTC+1); CEST (UTC+2) from the last
// Sunday of March 02:00 to the last Sunday of October 03:00. In 2024 the changes are
// at 1711846800 (31 March 01:00 UTC) and 1729990800 (27 October 01:00 UTC).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace cvq::test {

class TCentralEuropeanTime : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        ::tzset();
    }
    void TearDown() override {
        ::unsetenv("TZ");
        ::tzset();
    }
};

}  // namespace cvq::test
