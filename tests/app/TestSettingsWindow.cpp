// The window and its stored settings as a user meets them: the first start,
// places and options that come back after closing and starting again, the
// options commands, and a kill that still saves the list.
#include "AppTestSupport.h"
#include "app/dialogs/OptionsDialog.h"
#include "app/settings/StoredSettings.h"
#include "app/window/QuitSignals.h"
#include "app/window/WindowSettings.h"
#include "platform/Registry.h"
#include "tests/FullDisk.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSignalSpy>

#include <csignal>

using namespace apptest;

class TestSettingsWindow : public QObject, private TWindowFixture {
    Q_OBJECT

private:
    // Closes the window as the user does and opens a new one over the same
    // world and settings folder.
    void Restart() {
        Form->close();
        Form.reset();
        QVERIFY(OpenWindow());
    }
    QByteArray StoredText() const {
        QFile f(World->SettingsFile());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void init() { StartFixture(); }
    void cleanup() { EndFixture(); }

    void firstStartShowsTheSingleLocation() {
        QFile::remove(World->SettingsFile());
        QVERIFY(OpenWindow());
        QVERIFY(!ActionOf(*Form, "MultiMode")->isChecked());
        QVERIFY(ActionOf(*Form, "ShowClock")->isChecked());
        QVERIFY(WidgetOf(*Form, "PanelClock")->isVisible());
        QVERIFY(ActionOf(*Form, "MIHighlightCities")->isChecked());
        QVERIFY(ActionOf(*Form, "ShowClouds")->isChecked());
        QCOMPARE(LocationsOf(*Form)->SingleLocation.Name, QStringLiteral("Melbourne, Australia"));
        QCOMPARE(DisplayOf(*Form).SMUpdate, 600);
        for (QAction* a : {ActionOf(*Form, "PIOptions"), ActionOf(*Form, "MIOptions"),
                           ActionOf(*Form, "TBOptions")}) {
            QVERIFY(a->isEnabled());
        }
        // Nothing is written until the window closes.
        QVERIFY(!QFile::exists(World->SettingsFile()));
        Form->close();
        QVERIFY(StoredText().contains("\"SingleMode\"=dword:00000001"));
    }

    // 18 stored places: 15 listed, the user told of the other three once, and
    // the file still holds all 18 after the close.
    void placesPastTheListsLimitAreNamedAndKept() {
        {
            platform::TRegistry store; // the fixture's settings folder
            QVERIFY(store.OpenKey(app::SettingsKey, true));
            store.WriteInteger("LocationCount", 18);
            for (int i = 0; i < 18; ++i) {
                QVERIFY(store.OpenKey(app::SettingsKey + "\\" + std::to_string(i), true));
                store.WriteString("Name", "P" + std::to_string(i));
                store.WriteString("ZoneName", "Asia/Kolkata");
                store.WriteFloat("Latitude", i * 2.0);
                store.WriteFloat("Longitude", 0);
            }
            store.Commit();
        }
        QVERIFY(OpenWindow());
        QCOMPARE(LocationsOf(*Form)->Entries().size(), std::size_t{15});
        QCOMPARE(Messages->Texts.size(), 1);
        QVERIFY2(
            Messages->Texts[0].startsWith(QStringLiteral("3 places in '") + World->SettingsFile()),
            qPrintable(Messages->Texts[0]));
        Form->close();
        const QByteArray text = StoredText();
        QVERIFY(text.contains("\"LocationCount\"=dword:00000012"));
        QVERIFY(text.contains("\"Name\"=\"P17\""));
    }

    void everythingComesBackAfterARestart() {
        QVERIFY(OpenWindow());
        LocationsOf(*Form)->AddLocation(QStringLiteral("Berlin, Germany"), "Europe/Berlin", 52.52,
                                        13.405);
        LocationsOf(*Form)->AddLocation(QStringLiteral("Kolkata"), "Asia/Kolkata", 22.57, 88.36);
        LocationsOf(*Form)->AddLocation(QStringLiteral("St. John's"), "America/St_Johns", 47.56,
                                        -52.71);
        ActionOf(*Form, "ShowClock")->trigger();
        ActionOf(*Form, "MIHighlightCities")->trigger();
        ActionOf(*Form, "ShowSM1")->trigger();

        // The options: the interval in minutes, a clock format, the width.
        int shown = 0;
        Form->SetShowModal([&](QDialog& dialog) {
            ++shown;
            dialog.show();
            dialog.findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("5"));
            dialog.findChild<QLineEdit*>(QStringLiteral("LabeledEdit1"))
                ->setText(QStringLiteral("2048"));
            dialog.findChild<QCheckBox*>(QStringLiteral("CheckBox7"))->setChecked(true);
            dialog.findChild<QCheckBox*>(QStringLiteral("CheckBox3"))->setChecked(true);
            QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("ButtonOK")),
                              Qt::LeftButton);
            return dialog.result();
        });
        ActionOf(*Form, "TBOptions")->trigger();
        QCOMPARE(shown, 1);
        QCOMPARE(DisplayOf(*Form).SMUpdate, 300);
        QCOMPARE(DisplayOf(*Form).ShadowRefreshCounter, 300);
        QVERIFY(Messages->Texts.isEmpty());

        Restart();
        QCOMPARE(LocationsOf(*Form)->Count(), 3);
        QCOMPARE(LocationsOf(*Form)->Entries()[0].Name, QStringLiteral("Berlin, Germany"));
        QCOMPARE(LocationsOf(*Form)->Entries()[2].ZoneName, QStringLiteral("America/St_Johns"));
        QCOMPARE(LocationsOf(*Form)->Entries()[2].Longitude, -52.71);
        QVERIFY(ActionOf(*Form, "MultiMode")->isChecked());
        QVERIFY(ActionOf(*Form, "ShowClock")->isChecked());
        QVERIFY(WidgetOf(*Form, "PanelClock")->isVisible());
        QVERIFY(ActionOf(*Form, "MIHighlightCities")->isChecked());
        QVERIFY(!ActionOf(*Form, "ShowSM1")->isChecked());
        QVERIFY(!DisplayOf(*Form).ShowSM);
        QCOMPARE(DisplayOf(*Form).SMUpdate, 300);
        QCOMPARE(DisplayOf(*Form).ShadowRefreshCounter, 299);
        QCOMPARE(DisplayOf(*Form).WallpaperWidth, 2048);
        QVERIFY(DisplayOf(*Form).CShowCty);
        QVERIFY(DisplayOf(*Form).ShowSA);
        QVERIFY(Messages->Texts.isEmpty());
    }

    // The options dialog's record goes to the window and comes back whole:
    // what the clock reads lands in the window's display settings, the tick's
    // refresh counter is left alone.
    void theWindowKeepsEveryValueTheDialogSets() {
        QVERIFY(OpenWindow());
        app::TSettingsHost& host = *SettingsOf(*Form);
        app::TSettingsValues v;
        v.SMUpdate = 42;
        v.WallpaperWidth = 2048;
        v.ShowDate = !v.ShowDate;
        v.ShowZA = !v.ShowZA;
        v.ShowSA = !v.ShowSA;
        v.CShowDate = !v.CShowDate;
        v.CShowZA = !v.CShowZA;
        v.CShowSA = !v.CShowSA;
        v.CShowCty = !v.CShowCty;
        v.ShowSM = !v.ShowSM;
        v.ClockBGColor = 0x00123456;
        v.ClockFGColor = 0x00654321;
        v.Proxy = QStringLiteral("proxy.local");
        v.ProxyPort = 8080;
        v.CloudSource = QStringLiteral("file:///clouds.jpg");
        v.CloudIntensity = 40;
        DisplayOf(*Form).ShadowRefreshCounter = 7;
        host.SetValues(v);
        QVERIFY(host.Values() == v);
        QVERIFY(static_cast<const app::TDisplayValues&>(DisplayOf(*Form)) == v);
        QCOMPARE(DisplayOf(*Form).ShadowRefreshCounter, 7);
        QCOMPARE(ActionOf(*Form, "ShowSM1")->isChecked(), v.ShowSM);
    }

    // The session's autostart entry of the program's former desktop name
    // ("chronara.desktop") becomes one of the reverse-domain name when the
    // window starts, so the session starts the program once and the options
    // show the entry; one of the new name already there is kept as it is.
    void anAutostartEntryOfTheFormerNameIsTakenOver_data() {
        QTest::addColumn<bool>("newAlreadyThere");
        QTest::newRow("old entry only") << false;
        QTest::newRow("both entries") << true;
    }
    void anAutostartEntryOfTheFormerNameIsTakenOver() {
        QFETCH(bool, newAlreadyThere);
        const QString folder = World->ConfigHome() + QStringLiteral("/autostart/");
        QVERIFY(QDir().mkpath(folder));
        const QString former = folder + QStringLiteral("chronara.desktop");
        const QString present = folder + QStringLiteral("io.github.chronara.Chronara.desktop");
        auto write = [](const QString& path, const QByteArray& text) {
            QFile file(path);
            return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
        };
        QVERIFY(write(former, "[Desktop Entry]\nType=Application\nIcon=chronara\n"
                              "Exec=/opt/old/chronara\n"));
        const QByteArray mine = "[Desktop Entry]\nType=Application\nExec=/home/me/chronara\n";
        if (newAlreadyThere) {
            QVERIFY(write(present, mine));
        }
        QVERIFY(OpenWindow());
        QVERIFY(!QFile::exists(former));
        QFile entry(present);
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray text = entry.readAll();
        if (newAlreadyThere) {
            QCOMPARE(text, mine);
        } else {
            QVERIFY2(text.contains("\nIcon=io.github.chronara.Chronara\n"), text.constData());
            QVERIFY2(text.contains("\nExec=" +
                                   QFile::encodeName(Part<app::Toptions>(*Form)->AutostartProgram) +
                                   "\n"),
                     text.constData());
        }
        // The options show the entry.
        Part<app::Toptions>(*Form)->FormShow();
        QVERIFY(Part<app::Toptions>(*Form)
                    ->findChild<QCheckBox*>(QStringLiteral("CheckBoxAutostart"))
                    ->isChecked());
    }

    void singleModeComesBack() {
        QVERIFY(OpenWindow());
        LocationsOf(*Form)->AddLocation(QStringLiteral("Kolkata"), "Asia/Kolkata", 22.57, 88.36);
        ActionOf(*Form, "MultiMode")->trigger(); // off: the clock and highlighting go on
        LocationsOf(*Form)->AddLocation(QStringLiteral("Berlin, Germany"), "Europe/Berlin", 52.52,
                                        13.405);
        Restart();
        QVERIFY(!ActionOf(*Form, "MultiMode")->isChecked());
        QCOMPARE(LocationsOf(*Form)->SingleLocation.Name, QStringLiteral("Berlin, Germany"));
        QCOMPARE(LocationsOf(*Form)->Count(), 1); // the list stays behind the single location
        QVERIFY(ActionOf(*Form, "ShowClock")->isChecked());
        // Stored as highlighted, and the single mode switched it on before:
        // the stored toggle flips it back, as it always has.
        QVERIFY(!ActionOf(*Form, "MIHighlightCities")->isChecked());
    }

    void optionsClosedByItsBoxChangeNothing() {
        QVERIFY(OpenWindow());
        const QByteArray before = StoredText();
        Form->SetShowModal([](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("Edit1"))->setText(QStringLiteral("1"));
            return int(QDialog::Rejected);
        });
        ActionOf(*Form, "PIOptions")->trigger();
        QCOMPARE(DisplayOf(*Form).SMUpdate, 600);
        QCOMPARE(StoredText(), before);
    }

    void closedBeforeLoadingWritesNothing() {
        const QByteArray before = StoredText();
        app::TStartOptions options;
        options.ProgramDir = World->ProgramDir();
        app::TFormChronara hidden(options);
        hidden.close();
        QCOMPARE(StoredText(), before);
    }

    // A quit signal while the save fails (a full disk): the user's wallpaper
    // is put back before the failed save is reported, and the report names
    // the cause. (Reported on standard error, it waits for no answer.)
    void aQuitSignalPutsTheWallpaperBackBeforeReportingAFailedSave() {
        QVERIFY(OpenWindow());
        {
            const QSignalBlocker quiet(ActionOf(*Form, "Wallpaper"));
            ActionOf(*Form, "Wallpaper")->setChecked(true);
        }
        app::CloseOnQuitSignals(Form.get(), [this] { Form->CloseOnSignal(); });
        LocationsOf(*Form)->AddLocation(QStringLiteral("Kolkata"), "Asia/Kolkata", 22.57, 88.36);
        QString text;
        QStringList desktopAtReport;
        const auto previous = app::SetMessageAnswerer([&](app::TMessageKind, const QString& t) {
            text = t;
            desktopAtReport = Desktop->Recorded();
            return QMessageBox::Ok;
        });
        QSignalSpy closed(Form.get(), &app::TFormChronara::Closed);
        {
            testsupport::TFullDisk full(16);
            std::raise(SIGTERM);
            QTRY_COMPARE(closed.count(), 1);
        }
        app::SetMessageAnswerer(previous);
        QVERIFY2(text.startsWith(QStringLiteral("Failed to set data for '") +
                                 World->SettingsFile() + QStringLiteral("' (")),
                 qPrintable(text));
        QCOMPARE(desktopAtReport, QStringList{QStringLiteral("restore mine.png")});
        QVERIFY(!StoredText().contains("Kolkata"));
    }

    void killedProgramSavesTheList() {
        QVERIFY(OpenWindow());
        app::CloseOnQuitSignals(Form.get());
        LocationsOf(*Form)->AddLocation(QStringLiteral("Kolkata"), "Asia/Kolkata", 22.57, 88.36);
        QSignalSpy closed(Form.get(), &app::TFormChronara::Closed);
        std::raise(SIGTERM);
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(StoredText().contains("\"Name\"=\"Kolkata\""));
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "TestSettingsWindow.moc"
