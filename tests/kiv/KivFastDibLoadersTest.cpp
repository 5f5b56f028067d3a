#include "kiv/KivFastDibLoaders.h"
#include "kiv/KivErrors.h"

#include "tests/TempDir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <png.h>
// jpeglib.h needs size_t and FILE declared before it.
#include <jpeglib.h>

namespace fs = std::filesystem;
using namespace kiv;

namespace {

using testsupport::TempDir;

using Bytes = std::vector<std::uint8_t>;

void WriteFile(const std::string& name, const Bytes& bytes) {
    std::ofstream out(name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

// A PNG to encode: the rows are raw PNG row bytes, top row first.
struct PngLayout {
    int Width = 2;
    int Height = 2;
    int ColorType = PNG_COLOR_TYPE_RGB;
    int BitDepth = 8;
    bool Interlaced = false;
    std::vector<png_color> Palette;
    Bytes Trns;
    std::vector<Bytes> Rows;
};

void AppendBytes(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

Bytes EncodePng(const PngLayout& layout) {
    Bytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, AppendBytes, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(layout.Width),
                 static_cast<png_uint_32>(layout.Height), layout.BitDepth, layout.ColorType,
                 layout.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.Palette.empty()) {
        png_set_PLTE(png, info, layout.Palette.data(), static_cast<int>(layout.Palette.size()));
    }
    if (!layout.Trns.empty()) {
        if (layout.ColorType == PNG_COLOR_TYPE_PALETTE) {
            png_set_tRNS(png, info, layout.Trns.data(), static_cast<int>(layout.Trns.size()),
                         nullptr);
        } else {
            png_color_16 colour{};
            colour.red = layout.Trns[0];
            colour.green = layout.Trns[1];
            colour.blue = layout.Trns[2];
            png_set_tRNS(png, info, nullptr, 0, &colour);
        }
    }
    std::vector<png_bytep> rows;
    for (const Bytes& row : layout.Rows) {
        rows.push_back(const_cast<png_bytep>(row.data()));
    }
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

TFastDIB DecodePng(const PngLayout& layout) {
    TFastDIB image;
    const Bytes bytes = EncodePng(layout);
    DecodePngImage(image, bytes.data(), bytes.size(), "test.png");
    return image;
}

// A JPEG of the given components (3 RGB, 1 grey, 4 CMYK), rows top first.
Bytes EncodeJpeg(int width, int height, int components, const Bytes& pixels,
                 bool progressive = false) {
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = components == 3 ? JCS_RGB : components == 1 ? JCS_GRAYSCALE : JCS_CMYK;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data()) +
                       static_cast<std::size_t>(info.next_scanline) * width * components;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    Bytes out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

// 16 x 16: the top half red, the bottom half blue.
Bytes RedOverBlue() {
    Bytes pixels;
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const bool top = y < 8;
            pixels.push_back(top ? 255 : 0);
            pixels.push_back(0);
            pixels.push_back(top ? 0 : 255);
        }
    }
    return pixels;
}

void ExpectNear(TBgr actual, TBgr expected, int tolerance) {
    EXPECT_NEAR(actual.B, expected.B, tolerance);
    EXPECT_NEAR(actual.G, expected.G, tolerance);
    EXPECT_NEAR(actual.R, expected.R, tolerance);
}

// A decode that must fail: the message names the source and the target image is
// left as it was.
template <typename Decode>
void ExpectDecodeError(Decode decode, const std::string& what, const std::string& fragment) {
    TFastDIB image(3, 1, 24);
    image.SetPixel(2, 0, {1, 2, 3});
    const TFastDIB before = image;
    try {
        decode(image);
        ADD_FAILURE() << "expected an error for " << what;
    } catch (const EKivError& e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(what), std::string::npos) << message;
        EXPECT_NE(message.find(fragment), std::string::npos) << message;
    }
    EXPECT_TRUE(image.SameAs(before)) << "no half-decoded image";
}

} // namespace

