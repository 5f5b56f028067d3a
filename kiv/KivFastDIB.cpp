#include "kiv/KivFastDIB.h"

#include "kiv/KivBands.h"
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
#include <thread>
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
// Resampling

namespace {

// Per destination column: the source column at its position and the 16-bit
// fraction towards the column after it.
struct TColumnMap {
    std::vector<std::uint32_t> Column, Fx;
};

TColumnMap MapColumns(int sourceWidth, int destWidth) {
    TColumnMap map;
    map.Column.resize(static_cast<std::size_t>(destWidth));
    map.Fx.resize(static_cast<std::size_t>(destWidth));
    const std::uint64_t stepX = std::uint64_t(sourceWidth - 1) * 65536 / std::uint64_t(destWidth);
    for (int x = 0; x < destWidth; ++x) {
        const std::uint64_t pos = std::uint64_t(x) * stepX;
        map.Column[static_cast<std::size_t>(x)] = static_cast<std::uint32_t>(pos >> 16);
        map.Fx[static_cast<std::size_t>(x)] = static_cast<std::uint32_t>(pos & 0xFFFF);
    }
    return map;
}

// The resampling of one image, row by row. With a and b the left and right
// pixels of the upper row and c and d those of the lower one, the weighted sum
//     (w0 - r0) a + r0 b + (w1 - r1) c + r1 d
// equals
//     (w0 a + w1 c) + r0 (b - a) + r1 (d - c),
// whose first term depends only on the source column and the two differences
// only on the source rows. They are computed once per source column instead of
// once per destination pixel, which halves the multiplications of an
// enlargement; the result is the same integer.
template <int Channels> class TResampler {
public:
    TResampler(const TFastDIB& source, int destWidth)
        : Source(source), Cols(MapColumns(source.Width(), destWidth)),
          Base(static_cast<std::size_t>(source.Width()) * Channels), Diff0(Base.size()),
          Diff1(Base.size()), RunStart(static_cast<std::size_t>(source.Width()) + 1) {
        // The destination columns of source column c are RunStart[c] up to
        // RunStart[c + 1]: the positions only grow from left to right.
        std::size_t x = 0;
        for (std::size_t c = 0; c < RunStart.size(); ++c) {
            while (x < Cols.Column.size() && Cols.Column[x] < c) {
                ++x;
            }
            RunStart[c] = x;
        }
    }

    void Row(std::uint8_t* out, int r, int next, std::int32_t w0, std::int32_t w1) {
        const int sw = Source.Width();
        if (Cols.Column.size() < static_cast<std::size_t>(sw)) {
            // A reduction visits fewer pixels than the per-column terms would cost.
            DirectRow(out, Source.Row(r), Source.Row(next), static_cast<std::uint32_t>(w0),
                      static_cast<std::uint32_t>(w1));
            return;
        }
        if (r != DiffRow || next != DiffNext) {
            Differences(Source.Row(r), Diff0.data());
            Differences(Source.Row(next), Diff1.data());
            DiffRow = r;
            DiffNext = next;
        }
        const std::uint8_t* upper = Source.Row(r);
        const std::uint8_t* lower = Source.Row(next);
        const std::size_t count = static_cast<std::size_t>(sw) * Channels;
        for (std::size_t i = 0; i < count; ++i) {
            Base[i] = w0 * upper[i] + w1 * lower[i];
        }
        const std::uint32_t* fx = Cols.Fx.data();
        const auto uw0 = static_cast<std::uint32_t>(w0);
        const auto uw1 = static_cast<std::uint32_t>(w1);
        // Source column by source column, its three terms held in locals for
        // the run of destination pixels that lie at it (bytes written through
        // `out` could otherwise be the terms, so they would be read again).
        for (std::size_t c = 0; c + 1 < RunStart.size(); ++c) {
            std::int32_t b[Channels], d0[Channels], d1[Channels];
            for (int k = 0; k < Channels; ++k) {
                b[k] = Base[c * Channels + k];
                d0[k] = Diff0[c * Channels + k];
                d1[k] = Diff1[c * Channels + k];
            }
            const std::size_t end = RunStart[c + 1];
            for (std::size_t x = RunStart[c]; x < end; ++x) {
                const std::uint32_t f = fx[x];
                const auto r0 = static_cast<std::int32_t>((uw0 * f) >> 16);
                const auto r1 = static_cast<std::int32_t>((uw1 * f) >> 16);
                const auto mix = [&](int k) {
                    const std::int32_t sum = b[k] + r0 * d0[k] + r1 * d1[k];
                    out[k] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(sum) >> 16);
                };
                // Written out for the colour images, whose channel loop the
                // compiler would otherwise run as a loop.
                if constexpr (Channels == 3) {
                    mix(0);
                    mix(1);
                    mix(2);
                } else {
                    for (int k = 0; k < Channels; ++k) {
                        mix(k);
                    }
                }
                out += Channels;
            }
        }
    }

private:
    // The weighted sum as written, per destination pixel.
    void DirectRow(std::uint8_t* out, const std::uint8_t* upper, const std::uint8_t* lower,
                   std::uint32_t w0, std::uint32_t w1) const {
        const std::uint32_t last = static_cast<std::uint32_t>(Source.Width() - 1);
        const std::size_t width = Cols.Column.size();
        for (std::size_t x = 0; x < width; ++x) {
            const std::uint32_t f = Cols.Fx[x];
            const std::uint32_t r0 = (w0 * f) >> 16;
            const std::uint32_t l0 = w0 - r0;
            const std::uint32_t r1 = (w1 * f) >> 16;
            const std::uint32_t l1 = w1 - r1;
            const std::uint32_t c = Cols.Column[x];
            const std::size_t left = std::size_t(c) * Channels;
            const std::size_t right = std::size_t(std::min(c + 1, last)) * Channels;
            for (int k = 0; k < Channels; ++k) {
                out[k] = static_cast<std::uint8_t>((l0 * upper[left + k] + r0 * upper[right + k] +
                                                    l1 * lower[left + k] + r1 * lower[right + k]) >>
                                                   16);
            }
            out += Channels;
        }
    }

