// The map pipeline behind the map widget: the zone image, the present's shadow
// map and the day image a composer mixes through it, and the map of the moment
// the time control picked (its own shadow, its own composer). It rebuilds the
// map after a shadow refresh, a change of options or a resize, hands the
// composed map on (to the wallpaper), and swaps the map the view shows between the
// present's and the picked moment's. The wallpaper and the stored settings
// always keep the present.
#pragma once

#include "app/settings/DisplaySettings.h"
#include "app/text/RepeatedErrors.h"
#include "kiv/KivDateTime.h"
#include "kiv/KivFastDIB.h"
#include "solar/ShadowMap.h"

#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace platform {
class TPostedCalls;
}

namespace app {

class TMapComposer;
class TMapWidget;
class TMomentShadow;
class TShownMoment;

class TMapController : public QObject {
    Q_OBJECT
public:
    // What the pipeline works with; the window (`window`, where errors are
    // shown) owns them all and outlives the controller's use of them.
    struct TParts {
        QWidget* Window = nullptr;
        TMapWidget* View = nullptr;
        TShownMoment* Moment = nullptr;
        TDisplaySettings* Settings = nullptr;
        std::string ProgramDir; // the program's directory when empty
    };
    TMapController(const TParts& parts, QObject* parent);
    ~TMapController() override;

    // The start: the zone image (read whole, reduced to its palette) and the
    // day image with the shadow map of its size, shown in the view. Each
    // throws its own error; what fails goes without (no zone read-outs, no
    // map).
    void LoadZoneImage();
    void LoadDayImage();

    // The check mark of "Show Shadow Map" changed: the moment's map follows.
    void SetShowShadow(bool on);
    // "Show Shadow Map" chosen: stored, and the map composed with the shadow
    // at the next tick or at once without it.
    void ApplyShowShadow();

    // The map rebuilt at once (the commands that change it want it now), or
    // on the composer's worker (after a shadow refresh; the newest request
    // wins).
    void MapRebuild();
    void RequestMapRebuild();
    // Takes up the composed map: handed on (DayMapComposed), then the view.
    void ShowComposedMap();

    // The moment shown changed: the picked moment's shadow is asked for (or
    // the present's map comes back) and the read-outs follow.
    void MomentChanged();

    // A shadow or a map is being made (the wallpaper waits for it).
    bool Busy() const;
    // The window closed (the program ends) or showed again: a moment's shadow
    // still to come is for nobody, and its errors are no longer said.
    void SetWindowClosed(bool closed);

    // What the pipeline holds. The shadow map is missing after a failed start.
    solar::TShadowMap* ShadowMap() const { return PresentShadow.get(); }
    const kiv::TFastDIB& ZoneImage() const { return Zones; }
    const kiv::TFastDIB& DayImage() const { return Day; }
    const kiv::TFastDIB& MomentImage() const { return MomentMap; }
    // The moment MomentImage shows.
    kiv::TDateTime MomentImageMoment() const { return MomentMapMoment; }

signals:
    // A new map of the present was composed (the wallpaper is made from it).
    void DayMapComposed(const kiv::TFastDIB& day);

private:
    void CreateComposers();
    // The shadow the map is composed through: none when the shadow is off.
    const kiv::TFastDIB* MapShadow() const;
    // A shadow computation completed: a refused date said once, the map
    // rebuild requested.
    void ShadowReady();
    void ReportRefusedDate();
    void MomentShadowReady();
    void MomentComposed();
    // Runs a step of the shadow map's completion on this thread, never after
    // the controller is gone.
    std::function<void(std::function<void()>)> Dispatcher();

    TParts Parts;
    bool ShowShadow = true;
    bool WindowClosed = false;
    // Zone colours; the day map after each rebuild; the present's shadow.
    kiv::TFastDIB Zones;
    kiv::TFastDIB Day;
    std::unique_ptr<solar::TShadowMap> PresentShadow;
    TMapComposer* Composer = nullptr;
    // The picked moment's map: its shadow, mixed by a composer of its own (the
    // present's keeps making the wallpaper's map) into MomentMap, which the
    // view shows instead of Day.
    TMomentShadow* MomentShadow = nullptr;
    TMapComposer* MomentComposer = nullptr;
    kiv::TFastDIB MomentMap;
    kiv::TDateTime MomentMapMoment = 0;
    // The moment the moment's composer is mixing (0: none wanted).
    kiv::TDateTime MomentComposing = 0;
    // The last errors shown: of the rebuild, the solar library, the moment's map.
    TRepeatedErrors RebuildErrors;
    TRepeatedErrors RefusedDates;
    QString ReportedMomentError;
    // Shared with the dispatcher: cleared when the controller goes, so a late
    // completion is dropped.
    std::shared_ptr<bool> Alive = std::make_shared<bool>(true);
    platform::TPostedCalls* Posted;
};

} // namespace app
