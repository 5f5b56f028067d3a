// The shipped translations against the program's windows: every text of every
// window has an entry in each shipped lang.txt, and the whole program started
// with the German one shows no English.
#include "AppTestSupport.h"
#include "FakeSettingsHost.h"

#include "app/dialogs/AboutBox.h"
#include "app/dialogs/AddLocationPage1.h"
#include "app/dialogs/AddLocationPage2.h"
#include "app/dialogs/OptionsDialog.h"
#include "app/moment/MomentControl.h"
#include "app/planner/WorkingHoursDialog.h"
#include "app/text/StringTable.h"
#include "app/text/Translation.h"

#include <QAccessible>
#include <QDateTimeEdit>
#include <QDirIterator>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QSystemTrayIcon>
#include <QToolButton>

#include <utility>

using namespace apptest;

namespace {

using TText = std::pair<QString, QString>; // section, text

QString ShippedLangDir() {
    return QStringLiteral(CHRONARA_SHIPPED_DATA_DIR "/../lang");
}

kiv::TLangTable ShippedTable(const QString& language) {
    kiv::TLangTable table;
    table.LoadFile((ShippedLangDir() + "/" + language + "/lang.txt").toStdString());
    return table;
}

// The texts of one window, as the walk sees them.
void Collect(QWidget* window, QList<TText>& texts) {
    app::WalkTexts(window, [&texts](const QString& section, const QString& text) {
        texts.append({section, text});
        return text;
    });
}

// Records the texts the windows' own translation walks see as they are created.
class TWalkRecorder {
public:
    TWalkRecorder() {
        Previous = app::SetWalkObserver([this](const QString& section, const QString& text) {
            Texts.append({section, text});
        });
    }
    ~TWalkRecorder() { app::SetWalkObserver(Previous); }
    QList<TText> Texts;

private:
    app::TWalkObserver Previous;
};

// A missing entry written as the lines a translator pastes into lang.txt.
QString AsEntry(const TText& t) {
    // Blanks at the ends would be trimmed from the line: written as \x20.
    QString text = QString::fromStdString(kiv::EscapeText(t.second.toStdString()));
    const qsizetype lead = text.size() - QString(text).remove(QRegularExpression("^ +")).size();
    const qsizetype trail = text.size() - QString(text).remove(QRegularExpression(" +$")).size();
    if (lead < text.size()) {
        text = QStringLiteral("\\x20").repeated(lead) + text.mid(lead, text.size() - lead - trail) +
               QStringLiteral("\\x20").repeated(trail);
    }
    return QStringLiteral("<//%1-->  E=%2").arg(t.first, text);
}

} // namespace

class TestTranslation : public QObject, public TWindowFixture {
    Q_OBJECT

    // Every window's texts as it is created, the message texts and the
    // application title.
    QList<TText> ProgramTexts() {
        TWalkRecorder recorder;
        if (!OpenWindow()) {
            return {};
        }
        app::TFormAboutBox about(Form.get());
        app::TWorkingHoursDialog hours(QStringLiteral("London"), {}, Form.get());
        OptionsDialog();
        QList<TText> texts = recorder.Texts;
        for (const char* text : app::strings::All) {
            texts.append({QStringLiteral("STRING_TABLE"), QString::fromUtf8(text)});
        }
        texts.append({QStringLiteral("Application"), app::ApplicationTitle});
        return texts;
    }

    // The options dialog: the window's own, or one made here over a stand-in
    // for the window while the window has none.
    app::Toptions* OptionsDialog() {
        if (auto* own = Form->findChild<app::Toptions*>()) {
            return own;
        }
        if (!Options) {
            Options = std::make_unique<app::Toptions>(Host, nullptr, OptionsDir.path());
        }
        return Options.get();
    }
    TFakeSettingsHost Host;
    QTemporaryDir OptionsDir;
    std::unique_ptr<app::Toptions> Options;

private slots:
    void init() { StartFixture(); }
    void cleanup() {
        Options.reset();
        EndFixture();
        app::SetLangTable({});
    }

