// The map composer: day and night mixed through the shadow on a worker, the
// newest of several quick requests the only one shown, errors reported with
// the map kept, and the sources let go after a pause.
#include "app/map/MapComposer.h"
#include "kiv/KivFastDibLoaders.h"

#include <QFile>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>

class TestMapComposer : public QObject {
    Q_OBJECT

private:
    QTemporaryDir Dir;
    std::string DayFile;
    std::string NightFile;

    static kiv::TFastDIB Shadow(std::uint8_t value) {
        kiv::TFastDIB shadow(64, 32, 8);
        shadow.Fill(value);
        // Half of it another shade, so mixes differ across the map.
        for (int y = 0; y < 16; ++y) {
            std::fill_n(shadow.Row(y), 64, static_cast<std::uint8_t>(255 - value));
        }
        return shadow;
    }

    // The mix the composer must give for a shadow.
    kiv::TFastDIB Expected(const kiv::TFastDIB* shadow) const {
        kiv::TFastDIB day;
        kiv::LoadPngImage(day, DayFile);
        if (shadow == nullptr) {
            return day;
        }
        kiv::TFastDIB night;
        kiv::LoadJpegImage(night, NightFile);
        kiv::TFastDIB out = day;
        kiv::BlendThroughShadow(out, day, night, *shadow);
        return out;
    }

private slots:
    void init() {
        QVERIFY(Dir.isValid());
        QImage day(64, 32, QImage::Format_RGB888);
        QImage night(64, 32, QImage::Format_RGB888);
        for (int y = 0; y < 32; ++y) {
            for (int x = 0; x < 64; ++x) {
                day.setPixelColor(x, y, QColor(200 - x, 100 + y, 4 * x));
                night.setPixelColor(x, y, QColor(x, 2 * y, 30));
            }
        }
        DayFile = (Dir.path() + QStringLiteral("/day.png")).toStdString();
        NightFile = (Dir.path() + QStringLiteral("/night.jpg")).toStdString();
        QVERIFY(day.save(QString::fromStdString(DayFile)));
        QVERIFY(night.save(QString::fromStdString(NightFile), "JPG", 95));
    }

    void composesOnTheWorkerAsTheBlendGives_data() {
        QTest::addColumn<bool>("withShadow");
        QTest::newRow("day alone") << false;
        QTest::newRow("through the shadow") << true;
    }
    void composesOnTheWorkerAsTheBlendGives() {
        QFETCH(bool, withShadow);
        app::TMapComposer composer(DayFile, NightFile, nullptr);
        const kiv::TFastDIB shadow = Shadow(0);
        QSignalSpy composed(&composer, &app::TMapComposer::Composed);
        composer.Request(withShadow ? &shadow : nullptr);
        QVERIFY(composer.Busy());
        QVERIFY(composed.wait(10000));
        QVERIFY(!composer.Busy());
        kiv::TFastDIB map;
        composer.TakeMap(map);
        QVERIFY(map.SameAs(Expected(withShadow ? &shadow : nullptr)));
    }

    // Requests made while one runs: the running one and those overtaken are
    // never shown; the newest is.
    void theNewestRequestWins() {
        app::TMapComposer composer(DayFile, NightFile, nullptr);
        const kiv::TFastDIB first = Shadow(0);
        const kiv::TFastDIB second = Shadow(255);
        const kiv::TFastDIB third = Shadow(90);
        QSignalSpy composed(&composer, &app::TMapComposer::Composed);
        composer.Request(&first);
        composer.Request(&second);
        composer.Request(&third);
        QTRY_VERIFY_WITH_TIMEOUT(!composer.Busy(), 10000);
        QCoreApplication::processEvents();
        QCOMPARE(composed.count(), 1);
        kiv::TFastDIB map;
        composer.TakeMap(map);
        QVERIFY(map.SameAs(Expected(&third)));

        // One after another, each is shown.
        composer.Request(&first);
        QVERIFY(composed.wait(10000));
        composer.Request(&second);
        QVERIFY(composed.wait(10000));
        QCOMPARE(composed.count(), 3);
        composer.TakeMap(map);
        QVERIFY(map.SameAs(Expected(&second)));
    }

    // Composing at once drops work under way: its result never arrives.
    void composingNowDropsTheWorkUnderWay() {
        app::TMapComposer composer(DayFile, NightFile, nullptr);
        const kiv::TFastDIB shadow = Shadow(255);
        QSignalSpy composed(&composer, &app::TMapComposer::Composed);
        composer.Request(&shadow);
        composer.ComposeNow(nullptr);
        QVERIFY(!composer.Busy());
        QTest::qWait(50);
        QCOMPARE(composed.count(), 0);
        kiv::TFastDIB map;
        composer.TakeMap(map);
        QVERIFY(map.SameAs(Expected(nullptr)));
    }

    // A night image that cannot be read: the error is told, the shown map and
    // the day-only composition go on.
    void anUnreadableNightImageIsReportedAndTheMapKept() {
        app::TMapComposer composer(DayFile, NightFile, nullptr);
        QVERIFY(QFile::remove(QString::fromStdString(NightFile)));
        const kiv::TFastDIB shadow = Shadow(128);
        QSignalSpy composed(&composer, &app::TMapComposer::Composed);
        QSignalSpy failed(&composer, &app::TMapComposer::Failed);
        composer.Request(&shadow);
        QVERIFY(failed.wait(10000));
        QVERIFY(!failed.at(0).at(0).toString().isEmpty());
        QCOMPARE(composed.count(), 0);
        QVERIFY_THROWS_EXCEPTION(std::exception, composer.ComposeNow(&shadow));
        composer.ComposeNow(nullptr);
        kiv::TFastDIB map;
        composer.TakeMap(map);
        QVERIFY(map.SameAs(Expected(nullptr)));
    }

    void theSourcesAreLetGoAfterAPause() {
        app::TMapComposer composer(DayFile, NightFile, nullptr);
        composer.KeepSourcesMs = 20;
        const kiv::TFastDIB shadow = Shadow(40);
        composer.ComposeNow(&shadow);
        QVERIFY(composer.HoldsSources());
        QTRY_VERIFY(!composer.HoldsSources());
        // Read again for the next composition.
        composer.ComposeNow(&shadow);
        kiv::TFastDIB map;
        composer.TakeMap(map);
        QVERIFY(map.SameAs(Expected(&shadow)));
    }
};

QTEST_GUILESS_MAIN(TestMapComposer)
#include "TestMapComposer.moc"
