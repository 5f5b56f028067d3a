#include "kiv/KivFastDIB.h"
#include "kiv/KivBands.h"
#include "kiv/KivErrors.h"

#include "tests/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace kiv;

namespace {

using testsupport::TempDir;

std::vector<std::uint8_t> ReadBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}
std::uint32_t U16At(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8);
}

TFastDIB Solid(int w, int h, TBgr color) {
    TFastDIB image(w, h, 24);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            image.SetPixel(x, y, color);
        }
    }
    return image;
}

TFastDIB Grey(int w, int h, std::uint8_t value) {
    TFastDIB image(w, h, 8);
    image.Fill(value);
    return image;
}

TBgr Gray(std::uint8_t v) {
    return {v, v, v};
}

// The blends of a single pixel: dest, day, night and shadow of size 1 x 2, so
// that stored row 1 is a normal row (the exact blend blacks out row 0).
TBgr BlendOne(std::uint8_t day, std::uint8_t night, std::uint8_t shadow) {
    TFastDIB dest(1, 2, 24);
    BlendThroughShadow(dest, Solid(1, 2, Gray(day)), Solid(1, 2, Gray(night)), Grey(1, 2, shadow));
    return dest.GetPixel(0, 1);
}

TBgr BlendExactOne(std::uint8_t day, std::uint8_t night, std::uint8_t shadow) {
    TFastDIB dest;
    BlendThroughShadowExact(dest, Solid(1, 2, Gray(day)), Solid(1, 2, Gray(night)),
                            Grey(1, 2, shadow));
    return dest.GetPixel(0, 1);
}

} // namespace

TEST(FastDib, RowsArePaddedToFourBytesAndStartZeroed) {
    struct Case {
        int width, bpp;
        std::size_t stride;
    };
    for (const Case c : {Case{1, 24, 4}, Case{3, 24, 12}, Case{4, 24, 12}, Case{5, 24, 16},
                         Case{1, 8, 4}, Case{5, 8, 8}, Case{8, 8, 8}}) {
        TFastDIB image(c.width, 3, c.bpp);
        EXPECT_EQ(image.Stride(), c.stride) << c.width << " x " << c.bpp;
        EXPECT_EQ(image.ImageSize(), 3 * c.stride);
        for (std::size_t i = 0; i < image.ImageSize(); ++i) {
            ASSERT_EQ(image.Bits()[i], 0);
        }
    }
    TFastDIB empty(0, 10, 24);
    EXPECT_TRUE(empty.Empty());
    EXPECT_EQ(empty.ImageSize(), 0u);
}

TEST(FastDib, RefusesBadDepthsAndSizes) {
    TFastDIB image;
    EXPECT_THROW(image.SetSize(4, 4, 16), EAssertionFailed);
    EXPECT_THROW(image.SetSize(-1, 4, 24), EAssertionFailed);
    EXPECT_THROW(image.SetSize(TFastDIB::MaxSide + 1, 1, 8), EAssertionFailed);
    EXPECT_THROW(image.SetSize(TFastDIB::MaxSide, TFastDIB::MaxSide, 8), EAssertionFailed);
}

TEST(FastDib, PixelsAreBlueGreenRedInStoredRows) {
    TFastDIB image(2, 2, 24);
    image.SetPixel(1, 0, {1, 2, 3});
    // Stored row 0 is the bottom row; its second pixel starts at byte 3.
    EXPECT_EQ(image.Row(0)[3], 1);
    EXPECT_EQ(image.Row(0)[4], 2);
    EXPECT_EQ(image.Row(0)[5], 3);
    EXPECT_EQ(image.GetPixel(1, 0), (TBgr{1, 2, 3}));
    // Outside the image: reads are black, writes go nowhere.
    image.SetPixel(2, 0, {9, 9, 9});
    image.SetPixel(-1, 1, {9, 9, 9});
    EXPECT_EQ(image.GetPixel(5, 5), TBgr{});
    EXPECT_EQ(image.Row(1)[0], 0);

    TFastDIB indexed(2, 1, 8);
    indexed.Palette[7] = {10, 20, 30};
    indexed.Row(0)[1] = 7;
    EXPECT_EQ(indexed.GetPixel(1, 0), (TBgr{10, 20, 30}));
    EXPECT_EQ(indexed.GetPixel(0, 0), TBgr{}); // grey ramp entry 0
    indexed.SetPixel(0, 0, Gray(99));
    EXPECT_EQ(indexed.Row(0)[0], 99);
}

