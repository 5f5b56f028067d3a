// The stored settings without a window: first start, round trips, the toggle
// order at load, damaged and missing values, failed and interrupted saves.
#include "FakeSettingsHost.h"
#include "app/settings/StoredSettings.h"
#include "kiv/KivTimeZone.h"
#include "platform/Registry.h"
#include "platform/WallpaperRecord.h"

#include <QFile>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using app::TStoredLocation;
using apptest::TFakeSettingsHost;
using platform::TRegistry;

namespace {

QString SettingsFile(const QString& dir) {
    return QString::fromStdString(platform::SettingsFilePath(dir.toStdString()));
}

QByteArray ReadAll(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& file, const QByteArray& text) {
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text);
}

// A host whose every value differs from the window's defaults.
TFakeSettingsHost Unusual() {
    TFakeSettingsHost h;
    h.V.WallpaperWidth = 1920;
    h.V.ShowDate = false;
    h.V.ShowZA = false;
    h.V.ShowSA = true;
    h.V.CShowDate = false;
    h.V.CShowZA = true;
    h.V.CShowSA = true;
    h.V.CShowCty = true;
    h.V.ClockBGColor = 0x00123456;           // an explicit colour
    h.V.ClockFGColor = app::ButtonFaceColor; // a system colour
    h.V.ShowSM = false;
    h.V.SMUpdate = -120;
    h.V.Proxy = QStringLiteral("proxy.local");
    h.V.ProxyPort = 3128;
    h.V.CloudSource = QStringLiteral("http://example.invalid/c.jpg");
    h.V.CloudIntensity = 150;
    h.Single = {QStringLiteral("St. John's, \"Newfoundland\" \\ Canada"),
                QStringLiteral("America/St_Johns"), 47.5675, -52.7072, -210};
    h.List = {{QStringLiteral("Zürich, Schweiz"), QStringLiteral("Europe/Zurich"), 47.37, 8.54, 60},
              {QStringLiteral("東京, 日本"), QStringLiteral("Asia/Tokyo"), 35.68, 139.69, 540},
              {QStringLiteral("Back\\slash \"quoted\""), QStringLiteral("America/Caracas"), 10.5,
               -66.9, -240}};
    h.Clock = true;
    h.Wallpaper = true;
    h.Transp = true;
    h.Clouds = true;
    return h;
}

// The list as loading gives it back: the offsets are not read (the tick
// computes them anew).
std::vector<TStoredLocation> WithoutOffsets(std::vector<TStoredLocation> list) {
    for (auto& e : list) {
        e.UtcOffset = 0;
    }
    return list;
}

void Save(const TFakeSettingsHost& host, const QString& dir) {
    TRegistry reg(dir.toStdString());
    app::WriteSettings(host, reg);
}

app::TLoadReport Load(TFakeSettingsHost& host, const QString& dir) {
    TRegistry reg(dir.toStdString());
    return app::ReadSettings(host, reg);
}

