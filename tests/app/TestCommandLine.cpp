// The command line of the program entry: switches, the batch request, the
// width and the output height.
#include "app/CommandLine.h"

#include <QTest>

using app::TBatchRequest;
using app::TCommandLine;

namespace {

TCommandLine Line(std::initializer_list<const char*> params) {
    TCommandLine line;
    for (const char* p : params) {
        line.Params.emplace_back(p);
    }
    return line;
}

} // namespace

class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void SwitchesTakeEitherPrefixInAnyCase() {
        const TCommandLine line = Line({"file", "/MAX", "-c"});
        QVERIFY(line.HasSwitch("max"));
        QVERIFY(line.HasSwitch("C"));
        QCOMPARE(line.SwitchPosition("c"), 3);
        QVERIFY(!line.HasSwitch("ma"));
        QVERIFY(!Line({"max"}).HasSwitch("max")); // no prefix: a plain parameter
        QVERIFY(!Line({"--max"}).HasSwitch("max"));
        const char* argv[] = {"chronara", "-C", "out.bmp", "800"};
        QCOMPARE(TCommandLine::FromArgs(4, argv).Params.size(), std::size_t(3));
    }

    void BatchRequestTakesTheTwoParametersAfterTheFirstSwitch() {
        TBatchRequest r =
            app::ParseBatchRequest(Line({"x", "-C", "out.bmp", "800", "-c", "a", "1"}));
        QVERIFY(r.Requested);
        QVERIFY(!r.TooFew);
        QCOMPARE(r.FileName, std::string("out.bmp"));
        QCOMPARE(r.WidthText, std::string("800"));
        QVERIFY(!r.ContinueToWindow);

        r = app::ParseBatchRequest(Line({"/c", "out.bmp", "64", "-Max"}));
        QVERIFY(r.Requested);
        QCOMPARE(r.WidthText, std::string("64"));
        QVERIFY(r.ContinueToWindow);

        QVERIFY(app::ParseBatchRequest(Line({"-C", "out.bmp"})).TooFew);
        QVERIFY(app::ParseBatchRequest(Line({"out.bmp", "800", "-C"})).TooFew);
        QVERIFY(!app::ParseBatchRequest(Line({"-max", "out.bmp", "800"})).Requested);
        QVERIFY(!app::ParseBatchRequest(Line({})).Requested);
    }

    void WidthIsADecimalIntegerInRange_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // 0: refused
        QTest::newRow("plain") << "800" << 800;
        QTest::newRow("plus") << "+800" << 800;
        QTest::newRow("leading zeros") << "0032" << 32;
        QTest::newRow("one") << "1" << 1;
        QTest::newRow("largest") << "32768" << 32768;
        QTest::newRow("too large") << "32769" << 0;
        QTest::newRow("huge") << "123456789012345678901234567890" << 0;
        QTest::newRow("zero") << "0" << 0;
        QTest::newRow("negative") << "-5" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("sign only") << "-" << 0;
        QTest::newRow("letters") << "abc" << 0;
        QTest::newRow("trailing text") << "12px" << 0;
        QTest::newRow("space") << " 12" << 0;
        QTest::newRow("decimal") << "12.0" << 0;
        QTest::newRow("hex") << "$20" << 0;
    }
    void WidthIsADecimalIntegerInRange() {
        QFETCH(QString, text);
        QFETCH(int, expected);
        int width = -1;
        std::string error;
        const std::string value = text.toStdString();
        const bool ok = app::ParseBatchWidth(value, width, error);
        QCOMPARE(ok, expected != 0);
        if (ok) {
            QCOMPARE(width, expected);
            QVERIFY(error.empty());
        } else {
            QVERIFY2(error.find("\"" + value + "\"") != std::string::npos, error.c_str());
            QVERIFY(error.find('\n') == std::string::npos);
        }
    }

    void HeightKeepsTheDayImagesAspectRoundingHalfToEven() {
        QCOMPARE(app::BatchHeight(1024, 512, 800), 400);
        QCOMPARE(app::BatchHeight(1024, 512, 3840), 1920);
        QCOMPARE(app::BatchHeight(1024, 512, 3), 2); // 1.5 -> 2
        QCOMPARE(app::BatchHeight(1024, 512, 5), 2); // 2.5 -> 2
        QCOMPARE(app::BatchHeight(1024, 512, 7), 4); // 3.5 -> 4
        QCOMPARE(app::BatchHeight(1024, 512, 1), 1); // 0.5 -> 0, but never below one row
        QCOMPARE(app::BatchHeight(1000, 333, 100), 33);
    }
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "TestCommandLine.moc"