TEST(FastDib, CopiesAndMovesKeepPixelsAndPalette) {
    TFastDIB image(3, 2, 8);
    image.Palette[1] = {1, 2, 3};
    image.Row(1)[2] = 1;
    TFastDIB copy = image;
    EXPECT_TRUE(copy.SameAs(image));
    copy.Row(1)[2] = 2;
    EXPECT_FALSE(copy.SameAs(image));
    TFastDIB moved = std::move(image);
    EXPECT_EQ(moved.GetPixel(2, 1), (TBgr{1, 2, 3}));
    EXPECT_TRUE(image.Empty());
}

TEST(BlendTables, HoldTheProductAndTheSaturatingSum) {
    const TBlendTables& t = BlendTables();
    EXPECT_EQ(&t, &BlendTables()); // built once
    for (int a = 0; a < 256; ++a) {
        for (int v = 0; v < 256; ++v) {
            ASSERT_EQ(t.M[a][v], a * v / 255) << a << ' ' << v;
            ASSERT_EQ(t.S[a][v], std::min(a + v, 255)) << a << ' ' << v;
        }
    }
}

TEST(BlendThroughShadow, MixesThroughTheTables) {
    EXPECT_EQ(BlendOne(200, 0, 0), Gray(200));     // full day: the day pixel
    EXPECT_EQ(BlendOne(200, 17, 255), Gray(17));   // full night: the night pixel
    EXPECT_EQ(BlendOne(200, 0, 128), Gray(99));    // 0 + 25400 div 255
    EXPECT_EQ(BlendOne(250, 250, 128), Gray(249)); // min(125 + 124, 255)
    EXPECT_EQ(BlendOne(255, 255, 1), Gray(255));   // the sum saturates
}

TEST(BlendThroughShadow, WorksInPlaceOnTheDayImage) {
    TFastDIB day = Solid(3, 2, {200, 100, 50});
    const TFastDIB night = Solid(3, 2, {0, 0, 250});
    TFastDIB shadow = Grey(3, 2, 0);
    shadow.Row(1)[1] = 255;
    BlendThroughShadow(day, day, night, shadow);
    EXPECT_EQ(day.GetPixel(0, 1), (TBgr{200, 100, 50}));
    EXPECT_EQ(day.GetPixel(1, 1), (TBgr{0, 0, 250}));
}

TEST(BlendThroughShadow, AssertsOnWrongDepthsAndStaysInsideSmallerImages) {
    TFastDIB dest(4, 4, 24);
    EXPECT_THROW(BlendThroughShadow(dest, Grey(4, 4, 0), Solid(4, 4, {}), Grey(4, 4, 0)),
                 EAssertionFailed);
    EXPECT_THROW(BlendThroughShadow(dest, Solid(4, 4, {}), Solid(4, 4, {}), Solid(4, 4, {})),
                 EAssertionFailed);
    // A smaller night image limits the written area; nothing outside is touched.
    dest.Fill(7);
    BlendThroughShadow(dest, Solid(4, 4, Gray(200)), Solid(2, 3, Gray(0)), Grey(4, 4, 0));
    EXPECT_EQ(dest.GetPixel(1, 2), Gray(200));
    EXPECT_EQ(dest.GetPixel(2, 2), Gray(7));
    EXPECT_EQ(dest.GetPixel(1, 3), Gray(7));
}

TEST(BlendThroughShadowExact, RoundsTheFloatingPointMix) {
    EXPECT_EQ(BlendExactOne(200, 0, 0), Gray(200));
    EXPECT_EQ(BlendExactOne(200, 17, 255), Gray(17));
    EXPECT_EQ(BlendExactOne(200, 0, 128), Gray(100)); // 200 - 100.39
    EXPECT_EQ(BlendExactOne(0, 255, 128), Gray(128));
}

