// The rows of the location list: one record per listed place, and the row
// widget that shows it (a filled shape holding a name label and a time label),
// with the stripes, selection and hover look.
#pragma once

#include "kiv/KivDateTime.h"

#include <QColor>
#include <QLabel>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

namespace app {

// The list holds at most this many places.
constexpr int MaxLocations = 15;
// Rows are this far apart, and this high.
constexpr int LocationRowPitch = 17;
constexpr int LocationRowHeight = 16;
// Two places within this many degrees in both coordinates are the same place.
constexpr double SamePlaceDegrees = 0.001;

// A label of a row: reports single clicks (a double click counts as two
// clicks), the pointer entering and leaving, and asks for the list menu on a
// right click.
class TRowLabel : public QLabel {
    Q_OBJECT
public:
    explicit TRowLabel(QWidget* parent);

signals:
    void Clicked();
    void Entered();
    void Left();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
};

// The row's shape: a rectangle filled with one colour and outlined with
// another; it owns the two labels, so deleting it removes the row.
class TLocationRow : public QWidget {
    Q_OBJECT
public:
    // A row of the panel's width at the top of row `rowNumber`; the time label's
    // right edge starts at `timeRight` (panel coordinates) and keeps its
    // distance from the row's right edge when the row is resized.
    TLocationRow(QWidget* panel, int rowNumber, const QFont& font, int timeRight);

    TRowLabel* NameLabel;
    TRowLabel* TimeLabel;

    // Sets the fill and outline; repaints only on a change.
    void SetColors(const QColor& fill, const QColor& outline);
    QColor Fill() const { return FFill; }
    QColor Outline() const { return FOutline; }
    // Sets the colour and underline of both labels; only on a change.
    void SetLabelLook(const QColor& text, bool underline);
    QColor LabelColor() const { return FLabelColor; }
    // Shows a time text: the label takes the text's width (measured here when
    // not given) and grows leftward. Returns false (and touches nothing) when
    // the text is already shown.
    bool SetTimeText(const QString& text, int textWidth = -1);
    // Moves the row to the top of row `index`.
    void MoveToRow(int index);

    // What a screen reader reads for the row (its name and time said in
    // words); the labels' texts until one is given.
    QString SpokenText() const;
    void SetSpokenText(const QString& text);
    // The row is the selected one.
    bool IsSelected() const { return FSelected; }
    void SetSelected(bool selected);
    // Sets the tooltip (the zone and its next change) when it differs.
    void SetTip(const QString& tip);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void PlaceTimeLabel();

    QColor FFill;
    QColor FOutline;
    QColor FLabelColor;
    bool FUnderline = false;
    int TimeTextWidth = 0;
    int TimeRightGap = 0; // from the time label's right edge to the row's
    QString FSpokenText;
    bool FSelected = false;
};

// One listed place.
struct TLocationEntry {
    double Latitude = 0;  // degrees, north positive
    double Longitude = 0; // degrees, east positive
    bool Selected = false;
    bool Hovered = false;             // the pointer is over the name label
    QString Name;                     // as a rule "City, Country"
    QString ZoneName;                 // e.g. "Australia/Melbourne"
    std::int32_t UtcOffset = 0;       // minutes, refreshed by every tick
    std::int32_t RowNumber = 0;       // the index the row was created at
    TLocationRow* RowShape = nullptr; // owned by the list panel
    TRowLabel* NameLabel = nullptr;   // owned by the row shape
    TRowLabel* TimeLabel = nullptr;   // owned by the row shape

    // What the last tick found for the place: its local time and abbreviation,
    // or the zone error it ran into (reported once, until the zone answers).
    bool TimeValid = false;
    kiv::TDateTime LocalTime = 0;
    QString Abbreviation;
    QString ZoneError;
    // The minute (counted in UTC) the row's tooltip was made for.
    std::int64_t TipMinute = -1;
};

// The place shown on the clock line when the list is switched off.
struct TSingleLocation {
    QString Name = QStringLiteral("Melbourne, Australia");
    QString ZoneName = QStringLiteral("Australia/Melbourne");
    double Latitude = -37.81667;
    double Longitude = 144.96667;
    int UtcOffset = 0; // minutes, refreshed by every tick
    // The zone error the last tick ran into (reported once, until it changes).
    QString ZoneError;
};

// The look of the row at `index`: white on odd indexes, the tooltip colour on
// even ones (outline alike); the highlight fill and text when selected, else the
// hot-tracking text when hovered, else the window text; underlined exactly
// when hovered.
void StyleLocationRow(TLocationEntry& entry, int index);
// StyleLocationRow of every row in order.
void StyleAllRows(std::vector<TLocationEntry>& entries);

// Whether two places count as one: both coordinates closer than SamePlaceDegrees.
bool SamePlace(double latitude1, double longitude1, double latitude2, double longitude2);

} // namespace app
