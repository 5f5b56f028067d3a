// The window's side of the map rebuild: after a shadow refresh the composer
// mixes day and night on its worker; the window thread only takes up the
// finished map (wallpaper, view). And the zone image kept only while used.
#include "app/commandline/DataFiles.h"
#include "app/map/MapComposer.h"
#include "app/text/Messages.h"
#include "app/window/UnitChronara.h"
#include "kiv/KivData.h"
#include "kiv/KivPalette.h"
#include "platform/ProcessMemory.h"

#include <QAction>

#include <exception>
#include <memory>
#include <utility>

namespace app {

void TFormChronara::CreateMapComposer() {
    MapComposer = TMapComposer::FromProgramDir(Options.ProgramDir, this);
    connect(MapComposer, &TMapComposer::Composed, this, [this] {
        RebuildErrors.Succeeded();
        Guarded(this, [this] { ShowComposedMap(); });
    });
    // A file that cannot be read is said once, not at every shadow refresh,
    // until a composition succeeds again.
    connect(MapComposer, &TMapComposer::Failed, this, [this](const QString& message) {
        if (RebuildErrors.IsNew(message)) {
            ShowError(this, message);
        }
    });

    // The zone image is the largest image the window holds and only the
    // pointer's read-outs read it: it is let go after a while without them
    // and read again for the next (never when it could not be read at start).
    auto released = std::make_shared<bool>(false);
    PaintBox->ZonesIdle = [this, released] {
        if (!ZoneImage.Empty()) {
            ZoneImage = kiv::TFastDIB();
            *released = true;
            platform::ReturnFreeMemory();
        }
    };
    PaintBox->ZonesNeeded = [this, released] {
        if (!std::exchange(*released, false)) {
            return;
        }
        try {
            LoadZoneImage();
        } catch (const std::exception& e) {
            ZoneImage = kiv::TFastDIB();
            ShowError(this, QString::fromUtf8(e.what()));
        }
    };
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