// Replaces one line of the settings file (the first that starts with `start`).
void EditLine(const QString& dir, const QByteArray& start, const QByteArray& replacement) {
    const QString file = SettingsFile(dir);
    QList<QByteArray> lines = ReadAll(file).split('\n');
    for (QByteArray& line : lines) {
        if (line.startsWith(start)) {
            line = replacement;
            WriteAll(file, lines.join('\n'));
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no line starts with ") + QString::fromUtf8(start)));
}

} // namespace

class TestStoredSettings : public QObject {
    Q_OBJECT
private slots:
    void firstStart();
    void roundTrip();
    void storedTogglesAct_data();
    void storedTogglesAct();
    void eachValueOnItsOwn_data();
    void eachValueOnItsOwn();
    void wallpaperWidthRange_data();
    void wallpaperWidthRange();
    void missingSubkeyIsSkipped();
    void placesPastTheLimitAreKept();
    void longerEarlierListStays();
    void failedSaveKeepsTheOldStore();
    void killedSaveLeavesOldOrNew_data();
    void killedSaveLeavesOldOrNew();
};

void TestStoredSettings::firstStart() {
    QTemporaryDir dir;
    TFakeSettingsHost host;
    const auto report = Load(host, dir.path());
    QVERIFY(report.FirstRun);
    QCOMPARE(host.Log, (QStringList{"ShowClock", "HighlightCities", "MultiMode", "ShowClouds"}));
    QVERIFY(host.Clock);
    QVERIFY(host.Highlight);
    QVERIFY(!host.Multi);
    QVERIFY(host.Clouds);
    QCOMPARE(host.Single.Name, QStringLiteral("Melbourne, Australia"));
    QCOMPARE(host.V.SMUpdate, 600);
    QCOMPARE(host.V.CloudIntensity, 90);
    QCOMPARE(host.Counter, 599);
    QVERIFY(!QFile::exists(SettingsFile(dir.path())));
}

void TestStoredSettings::roundTrip() {
    QTemporaryDir dir;
    const TFakeSettingsHost saved = Unusual();
    Save(saved, dir.path());

    TFakeSettingsHost loaded;
    const auto report = Load(loaded, dir.path());
    QVERIFY(!report.FirstRun);
    QVERIFY2(report.Problems.isEmpty(), qPrintable(report.Problems.join('\n')));
    QCOMPARE(loaded.V, saved.V);
    QCOMPARE(loaded.Single, saved.Single);
    QCOMPARE(loaded.List, WithoutOffsets(saved.List));
    QCOMPARE(loaded.Clock, true);
    QCOMPARE(loaded.Multi, true);
    QCOMPARE(loaded.Wallpaper, true);
    QCOMPARE(loaded.Transp, true);
    QCOMPARE(loaded.Clouds, true);
    QCOMPARE(loaded.Highlight, false);
    QCOMPARE(loaded.Counter, -121); // SMUpdate - 1

    // The file reads as the registry editor writes it.
    const QByteArray text = ReadAll(SettingsFile(dir.path()));
    QVERIFY(text.contains("\"SingleMode\"=dword:00000000\n"));
    QVERIFY(text.contains("\"SMUpdate\"=dword:ffffff88\n"));
    QVERIFY(text.contains("\"ClockBGColor\"=hex:56,34,12,00\n"));
    QVERIFY(text.contains("\"ClockFGColor\"=hex:0f,00,00,ff\n"));
    QVERIFY(text.contains("\"SLGMTOffset\"=\"-210\"\n"));
    QVERIFY(text.contains("\"SLName\"=\"St. John's, \\\"Newfoundland\\\" \\\\ Canada\"\n"));
    QVERIFY(text.contains("[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data\\2]\n"
                          "\"Name\"=\"Back\\\\slash \\\"quoted\\\"\"\n"));
    QVERIFY(text.contains("\"GMTOffset\"=\"540\"\n"));
    // Saving the same state again writes the same file.
    Save(loaded, dir.path());
    TFakeSettingsHost again;
    Load(again, dir.path());
    QCOMPARE(again.List, loaded.List);
}

// The stored check marks run as commands, in order, each on the state the
// ones before it left.
void TestStoredSettings::storedTogglesAct_data() {
    QTest::addColumn<bool>("clock");
    QTest::addColumn<bool>("single");
    QTest::addColumn<bool>("highlight");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<bool>("clockAfter");
    QTest::addColumn<bool>("highlightAfter");
    QTest::newRow("all off") << false << false << false << QStringList{} << false << false;
    QTest::newRow("clock only") << true << false << false << QStringList{"ShowClock"} << true
                                << false;
    QTest::newRow("single mode switches the clock on")
        << false << true << false << QStringList{"MultiMode", "ShowClock", "HighlightCities"}
        << true << true;
    QTest::newRow("clock then single mode")
        << true << true << false << QStringList{"ShowClock", "MultiMode", "HighlightCities"} << true
        << true;
    QTest::newRow("highlight after single mode flips it back")
        << true << true << true
        << QStringList{"ShowClock", "MultiMode", "HighlightCities", "HighlightCities"} << true
        << false;
    QTest::newRow("highlight in list mode")
        << false << false << true << QStringList{"HighlightCities"} << false << true;
}

void TestStoredSettings::storedTogglesAct() {
    QFETCH(bool, clock);
    QFETCH(bool, single);
    QFETCH(bool, highlight);
    QFETCH(QStringList, log);
    QFETCH(bool, clockAfter);
    QFETCH(bool, highlightAfter);
    QTemporaryDir dir;
    TFakeSettingsHost saved;
    saved.Clock = clock;
    saved.Multi = !single;
    saved.Highlight = highlight;
    Save(saved, dir.path());
    TFakeSettingsHost loaded;
    Load(loaded, dir.path());
    QCOMPARE(loaded.Log, log);
    QCOMPARE(loaded.Clock, clockAfter);
    QCOMPARE(loaded.Multi, !single);
    QCOMPARE(loaded.Highlight, highlightAfter);
}

// A missing or unreadable value keeps its default; everything else loads.
void TestStoredSettings::eachValueOnItsOwn_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("replacement");
    QTest::addColumn<bool>("isProblem");
    QTest::newRow("ProxyPort deleted") << QByteArray("\"ProxyPort\"") << QByteArray() << false;
    QTest::newRow("ShowDate a text")
        << QByteArray("\"ShowDate\"") << QByteArray("\"ShowDate\"=\"yes\"") << true;
    QTest::newRow("SLLatitude 4 bytes")
        << QByteArray("\"SLLatitude\"") << QByteArray("\"SLLatitude\"=hex:00,00,00,00") << true;
    QTest::newRow("SLGMTOffset not a number")
        << QByteArray("\"SLGMTOffset\"") << QByteArray("\"SLGMTOffset\"=\"abc\"") << true;
    QTest::newRow("SMUpdate a damaged line")
        << QByteArray("\"SMUpdate\"") << QByteArray("\"SMUpdate\"=dword:zz") << false;
    // A place that lacks a value keeps the rest, and says so.
    QTest::newRow("a place's Latitude deleted")
        << QByteArray("\"Latitude\"") << QByteArray() << true;
    QTest::newRow("a place's Longitude a text")
        << QByteArray("\"Longitude\"") << QByteArray("\"Longitude\"=\"8.54\"") << true;
    QTest::newRow("a place's Name deleted") << QByteArray("\"Name\"") << QByteArray() << true;
    QTest::newRow("a place's ZoneName deleted")
        << QByteArray("\"ZoneName\"") << QByteArray() << true;
}

