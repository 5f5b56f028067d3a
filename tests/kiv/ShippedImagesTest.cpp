// The shipped map images and zone-colour table: sizes and file kinds, where land,
// sea and a few zones lie on them, and that every pixel of the zone image has a
// colour of the table.
#include "kiv/KivData.h"
#include "kiv/KivFastDIB.h"
#include "kiv/KivFastDibLoaders.h"
#include "kiv/KivTimeZone.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using namespace kiv;

namespace {

std::string Shipped(const std::string& name) {
    return std::string(CHRONARA_SHIPPED_DATA_DIR) + "/" + name;
}

std::vector<std::uint8_t> ReadBytes(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The pixel of an equirectangular image that contains the point (rows of the
// picture from the top; stored rows from the bottom).
TBgr PixelAt(const TFastDIB& image, double latitude, double longitude) {
    const int x = static_cast<int>(std::floor((longitude + 180.0) / 360.0 * image.Width()));
    const int y = static_cast<int>(std::floor((90.0 - latitude) / 180.0 * image.Height()));
    return image.GetPixel(x, image.Height() - 1 - y);
}

std::vector<TTimeZoneColor> LoadColors() {
    TStringList lines;
    LoadDataList(lines, Shipped("tz_colors.dat"));
    std::vector<TTimeZoneColor> colors(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        ParseColor(colors[i], lines[i]);
    }
    return colors;
}

std::optional<double> OffsetOf(const std::vector<TTimeZoneColor>& colors, TBgr pixel) {
    for (const auto& c : colors) {
        if (c.Red == pixel.R && c.Green == pixel.G && c.Blue == pixel.B) {
            return c.UtcOffset;
        }
    }
    return std::nullopt;
}

// PNG header fields: width, height, bit depth, colour type, interlace method.
struct TPngHeader {
    std::uint32_t Width = 0, Height = 0;
    int BitDepth = 0, ColorType = 0, Interlace = 0;
};

TPngHeader ReadPngHeader(const std::string& fileName) {
    const auto b = ReadBytes(fileName);
    TPngHeader h;
    if (b.size() < 29 || std::string(b.begin() + 12, b.begin() + 16) != "IHDR") {
        return h;
    }
    auto be32 = [&](std::size_t i) {
        return std::uint32_t(b[i]) << 24 | std::uint32_t(b[i + 1]) << 16 |
               std::uint32_t(b[i + 2]) << 8 | b[i + 3];
    };
    h.Width = be32(16);
    h.Height = be32(20);
    h.BitDepth = b[24];
    h.ColorType = b[25];
    h.Interlace = b[28];
    return h;
}

} // namespace

TEST(ShippedImages, MapPngsAre8BitRgbOfTheirSize) {
    for (const auto& [name, w, h] :
         {std::tuple{"earth_day.png", 1024u, 512u}, std::tuple{"mask.png", 1024u, 512u},
          std::tuple{"earth_tz.png", 2048u, 1024u}}) {
        const TPngHeader header = ReadPngHeader(Shipped(name));
        EXPECT_EQ(header.Width, w) << name;
        EXPECT_EQ(header.Height, h) << name;
        EXPECT_EQ(header.BitDepth, 8) << name;
        EXPECT_EQ(header.ColorType, 2) << name; // RGB, no alpha, no palette
        EXPECT_EQ(header.Interlace, 0) << name;
        TFastDIB image;
        LoadPngImage(image, Shipped(name));
        EXPECT_EQ(image.Width(), static_cast<int>(w)) << name;
        EXPECT_EQ(image.Height(), static_cast<int>(h)) << name;
        EXPECT_EQ(image.Bpp(), 24) << name;
    }
}

TEST(ShippedImages, NightJpegIsBaselineOfTheMapSize) {
    const auto bytes = ReadBytes(Shipped("earth_night.jpg"));
    bool baseline = false, progressive = false;
    for (std::size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC0)
            baseline = true;
        if (bytes[i] == 0xFF && bytes[i + 1] == 0xC2)
            progressive = true;
    }
    EXPECT_TRUE(baseline);
    EXPECT_FALSE(progressive);
    TFastDIB night;
    LoadJpegImage(night, Shipped("earth_night.jpg"));
    EXPECT_EQ(night.Width(), 1024);
    EXPECT_EQ(night.Height(), 512);
}

TEST(ShippedImages, DayAndNightShowTheRightPlaces) {
    TFastDIB day, night;
    LoadPngImage(day, Shipped("earth_day.png"));
    LoadJpegImage(night, Shipped("earth_night.jpg"));
    // Mid-Pacific is dark blue by day; the Sahara is sandy, red above blue.
    const TBgr pacific = PixelAt(day, 0.0, -140.0);
    EXPECT_GT(pacific.B, pacific.R + 20);
    const TBgr sahara = PixelAt(day, 23.0, 12.0);
    EXPECT_GT(sahara.R, sahara.B + 40);
    // The lights of the Nile delta shine over the dark desert around them.
    int nile = 0;
    for (int dx = -2; dx <= 2; ++dx) {
        for (int dy = -2; dy <= 2; ++dy) {
            const TBgr p = PixelAt(night, 30.5 + dy * 0.35, 31.2 + dx * 0.35);
            nile = std::max(nile, int(p.R) + p.G);
        }
    }
    const TBgr desert = PixelAt(night, 23.0, 12.0);
    EXPECT_GT(nile, 3 * (int(desert.R) + desert.G) + 60);
}

TEST(ShippedImages, MaskIsWhiteOverSeaAndBlackOverLand) {
    TFastDIB mask;
    LoadPngImage(mask, Shipped("mask.png"));
    struct TSpot {
        double Lat, Lon;
        std::uint8_t Red;
    };
    for (const TSpot s : {TSpot{0.0, -140.0, 255}, TSpot{-40.0, 0.0, 255}, TSpot{35.0, 18.0, 255},
                          TSpot{42.0, 50.5, 255}, // the Caspian Sea counts as sea
                          TSpot{23.0, 12.0, 0}, TSpot{-25.0, 134.0, 0}, TSpot{60.0, 100.0, 0},
                          TSpot{-80.0, 0.0, 0}, TSpot{-89.9, 100.0, 0}, // Antarctica to the pole
                          TSpot{67.5, 179.9, 0}, TSpot{67.5, -179.9, 0}}) { // Chukotka both sides
        EXPECT_EQ(PixelAt(mask, s.Lat, s.Lon).R, s.Red) << s.Lat << " " << s.Lon;
    }
    // Grey, and mostly pure black or white: only coast pixels are in between.
    long sea = 0, between = 0;
    for (int y = 0; y < mask.Height(); ++y) {
        for (int x = 0; x < mask.Width(); ++x) {
            const TBgr p = mask.GetPixel(x, y);
            ASSERT_TRUE(p.R == p.G && p.G == p.B);
            sea += p.R == 255;
            between += p.R != 0 && p.R != 255;
        }
    }
    const double pixels = double(mask.Width()) * mask.Height();
    EXPECT_NEAR(sea / pixels, 0.66, 0.06);
    EXPECT_LT(between / pixels, 0.04);
    EXPECT_GT(between, 0);
}

TEST(ShippedImages, ZoneColoursAreDistinctAndEveryPixelHasOne) {
    const auto colors = LoadColors();
    ASSERT_GE(colors.size(), 27u); // at least every whole hour from -12 to +14
    std::set<std::uint32_t> packed;
    std::set<double> offsets;
    for (const auto& c : colors) {
        packed.insert(std::uint32_t(c.Red) << 16 | std::uint32_t(c.Green) << 8 | c.Blue);
        offsets.insert(c.UtcOffset);
    }
    EXPECT_EQ(packed.size(), colors.size());
    EXPECT_EQ(offsets.size(), colors.size());

    TFastDIB zones;
    LoadPngImage(zones, Shipped("earth_tz.png"));
    long missing = 0;
    for (int y = 0; y < zones.Height(); ++y) {
        for (int x = 0; x < zones.Width(); ++x) {
            const TBgr p = zones.GetPixel(x, y);
            missing += packed.count(std::uint32_t(p.R) << 16 | std::uint32_t(p.G) << 8 | p.B) == 0;
        }
    }
    EXPECT_EQ(missing, 0);
}

TEST(ShippedImages, ZoneImageGivesStandardOffsets) {
    const auto colors = LoadColors();
    TFastDIB zones;
    LoadPngImage(zones, Shipped("earth_tz.png"));
    struct TSpot {
        double Lat, Lon, Offset;
    };
    for (const TSpot s : {
             TSpot{51.5, -0.1, 0},          // London
             TSpot{53.35, -6.26, 0},        // Dublin: winter time is its standard
             TSpot{33.59, -7.6, 0},         // Casablanca: +00 all year from 2026
             TSpot{49.26, -123.11, -7},     // Vancouver: British Columbia's lasting -7
             TSpot{40.71, -74.0, -5},       // New York
             TSpot{47.56, -52.71, -3.5},    // St. John's
             TSpot{28.61, 77.21, 5.5},      // Delhi
             TSpot{27.7, 85.32, 5.75},      // Kathmandu
             TSpot{-33.87, 151.21, 10},     // Sydney: winter time is its standard
             TSpot{-31.72, 128.88, 8.75},   // Eucla
             TSpot{-43.95, -176.55, 12.75}, // Chatham Islands
             TSpot{1.87, -157.4, 14},       // Kiritimati
             TSpot{39.9, 116.4, 8},         // Beijing
             TSpot{0.0, -140.0, -9},        // open sea: nautical zone of 140 W
             TSpot{-40.0, 0.0, 0},
             TSpot{-50.0, 100.0, 7},
         }) {
        const auto offset = OffsetOf(colors, PixelAt(zones, s.Lat, s.Lon));
        ASSERT_TRUE(offset.has_value()) << s.Lat << " " << s.Lon;
        EXPECT_DOUBLE_EQ(*offset, s.Offset) << s.Lat << " " << s.Lon;
    }
}
