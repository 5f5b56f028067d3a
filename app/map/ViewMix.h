// The arithmetic of the map view's smoothed (bilinear) resampling, on rows of
// 32-bit pixels. Every channel of a mix of pixels a and b with weight w
// (0..256) is (a * (256 - w) + b * w) / 256 rounded down; a view pixel mixes
// two map rows first, then two neighbours of that mix. Where the processor has
// SSE2 the rows are mixed several pixels at a time, giving the same bytes as
// the plain loops do elsewhere.
#pragma once

#include <cstdint>
#include <vector>

namespace app {

// The mix of two pixels, channel by channel.
std::uint32_t MixPixels(std::uint32_t a, std::uint32_t b, unsigned weight);

// The columns of a resampling: for each view pixel of a row, where the pair of
// neighbours it mixes starts (pixel Offset and the next, counted from the
// first map pixel the row reads) and the pair's weight. Made once per
// resampling and shared by the threads.
class TColumnMix {
public:
    void Reserve(int columns);
    // The next view pixel mixes pixels offset and offset + 1 of the rows' mix.
    void Add(int offset, unsigned weight);
    int Columns() const { return static_cast<int>(FOffsets.size()); }

private:
    friend class TRowMix;
    std::vector<int> FOffsets;
    std::vector<std::uint16_t> FWeights;
};

// One thread's mixing of rows through a TColumnMix, with its own scratch.
class TRowMix {
public:
    // `span` is how many pixels of each map row the columns read: every
    // offset is below it, and where an offset is span - 1 the weight is 0.
    TRowMix(const TColumnMix& columns, int span);
    // out[i] for every column i: the pair at its offset in the mix of the rows
    // `upper` and `lower` (span pixels each) with `weight`, mixed with the
    // column's weight.
    void Mix(const std::uint32_t* upper, const std::uint32_t* lower, unsigned weight,
             std::uint32_t* out);

private:
    const TColumnMix& FColumns;
    int FSpan;
    // The rows' mix: packed pixels, or each channel widened to 16 bits.
    std::vector<std::uint32_t> FMixed;
    std::vector<std::int16_t> FWide;
};

} // namespace app