void TestStoredSettings::eachValueOnItsOwn() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, replacement);
    QFETCH(bool, isProblem);
    QTemporaryDir dir;
    const TFakeSettingsHost saved = Unusual();
    Save(saved, dir.path());
    EditLine(dir.path(), line, replacement);
    // The database knows the first place's zone (a missing coordinate of the
    // place is its zone's), not the others'.
    kiv::TZoneData zurich;
    zurich.ZoneName = "Europe/Zurich";
    zurich.Latitude = 47.3;
    zurich.Longitude = 8.5;
    kiv::ZoneDB.Zones = {zurich};
    const auto clearDatabase = qScopeGuard([] { kiv::ZoneDB.Clear(); });

    TFakeSettingsHost loaded;
    TRegistry reg(dir.path().toStdString());
    const auto report = app::ReadSettings(loaded, reg);
    QCOMPARE(report.Problems.size(), isProblem ? 1 : 0);
    // The damaged line is one the store could not read at all.
    QCOMPARE(reg.Problems().size(), std::size_t{replacement.contains("zz") ? 1u : 0u});
    // The places and the check marks after the value all came back; a place
    // missing a value (the first) keeps what it has.
    const QByteArray name = line.mid(1, line.size() - 2);
    std::vector<TStoredLocation> places = WithoutOffsets(saved.List);
    if (name == "Latitude") {
        places[0].Latitude = zurich.Latitude;
    } else if (name == "Longitude") {
        places[0].Longitude = zurich.Longitude;
    } else if (name == "Name") {
        places[0].Name = places[0].ZoneName;
    } else if (name == "ZoneName") {
        places.erase(places.begin()); // no clock without a zone; the file keeps it
    }
    if (isProblem) {
        QVERIFY2(report.Problems[0].contains(QString::fromLatin1(name)),
                 qPrintable(report.Problems[0]));
    }
    QCOMPARE(loaded.List, places);
    QVERIFY(loaded.Clock && loaded.Wallpaper && loaded.Transp && loaded.Clouds);
    QCOMPARE(loaded.V.CloudIntensity, 150);
    // The value itself kept its default.
    const TFakeSettingsHost defaults;
    if (name == "ProxyPort") {
        QCOMPARE(loaded.V.ProxyPort, defaults.V.ProxyPort);
    } else if (name == "ShowDate") {
        QCOMPARE(loaded.V.ShowDate, defaults.V.ShowDate);
    } else if (name == "SLLatitude") {
        QCOMPARE(loaded.Single.Latitude, defaults.Single.Latitude);
        QCOMPARE(loaded.Single.Longitude, saved.Single.Longitude);
    } else if (name == "SLGMTOffset") {
        QCOMPARE(loaded.Single.UtcOffset, defaults.Single.UtcOffset);
    } else if (name == "SMUpdate") {
        QCOMPARE(loaded.V.SMUpdate, defaults.V.SMUpdate);
        QCOMPARE(loaded.Counter, defaults.V.SMUpdate - 1);
    }
}

