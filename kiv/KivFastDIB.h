// Pixel buffers and the operations on them: the table mix of day and night
// through the shadow, the exact mix of the batch image, the colour overlay of the
// wallpaper, the 16.16 bilinear resampling and the BMP writer.
//
// An image is 8 or 24 bits per pixel. Rows are stored bottom-up (stored row 0 is
// the bottom of the picture) and each row is padded to a multiple of 4 bytes. A
// 24-bit pixel is blue, green, red; an 8-bit pixel is an index into the image's
// palette (a grey ramp unless a decoder set another one).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace kiv {

// One colour as it lies in a 24-bit pixel and in a BMP palette entry.
struct TBgr {
    std::uint8_t B = 0;
    std::uint8_t G = 0;
    std::uint8_t R = 0;
    friend bool operator==(const TBgr&, const TBgr&) = default;
};

// A colour packed as red * 65536 + green * 256 + blue.
inline TBgr UnpackColor(std::uint32_t packed) {
    return {static_cast<std::uint8_t>(packed & 0xFF),
            static_cast<std::uint8_t>((packed >> 8) & 0xFF),
            static_cast<std::uint8_t>((packed >> 16) & 0xFF)};
}

class TFastDIB {
public:
    // The largest width or height an image may have, and the largest pixel count.
    static constexpr int MaxSide = 65536;
    static constexpr std::int64_t MaxPixels = std::int64_t(1) << 30;

    TFastDIB() = default;
    TFastDIB(int width, int height, int bpp) { SetSize(width, height, bpp); }
    TFastDIB(const TFastDIB& other);
    TFastDIB& operator=(const TFastDIB& other);
    TFastDIB(TFastDIB&& other) noexcept;
    TFastDIB& operator=(TFastDIB&& other) noexcept;
    ~TFastDIB() = default;

    // Gives the image a new size and depth (8 or 24) with all pixels zero and, at
    // 8 bits, a grey palette. A size of 0 in either direction makes an empty image.
    // Raises EAssertionFailed for another depth, a negative size or a size above
    // the limits; std::bad_alloc when memory runs out.
    void SetSize(int width, int height, int bpp);
    // Makes the image empty (0 x 0, no pixels); the depth stays.
    void Clear();

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int Bpp() const { return FBpp; }
    bool Empty() const { return FWidth == 0 || FHeight == 0; }
    // Bytes per stored row, padding included.
    std::size_t Stride() const { return FStride; }
    // Bytes of all rows.
    std::size_t ImageSize() const { return FStride * static_cast<std::size_t>(FHeight); }

    std::uint8_t* Bits() { return FBits.get(); }
    const std::uint8_t* Bits() const { return FBits.get(); }
    // Stored row y (0 is the bottom row of the picture).
    std::uint8_t* Row(int y) { return FBits.get() + FStride * static_cast<std::size_t>(y); }
    const std::uint8_t* Row(int y) const {
        return FBits.get() + FStride * static_cast<std::size_t>(y);
    }

    // The palette of an 8-bit image (256 entries; a grey ramp by default).
    std::array<TBgr, 256> Palette{};

    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < FWidth && y < FHeight; }
    // The colour of pixel (x, stored row y); an 8-bit pixel yields its palette
    // colour. Outside the image: black.
    TBgr GetPixel(int x, int y) const;
    // Writes the colour at (x, stored row y); an 8-bit image takes the colour's
    // green as its index, which is the grey level for the grey palette. Outside
    // the image nothing is written.
    void SetPixel(int x, int y, TBgr color);
    // Fills every pixel with the byte value (the grey level at 8 bits).
    void Fill(std::uint8_t value);

    // True when both have the same size, depth, palette (at 8 bits) and pixels.
    bool SameAs(const TFastDIB& other) const;

