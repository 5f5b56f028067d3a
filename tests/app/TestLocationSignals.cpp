// The location list on its own, in a bare panel: what it tells the window
// through its signals when places are added, selected, removed and clicked.
#include "AppTestSupport.h"

#include "app/locations/LocationList.h"

#include <QLabel>
#include <QSignalSpy>
#include <QVBoxLayout>

using namespace apptest;
using app::TLocationList;

class TestLocationSignals : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    std::unique_ptr<QWidget> Window;
    TLocationList* List = nullptr;

    void AddBerlin() { List->AddLocation("Berlin, Germany", "Europe/Berlin", 52.52, 13.405); }

private slots:
    void init() {
        StartFixture();
        kiv::ZoneDB.LoadDatabase(World->ProgramDir());
        Window = std::make_unique<QWidget>();
        Window->resize(500, 100);
        auto* panel = new QWidget(Window.get());
        auto* hint = new QLabel(QStringLiteral("hint"), panel);
        new QVBoxLayout(Window.get());
        Window->layout()->addWidget(panel);
        List = new TLocationList(panel, hint, Window.get());
        Window->show();
    }
    void cleanup() {
        Window.reset();
        EndFixture();
    }

    void addingAndRemovingTellTheWindow() {
        QSignalSpy height(List, &TLocationList::HeightChanged);
        QSignalSpy rows(List, &TLocationList::RowsChanged);
        QSignalSpy selection(List, &TLocationList::SelectionChanged);
        QSignalSpy fly(List, &TLocationList::FlyToRow);
        AddBerlin();
        // One row covers the hint label: the panel keeps its 17 pixels.
        QCOMPARE(height.takeFirst().at(0).toInt(), 0);
        QCOMPARE(rows.takeFirst().at(0).toBool(), true);
        QCOMPARE(selection.takeFirst().at(0).toBool(), true);
        QCOMPARE(fly.takeFirst(), QVariantList({550.f, 405.f, false}));
        List->AddLocation("Kolkata", "Asia/Kolkata", 22.57, 88.36);
        QCOMPARE(height.takeFirst().at(0).toInt(), 16);
        // The same place again selects its row: nothing is added, the map flies
        // all the way in when the row was selected already.
        AddBerlin();
        QCOMPARE(fly.takeLast().at(2).toBool(), false);
        AddBerlin();
        QCOMPARE(fly.takeLast().at(2).toBool(), true);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(height.size(), 0);

        rows.clear();
        selection.clear();
        List->DeleteLocation(0);
        QCOMPARE(height.takeFirst().at(0).toInt(), -16);
        QCOMPARE(rows.takeFirst().at(0).toBool(), false);
        QCOMPARE(selection.takeFirst().at(0).toBool(), false);
        // Out of range: nothing happens.
        List->DeleteLocation(5);
        QCOMPARE(rows.size(), 0);
    }

    void aClickedRowAsksForTheMapFirst() {
        AddBerlin();
        List->AddLocation("Kolkata", "Asia/Kolkata", 22.57, 88.36);
        QStringList order;
        connect(List, &TLocationList::ShowMapRequested, this, [&] { order << "map"; });
        connect(List, &TLocationList::FlyToRow, this, [&] { order << "fly"; });
        QTest::mouseClick(List->Entries()[0].NameLabel, Qt::LeftButton);
        QCOMPARE(order, QStringList({"map", "fly"}));
        QVERIFY(List->Entries()[0].Selected);
    }

    void theRowMenuRemembersItsRowUntilItCloses() {
        AddBerlin();
        List->AddLocation("Kolkata", "Asia/Kolkata", 22.57, 88.36);
        QSignalSpy menu(List, &TLocationList::RowMenuRequested);
        const app::TLocationEntry& berlin = List->Entries()[0];
        emit berlin.NameLabel->customContextMenuRequested(QPoint(3, 4));
        QCOMPARE(menu.size(), 1);
        QCOMPARE(menu.first().at(0).toPoint(), berlin.NameLabel->mapToGlobal(QPoint(3, 4)));
        List->MenuOpening();
        QCOMPARE(List->PopupRow(), 0);
        QVERIFY(List->Entries()[0].Selected);
        List->MenuClosed();
        QCOMPARE(List->PopupRow(), -1);
        // An opening that no row asked for is over no row.
        List->MenuOpening();
        QCOMPARE(List->PopupRow(), -1);
        List->PIRemoveLocationClick();
        QCOMPARE(List->Count(), 1);
        QCOMPARE(List->Entries()[0].Name, QStringLiteral("Berlin, Germany"));
    }

    void withoutTheListPlacesReplaceTheSingleLocation() {
        AddBerlin();
        List->SetListMode(false);
        QSignalSpy rows(List, &TLocationList::RowsChanged);
        QSignalSpy fly(List, &TLocationList::FlyTo);
        List->AddLocation("St. John's, Canada", "America/St_Johns", 47.56, -52.71);
        QCOMPARE(rows.size(), 0);
        QCOMPARE(List->Count(), 1);
        QCOMPARE(List->SingleLocation.ZoneName, QStringLiteral("America/St_Johns"));
        // A double click on the clock line flies there at zoom 0.3.
        List->ClockLabelDblClick();
        QCOMPARE(fly.takeFirst(), QVariantList({362.f, 391.f, 0.3f}));
    }
};

QTEST_MAIN(TestLocationSignals)
#include "TestLocationSignals.moc"
