// The settings table against the store: every entry round-trips with its kind,
// its bounds and its default, and a store the program wrote before the table
// loads whole and is written again to the same bytes.
#include "FakeSettingsHost.h"
#include "app/settings/SettingsTable.h"
#include "app/settings/StoredSettings.h"
#include "platform/Registry.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using app::TStoredEntry;
using app::TStoredLocation;
using app::TStoredValue;
using apptest::TFakeSettingsHost;
using platform::TRegistry;

namespace {

// What a row stores: a value other than the default, the default itself, or
// an integer at or beyond one of its bounds.
enum TStoredCase { Changed, Default, Lowest, Highest, BelowLowest, AboveHighest };
// Which table a row's entry is of.
enum TTable { SettingsKeyTable, PlaceTable, DesktopTable };

QByteArray ReadAll(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A value of the same type that differs from `value`, and from it as text.
TStoredValue OtherThan(const TStoredValue& value, const app::TBounds& bounds) {
    struct TOther {
        const app::TBounds& Bounds;
        TStoredValue operator()(bool v) const { return !v; }
        TStoredValue operator()(int v) const { return Bounds.Contains(v - 150) ? v - 150 : v + 1; }
        TStoredValue operator()(double v) const { return v * -2.5 + 0.125; }
        TStoredValue operator()(app::TColorWord v) const { return v ^ 0x00A5C3E1u; }
        TStoredValue operator()(const QString& v) const {
            return v + QStringLiteral("Zürich \"quoted\" \\ 東京");
        }
    };
    return std::visit(TOther{bounds}, value);
}

int StoreType(app::TStoredKind kind) {
    switch (kind) {
    case app::TStoredKind::Flag:
    case app::TStoredKind::Integer:
        return platform::RegDword;
    case app::TStoredKind::Text:
    case app::TStoredKind::OffsetText:
        return platform::RegSz;
    case app::TStoredKind::Real:
    case app::TStoredKind::Color:
        return platform::RegBinary;
    }
    return -1;
}

// Writes one record whose entry `index` holds the row's value into a new
// store, reads it back into a record made anew and compares the whole record:
// a value landing in another field, or another entry's value in this one,
// fails as much as a value lost.
template <class Record>
void RoundTrip(std::span<const TStoredEntry<Record>> table, const std::string& key, int index,
               TStoredCase storedCase) {
    const TStoredEntry<Record>& entry = table[std::size_t(index)];
    Record written{};
    Record expected{};
    const TStoredValue fallback = entry.Default();
    TStoredValue value = fallback;
    switch (storedCase) {
    case Changed:
        value = OtherThan(fallback, entry.Bounds);
        break;
    case Default:
        break;
    case Lowest:
    case BelowLowest:
        value = entry.Bounds.Min - (storedCase == BelowLowest ? 1 : 0);
        break;
    case Highest:
    case AboveHighest:
        value = entry.Bounds.Max + (storedCase == AboveHighest ? 1 : 0);
        break;
    }
    app::SetValueAt(entry.Field(written), value);
    // No other entry holds the field this one does.
    for (const TStoredEntry<Record>& other : table) {
        QVERIFY2(&other == &entry || app::ValueAt(other.Field(written)) == other.Default(),
                 other.Name);
    }
    const bool kept = entry.ReadBack && storedCase != BelowLowest && storedCase != AboveHighest;
    app::SetValueAt(entry.Field(expected), kept ? value : fallback);

    QTemporaryDir dir;
    {
        TRegistry reg(dir.path().toStdString());
        reg.OpenKey(key, true);
        app::WriteRecord(reg, table, written);
        reg.Commit();
    }
    TRegistry reg(dir.path().toStdString());
    QVERIFY(reg.OpenKeyReadOnly(key));
    const auto stored = reg.Value(entry.Name);
    QVERIFY(stored);
    QCOMPARE(stored->Type, StoreType(entry.Kind));
    Record loaded{};
    QStringList problems;
    app::ReadRecord(reg, table, loaded, problems);
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join('\n')));
    QVERIFY(loaded == expected);
    QVERIFY(app::ValueAt(entry.Field(loaded)) == (kept ? value : fallback));
}

template <class Record>
void AddRows(TTable table, const char* prefix, std::span<const TStoredEntry<Record>> entries) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const auto& e = entries[i];
        const auto row = [&](const char* what, TStoredCase storedCase) {
            QTest::addRow("%s%s %s", prefix, e.Name, what) << int(table) << int(i) << storedCase;
        };
        row("changed", Changed);
        row("default", Default);
        if (e.Bounds != app::TBounds{}) {
            row("lowest", Lowest);
            row("highest", Highest);
            row("below lowest", BelowLowest);
            row("above highest", AboveHighest);
        }
    }
}

} // namespace

Q_DECLARE_METATYPE(TStoredCase)