TEST(LoadPngImage, CopiesEightBitRgbWithTheTopRowLast) {
    PngLayout layout;
    layout.Rows = {{255, 0, 0, 0, 255, 0}, {0, 0, 255, 10, 20, 30}};
    TempDir dir;
    WriteFile(dir.File("rgb.png"), EncodePng(layout));
    TFastDIB image;
    LoadPngImage(image, dir.File("rgb.png"));
    ASSERT_EQ(image.Width(), 2);
    ASSERT_EQ(image.Height(), 2);
    EXPECT_EQ(image.Bpp(), 24);
    EXPECT_EQ(image.GetPixel(0, 1), (TBgr{0, 0, 255})); // top-left red
    EXPECT_EQ(image.GetPixel(1, 1), (TBgr{0, 255, 0}));
    EXPECT_EQ(image.GetPixel(0, 0), (TBgr{255, 0, 0})); // bottom-left blue
    EXPECT_EQ(image.GetPixel(1, 0), (TBgr{30, 20, 10}));
    // A transparent colour does not change the direct copy.
    layout.Trns = {10, 20, 30};
    EXPECT_EQ(DecodePng(layout).GetPixel(1, 0), (TBgr{30, 20, 10}));
}

TEST(LoadPngImage, ReadsInterlacedFilesLikePlainOnes) {
    PngLayout layout;
    layout.Width = 9;
    layout.Height = 11;
    for (int y = 0; y < layout.Height; ++y) {
        Bytes row;
        for (int x = 0; x < layout.Width; ++x) {
            row.insert(row.end(),
                       {static_cast<std::uint8_t>(20 * x), static_cast<std::uint8_t>(20 * y),
                        static_cast<std::uint8_t>(x * y)});
        }
        layout.Rows.push_back(row);
    }
    const TFastDIB plain = DecodePng(layout);
    layout.Interlaced = true;
    const TFastDIB interlaced = DecodePng(layout);
    EXPECT_TRUE(interlaced.SameAs(plain));
    EXPECT_EQ(plain.GetPixel(8, 0), (TBgr{80, 200, 160})); // PNG row 10, column 8
    layout.ColorType = PNG_COLOR_TYPE_GRAY;
    for (Bytes& row : layout.Rows) {
        row.resize(static_cast<std::size_t>(layout.Width));
    }
    const TFastDIB greyInterlaced = DecodePng(layout);
    layout.Interlaced = false;
    EXPECT_TRUE(greyInterlaced.SameAs(DecodePng(layout)));
}

TEST(LoadPngImage, ConvertsPaletteAndGreyKinds) {
    PngLayout palette;
    palette.ColorType = PNG_COLOR_TYPE_PALETTE;
    palette.Palette = {{1, 2, 3}, {200, 100, 50}};
    palette.Rows = {{0, 1}, {1, 1}};
    TFastDIB image = DecodePng(palette);
    EXPECT_EQ(image.Bpp(), 24);
    EXPECT_EQ(image.GetPixel(0, 1), (TBgr{3, 2, 1}));
    EXPECT_EQ(image.GetPixel(1, 1), (TBgr{50, 100, 200}));

    palette.BitDepth = 2; // four pixels per byte
    palette.Width = 3;
    palette.Rows = {{0b01'00'01'00}, {0b00'00'00'00}};
    image = DecodePng(palette);
    EXPECT_EQ(image.GetPixel(0, 1), (TBgr{50, 100, 200}));
    EXPECT_EQ(image.GetPixel(1, 1), (TBgr{3, 2, 1}));
    EXPECT_EQ(image.GetPixel(2, 1), (TBgr{50, 100, 200}));

    PngLayout grey;
    grey.ColorType = PNG_COLOR_TYPE_GRAY;
    grey.Rows = {{77, 0}, {255, 1}};
    image = DecodePng(grey);
    EXPECT_EQ(image.GetPixel(0, 1), (TBgr{77, 77, 77}));
    EXPECT_EQ(image.GetPixel(0, 0), (TBgr{255, 255, 255}));

    grey.BitDepth = 1;
    grey.Rows = {{0b1000'0000}, {0b0100'0000}};
    image = DecodePng(grey);
    EXPECT_EQ(image.GetPixel(0, 1), (TBgr{255, 255, 255}));
    EXPECT_EQ(image.GetPixel(1, 1), (TBgr{0, 0, 0}));
    EXPECT_EQ(image.GetPixel(1, 0), (TBgr{255, 255, 255}));
}

