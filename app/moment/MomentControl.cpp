#include "app/moment/MomentControl.h"

#include "app/moment/OverlapBand.h"
#include "app/moment/ShownMoment.h"

#include <QAction>
#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <vector>

namespace app {

namespace {

// The field shows and takes wall-clock times of this machine; Qt's own zone
// handling stays out of it (the replaceable clock decides the offsets).
QDateTime ToFieldValue(kiv::TDateTime local) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    kiv::DecodeDateTime(local, year, month, day, hour, minute, second, msec);
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
}

kiv::TDateTime FromFieldValue(const QDateTime& value) {
    const QDate d = value.date();
    const QTime t = value.time();
    return kiv::EncodeDateTime(d.year(), d.month(), d.day(), t.hour(), t.minute(), 0, 0);
}

} // namespace

TMomentSlider::TMomentSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {}

void TMomentSlider::wheelEvent(QWheelEvent* event) {
    // One notch (120 eighths of a degree) is one step; finer wheels add up.
    WheelRest += event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    const int steps = WheelRest / 120;
    WheelRest -= steps * 120;
    if (steps != 0) {
        setValue(value() + (invertedControls() ? -steps : steps));
    }
    event->accept();
}

TMomentControl::TMomentControl(TShownMoment& moment, QWidget* parent)
    : QWidget(parent), Moment(moment) {
    setObjectName(QStringLiteral("MomentControl"));
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 0);

    Slider = new TMomentSlider(this);
    Slider->setObjectName(QStringLiteral("MomentSlider"));
    Slider->setRange(-StepsEachWay, StepsEachWay);
    Slider->setSingleStep(1);
    Slider->setPageStep(StepsPerDay);
    Slider->setValue(0);
    // A tick at every day.
    Slider->setTickPosition(QSlider::TicksBelow);
    Slider->setTickInterval(StepsPerDay);
    // Focus only by a click: the window's arrow keys pan the map until the
    // user turns to the control.
    Slider->setFocusPolicy(Qt::ClickFocus);
    Slider->setToolTip(QStringLiteral("Show the world at another moment: a quarter of an hour "
                                      "per step, a day with Page Up and Page Down"));
    Slider->setAccessibleName(QStringLiteral("Moment shown"));
    // The slider with the overlap band along it.
    auto* column = new QVBoxLayout;
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(1);
    column->addWidget(Slider);
    Band = new TOverlapBand(this);
    Band->FollowSlider(Slider);
    Band->hide();
    column->addWidget(Band);
    row->addLayout(column, 1);

    Edit = new QDateTimeEdit(this);
    Edit->setObjectName(QStringLiteral("MomentEdit"));
    Edit->setTimeSpec(Qt::UTC);
    Edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm"));
    // The years the sun's position can be computed for.
    Edit->setDateTimeRange(QDateTime(QDate(1800, 1, 1), QTime(0, 0), Qt::UTC),
                           QDateTime(QDate(2200, 12, 31), QTime(23, 59), Qt::UTC));
    Edit->setCalendarPopup(true);
    Edit->setFocusPolicy(Qt::ClickFocus);
    Edit->setKeyboardTracking(false);
    Edit->setToolTip(QStringLiteral("Type a date and time of this computer's clock and press "
                                    "Enter to show the world then"));
    Edit->setAccessibleName(QStringLiteral("Date and time shown"));
    row->addWidget(Edit);

    MINow = new QAction(QStringLiteral("Now"), this);
    MINow->setObjectName(QStringLiteral("MINow"));
    MINow->setToolTip(QStringLiteral("Show the present again"));
    NowButton = new QToolButton(this);
    NowButton->setObjectName(QStringLiteral("TBNow"));
    NowButton->setDefaultAction(MINow);
    NowButton->setFocusPolicy(Qt::NoFocus);
    row->addWidget(NowButton);

    connect(Slider, &QSlider::valueChanged, this, &TMomentControl::SliderMoved);
    // Pressing the slider or the field counts as using the control.
    connect(Slider, &QSlider::sliderPressed, this, [this] { Moment.Touch(); });
    connect(Edit, &QDateTimeEdit::editingFinished, this, &TMomentControl::EditFinished);
    connect(MINow, &QAction::triggered, this, &TMomentControl::NowClick);
    connect(&Moment, &TShownMoment::Changed, this, &TMomentControl::Synchronise);
    Synchronise();
}

