// Start-up faults: every file the window reads missing, empty, cut short,
// damaged or a directory; the settings file damaged, unreadable, empty or far
// too large; a program folder the program may not write to. In each case the
// window opens, says so once naming the file, goes on working for what is
// left, saves its settings whole when it closes and overwrites no file it did
// not write itself. The translation file is optional: whatever is wrong with
// it, the window passes it over without a word.
#include "AppTestSupport.h"

#include "app/settings/StoredSettings.h"
#include "app/text/Translation.h"
#include "platform/Registry.h"
#include "tests/FullDisk.h"

#include <QDirIterator>
#include <QMap>
#include <QMenu>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QSignalSpy>

#include <optional>

#include <sys/stat.h>

using namespace apptest;
using app::TFormChronara;

namespace {

enum class TFault { Missing, Empty, Truncated, Corrupt, BadContent, NotAnImage, Directory };

// Damages a file as the fault says. False when it could not be done.
bool Damage(const QString& path, TFault fault) {
    QFile file(path);
    switch (fault) {
    case TFault::Missing:
        return file.remove();
    case TFault::Empty:
        return file.resize(0);
    case TFault::Truncated:
        return file.resize(file.size() / 2);
    case TFault::Corrupt: {
        if (!file.open(QIODevice::ReadWrite)) {
            return false;
        }
        QByteArray bytes = file.readAll();
        for (qsizetype i = bytes.size() / 2; i < bytes.size() / 2 + 16 && i < bytes.size(); ++i) {
            bytes[i] = static_cast<char>(bytes[i] ^ 0x5A);
        }
        file.seek(0);
        return file.write(bytes) == bytes.size();
    }
    case TFault::BadContent:
        // Packed as it should be, but the lines are not what the table holds.
        WritePacked(path, "first\tline\n\tnot\ta\ttable\n");
        return true;
    case TFault::NotAnImage:
        if (!file.open(QIODevice::WriteOnly)) {
            return false;
        }
        return file.write("This is a text, not a picture.\n") > 0;
    case TFault::Directory:
        return file.remove() && QDir().mkdir(path);
    }
    return false;
}

// Every plain file below dir, by its path, with its bytes.
QMap<QString, QByteArray> Snapshot(const QString& dir) {
    QMap<QString, QByteArray> files;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly)) {
            files.insert(file.fileName(), file.readAll());
        }
    }
    return files;
}

// Names of temporary files left below dir.
QStringList LeftoverTemporaries(const QString& dir) {
    QStringList found;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString name = QFileInfo(it.next()).fileName();
        if (name.endsWith(QLatin1String(".tmp")) ||
            (name.startsWith(QLatin1String("Chronara.reg.")) &&
             !name.startsWith(QLatin1String("Chronara.reg.damaged")))) {
            found << name;
        }
    }
    return found;
}

// A place subkey of the settings file.
QByteArray PlaceKeyText(const char* name) {
    return QByteArray("[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data\\0]\n\"Name\"=\"") + name +
           "\"\n\"ZoneName\"=\"Asia/Kolkata\"\n\"Latitude\"=hex:52,b8,1e,85,eb,91,36,40\n"
           "\"Longitude\"=hex:d7,a3,70,3d,0a,17,56,40\n";
}

// The record of the user's wallpaper as a run writes it for the recording
// desktop.
QByteArray GoodRecord() {
    return "{\n    \"recording\": [\n        {\n            \"key\": \"picture\",\n"
           "            \"value\": \"mine.png\"\n        },\n        {\n"
           "            \"key\": \"style\",\n            \"value\": null\n        }\n    ]\n}\n";
}

// Whether this process may write where the permission bits say it may not
// (the superuser may): then a permission fault cannot be made.
bool PermissionsBind(const QString& dir) {
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner);
    QFile probe(dir + QStringLiteral("/probe"));
    const bool written = probe.open(QIODevice::WriteOnly);
    if (written) {
        probe.remove();
    }
    QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return !written;
}

} // namespace

