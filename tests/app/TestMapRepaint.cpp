// The map on screen after pointer moves, pans, zooms and shadow refreshes: a
// pointer move repaints only around the pointer, and the view image is kept
// between layouts and moved by a pan, so what the window shows is compared
// here with a whole paint of the same state by a view that kept nothing.
#include "AppTestSupport.h"

#include "solar/ShadowMap.h"

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
        PaintBoxOf(*Form)->PointerPos = QPoint(x, y);
        PaintBoxOf(*Form)->PointerInside = true;
        PaintBoxOf(*Form)->PanelPaintBoxMouseMove(Qt::NoButton, x, y);
    }

    // What the window holds on screen in the paint box.
    QImage Shown() {
        app::TMapWidget* box = PaintBoxOf(*Form);
        const QImage window = Form->screen()->grabWindow(Form->winId()).toImage();
        return window.copy(QRect(box->mapTo(Form.get(), QPoint(0, 0)), box->size()))
            .convertToFormat(QImage::Format_RGB32);
    }

    // The whole picture painted afresh from the current state, by a new view
    // of the same map, offsets and zoom.
    QImage Fresh() {
        app::TMapWidget* box = PaintBoxOf(*Form);
        const app::TMapView kept = box->View;
        app::TMapView fresh;
        fresh.SetMap(kept.MapImage());
        fresh.SetView(kept.OffsetX.Value, kept.OffsetY.Value, kept.Zoom.Value);
        fresh.TargetX = kept.TargetX;
        fresh.TargetY = kept.TargetY;
        fresh.LayoutView(box->width(), box->height());
        box->View = fresh;
        QImage image(box->size(), QImage::Format_RGB32);
        QPainter painter(&image);
        box->PaintBoxPaint(painter);
        painter.end();
        box->View = kept;
        return image;
    }

    // A left-button drag from one point to another in one move.
    void Pan(QPoint from, QPoint to) {
        PaintBoxOf(*Form)->PanelPaintBoxMouseDown(Qt::LeftButton, from.x(), from.y());
        PaintBoxOf(*Form)->PanelPaintBoxMouseMove(Qt::LeftButton, to.x(), to.y());
        PaintBoxOf(*Form)->PanelPaintBoxMouseUp(Qt::LeftButton);
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

    // A 1024 x 512 map (stored bottom-up) and the same picture top-down, from
    // a colour function of the picture's x and y.
    template <class F> static void MakeMap(kiv::TFastDIB& map, QImage& picture, F&& color) {
        map = kiv::TFastDIB(1024, 512, 24);
        picture = QImage(1024, 512, QImage::Format_RGB32);
        for (int y = 0; y < 512; ++y) {
            for (int x = 0; x < 1024; ++x) {
                const QColor c = color(x, y);
                map.SetPixel(x, 511 - y,
                             kiv::TBgr{static_cast<std::uint8_t>(c.blue()),
                                       static_cast<std::uint8_t>(c.green()),
                                       static_cast<std::uint8_t>(c.red())});
                picture.setPixel(x, y, c.rgb());
            }
        }
    }

    // Where view pixel `at` samples the map along one axis, as TSampling
    // describes it: the two map pixels and the weight (0..256) of the second.
    struct TAxisSample {
        int First = 0;
        int Second = 0;
        int Weight = 0;
    };
    static TAxisSample AxisSample(std::int64_t origin, std::int64_t step, int at, int size,
                                  bool smooth) {
        const std::int64_t centre = (origin + 64 * std::int64_t(at) + 32) * step / 64;
        if (!smooth) {
            const int p = static_cast<int>(std::clamp<std::int64_t>(centre / 65536, 0, size - 1));
            return {p, p, 0};
        }
        // Between the centres of the map pixels on either side; at the edges
        // the outermost pixel alone.
        const std::int64_t between = centre - 32768;
        const std::int64_t first = between >= 0 ? between / 65536 : -((-between + 65535) / 65536);
        if (first < 0) {
            return {0, 0, 0};
        }
        if (first >= size - 1) {
            return {size - 1, size - 1, 0};
        }
        return {static_cast<int>(first), static_cast<int>(first) + 1,
                static_cast<int>((between % 65536) / 256)};
    }

    // The view image as its sampling describes it: the two map rows mixed
    // first, then the two columns of that, each channel rounded down.
    static QImage Sampled(const QImage& picture, const app::TMapView::TSampling& s, QSize size) {
        const auto mix = [](int a, int b, int weight) {
            return (a * (256 - weight) + b * weight) / 256;
        };
        QImage out(size, QImage::Format_RGB32);
        for (int y = 0; y < size.height(); ++y) {
            const TAxisSample row = AxisSample(s.OriginY, s.StepY, y, picture.height(), s.Smooth);
            for (int x = 0; x < size.width(); ++x) {
                const TAxisSample column =
                    AxisSample(s.OriginX, s.StepX, x, picture.width(), s.Smooth);
                int channels[3];
                for (int c = 0; c < 3; ++c) {
                    const auto at = [&](int px, int py) {
                        const QRgb p = picture.pixel(px, py);
                        return c == 0 ? qRed(p) : c == 1 ? qGreen(p) : qBlue(p);
                    };
                    const int left =
                        mix(at(column.First, row.First), at(column.First, row.Second), row.Weight);
                    const int right = mix(at(column.Second, row.First),
                                          at(column.Second, row.Second), row.Weight);
                    channels[c] = mix(left, right, column.Weight);
                }
                out.setPixel(x, y, qRgb(channels[0], channels[1], channels[2]));
            }
        }
        return out;
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
        LocationsOf(form)->AddLocation(QStringLiteral("Berlin, Germany"),
                                       QStringLiteral("Europe/Berlin"), 52.5, 13.36667);
        PaintBoxOf(form)->TimerZoomTo->stop();
        PaintBoxOf(form)->View.SetView(450, 40, zoom);
        PaintBoxOf(form)->LayoutView(true);
        const QPoint berlin = PaintBoxOf(form)->View.PlaceToView(52.5, 13.4);

        // Pointer moves near the places and away from them.
        Hover(berlin.x() + 3, berlin.y() + 2);
        ExpectShownIsFresh("near Berlin");
        Hover(berlin.x() + 40, berlin.y() - 30);
        ExpectShownIsFresh("moved away");
        Hover(5, 5);
        ExpectShownIsFresh("in the corner");

        // Pans in every direction, one against the map's edge, then a pointer
        // move, then a zoom by the middle button.
        Pan({200, 150}, {213, 141});
        ExpectShownIsFresh("after a pan");
        Pan({200, 150}, {160, 177});
        ExpectShownIsFresh("after a second pan");
        Pan({200, 150}, {199, 150});
        ExpectShownIsFresh("after a one-pixel pan");
        Pan({100, 100}, {100, 4000});
        ExpectShownIsFresh("after a pan to the edge");
        Pan({100, 100}, {100, 95});
        ExpectShownIsFresh("after a pan from the edge");
        Hover(berlin.x(), berlin.y());
        ExpectShownIsFresh("pointer after a pan");
        PaintBoxOf(form)->PanelPaintBoxMouseMove(Qt::MiddleButton, berlin.x(), berlin.y() - 12);
        ExpectShownIsFresh("after a zoom");
        Hover(berlin.x() - 4, berlin.y() + 1);
        ExpectShownIsFresh("pointer after a zoom");

        // A shadow refresh darkens the western half; then the pointer moves.
        QVERIFY(ShadowMapOf(form));
        kiv::TFastDIB& shadow = ShadowMapOf(form)->Shadow;
        for (int y = 0; y < shadow.Height(); ++y) {
            std::fill_n(shadow.Row(y), shadow.Width() / 2, std::uint8_t{255});
        }
        MapOf(form)->MapRebuild();
        ExpectShownIsFresh("after the shadow refresh");
        Hover(berlin.x() + 1, berlin.y() + 1);
        ExpectShownIsFresh("pointer after the shadow refresh");
        Pan({200, 150}, {190, 157});
        ExpectShownIsFresh("pan after the shadow refresh");
        Hover(berlin.x() - 10, berlin.y() + 7);
        ExpectShownIsFresh("pointer after that pan");

        // An idle map lets go of its buffers; a pointer move or a pan then
        // shows the same picture.
        PaintBoxOf(form)->ReleaseAfterMs = 10;
        PaintBoxOf(form)->repaint();
        QTRY_VERIFY(!PaintBoxOf(form)->View.HoldsBuffers());
        Hover(berlin.x() + 2, berlin.y() - 1);
        ExpectShownIsFresh("pointer after an idle pause");
        QTRY_VERIFY(!PaintBoxOf(form)->View.HoldsBuffers());
        Pan({200, 150}, {205, 144});
        ExpectShownIsFresh("pan after an idle pause");

        // Switching the highlight off takes the grid and the squares away.
        QVERIFY(TriggerAction(&form, "MIHighlightCities"));
        Hover(berlin.x() + 2, berlin.y());
        ExpectShownIsFresh("highlight off");
    }

    // The zone image is let go after a while without read-outs and read
    // again for the next: the zone read-outs stay the same.
    void zoneReadoutsAfterTheZoneImageWasLetGo() {
        QVERIFY(OpenWindow());
        app::TFormChronara& form = *Form;
        PaintBoxOf(form)->TimerZoomTo->stop();
        PaintBoxOf(form)->ReleaseZonesAfterMs = 10;
        app::TPointReadouts last;
        connect(PaintBoxOf(form), &app::TMapWidget::ReadoutsChanged, this,
                [&last](const app::TPointReadouts& readouts) { last = readouts; });
        const QPoint berlin = PaintBoxOf(form)->View.PlaceToView(52.5, 13.4);
        Hover(berlin.x(), berlin.y());
        QVERIFY(last.ZoneFound);
        const QString zone = last.UtcOffset;
        QTRY_VERIFY(MapOf(form)->ZoneImage().Empty());
        last = {};
        Hover(berlin.x(), berlin.y());
        QVERIFY(!MapOf(form)->ZoneImage().Empty());
        QVERIFY(last.ZoneFound);
        QCOMPARE(last.UtcOffset, zone);
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
        app::TMapView& view = PaintBoxOf(*Form)->View;
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

    // The view image, whole and in parts, holds exactly what its sampling
    // describes: views wide enough to be resampled on two threads, widths
    // that are no multiple of four, and views against the map's edges, after
    // pans, zooms and resizes of the same view.
    void viewImageIsItsSampling_data() {
        QTest::addColumn<float>("zoom");
        QTest::addColumn<QPointF>("offset");
        QTest::addColumn<QSize>("view");
        QTest::newRow("smoothed, two threads") << 0.3f << QPointF(301.3, 97.6) << QSize(901, 400);
        QTest::newRow("smoothed, narrow") << 0.21f << QPointF(10.7, 5.1) << QSize(7, 45);
        QTest::newRow("smoothed, map edges") << 0.45f << QPointF(99999, 99999) << QSize(643, 331);
        QTest::newRow("smoothed, left edge") << 0.17f << QPointF(0, 0) << QSize(1283, 723);
        QTest::newRow("nearest") << 0.83f << QPointF(211.4, 17.9) << QSize(1001, 301);
    }
    void viewImageIsItsSampling() {
        QFETCH(float, zoom);
        QFETCH(QPointF, offset);
        QFETCH(QSize, view);
        kiv::TFastDIB map;
        QImage picture;
        // Neighbours differ in every bit of every channel somewhere.
        MakeMap(map, picture, [](int x, int y) {
            const unsigned h = (static_cast<unsigned>(x) * 2654435761u) ^
                               (static_cast<unsigned>(y) * 40503u * 2246822519u);
            return QColor(static_cast<int>(h >> 24), static_cast<int>((h >> 13) & 0xff),
                          static_cast<int>((h >> 3) & 0xff));
        });
        app::TMapView mapView;
        mapView.SetMap(&map);
        const auto check = [&](const char* step) {
            const QImage expected = Sampled(picture, mapView.Sampling(), view);
            const QString difference = FirstDifference(mapView.ViewImage(), expected);
            QVERIFY2(difference.isEmpty(),
                     qPrintable(QString::fromLatin1(step) + ": " + difference));
            const QRect part(view.width() / 3, view.height() / 4,
                             view.width() - view.width() / 3 - 1, view.height() / 2);
            QImage piece;
            mapView.ResamplePart(piece, part);
            QCOMPARE(piece, expected.copy(part));
        };
        mapView.SetView(static_cast<float>(offset.x()), static_cast<float>(offset.y()), zoom);
        mapView.LayoutView(view.width(), view.height());
        check("laid out");
        // Pans by whole view pixels keep the view image and sample only the
        // strips that came into view.
        for (const QPoint by : {QPoint(7, -3), QPoint(-19, 11), QPoint(0, 2)}) {
            mapView.SetView(mapView.OffsetX.Value + static_cast<float>(by.x()) * mapView.Zoom.Value,
                            mapView.OffsetY.Value + static_cast<float>(by.y()) * mapView.Zoom.Value,
                            mapView.Zoom.Value);
            mapView.LayoutView(view.width(), view.height());
            check("panned");
        }
        mapView.ZoomBy(-0.013f);
        mapView.LayoutView(view.width(), view.height());
        check("zoomed in");
        view += QSize(5, -3);
        mapView.SetView(mapView.OffsetX.Value + 0.4f, mapView.OffsetY.Value, mapView.Zoom.Value);
        mapView.LayoutView(view.width(), view.height());
        check("resized");
    }

    // The view's own resampling against the painter's scaling of the same map
    // rectangle: nearest sampling may pick the neighbouring map pixel where a view
    // pixel's centre falls within rounding of a map pixel's edge, and the
    // painter's smoothing drifts by up to a fiftieth of a map pixel across a
    // wide view (a few levels of a channel where neighbours differ much).
    void viewShowsTheMapAsThePainterScalesIt_data() {
        QTest::addColumn<float>("zoom");
        QTest::addColumn<QSize>("view");
        QTest::newRow("nearest, one to one") << 1.0f << QSize(500, 300);
        QTest::newRow("nearest, enlarged") << 0.65f << QSize(700, 410);
        QTest::newRow("smoothed") << 0.3f << QSize(640, 480);
        QTest::newRow("smoothed, 4K-like") << 0.15f << QSize(1500, 900);
    }
    void viewShowsTheMapAsThePainterScalesIt() {
        QFETCH(float, zoom);
        QFETCH(QSize, view);
        kiv::TFastDIB map;
        QImage reference;
        MakeMap(map, reference, [](int x, int y) {
            return QColor((x * 5) % 256, (y * 3) % 256, (x + 2 * y) % 256);
        });
        app::TMapView mapView;
        mapView.SetMap(&map);
        mapView.SetView(301.3f, 97.6f, zoom);
        mapView.LayoutView(view.width(), view.height());
        QImage painted(view, QImage::Format_RGB32);
        {
            QPainter painter(&painted);
            painter.setCompositionMode(QPainter::CompositionMode_Source);
            painter.setRenderHint(QPainter::SmoothPixmapTransform, zoom < 0.6f);
            painter.drawImage(QRectF(QPointF(0, 0), QSizeF(view)), reference,
                              QRectF(mapView.OffsetX.Value, mapView.OffsetY.Value,
                                     view.width() * mapView.Zoom.Value,
                                     view.height() * mapView.Zoom.Value));
        }
        const QImage& ours = mapView.ViewImage();
        int differing = 0;
        int largest = 0;
        for (int y = 0; y < view.height(); ++y) {
            for (int x = 0; x < view.width(); ++x) {
                const QRgb a = ours.pixel(x, y);
                const QRgb b = painted.pixel(x, y);
                const int d =
                    std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b))});
                differing += d > 8 ? 1 : 0;
                largest = std::max(largest, d);
            }
        }
        QVERIFY2(differing * 100 <= view.width() * view.height(),
                 qPrintable(
                     QStringLiteral("%1 pixels differ, by up to %2").arg(differing).arg(largest)));
    }
};

QTEST_MAIN(TestMapRepaint)
#include "TestMapRepaint.moc"
