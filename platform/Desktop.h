// The desktop service: reads the user's wallpaper settings and background colour,
// sets our image as the wallpaper (centred, not stretched) and puts the user's
// settings back; on Windows also the colours of the desktop icons' text.
//
// Each desktop family keeps its wallpaper in its own settings store, so there is
// one back end per family, chosen once from XDG_CURRENT_DESKTOP and what is
// installed (CreateDesktop). Every call may block for a short while (it talks to
// the desktop's settings store); SetWallpaper may run on any thread.
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace platform {

// One value of the desktop's settings as it was before we changed it. Unset
// means the user never set it (the desktop used its default): restoring then
// resets it instead of writing the default in.
struct TDesktopValue {
    QString Key;
    std::optional<QString> Value;
    friend bool operator==(const TDesktopValue&, const TDesktopValue&) = default;
};

// The user's own wallpaper settings, as read at the first activation.
struct TSavedWallpaper {
    bool Valid = false; // false: nothing was read, so nothing is written back
    std::vector<TDesktopValue> Values;
    // The value of a key, or an empty text when absent or unset.
    QString Get(const QString& key) const;
    friend bool operator==(const TSavedWallpaper&, const TSavedWallpaper&) = default;
};

// The desktop colour used when the desktop names none: "0 128 128".
constexpr std::uint32_t DefaultBackgroundColor = 0x008080;

class TDesktop {
public:
    virtual ~TDesktop() = default;

    // The family's name, for messages and tests ("GNOME", "XFCE", "none", ...).
    virtual QString Name() const = 0;
    // False when this desktop offers no way to set the wallpaper.
    virtual bool CanSetWallpaper() const { return true; }
    // True when the desktop shows a new image only under a new file name (it
    // ignores a second set of the same path or caches the picture by name).
    virtual bool NeedsNewFileName() const { return true; }

    // The user's wallpaper settings now. Raises on a failed read.
    virtual TSavedWallpaper ReadWallpaper() = 0;
    // The desktop background colour as "red green blue" in decimal (e.g.
    // "0 128 128"); empty when the desktop names none.
    virtual QString BackgroundColor() = 0;
    // Makes the image at the absolute path the wallpaper, centred and not
    // stretched. Raises with a message when the desktop refuses.
    virtual void SetWallpaper(const QString& imagePath) = 0;
    // Writes the saved settings back (nothing when saved is not Valid).
    virtual void RestoreWallpaper(const TSavedWallpaper& saved) = 0;

    // The desktop's icon list (Windows only): whether it was found, and its
    // text background transparency and text colour (packed red * 65536 +
    // green * 256 + blue).
    virtual bool HasIconList() const { return false; }
    virtual void SetIconTextTransparent(bool /*on*/) {}
    virtual void SetIconTextColor(std::uint32_t /*packedColor*/) {}
};

// Errors of the desktop back ends; the message says what failed.
class EDesktopError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Runs an outside program with arguments and returns its exit code (-1 when it
// could not be started or timed out) with its standard output in *output.
// Replaceable so tests can record the calls.
using TRunProgram =
    std::function<int(const QString& program, const QStringList& args, QString* output)>;
// The default runner: QProcess, 10 seconds at most per call.
int RunProgram(const QString& program, const QStringList& args, QString* output);

// The desktop family of an XDG_CURRENT_DESKTOP value (colon-separated names, any
// letter case): "GNOME", "Cinnamon", "MATE", "KDE", "XFCE", or empty when none is
// known.
QString DesktopFamily(const QString& xdgCurrentDesktop);

// The back end for this session. Reads XDG_CURRENT_DESKTOP, the session type and
// DISPLAY from env, and checks that the family's tools are installed; without a
// known family on X11 it takes feh when present; else a back end that cannot set
// the wallpaper. monitorNames are the screens' connector names (XFCE keeps a
// backdrop per monitor).
std::unique_ptr<TDesktop>
CreateDesktop(const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
              const QStringList& monitorNames = {});

// A back end that sets nothing ("none").
std::unique_ptr<TDesktop> CreateNoDesktop();

// "r g b" texts of the desktops: parses the colour text of the wallpaper build
// (red, green and blue as decimal integers separated by single spaces), giving
// the packed colour; nullopt when the text is not of that form.
std::optional<std::uint32_t> ParseColorText(const QString& text);
// "#rgb", "#rrggbb" or "#rrrrggggbbbb" (what GSettings stores) as "r g b";
// empty when not of that form.
QString HexColorToText(QString hex);

} // namespace platform
