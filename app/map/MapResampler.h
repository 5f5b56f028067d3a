// The map view's resampler: builds the view image, the visible part of the
// map stretched over the paint box, from the map's pixels. It keeps the map in
// the painter's format and the view image between layouts; a pan by whole
// view pixels rolls the kept image and samples only the strips that came into
// view. Both buffers can be let go of while the view is idle.
#pragma once

#include "kiv/KivFastDIB.h"

#include <QImage>
#include <QPoint>
#include <QRect>

#include <cstdint>
#include <functional>
#include <optional>

class QPainter;

namespace app {

class TMapResampler {
public:
    // How the view samples the map, in 16.16 fixed point of map pixels: the
    // centre of view column i lies at ((OriginX + 64 i + 32) * StepX) / 64 on
    // the map, and rows alike. Two layouts whose origins differ by a whole
    // number of view pixels (64 units) sample the same map points, shifted:
    // a pan moves the kept view image instead of resampling it.
    struct TSampling {
        std::int64_t StepX = 0; // map pixels per view pixel, 16.16
        std::int64_t StepY = 0;
        std::int64_t OriginX = 0; // the view's left edge, in 1/64 view pixels
        std::int64_t OriginY = 0;
        bool Smooth = false; // bilinear; otherwise the nearest map pixel
    };
    const TSampling& Sampling() const { return FSampling; }

    // Takes up the map's pixels (stored bottom-up), top row first.
    void TakeMap(const kiv::TFastDIB* map) const;
    // Lets go of the map's copy and the view image; Restore makes them again.
    void Release();
    bool HoldsBuffers() const { return !FViewImage.isNull() || !FMapImage.isNull(); }
    // Makes the buffers let go of again; true when the view image was
    // resampled for it.
    bool Restore(const kiv::TFastDIB* map) const;
    bool HoldsMap() const { return !FMapImage.isNull(); }

    // Sizes the view image to pw x ph; a new size forgets what it held.
    void Resize(int pw, int ph);
    // Nothing to sample (an empty paint box or map): the view image is black.
    void ClearSource();
    // Stretches the map rectangle from (x0, y0), vw x vh map pixels, over the
    // view image, of a map of mapW x mapH.
    void Plan(float x0, float y0, float vw, float vh, int mapW, int mapH, bool smooth);
    // The view image holds the map as Sampling() says.
    bool Current() const { return FViewCurrent && FHasSource; }
    // The map's pixels changed: the view image no longer shows them.
    void MapChanged() { FViewCurrent = false; }

    // The whole view image sampled afresh.
    void ResampleAll() const;
    // The map resampled into `out` for the view pixels of `part` (within the
    // view), exactly as the view image holds them.
    void ResamplePart(QImage& out, const QRect& part) const;

    // The move in whole view pixels from a layout sampled as `before` to this
    // one: view pixel (i, j) now shows what (i + x, j + y) showed. None when
    // the two do not sample the same points or the move leaves nothing kept.
    std::optional<QPoint> WholeMove(const TSampling& before) const;
    // Rolls the view image by such a move and samples the strips that came
    // into view; `fresh` is then called for each piece of them with the
    // stored image, the piece's view rectangle and where it lies in the image.
    void Roll(QPoint move,
              const std::function<void(QImage& image, const QRect& piece, QPoint at)>& fresh);

    // The view image, top row first; painting into it is in view pixels.
    QImage& Unrolled() const;
    // A copy of the view image, top row first.
    QImage ViewImage() const;
    // Draws the view image at the painter's origin.
    void Draw(QPainter& painter) const;

private:
    // Writes the view pixels of `part` into `dest` at `at`.
    void SampleInto(QImage& dest, QPoint at, const QRect& part) const;
    // Calls f(piece, at) for the pieces of the view rectangle `part` and where
    // each lies in the rolled view image.
    template <class F> void ForStored(const QRect& part, F&& f) const;

    // The map, top row first, as the painter reads it.
    mutable QImage FMapImage;
    int FPW = 0;
    int FPH = 0;
    bool FHasSource = false;
    TSampling FSampling;
    mutable QImage FViewImage;
    // False after the map changed or the buffers were let go of.
    mutable bool FViewCurrent = false;
    // The view image is rolled: view pixel (x, y) is stored at
    // ((x + FRollX) mod PW, (y + FRollY) mod PH), so a pan only moves the roll.
    mutable int FRollX = 0;
    mutable int FRollY = 0;
};

} // namespace app
