// The map on screen after pointer moves, pans, zooms and shadow refreshes: a
// pointer move repaints only around the pointer, and the view image is kept
// between layouts, so what the window shows is compared here with a whole
// fresh paint of the same state.
#include "AppTestSupport.h"

#include "solar/shadow.h"

#include <QScreen>

using namespace apptest;

class TestMapRepaint : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    // A day image whose every pixel differs from its neighbours, so that any
    // part of the view left from an earlier layout shows.
    void PaintVariedDay() {
        QImage day(1024, 512, QImage::Format_RGB888);
        for (int y = 0; y < day.height(); ++y) {
            for (int x = 0; x < day.width(); ++x) {
                day.setPixelColor(x, y, QColor(x % 251, y % 241, (x * 7 + y * 3) % 239));
            }
        }
        QVERIFY(day.save(World->DataFile(QStringLiteral("earth_day.png"))));
    }

    void Hover(int x, int y) {
        Form->PaintBox->PointerPos = QPoint(x, y);
        Form->PaintBox->PointerInside = true;
        Form->PaintBox->PanelPaintBoxMouseMove(Qt::NoButton, x, y);
    }

    // What the window holds on screen in the paint box.
    QImage Shown() {
        app::TMapWidget* box = Form->PaintBox;
        const QImage window = Form->screen()->grabWindow(Form->winId()).toImage();
        return window.copy(QRect(box->mapTo(Form.get(), QPoint(0, 0)), box->size()))
            .convertToFormat(QImage::Format_RGB32);
    }

    // The whole picture painted afresh from the current state.
    QImage Fresh() {
        QImage image(Form->PaintBox->size(), QImage::Format_RGB32);
        QPainter painter(&image);
        Form->PaintBox->PaintBoxPaint(painter);
        return image;
    }

    // Where the two pictures differ, for the failure message.
    static QString FirstDifference(const QImage& a, const QImage& b) {
        if (a.size() != b.size()) {
            return QStringLiteral("sizes differ");
        }
        for (int y = 0; y < a.height(); ++y) {
            for (int x = 0; x < a.width(); ++x) {
                if (a.pixel(x, y) != b.pixel(x, y)) {
                    return QStringLiteral("first difference at %1,%2").arg(x).arg(y);
                }
            }
        }
        return {};
    }

    void ExpectShownIsFresh(const char* step) {
        const QImage shown = Shown();
        const QImage fresh = Fresh();
        const QString difference = FirstDifference(shown, fresh);
        QVERIFY2(difference.isEmpty(), qPrintable(QString::fromLatin1(step) + ": " + difference));
    }

private slots:
    void init() { StartFixture(); }
    void cleanup() { EndFixture(); }

    void pointerMovesPanZoomAndShadowKeepTheScreenWhole_data() {
        QTest::addColumn<float>("zoom");
        QTest::newRow("nearest pixels") << 1.0f;
        QTest::newRow("grid and labels, nearest pixels") << 0.65f;
        QTest::newRow("smoothed") << 0.3f;
    }
    void pointerMovesPanZoomAndShadowKeepTheScreenWhole() {
        QFETCH(float, zoom);
        PaintVariedDay();
        QVERIFY(OpenWindow());
        app::TFormChronara& form = *Form;
        QVERIFY(TriggerAction(&form, "MIHighlightCities"));
        form.Locations->AddLocation(QStringLiteral("Berlin, Germany"),
                                    QStringLiteral("Europe/Berlin"), 52.5, 13.36667);
        form.PaintBox->TimerZoomTo->stop();
        form.PaintBox->View.SetView(450, 40, zoom);
        form.PaintBox->LayoutView(true);
        const QPoint berlin = form.PaintBox->View.PlaceToView(52.5, 13.4);

        // Pointer moves near the places and away from them.
        Hover(berlin.x() + 3, berlin.y() + 2);
        ExpectShownIsFresh("near Berlin");
        Hover(berlin.x() + 40, berlin.y() - 30);
        ExpectShownIsFresh("moved away");
        Hover(5, 5);
        ExpectShownIsFresh("in the corner");

        // A pan, then a pointer move, then a zoom by the middle button.
        form.PaintBox->PanelPaintBoxMouseDown(Qt::LeftButton, 200, 150);
        form.PaintBox->PanelPaintBoxMouseMove(Qt::LeftButton, 213, 141);
        form.PaintBox->PanelPaintBoxMouseUp(Qt::LeftButton);
        ExpectShownIsFresh("after a pan");
        Hover(berlin.x(), berlin.y());
        ExpectShownIsFresh("pointer after a pan");
        form.PaintBox->PanelPaintBoxMouseMove(Qt::MiddleButton, berlin.x(), berlin.y() - 12);
        ExpectShownIsFresh("after a zoom");
        Hover(berlin.x() - 4, berlin.y() + 1);
        ExpectShownIsFresh("pointer after a zoom");

        // A shadow refresh darkens the western half; then the pointer moves.
        QVERIFY(form.ShadowMap);
        kiv::TFastDIB& shadow = form.ShadowMap->Shadow;
        for (int y = 0; y < shadow.Height(); ++y) {
            std::fill_n(shadow.Row(y), shadow.Width() / 2, std::uint8_t{255});
        }
        form.MapRebuild();
        ExpectShownIsFresh("after the shadow refresh");
        Hover(berlin.x() + 1, berlin.y() + 1);
        ExpectShownIsFresh("pointer after the shadow refresh");

        // Switching the highlight off takes the grid and the squares away.
        QVERIFY(TriggerAction(&form, "MIHighlightCities"));
        Hover(berlin.x() + 2, berlin.y());
        ExpectShownIsFresh("highlight off");
    }

    void partOfTheViewMatchesTheWholeView_data() {
        QTest::addColumn<float>("zoom");
        QTest::newRow("nearest pixels") << 1.0f;
        QTest::newRow("unit step") << 0.999f;
        QTest::newRow("smoothed") << 0.2f;
    }
    void partOfTheViewMatchesTheWholeView() {
        QFETCH(float, zoom);
        PaintVariedDay();
        QVERIFY(OpenWindow());
        app::TMapView& view = Form->PaintBox->View;
        view.SetView(300, 100, zoom);
        view.LayoutView(544, 342);
        const QRect part(37, 81, 120, 45);
        QImage piece;
        view.ResamplePart(piece, part);
        QCOMPARE(piece, view.ViewImage().copy(part));
        // The right and bottom edges sample inside the map.
        view.SetView(99999, 99999, zoom);
        view.LayoutView(544, 342);
        const QRect corner(544 - 30, 342 - 20, 30, 20);
        view.ResamplePart(piece, corner);
        QCOMPARE(piece, view.ViewImage().copy(corner));
    }
};

QTEST_MAIN(TestMapRepaint)
#include "TestMapRepaint.moc"
