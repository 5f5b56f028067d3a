// The two add-location pages, driven through their controls offscreen, with a
// small made-up database and with the shipped one.
#include "AppTestSupport.h"

#include "app/dialogs/AddLocationPage1.h"
#include "app/dialogs/AddLocationPage2.h"
#include "app/dialogs/WizardParts.h"
#include "app/text/LocaleText.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <vector>

using namespace apptest;
using app::TWizard1;
using app::TWizard2;

namespace {

// Four countries; "germany" spelt twice to test that the list drops the
// repeat; Newcastle in the United Kingdom before the Australian one; a city
// with a non-ASCII letter; a zone whose places are none.
kiv::TTimeZone MadeUpDatabase() {
    kiv::TTimeZone db;
    auto zone = [&db](const char* country, const char* name, double lat, double lon) {
        kiv::TZoneData z;
        z.Country = country;
        z.ZoneName = name;
        z.Latitude = lat;
        z.Longitude = lon;
        z.Index = static_cast<std::int32_t>(db.Zones.size());
        db.Zones.push_back(z);
    };
    auto place = [&db](const char* key, const char* name, double lat, double lon) {
        kiv::TTimeZonePlaces p;
        p.ZoneKey = key;
        p.Name = name;
        p.Latitude = lat;
        p.Longitude = lon;
        p.Index = static_cast<std::int32_t>(db.Places.size());
        db.Places.push_back(p);
    };
    zone("Australia", "Australia/Sydney", -33.86667, 151.21667);
    zone("Germany", "Europe/Berlin", 52.5, 13.36667);
    zone("United Kingdom", "Europe/London", 51.50833, -0.12528);
    zone("Australia", "Australia/Melbourne", -37.81667, 144.96667);
    zone("germany", "Europe/Busingen", 47.7, 8.68333);
    zone("Åland Islands", "Europe/Mariehamn", 60.1, 19.95);
    zone("Australia", "Australia/Eucla", -31.71667, 128.86667);
    zone("Niger", "Africa/Niamey", 13.51667, 2.11667);

    place("London", "Newcastle", 54.97328, -1.61396);
    place("London", "Eastbourne", 50.76871, 0.28453);
    place("London", "London", 51.50853, -0.12574);
    place("Melbourne", "Melbourne", -37.81667, 144.96667);
    place("Melbourne", "Geelong", -38.14711, 144.36069);
    place("melbourne", "Bendigo", -36.75818, 144.28024);
    place("Sydney", "Sydney", -33.86785, 151.20732);
    place("Sydney", "Newcastle", -32.92953, 151.7801);
    place("Sydney", "wollongong", -34.424, 150.89345);
    place("Sydney", "North Sydney", -33.83965, 151.20541);
    place("Berlin", "Berlin", 52.52437, 13.41053);
    place("Busingen", "Büsingen", 47.69638, 8.69004);
    place("Mariehamn", "Mariehamn", 60.09726, 19.93481);
    place("Niamey", "Niamey", 13.51366, 2.1098);
    return db;
}

QStringList Captions(const QListWidget* list) {
    QStringList captions;
    for (int i = 0; i < list->count(); ++i) {
        captions.push_back(list->item(i)->text());
    }
    return captions;
}

QString Selected(const QListWidget* list) {
    const QList<QListWidgetItem*> items = list->selectedItems();
    return items.isEmpty() ? QString() : items.front()->text();
}

QListWidgetItem* Item(QListWidget* list, const QString& caption) {
    const QList<QListWidgetItem*> found = list->findItems(caption, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.front();
}

// A user's click (or double click) on the entry with the caption.
bool ClickItem(QListWidget* list, const QString& caption, bool twice = false) {
    QListWidgetItem* item = Item(list, caption);
    if (item == nullptr) {
        return false;
    }
    list->scrollToItem(item);
    const QPoint at = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice) {
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    }
    return true;
}

// Types the text key by key, letters beyond ASCII included.
void Type(QWidget* widget, const QString& text) {
    for (const QChar c : text) {
        const auto key = static_cast<Qt::Key>(c.toUpper().unicode());
        QTest::sendKeyEvent(QTest::Click, widget, key, QString(c), Qt::NoModifier);
    }
}

// Replaces an edit's text as a user would: select all, then type.
void Retype(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    Type(edit, text);
}

QString SourceRoot() {
    QDir dir(QStringLiteral(CHRONARA_SHIPPED_DATA_DIR));
    dir.cdUp();
    return dir.path();
}

} // namespace

class TestWizard : public QObject {
    Q_OBJECT

private:
    kiv::TTimeZone MadeUp = MadeUpDatabase();
    kiv::TTimeZone Shipped;
    std::unique_ptr<TMessageRecorder> Messages;

    // The main window over the made-up world of AppTestSupport.h, whose pages
    // are driven by a script instead of a nested loop: each showing of a page
    // runs the next step, and a page the step leaves open counts as closed by
    // its close box.
    std::unique_ptr<TTestWorld> World;
    std::unique_ptr<app::TFormChronara> Form;
    using TStep = std::function<void(QDialog& page)>;
    std::vector<TStep> Script;
    std::vector<QDialog*> Shown;

