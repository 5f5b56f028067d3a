// The options dialog: its controls, filling them, the number checks before
// anything is applied, the colour labels, and loading a damaged settings file.
#include "FakeSettingsHost.h"
#include "app/dialogs/OptionsDialog.h"
#include "app/settings/ColorWord.h"
#include "app/text/Messages.h"
#include "platform/Registry.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using app::Toptions;
using apptest::TFakeSettingsHost;

namespace {

QString SettingsFile(const QString& dir) {
    return QString::fromStdString(platform::SettingsFilePath(dir.toStdString()));
}

template <class T> T* Find(QWidget& dialog, const char* name) {
    auto* w = dialog.findChild<T*>(QString::fromLatin1(name));
    if (!w) {
        qWarning("no control %s", name);
    }
    return w;
}

// Collects the texts of the message boxes shown while it lives.
struct TMessages {
    QStringList Texts;
    TMessages() {
        app::SetMessageAnswerer([this](app::TMessageKind, const QString& text) {
            Texts << text;
            return QMessageBox::Ok;
        });
    }
    ~TMessages() { app::SetMessageAnswerer({}); }
};

} // namespace

class TestOptions : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void controlsAndCaptions();
    void formShowFillsEveryControl();
    void acceptingUnchangedStoresWholeMinutes();
    void everyNumberIsCheckedFirst_data();
    void everyNumberIsCheckedFirst();
    void hiddenFieldsAreNeverReported_data();
    void hiddenFieldsAreNeverReported();
    void keyboardReachesEveryShownControlInReadingOrder();
    void colourLabels();
    void damagedFileIsKeptAndToldOnce();
    void loadsOnlyOnce();

private:
    QTemporaryDir ConfigHome;
};

void TestOptions::initTestCase() {
    // Nothing here may touch the user's own settings.
    QVERIFY(ConfigHome.isValid());
    qputenv("XDG_CONFIG_HOME", ConfigHome.path().toUtf8());
}

void TestOptions::controlsAndCaptions() {
    TFakeSettingsHost host;
    Toptions dialog(host);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Chronara Options"));
    QCOMPARE(Find<QGroupBox>(dialog, "GBGeneral")->title(), QStringLiteral(" General Settings "));
    QCOMPARE(Find<QGroupBox>(dialog, "GBClock")->title(),
             QStringLiteral(" Format settings for the bottom clock "));
    QCOMPARE(Find<QGroupBox>(dialog, "GBCityList")->title(),
             QStringLiteral(" Format settings for the City list "));
    QCOMPARE(Find<QLineEdit>(dialog, "Edit1")->toolTip(),
             QStringLiteral("enter 0 to disable updates"));
    auto* ok = Find<QPushButton>(dialog, "ButtonOK");
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QVERIFY(ok->isDefault());
    const QStringList checks{"Show Date",   "Show Zone Abbreviation", "Show Sun Angle",
                             "Show Date",   "Show Zone Abbreviation", "Show Sun Angle",
                             "Show Country"};
    for (int i = 0; i < 7; ++i) {
        auto* box = Find<QCheckBox>(dialog, qPrintable(QStringLiteral("CheckBox%1").arg(i + 1)));
        QVERIFY(box);
        QCOMPARE(box->text(), checks[i]);
    }
    auto* tabs = Find<QTabWidget>(dialog, "PageControl1");
    QCOMPARE(tabs->count(), 1);
    QCOMPARE(tabs->tabText(0), QStringLiteral("Settings"));
    QCOMPARE(Find<QLabel>(dialog, "Panel2")->text(), QStringLiteral("Test 12:23"));
    QVERIFY(Find<QLabel>(dialog, "Panel2")->font().bold());
    QCOMPARE(Find<QLabel>(dialog, "Panel2")->font().pixelSize(), 15);

    // The cloud group is there but below the page's visible area.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* page = Find<QWidget>(dialog, "TSSettings");
    auto* clouds = Find<QGroupBox>(dialog, "GroupBox4");
    QCOMPARE(clouds->title(), QStringLiteral(" Cloud Settings (Update every 3 hours) "));
    QVERIFY(clouds->parentWidget() == page);
    QVERIFY(clouds->geometry().top() >= page->height());
    dialog.reject();
}

