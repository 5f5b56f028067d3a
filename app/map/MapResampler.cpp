#include "app/map/MapResampler.h"

#include "app/map/ViewMix.h"

#include "kiv/KivBands.h"
#include "kiv/KivErrors.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <thread>
#include <type_traits>
#include <vector>

namespace app {

namespace {

// A resampling of at least this many view pixels runs on both cores.
constexpr std::int64_t kBandPixels = 300000;

// Where a view pixel's samples lie along one axis: the two map pixels and the
// weight (0..256) of the second. Nearest sampling has both the same.
struct TTap {
    int First = 0;
    int Second = 0;
    unsigned Weight = 0;
};

TTap Tap(std::int64_t origin, std::int64_t step, int at, int size, bool smooth) {
    const std::int64_t centre = (origin + 64 * std::int64_t(at) + 32) * step / 64;
    TTap tap;
    if (!smooth) {
        tap.First = tap.Second =
            static_cast<int>(std::clamp<std::int64_t>(centre >> 16, 0, size - 1));
        return tap;
    }
    // Bilinear: between the pixel centres on either side.
    const std::int64_t p = centre - 32768;
    const std::int64_t first = p >> 16;
    if (first < 0) {
        return tap;
    }
    if (first >= size - 1) {
        tap.First = tap.Second = size - 1;
        return tap;
    }
    tap.First = static_cast<int>(first);
    tap.Second = tap.First + 1;
    tap.Weight = static_cast<unsigned>((p >> 8) & 0xff);
    return tap;
}

} // namespace

template <class F> void TMapResampler::ForStored(const QRect& part, F&& f) const {
    const int x = (part.left() + FRollX) % FPW;
    const int y = (part.top() + FRollY) % FPH;
    const int w1 = std::min(part.width(), FPW - x);
    const int h1 = std::min(part.height(), FPH - y);
    const int w2 = part.width() - w1;
    const int h2 = part.height() - h1;
    f(QRect(part.left(), part.top(), w1, h1), QPoint(x, y));
    if (w2 > 0) {
        f(QRect(part.left() + w1, part.top(), w2, h1), QPoint(0, y));
    }
    if (h2 > 0) {
        f(QRect(part.left(), part.top() + h1, w1, h2), QPoint(x, 0));
        if (w2 > 0) {
            f(QRect(part.left() + w1, part.top() + h1, w2, h2), QPoint(0, 0));
        }
    }
}

void TMapResampler::TakeMap(const kiv::TFastDIB* map) const {
    if (map == nullptr) {
        return;
    }
    const int w = map->Width();
    const int h = map->Height();
    if (FMapImage.width() != w || FMapImage.height() != h) {
        FMapImage = QImage(w, h, QImage::Format_RGB32);
    }
    for (int y = 0; y < h; ++y) {
        // Stored rows run bottom-up.
        const std::uint8_t* src = map->Row(h - 1 - y);
        auto* out = reinterpret_cast<QRgb*>(FMapImage.scanLine(y));
        if (map->Bpp() == 24) {
            for (int x = 0; x < w; ++x) {
                out[x] = qRgb(src[3 * x + 2], src[3 * x + 1], src[3 * x]);
            }
        } else {
            for (int x = 0; x < w; ++x) {
                const kiv::TBgr c = map->Palette[src[x]];
                out[x] = qRgb(c.R, c.G, c.B);
            }
        }
    }
}

void TMapResampler::Release() {
    FViewImage = QImage();
    FMapImage = QImage();
    FViewCurrent = false;
    FRollX = 0;
    FRollY = 0;
}

bool TMapResampler::Restore(const kiv::TFastDIB* map) const {
    if (FMapImage.isNull()) {
        TakeMap(map);
    }
    if (FViewImage.isNull() && FPW > 0 && FPH > 0) {
        FViewImage = QImage(FPW, FPH, QImage::Format_RGB32);
        ResampleAll();
        return true;
    }
    return false;
}

void TMapResampler::Resize(int pw, int ph) {
    FPW = pw;
    FPH = ph;
    if (FViewImage.width() != FPW || FViewImage.height() != FPH) {
        // Every pixel is written before it is shown: by the resampling, or black.
        FViewImage = QImage(FPW, FPH, QImage::Format_RGB32);
        FViewCurrent = false;
        FRollX = 0;
        FRollY = 0;
    }
}

void TMapResampler::ClearSource() {
    FHasSource = false;
    FViewCurrent = false;
    FViewImage.fill(Qt::black);
}

void TMapResampler::Plan(float x0, float y0, float vw, float vh, int mapW, int mapH, bool smooth) {
    const float w = static_cast<float>(mapW);
    const float h = static_cast<float>(mapH);
    // Float rounding of the bounds must never reach outside the map.
    x0 = std::clamp(x0, 0.f, w);
    y0 = std::clamp(y0, 0.f, h);
    vw = std::clamp(vw, 0.f, w - x0);
    vh = std::clamp(vh, 0.f, h - y0);
    kiv::KivAssert(x0 >= 0 && y0 >= 0 && x0 + vw <= w && y0 + vh <= h,
                   "Map view rectangle outside the map");
    FHasSource = true;
    // The source rectangle is stretched over the whole view (per axis: a map
    // smaller than the view fills it).
    const double stepX = static_cast<double>(vw) / FPW;
    const double stepY = static_cast<double>(vh) / FPH;
    FSampling.StepX = std::llround(stepX * 65536);
    FSampling.StepY = std::llround(stepY * 65536);
    FSampling.OriginX = stepX > 0 ? std::llround(x0 / stepX * 64) : 0;
    FSampling.OriginY = stepY > 0 ? std::llround(y0 / stepY * 64) : 0;
    FSampling.Smooth = smooth;
}

void TMapResampler::SampleInto(QImage& dest, QPoint at, const QRect& part) const {
    static_assert(std::is_same_v<QRgb, std::uint32_t>, "the mixes read QRgb rows");
    if (part.isEmpty()) {
        return;
    }
    const int w = part.width();
    const int mapW = FMapImage.width();
    const int mapH = FMapImage.height();
    const bool smooth = FSampling.Smooth;
    std::vector<TTap> columns(static_cast<std::size_t>(w));
    for (int i = 0; i < w; ++i) {
        columns[static_cast<std::size_t>(i)] =
            Tap(FSampling.OriginX, FSampling.StepX, part.left() + i, mapW, smooth);
    }
    // Columns only grow from left to right.
    const int first = columns.front().First;
    const int last = columns.back().Second;
    // Smoothed, each view pixel mixes a pair of neighbours in the rows' mix:
    // the second of a pair is First + 1, or any pixel where the weight is 0
    // (at the map's edges).
    TColumnMix pairs;
    if (smooth) {
        pairs.Reserve(w);
        for (const TTap& c : columns) {
            pairs.Add(c.First - first, c.Weight);
        }
    }
    // Pointers taken here: the bands below must not detach either image.
    uchar* const destBits = dest.bits();
    const qsizetype destLine = dest.bytesPerLine();
    const uchar* const mapBits = FMapImage.constBits();
    const qsizetype mapLine = FMapImage.bytesPerLine();
    const auto rows = [&](int top, int bottom) {
        // The two map rows are mixed once over the columns this part reads.
        std::optional<TRowMix> mix;
        if (smooth) {
            mix.emplace(pairs, last - first + 1);
        }
        for (int r = top; r < bottom; ++r) {
            const TTap row = Tap(FSampling.OriginY, FSampling.StepY, part.top() + r, mapH, smooth);
            auto* out = reinterpret_cast<QRgb*>(destBits + (at.y() + r) * destLine) + at.x();
            const auto* upper = reinterpret_cast<const QRgb*>(mapBits + row.First * mapLine);
            if (!smooth) {
                for (int i = 0; i < w; ++i) {
                    out[i] = upper[columns[static_cast<std::size_t>(i)].First];
                }
                continue;
            }
            const auto* lower = reinterpret_cast<const QRgb*>(mapBits + row.Second * mapLine);
            mix->Mix(upper + first, lower + first, row.Weight, out);
        }
    };
    const bool large = std::int64_t(w) * part.height() >= kBandPixels;
    kiv::RunInBands(
        part.height(),
        large ? static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 2u)) : 1,
        rows);
}