    void OpenWindow() {
        World = std::make_unique<TTestWorld>();
        kiv::ZoneDB.Clear();
        app::TStartOptions options;
        options.ProgramDir = World->ProgramDir();
        Form = std::make_unique<app::TFormChronara>(options);
        QVERIFY2(Form->CreationError().isEmpty(), qPrintable(Form->CreationError()));
        Form->SetShowModal([this](QDialog& page) {
            Shown.push_back(&page);
            page.show();
            if (Shown.size() <= Script.size()) {
                Script[Shown.size() - 1](page);
            }
            if (page.isVisible()) {
                page.reject();
            }
            return page.result();
        });
    }

    TWizard1& Page1() { return *Part<app::TWizard1>(*Form); }
    TWizard2& Page2() { return *Part<app::TWizard2>(*Form); }

    // Page-1 and page-2 steps of a script.
    TStep ChooseCountry(const QString& typed) {
        return [this, typed](QDialog&) {
            Retype(Page1().EditCountry, typed);
            QTest::keyClick(Page1().EditCountry, Qt::Key_Return);
        };
    }
    TStep ChooseCity(const QString& typed) {
        return [this, typed](QDialog&) {
            QTest::keyClicks(Page2().Edit1, typed);
            QTest::keyClick(Page2().Edit1, Qt::Key_Return);
        };
    }
    TStep Back() {
        return [this](QDialog&) { Page2().ButtonBack->click(); };
    }
    void Run(const char* command, std::vector<TStep> steps) {
        Script = std::move(steps);
        Shown.clear();
        QVERIFY(TriggerAction(Form.get(), command));
    }

    // Shows page 2 for a country without a nested loop.
    static void ShowFor(TWizard1& page1, TWizard2& page2, const QString& country) {
        page1.Country = country;
        page2.show();
    }

private slots:
    void initTestCase() {
        // The lists sort in the user's alphabet; the tests fix which one.
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        Shipped.LoadDatabase(SourceRoot().toStdString());
    }

    void init() { Messages = std::make_unique<TMessageRecorder>(); }
    void cleanup() {
        Form.reset();
        World.reset();
        Messages.reset();
    }

    void countryListIsSortedOnceEachWithThePicture() {
        TWizard1 page1(MadeUp);
        QCOMPARE(page1.windowTitle(), QStringLiteral("Add Location Wizard"));
        QCOMPARE(page1.LabelTitle->text(), QStringLiteral("Select the Country"));
        QCOMPARE(Captions(page1.ListView),
                 QStringList({"Åland Islands", "Australia", "Germany", "Niger", "United Kingdom"}));
        QVERIFY(!page1.ButtonNext->isEnabled());
        QCOMPARE(page1.ButtonNext->text(), QStringLiteral("Next >>"));
        QCOMPARE(page1.ButtonCancel->text(), QStringLiteral("Cancel"));
        QVERIFY(!page1.Image1->pixmap().isNull());
        QCOMPARE(page1.Image1->pixmap().size(), QSize(121, 229));
        QCOMPARE(app::WizardPicture().size(), QSize(121, 229));
    }

    void namesSortInTheUsersAlphabetIgnoringCase() {
        QStringList names = {"Zimbabwe", "b", "Åland Islands", "austria", "B", "Australia"};
        app::SortIgnoringCase(names);
        QCOMPARE(names,
                 QStringList({"Åland Islands", "Australia", "austria", "b", "B", "Zimbabwe"}));
        // The C locale, which has no alphabet, takes Unicode's default order.
        QLocale::setDefault(QLocale::c());
        names = {"Zimbabwe", "b", "Åland Islands", "austria", "B", "Australia"};
        app::SortIgnoringCase(names);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(names,
                 QStringList({"Åland Islands", "Australia", "austria", "b", "B", "Zimbabwe"}));

        // The comparison the core sorts place menus and countries with.
        const kiv::TTextCompare english = app::LocaleCompare();
        QVERIFY(english("Örebro", "Zagreb") < 0);
        QVERIFY(english("Örebro", "Oslo") < 0);
        QCOMPARE(english("ZAGREB", "zagreb"), 0);
        QLocale::setDefault(QLocale::c());
        const kiv::TTextCompare plain = app::LocaleCompare();
        // The same order as the lists'.
        QVERIFY(plain("Réunion", "Rwanda") < 0);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QVERIFY(plain("Örebro", "Zagreb") < 0);
        QCOMPARE(plain("ZAGREB", "zagreb"), 0);
    }

    void typeAheadInTheCountryEdit() {
        TWizard1 page1(MadeUp);
        page1.show();
        QCOMPARE(page1.focusWidget(), page1.EditCountry);

        QTest::keyClicks(page1.EditCountry, QStringLiteral("ger"));
        QCOMPARE(Selected(page1.ListView), QStringLiteral("Germany"));
        QVERIFY(page1.ButtonNext->isEnabled());
        // Typing never rewrites the edit.
        QCOMPARE(page1.EditCountry->text(), QStringLiteral("ger"));

        // A leading blank begins no country ("Niger" contains "ger" but only
        // the beginning counts).
        Retype(page1.EditCountry, QStringLiteral(" ger"));
        QCOMPARE(Selected(page1.ListView), QString());
        QVERIFY(!page1.ButtonNext->isEnabled());

        QTest::keyClicks(page1.EditCountry, QStringLiteral("many"));
        QCOMPARE(Selected(page1.ListView), QString());

        Retype(page1.EditCountry, QStringLiteral("AU"));
        QCOMPARE(Selected(page1.ListView), QStringLiteral("Australia"));
        Retype(page1.EditCountry, QStringLiteral("   "));
        QCOMPARE(Selected(page1.ListView), QString());
        QVERIFY(!page1.ButtonNext->isEnabled());
        // Case is ignored beyond a to z too.
        Retype(page1.EditCountry, QStringLiteral("å"));
        QCOMPARE(Selected(page1.ListView), QStringLiteral("Åland Islands"));
    }

