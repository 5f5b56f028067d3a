// The GSettings and xfconf back ends against the real stores (dconf, xfconfd) in a
// private session: what the desktop would read after a set, and after a restore.
#include "PrivateSession.h"
#include "kiv/KivFastDibLoaders.h"
#include "platform/DesktopBackends.h"
#include "platform/Wallpaper.h"
#include "platform/WallpaperRecord.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSignalSpy>
#include <QUrl>

using platform::CreateGSettingsDesktop;
using platform::CreateXfceDesktop;
using platform::RunProgram;
using testsupport::Output;
using testsupport::TPrivateSession;

namespace {

const QString Schema = QStringLiteral("org.gnome.desktop.background");

QString Get(const char* key) {
    return Output(QStringLiteral("gsettings"), {QStringLiteral("get"), Schema, QLatin1String(key)});
}

QString Uri(const QString& path) {
    return QLatin1Char('\'') + QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) +
           QLatin1Char('\'');
}

// Why the GSettings store cannot run here, or empty.
std::string GSettingsMissing() {
    for (const char* program : {"gsettings", "dconf"}) {
        if (QStandardPaths::findExecutable(QLatin1String(program)).isEmpty()) {
            return std::string(program) + " is not installed";
        }
    }
    if (Output(QStringLiteral("gsettings"), {QStringLiteral("list-schemas")})
            .split(QLatin1Char('\n'))
            .indexOf(Schema) < 0) {
        return "gsettings-desktop-schemas is not installed";
    }
    if (!QFileInfo::exists(QStringLiteral("/usr/libexec/dconf-service"))) {
        return "dconf-service is not installed";
    }
    return {};
}

#define SKIP_WITHOUT(missing)                                                                      \
    if (const std::string why = (missing); !why.empty()) {                                         \
        GTEST_SKIP() << "skipped: " << why;                                                        \
    }

} // namespace

// A user who never changed the background: ours shows centred after each set, a
// new file name each time, and the restore leaves the keys unset again.
TEST(GSettingsDesktop, SetsCentredAndRestoresDefaultsExactly) {
    SKIP_WITHOUT(GSettingsMissing());
    TPrivateSession session;
    SKIP_WITHOUT(session.Error);
    const QString defaultUri = Get("picture-uri");
    const QString defaultOptions = Get("picture-options");

    auto desktop = CreateGSettingsDesktop(QStringLiteral("GNOME"), RunProgram);
    EXPECT_EQ(desktop->Name(), "GNOME");
    EXPECT_TRUE(desktop->NeedsNewFileName());
    const platform::TSavedWallpaper saved = desktop->ReadWallpaper();
    ASSERT_TRUE(saved.Valid);
    ASSERT_EQ(saved.Values.size(), 3u); // picture-uri, picture-uri-dark, picture-options
    for (const auto& v : saved.Values) {
        EXPECT_FALSE(v.Value.has_value()) << v.Key.toStdString() << " reads as set";
    }

    for (const char* name : {"/tmp/a b/Wallpaper.bmp", "/tmp/a b/Wallpaper-1.bmp"}) {
        desktop->SetWallpaper(QLatin1String(name));
        EXPECT_EQ(Get("picture-uri"), Uri(QLatin1String(name)));
        EXPECT_EQ(Get("picture-uri-dark"), Uri(QLatin1String(name)));
        EXPECT_EQ(Get("picture-options"), "'centered'");
    }

    desktop->RestoreWallpaper(saved);
    EXPECT_EQ(Get("picture-uri"), defaultUri);
    EXPECT_EQ(Get("picture-options"), defaultOptions);
    // Unset again, not the default written in.
    EXPECT_EQ(Output(QStringLiteral("dconf"),
                     {QStringLiteral("read"),
                      QStringLiteral("/org/gnome/desktop/background/picture-uri")}),
              "");
}

