#include "platform/VersionResource.h"

#include <gtest/gtest.h>

TEST(VersionResource, TextIsTheFileVersionElseTheFixedFields) {
    EXPECT_EQ(platform::VersionText({"1.2.3", "", "", {1, 2, 3, 4}}), "1.2.3");
    EXPECT_EQ(platform::VersionText({"", "c", "x", {1, 2, 3, 4}}), "1.2.3.4");
#ifndef _WIN32
    EXPECT_FALSE(platform::ReadVersionResource().has_value());
#endif
}
