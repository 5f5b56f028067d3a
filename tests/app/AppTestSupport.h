// Helpers for the window tests: a program directory with a small made-up
// world (images drawn here, a four-zone database), a fixed clock, finding the
// window's controls, commands and parts by their object names, and answering
// message boxes.
#pragma once

#include "app/text/Messages.h"
#include "app/window/UnitChronara.h"
#include "kiv/KivClock.h"
#include "kiv/KivDateTime.h"
#include "kiv/KivStream.h"
#include "kiv/KivTimeZone.h"
#include "tests/app/WindowParts.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace apptest {

// The zone image's colours. Every 15 degrees of longitude is one band of its
// own offset; India is painted at 5.5 hours; a square in the Pacific has a
// colour the table does not know.
inline QColor BandColor(int offset) {
    return QColor(100 + 5 * offset, 80, 40);
}
inline const QColor IndiaColor(200, 200, 10);
inline const QColor UnknownColor(1, 2, 3);

inline void WritePacked(const QString& file, const std::string& text) {
    kiv::TMemoryStream stream;
    stream.Assign(text);
    kiv::SaveFileStream(stream, file.toStdString(), kiv::klMax);
}

// Lines a test adds to the made-up tables (each line ending in "\n").
struct TWorldExtras {
    std::string Zones;  // tz_data.dat
    std::string Rules;  // tz_dst.dat
    std::string Places; // moreplaces.dat
};

// A program directory with data/ filled with made-up tables and images.
class TTestWorld {
public:
    explicit TTestWorld(const TWorldExtras& extras = {}) {
        QDir(Dir.path()).mkpath(QStringLiteral("data"));
        // The window's settings live here, never in the user's own folder: a
        // store with the settings key and nothing in it, so the window keeps
        // the state it was created with (a test that wants a first start
        // removes it).
        qputenv("XDG_CONFIG_HOME", ConfigHome().toUtf8());
        QDir(Dir.path()).mkpath(QStringLiteral("config/chronara"));
        QFile store(SettingsFile());
        if (store.open(QIODevice::WriteOnly)) {
            store.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data]\n");
        }
        const QString data = Dir.path() + QStringLiteral("/data/");

        QImage day(1024, 512, QImage::Format_RGB888);
        day.fill(QColor(60, 60, 60));
        day.save(data + QStringLiteral("earth_day.png"));
        QImage night(1024, 512, QImage::Format_RGB888);
        night.fill(QColor(0, 0, 30));
        night.save(data + QStringLiteral("earth_night.jpg"), "JPG", 95);
        QImage mask(1024, 512, QImage::Format_RGB888);
        mask.fill(Qt::white);
        mask.save(data + QStringLiteral("mask.png"));

        QImage zones(1024, 512, QImage::Format_RGB888);
        std::string colors;
        for (int offset = -12; offset <= 12; ++offset) {
            const QColor c = BandColor(offset);
            colors += std::to_string(c.red()) + "\t" + std::to_string(c.green()) + "\t" +
                      std::to_string(c.blue()) + "\t" + std::to_string(offset) + "\n";
        }
        colors += "200\t200\t10\t5.5\n";
        for (int x = 0; x < 1024; ++x) {
            const double lon = x * 360.0 / 1024 - 180;
            const int offset = static_cast<int>(std::lround(lon / 15));
            for (int y = 0; y < 512; ++y) {
                zones.setPixelColor(x, y, BandColor(offset));
            }
        }
        QPainter p(&zones);
        p.fillRect(MapRect(8, 68, 35, 89), IndiaColor);
        p.fillRect(MapRect(-10, -160, 10, -140), UnknownColor);
        p.end();
        zones.save(data + QStringLiteral("earth_tz.png"));
        WritePacked(data + QStringLiteral("tz_colors.dat"), colors);