// A user's own picture, placement and colour come back as they were.
TEST(GSettingsDesktop, RestoresTheUsersOwnValuesAndReadsItsColour) {
    SKIP_WITHOUT(GSettingsMissing());
    TPrivateSession session;
    SKIP_WITHOUT(session.Error);
    ASSERT_EQ(Output(QStringLiteral("gsettings"),
                     {QStringLiteral("set"), Schema, QStringLiteral("picture-uri"),
                      QStringLiteral("'file:///home/u/it\\'s mine.png'")}),
              "");
    ASSERT_EQ(Output(QStringLiteral("gsettings"),
                     {QStringLiteral("set"), Schema, QStringLiteral("picture-options"),
                      QStringLiteral("'zoom'")}),
              "");
    ASSERT_EQ(Output(QStringLiteral("gsettings"),
                     {QStringLiteral("set"), Schema, QStringLiteral("primary-color"),
                      QStringLiteral("'#ff0080'")}),
              "");
    const QString before = Get("picture-uri");

    auto desktop = CreateGSettingsDesktop(QStringLiteral("GNOME"), RunProgram);
    const platform::TSavedWallpaper saved = desktop->ReadWallpaper();
    EXPECT_EQ(desktop->BackgroundColor(), "255 0 128");
    desktop->SetWallpaper(QStringLiteral("/tmp/Wallpaper.bmp"));
    EXPECT_EQ(Get("picture-uri"), Uri(QStringLiteral("/tmp/Wallpaper.bmp")));

    desktop->RestoreWallpaper(saved);
    EXPECT_EQ(Get("picture-uri"), before);
    EXPECT_EQ(Get("picture-options"), "'zoom'");
}

namespace {

std::string XfconfMissing() {
    if (QStandardPaths::findExecutable(QStringLiteral("xfconf-query")).isEmpty()) {
        return "xfconf-query is not installed (package xfconf)";
    }
    if (Output(QStringLiteral("xfconf-query"), {QStringLiteral("--version")}) ==
        QLatin1String("<failed>")) {
        return "xfconf-query does not run (libxfconf missing)";
    }
    return {};
}

const QString Channel = QStringLiteral("xfce4-desktop");

QString XGet(const QString& property) {
    return Output(QStringLiteral("xfconf-query"),
                  {QStringLiteral("-c"), Channel, QStringLiteral("-p"), property});
}

void XSet(const QString& channel, const QString& property, const QString& type,
          const QString& value) {
    ASSERT_NE(
        Output(QStringLiteral("xfconf-query"),
               {QStringLiteral("-c"), channel, QStringLiteral("-p"), property, QStringLiteral("-n"),
                QStringLiteral("-t"), type, QStringLiteral("-s"), value}),
        QLatin1String("<failed>"));
}

} // namespace

// Two monitors with two workspaces each, one of them never set: every backdrop
// shows ours centred, each set under the new name, and the restore brings back
// each one's picture and style and removes what was not there.
TEST(XfceDesktop, SetsEveryMonitorAndWorkspaceAndRestoresThem) {
    SKIP_WITHOUT(XfconfMissing());
    TPrivateSession session;
    SKIP_WITHOUT(session.Error);
    const QString a0 = QStringLiteral("/backdrop/screen0/monitorHDMI-1/workspace0/");
    const QString a1 = QStringLiteral("/backdrop/screen0/monitorHDMI-1/workspace1/");
    const QString b0 = QStringLiteral("/backdrop/screen0/monitoreDP-1/workspace0/");
    XSet(Channel, a0 + "last-image", QStringLiteral("string"), QStringLiteral("/home/u/a 0.jpg"));
    XSet(Channel, a0 + "image-style", QStringLiteral("int"), QStringLiteral("5"));
    XSet(Channel, a1 + "last-image", QStringLiteral("string"), QStringLiteral("/home/u/a1.jpg"));
    XSet(Channel, b0 + "image-style", QStringLiteral("int"), QStringLiteral("3"));
    XSet(Channel, b0 + "rgba1", QStringLiteral("double"), QStringLiteral("0.5"));
    ASSERT_NE(
        Output(QStringLiteral("xfconf-query"), {QStringLiteral("-c"),     Channel,
                                                QStringLiteral("-p"),     a0 + "rgba1",
                                                QStringLiteral("-n"),     QStringLiteral("-t"),
                                                QStringLiteral("double"), QStringLiteral("-t"),
                                                QStringLiteral("double"), QStringLiteral("-t"),
                                                QStringLiteral("double"), QStringLiteral("-t"),
                                                QStringLiteral("double"), QStringLiteral("-s"),
                                                QStringLiteral("1"),      QStringLiteral("-s"),
                                                QStringLiteral("0"),      QStringLiteral("-s"),
                                                QStringLiteral("0.5"),    QStringLiteral("-s"),
                                                QStringLiteral("1")}),
        QLatin1String("<failed>"));

    auto desktop = CreateXfceDesktop(RunProgram);
    const platform::TSavedWallpaper saved = desktop->ReadWallpaper();
    EXPECT_EQ(saved.Values.size(), 6u);
    EXPECT_EQ(desktop->BackgroundColor(), "255 0 128");

    for (const QString& file :
         {QStringLiteral("/tmp/x/Wallpaper.bmp"), QStringLiteral("/tmp/x/Wallpaper-1.bmp")}) {
        desktop->SetWallpaper(file);
        for (const QString& prefix : {a0, a1, b0}) {
            EXPECT_EQ(XGet(prefix + "last-image"), file) << prefix.toStdString();
            EXPECT_EQ(XGet(prefix + "image-style"), "1") << prefix.toStdString();
        }
    }

    desktop->RestoreWallpaper(saved);
    EXPECT_EQ(XGet(a0 + "last-image"), "/home/u/a 0.jpg");
    EXPECT_EQ(XGet(a0 + "image-style"), "5");
    EXPECT_EQ(XGet(a1 + "last-image"), "/home/u/a1.jpg");
    EXPECT_EQ(XGet(a1 + "image-style"), "<failed>"); // was never set
    EXPECT_EQ(XGet(b0 + "last-image"), "<failed>");
    EXPECT_EQ(XGet(b0 + "image-style"), "3");
}

