#include "kiv/KivPalette.h"

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace kiv {

namespace {

// A small open-addressing table from packed colours to palette indices.
class TColorIndex {
public:
    // The index of the colour; a new index while fewer than 256 are taken, -1
    // when the colour is new and the palette is full.
    int Find(std::uint32_t color, std::array<TBgr, 256>& palette, int& used) {
        std::size_t slot = (color * 2654435761u) >> (32 - kBits);
        for (;;) {
            Entry& e = Slots[slot];
            if (e.Index < 0) {
                if (used == 256) {
                    return -1;
                }
                e.Color = color;
                e.Index = used;
                palette[static_cast<std::size_t>(used)] =
                    TBgr{static_cast<std::uint8_t>(color), static_cast<std::uint8_t>(color >> 8),
                         static_cast<std::uint8_t>(color >> 16)};
                return used++;
            }
            if (e.Color == color) {
                return e.Index;
            }
            slot = (slot + 1) & (Slots.size() - 1);
        }
    }

private:
    static constexpr int kBits = 10; // 1024 slots for at most 256 colours
    struct Entry {
        std::uint32_t Color = 0;
        int Index = -1;
    };
    std::vector<Entry> Slots = std::vector<Entry>(std::size_t(1) << kBits);
};

} // namespace

bool ReduceToPalette(TFastDIB& image) {
    if (image.Bpp() != 24 || image.Empty()) {
        return false;
    }
    const int w = image.Width();
    const int h = image.Height();
    TFastDIB reduced(w, h, 8);
    TColorIndex index;
    int used = 0;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* src = image.Row(y);
        std::uint8_t* out = reduced.Row(y);
        std::uint32_t last = 0xffffffffu;
        int lastIndex = 0;
        for (int x = 0; x < w; ++x) {
            const std::uint32_t color = std::uint32_t(src[3 * x]) |
                                        std::uint32_t(src[3 * x + 1]) << 8 |
                                        std::uint32_t(src[3 * x + 2]) << 16;
            if (color != last) {
                lastIndex = index.Find(color, reduced.Palette, used);
                if (lastIndex < 0) {
                    return false;
                }
                last = color;
            }
            out[x] = static_cast<std::uint8_t>(lastIndex);
        }
    }
    image = std::move(reduced);
    return true;
}

} // namespace kiv
