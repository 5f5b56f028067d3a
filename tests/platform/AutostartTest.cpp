// The session autostart entry, in a private configuration folder.
#include "platform/Autostart.h"

#include "tests/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using testsupport::ReadFileText;
using testsupport::TempDir;

namespace {

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

// The Exec line of an entry.
std::string ExecLine(const std::string& entry) {
    const std::size_t at = entry.find("\nExec=");
    return at == std::string::npos ? std::string()
                                   : entry.substr(at + 6, entry.find('\n', at + 1) - at - 6);
}

} // namespace

#if !defined(_WIN32)

TEST(Autostart, TheEntryIsWrittenAndRemovedAndItsPresenceIsTheState) {
    TempDir dir;
    const QString config = Q(dir.Path / "config");
    const fs::path entry =
        dir.Path / "config" / "autostart" / "io.github.chronara.Chronara.desktop";
    EXPECT_EQ(platform::AutostartEntryPath(config), Q(entry));
    EXPECT_FALSE(platform::AutostartEnabled(config));

    platform::SetAutostart(true, "/opt/chronara/lib/chronara", config);
    EXPECT_TRUE(platform::AutostartEnabled(config));
    const std::string text = ReadFileText(entry);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
    EXPECT_EQ(ExecLine(text), "/opt/chronara/lib/chronara") << "no \"max\": the tray";
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos);

    // Written again for another program: the entry is replaced whole.
    platform::SetAutostart(true, "/usr/bin/chronara", config);
    EXPECT_EQ(ExecLine(ReadFileText(entry)), "/usr/bin/chronara");
    EXPECT_EQ(std::distance(fs::directory_iterator(entry.parent_path()), {}), 1);

    platform::SetAutostart(false, {}, config);
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_FALSE(platform::AutostartEnabled(config));
    platform::SetAutostart(false, {}, config); // nothing to remove: no error

    // An entry the user put there by hand counts, and is removed.
    std::ofstream(entry) << "[Desktop Entry]\nType=Application\nExec=chronara\n";
    EXPECT_TRUE(platform::AutostartEnabled(config));
    platform::SetAutostart(false, {}, config);
    EXPECT_FALSE(fs::exists(entry));

    // One the user switched off by hand starts nothing, so it does not count.
    for (const char* off : {"Hidden=true", "X-GNOME-Autostart-enabled=false"}) {
        std::ofstream(entry) << "[Desktop Entry]\nType=Application\nExec=chronara\n" << off << "\n";
        EXPECT_FALSE(platform::AutostartEnabled(config)) << off;
    }
    std::ofstream(entry) << "[Desktop Entry]\nExec=chronara\n[Desktop Action x]\nHidden=true\n";
    EXPECT_TRUE(platform::AutostartEnabled(config)) << "another group's key";
}

TEST(Autostart, FollowsXdgConfigHome) {
    TempDir dir;
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old ? old : "";
    setenv("XDG_CONFIG_HOME", dir.Path.c_str(), 1);
    EXPECT_EQ(platform::AutostartEntryPath(),
              Q(dir.Path / "autostart" / "io.github.chronara.Chronara.desktop"));
    platform::SetAutostart(true, "/usr/bin/chronara");
    EXPECT_TRUE(fs::exists(dir.Path / "autostart" / "io.github.chronara.Chronara.desktop"));
    EXPECT_TRUE(platform::AutostartEnabled());
    platform::SetAutostart(false, {});
    EXPECT_FALSE(platform::AutostartEnabled());
    if (old) {
        setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        unsetenv("XDG_CONFIG_HOME");
    }
}

TEST(Autostart, AFailureNamesTheEntryAndKeepsTheState) {
    TempDir dir;
    const QString config = Q(dir.Path);
    // A file where the autostart folder belongs.
    std::ofstream(dir.Path / "autostart") << "not a folder";
    try {
        platform::SetAutostart(true, "/usr/bin/chronara", config);
        FAIL() << "no error";
    } catch (const platform::EAutostartError& e) {
        EXPECT_NE(std::string(e.what()).find((dir.Path / "autostart").string()), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(platform::AutostartEnabled(config));
}

#endif

// Program paths with characters the Exec key reserves are quoted and escaped.
TEST(Autostart, ExecQuotesWhatTheEntryFormatReserves) {
    struct Row {
        const char* Program;
        const char* Exec;
    };
    for (const Row& row : {
             Row{"/usr/bin/chronara", "/usr/bin/chronara"},
             Row{"/home/Ann Lee/bin/chronara", R"("/home/Ann Lee/bin/chronara")"},
             Row{"/opt/100%/chronara", R"("/opt/100%%/chronara")"},
             Row{R"(/x/$HOME"`/chronara)", R"("/x/\\$HOME\\"\\`/chronara")"},
             Row{R"(/x/a\b/chronara)", R"("/x/a\\\\b/chronara")"},
         }) {
        EXPECT_EQ(ExecLine(platform::AutostartEntryText(row.Program).toStdString()), row.Exec)
            << row.Program;
    }
}

#if !defined(_WIN32)
// The written entry passes the desktop's own validator, tricky path and all.
TEST(Autostart, TheEntryPassesTheDesktopFileValidator) {
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "desktop-file-validate is not installed (scripts/install-deps.sh does it)";
    }
    TempDir dir;
    platform::SetAutostart(true, R"(/home/Ann Lee/$x "100%"/chronara)", Q(dir.Path));
    const std::string entry =
        (dir.Path / "autostart" / "io.github.chronara.Chronara.desktop").string();
    EXPECT_EQ(std::system(("desktop-file-validate '" + entry + "'").c_str()), 0);
}
#endif