    // Right neighbour minus pixel, per channel; the last column is its own
    // right neighbour.
    void Differences(const std::uint8_t* row, std::int32_t* diff) const {
        const int sw = Source.Width();
        for (int c = 0; c + 1 < sw; ++c) {
            for (int k = 0; k < Channels; ++k) {
                diff[c * Channels + k] = row[(c + 1) * Channels + k] - row[c * Channels + k];
            }
        }
        for (int k = 0; k < Channels; ++k) {
            diff[(sw - 1) * Channels + k] = 0;
        }
    }

    const TFastDIB& Source;
    TColumnMap Cols;
    std::vector<std::int32_t> Base, Diff0, Diff1;
    std::vector<std::size_t> RunStart;
    int DiffRow = -1;
    int DiffNext = -1;
};

// The shared body of both forms; `nextWeightBonus` is 1 for the general form
// (next row weighs fy + 1) and 0 for the wallpaper form (fy).
// Fills destination rows first..last - 1.
// Fills the rows first..last - 1 of a destWidth x destHeight destination, row
// `first` at `out` and each next one `stride` bytes further.
template <int Channels>
void ResampleRows(const TFastDIB& source, int destWidth, int destHeight,
                  std::int32_t nextWeightBonus, int first, int last, std::uint8_t* out,
                  std::size_t stride) {
    const int sh = source.Height();
    TResampler<Channels> resampler(source, destWidth);
    const std::uint64_t stepY = std::uint64_t(sh - 1) * 65536 / std::uint64_t(destHeight);
    for (int y = first; y < last; ++y, out += stride) {
        const std::uint64_t pos = std::uint64_t(y) * stepY;
        const int r = static_cast<int>(pos >> 16);
        const auto fy = static_cast<std::int32_t>(pos & 0xFFFF);
        const int next = std::min(r + 1, sh - 1);
        resampler.Row(out, r, next, 65536 - fy, fy + nextWeightBonus);
    }
}

template <int Channels>
void ResampleRows(const TFastDIB& source, TFastDIB& dest, std::int32_t nextWeightBonus, int first,
                  int last) {
    ResampleRows<Channels>(source, dest.Width(), dest.Height(), nextWeightBonus, first, last,
                           dest.Row(first), dest.Stride());
}

// A large destination (the batch mode's output, a wallpaper) is split into
// bands of rows that threads fill side by side; every row is computed the same
// way whichever thread does it.
void Resample(const TFastDIB& source, TFastDIB& dest, std::int32_t nextWeightBonus) {
    const auto rows = [&](int first, int last) {
        if (source.Bpp() == 8) {
            ResampleRows<1>(source, dest, nextWeightBonus, first, last);
        } else {
            ResampleRows<3>(source, dest, nextWeightBonus, first, last);
        }
    };
    constexpr std::int64_t pixelsPerBand = std::int64_t(1) << 19;
    const std::int64_t pixels = std::int64_t(dest.Width()) * dest.Height();
    const int bands = static_cast<int>(std::min<std::int64_t>(
        {pixels / pixelsPerBand, std::max(1u, std::thread::hardware_concurrency()), 8,
         dest.Height()}));
    RunInBands(dest.Height(), bands, rows);
}

} // namespace

void ResampleBilinear(const TFastDIB& source, TFastDIB& dest) {
    KivAssert(source.Bpp() == dest.Bpp(), "ResampleBilinear needs images of the same depth");
    if (dest.Empty()) {
        return;
    }
    if (dest.Bpp() == 8) {
        dest.Palette = source.Palette;
    }
    if (source.Empty()) {
        dest.Fill(0);
        return;
    }
    Resample(source, dest, 1);
}

void ResampleBilinearRows(const TFastDIB& source, int destWidth, int destHeight, int first,
                          int last, std::uint8_t* out, std::size_t stride) {
    KivAssert(source.Bpp() == 24 && !source.Empty(), "The row resampling needs a 24-bit image");
    KivAssert(destWidth >= 1 && destHeight >= 1 && 0 <= first && first <= last &&
                  last <= destHeight,
              "The rows to resample lie outside the destination");
    ResampleRows<3>(source, destWidth, destHeight, 1, first, last, out, stride);
}

void ResampleBilinearWallpaper(const TFastDIB& source, TFastDIB& dest) {
    KivAssert(source.Bpp() == 24 && dest.Bpp() == 24,
              "The wallpaper resampling needs 24-bit images");
    if (source.Empty() || dest.Empty()) {
        return;
    }
    Resample(source, dest, 0);
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
