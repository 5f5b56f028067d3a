#include "solar/Limiter.h"

#include <gtest/gtest.h>

#include <cmath>

using solar::TSingleLimiter;

TEST(Limiter, ClampsOnEverySetAndMaxWinsWhenBoundsCross) {
    TSingleLimiter z;
    z.SetMax(100.0f);
    z.SetMin(0.1f);
    z.SetValue(1.7f);
    EXPECT_FLOAT_EQ(z.Value, 1.7f);
    z.SetMax(512.0f / 342.0f);
    EXPECT_FLOAT_EQ(z.Value, 512.0f / 342.0f);
    z.SetValue(0.01f);
    EXPECT_FLOAT_EQ(z.Value, 0.1f);
    z.SetMin(0.15f);
    EXPECT_FLOAT_EQ(z.Value, 0.15f);

    TSingleLimiter crossed;
    crossed.SetMax(5.0f);
    crossed.SetMin(10.0f);
    EXPECT_FLOAT_EQ(crossed.Value, 5.0f);

    TSingleLimiter nan;
    nan.SetMax(3.0f);
    nan.SetMin(1.0f);
    nan.SetValue(std::nanf(""));
    EXPECT_FLOAT_EQ(nan.Value, 1.0f);
}