void TestStoredSettings::wallpaperWidthRange_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("loaded");
    QTest::newRow("zero") << 0 << 1024;
    QTest::newRow("negative") << -800 << 1024;
    QTest::newRow("15") << 15 << 1024;
    QTest::newRow("16") << 16 << 16;
    QTest::newRow("16384") << 16384 << 16384;
    QTest::newRow("16385") << 16385 << 1024;
    QTest::newRow("millions") << 5000000 << 1024;
}

void TestStoredSettings::wallpaperWidthRange() {
    QFETCH(int, stored);
    QFETCH(int, loaded);
    QTemporaryDir dir;
    TFakeSettingsHost saved;
    saved.V.WallpaperWidth = stored;
    Save(saved, dir.path());
    TFakeSettingsHost host;
    Load(host, dir.path());
    QCOMPARE(host.V.WallpaperWidth, loaded);
}

void TestStoredSettings::missingSubkeyIsSkipped() {
    QTemporaryDir dir;
    const TFakeSettingsHost saved = Unusual();
    Save(saved, dir.path());
    // Remove subkey 1 with its values: its key line becomes a comment, its
    // values then land in subkey 0 unless loading reads each key on its own.
    const QString file = SettingsFile(dir.path());
    QByteArray text = ReadAll(file);
    const qsizetype from = text.indexOf("[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data\\1]");
    const qsizetype to = text.indexOf("[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data\\2]");
    QVERIFY(from > 0 && to > from);
    text.remove(from, to - from);
    WriteAll(file, text);

    TFakeSettingsHost loaded;
    const auto report = Load(loaded, dir.path());
    QVERIFY(report.Problems.isEmpty());
    QCOMPARE(loaded.List, WithoutOffsets({saved.List[0], saved.List[2]}));

    // A count far beyond the list's limit reads no more than the list holds.
    EditLine(dir.path(), "\"LocationCount\"", "\"LocationCount\"=dword:7fffffff");
    TFakeSettingsHost many;
    Load(many, dir.path());
    QCOMPARE(many.List.size(), std::size_t{2});
}

// A store of 18 places lists 15, says how many were not, and the save keeps
// the other three in the file after the list.
void TestStoredSettings::placesPastTheLimitAreKept() {
    QTemporaryDir dir;
    TFakeSettingsHost eighteen;
    for (int i = 0; i < 18; ++i) {
        eighteen.List.push_back(
            {QStringLiteral("P%1").arg(i), QStringLiteral("Europe/Oslo"), i * 1.0, 0, 0});
    }
    Save(eighteen, dir.path());

    TFakeSettingsHost loaded;
    TRegistry reg(dir.path().toStdString());
    const auto report = app::ReadSettings(loaded, reg);
    QCOMPARE(loaded.List.size(), std::size_t{15});
    QCOMPARE(report.NotLoaded.size(), std::size_t{3});
    QCOMPARE(report.NotLoaded[0].Name, QStringLiteral("P15"));

    loaded.List.erase(loaded.List.begin()); // room for one more
    app::WriteSettings(loaded, reg, report.NotLoaded);
    TFakeSettingsHost next;
    const auto again = Load(next, dir.path());
    QCOMPARE(next.List.size(), std::size_t{15});
    QCOMPARE(next.List.back().Name, QStringLiteral("P15"));
    QCOMPARE(again.NotLoaded.size(), std::size_t{2});
    QCOMPARE(again.NotLoaded.back().Name, QStringLiteral("P17"));
}

void TestStoredSettings::longerEarlierListStays() {
    QTemporaryDir dir;
    TFakeSettingsHost five;
    for (int i = 0; i < 5; ++i) {
        five.List.push_back({QStringLiteral("P%1").arg(i), QStringLiteral("UTC"), i * 1.0, 0, 0});
    }
    Save(five, dir.path());
    TFakeSettingsHost two = five;
    two.List.resize(2);
    Save(two, dir.path());
    TRegistry reg(dir.path().toStdString());
    QVERIFY(reg.KeyExists(app::SettingsKey + "\\4"));
    TFakeSettingsHost loaded;
    app::ReadSettings(loaded, reg);
    QCOMPARE(loaded.List.size(), std::size_t{2});
}

