// The desktop service without a real desktop: choosing the back end, colour
// texts, the Plasma scripts and feh through stubs.
#include "PrivateSession.h"
#include "platform/DesktopBackends.h"

#include <QFileInfo>

using namespace platform;

TEST(DesktopFamily, ReadsTheFirstKnownNameOfTheList) {
    const std::pair<const char*, const char*> rows[] = {
        {"GNOME", "GNOME"},
        {"ubuntu:GNOME", "GNOME"},
        {"Budgie:GNOME", "GNOME"},
        {"Unity", "GNOME"},
        {"Pantheon", "GNOME"},
        {"X-Cinnamon", "Cinnamon"},
        {"MATE", "MATE"},
        {"KDE", "KDE"},
        {"XFCE", "XFCE"},
        {"xfce", "XFCE"},
        {"sway", ""},
        {"", ""},
        {"LXQt:KDE", "KDE"},
        {"i3::GNOME", "GNOME"},
    };
    for (const auto& [value, family] : rows) {
        EXPECT_EQ(DesktopFamily(QLatin1String(value)), QLatin1String(family)) << value;
    }
}

TEST(DesktopColors, TextsOfTheDesktopsAreReadOrRefused) {
    EXPECT_EQ(ParseColorText(QStringLiteral("0 128 128")), 0x008080u);
    EXPECT_EQ(ParseColorText(QStringLiteral("255 0 0")), 0xFF0000u);
    for (const char* bad : {"", "1 2", "1 2 3 4", "1  2 3", "256 0 0", "-1 0 0", "a b c"}) {
        EXPECT_FALSE(ParseColorText(QLatin1String(bad))) << bad;
    }
    const std::pair<const char*, const char*> hex[] = {
        {"#023c88", "2 60 136"}, {"#fff", "255 255 255"}, {"#ffff00008080", "255 0 128"},
        {"023c88", ""},          {"#12345", ""},          {"#gg0000", ""},
    };
    for (const auto& [in, out] : hex) {
        EXPECT_EQ(HexColorToText(QLatin1String(in)), QLatin1String(out)) << in;
    }
}

TEST(NoDesktop, CannotSetAndRestoresNothing) {
    auto desktop = CreateNoDesktop();
    EXPECT_FALSE(desktop->CanSetWallpaper());
    EXPECT_FALSE(desktop->ReadWallpaper().Valid);
    EXPECT_THROW(desktop->SetWallpaper(QStringLiteral("/tmp/x.bmp")), EDesktopError);
    EXPECT_FALSE(desktop->HasIconList());
}

// The Plasma shell is stood in for by a call that records the scripts and
// answers the read as the shell prints it.
TEST(PlasmaDesktop, EveryDesktopIsSetCentredAndRestoredById) {
    QStringList scripts;
    auto desktop = CreatePlasmaDesktop([&](const QString& script) {
        scripts << script;
        if (script.contains(QLatin1String("lines.push"))) {
            return QStringLiteral("1\torg.kde.image\tfile:///home/u/a.png\t2\n"
                                  "7\torg.kde.slideshow\t\t\n");
        }
        if (script.contains(QLatin1String("\"Color\""))) {
            return QStringLiteral("255,0,128\n");
        }
        return QString();
    });
    const TSavedWallpaper saved = desktop->ReadWallpaper();
    ASSERT_EQ(saved.Values.size(), 6u);
    EXPECT_EQ(saved.Get(QStringLiteral("1/Image")), "file:///home/u/a.png");
    EXPECT_EQ(saved.Get(QStringLiteral("7/plugin")), "org.kde.slideshow");
    EXPECT_EQ(desktop->BackgroundColor(), "255 0 128");

    desktop->SetWallpaper(QStringLiteral("/tmp/a \"b\"/Wallpaper.bmp"));
    const QString set = scripts.last();
    EXPECT_TRUE(set.contains(QLatin1String("desktops().forEach")));
    EXPECT_TRUE(set.contains(QLatin1String("writeConfig(\"FillMode\", 6)")));
    EXPECT_TRUE(set.contains(QLatin1String("\"file:///tmp/a%20%22b%22/Wallpaper.bmp\"")));

    desktop->RestoreWallpaper(saved);
    const QString restore = scripts.last();
    EXPECT_TRUE(restore.contains(QLatin1String("desktopById(1)")));
    EXPECT_TRUE(restore.contains(QLatin1String("desktopById(7)")));
    EXPECT_TRUE(restore.contains(QLatin1String("d.wallpaperPlugin = \"org.kde.slideshow\"")));
    EXPECT_TRUE(
        restore.contains(QLatin1String("writeConfig(\"Image\", \"file:///home/u/a.png\")")));
    EXPECT_TRUE(restore.contains(QLatin1String("writeConfig(\"FillMode\", \"2\")")));
}