TEST(BlendThroughShadowExact, EqualsTheRoundedFormulaForEveryInput) {
    // Columns are night values, rows day values (row 0 is blacked out, so one
    // extra row), one image per mask value.
    TFastDIB day(256, 257, 24);
    TFastDIB night(256, 257, 24);
    for (int y = 1; y < 257; ++y) {
        for (int x = 0; x < 256; ++x) {
            day.SetPixel(x, y, Gray(static_cast<std::uint8_t>(y - 1)));
            night.SetPixel(x, y, {static_cast<std::uint8_t>(x), 0, 0});
        }
    }
    TFastDIB dest;
    for (int a = 0; a < 256; ++a) {
        BlendThroughShadowExact(dest, day, night, Grey(256, 257, static_cast<std::uint8_t>(a)));
        for (int y = 1; y < 257; ++y) {
            const int d = y - 1;
            for (int x = 0; x < 256; ++x) {
                const double exact = std::nearbyint(d + a / 255.0 * (x - d));
                ASSERT_EQ(dest.GetPixel(x, y).B, exact)
                    << "a " << a << " day " << d << " night " << x;
                ASSERT_EQ(dest.GetPixel(x, y).G, d + std::nearbyint(a / 255.0 * (0 - d)));
            }
        }
    }
}

TEST(BlendThroughShadowExact, BlacksOutTheBottomRowAndReadsAnyDepth) {
    // 24-bit mask: only its red byte counts.
    TFastDIB mask = Solid(2, 3, {255, 255, 0});
    mask.SetPixel(1, 2, {0, 0, 255});
    TFastDIB day(2, 3, 8); // grey palette: pixel value is the grey level
    day.Fill(200);
    const TFastDIB night = Solid(2, 3, {10, 20, 30});
    TFastDIB dest(5, 5, 8); // resized to the day's size, 24-bit
    BlendThroughShadowExact(dest, day, night, mask);
    EXPECT_EQ(dest.Width(), 2);
    EXPECT_EQ(dest.Height(), 3);
    EXPECT_EQ(dest.Bpp(), 24);
    EXPECT_EQ(dest.GetPixel(0, 0), TBgr{});
    EXPECT_EQ(dest.GetPixel(1, 0), TBgr{});
    EXPECT_EQ(dest.GetPixel(0, 2), Gray(200));
    EXPECT_EQ(dest.GetPixel(1, 2), (TBgr{10, 20, 30}));
    // A night image smaller than the day image: the day pixel is kept there.
    BlendThroughShadowExact(dest, Solid(3, 3, Gray(90)), Solid(2, 2, Gray(0)), Grey(3, 3, 255));
    EXPECT_EQ(dest.GetPixel(1, 1), Gray(0));
    EXPECT_EQ(dest.GetPixel(2, 1), Gray(90));
    EXPECT_EQ(dest.GetPixel(1, 2), Gray(90));
}

TEST(BlendToColor, LaysTheColourInByTheMasksRed) {
    TFastDIB source = Solid(3, 1, {0, 100, 200});
    TFastDIB mask = Solid(3, 1, {});
    mask.SetPixel(0, 0, {0, 0, 255});
    mask.SetPixel(1, 0, {255, 255, 0}); // red 0: green and blue do not count
    mask.SetPixel(2, 0, {0, 0, 128});
    TFastDIB dest;
    BlendToColor(dest, source, mask, 0xFF00FF); // red 255, green 0, blue 255
    EXPECT_EQ(dest.GetPixel(0, 0), (TBgr{255, 0, 255}));
    EXPECT_EQ(dest.GetPixel(1, 0), (TBgr{0, 100, 200}));
    // red 128: 0 + 128/255 * 255 = 128; 100 - 128/255 * 100 = 49.8; 200 + 128/255 * 55 = 227.6
    EXPECT_EQ(dest.GetPixel(2, 0), (TBgr{128, 50, 228}));
}

TEST(BlendToColor, APalettedMaskCountsItsPaletteRed) {
    TFastDIB mask(1, 1, 8);
    mask.Palette[3] = {0, 0, 255};
    mask.Row(0)[0] = 3;
    TFastDIB dest;
    BlendToColor(dest, Solid(1, 1, Gray(0)), mask, 0x102030);
    EXPECT_EQ(dest.GetPixel(0, 0), (TBgr{0x30, 0x20, 0x10}));
}