    void EveryTextHasAnEntryInEachShippedTranslation() {
        const QList<TText> texts = ProgramTexts();
        QVERIFY(texts.size() > 50);
        QStringList languages;
        for (QDirIterator it(ShippedLangDir(), QDir::Dirs | QDir::NoDotAndDotDot); it.hasNext();) {
            languages.append(QFileInfo(it.next()).fileName());
        }
        QVERIFY(languages.contains(QStringLiteral("de")));
        for (const QString& language : languages) {
            const kiv::TLangTable table = ShippedTable(language);
            QStringList missing;
            for (const TText& t : texts) {
                if (!table.HasEntry(t.first.toStdString(), t.second.toStdString()) &&
                    !missing.contains(AsEntry(t))) {
                    missing.append(AsEntry(t));
                }
            }
            for (const QString& line : missing) {
                qInfo().noquote()
                    << QStringLiteral("lang/%1/lang.txt lacks %2").arg(language, line);
            }
            QVERIFY2(missing.isEmpty(), "texts without an entry in a shipped translation (above)");
        }
    }

    void GermanLeavesNoEnglish() {
        QSet<TText> english;
        for (const TText& t : ProgramTexts()) {
            english.insert(t);
        }
        QVERIFY(!english.isEmpty());
        Options.reset();
        EndFixture();
        StartFixture();
        const kiv::TLangTable german = ShippedTable(QStringLiteral("de"));
        QVERIFY(!german.Empty());
        app::SetLangTable(german);
        QVERIFY(OpenWindow());

        // Texts that change while the program runs.
        QVERIFY(TriggerAction(Form.get(), "MIHighlightCities"));
        QVERIFY(TriggerAction(Form.get(), "MIHighlightCities"));
        Form->Locations->AddPlace(0);
        QVERIFY(TriggerAction(Form.get(), "PIClearList"));

        // A few of them by name: the wiring, not only the absence of English.
        QCOMPARE(FindAction(Form.get(), "MIAbout")->text(), QStringLiteral("Info..."));
        QCOMPARE(FindAction(Form.get(), "TBAbout")->toolTip(), QStringLiteral("Info"));
        QCOMPARE(Form->StatusPanelText(0),
                 QStringLiteral("Tipp: Zum Verschieben die linke Maustaste gedr\u00fcckt halten!"));
        QCOMPARE(Messages->Texts.value(0),
                 QStringLiteral("Damit wird Ihre Ortsliste geleert. Sind Sie sicher?"));
        QCOMPARE(Form->Wizard2->findChild<QPushButton*>(QStringLiteral("ButtonBack"))->text(),
                 QStringLiteral("<< Zur\u00fcck"));
        // What a screen reader reads of the time control.
        const auto spoken = [](QWidget* w) {
            return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name);
        };
        QCOMPARE(spoken(Form->MomentBar->Slider), QStringLiteral("Angezeigter Zeitpunkt"));
        QCOMPARE(spoken(Form->MomentBar->Edit), QStringLiteral("Angezeigtes Datum und Uhrzeit"));
        QCOMPARE(spoken(Form->MomentBar->NowButton), QStringLiteral("Jetzt"));

        QList<TText> shown;
        Collect(Form.get(), shown);
        Collect(Form->Wizard1, shown);
        Collect(Form->Wizard2, shown);
        app::TFormAboutBox about(Form.get());
        Collect(&about, shown);
        app::TWorkingHoursDialog hours(QStringLiteral("London"), {}, Form.get());
        Collect(&hours, shown);
        Options.reset();
        Collect(OptionsDialog(), shown);
        for (int i = 0; i < 8; ++i) {
            shown.append({QStringLiteral("TFormChronara"), Form->StatusPanelText(i)});
        }
        shown.append({QStringLiteral("TFormChronara"), Form->ClockLabel->text()});
        shown.append({QStringLiteral("TFormChronara"), Form->TrayIcon->toolTip()});
        for (const QString& message : Messages->Texts) {
            shown.append({QStringLiteral("STRING_TABLE"), message});
        }
        QStringList left;
        for (const TText& t : shown) {
            const bool wasEnglish =
                english.contains(t) || english.contains({QStringLiteral("STRING_TABLE"), t.second});
            // A text kept on purpose is marked "*" (or translated as itself).
            const bool keptOnPurpose =
                german.HasEntry(t.first.toStdString(), t.second.toStdString()) &&
                german.Translate(t.first.toStdString(), t.second.toStdString()) ==
                    t.second.toStdString();
            if (wasEnglish && !keptOnPurpose) {
                left.append(t.first + QStringLiteral(": ") + t.second);
            }
        }
        QVERIFY2(left.isEmpty(), qPrintable(left.join('\n')));
    }
};

QTEST_MAIN(TestTranslation)
#include "TestTranslation.moc"