class TestStartupFaults : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    QString ProgramDir() const { return QString::fromStdString(World->ProgramDir()); }
    QString DataDir() const { return ProgramDir() + QStringLiteral("/data"); }

    // A shadow refresh, run to its end (the map rebuild included).
    void Refresh() {
        if (!ShadowMapOf(*Form)) {
            return;
        }
        DisplayOf(*Form).ShadowRefreshCounter = 700;
        RunTick(*Form);
        QTRY_VERIFY(!ShadowMapOf(*Form)->Busy());
        QCoreApplication::processEvents();
    }

    // What the user can still do: ticks, a shadow refresh, the pointer over
    // the map, painting, zooming, the map menu, adding a place, the options
    // and the wizard (both closed without a change). None of it may fail.
    void UseTheWindow() {
        TFormChronara& form = *Form;
        // A first start (a settings file without settings) is in single mode.
        if (!ActionOf(form, "MultiMode")->isChecked()) {
            QVERIFY(TriggerAction(&form, "MultiMode"));
        }
        for (int i = 0; i < 3; ++i) {
            RunTick(form);
        }
        Refresh();
        PaintBoxOf(form)->PointerPos = QPoint(200, 150);
        PaintBoxOf(form)->PointerInside = true;
        PaintBoxOf(form)->PanelPaintBoxMouseMove(Qt::NoButton, 200, 150);
        PaintBoxOf(form)->PanelPaintBoxMouseMove(Qt::LeftButton, 220, 160);
        PaintBoxOf(form)->repaint();
        QVERIFY(TriggerAction(&form, "MIZoomIn"));
        QVERIFY(TriggerAction(&form, "N4"));
        QVERIFY(TriggerAction(&form, "MIHighlightCities"));
        QVERIFY(TriggerAction(&form, "MIHighlightCities"));
        emit MenuOf(form, "PopupMenu2")->aboutToShow();
        LocationsOf(form)->AddLocation(QStringLiteral("Kolkata"), QStringLiteral("Asia/Kolkata"),
                                       22.57, 88.36);
        RunTick(form);
        QCOMPARE(LocationsOf(form)->Entries().size(), std::size_t{1});
        if (!kiv::ZoneDB.Zones.empty()) {
            QVERIFY(LocationsOf(form)->Entries()[0].TimeValid);
        }
        form.SetShowModal([](QDialog&) { return int(QDialog::Rejected); });
        QVERIFY(TriggerAction(&form, "PIOptions"));
        QVERIFY(TriggerAction(&form, "MIAddLocation"));
        PaintBoxOf(form)->TimerZoomTo->stop();
        PaintBoxOf(form)->repaint();
    }

    // Closes the window; its settings must then be stored whole.
    void CloseAndCheckTheStore() {
        QSignalSpy closed(Form.get(), &TFormChronara::Closed);
        Form->close();
        QCOMPARE(closed.count(), 1);
        platform::TRegistry store;
        QStringList problems;
        for (const std::string& line : store.Problems()) {
            problems << QString::fromStdString(line);
        }
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
        QVERIFY(store.OpenKeyReadOnly(app::SettingsKey));
        QCOMPARE(store.ReadInteger("LocationCount"), 1);
        QVERIFY(store.OpenKeyReadOnly(app::SettingsKey + "\\0"));
        QCOMPARE(store.ReadString("Name"), std::string("Kolkata"));
        Form.reset();
    }

    // Every file that was there before the run is there after it, unchanged.
    void CheckUntouched(const QMap<QString, QByteArray>& before) {
        const QMap<QString, QByteArray> after = Snapshot(ProgramDir());
        for (auto it = before.cbegin(); it != before.cend(); ++it) {
            if (it.key() == World->SettingsFile()) {
                continue; // rewritten by the save at close, checked there
            }
            QVERIFY2(after.contains(it.key()), qPrintable(it.key() + " is gone"));
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable(it.key() + " was changed"));
        }
        const QStringList left = LeftoverTemporaries(ProgramDir());
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    }

    QTemporaryDir DataHome;