TEST(ResampleBilinear, InterpolatesAlongARowInFixedPoint) {
    TFastDIB source(2, 1, 8);
    source.Row(0)[0] = 0;
    source.Row(0)[1] = 255;
    TFastDIB dest(4, 1, 8);
    ResampleBilinear(source, dest);
    // step 16384: fractions 0, 1/4, 1/2, 3/4 of 255, truncated.
    const std::uint8_t* r = dest.Row(0);
    EXPECT_EQ(r[0], 0);
    EXPECT_EQ(r[1], 63);
    EXPECT_EQ(r[2], 127);
    EXPECT_EQ(r[3], 191);
}

TEST(ResampleBilinear, ReachesTheLastRowsWithoutReadingPastThem) {
    // Four rows 0, 80, 160, 240 stretched to 16: step 12288; the last row
    // (y 15) sits between source rows 2 and 3 with fy 53248:
    // (160 * 12288 + 240 * 53249) >> 16 = 225.
    TFastDIB source(1, 4, 24);
    for (int y = 0; y < 4; ++y) {
        source.SetPixel(0, y, Gray(static_cast<std::uint8_t>(80 * y)));
    }
    TFastDIB dest(1, 16, 24);
    ResampleBilinear(source, dest);
    EXPECT_EQ(dest.GetPixel(0, 15), Gray(225));
    EXPECT_EQ(dest.GetPixel(0, 0), Gray(0)); // 0 * 65536 + 80 * 1 >> 16
    // A single row stands in for the row after it; weights summing to 65537 do
    // not overflow a full byte.
    TFastDIB one = Solid(1, 1, Gray(255));
    TFastDIB big(5, 3, 24);
    ResampleBilinear(one, big);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            ASSERT_EQ(big.GetPixel(x, y), Gray(255));
        }
    }
}

TEST(ResampleBilinear, GeneralAndWallpaperFormsWeighTheNextRowDifferently) {
    // Rows 0 and 255 into 255 rows: step 257, so row 1 has fy 257. The general
    // form weighs the next row fy + 1: 255 * 258 >> 16 = 1; the wallpaper form fy:
    // 255 * 257 >> 16 = 0.
    TFastDIB source(1, 2, 24);
    source.SetPixel(0, 1, Gray(255));
    TFastDIB general(1, 255, 24);
    TFastDIB wallpaper(1, 255, 24);
    ResampleBilinear(source, general);
    ResampleBilinearWallpaper(source, wallpaper);
    EXPECT_EQ(general.GetPixel(0, 1), Gray(1));
    EXPECT_EQ(wallpaper.GetPixel(0, 1), Gray(0));
    EXPECT_EQ(general.GetPixel(0, 0), Gray(0));
}

namespace {

// The resampling as its formula reads, pixel by pixel, to check the fast form
// against: rows weigh 65536 - fy and fy + bonus; the right pixel of each row
// takes (row weight * fx) >> 16 and the left one the rest.
TFastDIB ReferenceResample(const TFastDIB& source, int dw, int dh, int bonus) {
    TFastDIB dest(dw, dh, source.Bpp());
    const int sw = source.Width();
    const int sh = source.Height();
    const int channels = source.Bpp() / 8;
    const std::uint64_t stepX = std::uint64_t(sw - 1) * 65536 / std::uint64_t(dw);
    const std::uint64_t stepY = std::uint64_t(sh - 1) * 65536 / std::uint64_t(dh);
    for (int y = 0; y < dh; ++y) {
        const std::uint64_t py = y * stepY;
        const int r = static_cast<int>(py >> 16);
        const std::uint64_t fy = py & 0xFFFF;
        const int r1 = std::min(r + 1, sh - 1);
        const std::uint64_t w0 = 65536 - fy;
        const std::uint64_t w1 = fy + static_cast<std::uint64_t>(bonus);
        for (int x = 0; x < dw; ++x) {
            const std::uint64_t px = x * stepX;
            const int c = static_cast<int>(px >> 16);
            const std::uint64_t fx = px & 0xFFFF;
            const int c1 = std::min(c + 1, sw - 1);
            for (int k = 0; k < channels; ++k) {
                const auto at = [&](int row, int col) {
                    return std::uint64_t(source.Row(row)[col * channels + k]);
                };
                const std::uint64_t right0 = (w0 * fx) >> 16;
                const std::uint64_t right1 = (w1 * fx) >> 16;
                const std::uint64_t sum = (w0 - right0) * at(r, c) + right0 * at(r, c1) +
                                          (w1 - right1) * at(r1, c) + right1 * at(r1, c1);
                dest.Row(y)[x * channels + k] = static_cast<std::uint8_t>(sum >> 16);
            }
        }
    }
    return dest;
}

} // namespace