    void choosingInTheListFillsTheEdit() {
        TWizard1 page1(MadeUp);
        page1.show();
        QVERIFY(ClickItem(page1.ListView, QStringLiteral("Niger")));
        QCOMPARE(page1.EditCountry->text(), QStringLiteral("Niger"));
        QVERIFY(page1.ButtonNext->isEnabled());
        QTest::keyClick(page1.ListView, Qt::Key_Down);
        QCOMPARE(page1.EditCountry->text(), QStringLiteral("United Kingdom"));
        // Enter in the list acts as "Next >>".
        QTest::keyClick(page1.ListView, Qt::Key_Return);
        QCOMPARE(page1.result(), int(QDialog::Accepted));
        QCOMPARE(page1.Country, QStringLiteral("United Kingdom"));
        QVERIFY(!page1.isVisible());
    }

    void enterDoubleClickAndEscape() {
        TWizard1 page1(MadeUp);
        page1.show();
        // Nothing selected: Enter does nothing.
        QTest::keyClick(page1.EditCountry, Qt::Key_Return);
        QVERIFY(page1.isVisible());
        QCOMPARE(page1.Country, QString());

        QTest::keyClicks(page1.EditCountry, QStringLiteral("nig"));
        QTest::keyClick(page1.EditCountry, Qt::Key_Enter);
        QVERIFY(!page1.isVisible());
        QCOMPARE(page1.result(), int(QDialog::Accepted));
        QCOMPARE(page1.Country, QStringLiteral("Niger"));

        page1.show();
        QVERIFY(ClickItem(page1.ListView, QStringLiteral("Germany"), true));
        QVERIFY(!page1.isVisible());
        QCOMPARE(page1.Country, QStringLiteral("Germany"));

        page1.show();
        QTest::keyClick(page1.EditCountry, Qt::Key_Escape);
        QVERIFY(!page1.isVisible());
        QCOMPARE(page1.result(), int(QDialog::Rejected));
    }

    void runsModallyAndKeepsItsStateBetweenRuns() {
        TWizard1 page1(MadeUp);
        QTimer::singleShot(0, &page1, [&page1] {
            QTest::keyClicks(page1.EditCountry, QStringLiteral("un"));
            QTest::keyClick(page1.EditCountry, Qt::Key_Return);
        });
        QCOMPARE(page1.exec(), int(QDialog::Accepted));
        QCOMPARE(page1.Country, QStringLiteral("United Kingdom"));

        // The second run starts where the first ended.
        QString edit;
        QString selected;
        bool nextEnabled = false;
        QTimer::singleShot(0, &page1, [&] {
            edit = page1.EditCountry->text();
            selected = Selected(page1.ListView);
            nextEnabled = page1.ButtonNext->isEnabled();
            page1.ButtonCancel->click();
        });
        QCOMPARE(page1.exec(), int(QDialog::Rejected));
        QCOMPARE(edit, QStringLiteral("un"));
        QCOMPARE(selected, QStringLiteral("United Kingdom"));
        QVERIFY(nextEnabled);
        QCOMPARE(page1.Country, QStringLiteral("United Kingdom"));
    }

    void pageTwoListsTheCountrysCitiesAndZones() {
        TWizard1 page1(MadeUp);
        TWizard2 page2(page1, MadeUp);
        QCOMPARE(page2.windowTitle(), QStringLiteral("Select Location Wizard, Step 2"));
        QCOMPARE(page2.LabelTitle->text(), QStringLiteral("Select the City or Timezone"));
        QCOMPARE(page2.LabelFinalName->text(), QStringLiteral("Final Name to display: "));
        QCOMPARE(page2.Image1->pixmap().size(), QSize(121, 229));
        ShowFor(page1, page2, QStringLiteral("australia"));
        QCOMPARE(Captions(page2.ListBox1),
                 QStringList({"Bendigo", "Geelong", "Melbourne", "Newcastle", "North Sydney",
                              "Sydney", "wollongong"}));
        QCOMPARE(Captions(page2.ListBox2),
                 QStringList({"Australia/Eucla", "Australia/Melbourne", "Australia/Sydney"}));
        QCOMPARE(page2.focusWidget(), page2.Edit1);

        // Every showing starts afresh from the chosen country; the name stays
        // only for the same country again.
        QTest::keyClicks(page2.Edit1, QStringLiteral("syd"));
        QCOMPARE(page2.Edit3->text(), QStringLiteral("Sydney, australia"));
        page2.hide();
        ShowFor(page1, page2, QStringLiteral("AUSTRALIA"));
        QCOMPARE(page2.Edit1->text(), QString());
        QCOMPARE(page2.Edit3->text(), QStringLiteral("Sydney, australia"));
        page2.hide();
        ShowFor(page1, page2, QStringLiteral("Germany"));
        QCOMPARE(Captions(page2.ListBox1), QStringList({"Berlin", "Büsingen"}));
        QCOMPARE(Captions(page2.ListBox2), QStringList({"Europe/Berlin", "Europe/Busingen"}));
        QCOMPARE(page2.Edit1->text(), QString());
        QCOMPARE(Selected(page2.ListBox1), QString());
        QCOMPARE(page2.Edit3->text(), QString());
    }