void TestOptions::formShowFillsEveryControl() {
    TFakeSettingsHost host;
    host.V.SMUpdate = 90;
    host.V.WallpaperWidth = 800;
    host.V.ShowZA = false;
    host.V.CShowCty = true;
    host.V.Proxy = QStringLiteral("proxy");
    host.V.ProxyPort = 8080;
    host.V.CloudSource = QStringLiteral("src");
    host.V.CloudIntensity = 40;
    host.V.ClockBGColor = 0x000000FF; // red
    Toptions dialog(host);
    dialog.FormShow();
    QCOMPARE(Find<QLineEdit>(dialog, "Edit1")->text(), QStringLiteral("1"));
    QCOMPARE(Find<QLineEdit>(dialog, "LabeledEdit1")->text(), QStringLiteral("800"));
    QVERIFY(Find<QCheckBox>(dialog, "CheckBox1")->isChecked());
    QVERIFY(!Find<QCheckBox>(dialog, "CheckBox2")->isChecked());
    QVERIFY(Find<QCheckBox>(dialog, "CheckBox7")->isChecked());
    QCOMPARE(Find<QLineEdit>(dialog, "LabeledEdit2")->text(), QStringLiteral("proxy"));
    QCOMPARE(Find<QLineEdit>(dialog, "LabeledEdit3")->text(), QStringLiteral("8080"));
    QCOMPARE(Find<QLineEdit>(dialog, "LabeledEdit4")->text(), QStringLiteral("src"));
    QCOMPARE(Find<QLineEdit>(dialog, "Edit2")->text(), QStringLiteral("40"));
    QCOMPARE(Find<QLabel>(dialog, "Panel2")->palette().color(QPalette::Window), QColor(Qt::red));
}

void TestOptions::acceptingUnchangedStoresWholeMinutes() {
    QTemporaryDir dir;
    TFakeSettingsHost host;
    host.V.SMUpdate = 90;
    Toptions dialog(host, nullptr, dir.path());
    dialog.FormShow();
    dialog.ButtonOKClick();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(host.V.SMUpdate, 60);
    QCOMPARE(host.Counter, 60);
    // Saved: a new run reads 60.
    TFakeSettingsHost next;
    Toptions reader(next, nullptr, dir.path());
    reader.LoadSettings();
    QCOMPARE(next.V.SMUpdate, 60);
}

// The first bad number is reported and focused; nothing is applied or saved.
void TestOptions::everyNumberIsCheckedFirst_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    const QString notInteger = QStringLiteral("'%1' is not a valid integer value");
    const QString width = QStringLiteral("The wallpaper width must be from 16 to 16384 pixels.");
    QTest::newRow("interval a letter") << "Edit1"
                                       << "x" << notInteger.arg("x");
    QTest::newRow("interval a fraction") << "Edit1"
                                         << "1.5" << notInteger.arg("1.5");
    QTest::newRow("width a letter") << "LabeledEdit1"
                                    << "abc" << notInteger.arg("abc");
    QTest::newRow("width zero") << "LabeledEdit1"
                                << "0" << width;
    QTest::newRow("width just too small") << "LabeledEdit1"
                                          << "15" << width;
    QTest::newRow("width negative") << "LabeledEdit1"
                                    << "-1024" << width;
    QTest::newRow("width too large") << "LabeledEdit1"
                                     << "16385" << width;
}

void TestOptions::everyNumberIsCheckedFirst() {
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QFETCH(QString, message);
    QTemporaryDir dir;
    TFakeSettingsHost host;
    const app::TSettingsValues before = host.V;
    Toptions dialog(host, nullptr, dir.path());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Other edits are changed too: none of them may be applied.
    Find<QCheckBox>(dialog, "CheckBox1")->setChecked(false);
    Find<QLineEdit>(dialog, "LabeledEdit2")->setText(QStringLiteral("changed"));
    auto* bad = Find<QLineEdit>(dialog, qPrintable(edit));
    bad->setText(text);
    TMessages messages;
    QTest::mouseClick(Find<QPushButton>(dialog, "ButtonOK"), Qt::LeftButton);
    QCOMPARE(messages.Texts, QStringList{message});
    QVERIFY(dialog.isVisible());
    QVERIFY(dialog.result() != QDialog::Accepted);
    QTRY_VERIFY(bad->hasFocus());
    QCOMPARE(host.V, before);
    QCOMPARE(host.Counter, 599);
    QVERIFY(!QFile::exists(SettingsFile(dir.path())));
    dialog.reject();
}

