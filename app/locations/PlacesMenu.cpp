#include "app/locations/PlacesMenu.h"

#include "app/locations/LocationList.h"
#include "app/text/LocaleText.h"
#include "app/text/Messages.h"
#include "kiv/KivTimeZone.h"

#include <QAction>
#include <QMenu>

#include <vector>

namespace app {

void FillPlacesMenu(QMenu& menu, QAction& separator, TLocationList& list, QWidget* window) {
    // The place items of the last opening go first.
    const QList<QAction*> items = menu.actions();
    for (QAction* item : items) {
        menu.removeAction(item);
        delete item;
    }
    const std::vector<int> order = kiv::ZoneDB.PlaceMenuOrder(LocaleCompare());
    separator.setVisible(!order.empty());
    menu.menuAction()->setVisible(!order.empty());
    for (const int index : order) {
        QString caption =
            QString::fromStdString(kiv::ZoneDB.Places[static_cast<std::size_t>(index)].Name);
        caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
        auto* item = new QAction(caption, &menu);
        item->setObjectName(QStringLiteral("CityPopup"));
        item->setData(index);
        // The place is added.
        QObject::connect(item, &QAction::triggered, &list, [&list, window, index] {
            Guarded(window, [&] { list.AddPlace(index); });
        });
        menu.addAction(item);
    }
}

} // namespace app
