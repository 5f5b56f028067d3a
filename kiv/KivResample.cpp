// The 16.16 bilinear resampling of images (KivFastDIB.h): the general form,
// its rows alone for strips, and the wallpaper form.
#include "kiv/KivFastDIB.h"

#include "kiv/KivBands.h"
#include "kiv/KivErrors.h"

#include <algorithm>
#include <cstdint>
#include <thread>
#include <vector>

namespace kiv {

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

} // namespace kiv