TEST(PlasmaDesktop, AShellThatIsGoneIsAnErrorNotACrash) {
    auto desktop = CreatePlasmaDesktop(
        [](const QString&) -> QString { throw EDesktopError("The Plasma shell is gone"); });
    EXPECT_THROW(desktop->SetWallpaper(QStringLiteral("/tmp/x.bmp")), EDesktopError);
}

// feh through a stub that records its arguments; the user's ~/.fehbg is never
// rewritten and runs again to restore.
TEST(FehDesktop, SetsCentredWithoutTouchingFehbgAndRunsItToRestore) {
    testsupport::TPrivateSession session; // only its folders and PATH
    const QString log = session.Path("home") + QStringLiteral("/calls");
    session.AddStub(QStringLiteral("feh"), "echo \"feh $*\" >> \"" + log.toUtf8() + "\"\n");
    QFile fehbg(session.Path("home") + QStringLiteral("/.fehbg"));
    ASSERT_TRUE(fehbg.open(QIODevice::WriteOnly));
    fehbg.write("echo restored >> \"" + log.toUtf8() + "\"\n");
    fehbg.close();

    auto desktop = CreateFehDesktop(RunProgram, session.Path("home"));
    EXPECT_FALSE(desktop->NeedsNewFileName());
    const TSavedWallpaper saved = desktop->ReadWallpaper();
    desktop->SetWallpaper(QStringLiteral("/tmp/Wallpaper.bmp"));
    desktop->SetWallpaper(QStringLiteral("/tmp/Wallpaper.bmp"));
    desktop->RestoreWallpaper(saved);
    EXPECT_EQ(testsupport::Output(QStringLiteral("cat"), {log}),
              "feh --no-fehbg --bg-center /tmp/Wallpaper.bmp\n"
              "feh --no-fehbg --bg-center /tmp/Wallpaper.bmp\n"
              "restored");
}

TEST(FehDesktop, AFailingFehIsAnError) {
    testsupport::TPrivateSession session;
    session.AddStub(QStringLiteral("feh"), "exit 2\n");
    auto desktop = CreateFehDesktop(RunProgram, session.Path("home"));
    EXPECT_THROW(desktop->SetWallpaper(QStringLiteral("/tmp/Wallpaper.bmp")), EDesktopError);
}

// The back end follows XDG_CURRENT_DESKTOP and what is installed on PATH.
TEST(CreateDesktop, ChoosesByDesktopAndInstalledTools) {
    testsupport::TPrivateSession session;
    for (const char* tool : {"gsettings", "xfconf-query", "feh"}) {
        session.AddStub(QLatin1String(tool), "exit 0\n");
    }
    const QString stubs = session.Path("bin");
    const QString empty = session.Path("data");
    struct TRow {
        const char* desktop;
        const char* sessionType;
        const char* display;
        QString path;
        const char* name;
    };
    const TRow rows[] = {
        {"ubuntu:GNOME", "wayland", "", stubs, "GNOME"},
        {"X-Cinnamon", "x11", ":0", stubs, "Cinnamon"},
        {"MATE", "x11", ":0", stubs, "MATE"},
        {"XFCE", "x11", ":0", stubs, "XFCE"},
        {"GNOME", "x11", ":0", empty, "none"}, // no gsettings
        {"XFCE", "x11", ":0", empty, "none"},  // no xfconf-query
        {"", "x11", ":0", stubs, "feh"},
        {"i3", "x11", ":0", stubs, "feh"},
        {"sway", "wayland", ":0", stubs, "none"},
        {"", "x11", "", stubs, "none"},
        {"KDE", "x11", ":0", stubs, "none"}, // no Plasma shell on the bus
    };
    for (const TRow& row : rows) {
        QProcessEnvironment env;
        env.insert(QStringLiteral("XDG_CURRENT_DESKTOP"), QLatin1String(row.desktop));
        env.insert(QStringLiteral("XDG_SESSION_TYPE"), QLatin1String(row.sessionType));
        env.insert(QStringLiteral("DISPLAY"), QLatin1String(row.display));
        env.insert(QStringLiteral("PATH"), row.path);
        EXPECT_EQ(CreateDesktop(env)->Name(), QLatin1String(row.name)) << row.desktop;
    }
}
