#include "kiv/KivFastDIB.h"

#include "kiv/KivErrors.h"
#include "kiv/KivStream.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kiv {

// ---------------------------------------------------------------------------
// TFastDIB

void TFastDIB::TFree::operator()(std::uint8_t* p) const {
#if defined(__linux__)
    if (MapBase) {
        munmap(MapBase, MapBytes);
        return;
    }
#endif
    std::free(p);
}

std::unique_ptr<std::uint8_t, TFastDIB::TFree> TFastDIB::AllocatePixels(std::size_t bytes) {
    if (bytes == 0) {
        return {};
    }
#if defined(__linux__)
    // An image of a megabyte or more (a map, the batch mode's output) is mapped
    // on its own and asks for huge pages: filling it then costs a handful of
    // page faults instead of hundreds or thousands. The mapping is zero-filled.
    constexpr std::size_t hugePage = std::size_t(2) << 20;
    if (bytes >= hugePage / 2) {
        // Whole huge pages, aligned to their size, within a mapping one huge
        // page larger so that the alignment always fits.
        const std::size_t hugeBytes = (bytes + hugePage - 1) / hugePage * hugePage;
        const std::size_t mapBytes = hugeBytes + hugePage;
        void* base =
            mmap(nullptr, mapBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (base != MAP_FAILED) {
            const auto address = reinterpret_cast<std::uintptr_t>(base);
            auto* aligned = reinterpret_cast<std::uint8_t*>((address + hugePage - 1) &
                                                            ~(std::uintptr_t(hugePage) - 1));
            madvise(aligned, hugeBytes, MADV_HUGEPAGE);
            return std::unique_ptr<std::uint8_t, TFree>(aligned, TFree(base, mapBytes));
        }
    }
#endif
    // calloc: large blocks come zeroed from the system without being touched.
    auto* p = static_cast<std::uint8_t*>(std::calloc(bytes, 1));
    if (!p) {
        throw std::bad_alloc();
    }
    return std::unique_ptr<std::uint8_t, TFree>(p);
}

TFastDIB::TFastDIB(const TFastDIB& other) {
    *this = other;
}

TFastDIB& TFastDIB::operator=(const TFastDIB& other) {
    if (this != &other) {
        SetSize(other.FWidth, other.FHeight, other.FBpp);
        Palette = other.Palette;
        if (other.FBits) {
            std::memcpy(FBits.get(), other.FBits.get(), other.ImageSize());
        }
    }
    return *this;
}

TFastDIB::TFastDIB(TFastDIB&& other) noexcept {
    *this = std::move(other);
}

TFastDIB& TFastDIB::operator=(TFastDIB&& other) noexcept {
    if (this != &other) {
        FWidth = std::exchange(other.FWidth, 0);
        FHeight = std::exchange(other.FHeight, 0);
        FBpp = other.FBpp;
        FStride = std::exchange(other.FStride, 0);
        FBits = std::move(other.FBits);
        Palette = other.Palette;
    }
    return *this;
}

void TFastDIB::SetSize(int width, int height, int bpp) {
    KivAssert(bpp == 8 || bpp == 24,
              "Image depth must be 8 or 24 bits, not " + std::to_string(bpp));
    KivAssert(width >= 0 && height >= 0 && width <= MaxSide && height <= MaxSide &&
                  std::int64_t{width} * height <= MaxPixels,
              "Image size " + std::to_string(width) + " x " + std::to_string(height) +
                  " is out of range");
    const std::size_t stride = (static_cast<std::size_t>(width) * bpp + 31) / 32 * 4;
    const std::size_t bytes = stride * static_cast<std::size_t>(height);
    FBits = AllocatePixels(bytes);
    FWidth = width;
    FHeight = height;
    FBpp = bpp;
    FStride = stride;
    if (bpp == 8) {
        SetGreyPalette();
    }
}

void TFastDIB::Clear() {
    FBits.reset();
    FWidth = 0;
    FHeight = 0;
    FStride = 0;
}

void TFastDIB::SetGreyPalette() {
    for (int i = 0; i < 256; ++i) {
        const auto v = static_cast<std::uint8_t>(i);
        Palette[static_cast<std::size_t>(i)] = {v, v, v};
    }
}

TBgr TFastDIB::GetPixel(int x, int y) const {
    if (!Contains(x, y)) {
        return {};
    }
    const std::uint8_t* row = Row(y);
    if (FBpp == 8) {
        return Palette[row[x]];
    }
    const std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
    return {p[0], p[1], p[2]};
}

void TFastDIB::SetPixel(int x, int y, TBgr color) {
    if (!Contains(x, y)) {
        return;
    }
    std::uint8_t* row = Row(y);
    if (FBpp == 8) {
        row[x] = color.G;
        return;
    }
    std::uint8_t* p = row + 3 * static_cast<std::size_t>(x);
    p[0] = color.B;
    p[1] = color.G;
    p[2] = color.R;
}

void TFastDIB::Fill(std::uint8_t value) {
    if (FBits) {
        std::memset(FBits.get(), value, ImageSize());
    }
}

bool TFastDIB::SameAs(const TFastDIB& other) const {
    if (FWidth != other.FWidth || FHeight != other.FHeight || FBpp != other.FBpp) {
        return false;
    }
    if (FBpp == 8 && Palette != other.Palette) {
        return false;
    }
    const std::size_t used = (static_cast<std::size_t>(FWidth) * FBpp + 7) / 8;
    for (int y = 0; y < FHeight; ++y) {
        if (std::memcmp(Row(y), other.Row(y), used) != 0) {
            return false;
        }
    }
    return true;
}

namespace {

// day + a / 255 * (night - day), rounded to the nearest integer. The exact value
// is never a half (255 is odd and a * (night - day) an integer), so the rounding
// rule does not matter and integer arithmetic gives the same result as the
// floating-point formula.
inline std::uint8_t MixByte(int day, int night, int a) {
    const int t = a * (night - day);
    const int q = t >= 0 ? (2 * t + 255) / 510 : -((-2 * t + 255) / 510);
    return static_cast<std::uint8_t>(day + q);
}

int MinOf(std::initializer_list<int> values) {
    return std::min(values);
}

} // namespace

// ---------------------------------------------------------------------------
// Blends

const TBlendTables& BlendTables() {
    static const TBlendTables tables = [] {
        TBlendTables t{};
        for (int i = 0; i < 256; ++i) {
            for (int j = 0; j < 256; ++j) {
                t.M[i][j] = static_cast<std::uint8_t>(i * j / 255);
                t.S[i][j] = static_cast<std::uint8_t>(std::min(i + j, 255));
            }
        }
        return t;
    }();
    return tables;
}

void BlendThroughShadow(TFastDIB& dest, const TFastDIB& day, const TFastDIB& night,
                        const TFastDIB& shadow) {
    KivAssert(dest.Bpp() == 24 && day.Bpp() == 24 && night.Bpp() == 24,
              "BlendThroughShadow needs 24-bit images");
    KivAssert(shadow.Bpp() == 8, "BlendThroughShadow needs an 8-bit shadow");
    const TBlendTables& t = BlendTables();
    const int width = MinOf({dest.Width(), day.Width(), night.Width(), shadow.Width()});
    const int height = MinOf({dest.Height(), day.Height(), night.Height(), shadow.Height()});
    for (int y = 0; y < height; ++y) {
        std::uint8_t* d = dest.Row(y);
        const std::uint8_t* dy = day.Row(y);
        const std::uint8_t* n = night.Row(y);
        const std::uint8_t* s = shadow.Row(y);
        for (int x = 0; x < width; ++x) {
            const std::uint8_t a = s[x];
            const std::uint8_t* mNight = t.M[a];
            const std::uint8_t* mDay = t.M[255 - a];
            const std::size_t o = 3 * static_cast<std::size_t>(x);
            d[o] = t.S[mNight[n[o]]][mDay[dy[o]]];
            d[o + 1] = t.S[mNight[n[o + 1]]][mDay[dy[o + 1]]];
            d[o + 2] = t.S[mNight[n[o + 2]]][mDay[dy[o + 2]]];
        }
    }
}

void BlendThroughShadowExact(TFastDIB& dest, const TFastDIB& day, const TFastDIB& night,
                             const TFastDIB& mask) {
    const int width = day.Width();
    const int height = day.Height();
    if (dest.Width() != width || dest.Height() != height || dest.Bpp() != 24) {
        dest.SetSize(width, height, 24);
    }
    // The mask's weight per pixel: the grey (palette) value of an 8-bit mask, the
    // red byte of a 24-bit one.
    const bool fast = day.Bpp() == 24 && night.Bpp() == 24 && night.Width() >= width &&
                      night.Height() >= height && mask.Width() >= width && mask.Height() >= height;
    for (int y = 0; y < height; ++y) {
        std::uint8_t* d = dest.Row(y);
        if (y == 0) {
            std::memset(d, 0, 3 * static_cast<std::size_t>(width));
            continue;
        }
        if (fast) {
            const std::uint8_t* dy = day.Row(y);
            const std::uint8_t* n = night.Row(y);
            const std::uint8_t* m = mask.Row(y);
            for (int x = 0; x < width; ++x) {
                const int a = mask.Bpp() == 8 ? mask.Palette[m[x]].R : m[3 * x + 2];
                const std::size_t o = 3 * static_cast<std::size_t>(x);
                d[o] = MixByte(dy[o], n[o], a);
                d[o + 1] = MixByte(dy[o + 1], n[o + 1], a);
                d[o + 2] = MixByte(dy[o + 2], n[o + 2], a);
            }
            continue;
        }
        for (int x = 0; x < width; ++x) {
            const TBgr dp = day.GetPixel(x, y);
            TBgr out = dp;
            if (night.Contains(x, y) && mask.Contains(x, y)) {
                const TBgr np = night.GetPixel(x, y);
                const int a = mask.GetPixel(x, y).R;
                out = {MixByte(dp.B, np.B, a), MixByte(dp.G, np.G, a), MixByte(dp.R, np.R, a)};
            }
            dest.SetPixel(x, y, out);
        }
    }
}

void BlendToColor(TFastDIB& dest, const TFastDIB& source, const TFastDIB& mask,
                  std::uint32_t packedColor) {
    const int width = source.Width();
    const int height = source.Height();
    if (&dest != &source &&
        (dest.Width() != width || dest.Height() != height || dest.Bpp() != 24)) {
        dest.SetSize(width, height, 24);
    }
    const TBgr color = UnpackColor(packedColor);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const TBgr sp = source.GetPixel(x, y);
            TBgr out = sp;
            if (mask.Contains(x, y)) {
                const int a = mask.GetPixel(x, y).R;
                out = {MixByte(sp.B, color.B, a), MixByte(sp.G, color.G, a),
                       MixByte(sp.R, color.R, a)};
            }
            dest.SetPixel(x, y, out);
        }
    }
}

