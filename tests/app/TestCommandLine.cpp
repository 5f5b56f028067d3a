// The command line of the program entry: switches, the batch request, the
// width and the output height.
#include "app/commandline/CommandLine.h"
#include "app/commandline/WindowLauncher.h"

#include <QTest>

#include <map>

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

    // The file and width follow the first parameter that equals "-C"; a "/C"
    // before it does not move them. Only "/C" given: the first of those.
    void BatchParametersFollowTheFirstDashC_data() {
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("width");
        QTest::newRow("slash before dash") << QStringList{"/c", "-C", "out.bmp", "64"} << "out.bmp"
                                           << "64";
        QTest::newRow("slash upper before dash lower")
            << QStringList{"/C", "x", "-c", "a.bmp", "8"} << "a.bmp"
            << "8";
        QTest::newRow("slash only") << QStringList{"/c", "out.bmp", "64"} << "out.bmp"
                                    << "64";
        QTest::newRow("two slashes") << QStringList{"/c", "a", "9", "/C", "b", "10"} << "a"
                                     << "9";
    }
    void BatchParametersFollowTheFirstDashC() {
        QFETCH(QStringList, params);
        QFETCH(QString, file);
        QFETCH(QString, width);
        TCommandLine line;
        for (const QString& p : params) {
            line.Params.push_back(p.toStdString());
        }
        const TBatchRequest r = app::ParseBatchRequest(line);
        QVERIFY(r.Requested);
        QVERIFY(!r.TooFew);
        QCOMPARE(QString::fromStdString(r.FileName), file);
        QCOMPARE(QString::fromStdString(r.WidthText), width);
    }

    // "--at" anywhere but in the two batch slots; its time is the next
    // parameter or follows "=".
    void TimeOfTheBatchMap_data() {
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<bool>("hasAt");
        QTest::addColumn<QString>("at");
        QTest::newRow("after") << QStringList{"-C", "m.png", "64", "--at", "2027-03-20T12:00Z"}
                               << true << "2027-03-20T12:00Z";
        QTest::newRow("before") << QStringList{"--at", "2027-03-20T12:00", "-C", "m.png", "64"}
                                << true << "2027-03-20T12:00";
        QTest::newRow("equals") << QStringList{"-C", "m.png", "64", "--at=2027-03-20T12:00+01"}
                                << true << "2027-03-20T12:00+01";
        QTest::newRow("first wins")
            << QStringList{"-C", "m", "1", "--at", "a", "--at", "b"} << true << "a";
        QTest::newRow("nothing after") << QStringList{"-C", "m.png", "64", "--at"} << true << "";
        QTest::newRow("file called so") << QStringList{"-C", "--at", "64", "x"} << false << "";
        QTest::newRow("not a switch form")
            << QStringList{"-C", "m", "64", "-at", "x", "/at", "y"} << false << "";
        QTest::newRow("without -C") << QStringList{"--at", "2027-03-20T12:00Z"} << false << "";
    }
    void TimeOfTheBatchMap() {
        QFETCH(QStringList, params);
        QFETCH(bool, hasAt);
        QFETCH(QString, at);
        TCommandLine line;
        for (const QString& p : params) {
            line.Params.push_back(p.toStdString());
        }
        const TBatchRequest r = app::ParseBatchRequest(line);
        QCOMPARE(r.HasAt, hasAt);
        QCOMPARE(QString::fromStdString(r.AtText), at);
    }

    // What the program refuses before it writes or starts anything; an empty
    // problem: nothing refused.
    void CommandLineProblemNamesWhatIsNotUnderstood_data() {
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("problem");
        const QString seeHelp = "; see chronara --help";
        QTest::newRow("nothing") << QStringList{} << "";
        QTest::newRow("batch with time")
            << QStringList{"-C", "m.png", "64", "--at", "2027-01-01T00:00Z", "-max"} << "";
        QTest::newRow("launcher words")
            << QStringList{"-max", "/MAX", "-session", "x", "/?", "-"} << "";
        QTest::newRow("batch slots are literal")
            << QStringList{"/c", "--att", "--bogus", "--at=--x"} << "";
        QTest::newRow("time after --at is literal")
            << QStringList{"-C", "m", "8", "--at", "--att"} << "";
        QTest::newRow("mistyped at")
            << QStringList{"-C", "map.png", "2048", "--a", "2027-01-01T00:00Z"}
            << "unknown option --a" + seeHelp;
        QTest::newRow("mistyped at equals")
            << QStringList{"-C", "map.png", "2048", "--att=2027-01-01T00:00Z"}
            << "unknown option --att=2027-01-01T00:00Z" + seeHelp;
        QTest::newRow("other case") << QStringList{"--HELP"} << "unknown option --HELP" + seeHelp;
        QTest::newRow("help with a value")
            << QStringList{"-max", "--help=x"} << "unknown option --help=x" + seeHelp;
        QTest::newRow("dashes alone") << QStringList{"--"} << "unknown option --" + seeHelp;
        QTest::newRow("the first of two")
            << QStringList{"--max", "--bogus"} << "unknown option --max" + seeHelp;
        QTest::newRow("at without -C") << QStringList{"--at", "2027-01-01T00:00Z"}
                                       << "--at works only with -C FILE WIDTH" + seeHelp;
        QTest::newRow("at equals without -C")
            << QStringList{"-max", "--at=2027-01-01T00:00Z"}
            << "--at=2027-01-01T00:00Z works only with -C FILE WIDTH" + seeHelp;
        QTest::newRow("at twice")
            << QStringList{"-C", "m", "8", "--at", "2027-01-01T00:00Z", "--at=2027-01-02T00:00Z"}
            << "--at is given twice" + seeHelp;
        QTest::newRow("unknown after the time")
            << QStringList{"-C", "m", "8", "--at", "x", "--z"} << "unknown option --z" + seeHelp;
    }
    void CommandLineProblemNamesWhatIsNotUnderstood() {
        QFETCH(QStringList, params);
        QFETCH(QString, problem);
        TCommandLine line;
        for (const QString& p : params) {
            line.Params.push_back(p.toStdString());
        }
        QCOMPARE(QString::fromStdString(app::CommandLineProblem(line)), problem);
    }

    void HelpAndVersionAnywhereButInTheBatchSlots() {
        using app::TInfoRequest;
        QCOMPARE(app::ParseInfoRequest(Line({"--help"})), TInfoRequest::Help);
        QCOMPARE(app::ParseInfoRequest(Line({"-max", "--version"})), TInfoRequest::Version);
        QCOMPARE(app::ParseInfoRequest(Line({"--version", "--help"})), TInfoRequest::Version);
        QCOMPARE(app::ParseInfoRequest(Line({"-C", "out.bmp", "8", "--help"})), TInfoRequest::Help);
        // A file (or width) called so is the batch mode's, not a question.
        QCOMPARE(app::ParseInfoRequest(Line({"-C", "--help", "800"})), TInfoRequest::None);
        QCOMPARE(app::ParseInfoRequest(Line({"/c", "--version", "--help"})), TInfoRequest::None);
        // The time of a batch map is not a question either; without "-C" it is.
        QCOMPARE(app::ParseInfoRequest(Line({"-C", "m", "8", "--at", "--help"})),
                 TInfoRequest::None);
        QCOMPARE(app::ParseInfoRequest(Line({"-C", "m", "8", "--at=--help"})), TInfoRequest::None);
        QCOMPARE(app::ParseInfoRequest(Line({"--at", "--help"})), TInfoRequest::Help);
        QCOMPARE(app::ParseInfoRequest(Line({"-help", "/version", "--HELP", "help"})),
                 TInfoRequest::None);
        QCOMPARE(app::ParseInfoRequest(Line({})), TInfoRequest::None);
        // The usage names every form, one line each.
        const std::string usage = app::UsageText();
        for (const char* form : {"-C FILE WIDTH", "-max", "--help", "--version"}) {
            QVERIFY2(usage.find("\n  " + std::string(form)) != std::string::npos, form);
        }
        QVERIFY(app::VersionText().rfind("Chronara ", 0) == 0);
    }

    void DisplayIsNamedOrAPlatformChosen_data() {
        QTest::addColumn<QString>("display");
        QTest::addColumn<QString>("wayland");
        QTest::addColumn<QString>("platform");
        QTest::addColumn<bool>("configured");
        // "-" stands for a variable that is not set.
        QTest::newRow("nothing") << "-"
                                 << "-"
                                 << "-" << false;
        QTest::newRow("all empty") << ""
                                   << ""
                                   << "" << false;
        QTest::newRow("x11") << ":0"
                             << "-"
                             << "-" << true;
        QTest::newRow("wayland") << "-"
                                 << "wayland-0"
                                 << "-" << true;
        QTest::newRow("offscreen") << ""
                                   << "-"
                                   << "offscreen" << true;
    }
    void DisplayIsNamedOrAPlatformChosen() {
        QFETCH(QString, display);
        QFETCH(QString, wayland);
        QFETCH(QString, platform);
        QFETCH(bool, configured);
#if defined(_WIN32) || defined(__APPLE__)
        QSKIP("the system itself is the display here");
#endif
        static std::map<std::string, std::string> env;
        env.clear();
        const auto set = [](const char* name, const QString& value) {
            if (value != "-") {
                env[name] = value.toStdString();
            }
        };
        set("DISPLAY", display);
        set("WAYLAND_DISPLAY", wayland);
        set("QT_QPA_PLATFORM", platform);
        const app::TGetEnv getEnv = [](const char* name) -> const char* {
            const auto it = env.find(name);
            return it == env.end() ? nullptr : it->second.c_str();
        };
        QCOMPARE(app::DisplayConfigured(getEnv), configured);
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
