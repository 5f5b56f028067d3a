// The version resource of the built Windows program, read back as the About
// box reads it.
#if defined(_WIN32)
#include "platform/VersionResource.h"

#include <gtest/gtest.h>

#include <filesystem>

// The test program itself carries no version resource.
TEST(VersionResourceOnWindows, AProgramWithoutOneGivesNothing) {
    EXPECT_FALSE(platform::ReadVersionResource().has_value());
}
#endif // _WIN32