    void citySearchAndTheDisplayName() {
        TWizard1 page1(MadeUp);
        TWizard2 page2(page1, MadeUp);
        ShowFor(page1, page2, QStringLiteral("Australia"));
        QTest::keyClicks(page2.Edit1, QStringLiteral("bourne"));
        QCOMPARE(Selected(page2.ListBox1), QStringLiteral("Melbourne"));
        QCOMPARE(page2.Edit3->text(), QStringLiteral("Melbourne, Australia"));
        QCOMPARE(page2.Edit1->text(), QStringLiteral("bourne"));

        // A text no city contains keeps the city, and the name follows it again.
        page2.Edit3->setText(QStringLiteral("My place"));
        QTest::keyClicks(page2.Edit1, QStringLiteral("x"));
        QCOMPARE(Selected(page2.ListBox1), QStringLiteral("Melbourne"));
        QCOMPARE(page2.Edit3->text(), QStringLiteral("Melbourne, Australia"));

        // A name that begins with the text comes first, wherever it stands:
        // "syd" finds Sydney, not North Sydney before it.
        Retype(page2.Edit1, QStringLiteral("syd"));
        QCOMPARE(Selected(page2.ListBox1), QStringLiteral("Sydney"));
        Retype(page2.Edit1, QStringLiteral("Wol"));
        QCOMPARE(Selected(page2.ListBox1), QStringLiteral("wollongong"));

        // Else anywhere in the name, a to z in either case: "ONG" finds
        // Geelong before wollongong.
        Retype(page2.Edit1, QStringLiteral("oNg"));
        QCOMPARE(Selected(page2.ListBox1), QStringLiteral("Geelong"));
        QCOMPARE(page2.Edit3->text(), QStringLiteral("Geelong, Australia"));

        // Emptying the edit changes neither the city nor the name.
        page2.Edit3->setText(QStringLiteral("kept"));
        Retype(page2.Edit1, QString());
        QCOMPARE(page2.Edit1->text(), QString());
        QCOMPARE(Selected(page2.ListBox1), QStringLiteral("Geelong"));
        QCOMPARE(page2.Edit3->text(), QStringLiteral("kept"));
    }

    void searchFoldsOnlyLatinLetters() {
        QCOMPARE(app::FoldLatinLetters(QStringLiteral("Büsingen am Hochrhein")),
                 QStringLiteral("BüSINGEN AM HOCHRHEIN"));
        TWizard1 page1(MadeUp);
        TWizard2 page2(page1, MadeUp);
        ShowFor(page1, page2, QStringLiteral("Germany"));
        Type(page2.Edit1, QStringLiteral("ÜS"));
        QCOMPARE(Selected(page2.ListBox1), QString());
        QCOMPARE(page2.Edit3->text(), QStringLiteral(", Germany"));
        Retype(page2.Edit1, QStringLiteral("büs"));
        QCOMPARE(Selected(page2.ListBox1), QStringLiteral("Büsingen"));
        QCOMPARE(page2.Edit3->text(), QStringLiteral("Büsingen, Germany"));
    }

    void zoneSideMirrorsTheCitySide() {
        TWizard1 page1(MadeUp);
        TWizard2 page2(page1, MadeUp);
        ShowFor(page1, page2, QStringLiteral("Australia"));
        // The clicked name put into the edit does not search again (which
        // would find "North Sydney" first).
        QVERIFY(ClickItem(page2.ListBox1, QStringLiteral("Sydney")));
        QCOMPARE(Selected(page2.ListBox1), QStringLiteral("Sydney"));
        QCOMPARE(page2.Edit1->text(), QStringLiteral("Sydney"));
        QCOMPARE(page2.Edit3->text(), QStringLiteral("Sydney, Australia"));

        QTest::keyClicks(page2.Edit2, QStringLiteral("EUC"));
        QCOMPARE(Selected(page2.ListBox2), QStringLiteral("Australia/Eucla"));
        QCOMPARE(Selected(page2.ListBox1), QString());
        QCOMPARE(page2.Edit1->text(), QString());
        QCOMPARE(page2.Edit3->text(), QStringLiteral("Australia/Eucla"));
        QTest::keyClicks(page2.Edit2, QStringLiteral("q"));
        QCOMPARE(Selected(page2.ListBox2), QStringLiteral("Australia/Eucla"));

        // A zone clicked, then the city edit typed: the zone side is cleared
        // and the typed text stays.
        QVERIFY(ClickItem(page2.ListBox2, QStringLiteral("Australia/Sydney")));
        QCOMPARE(page2.Edit2->text(), QStringLiteral("Australia/Sydney"));
        QCOMPARE(page2.Edit3->text(), QStringLiteral("Australia/Sydney"));
        QTest::keyClicks(page2.Edit1, QStringLiteral("gee"));
        QCOMPARE(Selected(page2.ListBox2), QString());
        QCOMPARE(page2.Edit2->text(), QString());
        QCOMPARE(page2.Edit1->text(), QStringLiteral("gee"));
        QCOMPARE(Selected(page2.ListBox1), QStringLiteral("Geelong"));
        QCOMPARE(page2.Edit3->text(), QStringLiteral("Geelong, Australia"));

        // Moving with the keys in a list counts as a click.
        page2.ListBox1->setFocus();
        QTest::keyClick(page2.ListBox1, Qt::Key_Down);
        QCOMPARE(Selected(page2.ListBox1), QStringLiteral("Melbourne"));
        QCOMPARE(page2.Edit1->text(), QStringLiteral("Melbourne"));
        QCOMPARE(page2.Edit3->text(), QStringLiteral("Melbourne, Australia"));
    }