// The cloud fields are out of sight: a bad text in one keeps its value and
// the rest is applied.
void TestOptions::hiddenFieldsAreNeverReported_data() {
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QString>("text");
    QTest::newRow("intensity empty") << "Edit2"
                                     << "";
    QTest::newRow("port a name") << "LabeledEdit3"
                                 << "http";
}

void TestOptions::hiddenFieldsAreNeverReported() {
    QFETCH(QString, edit);
    QFETCH(QString, text);
    QTemporaryDir dir;
    TFakeSettingsHost host;
    host.V.CloudIntensity = 40;
    host.V.ProxyPort = 8080;
    Toptions dialog(host, nullptr, dir.path());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* hidden = Find<QLineEdit>(dialog, qPrintable(edit));
    QVERIFY(!hidden->isVisible());
    hidden->setText(text);
    Find<QLineEdit>(dialog, "LabeledEdit2")->setText(QStringLiteral("changed"));
    TMessages messages;
    QTest::mouseClick(Find<QPushButton>(dialog, "ButtonOK"), Qt::LeftButton);
    QCOMPARE(messages.Texts, QStringList());
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(host.V.CloudIntensity, 40);
    QCOMPARE(host.V.ProxyPort, 8080);
    QCOMPARE(host.V.Proxy, QStringLiteral("changed"));
}

// Tab walks the controls shown, as they read, OK included, and never into the
// hidden cloud fields; the colour choosers are pressed with the space bar.
void TestOptions::keyboardReachesEveryShownControlInReadingOrder() {
    QTemporaryDir dir;
    TFakeSettingsHost host;
    Toptions dialog(host, nullptr, dir.path());
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QCOMPARE(QApplication::focusWidget(), Find<QWidget>(dialog, "Edit1"));
    QStringList walked;
    for (int i = 0; i < 30 && (walked.isEmpty() || walked.back() != "Edit1"); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        walked << QApplication::focusWidget()->objectName();
    }
    const QStringList readingOrder = {"LabeledEdit1",
                                      "CheckBoxAutostart",
                                      "CheckBox4",
                                      "CheckBox6",
                                      "CheckBox5",
                                      "CheckBox7",
                                      "Label3",
                                      "Label4",
                                      "CheckBox1",
                                      "CheckBox3",
                                      "CheckBox2",
                                      "ButtonOK",
                                      "qt_tabwidget_tabbar",
                                      "Edit1"};
    QCOMPARE(walked, readingOrder);

    int opened = 0;
    dialog.ShowModal = [&](QDialog& d) {
        ++opened;
        static_cast<QColorDialog&>(d).setCurrentColor(QColor(10, 20, 30));
        return int(QDialog::Accepted);
    };
    for (const char* chooser : {"Label3", "Label4"}) {
        auto* button = Find<QWidget>(dialog, chooser);
        while (QApplication::focusWidget() != button) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        }
        QTest::keyClick(button, Qt::Key_Space);
    }
    QCOMPARE(opened, 2);
    QCOMPARE(dialog.Panel2Color(), app::TColorWord{0x001E140A});
    QCOMPARE(dialog.Panel2FontColor(), app::TColorWord{0x001E140A});
    // OK by the keyboard too.
    while (QApplication::focusWidget() != Find<QWidget>(dialog, "ButtonOK")) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(host.V.ClockBGColor, app::TColorWord{0x001E140A});
}