private slots:
    void initTestCase() {
        // A wallpaper that cannot go beside the program goes here, never into
        // the user's own folder.
        QVERIFY(DataHome.isValid());
        qputenv("XDG_DATA_HOME", DataHome.path().toUtf8());
    }
    void init() { StartFixture(); }
    void cleanup() {
        EndFixture();
        app::SetLangTable({});
    }

    void aDamagedFileIsReportedOnceAndTheRestWorks_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("fault");
        const struct {
            const char* Name;
            TFault Fault;
        } dataFaults[] = {{"missing", TFault::Missing},      {"empty", TFault::Empty},
                          {"truncated", TFault::Truncated},  {"corrupt", TFault::Corrupt},
                          {"bad lines", TFault::BadContent}, {"a directory", TFault::Directory}};
        for (const char* file : {"tz_colors.dat", "moreplaces.dat", "tz_data.dat", "tz_dst.dat"}) {
            for (const auto& f : dataFaults) {
                QTest::addRow("%s %s", file, f.Name) << file << static_cast<int>(f.Fault);
            }
        }
        const struct {
            const char* Name;
            TFault Fault;
        } imageFaults[] = {{"missing", TFault::Missing},
                           {"not an image", TFault::NotAnImage},
                           {"truncated", TFault::Truncated},
                           {"empty", TFault::Empty},
                           {"a directory", TFault::Directory}};
        for (const char* file : {"earth_tz.png", "earth_day.png", "earth_night.jpg", "mask.png"}) {
            for (const auto& f : imageFaults) {
                QTest::addRow("%s %s", file, f.Name) << file << static_cast<int>(f.Fault);
            }
        }
    }

    void aDamagedFileIsReportedOnceAndTheRestWorks() {
        QFETCH(QString, file);
        QFETCH(int, fault);
        const QString path = World->DataFile(file);
        QVERIFY(Damage(path, static_cast<TFault>(fault)));
        const QMap<QString, QByteArray> before = Snapshot(ProgramDir());

        QVERIFY(OpenWindow());
        if (file == QLatin1String("mask.png")) {
            // The mask is read only for the wallpaper.
            const QSignalBlocker quiet(ActionOf(*Form, "Wallpaper"));
            ActionOf(*Form, "Wallpaper")->setChecked(true);
        }
        UseTheWindow();
        // The wallpaper's error comes back from its own thread.
        QTRY_VERIFY(!Messages->Texts.isEmpty());
        QCoreApplication::processEvents();
        Refresh();
        QTest::qWait(20);
        QVERIFY2(Messages->Texts.size() == 1,
                 qPrintable(Messages->Texts.join(QLatin1String(" | "))));
        const QString& text = Messages->Texts[0];
        QVERIFY2(text.contains(file), qPrintable(text));
        if (static_cast<TFault>(fault) == TFault::Directory) {
            QVERIFY2(text.contains(QStringLiteral("It is a directory")), qPrintable(text));
        }
        QVERIFY2(!text.contains(QStringLiteral("memory"), Qt::CaseInsensitive), qPrintable(text));
        QVERIFY(Form->isVisible());

        CloseAndCheckTheStore();
        CheckUntouched(before);
    }

    // The settings file, and the record of the user's wallpaper that a killed
    // run left while the desktop still shows our map. The damaged file is
    // kept aside, what can be read is used, the user is told once, and at the
    // close the store is whole and the desktop gets the user's picture back
    // (or the desktop's default where the record lost it), never our map.
    void aDamagedSettingsFileIsKeptAndReplaced_data() {
        QTest::addColumn<QString>("file"); // "settings" or "record"
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("problem");
        QTest::addColumn<bool>("fullDisk");
        QTest::addColumn<QString>("restored"); // the record's rows: the picture put back
        const QByteArray head = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data]\n";
        // The start of a PNG file, with the zero bytes inside it.
        static constexpr char png[] = "\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\xff\xfe";
        const QString settings = QStringLiteral("settings");
        QTest::newRow("not a settings file")
            << settings << QByteArray(png, sizeof png - 1) << "line 1" << false << QString();
        QTest::newRow("cut in a text") << settings << head + "\"SLName\"=\"Melbou"
                                       << "SLName" << false << QString();
        QTest::newRow("a value of the wrong kind")
            << settings << head + "\"SMUpdate\"=\"ten minutes\"\n"
            << "SMUpdate" << false << QString();
        // What a crash during a write can leave on some file systems.
        QTest::newRow("zeros after a crash")
            << settings << QByteArray(4096, '\0') << "line 1" << false << QString();
        const QByteArray noise =
            head + "\"ShowDate\"=dword:00000001\n@@@@\n\"ShowZA\"=dword:00000000\n";
        QTest::newRow("a line of noise") << settings << noise << "@@@@" << false << QString();
        // The copy cannot be made: the store stays in place, and is copied
        // before the save at the close replaces it.
        QTest::newRow("a line of noise on a full disk")
            << settings << noise << "@@@@" << true << QString();
        QTest::newRow("a place given twice") << settings
                                             << head + "\"LocationCount\"=dword:00000001\n" +
                                                    PlaceKeyText("Kolkata") + PlaceKeyText("Berlin")
                                             << "Data\\0]" << false << QString();

        const QString record = QStringLiteral("record");
        const QByteArray good = GoodRecord();
        QTest::newRow("record cut short")
            << record << good.left(good.indexOf("\"style\"")) << "" << false << "mine.png";
        QTest::newRow("record empty") << record << QByteArray("") << "" << false << "";
        QTest::newRow("record of random bytes")
            << record << QByteArray("\x93\x07\xfe{\"rec\x00\x01", 11).repeated(7) << "" << false
            << "";
        QTest::newRow("record an empty list") << record << QByteArray("[]") << "" << false << "";
        QTest::newRow("record a directory") << record << QByteArray() << "directory" << false << "";
        QTest::newRow("record deleted") << record << QByteArray() << "deleted" << false << "";
    }

    void aDamagedSettingsFileIsKeptAndReplaced() {
        QFETCH(QString, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, problem);
        QFETCH(bool, fullDisk);
        QFETCH(QString, restored);
        const bool record = file == QLatin1String("record");
        const QString path =
            record ? ProgramDir() + QStringLiteral("/SavedWallpaper.json") : World->SettingsFile();
        // The record's rows: "directory", "deleted" or a file of the content.
        const QString fault = record ? problem : QString();
        if (record) {
            // A run killed with our map on the desktop left the record.
            Desktop->Show(ProgramDir() + QStringLiteral("/Wallpaper-1.bmp"));
        }
        if (fault == QLatin1String("directory")) {
            QVERIFY(QDir().mkdir(path));
        } else if (fault != QLatin1String("deleted")) {
            QFile damaged(path);
            QVERIFY(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
            damaged.write(content);
        }
        {
            std::optional<testsupport::TFullDisk> full;
            if (fullDisk) {
                full.emplace(16);
            }
            QVERIFY(OpenWindow());
        }
        QCOMPARE(Messages->Texts.size(), 1);
        const QString& text = Messages->Texts[0];
        QVERIFY2(text.contains(path), qPrintable(text));
        if (!record) {
            QVERIFY2(text.contains(problem), qPrintable(text));
        }
        const QString kept = path + QStringLiteral(".damaged");
        if (fullDisk) {
            QVERIFY2(text.contains(QStringLiteral("No copy of the file could be kept")),
                     qPrintable(text));
            QFile store(path);
            QVERIFY(store.open(QIODevice::ReadOnly));
            QCOMPARE(store.readAll(), content);
            QVERIFY(!QFileInfo::exists(kept));
        } else if (fault != QLatin1String("deleted")) {
            QVERIFY2(text.contains(QFileInfo(kept).fileName()), qPrintable(text));
        }
        QVERIFY2(!text.contains(QChar(0)), qPrintable(text));
        if (record) {
            const QSignalBlocker quiet(ActionOf(*Form, "Wallpaper"));
            ActionOf(*Form, "Wallpaper")->setChecked(true);
        }
        UseTheWindow();
        QCOMPARE(Messages->Texts.size(), 1);
        CloseAndCheckTheStore();
        // The file as it was is kept; the new one holds the settings whole.
        if (fault == QLatin1String("directory")) {
            QVERIFY(QFileInfo(kept).isDir());
        } else if (fault != QLatin1String("deleted")) {
            QFile old(kept);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QCOMPARE(old.readAll(), content);
        }
        if (record) {
            const QStringList calls = Desktop->Recorded();
            QCOMPARE(calls.last(), QStringLiteral("restore ") + restored);
            for (const QString& call : calls) {
                QVERIFY2(!call.startsWith(QLatin1String("restore")) ||
                             !call.contains(QLatin1String("Wallpaper")),
                         qPrintable(calls.join(QLatin1Char(' '))));
            }
            QVERIFY(!QFileInfo::exists(path)); // put back: nothing left to keep
        }
        const QStringList left = LeftoverTemporaries(World->ConfigHome());
        QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));
    }

    void anUnreadableSettingsFileIsKeptAndReplaced_data() {
        QTest::addColumn<QString>("fault");
        QTest::newRow("a directory") << "directory";
        QTest::newRow("no permission to read") << "permission";
        QTest::newRow("gigabytes") << "huge";
        // Opened blocking, a named pipe held the start for good, and with it
        // the single-instance lock.
        QTest::newRow("a named pipe") << "pipe";
    }

    void anUnreadableSettingsFileIsKeptAndReplaced() {
        QFETCH(QString, fault);
        const bool directory = fault == QLatin1String("directory");
        const bool huge = fault == QLatin1String("huge");
        const bool pipe = fault == QLatin1String("pipe");
        // A sparse file: no disk space, and nothing copies it.
        constexpr qint64 hugeSize = qint64{3} << 30;
        const QString file = World->SettingsFile();
        if (huge) {
            QFile big(file);
            QVERIFY(big.open(QIODevice::Append));
            QVERIFY(big.resize(hugeSize));
        } else if (pipe) {
            QVERIFY(QFile::remove(file));
            QCOMPARE(mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        } else if (directory) {
            QVERIFY(QFile::remove(file));
            QVERIFY(QDir().mkdir(file));
            QFile inside(file + QStringLiteral("/note.txt"));
            QVERIFY(inside.open(QIODevice::WriteOnly));
            inside.write("mine");
        } else {
            QFile::setPermissions(file, QFileDevice::WriteOwner);
            QFile probe(file);
            if (probe.open(QIODevice::ReadOnly)) {
                QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
                QSKIP("This user reads files whatever their permissions say (the superuser): "
                      "an unreadable file cannot be made here; the directory row covers it.");
            }
        }
        QVERIFY(OpenWindow());
        QCOMPARE(Messages->Texts.size(), 1);
        const QString& text = Messages->Texts[0];
        QVERIFY2(text.contains(file), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral("Chronara.reg.damaged")), qPrintable(text));
        if (directory) {
            QVERIFY2(text.contains(QStringLiteral("It is a directory")), qPrintable(text));
        }
        if (huge) {
            QVERIFY2(text.contains(QStringLiteral("It is too large")), qPrintable(text));
        }
        UseTheWindow();
        CloseAndCheckTheStore();
        QCOMPARE(Messages->Texts.size(), 1);
        // What was there is kept under the other name, as it was.
        const QString kept = file + QStringLiteral(".damaged");
        if (directory) {
            QFile inside(kept + QStringLiteral("/note.txt"));
            QVERIFY(inside.open(QIODevice::ReadOnly));
            QCOMPARE(inside.readAll(), QByteArray("mine"));
        } else if (pipe) {
            QVERIFY(QFileInfo::exists(kept) && !QFileInfo(kept).isFile());
        } else if (huge) {
            QCOMPARE(QFileInfo(kept).size(), hugeSize);
            QFile old(kept);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QVERIFY(old.read(8).startsWith("REGEDIT4"));
        } else {
            QFile::setPermissions(kept, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            QFile old(kept);
            QVERIFY(old.open(QIODevice::ReadOnly));
            QVERIFY(old.readAll().startsWith("REGEDIT4"));
        }
    }

    // lang.txt beside the program, damaged; the shipped German texts under
    // lang/de. What cannot be read is passed over for the shipped texts; what
    // can be read is used for what it holds (nothing: English).
    void aDamagedTranslationFileIsPassedOverQuietly_data() {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("addLocation");
        const QByteArray text = "; interface texts\n<//TFormChronara-- the main window\n"
                                "E=Options...\nT=Einstellungen \xe2\x80\xa6\n"
                                "E=Add Location...\nT=Ort hinzuf\xc3\xbcgen...\n";
        const QString own = QString::fromUtf8("Einstellungen \xe2\x80\xa6");
        const QString shipped = QStringLiteral("Optionen...");
        const QString english = QStringLiteral("Options...");
        const QString add = QStringLiteral("Add Location...");
        static constexpr char binary[] = "\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR\xff\xfe\x00\x80";
        QTest::newRow("whole") << "file" << text << own
                               << QString::fromUtf8("Ort hinzuf\xc3\xbcgen...");
        QTest::newRow("missing") << "missing" << QByteArray() << shipped << add;
        QTest::newRow("empty") << "file" << QByteArray("") << english << add;
        QTest::newRow("cut in a line")
            << "file" << text.left(text.indexOf("hinz") + 4) << own << QStringLiteral("Ort hinz");
        QTest::newRow("cut in a character") << "file" << text.left(text.indexOf("\xc3\xbc") + 1)
                                            << own << QStringLiteral("Ort hinzuf");
        QTest::newRow("binary bytes")
            << "file" << QByteArray(binary, sizeof binary - 1) << english << add;
        QTest::newRow("not the format")
            << "file" << QByteArray("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software]\n\"A\"=\"B\"\n")
            << english << add;
        QTest::newRow("a directory") << "directory" << QByteArray() << shipped << add;
        QTest::newRow("no permission to read") << "unreadable" << text << shipped << add;
    }

    void aDamagedTranslationFileIsPassedOverQuietly() {
        QFETCH(QString, fault);
        QFETCH(QByteArray, content);
        QFETCH(QString, options);
        QFETCH(QString, addLocation);
        const QString dir = ProgramDir();
        const QString file = dir + QStringLiteral("/lang.txt");
        QVERIFY(QDir(dir).mkpath(QStringLiteral("lang/de")));
        QFile shippedFile(dir + QStringLiteral("/lang/de/lang.txt"));
        QVERIFY(shippedFile.open(QIODevice::WriteOnly));
        shippedFile.write("<//TFormChronara--\nE=Options...\nT=Optionen...\n");
        shippedFile.close();
        if (fault == QLatin1String("directory")) {
            QVERIFY(QDir(dir).mkdir(QStringLiteral("lang.txt")));
        } else if (fault != QLatin1String("missing")) {
            QFile own(file);
            QVERIFY(own.open(QIODevice::WriteOnly));
            own.write(content);
        }
        if (fault == QLatin1String("unreadable")) {
            QFile::setPermissions(file, QFileDevice::WriteOwner);
            QFile probe(file);
            if (probe.open(QIODevice::ReadOnly)) {
                QSKIP("This user reads files whatever their permissions say (the superuser): "
                      "an unreadable file cannot be made here; the directory row covers it.");
            }
        }
        const QMap<QString, QByteArray> before = Snapshot(dir);

        app::LoadLanguage(World->ProgramDir(), QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(OpenWindow());
        QCOMPARE(FindAction(Form.get(), "PIOptions")->text(), options);
        QCOMPARE(FindAction(Form.get(), "MIAddLocation")->text(), addLocation);
        UseTheWindow();
        QVERIFY2(Messages->Texts.isEmpty(), qPrintable(Messages->Texts.join(QLatin1String(" | "))));
        QVERIFY(Form->isVisible());
        CloseAndCheckTheStore();
        CheckUntouched(before);
        if (fault == QLatin1String("unreadable")) {
            QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
            QFile own(file);
            QVERIFY(own.open(QIODevice::ReadOnly));
            QCOMPARE(own.readAll(), content);
        }
        QVERIFY(QFileInfo(file).isDir() == (fault == QLatin1String("directory")));
    }

    // A settings file with nothing in it (left so by a tool or a full disk)
    // is a first start: defaults, no word, no copy kept, the settings whole
    // at the close.
    void anEmptySettingsFileIsAFirstStart_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("no bytes") << QByteArray("");
        QTest::newRow("only blanks") << QByteArray(" \n\t\r\n\n  ");
        QTest::newRow("only the header") << QByteArray("REGEDIT4\n");
        QTest::newRow("only a byte-order mark") << QByteArray("\xEF\xBB\xBF");
    }

    void anEmptySettingsFileIsAFirstStart() {
        QFETCH(QByteArray, content);
        const QString file = World->SettingsFile();
        QVERIFY(QFile::remove(file));
        if (!content.isNull()) {
            QFile store(file);
            QVERIFY(store.open(QIODevice::WriteOnly));
            store.write(content);
        }
        QVERIFY(OpenWindow());
        QVERIFY(!ActionOf(*Form, "MultiMode")->isChecked());
        UseTheWindow();
        QVERIFY2(Messages->Texts.isEmpty(), qPrintable(Messages->Texts.join(QLatin1String(" | "))));
        CloseAndCheckTheStore();
        platform::TRegistry store;
        QVERIFY(store.OpenKeyReadOnly(app::SettingsKey));
        QCOMPARE(store.ReadInteger("SMUpdate"), 600);
        const QStringList kept =
            QDir(World->ConfigHome() + QStringLiteral("/chronara")).entryList(QDir::Files);
        QCOMPARE(kept, QStringList{QStringLiteral("Chronara.reg")});
    }

    void aReadOnlyProgramFolderPutsTheWallpaperInTheUsersDataFolder() {
        const QString dir = ProgramDir();
        if (!PermissionsBind(dir)) {
            QSKIP("This user writes into folders whatever their permissions say (the "
                  "superuser): a read-only program folder cannot be made here.");
        }
        const QMap<QString, QByteArray> before = Snapshot(dir);
        const QString target = DataHome.path() + QStringLiteral("/chronara/Wallpaper.bmp");
        QFile::remove(target);
        for (const QString& d : {DataDir(), dir}) {
            QFile::setPermissions(d, QFile::ReadOwner | QFile::ExeOwner);
        }
        auto restore = qScopeGuard([&] {
            for (const QString& d : {dir, DataDir()}) {
                QFile::setPermissions(d, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            }
        });
        QVERIFY(OpenWindow());
        {
            const QSignalBlocker quiet(ActionOf(*Form, "Wallpaper"));
            ActionOf(*Form, "Wallpaper")->setChecked(true);
        }
        UseTheWindow();
        QTRY_VERIFY(Desktop->Recorded().contains(QStringLiteral("set Wallpaper.bmp")));
        QVERIFY(QFile::exists(target));
        QVERIFY(Messages->Texts.isEmpty());
        CloseAndCheckTheStore();
        CheckUntouched(before);
        QVERIFY(!QFile::exists(dir + QStringLiteral("/Wallpaper.bmp")));
    }
};

QTEST_MAIN(TestStartupFaults)
#include "TestStartupFaults.moc"