    void addWithACity() {
        TWizard1 page1(MadeUp);
        TWizard2 page2(page1, MadeUp);
        ShowFor(page1, page2, QStringLiteral("Australia"));
        // Nothing selected: "Add" does nothing.
        page2.Edit3->setText(QStringLiteral("x"));
        page2.ButtonAdd->click();
        QVERIFY(page2.isVisible());

        QTest::keyClicks(page2.Edit1, QStringLiteral("bourne"));
        QTest::keyClick(page2.Edit1, Qt::Key_Return);
        QVERIFY(!page2.isVisible());
        QCOMPARE(page2.result(), int(QDialog::Accepted));
        QCOMPARE(page2.DisplayName, QStringLiteral("Melbourne, Australia"));
        QCOMPARE(page2.ZoneName, QStringLiteral("Australia/Melbourne"));
        QCOMPARE(page2.Latitude, -37.81667);
        QCOMPARE(page2.Longitude, 144.96667);

        // The results are cleared on the next showing.
        page2.show();
        QCOMPARE(page2.DisplayName, QString());
        QCOMPARE(page2.ZoneName, QString());
        QCOMPARE(page2.Latitude, 0.0);
        // A place whose key differs in case from its zone's name is listed.
        QVERIFY(ClickItem(page2.ListBox1, QStringLiteral("Bendigo"), true));
        QVERIFY(!page2.isVisible());
        QCOMPARE(page2.ZoneName, QStringLiteral("Australia/Melbourne"));
        QCOMPARE(page2.Latitude, -36.75818);
    }

    void aCityNameOfAnotherCountryTakesTheChosenCountrysPlace() {
        TWizard1 page1(MadeUp);
        TWizard2 page2(page1, MadeUp);
        ShowFor(page1, page2, QStringLiteral("Australia"));
        QVERIFY(ClickItem(page2.ListBox1, QStringLiteral("Newcastle")));
        QCOMPARE(page2.Edit3->text(), QStringLiteral("Newcastle, Australia"));
        page2.ButtonAdd->click();
        QCOMPARE(page2.result(), int(QDialog::Accepted));
        QCOMPARE(page2.DisplayName, QStringLiteral("Newcastle, Australia"));
        QCOMPARE(page2.ZoneName, QStringLiteral("Australia/Sydney"));
        QCOMPARE(page2.Latitude, -32.92953);
        QCOMPARE(page2.Longitude, 151.7801);

        // The British one for the United Kingdom.
        ShowFor(page1, page2, QStringLiteral("United Kingdom"));
        QVERIFY(ClickItem(page2.ListBox1, QStringLiteral("Newcastle"), true));
        QCOMPARE(page2.ZoneName, QStringLiteral("Europe/London"));
        QCOMPARE(page2.Latitude, 54.97328);

        // A place listed for a country but linked to an earlier zone of
        // another one: the country has no place of that name, so the first
        // place of the name anywhere is taken.
        kiv::TTimeZone linked = MadeUp;
        kiv::TZoneData earlier = linked.Zones.front();
        earlier.Country = "Switzerland";
        earlier.ZoneName = "Europe/Busingen_Old";
        linked.Zones.insert(linked.Zones.begin(), earlier);
        TWizard2 other(page1, linked);
        ShowFor(page1, other, QStringLiteral("Germany"));
        QVERIFY(ClickItem(other.ListBox1, QStringLiteral("Büsingen"), true));
        QCOMPARE(other.result(), int(QDialog::Accepted));
        QCOMPARE(other.ZoneName, QStringLiteral("Europe/Busingen_Old"));
        QCOMPARE(other.Latitude, 47.69638);
    }

    void aPartlyTypedZoneIsRefusedAClickedOneAdded() {
        TWizard1 page1(MadeUp);
        TWizard2 page2(page1, MadeUp);
        ShowFor(page1, page2, QStringLiteral("Australia"));
        QTest::keyClicks(page2.Edit2, QStringLiteral("melb"));
        QCOMPARE(Selected(page2.ListBox2), QStringLiteral("Australia/Melbourne"));
        QTest::keyClick(page2.Edit2, Qt::Key_Return);
        QCOMPARE(Messages->Texts, QStringList({"Could not locate Zone for \"melb\""}));
        QCOMPARE(Messages->Kinds.front(), app::TMessageKind::Error);
        QVERIFY(page2.isVisible());
        QCOMPARE(page2.ZoneName, QString());
        QCOMPARE(page2.DisplayName, QString());
        QCOMPARE(Selected(page2.ListBox2), QStringLiteral("Australia/Melbourne"));
        QCOMPARE(page2.Edit2->text(), QStringLiteral("melb"));

        QVERIFY(ClickItem(page2.ListBox2, QStringLiteral("Australia/Melbourne")));
        QCOMPARE(page2.Edit2->text(), QStringLiteral("Australia/Melbourne"));
        page2.ButtonAdd->click();
        QCOMPARE(Messages->Texts.size(), 1);
        QCOMPARE(page2.result(), int(QDialog::Accepted));
        QCOMPARE(page2.DisplayName, QStringLiteral("Australia/Melbourne"));
        QCOMPARE(page2.ZoneName, QStringLiteral("Australia/Melbourne"));
        QCOMPARE(page2.Latitude, -37.81667);
        QCOMPARE(page2.Longitude, 144.96667);

        // A full name typed in another case names the zone too.
        page2.show();
        QTest::keyClicks(page2.Edit2, QStringLiteral("australia/eucla"));
        page2.ButtonAdd->click();
        QCOMPARE(page2.result(), int(QDialog::Accepted));
        QCOMPARE(page2.ZoneName, QStringLiteral("Australia/Eucla"));
        QCOMPARE(page2.DisplayName, QStringLiteral("Australia/Eucla"));
    }