TEST(ResampleBilinear, EqualsTheFormulaForEverySizeAndDepth) {
    std::uint32_t seed = 12345;
    const auto random = [&seed] {
        seed = seed * 1103515245 + 12345;
        return static_cast<std::uint8_t>(seed >> 16);
    };
    struct Size {
        int sw, sh, dw, dh;
    };
    // Enlargements, reductions, odd ratios, single rows and columns, and one
    // destination large enough to be filled in several bands.
    for (const Size z : {Size{128, 64, 1024, 512}, Size{1024, 512, 800, 400}, Size{7, 5, 13, 29},
                         Size{31, 17, 9, 4}, Size{1, 1, 5, 3}, Size{1, 9, 4, 20}, Size{9, 1, 20, 4},
                         Size{2, 2, 2, 2}, Size{300, 150, 2500, 1250}}) {
        for (const int bpp : {8, 24}) {
            TFastDIB source(z.sw, z.sh, bpp);
            for (int y = 0; y < z.sh; ++y) {
                for (std::size_t i = 0; i < static_cast<std::size_t>(z.sw) * (bpp / 8); ++i) {
                    source.Row(y)[i] = random();
                }
            }
            TFastDIB general(z.dw, z.dh, bpp);
            ResampleBilinear(source, general);
            EXPECT_TRUE(general.SameAs(ReferenceResample(source, z.dw, z.dh, 1)))
                << z.sw << "x" << z.sh << " -> " << z.dw << "x" << z.dh << " at " << bpp;
            if (bpp == 24) {
                TFastDIB wallpaper(z.dw, z.dh, 24);
                ResampleBilinearWallpaper(source, wallpaper);
                EXPECT_TRUE(wallpaper.SameAs(ReferenceResample(source, z.dw, z.dh, 0)))
                    << "wallpaper " << z.sw << "x" << z.sh << " -> " << z.dw << "x" << z.dh;
            }
        }
    }
}

TEST(ResampleBilinear, HandlesEmptyImagesAndChecksDepths) {
    TFastDIB dest = Solid(2, 2, Gray(9));
    ResampleBilinearWallpaper(TFastDIB(0, 0, 24), dest); // does nothing
    EXPECT_EQ(dest.GetPixel(1, 1), Gray(9));
    ResampleBilinear(TFastDIB(0, 0, 24), dest); // nothing to read: zero
    EXPECT_EQ(dest.GetPixel(1, 1), Gray(0));
    TFastDIB empty;
    ResampleBilinear(Solid(2, 2, Gray(1)), empty);
    EXPECT_TRUE(empty.Empty());
    EXPECT_THROW(ResampleBilinear(Grey(2, 2, 0), dest), EAssertionFailed);
    TFastDIB grey8(2, 2, 8);
    EXPECT_THROW(ResampleBilinearWallpaper(Grey(2, 2, 0), grey8), EAssertionFailed);
    // Shrinking to one pixel reads the first source pixel.
    TFastDIB wide(8, 1, 8);
    wide.Row(0)[0] = 42;
    wide.Palette[0] = {1, 1, 1};
    TFastDIB dot(1, 1, 8);
    ResampleBilinear(wide, dot);
    EXPECT_EQ(dot.Row(0)[0], 42);
    EXPECT_EQ(dot.Palette[0], (TBgr{1, 1, 1}));
}

