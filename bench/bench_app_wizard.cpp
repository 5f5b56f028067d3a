// What the user feels in the add-location pages with the shipped data: a
// keystroke in page 2's city edit for the country with the most places (the
// search, the selection, the display name and the repaint that follows), the
// rebuild of page 2's lists when it is shown, and a keystroke in page 1.
// Runs offscreen.
#include "app/dialogs/AddLocationPage1.h"
#include "app/dialogs/AddLocationPage2.h"
#include "kiv/KivTimeZone.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <benchmark/benchmark.h>

#include <map>
#include <string>

namespace {

const kiv::TTimeZone& Database() {
    static const kiv::TTimeZone db = [] {
        kiv::TTimeZone loaded;
        loaded.LoadDatabase(CHRONARA_SOURCE_DIR);
        return loaded;
    }();
    return db;
}

// The country whose zones hold the most places, by the page's own rule.
QString BusiestCountry() {
    const kiv::TTimeZone& db = Database();
    std::map<std::string, int> count;
    for (const kiv::TZoneData& zone : db.Zones) {
        const std::string key = zone.ZoneName.substr(zone.ZoneName.find('/') + 1);
        for (const kiv::TTimeZonePlaces& place : db.Places) {
            count[kiv::FoldCase(zone.Country)] += kiv::SameText(place.ZoneKey, key) ? 1 : 0;
        }
    }
    std::string best;
    int most = -1;
    for (const auto& [country, n] : count) {
        if (n > most) {
            best = country;
            most = n;
        }
    }
    for (const kiv::TZoneData& zone : db.Zones) {
        if (kiv::FoldCase(zone.Country) == best) {
            return QString::fromStdString(zone.Country);
        }
    }
    return {};
}

// One key as the user presses it: the edit's handlers, then the repaint.
void Press(QWidget* widget, Qt::Key key, const QString& text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &release);
    QCoreApplication::processEvents();
}

// Types `word` and erases it again, over and over: every iteration is one key.
void TypeAndErase(benchmark::State& state, QLineEdit* edit, const QString& word) {
    qsizetype at = 0;
    bool erasing = false;
    for (auto _ : state) {
        if (!erasing) {
            const QChar c = word[at];
            Press(edit, static_cast<Qt::Key>(c.toUpper().unicode()), QString(c));
            erasing = ++at == word.size();
        } else {
            Press(edit, Qt::Key_Backspace, QString());
            erasing = --at != 0;
        }
    }
}

struct TPages {
    app::TWizard1 Page1{Database()};
    app::TWizard2 Page2{Page1, Database()};
};

// A city edit keystroke. Arg 0: a word that finds cities as it grows;
// arg 1: a word no city contains, so every key scans the whole list.
void BM_CityKeystroke(benchmark::State& state) {
    TPages pages;
    pages.Page1.Country = BusiestCountry();
    pages.Page2.show();
    QCoreApplication::processEvents();
    state.SetLabel(pages.Page1.Country.toStdString() + ", " +
                   std::to_string(pages.Page2.ListBox1->count()) + " cities");
    pages.Page2.Edit1->setFocus();
    TypeAndErase(state, pages.Page2.Edit1,
                 state.range(0) == 0 ? QStringLiteral("zhou") : QStringLiteral("qxqx"));
}

// Showing page 2: both lists rebuilt and sorted from the chosen country.
void BM_ShowPage2(benchmark::State& state) {
    TPages pages;
    pages.Page1.Country = BusiestCountry();
    for (auto _ : state) {
        pages.Page2.show();
        QCoreApplication::processEvents();
        pages.Page2.hide();
    }
}

// A keystroke in page 1's country edit.
void BM_CountryKeystroke(benchmark::State& state) {
    TPages pages;
    pages.Page1.show();
    QCoreApplication::processEvents();
    TypeAndErase(state, pages.Page1.EditCountry, QStringLiteral("united"));
}

} // namespace

BENCHMARK(BM_CityKeystroke)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShowPage2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CountryKeystroke)->Unit(benchmark::kMicrosecond);