    void theDisplayNameMayBeEmptied() {
        TWizard1 page1(MadeUp);
        TWizard2 page2(page1, MadeUp);
        ShowFor(page1, page2, QStringLiteral("Germany"));
        QVERIFY(ClickItem(page2.ListBox1, QStringLiteral("Berlin")));
        Retype(page2.Edit3, QString());
        QTest::keyClick(page2.Edit3, Qt::Key_Return);
        QCOMPARE(page2.result(), int(QDialog::Accepted));
        QCOMPARE(page2.DisplayName, QString());
        QCOMPARE(page2.ZoneName, QStringLiteral("Europe/Berlin"));
    }

    void backAndACountryWithoutPlaces() {
        TWizard1 page1(MadeUp);
        TWizard2 page2(page1, MadeUp);
        ShowFor(page1, page2, QStringLiteral("Niger"));
        page2.ButtonBack->click();
        QCOMPARE(page2.result(), TWizard2::Back);
        QVERIFY(!page2.isVisible());

        // A zone without places: an empty city list, and "Add" does nothing
        // until something is selected.
        kiv::TTimeZone bare = MadeUp;
        bare.Places.clear();
        TWizard2 empty(page1, bare);
        empty.show();
        QCOMPARE(empty.ListBox1->count(), 0);
        QCOMPARE(Captions(empty.ListBox2), QStringList({"Africa/Niamey"}));
        QTest::keyClicks(empty.Edit1, QStringLiteral("n"));
        empty.ButtonAdd->click();
        QVERIFY(empty.isVisible());
    }

