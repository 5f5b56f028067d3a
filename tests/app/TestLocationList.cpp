// The location list, the clock line and the tray tooltip, driven offscreen with
// a fixed clock and a fixed locale (British English: 24-hour times with
// seconds, dates as dd/MM/yyyy).
#include "AppTestSupport.h"

#include "app/locations/LocationList.h"
#include "app/moment/ClockText.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMenu>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>

using namespace apptest;
using app::TFormChronara;
using app::TLocationEntry;

namespace {

const QString Hint = QStringLiteral("Double Click on Map or select from PopUp Menu");
const QChar Degree(0xB0);

// Sixteen places north of Berlin, named against their distance: "Q-19" is the
// nearest, "Q-03" the farthest.
std::string PlacesNorthOfBerlin() {
    std::string lines;
    for (int i = 1; i <= 17; ++i) {
        char name[8];
        std::snprintf(name, sizeof name, "Q-%02d", 20 - i);
        lines += "Berlin\t" + std::to_string(52.5 + 0.1 * i) + "\t13.4\t" + name + "\n";
    }
    return lines;
}

// Counts the paint events of the widgets it filters.
class TPaintCounter : public QObject {
public:
    int Count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++Count;
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

class TestLocationList : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    // A shown window over a world with the extras; the tests drive the ticks.
    TFormChronara& Open(const TWorldExtras& extras = {}) {
        World = std::make_unique<TTestWorld>(extras);
        if (!OpenWindow()) {
            qWarning("the window's first activation did not come");
        }
        return *Form;
    }

    void AddBerlin() {
        LocationsOf(*Form)->AddLocation(QStringLiteral("Berlin, Germany"), "Europe/Berlin", 52.52,
                                        13.405);
    }
    void AddMelbourne() {
        LocationsOf(*Form)->AddLocation(QStringLiteral("Melbourne, Australia"),
                                        "Australia/Melbourne", -37.81667, 144.96667);
    }
    void AddKolkata() {
        LocationsOf(*Form)->AddLocation(QStringLiteral("Kolkata"), "Asia/Kolkata", 22.57, 88.36);
    }