TEST(LoadPngImage, ScalesSixteenBitSamples) {
    PngLayout grey;
    grey.ColorType = PNG_COLOR_TYPE_GRAY;
    grey.BitDepth = 16;
    grey.Rows = {{0xFF, 0xFF, 0x32, 0x32}, {0, 0, 0x01, 0x01}};
    TFastDIB image = DecodePng(grey);
    EXPECT_EQ(image.GetPixel(0, 1), (TBgr{255, 255, 255}));
    EXPECT_EQ(image.GetPixel(1, 1), (TBgr{50, 50, 50}));
    EXPECT_EQ(image.GetPixel(1, 0), (TBgr{1, 1, 1}));

    PngLayout rgb;
    rgb.BitDepth = 16;
    rgb.Rows = {{0xFF, 0xFF, 0, 0, 0x64, 0x64, 0, 0, 0, 0, 0, 0}, Bytes(12, 0)};
    EXPECT_EQ(DecodePng(rgb).GetPixel(0, 1), (TBgr{100, 0, 255}));
}

TEST(LoadPngImage, LaysTransparentPixelsOverBlack) {
    PngLayout rgba;
    rgba.ColorType = PNG_COLOR_TYPE_RGBA;
    rgba.Rows = {{200, 100, 50, 255, 200, 100, 50, 0}, {200, 100, 50, 128, 0, 0, 0, 0}};
    TFastDIB image = DecodePng(rgba);
    EXPECT_EQ(image.GetPixel(0, 1), (TBgr{50, 100, 200}));
    EXPECT_EQ(image.GetPixel(1, 1), (TBgr{0, 0, 0}));
    ExpectNear(image.GetPixel(0, 0), {25, 50, 100}, 1);

    PngLayout greyAlpha;
    greyAlpha.ColorType = PNG_COLOR_TYPE_GRAY_ALPHA;
    greyAlpha.Rows = {{100, 255, 100, 0}, {0, 0, 0, 0}};
    image = DecodePng(greyAlpha);
    EXPECT_EQ(image.GetPixel(0, 1), (TBgr{100, 100, 100}));
    EXPECT_EQ(image.GetPixel(1, 1), (TBgr{0, 0, 0}));

    PngLayout palette;
    palette.ColorType = PNG_COLOR_TYPE_PALETTE;
    palette.Palette = {{9, 9, 9}, {200, 100, 50}};
    palette.Trns = {0}; // entry 0 fully transparent, entry 1 opaque
    palette.Rows = {{0, 1}, {1, 0}};
    image = DecodePng(palette);
    EXPECT_EQ(image.GetPixel(0, 1), (TBgr{0, 0, 0}));
    EXPECT_EQ(image.GetPixel(1, 1), (TBgr{50, 100, 200}));
}

TEST(LoadPngImage, ErrorsNameTheFileAndLeaveTheImage) {
    TempDir dir;
    PngLayout layout;
    layout.Width = 64;
    layout.Height = 64;
    layout.Rows.assign(64, Bytes(64 * 3, 0));
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64 * 3; ++x) {
            layout.Rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] =
                static_cast<std::uint8_t>(x * 7 + y * 13);
        }
    }
    const Bytes good = EncodePng(layout);

    const std::string missing = dir.File("missing.png");
    EXPECT_THROW(
        {
            TFastDIB image;
            LoadPngImage(image, missing);
        },
        EFOpenError);

    // A directory where the image should be: named as such, not a lack of memory.
    const std::string folder = dir.File("folder.png");
    std::filesystem::create_directory(folder);
    for (const bool png : {true, false}) {
        TFastDIB image;
        try {
            png ? LoadPngImage(image, folder) : LoadJpegImage(image, folder);
            ADD_FAILURE() << "expected EFOpenError";
        } catch (const EFOpenError& e) {
            EXPECT_NE(std::string(e.what()).find(folder + "\". It is a directory"),
                      std::string::npos)
                << e.what();
        }
    }

    const std::string truncated = dir.File("truncated.png");
    WriteFile(truncated, Bytes(good.begin(), good.begin() + static_cast<long>(good.size() / 2)));
    ExpectDecodeError([&](TFastDIB& image) { LoadPngImage(image, truncated); }, truncated, "");

    const std::string garbage = dir.File("garbage.png");
    WriteFile(garbage, Bytes(100, 'x'));
    ExpectDecodeError([&](TFastDIB& image) { LoadPngImage(image, garbage); }, garbage,
                      "not a PNG file");

    // A damaged compressed block: flip bytes in the middle of the image data.
    Bytes damaged = good;
    for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 8; ++i) {
        damaged[i] ^= 0x5A;
    }
    ExpectDecodeError(
        [&](TFastDIB& image) { DecodePngImage(image, damaged.data(), damaged.size(), "damaged"); },
        "damaged", "");

    // Wider than the decoders accept: refused before any pixel memory is taken.
    PngLayout wide;
    wide.ColorType = PNG_COLOR_TYPE_GRAY;
    wide.BitDepth = 1;
    wide.Width = MaxDecodedSide + 1;
    wide.Height = 1;
    wide.Rows = {Bytes(static_cast<std::size_t>(MaxDecodedSide / 8 + 1), 0)};
    const Bytes wideBytes = EncodePng(wide);
    ExpectDecodeError(
        [&](TFastDIB& image) { DecodePngImage(image, wideBytes.data(), wideBytes.size(), "wide"); },
        "wide", "");
}

