// Page 1 of the add-location wizard: choosing the country. The page is created
// once, after the zone database is loaded, and keeps its edit text, its
// selection and the chosen country from one run of the wizard to the next.
#pragma once

#include "app/dialogs/WizardParts.h"
#include "kiv/KivTimeZone.h"

#include <QString>

class QLineEdit;
class QListWidget;
class QPushButton;

namespace app {

class TWizard1 : public TWizardPage {
    Q_OBJECT
public:
    // The country list is filled here, once, from the database's zones.
    explicit TWizard1(const kiv::TTimeZone& database = kiv::ZoneDB, QWidget* parent = nullptr);

    // Controls, named as their object names (the picture and the heading are
    // the page's).
    QLineEdit* EditCountry = nullptr;
    QListWidget* ListView = nullptr;
    QPushButton* ButtonCancel = nullptr;
    QPushButton* ButtonNext = nullptr;

    // The chosen country: the caption of the entry selected at "Next >>".
    QString Country;

    // Handlers, named after their component and event.
    void FormCreate();
    void FormShow();
    // Type-ahead: selects the first country that begins with the typed text.
    void EditCountryChange();
    void ListViewSelectItem();
    void ButtonNextClick();

    // The row of the selected country; -1 when none is selected.
    int SelectedRow() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    const kiv::TTimeZone& Database;
};

} // namespace app
