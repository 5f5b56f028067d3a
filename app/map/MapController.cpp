#include "app/map/MapController.h"

#include "app/commandline/DataFiles.h"
#include "app/map/MapComposer.h"
#include "app/map/MapWidget.h"
#include "app/moment/MomentShadow.h"
#include "app/moment/ShownMoment.h"
#include "app/text/Messages.h"
#include "kiv/KivData.h"
#include "kiv/KivFastDibLoaders.h"
#include "kiv/KivPalette.h"
#include "platform/PostedCalls.h"
#include "platform/ProcessMemory.h"

#include <exception>
#include <utility>

namespace app {

TMapController::TMapController(const TParts& parts, QObject* parent)
    : QObject(parent), Parts(parts), Posted(new platform::TPostedCalls(this)) {
    setObjectName(QStringLiteral("MapController"));
    CreateComposers();
    MomentShadow = new TMomentShadow(this);
    connect(MomentShadow, &TMomentShadow::Ready, this,
            [this] { Guarded(Parts.Window, [this] { MomentShadowReady(); }); });
    Parts.View->ShownUtc = [moment = Parts.Moment] { return moment->Utc(); };

    // The zone image is the largest image the pipeline holds and only the
    // pointer's read-outs read it: it is let go after a while without them
    // and read again for the next (never when it could not be read at start).
    auto released = std::make_shared<bool>(false);
    Parts.View->ZonesIdle = [this, released] {
        if (!Zones.Empty()) {
            Zones = kiv::TFastDIB();
            *released = true;
            platform::ReturnFreeMemory();
        }
    };
    Parts.View->ZonesNeeded = [this, released] {
        if (!std::exchange(*released, false)) {
            return;
        }
        try {
            LoadZoneImage();
        } catch (const std::exception& e) {
            Zones = kiv::TFastDIB();
            ShowError(Parts.Window, QString::fromUtf8(e.what()));
        }
    };
}

TMapController::~TMapController() {
    *Alive = false;
    // The worker's completion can no longer reach the controller; a worker
    // still running is detached by the shadow map's own destructor.
    Parts.View->SetWorld(nullptr, nullptr);
    PresentShadow.reset();
}

void TMapController::CreateComposers() {
    Composer = TMapComposer::FromProgramDir(Parts.ProgramDir, this);
    Composer->setObjectName(QStringLiteral("MapComposer"));
    connect(Composer, &TMapComposer::Composed, this, [this] {
        RebuildErrors.Succeeded();
        Guarded(Parts.Window, [this] { ShowComposedMap(); });
    });
    // A file that cannot be read is said once, not at every shadow refresh,
    // until a composition succeeds again.
    connect(Composer, &TMapComposer::Failed, this, [this](const QString& message) {
        if (RebuildErrors.IsNew(message)) {
            ShowError(Parts.Window, message);
        }
    });
    MomentComposer = TMapComposer::FromProgramDir(Parts.ProgramDir, this);
    MomentComposer->setObjectName(QStringLiteral("MomentComposer"));
    connect(MomentComposer, &TMapComposer::Composed, this,
            [this] { Guarded(Parts.Window, [this] { MomentComposed(); }); });
    connect(MomentComposer, &TMapComposer::Failed, this, [this](const QString& message) {
        // Said once, not at every step of a drag; never after the close (the
        // program is ending, the map was for nobody).
        if (message != ReportedMomentError && !WindowClosed) {
            ReportedMomentError = message;
            ShowError(Parts.Window, message);
        }
    });
}

std::function<void(std::function<void()>)> TMapController::Dispatcher() {
    return [this, alive = std::weak_ptr<bool>(Alive)](std::function<void()> step) {
        // Queued onto this thread; the flag catches a controller being torn
        // down.
        Posted->Post([alive, step = std::move(step)] {
            const auto flag = alive.lock();
            if (flag && *flag) {
                step();
            }
        });
    };
}

// ---------------------------------------------------------------- the start

void TMapController::LoadZoneImage() {
    // A half-read image would show wrong zones.
    datafiles::LoadOrClear(Zones, [this](kiv::TFastDIB& image) {
        kiv::LoadPngImage(image, kiv::ProgramPath(datafiles::ZoneImage, Parts.ProgramDir));
        kiv::ReduceToPalette(image);
    });
}

void TMapController::LoadDayImage() {
    kiv::LoadPngImage(Day, kiv::ProgramPath(datafiles::DayImage, Parts.ProgramDir));
    PresentShadow = std::make_unique<solar::TShadowMap>(Day.Width(), Day.Height(), Dispatcher());
    PresentShadow->OnShadowReady = [this](solar::TShadowMap&) { ShadowReady(); };
    TMapWidget& widget = *Parts.View;
    widget.SetWorld(&Zones, PresentShadow.get());
    widget.View.SetMap(&Day);
    widget.View.Zoom.SetMax(100.0f);
    widget.View.Zoom.SetMin(0.1f);
    widget.View.Zoom.SetValue(1.7f);
    widget.LayoutView(false);
}

// ---------------------------------------------------------------- the present's map

const kiv::TFastDIB* TMapController::MapShadow() const {
    return ShowShadow && PresentShadow ? &PresentShadow->Shadow : nullptr;
}

void TMapController::SetShowShadow(bool on) {
    ShowShadow = on;
    // The view shows the moment's shadow only while shadows are shown at all.
    MomentChanged();
}

void TMapController::ApplyShowShadow() {
    TDisplaySettings& settings = *Parts.Settings;
    settings.ShowSM = ShowShadow;
    if (settings.ShowSM) {
        settings.ShadowRefreshCounter = settings.SMUpdate;
    } else {
        Composer->ComposeNow(nullptr);
        Composer->TakeMap(Day);
        Parts.View->View.RefreshMap();
    }
    Parts.View->LayoutView(true);
}

void TMapController::RequestMapRebuild() {
    Composer->Request(MapShadow());
}

void TMapController::MapRebuild() {
    Composer->ComposeNow(MapShadow());
    ShowComposedMap();
}

void TMapController::ShowComposedMap() {
    Composer->TakeMap(Day);
    emit DayMapComposed(Day);
    Parts.View->View.RefreshMap();
    Parts.View->LayoutView(true);
}

void TMapController::ShadowReady() {
    try {
        ReportRefusedDate();
        RequestMapRebuild();
    } catch (const std::exception& e) {
        ShowError(Parts.Window, QString::fromUtf8(e.what()));
    }
}

void TMapController::ReportRefusedDate() {
    // The map stays all daylight; said once, not at every refresh.
    const std::int32_t error = PresentShadow->LastSolPosError();
    if (error == 0) {
        RefusedDates.Succeeded();
    } else if (RefusedDates.IsNew(QString::number(error))) {
        ShowError(Parts.Window,
                  QStringLiteral("Cannot compute the position of the sun for this date "
                                 "(error %1)")
                      .arg(error));
    }
}

bool TMapController::Busy() const {
    return (PresentShadow && PresentShadow->Busy()) || Composer->Busy();
}

void TMapController::SetWindowClosed(bool closed) {
    WindowClosed = closed;
    if (closed) {
        // A moment's shadow still computed or waiting is for nobody. The one
        // running ends on its own; nothing of it is shown.
        MomentShadow->Cancel();
    }
}

// ---------------------------------------------------------------- the picked moment

void TMapController::MomentChanged() {
    TMapView& view = Parts.View->View;
    if (!Parts.Moment->IsPresent() && ShowShadow && PresentShadow) {
        MomentShadow->SetSize(Day.Width(), Day.Height());
        MomentShadow->Request(Parts.Moment->Utc());
    } else {
        MomentShadow->Cancel();
        if (view.MapImage() != &Day && PresentShadow) {
            // The present's map, as the last rebuild left it.
            view.SetMap(&Day);
            Parts.View->LayoutView(true);
        }
        // A composition still under way is for a moment no longer wanted.
        MomentComposing = 0;
        // Not needed until another moment is picked.
        MomentMap.Clear();
        MomentShadow->Shadow.Clear();
    }
    Parts.View->RefreshReadouts();
}

void TMapController::MomentShadowReady() {
    if (Parts.Moment->IsPresent() || !ShowShadow) {
        return;
    }
    MomentComposing = MomentShadow->ShadowMoment;
    MomentComposer->Request(&MomentShadow->Shadow);
}

void TMapController::MomentComposed() {
    // A composition answers the newest request made: the moment's, unless the
    // present came back since (and no newer shadow was asked to be mixed).
    if (Parts.Moment->IsPresent() || !ShowShadow || MomentComposing == 0) {
        return;
    }
    MomentComposer->TakeMap(MomentMap);
    MomentMapMoment = MomentComposing;
    ReportedMomentError.clear();
    TMapView& view = Parts.View->View;
    if (view.MapImage() != &MomentMap) {
        view.SetMap(&MomentMap);
    } else {
        view.RefreshMap();
    }
    Parts.View->LayoutView(true);
}

} // namespace app