TEST(SaveBitmapFile, WritesHeaderPaletteAndStoredRows) {
    TempDir dir;
    TFastDIB image(3, 2, 24); // rows of 9 bytes padded to 12
    image.SetPixel(0, 0, {1, 2, 3});
    image.SetPixel(2, 1, {4, 5, 6});
    const std::string name = dir.File("out.bmp");
    SaveBitmapFile(image, name);
    const std::vector<std::uint8_t> b = ReadBytes(name);
    ASSERT_EQ(b.size(), 54u + 24u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(U32At(b, 2), 78u);  // file size
    EXPECT_EQ(U32At(b, 6), 0u);   // reserved
    EXPECT_EQ(U32At(b, 10), 54u); // pixel data offset
    EXPECT_EQ(U32At(b, 14), 40u); // info header size
    EXPECT_EQ(U32At(b, 18), 3u);
    EXPECT_EQ(U32At(b, 22), 2u); // positive: bottom-up
    EXPECT_EQ(U16At(b, 26), 1u);
    EXPECT_EQ(U16At(b, 28), 24u);
    EXPECT_EQ(U32At(b, 30), 0u); // uncompressed
    EXPECT_EQ(U32At(b, 34), 24u);
    EXPECT_EQ(U32At(b, 46), 0u);
    // Stored row 0 first, padding included.
    EXPECT_EQ(b[54], 1);
    EXPECT_EQ(b[55], 2);
    EXPECT_EQ(b[56], 3);
    EXPECT_EQ(b[54 + 12 + 6], 4);
    EXPECT_EQ(b[54 + 12 + 8], 6);

    TFastDIB grey(5, 1, 8);
    grey.Palette[255] = {7, 8, 9};
    grey.Row(0)[4] = 255;
    SaveBitmapFile(grey, name); // replaces the file
    const std::vector<std::uint8_t> g = ReadBytes(name);
    ASSERT_EQ(g.size(), 54u + 1024u + 8u);
    EXPECT_EQ(U32At(g, 2), 54u + 1024u + 8u);
    EXPECT_EQ(U32At(g, 10), 54u + 1024u);
    EXPECT_EQ(U16At(g, 28), 8u);
    EXPECT_EQ(U32At(g, 46), 256u);
    EXPECT_EQ(g[54 + 4 * 255], 7); // blue, green, red, 0
    EXPECT_EQ(g[54 + 4 * 255 + 2], 9);
    EXPECT_EQ(g[54 + 4 * 255 + 3], 0);
    EXPECT_EQ(g[54 + 4 * 1], 1); // grey ramp
    EXPECT_EQ(g[54 + 1024 + 4], 255);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
}

TEST(SaveBitmapFile, AFailedWriteKeepsWhatWasThereAndNamesTheFile) {
    TempDir dir;
    // The target is a directory: the rename over it fails after the data were written.
    const std::string target = dir.File("taken");
    fs::create_directory(target);
    try {
        SaveBitmapFile(Solid(4, 4, Gray(1)), target);
        FAIL() << "expected EFOpenError";
    } catch (const EFOpenError& e) {
        EXPECT_NE(std::string(e.what()).find(target), std::string::npos) << e.what();
    }
    EXPECT_TRUE(fs::is_directory(target));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1);
    // A folder that does not exist.
    EXPECT_THROW(SaveBitmapFile(Solid(1, 1, {}), dir.File("no/such/dir.bmp")), EFOpenError);
}

TEST(RunInBands, CoversEveryRowOnceAndCarriesAHelpersExceptionToTheCaller) {
    struct TRow {
        int Rows;
        int Bands;
        int Throwing; // the band that throws; -1 for none
    };
    for (const TRow row : {TRow{100, 4, -1}, TRow{100, 4, 2}, TRow{100, 4, 0}, TRow{3, 8, 1},
                           TRow{10, 1, 0}, TRow{0, 3, -1}}) {
        std::vector<std::atomic<int>> visits(static_cast<std::size_t>(row.Rows));
        std::atomic<int> band{0};
        const auto work = [&](int first, int last) {
            for (int y = first; y < last; ++y) {
                ++visits[static_cast<std::size_t>(y)];
            }
            const int bands = std::min(row.Bands, std::max(row.Rows, 1));
            if (row.Throwing >= 0 && first == row.Rows * row.Throwing / bands) {
                throw std::runtime_error("band " + std::to_string(row.Throwing));
            }
            ++band;
        };
        if (row.Throwing < 0) {
            EXPECT_NO_THROW(RunInBands(row.Rows, row.Bands, work));
        } else {
            try {
                RunInBands(row.Rows, row.Bands, work);
                ADD_FAILURE() << "expected the band's error";
            } catch (const std::runtime_error& e) {
                EXPECT_EQ(std::string(e.what()), "band " + std::to_string(row.Throwing));
            }
        }
        for (const std::atomic<int>& v : visits) {
            EXPECT_EQ(v.load(), 1) << row.Rows << " rows in " << row.Bands;
        }
    }
}
