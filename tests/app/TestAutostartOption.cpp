// The options dialog's "Start Chronara when I log in": it shows whether the
// session's autostart entry is there, and OK writes or removes it. Everything
// happens in a private configuration folder.
#include "FakeSettingsHost.h"
#include "app/dialogs/OptionsDialog.h"
#include "app/text/Messages.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QTemporaryDir>
#include <QTest>

using app::Toptions;
using apptest::TFakeSettingsHost;

namespace {

QCheckBox* AutostartBox(Toptions& dialog) {
    return dialog.findChild<QCheckBox*>(QStringLiteral("CheckBoxAutostart"));
}

QString EntryPath(const QTemporaryDir& config) {
    return config.path() + QStringLiteral("/autostart/io.github.chronara.Chronara.desktop");
}

QString ReadText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

class TestAutostartOption : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        // The settings store and the autostart entry both stay out of the
        // user's own folder.
        QVERIFY(ConfigHome.isValid());
        qputenv("XDG_CONFIG_HOME", ConfigHome.path().toUtf8());
    }

    void theBoxSitsInTheGeneralGroup() {
        TFakeSettingsHost host;
        Toptions dialog(host);
        QCheckBox* box = AutostartBox(dialog);
        QVERIFY(box);
        QCOMPARE(box->text(), QStringLiteral("Start Chronara when I log in"));
        auto* general = dialog.findChild<QGroupBox*>(QStringLiteral("GBGeneral"));
        QVERIFY(general && general->isAncestorOf(box));
        // Started by the session, the program entry goes to the tray: no "max".
        QVERIFY(dialog.AutostartProgram.endsWith(QStringLiteral("chronara")) ||
                dialog.AutostartProgram.endsWith(QStringLiteral("chronara.exe")));
    }

    // By default the dialog uses $XDG_CONFIG_HOME/autostart.
    void okWritesAndRemovesTheEntryThePresenceIsTheState() {
        QTemporaryDir store;
        const QString entry = EntryPath(ConfigHome);
        TFakeSettingsHost host;
        Toptions dialog(host, nullptr, store.path());
        dialog.AutostartProgram = QStringLiteral("/opt/chronara/chronara");
        dialog.FormShow();
        QVERIFY(!AutostartBox(dialog)->isChecked());

        AutostartBox(dialog)->setChecked(true);
        dialog.ButtonOKClick();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QVERIFY(QFile::exists(entry));
        QVERIFY(ReadText(entry).contains(QStringLiteral("\nExec=/opt/chronara/chronara\n")));

        // Shown again, the box follows the entry, not anything stored.
        dialog.FormShow();
        QVERIFY(AutostartBox(dialog)->isChecked());
        QVERIFY(QFile::remove(entry));
        dialog.FormShow();
        QVERIFY(!AutostartBox(dialog)->isChecked());

        // Unchanged: OK leaves the folder alone.
        dialog.ButtonOKClick();
        QVERIFY(!QFile::exists(entry));

        QVERIFY(QFile(entry).open(QIODevice::WriteOnly)); // made by hand
        dialog.FormShow();
        QVERIFY(AutostartBox(dialog)->isChecked());
        AutostartBox(dialog)->setChecked(false);
        dialog.ButtonOKClick();
        QVERIFY(!QFile::exists(entry));
    }

    // An entry that cannot be written is reported; the other settings still apply.
    void aFailureIsReportedAndTheSettingsStillApply() {
        QTemporaryDir store;
        QTemporaryDir config;
        QFile blocker(config.path() + QStringLiteral("/autostart"));
        QVERIFY(blocker.open(QIODevice::WriteOnly)); // a file where the folder belongs
        blocker.close();
        QStringList messages;
        app::SetMessageAnswerer([&](app::TMessageKind, const QString& text) {
            messages << text;
            return QMessageBox::Ok;
        });
        TFakeSettingsHost host;
        host.V.SMUpdate = 120;
        Toptions dialog(host, nullptr, store.path());
        dialog.AutostartConfigDir = config.path();
        dialog.FormShow();
        AutostartBox(dialog)->setChecked(true);
        dialog.ButtonOKClick();
        app::SetMessageAnswerer({});
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(EntryPath(config)), qPrintable(messages[0]));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(host.Counter, 120);
        dialog.FormShow();
        QVERIFY(!AutostartBox(dialog)->isChecked());
    }

private:
    QTemporaryDir ConfigHome;
};

QTEST_MAIN(TestAutostartOption)
#include "TestAutostartOption.moc"