// A new user's channel holds no backdrop: one per workspace of each screen.
TEST(XfceDesktop, ANewUsersChannelGetsABackdropPerMonitorAndWorkspace) {
    SKIP_WITHOUT(XfconfMissing());
    TPrivateSession session;
    SKIP_WITHOUT(session.Error);
    XSet(QStringLiteral("xfwm4"), QStringLiteral("/general/workspace_count"), QStringLiteral("int"),
         QStringLiteral("2"));
    auto desktop = CreateXfceDesktop(RunProgram, {QStringLiteral("Virtual-1")});
    const platform::TSavedWallpaper saved = desktop->ReadWallpaper();
    EXPECT_EQ(desktop->BackgroundColor(), "");
    desktop->SetWallpaper(QStringLiteral("/tmp/Wallpaper.bmp"));
    for (const char* w : {"0", "1"}) {
        EXPECT_EQ(XGet(QStringLiteral("/backdrop/screen0/monitorVirtual-1/workspace%1/last-image")
                           .arg(QLatin1String(w))),
                  "/tmp/Wallpaper.bmp");
    }
    desktop->RestoreWallpaper(saved);
    for (const char* w : {"0", "1"}) {
        EXPECT_EQ(XGet(QStringLiteral("/backdrop/screen0/monitorVirtual-1/workspace%1/last-image")
                           .arg(QLatin1String(w))),
                  "<failed>"); // not there before, not there after
    }
}

namespace {

// The Cinnamon and MATE schemas, reduced to the keys the back end uses, so the
// test runs where those desktops are not installed.
const char* const OtherSchemas = R"(<schemalist>
  <schema id="org.cinnamon.desktop.background" path="/org/cinnamon/desktop/background/">
    <key name="picture-uri" type="s"><default>'file:///usr/share/c.jpg'</default></key>
    <key name="picture-options" type="s"><default>'zoom'</default></key>
    <key name="primary-color" type="s"><default>'#000000'</default></key>
  </schema>
  <schema id="org.mate.background" path="/org/mate/desktop/background/">
    <key name="picture-filename" type="s"><default>'/usr/share/m.jpg'</default></key>
    <key name="picture-options" type="s"><default>'stretched'</default></key>
    <key name="primary-color" type="s"><default>'#3c8f25'</default></key>
  </schema>
</schemalist>
)";

} // namespace

TEST(GSettingsDesktop, CinnamonAndMateUseTheirOwnSchemas) {
    SKIP_WITHOUT(GSettingsMissing());
    if (QStandardPaths::findExecutable(QStringLiteral("glib-compile-schemas")).isEmpty()) {
        GTEST_SKIP() << "skipped: glib-compile-schemas is not installed";
    }
    TPrivateSession session;
    SKIP_WITHOUT(session.Error);
    const QString schemas = session.Path("data");
    QFile xml(schemas + QStringLiteral("/test.gschema.xml"));
    ASSERT_TRUE(xml.open(QIODevice::WriteOnly));
    xml.write(OtherSchemas);
    xml.close();
    ASSERT_EQ(Output(QStringLiteral("glib-compile-schemas"), {schemas}), "");
    session.Set("GSETTINGS_SCHEMA_DIR", schemas);

    struct TRow {
        const char* family;
        const char* schema;
        const char* pictureKey;
        QString expected;
        const char* color;
    };
    const QString file = QStringLiteral("/tmp/x/Wallpaper.bmp");
    const TRow rows[] = {
        {"Cinnamon", "org.cinnamon.desktop.background", "picture-uri", Uri(file), "0 0 0"},
        {"MATE", "org.mate.background", "picture-filename",
         QLatin1Char('\'') + file + QLatin1Char('\''), "60 143 37"},
    };
    for (const TRow& row : rows) {
        const auto get = [&](const char* key) {
            return Output(QStringLiteral("gsettings"),
                          {QStringLiteral("get"), QLatin1String(row.schema), QLatin1String(key)});
        };
        const QString before = get(row.pictureKey);
        auto desktop = CreateGSettingsDesktop(QLatin1String(row.family), RunProgram);
        const platform::TSavedWallpaper saved = desktop->ReadWallpaper();
        EXPECT_EQ(desktop->BackgroundColor(), QLatin1String(row.color)) << row.family;
        desktop->SetWallpaper(file);
        EXPECT_EQ(get(row.pictureKey), row.expected) << row.family;
        EXPECT_EQ(get("picture-options"), "'centered'") << row.family;
        desktop->RestoreWallpaper(saved);
        EXPECT_EQ(get(row.pictureKey), before) << row.family;
        EXPECT_NE(get("picture-options"), "'centered'") << row.family;
    }
}

