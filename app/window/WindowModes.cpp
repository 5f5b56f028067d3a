#include "app/window/WindowModes.h"

#include "app/map/MapWidget.h"
#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "app/window/StatusBar.h"

#include <QAction>
#include <QList>
#include <QMainWindow>

namespace app {

TWindowModes::TWindowModes(const TParts& parts, QObject* parent)
    : QObject(parent), Parts(parts),
      WindowHeight(*parts.Window, *parts.PanelClient, *parts.StatusBar, *parts.PanelLocations) {
    setObjectName(QStringLiteral("WindowModes"));
}

void TWindowModes::SetHighlightCities(bool on) {
    Parts.MIHighlightCities->setChecked(on);
    Parts.AddLocationsoverMap1->setChecked(on);
    if (!on) {
        Parts.StatusBar->SetPanel(0, TranslateMessage(QString::fromUtf8(strings::PanHint)));
    }
    Parts.PaintBox->LayoutView(true);
}

void TWindowModes::SetShowClock(bool on) {
    Parts.ShowClock->setChecked(on);
    Parts.PanelClock->setVisible(on);
}

void TWindowModes::ShowMapClick() {
    if (!Parts.MultiMode->isChecked()) {
        // Without the list the map is all there is: it cannot be hidden.
        Parts.PIShowMap->setChecked(!Parts.PIShowMap->isChecked());
        return;
    }
    const bool show = Parts.PIShowMap->isChecked();
    Parts.ShowMap1->setChecked(show);
    WindowHeight.ShowMap(show);
}

void TWindowModes::SetMultiMode(bool on) {
    Parts.MultiMode->setChecked(on);
    const QList<QAction*> listItems = {Parts.PIRemoveLocation, Parts.MIHighlightCities,
                                       Parts.PIShowMap};
    if (on) {
        Parts.AddLocationWizard1->setText(
            TranslateMessage(QString::fromUtf8(strings::AddLocation)));
        Parts.PanelLocations->show();
        for (QAction* a : listItems) {
            a->setEnabled(true);
        }
        Parts.ShowClock->setEnabled(true);
        return;
    }
    if (WindowHeight.MapHidden()) {
        // Without the list only the map and the clock are left to show, so a
        // hidden map comes back first (while the list is still on, as "Show
        // Map" requires).
        Parts.MultiMode->setChecked(true);
        Parts.PIShowMap->setChecked(true);
        ShowMapClick();
        Parts.MultiMode->setChecked(false);
    }
    Parts.AddLocationWizard1->setText(TranslateMessage(QString::fromUtf8(strings::ChangeLocation)));
    Parts.PanelLocations->hide();
    for (QAction* a : listItems) {
        a->setEnabled(false);
    }
    if (!Parts.ShowClock->isChecked()) {
        SetShowClock(true);
    }
    if (!Parts.MIHighlightCities->isChecked()) {
        SetHighlightCities(true);
    }
    Parts.ShowClock->setEnabled(false);
}

} // namespace app