    // Both pages list the shipped names in the user's alphabet, also where the
    // locale has none (C, as a session without a language setting has).
    void pagesListInTheUsersAlphabet_data() {
        QTest::addColumn<QLocale>("locale");
        QTest::newRow("C") << QLocale::c();
        QTest::newRow("English") << QLocale(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("German") << QLocale(QLocale::German, QLocale::Germany);
    }
    void pagesListInTheUsersAlphabet() {
        QFETCH(QLocale, locale);
        QLocale::setDefault(locale);
        TWizard1 page1(Shipped);
        TWizard2 page2(page1, Shipped);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QStringList countries = Captions(page1.ListView);
        const auto before = [](const QStringList& list, const char* a, const char* b) {
            const qsizetype first = list.indexOf(QString::fromUtf8(a));
            const qsizetype second = list.indexOf(QString::fromUtf8(b));
            return first >= 0 && second >= 0 && first < second;
        };
        QVERIFY(before(countries, "Åland Islands", "Albania"));
        QVERIFY(before(countries, "Réunion", "Rwanda"));
        QVERIFY(before(countries, "Côte d’Ivoire", "Czech Republic"));
        QLocale::setDefault(locale);
        ShowFor(page1, page2, QStringLiteral("Spain"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QStringList cities = Captions(page2.ListBox1);
        QVERIFY(before(cities, "Cáceres", "Ciudad Real"));
        QVERIFY(before(cities, "Málaga", "Murcia"));
    }

    void shippedData() {
        TWizard1 page1(Shipped);
        TWizard2 page2(page1, Shipped);
        page1.show();
        QTest::keyClicks(page1.EditCountry, QStringLiteral("ger"));
        QCOMPARE(Selected(page1.ListView), QStringLiteral("Germany"));
        Retype(page1.EditCountry, QStringLiteral(" ger"));
        QCOMPARE(Selected(page1.ListView), QString());
        Retype(page1.EditCountry, QStringLiteral("austral"));
        QTest::keyClick(page1.EditCountry, Qt::Key_Return);
        QCOMPARE(page1.Country, QStringLiteral("Australia"));

        page2.show();
        QVERIFY(Item(page2.ListBox2, QStringLiteral("Australia/Melbourne")) != nullptr);
        QTest::keyClicks(page2.Edit1, QStringLiteral("bourne"));
        QCOMPARE(Selected(page2.ListBox1), QStringLiteral("Melbourne"));
        QCOMPARE(page2.Edit3->text(), QStringLiteral("Melbourne, Australia"));
        page2.ButtonAdd->click();
        QCOMPARE(page2.ZoneName, QStringLiteral("Australia/Melbourne"));
        QCOMPARE(page2.Latitude, -37.81667);
        QCOMPARE(page2.Longitude, 144.96667);

        // Names found in several countries: "Add" takes the chosen country's.
        struct TTwin {
            const char* Country;
            const char* City;
            const char* Zone;
        };
        for (const TTwin twin : {TTwin{"Australia", "Newcastle", "Australia/Sydney"},
                                 TTwin{"Spain", "barcelona", "Europe/Madrid"},
                                 TTwin{"Venezuela", "Barcelona", "America/Caracas"},
                                 TTwin{"Spain", "Valencia", "Europe/Madrid"},
                                 TTwin{"Lebanon", "Tripoli", "Asia/Beirut"},
                                 TTwin{"Libya", "Tripoli", "Africa/Tripoli"}}) {
            page1.Country = QString::fromUtf8(twin.Country);
            page2.show();
            QTest::keyClicks(page2.Edit1, QString::fromUtf8(twin.City));
            page2.ButtonAdd->click();
            QCOMPARE(page2.result(), int(QDialog::Accepted));
            QCOMPARE(page2.ZoneName, QString::fromUtf8(twin.Zone));
            const int index = Shipped.IndexOfPlaceInCountry(twin.City, twin.Country);
            QVERIFY(index >= 0);
            QCOMPARE(page2.Latitude, Shipped.Places[static_cast<std::size_t>(index)].Latitude);
        }
        // Every place a country lists is found in that country.
        for (const kiv::TTimeZonePlaces& place : Shipped.Places) {
            const std::string& country = Shipped.CountryOfPlace(place.Index);
            const int index = Shipped.IndexOfPlaceInCountry(place.Name, country);
            QVERIFY2(index >= 0 && Shipped.CountryOfPlace(index) == country, place.Name.c_str());
        }
        page1.Country = QStringLiteral("Australia");

        // The country with the most places still lists every one of them.
        page1.Country = QStringLiteral("China");
        page2.show();
        int expected = 0;
        for (const kiv::TZoneData& zone : Shipped.Zones) {
            if (zone.Country == "China") {
                const std::string key = zone.ZoneName.substr(zone.ZoneName.find('/') + 1);
                for (const kiv::TTimeZonePlaces& place : Shipped.Places) {
                    expected += kiv::SameText(place.ZoneKey, key) ? 1 : 0;
                }
            }
        }
        QVERIFY(expected > 500);
        QCOMPARE(page2.ListBox1->count(), expected);
        QTest::keyClicks(page2.Edit1, QStringLiteral("hai"));
        QVERIFY(Selected(page2.ListBox1).toUpper().contains(QStringLiteral("HAI")));
        Retype(page2.Edit1, QStringLiteral("shang"));
        QCOMPARE(Selected(page2.ListBox1), QStringLiteral("Shanghai"));
    }

    // ------------------------------------------------------------ the flow

    void pagesAreMadeOnceAfterTheDatabaseAndTheCommandsWork() {
        OpenWindow();
        QVERIFY(Part<app::TWizard1>(*Form) != nullptr && Part<app::TWizard2>(*Form) != nullptr);
        QCOMPARE(Page1().parent(), Form.get());
        QCOMPARE(Captions(Page1().ListView),
                 QStringList({"Australia", "Canada", "Germany", "India"}));
        for (QAction* a : {ActionOf(*Form, "MIAddLocation"), ActionOf(*Form, "AddLocationWizard1"),
                           ActionOf(*Form, "TBAddLocation")}) {
            QVERIFY2(a->isEnabled(), qPrintable(a->objectName()));
        }
        TWizard1* first = Part<app::TWizard1>(*Form);

        Run("MIAddLocation", {ChooseCountry("ger"), ChooseCity("potsd")});
        QCOMPARE(Shown, std::vector<QDialog*>({&Page1(), &Page2()}));
        QCOMPARE(LocationsOf(*Form)->Entries().size(), std::size_t(1));
        const app::TLocationEntry& added = LocationsOf(*Form)->Entries()[0];
        QCOMPARE(added.Name, QStringLiteral("Potsdam, Germany"));
        QCOMPARE(added.ZoneName, QStringLiteral("Europe/Berlin"));
        QCOMPARE(added.Latitude, 52.4);
        QCOMPARE(added.Longitude, 13.07);

        // The map menu's command and the toolbar button run the same pages.
        Run("AddLocationWizard1", {ChooseCountry("ind"), ChooseCity("kol")});
        QCOMPARE(LocationsOf(*Form)->Entries().size(), std::size_t(2));
        QCOMPARE(LocationsOf(*Form)->Entries()[1].Name, QStringLiteral("Kolkata, India"));
        Run("TBAddLocation", {ChooseCountry("can"), ChooseCity("john")});
        QCOMPARE(LocationsOf(*Form)->Entries().size(), std::size_t(3));
        QCOMPARE(LocationsOf(*Form)->Entries()[2].ZoneName, QStringLiteral("America/St_Johns"));
        QCOMPARE(Part<app::TWizard1>(*Form), first);
        QVERIFY(Messages->Texts.isEmpty());
    }

    void cancelAndTheCloseBoxAddNothing() {
        OpenWindow();
        Run("MIAddLocation", {[this](QDialog&) { Page1().ButtonCancel->click(); }});
        QCOMPARE(Shown.size(), std::size_t(1));
        Run("MIAddLocation", {ChooseCountry("aus"), [](QDialog&) {}});
        QCOMPARE(Shown.size(), std::size_t(2));
        QVERIFY(LocationsOf(*Form)->Entries().empty());
    }

    void backKeepsPageOnesStateAndTheZoneErrorKeepsPageTwo() {
        OpenWindow();
        QString editAfterBack;
        QString selectedAfterBack;
        bool nextAfterBack = false;
        Run("MIAddLocation",
            {ChooseCountry("ger"), Back(),
             [&, this](QDialog&) {
                 editAfterBack = Page1().EditCountry->text();
                 selectedAfterBack = Selected(Page1().ListView);
                 nextAfterBack = Page1().ButtonNext->isEnabled();
                 ChooseCountry("aus")(Page1());
             },
             [this](QDialog&) {
                 // "melb" selects the zone, but is no zone's name.
                 QTest::keyClicks(Page2().Edit2, QStringLiteral("melb"));
                 Page2().ButtonAdd->click();
                 QVERIFY(Page2().isVisible());
                 QVERIFY(ClickItem(Page2().ListBox2, QStringLiteral("Australia/Melbourne")));
                 Page2().ButtonAdd->click();
             }});
        QCOMPARE(editAfterBack, QStringLiteral("ger"));
        QCOMPARE(selectedAfterBack, QStringLiteral("Germany"));
        QVERIFY(nextAfterBack);
        QCOMPARE(Shown, std::vector<QDialog*>({&Page1(), &Page2(), &Page1(), &Page2()}));
        QCOMPARE(Messages->Texts, QStringList({"Could not locate Zone for \"melb\""}));
        QCOMPARE(LocationsOf(*Form)->Entries().size(), std::size_t(1));
        QCOMPARE(LocationsOf(*Form)->Entries()[0].Name, QStringLiteral("Australia/Melbourne"));
        QCOMPARE(LocationsOf(*Form)->Entries()[0].Latitude, -37.81667);
    }

    void anEmptyDisplayNameIsAdded() {
        OpenWindow();
        Run("MIAddLocation", {ChooseCountry("ind"), [this](QDialog&) {
                                  QVERIFY(ClickItem(Page2().ListBox1, QStringLiteral("Kolkata")));
                                  Retype(Page2().Edit3, QString());
                                  Page2().ButtonAdd->click();
                              }});
        QCOMPARE(LocationsOf(*Form)->Entries().size(), std::size_t(1));
        QCOMPARE(LocationsOf(*Form)->Entries()[0].Name, QString());
        QCOMPARE(LocationsOf(*Form)->Entries()[0].ZoneName, QStringLiteral("Asia/Kolkata"));
    }

    void changeLocationReplacesTheSingleLocationEvenWithFifteenPlaces() {
        OpenWindow();
        for (int i = 0; i < app::MaxLocations; ++i) {
            LocationsOf(*Form)->AddLocation(QStringLiteral("Place %1").arg(i),
                                            QStringLiteral("Europe/Berlin"), 10 + i, 20 + i);
        }
        QCOMPARE(LocationsOf(*Form)->Entries().size(), std::size_t(app::MaxLocations));
        QVERIFY(TriggerAction(Form.get(), "MultiMode"));
        QCOMPARE(ActionOf(*Form, "AddLocationWizard1")->text(),
                 QStringLiteral("Change Location..."));
        QCOMPARE(ActionOf(*Form, "MIAddLocation")->text(), QStringLiteral("Add Location..."));

        Run("AddLocationWizard1", {ChooseCountry("ind"), ChooseCity("kolk")});
        QCOMPARE(LocationsOf(*Form)->SingleLocation.Name, QStringLiteral("Kolkata, India"));
        QCOMPARE(LocationsOf(*Form)->SingleLocation.ZoneName, QStringLiteral("Asia/Kolkata"));
        QCOMPARE(LocationsOf(*Form)->SingleLocation.Latitude, 22.57);
        QCOMPARE(LocationsOf(*Form)->SingleLocation.Longitude, 88.36);
        QCOMPARE(LocationsOf(*Form)->Entries().size(), std::size_t(app::MaxLocations));
        QVERIFY(Messages->Texts.isEmpty());

        // Back in list mode a sixteenth place is refused.
        QVERIFY(TriggerAction(Form.get(), "MultiMode"));
        QCOMPARE(ActionOf(*Form, "AddLocationWizard1")->text(), QStringLiteral("Add Location..."));
        Run("MIAddLocation", {ChooseCountry("aus"), ChooseCity("geel")});
        QCOMPARE(LocationsOf(*Form)->Entries().size(), std::size_t(app::MaxLocations));
        QCOMPARE(Messages->Texts.size(), 1);
        QCOMPARE(LocationsOf(*Form)->SingleLocation.Name, QStringLiteral("Kolkata, India"));
    }

    void runsAsRealModalPages() {
        OpenWindow();
        Form->SetShowModal(app::TFormChronara::DefaultShowModal);
        // Each step runs inside the page's own loop; page 1's step queues the
        // next, which runs once page 2's loop has started.
        QTimer::singleShot(0, Form.get(), [this] {
            QTest::keyClicks(Page1().EditCountry, QStringLiteral("can"));
            QTest::keyClick(Page1().EditCountry, Qt::Key_Return);
            QTimer::singleShot(0, Form.get(), [this] {
                QTest::keyClicks(Page2().Edit1, QStringLiteral("st. "));
                QTest::keyClick(Page2().Edit1, Qt::Key_Return);
            });
        });
        QVERIFY(TriggerAction(Form.get(), "TBAddLocation"));
        QVERIFY(!Page1().isVisible() && !Page2().isVisible());
        QCOMPARE(LocationsOf(*Form)->Entries().size(), std::size_t(1));
        QCOMPARE(LocationsOf(*Form)->Entries()[0].Name, QStringLiteral("St. John's, Canada"));
        QCOMPARE(LocationsOf(*Form)->Entries()[0].ZoneName, QStringLiteral("America/St_Johns"));
    }
};

QTEST_MAIN(TestWizard)
#include "TestWizard.moc"
