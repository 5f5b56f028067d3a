#include "app/dialogs/AddLocationPage1.h"

#include "app/dialogs/WizardParts.h"
#include "app/text/LocaleText.h"
#include "app/text/Translation.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

namespace app {

TWizard1::TWizard1(const kiv::TTimeZone& database, QWidget* parent)
    : TWizardPage(QStringLiteral("Wizard1"), QStringLiteral("Add Location Wizard"),
                  QStringLiteral("Select the Country"), parent),
      Database(database) {

    EditCountry = new QLineEdit(this);
    EditCountry->setObjectName(QStringLiteral("EditCountry"));
    // The heading names the edit for screen readers.
    LabelTitle->setBuddy(EditCountry);

    ListView = new QListWidget(this);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView->setUniformItemSizes(true);
    KeepSelectionVisible(ListView);

    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setAutoDefault(false);
    ButtonNext = new QPushButton(QStringLiteral("Next >>"), this);
    ButtonNext->setObjectName(QStringLiteral("ButtonNext"));
    ButtonNext->setDefault(true);
    ButtonNext->setEnabled(false);

    auto* column = new QVBoxLayout();
    column->addWidget(LabelTitle);
    column->addWidget(EditCountry);
    column->addWidget(ListView, 1);
    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    buttons->addWidget(ButtonCancel);
    buttons->addWidget(ButtonNext);
    column->addLayout(buttons);
    auto* row = new QHBoxLayout(this);
    row->addWidget(Image1, 0, Qt::AlignTop);
    row->addLayout(column, 1);
    resize(420, 280);

    // Typing only: the program's own changes of the edit never search.
    connect(EditCountry, &QLineEdit::textEdited, this, [this] { EditCountryChange(); });
    connect(ListView, &QListWidget::itemSelectionChanged, this, [this] { ListViewSelectItem(); });
    // Enter in the edit or the list reaches the default button "Next >>",
    // which does nothing while it is disabled; a double click does the same.
    connect(ListView, &QListWidget::itemDoubleClicked, this, [this] {
        if (SelectedRow() >= 0) {
            ButtonNextClick();
        }
    });
    connect(ButtonNext, &QPushButton::clicked, this, [this] { ButtonNextClick(); });
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

    FormCreate();
    TranslateWindow(this);
}

void TWizard1::FormCreate() {
    // In the user's alphabet, so "Åland Islands" stands among the A's.
    kiv::TStringList countries;
    Database.ListCountries(countries, true, LocaleCompare());
    QStringList names;
    names.reserve(static_cast<qsizetype>(countries.size()));
    for (const std::string& country : countries) {
        names.push_back(QString::fromStdString(country));
    }
    ListView->addItems(names);
}

void TWizard1::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The system's own show events (a page restored from minimised) are no
    // new showing: the page keeps what the user has done in it.
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TWizard1::FormShow() {
    EditCountry->setFocus();
}

int TWizard1::SelectedRow() const {
    const QList<QListWidgetItem*> selected = ListView->selectedItems();
    return selected.isEmpty() ? -1 : ListView->row(selected.front());
}

void TWizard1::EditCountryChange() {
    const QString text = EditCountry->text();
    int found = -1;
    if (!text.trimmed().isEmpty()) {
        // The text as typed, blanks included: " ger" begins no country.
        for (int i = 0; i < ListView->count(); ++i) {
            if (ListView->item(i)->text().startsWith(text, Qt::CaseInsensitive)) {
                found = i;
                break;
            }
        }
    }
    if (found >= 0) {
        ListView->setCurrentRow(found);
    } else {
        ListView->clearSelection();
        ListView->setCurrentItem(nullptr);
    }
}

void TWizard1::ListViewSelectItem() {
    const int row = SelectedRow();
    ButtonNext->setEnabled(row >= 0);
    if (row < 0) {
        return;
    }
    QListWidgetItem* item = ListView->item(row);
    // Only a choice made in the list itself is written back into the edit.
    if (focusWidget() == ListView) {
        EditCountry->setText(item->text());
    }
    ListView->scrollToItem(item);
}

void TWizard1::ButtonNextClick() {
    const int row = SelectedRow();
    if (row < 0) {
        return;
    }
    Country = ListView->item(row)->text();
    accept();
}

} // namespace app
