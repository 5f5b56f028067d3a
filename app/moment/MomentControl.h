// The time control beside the map: a slider that moves the moment shown in
// quarter-hours (the arrow keys and each wheel notch one step, Page Up and
// Page Down a day), a field to type a date and time of this machine's wall
// clock, and the "Now" command that brings the present back.
//
// The slider counts steps from a starting point: the present, or the moment
// last typed. Its middle is that point; it reaches a week either way, and a
// typed moment goes as far as the field allows.
#pragma once

#include "kiv/KivDateTime.h"

#include <QDateTime>
#include <QSlider>
#include <QWidget>

class QAction;
class QDateTimeEdit;
class QLabel;
class QToolButton;

namespace app {

class TOverlapBand;
class TShownMoment;

// A slider that moves one step per wheel notch (a plain slider moves several).
class TMomentSlider : public QSlider {
    Q_OBJECT
public:
    explicit TMomentSlider(QWidget* parent);

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    int WheelRest = 0; // the part of a notch not yet turned into a step
};

class TMomentControl : public QWidget {
    Q_OBJECT
public:
    // Steps of the slider: a quarter-hour each, a day a page, a week each way.
    static constexpr int StepsPerDay = 96;
    static constexpr int StepsEachWay = 7 * StepsPerDay;

    TMomentControl(TShownMoment& moment, QWidget* parent);

    TMomentSlider* Slider;
    QDateTimeEdit* Edit;
    QToolButton* NowButton;
    // "Now": shows the present again.
    QAction* MINow;
    // Under the slider, hidden until the window gives it places: how many are
    // within their working hours at each of the slider's moments.
    TOverlapBand* Band;

    // The moment a position of the slider stands for.
    kiv::TDateTime MomentAtStep(int steps) const;

    // Follows the moment shown: the slider's position, the field's text, and
    // whether "Now" can be used. While the present is shown the field follows
    // the clock, minute by minute, unless the user is typing in it; coming
    // back to the present always shows the present in the field.
    void Synchronise();

private:
    void SliderMoved(int steps);
    void EditFinished();
    void NowClick();
    // Gives the band the slider's moments when they have moved on.
    void FollowRange();

    TShownMoment& Moment;
    // Where the slider's steps count from, and whether that is the present (the
    // slider's middle then shows the present itself).
    kiv::TDateTime Anchor = 0;
    bool AnchorIsPresent = true;
    // The value the control last put into the field.
    QDateTime FieldValue;
    // Whether the present was shown when the control last followed the moment.
    bool ShownPresent = true;
    // The quarter hour after the anchor and the anchor the band last counted for.
    kiv::TDateTime BandNext = -1;
    kiv::TDateTime BandAnchor = -1;
};

} // namespace app
