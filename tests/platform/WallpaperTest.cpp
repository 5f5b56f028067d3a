// The wallpaper build: colour through the mask, size, file, folder, and the
// builder's thread with its hand-over to the desktop.
#include "platform/Wallpaper.h"
#include "PrivateSession.h"
#include "kiv/KivErrors.h"
#include "kiv/KivFastDibLoaders.h"
#include "platform/WallpaperRecord.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <condition_variable>
#include <mutex>

using kiv::TBgr;
using kiv::TFastDIB;
using namespace platform;

namespace {

const QString ShippedData = QStringLiteral(CHRONARA_SHIPPED_DATA_DIR);

// A desktop that records what it is handed; its colour read can be held until
// the test lets it go.
class TFakeDesktop : public TDesktop {
public:
    QString Name() const override { return QStringLiteral("fake"); }
    TSavedWallpaper ReadWallpaper() override { return {}; }
    QString BackgroundColor() override {
        std::unique_lock guard(M);
        Entered = true;
        Changed.notify_all();
        Changed.wait(guard, [this] { return !Hold; });
        return Color;
    }
    void SetWallpaper(const QString& path) override {
        std::lock_guard guard(M);
        Set << path;
    }
    void RestoreWallpaper(const TSavedWallpaper&) override {}

    void Release() {
        std::lock_guard guard(M);
        Hold = false;
        Changed.notify_all();
    }
    void WaitEntered() {
        std::unique_lock guard(M);
        Changed.wait(guard, [this] { return Entered; });
    }
    QStringList Handed() {
        std::lock_guard guard(M);
        return Set;
    }

    QString Color = QStringLiteral("255 0 0");
    bool Hold = false;

private:
    std::mutex M;
    std::condition_variable Changed;
    bool Entered = false;
    QStringList Set;
};

TWallpaperJob ShippedJob(const QString& folder, int width = 1024) {
    TWallpaperJob job;
    kiv::LoadPngImage(job.Day, (ShippedData + QStringLiteral("/earth_day.png")).toStdString());
    job.MaskFile = ShippedData + QStringLiteral("/mask.png");
    job.Width = width;
    job.Folder = folder;
    return job;
}

// Width and height from a BMP file's header.
std::pair<int, int> BitmapSize(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        return {-1, -1};
    }
    const QByteArray h = f.read(26);
    const auto u32 = [&](int at) {
        return int(quint8(h[at])) | int(quint8(h[at + 1])) << 8 | int(quint8(h[at + 2])) << 16 |
               int(quint8(h[at + 3])) << 24;
    };
    return {u32(18), u32(22)};
}

int Argc = 1;
char Arg0[] = "test_platform";
char* Argv[] = {Arg0, nullptr};

} // namespace

// Pure red where the mask is white, the map unchanged where it is black, a blend
// on the border between.
TEST(BuildWallpaperImage, ColourWhereTheMaskIsWhiteAndMapWhereBlack) {
    TFastDIB day(8, 4, 24);
    TFastDIB mask(8, 4, 24);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 8; ++x) {
            day.SetPixel(x, y, {30, 20, 10});
            mask.SetPixel(x, y, x < 4 ? TBgr{255, 255, 255} : TBgr{0, 0, 0});
        }
    }
    TFastDIB out;
    BuildWallpaperImage(day, mask, 0xFF0000, 8, out);
    ASSERT_EQ(out.Width(), 8);
    ASSERT_EQ(out.Height(), 4);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(out.GetPixel(x, y), (TBgr{0, 0, 255})) << x << "," << y;
        }
        const TBgr border = out.GetPixel(4, y);
        EXPECT_GT(border.R, 10);
        EXPECT_LT(border.R, 255);
        for (int x = 5; x < 8; ++x) {
            EXPECT_EQ(out.GetPixel(x, y), (TBgr{30, 20, 10})) << x << "," << y;
        }
    }
}

TEST(BuildWallpaperImage, HeightFollowsTheDayImagesShapeHalvesToEven) {
    const std::tuple<int, int, int, int> rows[] = {
        {1024, 512, 1024, 512}, {1024, 512, 4096, 2048}, {1024, 512, 1, 0}, {4, 1, 2, 0},
        {4, 1, 6, 2},           {4, 1, 10, 2},           {3, 1, 3, 1},      {1024, 512, 1023, 512},
    };
    for (const auto& [dw, dh, w, h] : rows) {
        EXPECT_EQ(WallpaperHeight(dw, dh, w), h) << dw << "x" << dh << " at " << w;
    }
}

TEST(BuildWallpaperImage, AnUnusableWidthIsAnErrorSayingSo) {
    const TFastDIB day(4, 2, 24);
    TFastDIB out;
    for (int width : {0, -5, MaxWallpaperWidth + 1}) {
        try {
            BuildWallpaperImage(day, day, 0, width, out);
            ADD_FAILURE() << "width " << width << " was taken";
        } catch (const kiv::EKivError& e) {
            EXPECT_NE(std::string(e.what()).find("wallpaper width"), std::string::npos);
        }
    }
}