void TMapResampler::ResamplePart(QImage& out, const QRect& part) const {
    if (out.size() != part.size() || out.format() != QImage::Format_RGB32) {
        out = QImage(part.size(), QImage::Format_RGB32);
    }
    if (!FHasSource || part.isEmpty()) {
        out.fill(Qt::black);
        return;
    }
    SampleInto(out, QPoint(0, 0), part);
}

void TMapResampler::ResampleAll() const {
    FRollX = 0;
    FRollY = 0;
    if (!FHasSource || FViewImage.isNull()) {
        FViewImage.fill(Qt::black);
        FViewCurrent = false;
        return;
    }
    SampleInto(FViewImage, QPoint(0, 0), QRect(0, 0, FPW, FPH));
    FViewCurrent = true;
}

std::optional<QPoint> TMapResampler::WholeMove(const TSampling& before) const {
    const TSampling& now = FSampling;
    if (before.StepX != now.StepX || before.StepY != now.StepY || before.Smooth != now.Smooth) {
        return std::nullopt;
    }
    const std::int64_t moveX = now.OriginX - before.OriginX;
    const std::int64_t moveY = now.OriginY - before.OriginY;
    if (moveX % 64 != 0 || moveY % 64 != 0) {
        return std::nullopt;
    }
    const int kx = static_cast<int>(moveX / 64);
    const int ky = static_cast<int>(moveY / 64);
    if (std::abs(kx) >= FPW || std::abs(ky) >= FPH) {
        return std::nullopt;
    }
    return QPoint(kx, ky);
}