TEST(LoadJpegImage, DecodesColourWithTheTopRowLast) {
    TempDir dir;
    WriteFile(dir.File("a.jpg"), EncodeJpeg(16, 16, 3, RedOverBlue()));
    TFastDIB image;
    LoadJpegImage(image, dir.File("a.jpg"));
    ASSERT_EQ(image.Width(), 16);
    ASSERT_EQ(image.Height(), 16);
    EXPECT_EQ(image.Bpp(), 24);
    ExpectNear(image.GetPixel(3, 15), {0, 0, 255}, 8);
    ExpectNear(image.GetPixel(3, 0), {255, 0, 0}, 8);

    TFastDIB progressive;
    const Bytes p = EncodeJpeg(16, 16, 3, RedOverBlue(), true);
    DecodeJpegImage(progressive, p.data(), p.size(), "p.jpg");
    ExpectNear(progressive.GetPixel(3, 15), {0, 0, 255}, 8);
    ExpectNear(progressive.GetPixel(12, 2), {255, 0, 0}, 8);
}

TEST(LoadJpegImage, ConvertsGreyAndCmyk) {
    const Bytes grey = EncodeJpeg(8, 8, 1, Bytes(64, 128));
    TFastDIB image;
    DecodeJpegImage(image, grey.data(), grey.size(), "grey.jpg");
    EXPECT_EQ(image.Bpp(), 24);
    const TBgr p = image.GetPixel(4, 4);
    EXPECT_NEAR(p.G, 128, 2);
    EXPECT_EQ(p.B, p.G);
    EXPECT_EQ(p.R, p.G);

    // CMYK as Adobe writes it (inverted): all 255 is no ink (white), a K of 0 full black.
    Bytes cmyk;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            const bool top = y < 4;
            cmyk.insert(cmyk.end(), {255, 255, 255, static_cast<std::uint8_t>(top ? 255 : 0)});
        }
    }
    const Bytes c = EncodeJpeg(8, 8, 4, cmyk);
    DecodeJpegImage(image, c.data(), c.size(), "cmyk.jpg");
    ExpectNear(image.GetPixel(2, 7), {255, 255, 255}, 4);
    ExpectNear(image.GetPixel(2, 0), {0, 0, 0}, 4);
}

TEST(LoadJpegImage, ErrorsNameTheFileAndLeaveTheImage) {
    TempDir dir;
    Bytes pixels(64 * 64 * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i * 31 % 251);
    }
    const Bytes good = EncodeJpeg(64, 64, 3, pixels);

    EXPECT_THROW(
        {
            TFastDIB image;
            LoadJpegImage(image, dir.File("missing.jpg"));
        },
        EFOpenError);

    const std::string truncated = dir.File("truncated.jpg");
    WriteFile(truncated,
              Bytes(good.begin(), good.begin() + static_cast<long>(good.size() * 6 / 10)));
    ExpectDecodeError([&](TFastDIB& image) { LoadJpegImage(image, truncated); }, truncated,
                      "Premature end");

    const std::string empty = dir.File("empty.jpg");
    WriteFile(empty, {});
    ExpectDecodeError([&](TFastDIB& image) { LoadJpegImage(image, empty); }, empty, "");

    const std::string garbage = dir.File("garbage.jpg");
    WriteFile(garbage, Bytes(300, 0x42));
    ExpectDecodeError([&](TFastDIB& image) { LoadJpegImage(image, garbage); }, garbage, "");

    // Only the header survives.
    const Bytes header(good.begin(), good.begin() + 200);
    ExpectDecodeError(
        [&](TFastDIB& image) { DecodeJpegImage(image, header.data(), header.size(), "header"); },
        "header", "");
}
