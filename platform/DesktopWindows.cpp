// Windows back end: the wallpaper values of the current user's desktop settings
// in the registry, the system call that makes the desktop reload them, and the
// desktop's icon list for the colours of the icon text.
#include "platform/Desktop.h"

#include <windows.h>

#include <commctrl.h>

#include <QDir>

#include <string_view>
#include <vector>

namespace platform {

namespace {

const wchar_t* const DesktopKey = L"Control Panel\\Desktop";
const wchar_t* const ColorsKey = L"Control Panel\\Colors\\";
const wchar_t* const ValueNames[] = {L"TileWallpaper", L"WallpaperStyle", L"Wallpaper"};

QString ReadString(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return {};
    }
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &bytes) != ERROR_SUCCESS) {
        return {};
    }
    return QString::fromWCharArray(buffer.data());
}

void WriteString(HKEY key, const wchar_t* name, const QString& value) {
    const std::wstring text = value.toStdWString();
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

// Writes the three values when the key opens (it is never created), then has
// the desktop reload its wallpaper whether or not it opened.
void WriteDesktopValues(const QString& tile, const QString& style, const QString& wallpaper) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, DesktopKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        WriteString(key, ValueNames[0], tile);
        WriteString(key, ValueNames[1], style);
        WriteString(key, ValueNames[2], wallpaper);
        RegCloseKey(key);
    }
    // The path is passed too: current systems take the picture from it rather
    // than from the registry.
    std::wstring path = wallpaper.toStdWString();
    SystemParametersInfoW(SPI_SETDESKWALLPAPER, 0, path.data(), SPIF_SENDWININICHANGE);
}

class TWindowsDesktop final : public TDesktop {
public:
    TWindowsDesktop() {
        // The icon list: the first child of the first child of "ProgMan".
        if (HWND progman = FindWindowA("ProgMan", nullptr)) {
            if (HWND view = GetWindow(progman, GW_CHILD)) {
                HWND list = GetWindow(view, GW_CHILD);
                char name[101] = {};
                if (list && GetClassNameA(list, name, 100) > 0 &&
                    std::string_view(name) == "SysListView32") {
                    IconList = list;
                }
            }
        }
    }

    QString Name() const override { return QStringLiteral("Windows"); }
    // The desktop reads the file again at every call.
    bool NeedsNewFileName() const override { return false; }

    TSavedWallpaper ReadWallpaper() override {
        TSavedWallpaper saved;
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, DesktopKey, 0, KEY_QUERY_VALUE, &key) ==
            ERROR_SUCCESS) {
            for (const wchar_t* name : ValueNames) {
                saved.Values.push_back({QString::fromWCharArray(name), ReadString(key, name)});
            }
            RegCloseKey(key);
        } else {
            for (const wchar_t* name : ValueNames) {
                saved.Values.push_back({QString::fromWCharArray(name), QString()});
            }
        }
        saved.Valid = true;
        return saved;
    }

    QString BackgroundColor() override {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, ColorsKey, 0, KEY_QUERY_VALUE, &key) !=
            ERROR_SUCCESS) {
            return {};
        }
        const QString text = ReadString(key, L"Background");
        RegCloseKey(key);
        return text;
    }

    void SetWallpaper(const QString& imagePath) override {
        WriteDesktopValues(QStringLiteral("0"), QStringLiteral("0"),
                           QDir::toNativeSeparators(imagePath));
    }

    void RestoreWallpaper(const TSavedWallpaper& saved) override {
        if (!saved.Valid) {
            return;
        }
        WriteDesktopValues(saved.Get(QStringLiteral("TileWallpaper")),
                           saved.Get(QStringLiteral("WallpaperStyle")),
                           saved.Get(QStringLiteral("Wallpaper")));
    }

    bool HasIconList() const override { return IconList != nullptr; }

    void SetIconTextTransparent(bool on) override {
        if (!IconList) {
            return;
        }
        if (on) {
            SavedTextBackground =
                static_cast<COLORREF>(SendMessageW(IconList, LVM_GETTEXTBKCOLOR, 0, 0));
            SendMessageW(IconList, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(CLR_NONE));
        } else {
            SendMessageW(IconList, LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(SavedTextBackground));
        }
        Repaint();
    }

    void SetIconTextColor(std::uint32_t packedColor) override {
        if (!IconList) {
            return;
        }
        const COLORREF color =
            RGB((packedColor >> 16) & 0xFF, (packedColor >> 8) & 0xFF, packedColor & 0xFF);
        SendMessageW(IconList, LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(color));
        Repaint();
    }

private:
    void Repaint() {
        ShowWindow(IconList, SW_HIDE);
        ShowWindow(IconList, SW_SHOW);
    }

    HWND IconList = nullptr;
    COLORREF SavedTextBackground = CLR_NONE;
};

} // namespace

std::unique_ptr<TDesktop> CreateDesktop(const QProcessEnvironment&, const QStringList&) {
    return std::make_unique<TWindowsDesktop>();
}

} // namespace platform
