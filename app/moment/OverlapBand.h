// The band along the time control: for each of the control's moments, how
// many of the listed places are within their working hours then: all of them,
// some or none, in three colours that differ in lightness as well as hue, so
// they stay apart for colour-blind eyes and in grey. The count and the moment
// are in the tooltip; the count at the shown moment is in the description a
// screen reader reads.
#pragma once

#include "kiv/KivMeetingPlanner.h"

#include <QColor>
#include <QWidget>

#include <vector>

class QSlider;

namespace kiv {
struct TTimeZone;
}

namespace app {

class TOverlapBand : public QWidget {
    Q_OBJECT
public:
    enum class TState { None, Some, All };
    static TState StateOf(int count, int places);
    static QColor ColourOf(TState state);

    explicit TOverlapBand(QWidget* parent);

    // The places taking part, in the database they point into (which must
    // outlive the band). Counts again.
    void SetPlaces(const kiv::TTimeZone& db, std::vector<kiv::TPlannerPlace> places);
    // The moments (UTC, rising) the cells stand for. Counts again.
    void SetMoments(std::vector<kiv::TDateTime> momentsUtc);
    // The slider whose positions the cells line up with; without one they
    // share the band's width evenly.
    void FollowSlider(const QSlider* slider) { Slider = slider; }
    // The moment shown: its count goes into the accessible description.
    void SetShown(kiv::TDateTime utc);

    const std::vector<kiv::TDateTime>& Moments() const { return MomentsUtc; }
    const std::vector<int>& Counts() const { return CellCounts; }
    int PlaceCount() const { return static_cast<int>(Places.size()); }
    // The cell under a point of the band, -1 for none; its text for the tooltip.
    int CellAt(int x) const;
    QString CellText(int cell) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    void Recount();
    // The horizontal centre of the first and last cell in the band's pixels.
    std::pair<double, double> CellCentres() const;

    const kiv::TTimeZone* Db = nullptr;
    std::vector<kiv::TPlannerPlace> Places;
    std::vector<kiv::TDateTime> MomentsUtc;
    std::vector<int> CellCounts;
    const QSlider* Slider = nullptr;
    kiv::TDateTime ShownUtc = 0;
};

} // namespace app