void TestStoredSettings::failedSaveKeepsTheOldStore() {
    QTemporaryDir dir;
    const TFakeSettingsHost old = Unusual();
    Save(old, dir.path());
    const QString file = SettingsFile(dir.path());
    const QByteArray before = ReadAll(file);

    // The disk fills up in the middle of the save.
    TFakeSettingsHost bigger = old;
    for (int i = 0; i < 15; ++i) {
        bigger.List.push_back(
            {QString(200, QLatin1Char('x')), QStringLiteral("UTC"), 1.0 * i, 2.0, 0});
    }
    TRegistry reg(dir.path().toStdString());
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit oldLimit = limit;
    auto* oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    limit.rlim_cur = static_cast<rlim_t>(before.size());
    setrlimit(RLIMIT_FSIZE, &limit);
    QString error;
    try {
        app::WriteSettings(bigger, reg);
    } catch (const platform::ERegistryException& e) {
        error = QString::fromUtf8(e.what());
    }
    setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY2(error.startsWith(QStringLiteral("Failed to set data for '%1' (").arg(file)),
             qPrintable(error));
    QCOMPARE(ReadAll(file), before);
    // The accessor still reads the old store, and the next save works.
    QVERIFY(!reg.HasPendingWrites());
    app::WriteSettings(bigger, reg);
    TFakeSettingsHost loaded;
    Load(loaded, dir.path());
    QCOMPARE(loaded.List.size(), std::size_t{15});
}

// A process killed at any moment of a save leaves the old file or the new one:
// the settings store, and the record of the user's wallpaper.
void TestStoredSettings::killedSaveLeavesOldOrNew_data() {
    QTest::addColumn<bool>("record");
    QTest::newRow("settings store") << false;
    QTest::newRow("wallpaper record") << true;
}

void TestStoredSettings::killedSaveLeavesOldOrNew() {
    QFETCH(bool, record);
    QTemporaryDir dir;
    TFakeSettingsHost a = Unusual();
    TFakeSettingsHost b = Unusual();
    for (int i = 0; i < 15; ++i) {
        b.List.push_back({QStringLiteral("Place %1").arg(i), QStringLiteral("Europe/Oslo"), i * 3.0,
                          i * -4.0, 0});
    }
    b.List.resize(15);
    // Two records of the user's wallpaper, the second with many monitors.
    const QString recordFile = dir.filePath(QStringLiteral("SavedWallpaper.json"));
    const QString ours = dir.filePath(QStringLiteral("Wallpaper.bmp"));
    const platform::TSavedWallpaper mineA{true,
                                          {{QStringLiteral("picture"), QStringLiteral("/a.png")}}};
    platform::TSavedWallpaper mineB{true, {}};
    platform::TSavedWallpaper oursShown{true, {}};
    for (int i = 0; i < 200; ++i) {
        const QString key = QStringLiteral("/monitor%1/picture").arg(i);
        mineB.Values.push_back({key, QStringLiteral("/b%1.png").arg(i)});
        oursShown.Values.push_back({key, ours});
    }
    oursShown.Values.push_back({QStringLiteral("picture"), ours});
    const auto save = [&](int n) {
        if (record) {
            platform::TWallpaperRecord(recordFile)
                .Keep(QStringLiteral("GNOME"), n % 2 ? mineA : mineB);
        } else {
            Save(n % 2 ? a : b, dir.path());
        }
    };
    save(1);
    QRandomGenerator random(20261208);
    for (int round = 0; round < 100; ++round) {
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            // Saves the two states in turn until it is killed.
            for (int n = 0;; ++n) {
                try {
                    save(n);
                } catch (...) {
                    _exit(3);
                }
            }
        }
        usleep(random.bounded(1000u, 30000u));
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        QVERIFY(WIFSIGNALED(status));

        if (record) {
            const auto start =
                platform::TWallpaperRecord(recordFile).Start(QStringLiteral("GNOME"), oursShown);
            QVERIFY(!start.Damaged && !start.EntryMissing);
            const QString picture = start.Saved.Get(QStringLiteral("picture"));
            const QString first = start.Saved.Get(QStringLiteral("/monitor0/picture"));
            QVERIFY2((picture == QLatin1String("/a.png") && first.isEmpty()) ||
                         (picture.isEmpty() && first == QLatin1String("/b0.png")),
                     qPrintable(picture + QLatin1Char(' ') + first));
            continue;
        }
        TRegistry reg(dir.path().toStdString());
        QVERIFY(reg.Problems().empty());
        TFakeSettingsHost loaded;
        const auto report = app::ReadSettings(loaded, reg);
        QVERIFY(!report.FirstRun);
        QVERIFY(report.Problems.isEmpty());
        QVERIFY(loaded.List == WithoutOffsets(a.List) || loaded.List == WithoutOffsets(b.List));
        QCOMPARE(loaded.V, a.V);
    }
}

QTEST_GUILESS_MAIN(TestStoredSettings)
#include "TestStoredSettings.moc"
