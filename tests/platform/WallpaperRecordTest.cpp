// The record of the user's wallpaper: started on another desktop, in its
// first form, written to a full disk, and which keys go back after the user
// changed some of them meanwhile. (Damaged records: the start-up fault table
// of the window tests.)
#include "platform/WallpaperRecord.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include "tests/FullDisk.h"
#endif

using platform::TDesktopValue;
using platform::TSavedWallpaper;
using platform::TWallpaperRecord;

namespace {

const QString Ours = QStringLiteral("'file:///opt/chronara/Wallpaper-1.bmp'");
const QString Mine = QStringLiteral("'file:///home/u/mine.png'");
const QString MineDark = QStringLiteral("'file:///home/u/mine-dark.png'");

// What a GNOME desktop shows while our picture is set.
TSavedWallpaper OursShown() {
    return {true,
            {{QStringLiteral("picture-uri"), Ours},
             {QStringLiteral("picture-uri-dark"), Ours},
             {QStringLiteral("picture-options"), QStringLiteral("'centered'")}}};
}

// The user's own, as read before ours was set.
TSavedWallpaper MineShown() {
    return {true,
            {{QStringLiteral("picture-uri"), Mine},
             {QStringLiteral("picture-uri-dark"), MineDark},
             {QStringLiteral("picture-options"), QStringLiteral("'zoom'")}}};
}

QByteArray ReadAll(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& file, const QByteArray& bytes) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

// A start on a desktop we cannot tell, or on another desktop, leaves the
// record of the desktop it belongs to; that desktop's start takes it, and the
// entry goes only once that desktop shows the user's picture again.
TEST(WallpaperRecord, IsKeptUntilTheDesktopItBelongsToIsRestored) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("SavedWallpaper.json"));
    TWallpaperRecord(file).Keep(QStringLiteral("GNOME"), MineShown());

    TWallpaperRecord none(file);
    EXPECT_FALSE(none.Start(QStringLiteral("none"), TSavedWallpaper{}).Saved.Valid);
    none.Forget(QStringLiteral("none"));
    const TSavedWallpaper fehs{true,
                               {{QStringLiteral("fehbg"), QStringLiteral("feh --bg-fill /a.jpg")}}};
    EXPECT_EQ(TWallpaperRecord(file).Start(QStringLiteral("feh"), fehs).Saved, fehs);

    const auto start = TWallpaperRecord(file).Start(QStringLiteral("GNOME"), OursShown());
    EXPECT_FALSE(start.EntryMissing);
    EXPECT_EQ(start.Saved, MineShown());
    TWallpaperRecord(file).Forget(QStringLiteral("GNOME"));
    EXPECT_FALSE(QFileInfo::exists(file));
}

// The first form of the file (a list without a desktop) is taken by the
// desktop that reads it.
TEST(WallpaperRecord, TheFirstFormOfTheFileIsStillRead) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("SavedWallpaper.json"));
    WriteAll(file, "[{\"key\": \"picture-uri\", \"value\": \"'file:///home/u/mine.png'\"},"
                   " {\"key\": \"picture-options\", \"value\": null}]");
    const auto start = TWallpaperRecord(file).Start(
        QStringLiteral("GNOME"),
        {true,
         {{QStringLiteral("picture-uri"), Ours},
          {QStringLiteral("picture-options"), QStringLiteral("'centered'")}}});
    EXPECT_FALSE(start.Damaged);
    EXPECT_EQ(start.Saved.Get(QStringLiteral("picture-uri")), Mine);
    EXPECT_FALSE(start.Saved.Values[1].Value.has_value());
}

// Per key: ours goes back to the user's, a picture the user chose since stays,
// and a placement follows its picture.
TEST(WallpaperRecord, OnlyTheKeysThatStillShowOursGoBack) {
    const std::vector<TDesktopValue> kept = MineShown().Values;
    struct TRow {
        const char* Case;
        TSavedWallpaper Now;
        TSavedWallpaper Expected;
    };
    const QString newer = QStringLiteral("'file:///home/u/newer.jpg'");
    const QString zoom = QStringLiteral("'zoom'");
    const QString centered = QStringLiteral("'centered'");
    const TRow rows[] = {
        {"all ours", OursShown(), MineShown()},
        {"the user set only the light picture",
         {true,
          {{"picture-uri", newer}, {"picture-uri-dark", Ours}, {"picture-options", centered}}},
         {true,
          {{"picture-uri", newer}, {"picture-uri-dark", MineDark}, {"picture-options", zoom}}}},
        {"the user set both pictures",
         {true,
          {{"picture-uri", newer}, {"picture-uri-dark", newer}, {"picture-options", centered}}},
         {true,
          {{"picture-uri", newer}, {"picture-uri-dark", newer}, {"picture-options", centered}}}},
        {"one backdrop of two changed",
         {true,
          {{"/m1/last-image", QStringLiteral("/opt/chronara/Wallpaper.bmp")},
           {"/m1/image-style", QStringLiteral("1")},
           {"/m2/last-image", QStringLiteral("/home/u/b.jpg")},
           {"/m2/image-style", QStringLiteral("1")}}},
         {true,
          {{"/m1/last-image", std::nullopt},
           {"/m1/image-style", std::nullopt},
           {"/m2/last-image", QStringLiteral("/home/u/b.jpg")},
           {"/m2/image-style", QStringLiteral("1")}}}},
    };
    for (const TRow& row : rows) {
        EXPECT_EQ(platform::MergeKeptWallpaper(row.Now, &kept), row.Expected) << row.Case;
    }
    // No record: the desktop's defaults, never our picture.
    const TSavedWallpaper none = platform::MergeKeptWallpaper(OursShown(), nullptr);
    for (const TDesktopValue& v : none.Values) {
        EXPECT_FALSE(v.Value.has_value()) << v.Key.toStdString();
    }
}

#if !defined(_WIN32)

// A full disk: the write fails saying why, and the good record stays as it was.
TEST(WallpaperRecord, AFailedWriteKeepsTheGoodRecordAndSaysWhy) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("SavedWallpaper.json"));
    TWallpaperRecord record(file);
    record.Keep(QStringLiteral("GNOME"), MineShown());
    const QByteArray good = ReadAll(file);
    std::string error;
    {
        testsupport::TFullDisk full(16);
        try {
            record.Keep(QStringLiteral("KDE"), OursShown());
        } catch (const platform::EDesktopError& e) {
            error = e.what();
        }
    }
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(ReadAll(file), good);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              QStringList{QStringLiteral("SavedWallpaper.json")});
}

#endif