void TMapResampler::Roll(
    QPoint move, const std::function<void(QImage& image, const QRect& piece, QPoint at)>& fresh) {
    const int kx = move.x();
    const int ky = move.y();
    if (kx == 0 && ky == 0) {
        return;
    }
    FRollX = (FRollX + kx + FPW) % FPW;
    FRollY = (FRollY + ky + FPH) % FPH;
    const int toX = std::max(-kx, 0);
    // The strips that came into view: whole columns, then the rest of the rows.
    const QRect columns = kx > 0   ? QRect(FPW - kx, 0, kx, FPH)
                          : kx < 0 ? QRect(0, 0, -kx, FPH)
                                   : QRect();
    const QRect rows = (ky > 0   ? QRect(0, FPH - ky, FPW, ky)
                        : ky < 0 ? QRect(0, 0, FPW, -ky)
                                 : QRect()) &
                       QRect(toX, 0, FPW - std::abs(kx), FPH);
    for (const QRect& strip : {columns, rows}) {
        if (strip.isEmpty()) {
            continue;
        }
        ForStored(strip, [&](const QRect& piece, QPoint at) {
            SampleInto(FViewImage, at, piece);
            if (fresh) {
                fresh(FViewImage, piece, at);
            }
        });
    }
}

QImage& TMapResampler::Unrolled() const {
    if (FRollX != 0 || FRollY != 0) {
        ResampleAll();
    }
    return FViewImage;
}

QImage TMapResampler::ViewImage() const {
    if (FRollX == 0 && FRollY == 0) {
        return FViewImage;
    }
    QImage unrolled(FViewImage.size(), FViewImage.format());
    QPainter painter(&unrolled);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    Draw(painter);
    return unrolled;
}

void TMapResampler::Draw(QPainter& painter) const {
    if (FPW > 0 && FPH > 0) {
        ForStored(QRect(0, 0, FPW, FPH), [&](const QRect& piece, QPoint at) {
            painter.drawImage(piece.topLeft(), FViewImage, QRect(at, piece.size()));
        });
    }
}

} // namespace app