    QStringList RowNames() const {
        QStringList names;
        for (const TLocationEntry& e : LocationsOf(*Form)->Entries()) {
            names << e.NameLabel->text();
        }
        return names;
    }
    QString TimeText(int row) const {
        return LocationsOf(*Form)->Entries()[static_cast<std::size_t>(row)].TimeLabel->text();
    }
    // The selected row; -1 for none, -2 when more than one is selected.
    int SelectedRow() const {
        int found = -1;
        for (std::size_t i = 0; i < LocationsOf(*Form)->Entries().size(); ++i) {
            if (LocationsOf(*Form)->Entries()[i].Selected) {
                found = found == -1 ? static_cast<int>(i) : -2;
            }
        }
        return found;
    }
    // Shows the clock line and lets its label take its width.
    void ShowClockLine() {
        QVERIFY(TriggerAction(Form.get(), "ShowClock"));
        Settle();
    }
    // The menu's items behind "E&xit".
    // The map menu's places: the items of the menu behind "E&xit".
    QMenu* PlaceMenu() const {
        const QList<QAction*> all = MenuOf(*Form, "PopupMenu2")->actions();
        const QList<QAction*> behind = all.mid(all.indexOf(ActionOf(*Form, "Shutdown2")) + 1);
        for (QAction* a : behind) {
            if (a->menu() != nullptr && a->isVisible()) {
                return a->menu();
            }
        }
        return nullptr;
    }
    QList<QAction*> PlaceItems() const {
        QMenu* places = PlaceMenu();
        return places != nullptr ? places->actions() : QList<QAction*>();
    }
    void Hover(QWidget* w) {
        QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(2, 2));
        QCoreApplication::sendEvent(w, &enter);
    }
    void Leave(QWidget* w) {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(w, &leave);
    }
    // A double click as the window system delivers it: press, release, double
    // click, release.
    void DoubleClick(QWidget* w) {
        const QPoint p = w->rect().center();
        QTest::mousePress(w, Qt::LeftButton, {}, p);
        QTest::mouseRelease(w, Qt::LeftButton, {}, p);
        QMouseEvent dbl(QEvent::MouseButtonDblClick, p, w->mapToGlobal(p), Qt::LeftButton,
                        Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(w, &dbl);
        QTest::mouseRelease(w, Qt::LeftButton, {}, p);
    }
    // A pointer move without buttons over the map.
    void MoveOver(QWidget* w, QPoint p) {
        QMouseEvent move(QEvent::MouseMove, p, w->mapToGlobal(p), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QCoreApplication::sendEvent(w, &move);
    }
    // Lets the layouts settle after panels were shown or hidden (each level
    // of nested layouts takes one round of posted events).
    void Settle() {
        for (int i = 0; i < 10; ++i) {
            QCoreApplication::processEvents();
        }
    }

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedKingdom)); }

    void init() { StartFixture(); }
    void cleanup() { EndFixture(); }

    // ------------------------------------------------------------ text alone

    void clockTextPiecesDropInOrder_data() {
        QTest::addColumn<int>("available");
        QTest::addColumn<QString>("abbreviation");
        QTest::addColumn<QString>("expected");
        // One pixel per character: time 8, sun "23.4°  " 7, "(CET)  " 7, date 13.
        const QString sun = QStringLiteral("23.4") + Degree + QStringLiteral("  ");
        QTest::newRow("all fit") << 100 << "CET" << sun + "(CET)  21/12/2026   12:00:00";
        // Date: 13 + 8 < 36 - 14 holds, at 35 it does not.
        QTest::newRow("date just fits") << 36 << "CET" << sun + "(CET)  21/12/2026   12:00:00";
        QTest::newRow("date dropped first") << 35 << "CET" << sun + "(CET)  12:00:00";
        // Abbreviation: 7 + 8 < 23 - 7.
        QTest::newRow("abbreviation next") << 22 << "CET" << sun + "12:00:00";
        QTest::newRow("sun angle last") << 15 << "CET"
                                        << "12:00:00";
        QTest::newRow("time always") << 0 << "CET"
                                     << "12:00:00";
        // A long abbreviation that does not fit leaves room for the date.
        QTest::newRow("later piece fits after a dropped one")
            << 32 << "CENTRAL-EUROPE" << sun + "21/12/2026   12:00:00";
    }

    void clockTextPiecesDropInOrder() {
        QFETCH(int, available);
        QFETCH(QString, abbreviation);
        QFETCH(QString, expected);
        const app::TClockFormats formats = app::TClockFormats::Current();
        const auto width = [](const QString& t) { return static_cast<int>(t.size()); };
        const auto sun = [](double, double) { return app::SunAngleText(23.44); };
        QCOMPARE(app::FormatClockText({.Width = width,
                                       .Available = available,
                                       .ShowSunAngle = true,
                                       .ShowZone = true,
                                       .ShowDate = true,
                                       .Latitude = 52.5,
                                       .Longitude = 13.4,
                                       .Local = kiv::EncodeDateTime(2026, 12, 21, 12, 0, 0, 0),
                                       .Abbreviation = abbreviation,
                                       .SunAngle = sun,
                                       .Formats = formats}),
                 expected);
    }

    void clockTextSwitchesAndFormats() {
        const auto width = [](const QString& t) { return static_cast<int>(t.size()); };
        int sunAsked = 0;
        const auto sun = [&sunAsked](double, double) {
            ++sunAsked;
            return QStringLiteral("BUSY  ");
        };
        const kiv::TDateTime evening = kiv::EncodeDateTime(2026, 7, 4, 21, 5, 9, 0);
        app::TClockTextRequest request{.Width = width,
                                       .Available = 999,
                                       .Local = evening,
                                       .Abbreviation = QStringLiteral("X"),
                                       .SunAngle = sun,
                                       .Formats = app::TClockFormats::Current()};
        QCOMPARE(app::FormatClockText(request), QStringLiteral("21:05:09"));
        QCOMPARE(sunAsked, 0);
        request.ShowSunAngle = request.ShowZone = true;
        request.Abbreviation.clear();
        QCOMPARE(app::FormatClockText(request), QStringLiteral("BUSY  ()  21:05:09"));
        // The locale decides 12- or 24-hour form; seconds always, no zone name.
        request.ShowSunAngle = request.ShowZone = false;
        request.ShowDate = true;
        request.Formats = app::TClockFormats::Of(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(app::FormatClockText(request), QStringLiteral("7/4/26   9:05:09 PM"));
        QCOMPARE(app::LongTimeFormatOf(QLocale(QLocale::Chinese, QLocale::China)),
                 QStringLiteral("HH:mm:ss"));
    }

    void sunAngleNinetyDegreesAndNight() {
        QCOMPARE(app::SunAngleText(90.0), QStringLiteral("90.0") + Degree + QStringLiteral("  "));
        QCOMPARE(app::SunAngleText(90.0001), QStringLiteral("Night  "));
        QCOMPARE(app::SunAngleText(7.24), QStringLiteral("7.2") + Degree + QStringLiteral("  "));
    }

    // ------------------------------------------------------------ rows

    void addingBuildsRowsAndGrowsTheWindow() {
        TFormChronara& form = Open();
        const QSize paintBox = PaintBoxOf(form)->size();
        const int height = form.height();
        AddBerlin();
        AddMelbourne();
        AddKolkata();
        QCoreApplication::processEvents();
        QCOMPARE(RowNames(), QStringList({"Berlin, Germany", "Melbourne, Australia", "Kolkata"}));
        const int panelWidth = WidgetOf(form, "PanelLocations")->width();
        for (int i = 0; i < 3; ++i) {
            const TLocationEntry& e = LocationsOf(form)->Entries()[static_cast<std::size_t>(i)];
            QCOMPARE(e.RowNumber, i);
            QCOMPARE(e.RowShape->geometry(), QRect(0, 17 * i, panelWidth, 16));
            QCOMPARE(e.NameLabel->geometry(), QRect(4, 0, panelWidth - 8, 16));
            QCOMPARE(e.NameLabel->font().family(), Part<QLabel>(form, "LabelTop")->font().family());
            QCOMPARE(e.NameLabel->cursor().shape(), Qt::PointingHandCursor);
        }
        // The newest row is selected; the list's places are marked on the map.
        QCOMPARE(SelectedRow(), 2);
        QVERIFY(PaintBoxOf(form)->FollowSelection());
        QCOMPARE(LocationsOf(form)->ListedPlaces().size(), std::size_t{3});
        QCOMPARE(LocationsOf(form)->ListedPlaces()[1].Name, QStringLiteral("Melbourne, Australia"));
        // The window grew by the rows below the hint label's height; the map kept its size.
        QCOMPARE(WidgetOf(form, "PanelLocations")->height(), 3 * 17 - 1);
        QCOMPARE(form.height(), height + 3 * 17 - 1 - 17);
        QCOMPARE(PaintBoxOf(form)->size(), paintBox);

        // A tick writes every row's time; the time label grows leftward from a
        // fixed right edge.
        RunTick(form);
        QCOMPARE(TimeText(0), QStringLiteral("(CET)  21/12/2026   13:00:00"));
        QCOMPARE(TimeText(1), QStringLiteral("(AEDT)  21/12/2026   23:00:00"));
        QCOMPARE(TimeText(2), QStringLiteral("(IST)  21/12/2026   17:30:00"));
        QCOMPARE(LocationsOf(form)->Entries()[0].UtcOffset, 60);
        QCOMPARE(LocationsOf(form)->Entries()[1].UtcOffset, 660);
        QCOMPARE(LocationsOf(form)->Entries()[2].UtcOffset, 330);
        const QRect t0 = LocationsOf(form)->Entries()[0].TimeLabel->geometry();
        const QRect t2 = LocationsOf(form)->Entries()[2].TimeLabel->geometry();
        QCOMPARE(t0.right(), t2.right());
        QVERIFY(t0.width() < t2.width() + 10 && t0.width() > 0);
        form.resize(form.width() + 40, form.height());
        QCoreApplication::processEvents();
        QCOMPARE(LocationsOf(form)->Entries()[0].TimeLabel->geometry().right(), t0.right() + 40);
    }

    void duplicatesWithinAThousandthOfADegree_data() {
        QTest::addColumn<double>("dLat");
        QTest::addColumn<double>("dLong");
        QTest::addColumn<int>("rows");
        QTest::newRow("0.0009 both") << 0.0009 << -0.0009 << 1;
        QTest::newRow("0.0011 latitude") << 0.0011 << 0.0 << 2;
        QTest::newRow("0.0011 longitude") << 0.0 << -0.0011 << 2;
    }

    void duplicatesWithinAThousandthOfADegree() {
        QFETCH(double, dLat);
        QFETCH(double, dLong);
        QFETCH(int, rows);
        TFormChronara& form = Open();
        AddBerlin();
        AddKolkata();
        QCOMPARE(SelectedRow(), 1);
        LocationsOf(form)->AddLocation(QStringLiteral("Near Berlin"), "Europe/Berlin", 52.52 + dLat,
                                       13.405 + dLong);
        QCOMPARE(static_cast<int>(LocationsOf(form)->Entries().size()), rows + 1);
        QCOMPARE(SelectedRow(), rows == 1 ? 0 : 2);
        if (rows == 1) {
            // The listed row was selected and the view flies to it at the current zoom;
            // selecting it again zooms all the way in.
            QCOMPARE(PaintBoxOf(form)->View.TargetZoom, PaintBoxOf(form)->View.Zoom.Value);
            LocationsOf(form)->AddLocation(QStringLiteral("Near Berlin"), "Europe/Berlin", 52.52,
                                           13.405);
            QCOMPARE(PaintBoxOf(form)->View.TargetZoom, PaintBoxOf(form)->View.Zoom.Min);
            QCOMPARE(LocationsOf(form)->Entries().size(), std::size_t{2});
            // The flight target is Berlin on the place grid; the places near it were found.
            QCOMPARE(PaintBoxOf(form)->View.TargetX, 550.f);
            QCOMPARE(PaintBoxOf(form)->View.TargetY, 405.f);
            QCOMPARE(kiv::ZoneDB.NearestPlaceTitle(), std::string("Berlin, Germany"));
        }
    }

    void sixteenthPlaceIsRefused() {
        TFormChronara& form = Open();
        for (int i = 0; i < 15; ++i) {
            LocationsOf(form)->AddLocation(QStringLiteral("Place %1").arg(i), "Europe/Berlin", i,
                                           i);
        }
        QCOMPARE(LocationsOf(form)->Entries().size(), std::size_t{15});
        QVERIFY(Messages->Texts.isEmpty());
        LocationsOf(form)->AddLocation(QStringLiteral("One too many"), "Europe/Berlin", 40, 40);
        QCOMPARE(LocationsOf(form)->Entries().size(), std::size_t{15});
        QCOMPARE(Messages->Texts,
                 QStringList{"The List is limited to 15 entrys.\nPlease delete an entry first!"});
        QCOMPARE(Messages->Kinds.front(), app::TMessageKind::Warning);
        // A listed place is still found and selected.
        LocationsOf(form)->AddLocation(QStringLiteral("Again"), "Europe/Berlin", 3, 3);
        QCOMPARE(SelectedRow(), 3);
        QCOMPARE(Messages->Texts.size(), 1);
    }

    void deletingRowTwoOfFive() {
        TFormChronara& form = Open();
        for (int i = 0; i < 5; ++i) {
            LocationsOf(form)->AddLocation(QStringLiteral("Row %1").arg(i), "Europe/Berlin", i, i);
        }
        const int height = form.height();
        LocationsOf(form)->DeleteLocation(2);
        QCoreApplication::processEvents();
        QCOMPARE(RowNames(), QStringList({"Row 0", "Row 1", "Row 3", "Row 4"}));
        const QColor tooltip = QApplication::palette().color(QPalette::ToolTipBase);
        for (int i = 0; i < 4; ++i) {
            const TLocationEntry& e = LocationsOf(form)->Entries()[static_cast<std::size_t>(i)];
            QCOMPARE(e.RowShape->y(), 17 * i);
            QCOMPARE(e.RowShape->Fill(), i % 2 == 1 ? QColor(Qt::white) : tooltip);
            QCOMPARE(e.RowShape->Outline(), e.RowShape->Fill());
            QCOMPARE(e.RowShape->LabelColor(), QApplication::palette().color(QPalette::WindowText));
        }
        QCOMPARE(SelectedRow(), -1);
        QVERIFY(!PaintBoxOf(form)->FollowSelection());
        QCOMPARE(form.height(), height - 17);
        QCOMPARE(form.findChildren<app::TLocationRow*>().size(), 4);
    }

    void selectionAndHoverLook() {
        TFormChronara& form = Open();
        AddBerlin();
        AddKolkata();
        const QPalette palette = QApplication::palette();
        const TLocationEntry& selected = LocationsOf(form)->Entries()[1];
        QCOMPARE(selected.RowShape->Fill(), palette.color(QPalette::Highlight));
        QCOMPARE(selected.RowShape->Outline(), QColor(Qt::white));
        QCOMPARE(selected.RowShape->LabelColor(), palette.color(QPalette::HighlightedText));

        const TLocationEntry& other = LocationsOf(form)->Entries()[0];
        Hover(other.NameLabel);
        QVERIFY(other.Hovered);
        QVERIFY(other.NameLabel->font().underline());
        QVERIFY(other.TimeLabel->font().underline());
        QCOMPARE(other.RowShape->LabelColor(), palette.color(QPalette::Link));
        Leave(other.NameLabel);
        QVERIFY(!other.NameLabel->font().underline());
        QCOMPARE(other.RowShape->LabelColor(), palette.color(QPalette::WindowText));
        // Selected and hovered: highlight text, underlined.
        Hover(selected.NameLabel);
        QCOMPARE(selected.RowShape->LabelColor(), palette.color(QPalette::HighlightedText));
        QVERIFY(selected.NameLabel->font().underline());
    }

    void clicksOnRowsSelectAndShowTheMap() {
        TFormChronara& form = Open();
        AddBerlin();
        AddKolkata();
        QVERIFY(TriggerAction(&form, "PIShowMap"));
        QVERIFY(MapHidden(form));
        RunTick(form); // the time labels get their text and width
        QTest::mouseClick(LocationsOf(form)->Entries()[0].TimeLabel, Qt::LeftButton);
        QVERIFY(!MapHidden(form));
        QVERIFY(ActionOf(form, "PIShowMap")->isChecked());
        QCOMPARE(SelectedRow(), 0);
        QCOMPARE(PaintBoxOf(form)->View.TargetZoom, PaintBoxOf(form)->View.Zoom.Value);
        // A double click is two clicks: the second zooms all the way in.
        DoubleClick(LocationsOf(form)->Entries()[1].NameLabel);
        QCOMPARE(SelectedRow(), 1);
        QCOMPARE(PaintBoxOf(form)->View.TargetZoom, PaintBoxOf(form)->View.Zoom.Min);

        // A double click on the clock line is a click on the last row.
        LocationsOf(form)->SelectLocation(-1);
        ShowClockLine();
        QTest::mouseDClick(ClockLabelOf(form), Qt::LeftButton);
        QCOMPARE(SelectedRow(), 1);
    }

    void heightLockFollowsTheListWhileTheMapIsHidden() {
        TFormChronara& form = Open();
        AddBerlin();
        QVERIFY(TriggerAction(&form, "PIShowMap"));
        const int one = form.height();
        QCOMPARE(form.minimumHeight(), one);
        AddKolkata();
        AddMelbourne();
        QCOMPARE(WidgetOf(form, "PanelLocations")->height(), 3 * 17 - 1);
        QCOMPARE(form.height(), one + 2 * 17 - 1);
        QCOMPARE(form.minimumHeight(), form.height());
        QCOMPARE(form.maximumHeight(), form.height());
        QCOMPARE(form.minimumWidth(), 320);
        QVERIFY(TriggerAction(&form, "PIRemoveLocation"));
        QCOMPARE(form.height(), one + 17 - 1);
        QCOMPARE(form.maximumHeight(), form.height());
        LocationsOf(form)->DeleteLocation(0);
        QCOMPARE(form.height(), one);
        QCOMPARE(form.minimumHeight(), one);
        // Showing the map again lifts the lock.
        QVERIFY(TriggerAction(&form, "PIShowMap"));
        QCOMPARE(form.height(), one + 200);
    }

    void clearListAnsweredNoThenYes() {
        TFormChronara& form = Open();
        AddBerlin();
        AddMelbourne();
        AddKolkata();
        {
            TMessageRecorder no(QMessageBox::No);
            QVERIFY(TriggerAction(&form, "PIClearList"));
            QCOMPARE(no.Texts, QStringList{"This will empty your city list. Are you sure?"});
            QCOMPARE(no.Kinds.front(), app::TMessageKind::Warning);
        }
        QCOMPARE(LocationsOf(form)->Entries().size(), std::size_t{3});
        {
            TMessageRecorder yes(QMessageBox::Yes);
            QVERIFY(TriggerAction(&form, "PIClearList"));
            QCOMPARE(yes.Texts.size(), 1);
        }
        QVERIFY(LocationsOf(form)->Entries().empty());
        QVERIFY(form.findChildren<app::TLocationRow*>().isEmpty());
        QCOMPARE(WidgetOf(form, "PanelLocations")->height(), 17);
        // With nothing listed there is nothing to ask.
        TMessageRecorder none(QMessageBox::Yes);
        QVERIFY(TriggerAction(&form, "PIClearList"));
        QVERIFY(none.Texts.isEmpty());
        RunTick(form);
        QCOMPARE(ClockLabelOf(form)->text(), Hint);
    }

    void removeLocationOverARowAndFromTheTray() {
        TFormChronara& form = Open();
        AddBerlin();
        AddMelbourne();
        AddKolkata();
        // Opened over Melbourne's time label: that row is selected and unhovered.
        const TLocationEntry& melbourne = LocationsOf(form)->Entries()[1];
        Hover(melbourne.NameLabel);
        emit melbourne.TimeLabel->customContextMenuRequested(QPoint(2, 2));
        QVERIFY(MenuOf(form, "PopupMenu1")->isVisible());
        QCOMPARE(LocationsOf(form)->PopupRow(), 1);
        QVERIFY(ActionOf(form, "PIRemoveLocation")->isVisible());
        QCOMPARE(SelectedRow(), 1);
        QVERIFY(!LocationsOf(form)->Entries()[1].Hovered);
        ActionOf(form, "PIRemoveLocation")->trigger();
        MenuOf(form, "PopupMenu1")->hide();
        QCoreApplication::processEvents();
        QCOMPARE(RowNames(), QStringList({"Berlin, Germany", "Kolkata"}));

        // The tray icon opens the same menu over no row: the last row goes.
        QCOMPARE(TrayOf(form)->contextMenu(), MenuOf(form, "PopupMenu1"));
        MenuOf(form, "PopupMenu1")->popup(QPoint(0, 0));
        QCOMPARE(LocationsOf(form)->PopupRow(), -1);
        ActionOf(form, "PIRemoveLocation")->trigger();
        MenuOf(form, "PopupMenu1")->hide();
        QCOMPARE(RowNames(), QStringList({"Berlin, Germany"}));
        LocationsOf(form)->PIRemoveLocationClick();
        QVERIFY(LocationsOf(form)->Entries().empty());
        // An empty list: hidden item, and nothing happens.
        MenuOf(form, "PopupMenu1")->popup(QPoint(0, 0));
        QVERIFY(!ActionOf(form, "PIRemoveLocation")->isVisible());
        MenuOf(form, "PopupMenu1")->hide();
        LocationsOf(form)->PIRemoveLocationClick();
    }

    void listModeSwitchesBothWays() {
        TFormChronara& form = Open();
        AddBerlin();
        AddKolkata();
        QVERIFY(TriggerAction(&form, "PIShowMap")); // the map hidden first
        QVERIFY(TriggerAction(&form, "MultiMode"));
        // Hiding the map shrank the window to its content: widen it again so
        // the clock line has room for the date.
        form.resize(700, form.height());
        Settle();
        QVERIFY(!ActionOf(form, "MultiMode")->isChecked());
        QCOMPARE(ActionOf(form, "AddLocationWizard1")->text(),
                 QStringLiteral("Change Location..."));
        QVERIFY(!WidgetOf(form, "PanelLocations")->isVisible());
        QVERIFY(!MapHidden(form)); // the map is all that is left to show
        QVERIFY(WidgetOf(form, "PanelClient")->isVisible());
        for (const char* name :
             {"PIRemoveLocation", "MIHighlightCities", "PIShowMap", "ShowClock"}) {
            QVERIFY2(!FindAction(&form, name)->isEnabled(), name);
        }
        QVERIFY(ActionOf(form, "ShowClock")->isChecked());
        QVERIFY(WidgetOf(form, "PanelClock")->isVisible());
        QVERIFY(ActionOf(form, "MIHighlightCities")->isChecked());
        QVERIFY(ActionOf(form, "AddLocationsoverMap1")->isChecked());
        // Restoring from the tray leaves the list's commands off.
        form.ApplicationEventsRestore();
        QVERIFY(!ActionOf(form, "PIRemoveLocation")->isEnabled());

        // The single location takes added places, even with a full list.
        RunTick(form);
        QCOMPARE(ClockLabelOf(form)->text(), QStringLiteral("Melbourne: 21/12/2026   23:00:00"));
        QCOMPARE(LocationsOf(form)->SingleLocation.UtcOffset, 660);
        LocationsOf(form)->AddLocation(QStringLiteral("St. John's, Canada"), "America/St_Johns",
                                       47.56, -52.71);
        QCOMPARE(LocationsOf(form)->Entries().size(), std::size_t{2});
        RunTick(form);
        QCOMPARE(ClockLabelOf(form)->text(), QStringLiteral("St. John's: 21/12/2026   08:30:00"));
        QCOMPARE(LocationsOf(form)->SingleLocation.UtcOffset, -210);
        // A double click on the clock flies to the single location at zoom 0.3.
        QTest::mouseDClick(ClockLabelOf(form), Qt::LeftButton);
        QCOMPARE(PaintBoxOf(form)->View.TargetX, 362.f);
        QCOMPARE(PaintBoxOf(form)->View.TargetY, 391.f);
        QCOMPARE(PaintBoxOf(form)->View.TargetZoom, 0.3f);

        QVERIFY(TriggerAction(&form, "MultiMode"));
        Settle();
        QCOMPARE(ActionOf(form, "AddLocationWizard1")->text(), QStringLiteral("Add Location..."));
        QVERIFY(WidgetOf(form, "PanelLocations")->isVisible());
        for (const char* name :
             {"PIRemoveLocation", "MIHighlightCities", "PIShowMap", "ShowClock"}) {
            QVERIFY2(FindAction(&form, name)->isEnabled(), name);
        }
        QCOMPARE(RowNames(), QStringList({"Berlin, Germany", "Kolkata"}));
        RunTick(form);
        QCOMPARE(ClockLabelOf(form)->text(), QStringLiteral("Kolkata: 21/12/2026   17:30:00"));
    }

    // ------------------------------------------------------------ the map

    void doubleClickOnTheMapAddsTheNearestPlaceAndTicks() {
        TFormChronara& form = Open();
        const QPoint stJohns = PaintBoxOf(form)->View.PlaceToView(47.56, -52.71);
        // The paint after a pointer move finds the place under the pointer.
        MoveOver(PaintBoxOf(form), stJohns);
        QCOMPARE(kiv::ZoneDB.NearestPlaceTitle(), std::string("St. John's, Canada"));
        QTest::mouseDClick(PaintBoxOf(form), Qt::LeftButton, {}, stJohns);
        QCOMPARE(RowNames(), QStringList({"St. John's, Canada"}));
        QCOMPARE(LocationsOf(form)->Entries()[0].ZoneName, QStringLiteral("America/St_Johns"));
        QCOMPARE(LocationsOf(form)->Entries()[0].Latitude, 47.56);
        // The tick ran at once.
        QCOMPARE(TimeText(0), QStringLiteral("(NST)  21/12/2026   08:30:00"));
        // The same place again only selects it.
        QTest::mouseDClick(PaintBoxOf(form), Qt::LeftButton, {}, stJohns);
        QCOMPARE(LocationsOf(form)->Entries().size(), std::size_t{1});
    }

    void mapMenuOffersEighteenPlacesByName() {
        TWorldExtras extras;
        extras.Places = PlacesNorthOfBerlin();
        TFormChronara& form = Open(extras);
        QCOMPARE(kiv::ZoneDB.Places.size(), std::size_t{23});
        kiv::ZoneDB.FindNearestPlace(52.52, 13.405, 20);
        QStringList expected = {"Berlin", "Potsdam"};
        for (int n = 4; n <= 19; ++n) {
            expected << QStringLiteral("Q-%1").arg(n, 2, 10, QLatin1Char('0'));
        }
        const QRect screen = form.screen()->availableGeometry();
        for (int opening = 0; opening < 2; ++opening) {
            // Opened near the screen's foot, the menu and its places stay on
            // the screen, and the places do not lengthen it: behind "E&xit"
            // come a separator and the one item that opens them beside it.
            MenuOf(form, "PopupMenu2")->popup(QPoint(10, screen.bottom() - 100));
            QVERIFY(screen.contains(MenuOf(form, "PopupMenu2")->geometry()));
            const QList<QAction*> all = MenuOf(form, "PopupMenu2")->actions();
            QCOMPARE(all.size() - all.indexOf(ActionOf(form, "Shutdown2")), 3);
            QMenu* places = PlaceMenu();
            QVERIFY(places != nullptr);
            MenuOf(form, "PopupMenu2")->setActiveAction(places->menuAction());
            QTest::keyClick(MenuOf(form, "PopupMenu2"), Qt::Key_Right);
            QTRY_VERIFY(places->isVisible());
            QVERIFY(screen.contains(places->geometry()));
            QVERIFY(places->geometry().left() >= MenuOf(form, "PopupMenu2")->geometry().right() ||
                    places->geometry().right() <= MenuOf(form, "PopupMenu2")->geometry().left());
            const QList<QAction*> items = PlaceItems();
            MenuOf(form, "PopupMenu2")->hide();
            QCOMPARE(items.size(), 18);
            QStringList captions;
            for (QAction* a : items) {
                captions << a->text();
                QCOMPARE(kiv::ZoneDB.Places[a->data().toUInt()].Name, a->text().toStdString());
            }
            QCOMPARE(captions, expected);
        }
        // Choosing one adds it.
        PlaceItems()[2]->trigger(); // "Q-04"
        QCOMPARE(RowNames(), QStringList({"Q-04, Germany"}));
        QVERIFY(qAbs(LocationsOf(form)->Entries()[0].Latitude - 54.1) < 1e-9);
        // Elsewhere the nearest ones change.
        kiv::ZoneDB.FindNearestPlace(-37.8, 145, 20);
        MenuOf(form, "PopupMenu2")->popup(QPoint(10, 10));
        MenuOf(form, "PopupMenu2")->hide();
        // The farthest go: St. John's and the four northernmost.
        QStringList captions;
        for (QAction* a : PlaceItems()) {
            captions << a->text();
        }
        expected = QStringList{"Berlin", "Geelong", "Kolkata", "Melbourne", "Potsdam"};
        for (int n = 7; n <= 19; ++n) {
            expected << QStringLiteral("Q-%1").arg(n, 2, 10, QLatin1Char('0'));
        }
        QCOMPARE(captions, expected);
    }

    // ------------------------------------------------------------ the tick

    void clockLineShowsTheLastRow() {
        TFormChronara& form = Open();
        RunTick(form);
        QCOMPARE(ClockLabelOf(form)->text(), Hint);
        ShowClockLine();
        RunTick(form);
        QCOMPARE(ClockLabelOf(form)->text(), Hint); // an empty list
        AddKolkata();
        AddBerlin();
        RunTick(form);
        QCOMPARE(ClockLabelOf(form)->text(), QStringLiteral("Berlin: 21/12/2026   13:00:00"));
        DisplayOf(form).CShowCty = true;
        DisplayOf(form).CShowZA = true;
        RunTick(form);
        QCOMPARE(ClockLabelOf(form)->text(),
                 QStringLiteral("Berlin, Germany: (CET)  21/12/2026   13:00:00"));
        LocationsOf(form)->DeleteLocation(1);
        DisplayOf(form).CShowCty = false;
        RunTick(form);
        QCOMPARE(ClockLabelOf(form)->text(),
                 QStringLiteral("Kolkata: (IST)  21/12/2026   17:30:00"));
        // Hidden map: no clock for the list.
        QVERIFY(TriggerAction(&form, "PIShowMap"));
        RunTick(form);
        QCOMPARE(ClockLabelOf(form)->text(), Hint);
    }

    void narrowWindowDropsTheDateFirst() {
        TFormChronara& form = Open();
        DisplayOf(form).ShowSA = true;
        DisplayOf(form).SMUpdate = 0; // no shadow computation in between
        AddBerlin();
        RunTick(form);
        const QString wide = TimeText(0);
        QVERIFY2(wide.contains(QStringLiteral("(CET)  21/12/2026   13:00:00")), qPrintable(wide));
        const QString angle = wide.section(QStringLiteral("  "), 0, 0);
        // Narrow the row until the text shortens: the date goes first, then the
        // abbreviation, then the sun angle; the time stays.
        QStringList seen = {wide};
        app::TLocationRow* row = LocationsOf(form)->Entries()[0].RowShape;
        for (int w = row->width(); w >= 40; w -= 2) {
            row->resize(w, 16);
            RunTick(form);
            if (TimeText(0) != seen.last()) {
                seen << TimeText(0);
            }
        }
        QCOMPARE(seen, QStringList(
                           {wide, angle + "  (CET)  13:00:00", angle + "  13:00:00", "13:00:00"}));
    }

    void sunAngleNightAndBusy() {
        TFormChronara& form = Open();
        DisplayOf(form).ShowSA = true;
        ShowClockLine();
        DisplayOf(form).CShowSA = true;
        AddMelbourne(); // 23:00 local
        AddBerlin();    // noon at the December solstice: about 76 degrees
        DisplayOf(form).ShadowRefreshCounter = 700;
        RunTick(form); // the rows first, then the refresh starts
        QVERIFY(ShadowMapOf(form)->Busy());
        QCOMPARE(TimeText(0), QStringLiteral("Night  (AEDT)  21/12/2026   23:00:00"));
        QVERIFY2(TimeText(1).startsWith(QStringLiteral("7")) &&
                     TimeText(1).contains(Degree + QStringLiteral("  (CET)")),
                 qPrintable(TimeText(1)));
        const double angle = TimeText(1).left(4).toDouble();
        QVERIFY2(angle > 74 && angle < 79, qPrintable(TimeText(1)));
        Clock->AdvanceSeconds(1);
        RunTick(form);
        QCOMPARE(TimeText(0), QStringLiteral("BUSY  (AEDT)  21/12/2026   23:00:01"));
        QCOMPARE(TimeText(1), QStringLiteral("BUSY  (CET)  21/12/2026   13:00:01"));
        QCOMPARE(ClockLabelOf(form)->text(), QStringLiteral("Berlin: BUSY  21/12/2026   13:00:01"));
        QTRY_VERIFY(!ShadowMapOf(form)->Busy());
        RunTick(form);
        QVERIFY(TimeText(1).startsWith(QStringLiteral("7")));
    }

    void sunAngleUsesTheMachinesWallClock() {
        // The machine one hour ahead in summer time: the angle is that of the
        // same instant, whichever offset the machine is on.
        Clock->SetOffsets(60, 120);
        Clock->SetDstActive(true);
        TFormChronara& form = Open();
        DisplayOf(form).ShowSA = true;
        AddBerlin();
        RunTick(form);
        const QString summer = TimeText(0);
        Clock->SetDstActive(false);
        RunTick(form);
        QCOMPARE(TimeText(0).left(4), summer.left(4));
    }

    void trayTooltipAtSecondZero() {
        Clock->SetUtc(kiv::EncodeDateTime(2026, 12, 21, 11, 59, 58, 0));
        TFormChronara& form = Open();
        const QString initial = TrayOf(form)->toolTip();
        AddBerlin();
        AddKolkata();
        RunTick(form);
        QCOMPARE(TrayOf(form)->toolTip(), initial);
        Clock->AdvanceSeconds(2);
        RunTick(form);
        // Both rows reached second 0: the last one stays.
        QCOMPARE(TrayOf(form)->toolTip(), QStringLiteral("Kolkata: (IST)  21/12/2026   17:30:00"));
        Clock->AdvanceSeconds(1);
        RunTick(form);
        QCOMPARE(TrayOf(form)->toolTip(), QStringLiteral("Kolkata: (IST)  21/12/2026   17:30:00"));
        // At most 63 characters.
        LocationsOf(form)->AddLocation(
            QStringLiteral("A place whose name goes on and on, Somewhere Far"), "Asia/Kolkata", 10,
            10);
        Clock->AdvanceSeconds(59);
        RunTick(form);
        QVERIFY2(TimeText(2).endsWith(QStringLiteral("17:31:00")), qPrintable(TimeText(2)));
        const QString full =
            QStringLiteral("A place whose name goes on and on, Somewhere Far: ") + TimeText(2);
        QVERIFY(full.size() > 63);
        QCOMPARE(TrayOf(form)->toolTip(), full.left(63));
        // The single location's clock line, when the list is off.
        QVERIFY(TriggerAction(&form, "MultiMode"));
        Settle();
        Clock->AdvanceSeconds(60);
        RunTick(form);
        QCOMPARE(TrayOf(form)->toolTip(), QStringLiteral("Melbourne: 21/12/2026   23:02:00"));
    }

    void unknownZoneRowIsMarkedAndReportedOnce() {
        TWorldExtras extras;
        extras.Zones = "Nowhere\t0\t0\tTest/Lonely\tL%sT\t2:00\tLONE\n";
        extras.Rules = "LONE\tSun\t7\t1\t10\t1\tD\n";
        TFormChronara& form = Open(extras);
        AddBerlin();
        LocationsOf(form)->AddLocation(QStringLiteral("Atlantis, Ocean"), "Atlantis/Capital", 10,
                                       -30);
        LocationsOf(form)->AddLocation(QStringLiteral("Lonely"), "Test/Lonely", 5, 5);
        ShowClockLine();
        LocationsOf(form)->AddLocation(QStringLiteral("Atlantis, Ocean"), "Atlantis/Capital", 10,
                                       -30);
        for (int i = 0; i < 3; ++i) {
            RunTick(form);
            Clock->AdvanceSeconds(1);
        }
        QCoreApplication::processEvents();
        QCOMPARE(Messages->Texts, QStringList({"Could not locate Zone for \"Atlantis/Capital\"",
                                               "Insufficient Rules for \"LONE\""}));
        QCOMPARE(TimeText(0), QStringLiteral("(CET)  21/12/2026   13:00:02"));
        QCOMPARE(TimeText(1), QStringLiteral("unknown zone"));
        QCOMPARE(TimeText(2), QStringLiteral("zone rules missing"));
        QCOMPARE(LocationsOf(form)->Entries()[1].TimeLabel->toolTip(),
                 QStringLiteral("Could not locate Zone for \"Atlantis/Capital\""));
        // The last row has no time: the clock line says why.
        QCOMPARE(ClockLabelOf(form)->text(), QStringLiteral("Lonely: zone rules missing"));
        LocationsOf(form)->DeleteLocation(2);
        RunTick(form);
        QCOMPARE(ClockLabelOf(form)->text(), QStringLiteral("Atlantis: unknown zone"));
        QCoreApplication::processEvents();
        QCOMPARE(Messages->Texts.size(), 2);

        // The single location alike.
        QVERIFY(TriggerAction(&form, "MultiMode"));
        Settle();
        LocationsOf(form)->AddLocation(QStringLiteral("Lost City"), "Lost/City", 1, 1);
        RunTick(form);
        RunTick(form);
        QCoreApplication::processEvents();
        QCOMPARE(ClockLabelOf(form)->text(), QStringLiteral("Lost City: unknown zone"));
        QCOMPARE(Messages->Texts.size(), 3);
        QCOMPARE(Messages->Texts.last(), QStringLiteral("Could not locate Zone for \"Lost/City\""));
    }

    void daylightSavingStartsAcrossMidnight() {
        // Berlin's saving starts at 00:00 standard time on the last Sunday of
        // March, 29 March 2026: 28 March 23:00 UTC.
        Clock->SetUtc(kiv::EncodeDateTime(2026, 3, 28, 22, 59, 59, 0));
        TFormChronara& form = Open();
        AddBerlin();
        RunTick(form);
        QCOMPARE(TimeText(0), QStringLiteral("(CET)  28/03/2026   23:59:59"));
        QCOMPARE(LocationsOf(form)->Entries()[0].UtcOffset, 60);
        Clock->AdvanceSeconds(1);
        RunTick(form);
        QCOMPARE(TimeText(0), QStringLiteral("(CET)  29/03/2026   00:00:00"));
        Clock->AdvanceSeconds(1);
        RunTick(form);
        QCOMPARE(TimeText(0), QStringLiteral("(CEST)  29/03/2026   01:00:01"));
        QCOMPARE(LocationsOf(form)->Entries()[0].UtcOffset, 120);
    }

    void unchangedRowsAreNotRepainted() {
        TFormChronara& form = Open();
        AddBerlin();
        AddKolkata();
        RunTick(form);
        QCoreApplication::processEvents();
        TPaintCounter paints;
        for (const TLocationEntry& e : LocationsOf(form)->Entries()) {
            for (QWidget* w :
                 {static_cast<QWidget*>(e.RowShape), static_cast<QWidget*>(e.NameLabel),
                  static_cast<QWidget*>(e.TimeLabel)}) {
                w->installEventFilter(&paints);
            }
        }
        // A second tick in the same second changes no text: nothing repaints.
        RunTick(form);
        QCoreApplication::processEvents();
        QCOMPARE(paints.Count, 0);
        Clock->AdvanceSeconds(1);
        RunTick(form);
        QCoreApplication::processEvents();
        QVERIFY(paints.Count > 0);
    }
};

QTEST_MAIN(TestLocationList)
#include "TestLocationList.moc"