void TestOptions::colourLabels() {
    QTemporaryDir dir;
    TFakeSettingsHost host;
    Toptions dialog(host, nullptr, dir.path());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* label3 = Find<QPushButton>(dialog, "Label3");
    auto* label4 = Find<QPushButton>(dialog, "Label4");
    QCOMPARE(label3->cursor().shape(), Qt::PointingHandCursor);
    QCOMPARE(label4->cursor().shape(), Qt::PointingHandCursor);

    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(label3, &enter);
    QVERIFY(label3->font().underline());
    QCOMPARE(label3->palette().color(QPalette::ButtonText), QColor(0, 0, 255));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(label3, &leave);
    QVERIFY(!label3->font().underline());
    QCOMPARE(label3->palette().color(QPalette::ButtonText), app::ColorOfWord(app::WindowTextColor));

    // The colour dialog opens on the colour last chosen (black the first time).
    QList<QColor> openedOn;
    QColor answer = QColor(10, 20, 30);
    dialog.ShowModal = [&](QDialog& d) {
        auto& colors = static_cast<QColorDialog&>(d);
        openedOn << colors.currentColor();
        colors.setCurrentColor(answer);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(label3, Qt::LeftButton);
    QCOMPARE(dialog.Panel2Color(), app::TColorWord{0x001E140A});
    answer = QColor(200, 100, 50);
    QTest::mouseClick(label4, Qt::LeftButton);
    QCOMPARE(dialog.Panel2FontColor(), app::TColorWord{0x003264C8});
    QCOMPARE(openedOn, (QList<QColor>{QColor(Qt::black), QColor(10, 20, 30)}));
    // Cancelled: nothing changes.
    dialog.ShowModal = [](QDialog&) { return int(QDialog::Rejected); };
    QTest::mouseClick(label3, Qt::LeftButton);
    QCOMPARE(dialog.Panel2Color(), app::TColorWord{0x001E140A});

    // Accepting sets the clock colours.
    dialog.ButtonOKClick();
    QCOMPARE(host.V.ClockBGColor, app::TColorWord{0x001E140A});
    QCOMPARE(host.V.ClockFGColor, app::TColorWord{0x003264C8});
}

void TestOptions::damagedFileIsKeptAndToldOnce() {
    QTemporaryDir dir;
    const QString file = SettingsFile(dir.path());
    const QByteArray damaged = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data]\n"
                               "\"SMUpdate\"=dword:0000012c\n"
                               "\"ShowDate\"=\"yes\"\n"
                               "\"SLName\"=\"Hobart, Austr\n"
                               "\"LocationCount\"=dword:00000001\n\n"
                               "[HKEY_CURRENT_USER\\Software\\Kiv\\Chronara\\Data\\0]\n"
                               "\"Name\"=\"Oslo, Norway\"\n\"ZoneName\"=\"Europe/Oslo\"\n"
                               "\"Latitude\"=hex:00,00,00,00,00,e8,4d,40\n"
                               "\"Longitude\"=hex:00,00,00,00,00,c0,24,40\n";
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(damaged);
    out.close();

    TFakeSettingsHost host;
    Toptions dialog(host, nullptr, dir.path());
    TMessages messages;
    dialog.LoadSettings();
    QCOMPARE(messages.Texts.size(), 1);
    const QString copy = file + QStringLiteral(".damaged");
    QVERIFY2(messages.Texts[0].contains(copy), qPrintable(messages.Texts[0]));
    QVERIFY(messages.Texts[0].contains(QStringLiteral("ShowDate")));
    QVERIFY(messages.Texts[0].contains(QStringLiteral("line 6")));
    QFile kept(copy);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), damaged);
    // What could be read was loaded.
    QCOMPARE(host.V.SMUpdate, 300);
    QCOMPARE(host.V.ShowDate, true);
    QCOMPARE(host.Single.Name, QStringLiteral("Melbourne, Australia"));
    QCOMPARE(host.List.size(), std::size_t{1});
    QCOMPARE(host.List[0].Name, QStringLiteral("Oslo, Norway"));
    QCOMPARE(host.List[0].Latitude, 59.8125);

    // The next save writes a whole file; the copy stays.
    dialog.SaveSettings();
    TFakeSettingsHost next;
    Toptions reader(next, nullptr, dir.path());
    reader.LoadSettings();
    QCOMPARE(messages.Texts.size(), 1);
    QCOMPARE(next.List.size(), std::size_t{1});
    QVERIFY(QFile::exists(copy));
}

void TestOptions::loadsOnlyOnce() {
    QTemporaryDir dir;
    TFakeSettingsHost host;
    Toptions dialog(host, nullptr, dir.path());
    int desktopReads = 0;
    dialog.ReadDesktop = [&] {
        ++desktopReads;
        return app::TSavedWallpaper{"0", "2", "/home/me/beach.png"};
    };
    dialog.LoadSettings();
    dialog.LoadSettings();
    QCOMPARE(desktopReads, 1);
    QCOMPARE(host.Log.size(), 4); // the first-start toggles, once
    QCOMPARE(host.Saved.Wallpaper, QStringLiteral("/home/me/beach.png"));
    QVERIFY(dialog.Registry());
}

QTEST_MAIN(TestOptions)
#include "TestOptions.moc"
