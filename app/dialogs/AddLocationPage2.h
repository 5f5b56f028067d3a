// Page 2 of the add-location wizard: a city or a time zone of the country
// chosen on page 1, and the name under which the place is shown. The page is
// created once and rebuilds its lists from the chosen country every time it is
// shown.
#pragma once

#include "app/dialogs/WizardParts.h"
#include "kiv/KivTimeZone.h"

#include <QString>

#include <functional>
#include <vector>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace app {

class TWizard1;

class TWizard2 : public TWizardPage {
    Q_OBJECT
public:
    // The result of "<< Back": neither Accepted nor Rejected.
    static constexpr int Back = 2;

    // Reads the chosen country of `page1` each time it is shown.
    explicit TWizard2(const TWizard1& page1, const kiv::TTimeZone& database = kiv::ZoneDB,
                      QWidget* parent = nullptr);

    // Controls, named as their object names (the picture and the heading are
    // the page's).
    QLineEdit* Edit1 = nullptr;      // city search
    QListWidget* ListBox1 = nullptr; // cities of the country
    QLineEdit* Edit2 = nullptr;      // zone search
    QListWidget* ListBox2 = nullptr; // zones of the country
    QLabel* LabelFinalName = nullptr;
    QLineEdit* Edit3 = nullptr; // the display name
    QPushButton* ButtonBack = nullptr;
    QPushButton* ButtonAdd = nullptr;

    // The results, cleared each time the page is shown and set by "Add".
    QString DisplayName;
    QString ZoneName;
    double Latitude = 0;  // degrees, north positive
    double Longitude = 0; // degrees, east positive

    // Handlers, named after their component and event. The typing handlers run
    // only for the user's own edits, never for text the page sets itself.
    void FormShow();
    void ListBox1Click();
    void Edit1Change();
    void ListBox2Click();
    void Edit2Change();
    void ButtonAddClick();
    void ButtonBackClick();

    // The country page 1 chose.
    QString ChosenCountry() const;
    // The selected row of a list; -1 when none is selected.
    static int SelectedRow(const QListWidget* list);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // One side of the page: a search edit and its list, with each entry's
    // text folded for the search (a to z upper-cased, nothing else touched).
    struct TSide {
        QLineEdit* Edit = nullptr;
        QListWidget* List = nullptr;
        std::vector<QString> Folded;
    };

    void Fill(TSide& side, QStringList names);
    // Clears a side's selection and search edit without running its handlers.
    void ClearSide(TSide& side);
    // Selects the first entry that begins with the side's search text, else the
    // first that contains it; returns false (and leaves the selection alone)
    // when none does.
    bool Search(TSide& side);
    void Select(QListWidget* list, int row);
    // A click (or a move with the keys) in a list: the list's own handler.
    void ListClicked(QListWidget* list);

    const TWizard1& Page1;
    const kiv::TTimeZone& Database;
    TSide Cities;
    TSide ZonesSide;
    // Set while the page changes a list's selection itself.
    bool Updating = false;
    // The country the page was last shown for: the display name is kept only
    // when the page opens for the same country again.
    QString ShownCountry;
};

// Runs the pages modally through showModal: page 1, then page 2 ("<< Back"
// returns to page 1). True when a place was chosen; page 2 holds it. Not
// started again while the pages are open (from the tray menu), which would
// re-enter a running page.
bool RunAddLocationPages(TWizard1& page1, TWizard2& page2,
                         const std::function<int(QDialog&)>& showModal);

} // namespace app
