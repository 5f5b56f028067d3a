#include "app/locations/LocationList.h"

#include "app/text/Messages.h"
#include "app/text/StringTable.h"
#include "kiv/KivErrors.h"
#include "kiv/KivTimeZone.h"

#include <QEvent>
#include <QLabel>

#include <algorithm>

namespace app {

namespace {

// Calls a function after every resize of the widget it filters.
class TResizeFilter : public QObject {
public:
    TResizeFilter(QObject* parent, std::function<void()> onResize)
        : QObject(parent), OnResize(std::move(onResize)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Resize) {
            OnResize();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> OnResize;
};

// The map point of a latitude and longitude on the place grid.
kiv::TMapPoint GridPoint(double latitude, double longitude) {
    kiv::TLatLongRecord point;
    kiv::SetLatLong(point, latitude, longitude);
    return kiv::LatLongToMapPoint(point);
}

} // namespace

TLocationList::TLocationList(QWidget* panel, QLabel* hintLabel, QObject* parent)
    : QObject(parent), Panel(panel), HintLabel(hintLabel) {
    setObjectName(QStringLiteral("LocationList"));
    // The rows stay as wide as the panel.
    Panel->installEventFilter(new TResizeFilter(Panel, [this] {
        for (const TLocationEntry& entry : FEntries) {
            entry.RowShape->resize(Panel->width(), LocationRowHeight);
        }
    }));
}

QWidget* TLocationList::MessageParent() const {
    return Panel->window();
}

QFont TLocationList::RowFont() const {
    return HintLabel->font();
}

std::vector<TViewPlace> TLocationList::ListedPlaces() const {
    std::vector<TViewPlace> places;
    places.reserve(FEntries.size());
    for (const TLocationEntry& entry : FEntries) {
        places.push_back({entry.Name, entry.Latitude, entry.Longitude});
    }
    return places;
}

void TLocationList::AddLocation(const QString& name, const QString& zoneName, double latitude,
                                double longitude) {
    if (!FListMode) {
        SingleLocation.Name = name;
        SingleLocation.ZoneName = zoneName;
        SingleLocation.Latitude = latitude;
        SingleLocation.Longitude = longitude;
        SingleLocation.ZoneError.clear();
        return;
    }
    for (std::size_t i = 0; i < FEntries.size(); ++i) {
        const TLocationEntry& entry = FEntries[i];
        if (SamePlace(entry.Latitude, entry.Longitude, latitude, longitude)) {
            SelectLocation(static_cast<int>(i));
            return;
        }
    }
    if (Count() >= MaxLocations) {
        ShowWarning(MessageParent(), QString::fromUtf8(strings::ListLimit));
        return;
    }
    TLocationEntry entry;
    entry.RowNumber = Count();
    entry.Name = name;
    entry.ZoneName = zoneName;
    entry.Latitude = latitude;
    entry.Longitude = longitude;
    FEntries.push_back(entry);
    CreateLocationRow(FEntries.back());
    FitPanelToRows();
    SelectLocation(FEntries.back().RowNumber);
    emit RowsChanged(true);
}

void TLocationList::AddPlace(int placeIndex) {
    kiv::KivAssert(placeIndex >= 0 && placeIndex < static_cast<int>(kiv::ZoneDB.Places.size()),
                   "Place index out of range");
    const kiv::TTimeZonePlaces& place = kiv::ZoneDB.Places[static_cast<std::size_t>(placeIndex)];
    AddLocation(QString::fromStdString(kiv::ZoneDB.PlaceTitle(placeIndex)),
                QString::fromStdString(kiv::ZoneDB.ZoneNameOfPlace(placeIndex)), place.Latitude,
                place.Longitude);
}

void TLocationList::CreateLocationRow(TLocationEntry& entry) {
    // The time label starts 30 pixels left of the window's outer right edge.
    auto* row = new TLocationRow(Panel, entry.RowNumber, HintLabel->font(),
                                 Panel->window()->frameGeometry().width() - 30);
    entry.RowShape = row;
    entry.NameLabel = row->NameLabel;
    entry.TimeLabel = row->TimeLabel;
    entry.NameLabel->setText(entry.Name);
    // The handlers find the row's index when they run: rows move up as others go.
    auto atRow = [this, row](void (TLocationList::*handler)(int)) {
        return [this, row, handler] {
            try {
                const int index = RowIndexOf(row);
                if (index >= 0) {
                    (this->*handler)(index);
                }
            } catch (const std::exception& e) {
                ShowError(MessageParent(), QString::fromUtf8(e.what()));
            }
        };
    };
    for (TRowLabel* label : {row->NameLabel, row->TimeLabel}) {
        connect(label, &TRowLabel::Clicked, this, atRow(&TLocationList::ClockLabelDblClick));
        connect(label, &QWidget::customContextMenuRequested, this,
                [this, row, label](const QPoint& p) {
                    RowOfNextPopup = row;
                    emit RowMenuRequested(label->mapToGlobal(p));
                });
    }
    connect(row->NameLabel, &TRowLabel::Entered, this, atRow(&TLocationList::LabelTopMouseEnter));
    connect(row->NameLabel, &TRowLabel::Left, this, atRow(&TLocationList::LabelTopMouseLeave));
    row->show();
}

int TLocationList::RowIndexOf(const TLocationRow* row) const {
    for (std::size_t i = 0; i < FEntries.size(); ++i) {
        if (row != nullptr && FEntries[i].RowShape == row) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TLocationList::SelectLocation(int index) {
    bool selected = false;
    for (std::size_t i = 0; i < FEntries.size(); ++i) {
        TLocationEntry& entry = FEntries[i];
        const bool wasSelected = entry.Selected;
        entry.Selected = static_cast<int>(i) == index;
        if (!entry.Selected) {
            continue;
        }
        const kiv::TMapPoint target = GridPoint(entry.Latitude, entry.Longitude);
        // A second selection of the same row zooms all the way in.
        emit FlyToRow(target.X, target.Y, wasSelected);
        kiv::ZoneDB.FindNearestPlace(entry.Latitude, entry.Longitude, NearestPlaceRadius);
        selected = true;
    }
    emit SelectionChanged(selected);
    StyleAllRows(FEntries);
}

void TLocationList::DeleteLocation(int index) {
    if (index < 0 || index >= Count()) {
        return;
    }
    delete FEntries[static_cast<std::size_t>(index)].RowShape;
    FEntries.erase(FEntries.begin() + index);
    for (std::size_t i = static_cast<std::size_t>(index); i < FEntries.size(); ++i) {
        TLocationRow* row = FEntries[i].RowShape;
        row->move(row->x(), row->y() - LocationRowPitch);
    }
    SelectLocation(-1);
    FitPanelToRows();
    emit RowsChanged(false);
}

void TLocationList::FitPanelToRows() {
    // The panel fits its content: the hint label alone, or the rows over it.
    const int wanted = std::max(17, Count() * LocationRowPitch - 1);
    const int delta = wanted - PanelHeight;
    PanelHeight = wanted;
    Panel->setFixedHeight(wanted);
    emit HeightChanged(delta);
}

int TLocationList::PopupRow() const {
    return RowIndexOf(PopupRowShape.data());
}

void TLocationList::MenuOpening() {
    // Opened over a row only when a row label asked for it just now; the hint
    // label and the tray icon open it over no row.
    PopupRowShape = RowOfNextPopup;
    RowOfNextPopup = nullptr;
    const int row = PopupRow();
    if (row >= 0) {
        FEntries[static_cast<std::size_t>(row)].Hovered = false;
        SelectLocation(row);
    }
}

void TLocationList::MenuClosed() {
    PopupRowShape = nullptr;
}

void TLocationList::PIRemoveLocationClick() {
    if (FEntries.empty()) {
        return;
    }
    const int row = PopupRow();
    DeleteLocation(row >= 0 ? row : Count() - 1);
}

void TLocationList::PIClearListClick() {
    if (FEntries.empty()) {
        return;
    }
    if (ShowMessage(MessageParent(), TMessageKind::Warning,
                    QString::fromUtf8(strings::ClearListQuestion),
                    QMessageBox::Yes | QMessageBox::No) == QMessageBox::No) {
        return;
    }
    for (int i = Count() - 1; i >= 0; --i) {
        DeleteLocation(i);
    }
}

void TLocationList::ClockLabelDblClick(int row) {
    if (row >= 0) {
        emit ShowMapRequested();
        SelectLocation(row);
        return;
    }
    if (FListMode) {
        if (!FEntries.empty()) {
            ClockLabelDblClick(Count() - 1);
        }
        return;
    }
    const kiv::TMapPoint target = GridPoint(SingleLocation.Latitude, SingleLocation.Longitude);
    emit FlyTo(target.X, target.Y, 0.3f);
}

void TLocationList::LabelTopMouseEnter(int row) {
    TLocationEntry& entry = EntryAt(row);
    entry.Hovered = true;
    StyleLocationRow(entry, row);
}

void TLocationList::LabelTopMouseLeave(int row) {
    TLocationEntry& entry = EntryAt(row);
    entry.Hovered = false;
    StyleLocationRow(entry, row);
}

} // namespace app