class TestSettingsTable : public QObject {
    Q_OBJECT
private slots:
    void everyEntryRoundTrips_data();
    void everyEntryRoundTrips();
    void storeOfTheEarlierProgram();
};

void TestSettingsTable::everyEntryRoundTrips_data() {
    QTest::addColumn<int>("table");
    QTest::addColumn<int>("index");
    QTest::addColumn<TStoredCase>("storedCase");
    AddRows(SettingsKeyTable, "", app::SettingEntries);
    AddRows(PlaceTable, "place ", app::PlaceEntries);
    AddRows(DesktopTable, "desktop ", app::DesktopEntries);
}

void TestSettingsTable::everyEntryRoundTrips() {
    QFETCH(int, table);
    QFETCH(int, index);
    QFETCH(TStoredCase, storedCase);
    switch (TTable(table)) {
    case SettingsKeyTable:
        RoundTrip(app::SettingEntries, app::SettingsKey, index, storedCase);
        break;
    case PlaceTable:
        RoundTrip(app::PlaceEntries, app::SettingsKey + "\\0", index, storedCase);
        break;
    case DesktopTable:
        RoundTrip(app::DesktopEntries, app::DesktopKey, index, storedCase);
        break;
    }
}

// tests/data/settings_old_program.reg was written by the store code as it was
// before the table, from a host holding the values checked here.
void TestSettingsTable::storeOfTheEarlierProgram() {
    const QString old = QStringLiteral(CHRONARA_TEST_DATA_DIR "/settings_old_program.reg");
    const QByteArray oldBytes = ReadAll(old);
    QVERIFY(!oldBytes.isEmpty());
    QTemporaryDir dir;
    const QString file =
        QString::fromStdString(platform::SettingsFilePath(dir.path().toStdString()));
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(oldBytes);
    out.close();

    TFakeSettingsHost loaded;
    TRegistry reg(dir.path().toStdString());
    const app::TLoadReport report = app::ReadSettings(loaded, reg);
    QVERIFY(!report.FirstRun);
    QVERIFY(reg.Problems().empty());
    QVERIFY2(report.Problems.isEmpty(), qPrintable(report.Problems.join('\n')));
    app::TSettingsValues v;
    v.WallpaperWidth = 1920;
    v.ShowDate = false;
    v.ShowZA = false;
    v.ShowSA = true;
    v.CShowDate = false;
    v.CShowZA = true;
    v.CShowSA = true;
    v.CShowCty = true;
    v.ClockBGColor = 0x00123456;
    v.ClockFGColor = 0xFF000012;
    v.ShowSM = false;
    v.SMUpdate = 300;
    v.Proxy = QStringLiteral("proxy.example.net");
    v.ProxyPort = 3128;
    v.CloudSource = QStringLiteral("http://clouds.example.net/world/clouds_4096.jpg");
    v.CloudIntensity = 140;
    QCOMPARE(loaded.V, v);
    QCOMPARE(loaded.Single,
             (TStoredLocation{QStringLiteral("St. John's, \"Newfoundland\" \\ Canada"),
                              QStringLiteral("America/St_Johns"), 47.5675, -52.7072, -150}));
    // The places' offsets are not read back: the clock tick computes them.
    std::vector<TStoredLocation> places{
        {QStringLiteral("Zürich, Schweiz"), QStringLiteral("Europe/Zurich"), 47.37, 8.54, 0},
        {QStringLiteral("東京, 日本"), QStringLiteral("Asia/Tokyo"), 35.68, 139.69, 0},
        {QStringLiteral("Kathmandu, Nepal"), QStringLiteral("Asia/Kathmandu"), 27.7172, 85.324, 0},
        {QStringLiteral("Back\\slash \"quoted\""), QStringLiteral("America/Caracas"), 10.5, -66.9,
         0}};
    QCOMPARE(loaded.List, places);
    QCOMPARE(loaded.Log, (QStringList{"ShowClock", "Wallpaper", "TranspDesk", "ShowClouds",
                                      "HighlightCities"}));
    QVERIFY(loaded.Clock && loaded.Multi && loaded.Wallpaper && loaded.Transp && loaded.Clouds &&
            loaded.Highlight);
    QCOMPARE(loaded.Counter, 299);

    // Written now into an empty store, with the offsets the tick had when the
    // earlier program saved, it is the very same file.
    const int offsets[] = {60, 540, 345, -240};
    for (std::size_t i = 0; i < loaded.List.size(); ++i) {
        loaded.List[i].UtcOffset = offsets[i];
    }
    QTemporaryDir fresh;
    TRegistry again(fresh.path().toStdString());
    app::WriteSettings(loaded, again);
    QCOMPARE(ReadAll(QString::fromStdString(again.FileName())), oldBytes);
}

QTEST_GUILESS_MAIN(TestSettingsTable)
#include "TestSettingsTable.moc"
