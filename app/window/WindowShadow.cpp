// The window's side of the shadow map: what follows a completed computation
// (a refused date said once, the map rebuild requested), and the wait for a
// running computation when the user ends the program.
#include "app/text/Messages.h"
#include "app/window/UnitChronara.h"

#include <QEventLoop>
#include <QTimer>

namespace app {

void TFormChronara::ShadowReady() {
    try {
        ReportRefusedDate();
        RequestMapRebuild();
    } catch (const std::exception& e) {
        ReportError(e);
    }
}

void TFormChronara::ReportRefusedDate() {
    // The map stays all daylight; said once, not at every refresh.
    const std::int32_t error = ShadowMap->LastSolPosError();
    if (error == 0) {
        RefusedDates.Succeeded();
    } else if (RefusedDates.IsNew(QString::number(error))) {
        ShowError(this, QStringLiteral("Cannot compute the position of the sun for this date "
                                       "(error %1)")
                            .arg(error));
    }
}

void TFormChronara::PIExitClick() {
    // Wait for a running shadow computation, keeping the window responsive. A
    // close by another way meanwhile (a quit signal, the end of the session,
    // the close box) ends the wait: the program is ending, its event loops
    // return at once from then on, and the completion would never come.
    while (ShadowMap && ShadowMap->Busy() && !WindowClosed) {
        QEventLoop wait;
        QTimer::singleShot(500, &wait, &QEventLoop::quit);
        wait.exec();
    }
    if (!WindowClosed) {
        close();
    }
}

} // namespace app