        WritePacked(data + QStringLiteral("tz_data.dat"),
                    "Country\tLat\tLong\tZone\tAbbrev\tOffset\tRule\n"
                    "Australia\t-37.81667\t144.96667\tAustralia/Melbourne\tAE%sT\t10:00\tAN\n"
                    "Germany\t52.5\t13.36667\tEurope/Berlin\tCE%sT\t1:00\tEU\n"
                    "India\t22.53333\t88.36667\tAsia/Kolkata\tIST\t5:30\t-\n"
                    "Canada\t47.56667\t-52.71667\tAmerica/St_Johns\tN%sT\t-3:-30\tCA\n" +
                        extras.Zones);
        WritePacked(data + QStringLiteral("tz_dst.dat"), "AN\tSun\t7\t1\t10\t1\tD\n"
                                                         "AN\tSun\t7\t1\t4\t0\tS\n"
                                                         "EU\tlastSun\t7\t0\t3\t1\tS\n"
                                                         "EU\tlastSun\t7\t0\t10\t0\t\n"
                                                         "CA\tSun\t7\t8\t3\t1\tD\n"
                                                         "CA\tSun\t7\t1\t11\t0\tS\n" +
                                                             extras.Rules);
        WritePacked(data + QStringLiteral("moreplaces.dat"),
                    "Melbourne\t-37.81667\t144.96667\tMelbourne\n"
                    "Melbourne\t-38.15\t144.35\tGeelong\n"
                    "Berlin\t52.52\t13.405\tBerlin\n"
                    "Berlin\t52.4\t13.07\tPotsdam\n"
                    "Kolkata\t22.57\t88.36\tKolkata\n"
                    "St_Johns\t47.56\t-52.71\tSt. John's\n" +
                        extras.Places);
    }

    // The rectangle of the map image between two latitudes and longitudes.
    static QRect MapRect(double lat0, double lon0, double lat1, double lon1) {
        auto x = [](double lon) { return static_cast<int>((lon + 180) * 1024 / 360); };
        auto y = [](double lat) { return static_cast<int>((90 - lat) * 512 / 180); };
        return QRect(QPoint(x(lon0), y(lat1)), QPoint(x(lon1), y(lat0)));
    }

    std::string ProgramDir() const { return Dir.path().toStdString(); }
    QString ConfigHome() const { return Dir.path() + QStringLiteral("/config"); }
    QString SettingsFile() const { return ConfigHome() + QStringLiteral("/chronara/Chronara.reg"); }
    QString DataFile(const QString& name) const { return Dir.path() + "/data/" + name; }

private:
    QTemporaryDir Dir;
};

// Answers every message box with the given button and remembers the texts.
class TMessageRecorder {
public:
    explicit TMessageRecorder(QMessageBox::StandardButton answer = QMessageBox::Ok) {
        Previous =
            app::SetMessageAnswerer([this, answer](app::TMessageKind kind, const QString& text) {
                Kinds.push_back(kind);
                Texts.push_back(text);
                return answer;
            });
    }
    ~TMessageRecorder() { app::SetMessageAnswerer(Previous); }
    QStringList Texts;
    std::vector<app::TMessageKind> Kinds;

private:
    app::TMessageAnswerer Previous;
};

inline QAction* FindAction(QObject* root, const char* name) {
    return root->findChild<QAction*>(QLatin1String(name));
}

// Triggers an action by name after checking it exists and is enabled.
inline bool TriggerAction(QObject* root, const char* name) {
    QAction* a = FindAction(root, name);
    if (a == nullptr || !a->isEnabled()) {
        return false;
    }
    a->trigger();
    return true;
}

// Resizes the window so that its paint box gets exactly the given size.
inline void SizePaintBox(app::TFormChronara& form, int width, int height) {
    for (int i = 0; i < 5 && PaintBoxOf(form)->size() != QSize(width, height); ++i) {
        const QSize delta = QSize(width, height) - PaintBoxOf(form)->size();
        form.resize(form.size() + delta);
        QCoreApplication::processEvents();
    }
}

