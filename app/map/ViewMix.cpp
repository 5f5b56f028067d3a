#include "app/map/ViewMix.h"

#include <cstddef>

#if defined(__SSE2__) || defined(_M_X64)
#include <emmintrin.h>
#define CHRONARA_VIEW_MIX_SSE2 1
#endif

namespace app {

std::uint32_t MixPixels(std::uint32_t a, std::uint32_t b, unsigned weight) {
    // Two channels at a time: each sum stays below 65536, so none carries
    // into the next.
    const std::uint32_t keep = 256 - weight;
    const std::uint32_t rb = (((a & 0xff00ffu) * keep + (b & 0xff00ffu) * weight) >> 8) & 0xff00ffu;
    const std::uint32_t ag =
        (((a >> 8) & 0xff00ffu) * keep + ((b >> 8) & 0xff00ffu) * weight) & 0xff00ff00u;
    return rb | ag;
}

void TColumnMix::Reserve(int columns) {
    FOffsets.clear();
    FWeights.clear();
    FOffsets.reserve(static_cast<std::size_t>(columns));
    FWeights.reserve(4 * static_cast<std::size_t>(columns));
}

void TColumnMix::Add(int offset, unsigned weight) {
    FOffsets.push_back(offset);
    // Four lanes of twice the weight (see TRowMix::Mix).
    FWeights.insert(FWeights.end(), 4, static_cast<std::uint16_t>(2 * weight));
}

TRowMix::TRowMix(const TColumnMix& columns, int span) : FColumns(columns), FSpan(span) {
    const auto pixels = static_cast<std::size_t>(span);
#ifdef CHRONARA_VIEW_MIX_SSE2
    // One pixel more, left 0: the right neighbour of the last, whose weight is 0.
    FWide.resize(4 * (pixels + 1));
#else
    FMixed.resize(pixels + 1);
#endif
}

#ifdef CHRONARA_VIEW_MIX_SSE2

void TRowMix::Mix(const std::uint32_t* upper, const std::uint32_t* lower, unsigned weight,
                  std::uint32_t* out) {
    // The rows: each channel widened to 16 bits, where a * (256 - w) + b * w
    // (at most 255 * 256) fits, then shifted down: the rounded-down mix.
    const __m128i zero = _mm_setzero_si128();
    const __m128i keep = _mm_set1_epi16(static_cast<short>(256 - weight));
    const __m128i take = _mm_set1_epi16(static_cast<short>(weight));
    std::int16_t* wide = FWide.data();
    int x = 0;
    for (; x + 4 <= FSpan; x += 4) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(upper + x));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(lower + x));
        const __m128i low =
            _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(a, zero), keep),
                                         _mm_mullo_epi16(_mm_unpacklo_epi8(b, zero), take)),
                           8);
        const __m128i high =
            _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(a, zero), keep),
                                         _mm_mullo_epi16(_mm_unpackhi_epi8(b, zero), take)),
                           8);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(wide + 4 * x), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(wide + 4 * x + 8), high);
    }
    for (; x < FSpan; ++x) {
        const std::uint32_t mixed = MixPixels(upper[x], lower[x], weight);
        for (int c = 0; c < 4; ++c) {
            wide[4 * x + c] = static_cast<std::int16_t>((mixed >> (8 * c)) & 0xff);
        }
    }

    // The columns, two pixels to a register: a pair is one load of a pixel
    // and its right neighbour, and a + (b - a) * w / 256 rounded down is a
    // plus the high half of (128 (b - a)) * (2 w), exactly.
    const int n = FColumns.Columns();
    const int* offsets = FColumns.FOffsets.data();
    const std::uint16_t* weights = FColumns.FWeights.data();
    const auto twoPixels = [&](int i) {
        const __m128i first =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(wide + 4 * offsets[i]));
        const __m128i second =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(wide + 4 * offsets[i + 1]));
        const __m128i left = _mm_unpacklo_epi64(first, second);
        const __m128i right = _mm_unpackhi_epi64(first, second);
        const __m128i w = _mm_loadu_si128(reinterpret_cast<const __m128i*>(weights + 4 * i));
        return _mm_add_epi16(left,
                             _mm_mulhi_epi16(_mm_slli_epi16(_mm_sub_epi16(right, left), 7), w));
    };
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i),
                         _mm_packus_epi16(twoPixels(i), twoPixels(i + 2)));
    }
    for (; i < n; ++i) {
        const std::int16_t* pair = wide + 4 * offsets[i];
        const int w = weights[4 * i];
        std::uint32_t pixel = 0;
        for (int c = 0; c < 4; ++c) {
            // The arithmetic shift rounds down, as the vector's high half does.
            const int v = pair[c] + ((128 * (pair[4 + c] - pair[c]) * w) >> 16);
            pixel |= static_cast<std::uint32_t>(v) << (8 * c);
        }
        out[i] = pixel;
    }
}

#else

void TRowMix::Mix(const std::uint32_t* upper, const std::uint32_t* lower, unsigned weight,
                  std::uint32_t* out) {
    std::uint32_t* mixed = FMixed.data();
    for (int x = 0; x < FSpan; ++x) {
        mixed[x] = MixPixels(upper[x], lower[x], weight);
    }
    const int n = FColumns.Columns();
    for (int i = 0; i < n; ++i) {
        const std::uint32_t* pair = mixed + FColumns.FOffsets[static_cast<std::size_t>(i)];
        out[i] =
            MixPixels(pair[0], pair[1], FColumns.FWeights[4 * static_cast<std::size_t>(i)] / 2u);
    }
}

#endif

} // namespace app