void TMomentControl::SliderMoved(int steps) {
    if (steps == 0 && AnchorIsPresent) {
        Moment.ShowPresent();
        return;
    }
    if (AnchorIsPresent && Moment.IsPresent()) {
        // Leaving the present: the steps count from this moment on.
        Anchor = PresentUtc();
    }
    Moment.Show(SteppedMoment(Anchor, steps));
}

void TMomentControl::EditFinished() {
    // Enter re-reads the field even when nothing was typed: only a value
    // other than the one the control put there is a moment picked.
    if (Edit->dateTime() == FieldValue) {
        // Left without a change: what is shown stays, the present live.
        return;
    }
    const kiv::TDateTime utc = UtcOfMachineLocal(FromFieldValue(Edit->dateTime()));
    Anchor = utc;
    AnchorIsPresent = false;
    {
        const QSignalBlocker block(Slider);
        Slider->setValue(0);
    }
    Moment.Show(utc);
}

void TMomentControl::NowClick() {
    AnchorIsPresent = true;
    {
        const QSignalBlocker block(Slider);
        Slider->setValue(0);
    }
    Moment.ShowPresent();
    Synchronise();
}

kiv::TDateTime TMomentControl::MomentAtStep(int steps) const {
    const kiv::TDateTime anchor = AnchorIsPresent && Moment.IsPresent() ? PresentUtc() : Anchor;
    return SteppedMoment(anchor, steps);
}

void TMomentControl::FollowRange() {
    const kiv::TDateTime anchor = AnchorIsPresent && Moment.IsPresent() ? PresentUtc() : Anchor;
    const kiv::TDateTime next = SteppedMoment(anchor, 1);
    // While the present is the anchor, the band counts again when it enters
    // another quarter hour, not every second; its own cell keeps the moment
    // it was counted at, a moment of the same quarter hour.
    if (next == BandNext && (AnchorIsPresent || anchor == BandAnchor)) {
        return;
    }
    BandNext = next;
    BandAnchor = anchor;
    std::vector<kiv::TDateTime> moments;
    moments.reserve(2 * StepsEachWay + 1);
    for (int steps = -StepsEachWay; steps <= StepsEachWay; ++steps) {
        moments.push_back(SteppedMoment(anchor, steps));
    }
    Band->SetMoments(std::move(moments));
}

void TMomentControl::Synchronise() {
    const bool present = Moment.IsPresent();
    FollowRange();
    Band->SetShown(Moment.Utc());
    MINow->setEnabled(!present);
    // The field of a picked moment wears the mark's amber.
    QPalette look;
    if (!present) {
        look.setColor(QPalette::Base, QColor(255, 191, 0));
        look.setColor(QPalette::Text, Qt::black);
    }
    Edit->setPalette(look);
    if (present) {
        AnchorIsPresent = true;
        if (Slider->value() != 0 && !Slider->isSliderDown()) {
            const QSignalBlocker block(Slider);
            Slider->setValue(0);
        }
    }
    // A return to the present ("Now", ten idle minutes, the map hidden)
    // replaces whatever the field holds, typed text included.
    const bool cameBack = present && !ShownPresent;
    ShownPresent = present;
    if (Edit->hasFocus() && present && !cameBack) {
        // The user is typing: the field is theirs until they finish; the
        // clock's minutes do not overwrite it.
        return;
    }
    FieldValue = ToFieldValue(MachineLocalAt(Moment.Utc()));
    if (Edit->dateTime() != FieldValue) {
        const QSignalBlocker block(Edit);
        Edit->setDateTime(FieldValue);
    }
}

} // namespace app