// What every window test starts from: a fixed clock at 21 December 2026, 12:00
// UTC with the machine at UTC, an empty database, message boxes answered (their
// texts kept), a made-up world, and the window once OpenWindow() is called.
// A desktop that records what it is asked to set and restore (file names
// only). Its one value, "picture", shows what was set or put back last.
class TRecordingDesktop : public platform::TDesktop {
public:
    explicit TRecordingDesktop(bool canSet = true) : CanSet(canSet) {}
    QString Name() const override { return QStringLiteral("recording"); }
    bool CanSetWallpaper() const override { return CanSet; }
    platform::TSavedWallpaper ReadWallpaper() override {
        std::lock_guard guard(M);
        return {true, {{QStringLiteral("picture"), Shown}}};
    }
    QString BackgroundColor() override { return QStringLiteral("255 0 0"); }
    void SetWallpaper(const QString& path) override {
        std::lock_guard guard(M);
        Calls << QStringLiteral("set ") + QFileInfo(path).fileName();
        Shown = path;
    }
    void RestoreWallpaper(const platform::TSavedWallpaper& saved) override {
        std::lock_guard guard(M);
        Calls << QStringLiteral("restore ") + saved.Get(QStringLiteral("picture"));
        Shown = saved.Get(QStringLiteral("picture"));
    }
    QStringList Recorded() {
        std::lock_guard guard(M);
        return Calls;
    }
    // What the desktop shows, as a run that ended without restoring left it.
    void Show(const QString& picture) {
        std::lock_guard guard(M);
        Shown = picture;
    }
    bool CanSet;

private:
    std::mutex M;
    QStringList Calls;
    std::optional<QString> Shown = QStringLiteral("mine.png");
};

class TWindowFixture {
public:
    std::unique_ptr<TTestWorld> World;
    std::unique_ptr<kiv::TFakeClock> Clock;
    std::unique_ptr<kiv::TClockOverride> ClockOverride;
    std::unique_ptr<TMessageRecorder> Messages;
    std::unique_ptr<app::TFormChronara> Form;
    // The window's desktop: never the real one of the machine running the tests.
    std::shared_ptr<TRecordingDesktop> Desktop;
    // Where the window looks for a tray: nowhere unless a test says so.
    std::shared_ptr<platform::TTrayHost> TrayHost;

    // The machine's zone database the window reads: none unless a test asks
    // (an empty text is the machine's own), so made-up worlds answer alone.
    std::string ZoneFolder = "-";

    // For a test's init().
    void StartFixture() {
        World = std::make_unique<TTestWorld>();
        Clock = std::make_unique<kiv::TFakeClock>(kiv::EncodeDateTime(2026, 12, 21, 12, 0, 0, 0));
        ClockOverride = std::make_unique<kiv::TClockOverride>(*Clock);
        kiv::ZoneDB.Clear();
        Messages = std::make_unique<TMessageRecorder>();
        Desktop = std::make_shared<TRecordingDesktop>();
        TrayHost = std::make_shared<platform::TTrayHost>(platform::TTrayHost::TWhere{});
    }
    // For a test's cleanup(): the window first, then what it used.
    void EndFixture() {
        Form.reset();
        TrayHost.reset();
        Messages.reset();
        ClockOverride.reset();
        Clock.reset();
        World.reset();
    }
    // Shows the window over World (into the tray, where there is one, unless
    // max, as the program starts without -max), with its timer stopped so the
    // test drives the ticks.
    // False when the first activation never came.
    // whileStarting runs as the window shows, before its first activation.
    bool StartWindow(bool max, const std::function<void()>& whileStarting = {}) {
        app::TStartOptions options;
        options.Max = max;
        options.ProgramDir = World->ProgramDir();
        options.ZoneFolder = ZoneFolder;
        options.Desktop = Desktop;
        options.TrayHost = TrayHost;
        Form = std::make_unique<app::TFormChronara>(options);
        Form->show();
        if (whileStarting) {
            whileStarting();
        }
        const bool activated = QTest::qWaitFor([this] { return Activated(*Form); });
        TimerOf(*Form)->stop();
        return activated;
    }
    // StartWindow, shown, with its paint box 544 x 342.
    bool OpenWindow() {
        const bool activated = StartWindow(true);
        SizePaintBox(*Form, 544, 342);
        return activated;
    }
};

} // namespace apptest
