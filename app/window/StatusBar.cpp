#include "app/window/StatusBar.h"

#include "app/window/StatusPanel.h"

#include <QStringList>

#include <algorithm>

namespace app {

namespace {

// The widest texts each status panel shows: it is made wide enough for them
// in the status bar's font.
const QStringList& WidestStatusTexts(int panel) {
    static const QStringList widest[8] = {
        // Place names vary; the window starts wide enough for the first hint.
        {QStringLiteral("Use left Button to pan!")},
        {QStringLiteral("23:59")},
        {QStringLiteral("SR 23:59"), QStringLiteral("SR --:--")},
        {QStringLiteral("SS 23:59"), QStringLiteral("SS --:--")},
        {QStringLiteral("DL 23:59"), QStringLiteral("DL > 24h")},
        {QStringLiteral("SA 90.0") + QChar(0xB0), QStringLiteral("Night")},
        {QStringLiteral("UTC +12.75"), QStringLiteral("UTC -10.5")},
        {QStringLiteral("Lat: -89.99 Long: -179.99")}};
    return widest[panel];
}

} // namespace

TStatusBar::TStatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusBar"));
    setToolTip(QStringLiteral("SR = Sunrise; SS = Sunset; DL = Daylength; SA = Sun Angle"));
    setSizeGripEnabled(false);
    // Each read-out panel is as wide as its widest text; the first panel (the
    // place's name, the hints) takes the rest of the bar. In a window too
    // narrow for them the panels shorten their texts rather than widen the bar.
    for (int i = 0; i < 8; ++i) {
        auto* panel = new TStatusPanel(this);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        const QFontMetrics metrics = panel->fontMetrics();
        int textWidth = 0;
        for (const QString& text : WidestStatusTexts(i)) {
            textWidth = std::max(textWidth, metrics.horizontalAdvance(text));
        }
        // The frame on both sides and the label's indent of half an "x" each.
        const int width =
            textWidth + 2 * panel->frameWidth() + metrics.horizontalAdvance(QLatin1Char('x')) + 2;
        panel->SetPreferredWidth(width);
        if (i != 0) {
            panel->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Preferred);
        }
        addWidget(panel, i == 0 ? 1 : 0);
        Panels[static_cast<std::size_t>(i)] = panel;
    }
    SetPanel(0, QStringLiteral("Use left Button to pan!"));
    // The window starts wide enough for every panel, and can be narrowed below
    // it; from then on the first panel has what the others leave.
    WantedWidth = sizeHint().width();
    Panels[0]->SetPreferredWidth(0);
}

void TStatusBar::SetPanel(int n, const QString& text) {
    Panels[static_cast<std::size_t>(n)]->SetText(text);
}

QString TStatusBar::PanelText(int n) const {
    return Panels[static_cast<std::size_t>(n)]->text();
}

void TStatusBar::ShowReadouts(const TPointReadouts& readouts) {
    SetPanel(7, readouts.LatLong);
    SetPanel(2, readouts.SunRise);
    SetPanel(3, readouts.SunSet);
    SetPanel(4, readouts.DayLength);
    SetPanel(5, readouts.SunAngle);
    if (readouts.ZoneFound) {
        SetPanel(6, readouts.UtcOffset);
        SetPanel(1, readouts.LocalTime);
    }
}

} // namespace app
