#include "app/moment/OverlapBand.h"

#include "app/moment/ShownMoment.h"
#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "kiv/KivTimeZone.h"

#include <QDate>
#include <QEvent>
#include <QHelpEvent>
#include <QLocale>
#include <QPainter>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTime>
#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace app {

namespace {

// The machine's wall-clock date and time of a moment, in the user's short forms.
QString ShortMoment(kiv::TDateTime utc) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    kiv::DecodeDateTime(MachineLocalAt(utc), year, month, day, hour, minute, second, msec);
    const QLocale locale;
    return locale.toString(QDate(year, month, day), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(QTime(hour, minute), QLocale::ShortFormat);
}

} // namespace

TOverlapBand::TState TOverlapBand::StateOf(int count, int places) {
    if (count <= 0) {
        return TState::None;
    }
    return count >= places ? TState::All : TState::Some;
}

QColor TOverlapBand::ColourOf(TState state) {
    // Blue, orange and light grey of a palette made for colour-blind readers;
    // dark, middle and light, so they also differ without any hue.
    switch (state) {
    case TState::All:
        return {0, 114, 178};
    case TState::Some:
        return {230, 159, 0};
    case TState::None:
        break;
    }
    return {221, 221, 221};
}

TOverlapBand::TOverlapBand(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("OverlapBand"));
    setAccessibleName(QString::fromUtf8(strings::OverlapBandName));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

QSize TOverlapBand::sizeHint() const {
    return {200, 6};
}

void TOverlapBand::SetPlaces(const kiv::TTimeZone& db, std::vector<kiv::TPlannerPlace> places) {
    Db = &db;
    Places = std::move(places);
    Recount();
}

void TOverlapBand::SetMoments(std::vector<kiv::TDateTime> momentsUtc) {
    MomentsUtc = std::move(momentsUtc);
    Recount();
}

void TOverlapBand::SetShown(kiv::TDateTime utc) {
    ShownUtc = utc;
    QString description;
    if (Db != nullptr && !Places.empty()) {
        int count = 0;
        for (const kiv::TPlannerPlace& place : Places) {
            const bool within =
                place.Hours.AnyTime ||
                (place.Zone != nullptr && kiv::IsWithinHours(*Db, *place.Zone, place.Hours, utc));
            count += within ? 1 : 0;
        }
        description = TranslateMessage(QString::fromUtf8(strings::OverlapCount))
                          .arg(count)
                          .arg(PlaceCount())
                          .arg(ShortMoment(utc));
    }
    setAccessibleDescription(description);
}

void TOverlapBand::Recount() {
    CellCounts = Db != nullptr ? kiv::OverlapCounts(*Db, Places, MomentsUtc)
                               : std::vector<int>(MomentsUtc.size(), 0);
    SetShown(ShownUtc);
    update();
}

std::pair<double, double> TOverlapBand::CellCentres() const {
    if (Slider == nullptr || Slider->maximum() <= Slider->minimum()) {
        const double cell = MomentsUtc.empty() ? 0.0 : width() / double(MomentsUtc.size());
        return {cell / 2, width() - cell / 2};
    }
    // Where the slider's handle stands at its two ends, in the band's pixels.
    QStyleOptionSlider option;
    option.initFrom(Slider);
    option.orientation = Qt::Horizontal;
    option.minimum = Slider->minimum();
    option.maximum = Slider->maximum();
    option.upsideDown = Slider->invertedAppearance();
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    const QStyle* style = Slider->style();
    const QRect groove =
        style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, Slider);
    const QRect handle =
        style->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, Slider);
    const int span = groove.width() - handle.width();
    const int shift = Slider->mapTo(window(), QPoint()).x() - mapTo(window(), QPoint()).x();
    const auto centreOf = [&](int value) {
        return shift + groove.x() + handle.width() / 2.0 +
               QStyle::sliderPositionFromValue(option.minimum, option.maximum, value, span,
                                               option.upsideDown);
    };
    return {centreOf(option.minimum), centreOf(option.maximum)};
}

int TOverlapBand::CellAt(int x) const {
    const int cells = static_cast<int>(MomentsUtc.size());
    if (cells == 0) {
        return -1;
    }
    const auto [first, last] = CellCentres();
    const double step = cells > 1 ? (last - first) / (cells - 1) : 1.0;
    const int cell = static_cast<int>(std::lround((x - first) / step));
    return cell >= 0 && cell < cells ? cell : -1;
}

QString TOverlapBand::CellText(int cell) const {
    if (cell < 0 || cell >= static_cast<int>(MomentsUtc.size())) {
        return {};
    }
    return TranslateMessage(QString::fromUtf8(strings::OverlapCount))
        .arg(CellCounts[static_cast<std::size_t>(cell)])
        .arg(PlaceCount())
        .arg(ShortMoment(MomentsUtc[static_cast<std::size_t>(cell)]));
}

void TOverlapBand::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int cells = static_cast<int>(MomentsUtc.size());
    if (cells == 0 || Places.empty()) {
        return;
    }
    const auto [first, last] = CellCentres();
    const double step = cells > 1 ? (last - first) / (cells - 1) : width();
    // Runs of one state are filled at once: a fortnight of quarter hours is
    // far more cells than pixels.
    int start = 0;
    for (int i = 1; i <= cells; ++i) {
        const TState state = StateOf(CellCounts[static_cast<std::size_t>(start)], PlaceCount());
        if (i < cells && StateOf(CellCounts[static_cast<std::size_t>(i)], PlaceCount()) == state) {
            continue;
        }
        const double left = first + (start - 0.5) * step;
        const double right = first + (i - 0.5) * step;
        painter.fillRect(QRectF(left, 0, right - left, height()), ColourOf(state));
        start = i;
    }
}

bool TOverlapBand::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString text = Places.empty() ? QString() : CellText(CellAt(help->pos().x()));
        if (text.isEmpty()) {
            QToolTip::hideText();
            event->ignore();
        } else {
            QToolTip::showText(help->globalPos(), text, this);
        }
        return true;
    }
    return QWidget::event(event);
}

} // namespace app