// ---------------------------------------------------------------------------
// BMP files

namespace {

void PutU16(std::uint8_t* p, std::uint32_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
}

std::size_t PaletteBytes(const TFastDIB& image) {
    return image.Bpp() == 8 ? 256 * 4 : 0;
}

} // namespace

std::array<std::uint8_t, 54> BitmapFileHeader(const TFastDIB& image) {
    return BitmapFileHeader(image.Width(), image.Height(), image.Bpp());
}

std::array<std::uint8_t, 54> BitmapFileHeader(int width, int height, int bpp) {
    const std::uint64_t pixelBytes = (static_cast<std::uint64_t>(width) * bpp + 31) / 32 * 4 *
                                     static_cast<std::uint64_t>(height);
    const std::uint64_t paletteBytes = bpp == 8 ? 256 * 4 : 0;
    const std::uint64_t fileSize = pixelBytes + paletteBytes + 54;
    KivAssert(fileSize <= 0xFFFFFFFFu, "The image is too large for a BMP file");
    std::array<std::uint8_t, 54> h{};
    h[0] = 'B';
    h[1] = 'M';
    PutU32(&h[2], static_cast<std::uint32_t>(fileSize));
    // h[6..9]: two reserved words, zero.
    PutU32(&h[10], static_cast<std::uint32_t>(paletteBytes + 54));
    PutU32(&h[14], 40);
    PutU32(&h[18], static_cast<std::uint32_t>(width));
    PutU32(&h[22], static_cast<std::uint32_t>(height)); // positive: bottom-up rows
    PutU16(&h[26], 1);                                  // planes
    PutU16(&h[28], static_cast<std::uint32_t>(bpp));
    PutU32(&h[30], 0); // no compression
    PutU32(&h[34], static_cast<std::uint32_t>(pixelBytes));
    // h[38..45]: resolution, unspecified.
    PutU32(&h[46], bpp == 8 ? 256 : 0); // colours used
    PutU32(&h[50], 0);                  // all colours important
    return h;
}

void SaveBitmapFile(const TFastDIB& image, const std::string& fileName) {
    const std::array<std::uint8_t, 54> header = BitmapFileHeader(image);
    std::vector<std::uint8_t> palette(PaletteBytes(image));
    for (std::size_t i = 0; i < palette.size() / 4; ++i) {
        palette[4 * i] = image.Palette[i].B;
        palette[4 * i + 1] = image.Palette[i].G;
        palette[4 * i + 2] = image.Palette[i].R;
    }

    WriteWholeFile(fileName,
                   {std::span<const std::uint8_t>(header), std::span<const std::uint8_t>(palette),
                    std::span<const std::uint8_t>(image.Bits(), image.ImageSize())});
}

} // namespace kiv
