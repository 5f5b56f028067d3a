// The options dialog: the shadow-map interval, the wallpaper width, what the
// list rows and the clock line show and the clock's colours (the cloud
// settings sit below the visible page). It also loads the settings once per
// run and saves them, for itself and for the main window.
#pragma once

#include "app/settings/SettingsHost.h"

#include <QColor>
#include <QDialog>
#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QCheckBox;
class QColorDialog;
class QLabel;
class QLineEdit;

namespace Ui {
class Toptions;
}

namespace platform {
class TRegistry;
}

namespace app {

class Toptions : public QDialog {
    Q_OBJECT
public:
    // The dialog edits the host's settings. The store lies in storeDir when it
    // is given (tests), else in the user's own place.
    explicit Toptions(TSettingsHost& host, QWidget* parent = nullptr, const QString& storeDir = {});
    ~Toptions() override;

    // Reads every setting and the stored places into the host, once per run
    // (later calls do nothing). A settings file that cannot be read whole is
    // kept as a copy beside it and the user is told once; what can be read is
    // loaded.
    void LoadSettings();
    // Writes every setting and the list, all at once. Throws
    // platform::ERegistryException "Failed to set data for '%s'" when the
    // store cannot be written; the stored settings then stay as they were.
    void SaveSettings();
    bool SettingsLoaded() const { return Loaded; }
    // The accessor made by loading and replaced by each save (the wallpaper
    // code reads the store through it); null before the first load.
    platform::TRegistry* Registry() const { return Store.get(); }

    // Reads the user's own desktop wallpaper values when the settings are
    // loaded. By default from the store's desktop key (the registry's on
    // Windows); the desktop service of other systems replaces it.
    std::function<TSavedWallpaper()> ReadDesktop;

    // Handlers, named after their component and event.
    void FormShow();
    // Checks the numbers shown first; the first bad one is reported, focused,
    // and nothing is applied. Otherwise applies, saves and accepts.
    void ButtonOKClick();
    // The colour choosers over the preview: Label3 the background's, Label4
    // the text's.
    void Label3Click();
    void Label4Click();

    // The preview's colours as colour words.
    TColorWord Panel2Color() const { return PanelColor; }
    TColorWord Panel2FontColor() const { return PanelFontColor; }
    // The configuration folder that holds the session's autostart entry (the
    // user's own when empty) and the program that entry starts.
    QString AutostartConfigDir;
    QString AutostartProgram;

    // Runs a dialog modally and returns its result; tests replace it.
    std::function<int(QDialog&)> ShowModal;
    QColorDialog* ColorDialog1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The form's check boxes (CheckBox1 to CheckBox7, as the form names them)
    // and the flag of what the rows and the clock line show that each edits.
    using TShownFlag = std::pair<QCheckBox*, bool TDisplayValues::*>;
    std::array<TShownFlag, 7> ShownFlags() const;
    void SetPanel2Colors(TColorWord color, TColorWord fontColor);
    // Opens the colour dialog on the colour last chosen; true when confirmed.
    bool ChooseColor(QColor& chosen);
    // The integer in an edit, or nothing after telling the user and focusing it.
    bool ReadInteger(QLineEdit* edit, int& value);
    // The integer in an edit, or the value kept when its text is no integer.
    static int IntegerOr(const QLineEdit* edit, int kept);

    std::unique_ptr<Ui::Toptions> Form;
    TSettingsHost& Host;
    QString StoreDir;
    std::unique_ptr<platform::TRegistry> Store;
    bool Loaded = false;
    // Places stored beyond the list's limit, written back after the list.
    std::vector<TStoredLocation> NotLoaded;
    // The damaged file's copy failed at the load: tried again before a save.
    bool CopyPending = false;
    TColorWord PanelColor = ButtonFaceColor;
    TColorWord PanelFontColor = WindowTextColor;
    QColor LastChosen = Qt::black;
};

} // namespace app