private:
    // Frees the pixels: with free() unless they were mapped from the system
    // directly (large images), then by unmapping the whole mapping.
    struct TFree {
        TFree() noexcept {}
        TFree(void* base, std::size_t bytes) noexcept : MapBase(base), MapBytes(bytes) {}
        void operator()(std::uint8_t* p) const;
        void* MapBase = nullptr;
        std::size_t MapBytes = 0;
    };
    void SetGreyPalette();
    static std::unique_ptr<std::uint8_t, TFree> AllocatePixels(std::size_t bytes);

    int FWidth = 0;
    int FHeight = 0;
    int FBpp = 24;
    std::size_t FStride = 0;
    std::unique_ptr<std::uint8_t, TFree> FBits;
};

// The two 256 x 256 tables of BlendThroughShadow: M[a][v] = a * v div 255 and
// S[x][y] = min(x + y, 255). Built once, on first use, and never changed.
struct TBlendTables {
    std::uint8_t M[256][256];
    std::uint8_t S[256][256];
};
const TBlendTables& BlendTables();

// Mixes day and night through the 8-bit shadow with the tables: per channel
// out = S[M[a][night]][M[255 - a][day]]. dest may be day itself. All of dest,
// day and night must be 24-bit and shadow 8-bit (EAssertionFailed otherwise).
// Only pixels that lie inside all four images are written.
void BlendThroughShadow(TFastDIB& dest, const TFastDIB& day, const TFastDIB& night,
                        const TFastDIB& shadow);

// The exact mix of the batch image, over the day image's size: with a = mask / 255
// (an 8-bit mask's palette grey, a 24-bit mask's red), out = day + a * (night - day)
// rounded half to even; stored row 0 is set to black. day and night may have any
// depth; dest is made 24-bit of the day's size when it has another size or depth.
// Where night or mask has no pixel the day pixel is kept.
void BlendThroughShadowExact(TFastDIB& dest, const TFastDIB& day, const TFastDIB& night,
                             const TFastDIB& mask);

// Lays the packed colour into the source in proportion to the mask's red channel,
// over the source's size: out = source + (red / 255) * (colour - source), rounded
// half to even. dest is made 24-bit of the source's size when it differs. Where
// the mask has no pixel the source pixel is kept.
void BlendToColor(TFastDIB& dest, const TFastDIB& source, const TFastDIB& mask,
                  std::uint32_t packedColor);

// The general 16.16 bilinear resampling: fills dest, at its own size, from the
// whole source (same depth, 8 or 24). The stored row at a position weighs
// 65536 - fy and the next one fy + 1; the last row and column stand in for the
// ones past them. An empty source leaves dest zero-filled.
void ResampleBilinear(const TFastDIB& source, TFastDIB& dest);

// The rows first..last - 1 of the general resampling of a 24-bit source to a
// destWidth x destHeight image (the same pixels ResampleBilinear gives there),
// written to `out`, row `first` first and each next one `stride` bytes further.
// The image is never held whole, so threads can fill strips side by side.
void ResampleBilinearRows(const TFastDIB& source, int destWidth, int destHeight, int first,
                          int last, std::uint8_t* out, std::size_t stride);

// The wallpaper form (24-bit only): rows weigh 65536 - fy and fy. Does nothing
// when either image has a width or height below 1.
void ResampleBilinearWallpaper(const TFastDIB& source, TFastDIB& dest);

// The bytes of the BMP file of the image, header, palette (8-bit) and rows as
// stored. Used by SaveBitmapFile and the tests.
std::array<std::uint8_t, 54> BitmapFileHeader(const TFastDIB& image);
// The same for an image of that size and depth (24-bit: no palette).
std::array<std::uint8_t, 54> BitmapFileHeader(int width, int height, int bpp);

// Writes the image as an uncompressed BMP. The file is written under a temporary
// name beside the target and then renamed over it, so the target is replaced
// whole or left as it was. Raises EFOpenError naming the file.
void SaveBitmapFile(const TFastDIB& image, const std::string& fileName);

} // namespace kiv
