// The main window's share of the moment shown: the time control under the
// map, the mark on the clock line, the moment's map in the view, and the tick
// that writes every time text for the moment shown. The wallpaper and the
// stored settings keep the present: the present's shadow map and DayImage go
// on as before, and only the view changes which map it shows.
#include "app/map/MapComposer.h"
#include "app/moment/MomentControl.h"
#include "app/moment/MomentShadow.h"
#include "app/moment/ShownMoment.h"
#include "app/text/Messages.h"
#include "app/window/TrayIcon.h"
#include "app/window/UnitChronara.h"

#include "kiv/KivData.h"

#include <QAction>
#include <QBoxLayout>
#include <QLabel>

namespace app {

void TFormChronara::CreateMoment() {
    Moment = new TShownMoment(this);
    MomentBar = new TMomentControl(*Moment, PanelClient);
    // Under the map, above the clock line.
    if (auto* column = qobject_cast<QBoxLayout*>(PanelClient->layout())) {
        column->insertWidget(1, MomentBar);
    }
    MomentMark = new QLabel(PanelClock);
    MomentMark->setObjectName(QStringLiteral("MomentMark"));
    MomentMark->setAutoFillBackground(true);
    // Dark text on amber, whatever colours the user gave the clock line.
    QPalette look = MomentMark->palette();
    look.setColor(QPalette::Window, QColor(255, 191, 0));
    look.setColor(QPalette::WindowText, Qt::black);
    MomentMark->setPalette(look);
    QFont bold = MomentMark->font();
    bold.setBold(true);
    MomentMark->setFont(bold);
    MomentMark->setContentsMargins(4, 0, 4, 0);
    // As wide as its text: the clock line keeps the rest.
    MomentMark->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    MomentMark->hide();
    if (auto* line = qobject_cast<QBoxLayout*>(PanelClock->layout())) {
        line->insertWidget(0, MomentMark);
    }
    MomentShadow = new TMomentShadow(this);
    // A composer of its own: the present's keeps making the wallpaper's map.
    MomentComposer = TMapComposer::FromProgramDir(Options.ProgramDir, this);
    // A click on the map takes the keys back from the control (the map's keys
    // are the window's).
    PaintBox->setFocusPolicy(Qt::ClickFocus);

    connect(Moment, &TShownMoment::Changed, this,
            [this] { Guarded(this, [this] { MomentChanged(); }); });
    connect(MomentShadow, &TMomentShadow::Ready, this,
            [this] { Guarded(this, [this] { MomentShadowReady(); }); });
    connect(MomentComposer, &TMapComposer::Composed, this,
            [this] { Guarded(this, [this] { MomentComposed(); }); });
    connect(MomentComposer, &TMapComposer::Failed, this, [this](const QString& message) {
        // Said once, not at every step of a drag; never after the close (the
        // program is ending, the map was for nobody).
        if (message != ReportedMomentError && !WindowClosed) {
            ReportedMomentError = message;
            ShowError(this, message);
        }
    });
    // Closing ends the program: a moment's shadow still computed or waiting is
    // for nobody. The one running ends on its own; nothing of it is shown.
    connect(this, &TFormChronara::Closed, MomentShadow, &TMomentShadow::Cancel);
    PaintBox->ShownUtc = [this] { return Moment->Utc(); };
    // Without the map the control is out of sight: the present comes back.
    connect(PIShowMap, &QAction::toggled, this, [this](bool shown) {
        if (!shown) {
            Moment->ShowPresent();
        }
    });
    // The view shows the moment's shadow only while shadows are shown at all.
    connect(ShowSM1, &QAction::toggled, this,
            [this] { Guarded(this, [this] { MomentChanged(); }); });
}

void TFormChronara::MomentChanged() {
    TMapView& view = PaintBox->View;
    if (!Moment->IsPresent() && ShowSM1->isChecked() && ShadowMap) {
        MomentShadow->SetSize(DayImage.Width(), DayImage.Height());
        MomentShadow->Request(Moment->Utc());
    } else {
        MomentShadow->Cancel();
        if (view.MapImage() != &DayImage && ShadowMap) {
            // The present's map, as the last rebuild left it.
            view.SetMap(&DayImage);
            PaintBox->LayoutView(true);
        }
        // A composition still under way is for a moment no longer wanted.
        MomentComposing = 0;
        // Not needed until another moment is picked.
        MomentImage.Clear();
        MomentShadow->Shadow.Clear();
    }
    RunTick(false);
    PaintBox->RefreshReadouts();
}

void TFormChronara::MomentShadowReady() {
    if (Moment->IsPresent() || !ShowSM1->isChecked()) {
        return;
    }
    MomentComposing = MomentShadow->ShadowMoment;
    MomentComposer->Request(&MomentShadow->Shadow);
}

void TFormChronara::MomentComposed() {
    // A composition answers the newest request made: the moment's, unless the
    // present came back since (and no newer shadow was asked to be mixed).
    if (Moment->IsPresent() || !ShowSM1->isChecked() || MomentComposing == 0) {
        return;
    }
    MomentComposer->TakeMap(MomentImage);
    MomentImageMoment = MomentComposing;
    ReportedMomentError.clear();
    TMapView& view = PaintBox->View;
    if (view.MapImage() != &MomentImage) {
        view.SetMap(&MomentImage);
    } else {
        view.RefreshMap();
    }
    PaintBox->LayoutView(true);
}

void TFormChronara::TimerTimer() {
    // Left alone long enough, a picked moment gives way to the present.
    Moment->ReturnWhenIdle();
    RunTick(true);
}

void TFormChronara::RunTick(bool counts) {
    const bool present = Moment->IsPresent();
    const kiv::TDateTime now = PresentUtc();
    const QString mark = present ? QString() : MomentMarkText(Moment->Utc(), now);
    TTickScene scene;
    scene.Settings = &Settings;
    scene.List = Locations;
    scene.ClockLabel = ClockLabel;
    scene.TrayIcon = TrayIcon;
    scene.ShadowMap = ShadowMap.get();
    scene.ShowClock = ShowClock->isChecked();
    scene.MapHidden = MapHidden;
    scene.WindowVisible = isVisible();
    scene.Counts = counts;
    scene.Present = present;
    scene.Moment = Moment->Utc();
    if (!present) {
        scene.TrayMark =
            QLatin1Char('[') + MomentDifferenceText(scene.Moment, now) + QStringLiteral("] ");
    }
    // The mark first: the clock line's room is measured with it in place.
    if (MomentMark->text() != mark) {
        MomentMark->setText(mark);
    }
    if (MomentMark->isHidden() != present) {
        MomentMark->setVisible(!present);
        PanelClock->layout()->activate();
    }
    Tick->Run(scene);
    if (present) {
        // The control's field follows the clock.
        MomentBar->Synchronise();
    }
}

} // namespace app
