#include "app/dialogs/OptionsDialog.h"

#include "app/settings/ColorWord.h"
#include "app/settings/SettingsTable.h"
#include "app/settings/StoredSettings.h"
#include "app/text/Messages.h"
#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "kiv/KivData.h"
#include "platform/Autostart.h"
#include "platform/Registry.h"
#include "ui_OptionsDialog.h"

#include <QColorDialog>
#include <QEvent>
#include <QFontDatabase>

#include <algorithm>
#include <limits>

namespace app {

namespace {

// Verdana when the system has it, else the nearest sans-serif face.
QFont PreviewFont() {
    QFont font(QStringLiteral("Verdana"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(15);
    font.setBold(true);
    return font;
}

// The colour choosers look like labels that turn into links under the
// pointer: blue and underlined while it is over one, else the window-text
// colour. They are flat buttons, so the keyboard reaches and presses them.
void SetLabelHover(QPushButton* label, bool hover) {
    QFont font = label->font();
    font.setUnderline(hover);
    label->setFont(font);
    QPalette palette = label->palette();
    const QColor color = hover ? ColorOfWord(0xFF0000u) : ColorOfWord(WindowTextColor, QPalette());
    palette.setColor(QPalette::ButtonText, color);
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
}

} // namespace

Toptions::Toptions(TSettingsHost& host, QWidget* parent, const QString& storeDir)
    : QDialog(parent), Form(std::make_unique<Ui::Toptions>()), Host(host), StoreDir(storeDir) {
    Form->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    Form->Panel2->setFont(PreviewFont());
    for (QPushButton* label : {Form->Label3, Form->Label4}) {
        label->setCursor(Qt::PointingHandCursor);
        label->installEventFilter(this);
    }
    connect(Form->Label3, &QPushButton::clicked, this, [this] { Label3Click(); });
    connect(Form->Label4, &QPushButton::clicked, this, [this] { Label4Click(); });
    // The cloud settings are kept but not offered: their group is out of
    // sight, and hidden it takes no keyboard focus either.
    Form->GroupBox4->hide();
    ColorDialog1 = new QColorDialog(this);
    ColorDialog1->setObjectName(QStringLiteral("ColorDialog1"));
    ShowModal = [](QDialog& dialog) { return dialog.exec(); };
    ReadDesktop = [this] { return Store ? ReadDesktopWallpaper(*Store) : TSavedWallpaper{}; };
    connect(Form->ButtonOK, &QPushButton::clicked, this, [this] { ButtonOKClick(); });
    // The session starts the program entry beside this one, without "max", so
    // Chronara goes to the tray.
#if defined(_WIN32)
    AutostartProgram = QString::fromStdString(kiv::ProgramPath("chronara.exe"));
#else
    AutostartProgram = QString::fromStdString(kiv::ProgramPath("chronara"));
#endif
    TranslateWindow(this);
}

Toptions::~Toptions() = default;

void Toptions::LoadSettings() {
    if (Loaded) {
        return;
    }
    Loaded = true;
    // An autostart entry of the program's former desktop name becomes one of
    // the present name. Like the rest of loading, a failure goes unsaid: the
    // old entry then still starts the program.
    try {
        platform::MigrateAutostart(AutostartProgram, AutostartConfigDir);
    } catch (const platform::EAutostartError&) {
    }
    Store = std::make_unique<platform::TRegistry>(StoreDir.toStdString());
    Host.SetSavedWallpaper(ReadDesktop());
    const TLoadReport report = ReadSettings(Host, *Store);
    const QString file = QString::fromStdString(Store->FileName());
    NotLoaded = report.NotLoaded;
    if (!NotLoaded.empty()) {
        ShowWarning(parentWidget(), TranslateMessage(QString::fromUtf8(strings::PlacesNotLoaded))
                                        .arg(NotLoaded.size())
                                        .arg(file));
    }
    QStringList problems;
    for (const std::string& line : Store->Problems()) {
        problems << QString::fromStdString(line);
    }
    problems += report.Problems;
    if (problems.isEmpty()) {
        return;
    }
    // Nothing is lost silently: the file as it was stays beside the new one.
    QString text = TranslateMessage(QString::fromUtf8(strings::SettingsDamaged))
                       .arg(file, problems.mid(0, 5).join(QLatin1Char('\n')));
    if (problems.size() > 5) {
        text += QLatin1Char('\n') +
                TranslateMessage(QString::fromUtf8(strings::AndMore)).arg(problems.size() - 5);
    }
    QString copy;
    try {
        copy = QString::fromStdString(Store->KeepCopy(".damaged"));
    } catch (const std::exception& e) {
        // A full disk: the file stays as it is, and the copy is tried again
        // before the next save replaces it.
        CopyPending = true;
        text +=
            QStringLiteral("\n\n") + TranslateMessage(QString::fromUtf8(strings::SettingsNotCopied))
                                         .arg(QString::fromUtf8(e.what()));
    }
    if (!copy.isEmpty()) {
        text += QStringLiteral("\n\n") +
                TranslateMessage(QString::fromUtf8(strings::SettingsCopied)).arg(copy);
    }
    ShowWarning(parentWidget(), text);
}

void Toptions::SaveSettings() {
    // A fresh accessor: the store as it is now, plus this save.
    Store = std::make_unique<platform::TRegistry>(StoreDir.toStdString());
    if (CopyPending) {
        try {
            Store->KeepCopy(".damaged");
            CopyPending = false;
        } catch (const std::exception&) {
            // Reported at the load; the settings are saved all the same.
        }
    }
    WriteSettings(Host, *Store, NotLoaded);
}

void Toptions::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

std::array<Toptions::TShownFlag, 7> Toptions::ShownFlags() const {
    return {{{Form->CheckBox1, &TDisplayValues::ShowDate},
             {Form->CheckBox2, &TDisplayValues::ShowZA},
             {Form->CheckBox3, &TDisplayValues::ShowSA},
             {Form->CheckBox4, &TDisplayValues::CShowDate},
             {Form->CheckBox5, &TDisplayValues::CShowZA},
             {Form->CheckBox6, &TDisplayValues::CShowSA},
             {Form->CheckBox7, &TDisplayValues::CShowCty}}};
}

void Toptions::FormShow() {
    const TSettingsValues v = Host.Values();
    Form->Edit1->setText(QString::number(v.SMUpdate / 60));
    Form->LabeledEdit1->setText(QString::number(v.WallpaperWidth));
    for (const auto& [box, flag] : ShownFlags()) {
        box->setChecked(v.*flag);
    }
    SetPanel2Colors(v.ClockBGColor, v.ClockFGColor);
    Form->LabeledEdit2->setText(v.Proxy);
    Form->LabeledEdit3->setText(QString::number(v.ProxyPort));
    Form->LabeledEdit4->setText(v.CloudSource);
    Form->Edit2->setText(QString::number(v.CloudIntensity));
    SetLabelHover(Form->Label3, false);
    SetLabelHover(Form->Label4, false);
    // Not a stored setting: the entry's presence is the choice.
    Form->CheckBoxAutostart->setChecked(platform::AutostartEnabled(AutostartConfigDir));
    Form->Edit1->setFocus();
}

bool Toptions::ReadInteger(QLineEdit* edit, int& value) {
    bool ok = false;
    const int v = edit->text().trimmed().toInt(&ok);
    if (!ok) {
        ShowError(this, TranslateMessage(QString::fromUtf8(strings::NotInteger)).arg(edit->text()));
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    value = v;
    return true;
}

int Toptions::IntegerOr(const QLineEdit* edit, int kept) {
    bool ok = false;
    const int v = edit->text().trimmed().toInt(&ok);
    return ok ? v : kept;
}

void Toptions::ButtonOKClick() {
    TSettingsValues v = Host.Values();
    // Every number is checked before anything is applied.
    int minutes = 0;
    int width = 0;
    int intensity = 0;
    int port = 0;
    if (!ReadInteger(Form->Edit1, minutes) || !ReadInteger(Form->LabeledEdit1, width)) {
        return;
    }
    const TBounds widths = BoundsOf(&TSettingsValues::WallpaperWidth);
    if (!widths.Contains(width)) {
        ShowError(this, TranslateMessage(QString::fromUtf8(strings::WallpaperWidthRange))
                            .arg(widths.Min)
                            .arg(widths.Max));
        Form->LabeledEdit1->setFocus();
        Form->LabeledEdit1->selectAll();
        return;
    }
    // The cloud fields are out of sight, so never the subject of a message: a
    // text in them that is no number keeps the value it stands for.
    intensity = IntegerOr(Form->Edit2, v.CloudIntensity);
    port = IntegerOr(Form->LabeledEdit3, v.ProxyPort);
    // Minutes to seconds, kept within what the interval can hold.
    v.SMUpdate = static_cast<int>(std::clamp<qint64>(
        qint64(minutes) * 60, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    for (const auto& [box, flag] : ShownFlags()) {
        v.*flag = box->isChecked();
    }
    v.ClockBGColor = PanelColor;
    v.ClockFGColor = PanelFontColor;
    v.Proxy = Form->LabeledEdit2->text();
    v.CloudSource = Form->LabeledEdit4->text();
    v.WallpaperWidth = width;
    v.CloudIntensity = intensity;
    v.ProxyPort = port;
    Host.SetValues(v);
    try {
        SaveSettings();
    } catch (const std::exception& e) {
        // The settings are applied for this run; the store stays as it was.
        ShowError(this, QString::fromUtf8(e.what()));
    }
    const bool autostart = Form->CheckBoxAutostart->isChecked();
    if (autostart != platform::AutostartEnabled(AutostartConfigDir)) {
        try {
            platform::SetAutostart(autostart, AutostartProgram, AutostartConfigDir);
        } catch (const std::exception& e) {
            ShowError(this, QString::fromUtf8(e.what()));
        }
    }
    Host.SetShadowRefreshCounter(v.SMUpdate);
    accept();
}

void Toptions::SetPanel2Colors(TColorWord color, TColorWord fontColor) {
    PanelColor = color;
    PanelFontColor = fontColor;
    QPalette palette = Form->Panel2->palette();
    palette.setColor(QPalette::Window, ColorOfWord(color, QPalette()));
    palette.setColor(QPalette::WindowText, ColorOfWord(fontColor, QPalette()));
    Form->Panel2->setPalette(palette);
}

bool Toptions::ChooseColor(QColor& chosen) {
    ColorDialog1->setCurrentColor(LastChosen);
    if (ShowModal(*ColorDialog1) != QDialog::Accepted) {
        return false;
    }
    LastChosen = ColorDialog1->selectedColor().isValid() ? ColorDialog1->selectedColor()
                                                         : ColorDialog1->currentColor();
    chosen = LastChosen;
    return true;
}

void Toptions::Label3Click() {
    QColor c;
    if (ChooseColor(c)) {
        SetPanel2Colors(WordOfColor(c), PanelFontColor);
    }
}

void Toptions::Label4Click() {
    QColor c;
    if (ChooseColor(c)) {
        SetPanel2Colors(PanelColor, WordOfColor(c));
    }
}

bool Toptions::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Form->Label3 || watched == Form->Label4) {
        if (event->type() == QEvent::Enter || event->type() == QEvent::Leave) {
            SetLabelHover(static_cast<QPushButton*>(watched), event->type() == QEvent::Enter);
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace app
