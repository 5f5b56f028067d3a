// The list of places above the map: its entries and rows, adding, selecting,
// removing and clearing them, the limit of 15 places, the row menu's commands,
// and the single location that stands in for the list when it is switched off.
// What the window must do in turn (fly the map to a place, fit its height,
// show the map, open the list menu) it is told through signals.
#pragma once

#include "app/locations/LocationRow.h"
#include "app/locations/PlaceMarks.h"

#include <QObject>
#include <QPointer>

#include <vector>

class QLabel;

namespace app {

class TLocationList : public QObject {
    Q_OBJECT
public:
    // The rows are laid over `hintLabel` in `panel` and take its font.
    TLocationList(QWidget* panel, QLabel* hintLabel, QObject* parent);

    // The listed places in display order (row 0 at the top).
    const std::vector<TLocationEntry>& Entries() const { return FEntries; }
    int Count() const { return static_cast<int>(FEntries.size()); }
    bool IsEmpty() const { return FEntries.empty(); }
    // The listed places as the map marks them.
    std::vector<TViewPlace> ListedPlaces() const;

    // The place the clock line shows while the list is switched off.
    TSingleLocation SingleLocation;
    // List mode: on, places go to the list; off, they replace the single location.
    bool ListMode() const { return FListMode; }
    void SetListMode(bool on) { FListMode = on; }

    // Adds a place to the list (or, with the list switched off, makes it the
    // single location); a place already listed is selected instead, and a 16th
    // place is refused with a warning.
    void AddLocation(const QString& name, const QString& zoneName, double latitude,
                     double longitude);
    // Adds the database's place with that index.
    void AddPlace(int placeIndex);
    // Selects the row (-1: none), flies the view to it and finds the places near it.
    void SelectLocation(int index);
    void DeleteLocation(int index);

    // The list menu's commands: remove the row the menu was opened on (the
    // last row when it was opened elsewhere); empty the list after asking.
    void PIRemoveLocationClick();
    void PIClearListClick();
    // The list menu opens: over a row, that row loses its hover mark and is
    // selected. Call when it has closed and its command has run: the row is
    // forgotten.
    void MenuOpening();
    void MenuClosed();
    // The row of the label the list menu was last opened on; -1 when it was
    // opened elsewhere (the hint label, the tray icon).
    int PopupRow() const;

    // A click on row `row`'s name or time label; -1 is a double click on the
    // clock line.
    void ClockLabelDblClick(int row = -1);
    void LabelTopMouseEnter(int row);
    void LabelTopMouseLeave(int row);

    // The font of the rows' labels.
    QFont RowFont() const;
    // The entry at a row, for the tick to write its time.
    TLocationEntry& EntryAt(int row) { return FEntries[static_cast<std::size_t>(row)]; }

signals:
    // Fly the map to a point of the place grid: at the current zoom, or all the
    // way in when the row was selected already.
    void FlyToRow(float x, float y, bool closest);
    // Fly the map to a point of the place grid at the given zoom.
    void FlyTo(float x, float y, float zoom);
    // A row is selected (the map follows it) or none is.
    void SelectionChanged(bool selected);
    // The list panel's height changed by `delta` pixels: the window follows.
    void HeightChanged(int delta);
    // A row was added (true) or removed (false), and the window fits it.
    void RowsChanged(bool added);
    // A row was clicked while the map may be hidden: the map is wanted.
    void ShowMapRequested();
    // A row's label asks for the list menu at this screen point.
    void RowMenuRequested(const QPoint& globalPos);

private:
    void CreateLocationRow(TLocationEntry& entry);
    int RowIndexOf(const TLocationRow* row) const;
    void FitPanelToRows();
    QWidget* MessageParent() const;

    std::vector<TLocationEntry> FEntries;
    QWidget* Panel;
    QLabel* HintLabel;
    bool FListMode = true;
    // The list panel's height: the hint label's 17 pixels or the rows'.
    int PanelHeight = 17;
    // The row whose label opens the list menu, set just before it opens, and
    // the row of the menu's last opening (null when it opened elsewhere).
    QPointer<TLocationRow> RowOfNextPopup;
    QPointer<TLocationRow> PopupRowShape;
};

} // namespace app
