#include "kiv/KivPalette.h"
#include "kiv/KivFastDibLoaders.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

kiv::TBgr Color(int i) {
    return {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(i / 3),
            static_cast<std::uint8_t>(255 - i)};
}

// Every pixel of `reduced` reads back as the colour of `original`.
void ExpectSamePicture(const kiv::TFastDIB& original, const kiv::TFastDIB& reduced) {
    ASSERT_EQ(reduced.Width(), original.Width());
    ASSERT_EQ(reduced.Height(), original.Height());
    for (int y = 0; y < original.Height(); ++y) {
        for (int x = 0; x < original.Width(); ++x) {
            ASSERT_EQ(reduced.GetPixel(x, y), original.GetPixel(x, y)) << x << "," << y;
        }
    }
}

} // namespace

TEST(ReduceToPalette, KeepsEveryColourOfAnImageOfFewColours) {
    for (const int colours : {1, 3, 256}) {
        kiv::TFastDIB image(37, 23, 24);
        for (int y = 0; y < image.Height(); ++y) {
            for (int x = 0; x < image.Width(); ++x) {
                image.SetPixel(x, y, Color((x * 5 + y * 11) % colours));
            }
        }
        const kiv::TFastDIB original = image;
        ASSERT_TRUE(kiv::ReduceToPalette(image)) << colours;
        EXPECT_EQ(image.Bpp(), 8);
        ExpectSamePicture(original, image);
    }
}

TEST(ReduceToPalette, LeavesOtherImagesAlone) {
    kiv::TFastDIB many(17, 17, 24);
    for (int i = 0; i < 17 * 17; ++i) {
        many.SetPixel(i % 17, i / 17, Color(i));
    }
    const kiv::TFastDIB original = many;
    EXPECT_FALSE(kiv::ReduceToPalette(many));
    EXPECT_TRUE(many.SameAs(original));

    kiv::TFastDIB grey(4, 4, 8);
    EXPECT_FALSE(kiv::ReduceToPalette(grey));
    EXPECT_EQ(grey.Bpp(), 8);
    kiv::TFastDIB empty;
    EXPECT_FALSE(kiv::ReduceToPalette(empty));
}

TEST(ReduceToPalette, TheShippedZoneImageFitsInEightBits) {
    kiv::TFastDIB zones;
    kiv::LoadPngImage(zones, std::string(CHRONARA_SHIPPED_DATA_DIR) + "/earth_tz.png");
    const kiv::TFastDIB original = zones;
    ASSERT_TRUE(kiv::ReduceToPalette(zones));
    ExpectSamePicture(original, zones);
}