// The builder's worker thread talks to the store itself: the shipped map ends up
// as the picture the desktop reads.
TEST(GSettingsDesktop, TheBuilderHandsOverFromItsWorkerThread) {
    SKIP_WITHOUT(GSettingsMissing());
    int argc = 1;
    char arg0[] = "test_platform";
    char* argv[] = {arg0, nullptr};
    QCoreApplication app(argc, argv);
    TPrivateSession session;
    SKIP_WITHOUT(session.Error);
    std::shared_ptr<platform::TDesktop> desktop =
        CreateGSettingsDesktop(QStringLiteral("GNOME"), RunProgram);
    const platform::TSavedWallpaper saved = desktop->ReadWallpaper();
    platform::TWallpaperBuilder builder(desktop);
    QSignalSpy finished(&builder, &platform::TWallpaperBuilder::Finished);
    platform::TWallpaperJob job;
    kiv::LoadPngImage(job.Day, CHRONARA_SHIPPED_DATA_DIR "/earth_day.png");
    job.MaskFile = QStringLiteral(CHRONARA_SHIPPED_DATA_DIR "/mask.png");
    job.Width = 512;
    job.Folder = session.Path("home");
    builder.Build(std::move(job));
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(finished.at(0).at(1).toString(), "");
    EXPECT_EQ(Get("picture-uri"), Uri(session.Path("home") + QStringLiteral("/Wallpaper.bmp")));
    builder.Stop();
    desktop->RestoreWallpaper(saved);
    EXPECT_EQ(Output(QStringLiteral("dconf"),
                     {QStringLiteral("read"),
                      QStringLiteral("/org/gnome/desktop/background/picture-uri")}),
              "");
}

// A run killed with our picture set, then the user sets only the light
// picture: the next start's restore puts back the keys that still show ours
// and leaves the user's newer choice.
TEST(GSettingsDesktop, AfterAKillOnlyTheKeysStillShowingOursGoBack) {
    SKIP_WITHOUT(GSettingsMissing());
    TPrivateSession session;
    SKIP_WITHOUT(session.Error);
    const auto set = [](const char* key, const QString& value) {
        ASSERT_EQ(Output(QStringLiteral("gsettings"),
                         {QStringLiteral("set"), Schema, QLatin1String(key), value}),
                  "");
    };
    set("picture-uri", QStringLiteral("'file:///home/u/mine.png'"));
    set("picture-uri-dark", QStringLiteral("'file:///home/u/mine-dark.png'"));
    set("picture-options", QStringLiteral("'zoom'"));
    const QString record = session.Path("data") + QStringLiteral("/SavedWallpaper.json");

    auto desktop = CreateGSettingsDesktop(QStringLiteral("GNOME"), RunProgram);
    const auto first =
        platform::TWallpaperRecord(record).Start(desktop->Name(), desktop->ReadWallpaper());
    platform::TWallpaperRecord(record).Keep(desktop->Name(), first.Saved);
    desktop->SetWallpaper(session.Path("data") + QStringLiteral("/Wallpaper.bmp"));
    // Killed here. The user picks a new light picture.
    set("picture-uri", QStringLiteral("'file:///home/u/newer.jpg'"));

    auto next = CreateGSettingsDesktop(QStringLiteral("GNOME"), RunProgram);
    const auto start =
        platform::TWallpaperRecord(record).Start(next->Name(), next->ReadWallpaper());
    EXPECT_FALSE(start.Damaged);
    EXPECT_FALSE(start.EntryMissing);
    next->RestoreWallpaper(start.Saved);
    EXPECT_EQ(Get("picture-uri"), "'file:///home/u/newer.jpg'");
    EXPECT_EQ(Get("picture-uri-dark"), "'file:///home/u/mine-dark.png'");
    EXPECT_EQ(Get("picture-options"), "'zoom'");
}