TEST(WallpaperColor, TheDefaultStandsInForMissingOrBadTexts) {
    EXPECT_EQ(WallpaperColor(QString()), 0x008080u);
    EXPECT_EQ(WallpaperColor(QStringLiteral("red")), 0x008080u);
    EXPECT_EQ(WallpaperColor(QStringLiteral("255 0 0")), 0xFF0000u);
}

TEST(WallpaperFolder, BesideTheProgramElseTheUsersDataFolder) {
    testsupport::TPrivateSession session; // sets XDG_DATA_HOME
    EXPECT_EQ(WallpaperFolder(session.Path("home")), session.Path("home"));
    const QString fallback = session.Path("data") + QStringLiteral("/chronara");
    EXPECT_EQ(WallpaperFolder(session.Path("home") + QStringLiteral("/missing")), fallback);
    EXPECT_TRUE(QFileInfo(fallback).isDir());
    EXPECT_EQ(WallpaperFile(QStringLiteral("/d"), 0, true), "/d/Wallpaper.bmp");
    EXPECT_EQ(WallpaperFile(QStringLiteral("/d"), 1, true), "/d/Wallpaper-1.bmp");
    EXPECT_EQ(WallpaperFile(QStringLiteral("/d"), 2, true), "/d/Wallpaper.bmp");
    EXPECT_EQ(WallpaperFile(QStringLiteral("/d"), 1, false), "/d/Wallpaper.bmp");
}

// The builder tests hand over to a recording desktop: they need a folder but no
// session bus, so they start no other program while threads run (which the
// thread checker cannot follow).

// The shipped map at 1024: a 1024 x 512 file, each build under the other name.
TEST(WallpaperBuilder, BuildsOffThreadAndHandsOverAlternatingNames) {
    QCoreApplication app(Argc, Argv);
    QTemporaryDir dir;
    auto desktop = std::make_shared<TFakeDesktop>();
    TWallpaperBuilder builder(desktop);
    QSignalSpy finished(&builder, &TWallpaperBuilder::Finished);
    const QString folder = dir.path();
    for (int i = 0; i < 2; ++i) {
        builder.Build(ShippedJob(folder));
        ASSERT_TRUE(finished.count() > i || finished.wait(60000));
        EXPECT_EQ(finished.at(i).at(1).toString(), "");
    }
    EXPECT_EQ(desktop->Handed(), (QStringList{folder + QStringLiteral("/Wallpaper.bmp"),
                                              folder + QStringLiteral("/Wallpaper-1.bmp")}));
    EXPECT_EQ(BitmapSize(folder + QStringLiteral("/Wallpaper.bmp")), std::make_pair(1024, 512));
    EXPECT_FALSE(builder.Busy());
}

// Switching the mode off while a build runs: nothing reaches the desktop after
// Stop, so the user's wallpaper put back then stays.
TEST(WallpaperBuilder, NothingIsHandedOverAfterStop) {
    QCoreApplication app(Argc, Argv);
    QTemporaryDir dir;
    auto desktop = std::make_shared<TFakeDesktop>();
    desktop->Hold = true;
    TWallpaperBuilder builder(desktop);
    builder.Build(ShippedJob(dir.path(), 64));
    desktop->WaitEntered();
    EXPECT_TRUE(builder.Busy());
    builder.Stop();
    desktop->Release();
    QSignalSpy finished(&builder, &TWallpaperBuilder::Finished);
    while (builder.Busy()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    QCoreApplication::processEvents();
    EXPECT_TRUE(desktop->Handed().isEmpty());
    EXPECT_EQ(finished.count(), 0);
}

TEST(WallpaperBuilder, AFailedStepIsReportedAndNothingHandedOver) {
    QCoreApplication app(Argc, Argv);
    QTemporaryDir dir;
    auto desktop = std::make_shared<TFakeDesktop>();
    TWallpaperBuilder builder(desktop);
    QSignalSpy finished(&builder, &TWallpaperBuilder::Finished);

    TWallpaperJob noMask = ShippedJob(dir.path(), 64);
    noMask.MaskFile = dir.path() + QStringLiteral("/no-mask.png");
    builder.Build(std::move(noMask));
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(finished.at(0).at(0).toString(), "");
    EXPECT_TRUE(finished.at(0).at(1).toString().contains(QLatin1String("no-mask.png")));

    builder.Build(ShippedJob(dir.path() + QStringLiteral("/gone"), 64));
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_TRUE(finished.at(1).at(1).toString().contains(QLatin1String("Wallpaper.bmp")));
    EXPECT_TRUE(desktop->Handed().isEmpty());
}

TEST(KeptWallpaper, OurFilesAreRecognisedInPathsAndAddresses) {
    const std::pair<const char*, bool> rows[] = {
        {"'file:///opt/chronara/Wallpaper.bmp'", true},
        {"/home/u/.local/share/chronara/Wallpaper-1.bmp", true},
        {"C:\\Program Files\\Chronara\\Wallpaper.bmp", true},
        {"'file:///usr/share/backgrounds/gnome/adwaita-l.webp'", false},
        {"/home/u/MyWallpaper.bmp.png", false},
    };
    for (const auto& [value, ours] : rows) {
        const TSavedWallpaper saved{true, {{QStringLiteral("k"), QLatin1String(value)}}};
        EXPECT_EQ(NamesOurWallpaper(saved), ours) << value;
    }
}
