#include "app/Wiz1.h"

#include <QCollator>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPalette>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <algorithm>
#include <vector>

// The resources live in the static application library, whose unreferenced
// objects the linker would drop: register them explicitly (outside any
// namespace, as the registration function is global).
static void InitWizardResources() {
    Q_INIT_RESOURCE(Wizard);
}

namespace app {

QPixmap WizardPicture() {
    static const bool registered = (InitWizardResources(), true);
    (void)registered;
    return QPixmap(QStringLiteral(":/wizard/WizardPicture.png"));
}

QLabel* MakeWizardHeading(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont verdana(QStringLiteral("Verdana"));
    verdana.setPixelSize(16);
    verdana.setBold(true);
    label->setFont(verdana);
    return label;
}

void SortIgnoringCase(QStringList& names) {
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    if (collator.locale().language() == QLocale::C) {
        // The C locale's sort keys keep letter case: compare names directly.
        std::stable_sort(
            names.begin(), names.end(),
            [&collator](const QString& a, const QString& b) { return collator.compare(a, b) < 0; });
        return;
    }
    // Sort keys once per name: far cheaper than collating every comparison.
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keyed;
    keyed.reserve(static_cast<std::size_t>(names.size()));
    for (qsizetype i = 0; i < names.size(); ++i) {
        keyed.emplace_back(collator.sortKey(names[i]), i);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
    QStringList sorted;
    sorted.reserve(names.size());
    for (const auto& entry : keyed) {
        sorted.push_back(names[entry.second]);
    }
    names.swap(sorted);
}

void KeepSelectionVisible(QWidget* list) {
    QPalette palette = list->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText}) {
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    }
    list->setPalette(palette);
}

TWizard1::TWizard1(const kiv::TTimeZone& database, QWidget* parent)
    : QDialog(parent), Database(database) {
    setObjectName(QStringLiteral("Wizard1"));
    setWindowTitle(QStringLiteral("Add Location Wizard"));

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(121, 229);
    Image1->setPixmap(WizardPicture());

    LabelTitle = MakeWizardHeading(QStringLiteral("Select the Country"), this);
    LabelTitle->setObjectName(QStringLiteral("LabelTitle"));

    EditCountry = new QLineEdit(this);
    EditCountry->setObjectName(QStringLiteral("EditCountry"));

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
}

void TWizard1::FormCreate() {
    kiv::TStringList countries;
    Database.ListCountries(countries, true);
    QStringList names;
    names.reserve(static_cast<qsizetype>(countries.size()));
    for (const std::string& country : countries) {
        names.push_back(QString::fromStdString(country));
    }
    // The database's order folds letters only; the list shows the user's
    // alphabet, so "Åland Islands" stands among the A's.
    SortIgnoringCase(names);
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
