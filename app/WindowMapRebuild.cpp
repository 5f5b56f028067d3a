// The window's side of the map rebuild: after a shadow refresh the composer
// mixes day and night on its worker; the window thread only takes up the
// finished map (wallpaper, view).
#include "app/MapComposer.h"
#include "app/Messages.h"
#include "app/UnitChronara.h"
#include "kiv/KivData.h"

#include <QAction>

namespace app {

void TFormChronara::CreateMapComposer() {
    MapComposer =
        new TMapComposer(kiv::ProgramPath("data\\earth_day.png", Options.ProgramDir),
                         kiv::ProgramPath("data\\earth_night.jpg", Options.ProgramDir), this);
    connect(MapComposer, &TMapComposer::Composed, this, [this] {
        RebuildErrors.Succeeded();
        Guarded([this] { ShowComposedMap(); });
    });
    // A file that cannot be read is said once, not at every shadow refresh,
    // until a composition succeeds again.
    connect(MapComposer, &TMapComposer::Failed, this, [this](const QString& message) {
        if (RebuildErrors.IsNew(message)) {
            ShowError(this, message);
        }
    });
}

const kiv::TFastDIB* TFormChronara::MapShadow() const {
    return ShowSM1->isChecked() && ShadowMap ? &ShadowMap->Shadow : nullptr;
}

void TFormChronara::RequestMapRebuild() {
    MapComposer->Request(MapShadow());
}

void TFormChronara::MapRebuild() {
    // The commands that rebuild the map want it at once.
    MapComposer->ComposeNow(MapShadow());
    ShowComposedMap();
}

void TFormChronara::ShowComposedMap() {
    MapComposer->TakeMap(DayImage);
    Desktop->BuildWallpaper(DayImage, Settings.WallpaperWidth);
    PaintBox->View.RefreshMap();
    PaintBox->LayoutView(true);
}

} // namespace app
