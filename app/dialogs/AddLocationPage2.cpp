#include "app/dialogs/AddLocationPage2.h"

#include "app/text/StringTable.h"

#include "app/dialogs/AddLocationPage1.h"
#include "app/dialogs/WizardParts.h"
#include "app/text/Messages.h"
#include "app/text/Translation.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <string>

namespace app {

namespace {

QListWidget* MakeList(const char* name, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QLatin1String(name));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    // Thousands of entries: one row height for all keeps layout and scrolling cheap.
    list->setUniformItemSizes(true);
    KeepSelectionVisible(list);
    return list;
}

QLineEdit* MakeEdit(const char* name, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    return edit;
}

} // namespace

TWizard2::TWizard2(const TWizard1& page1, const kiv::TTimeZone& database, QWidget* parent)
    : TWizardPage(QStringLiteral("Wizard2"), QStringLiteral("Select Location Wizard, Step 2"),
                  QStringLiteral("Select the City or Timezone"), parent),
      Page1(page1), Database(database) {

    Edit1 = MakeEdit("Edit1", this);
    ListBox1 = MakeList("ListBox1", this);
    Edit2 = MakeEdit("Edit2", this);
    ListBox2 = MakeList("ListBox2", this);
    // The two searches have no label on screen; screen readers name them.
    Edit1->setAccessibleName(QStringLiteral("Find a city"));
    Edit2->setAccessibleName(QStringLiteral("Find a time zone"));
    LabelFinalName = new QLabel(QStringLiteral("Final Name to display: "), this);
    LabelFinalName->setObjectName(QStringLiteral("LabelFinalName"));
    Edit3 = MakeEdit("Edit3", this);
    LabelFinalName->setBuddy(Edit3);

    ButtonBack = new QPushButton(QStringLiteral("<< Back"), this);
    ButtonBack->setObjectName(QStringLiteral("ButtonBack"));
    ButtonBack->setAutoDefault(false);
    ButtonAdd = new QPushButton(QStringLiteral("Add"), this);
    ButtonAdd->setObjectName(QStringLiteral("ButtonAdd"));
    // Enter in either edit or list reaches "Add".
    ButtonAdd->setDefault(true);

    auto* sides = new QGridLayout();
    sides->addWidget(Edit1, 0, 0);
    sides->addWidget(ListBox1, 1, 0);
    sides->addWidget(Edit2, 0, 1);
    sides->addWidget(ListBox2, 1, 1);
    sides->setRowStretch(1, 1);
    auto* column = new QVBoxLayout();
    column->addWidget(LabelTitle);
    column->addLayout(sides, 1);
    auto* row = new QHBoxLayout();
    row->addWidget(Image1, 0, Qt::AlignTop);
    row->addLayout(column, 1);
    auto* bottom = new QHBoxLayout();
    bottom->addWidget(ButtonBack);
    bottom->addSpacing(12);
    bottom->addWidget(LabelFinalName);
    bottom->addWidget(Edit3, 1);
    bottom->addWidget(ButtonAdd);
    auto* page = new QVBoxLayout(this);
    page->addLayout(row, 1);
    page->addLayout(bottom);
    resize(560, 320);

    Cities.Edit = Edit1;
    Cities.List = ListBox1;
    ZonesSide.Edit = Edit2;
    ZonesSide.List = ListBox2;

    connect(Edit1, &QLineEdit::textEdited, this, [this] { Edit1Change(); });
    connect(Edit2, &QLineEdit::textEdited, this, [this] { Edit2Change(); });
    for (QListWidget* list : {ListBox1, ListBox2}) {
        // A click, also on the entry already selected, and a move with the keys.
        connect(list, &QListWidget::itemClicked, this, [this, list] { ListClicked(list); });
        connect(list, &QListWidget::currentRowChanged, this, [this, list] {
            if (!Updating) {
                ListClicked(list);
            }
        });
        connect(list, &QListWidget::itemDoubleClicked, this, [this] { ButtonAddClick(); });
    }
    connect(ButtonAdd, &QPushButton::clicked, this, [this] { ButtonAddClick(); });
    connect(ButtonBack, &QPushButton::clicked, this, [this] { ButtonBackClick(); });
    TranslateWindow(this);
}

QString TWizard2::ChosenCountry() const {
    return Page1.Country;
}

int TWizard2::SelectedRow(const QListWidget* list) {
    const QList<QListWidgetItem*> selected = list->selectedItems();
    return selected.isEmpty() ? -1 : list->row(selected.front());
}

void TWizard2::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The system's own show events (a page restored from minimised) are no
    // new showing: the page keeps what the user has done in it.
    if (!event->spontaneous()) {
        FormShow();
    }
}

void TWizard2::FormShow() {
    DisplayName.clear();
    ZoneName.clear();
    Latitude = 0;
    Longitude = 0;
    Updating = true;
    ListBox1->clear();
    ListBox2->clear();
    Edit1->clear();
    Edit2->clear();
    Updating = false;
    // A display name made for another country would name the wrong place.
    if (ChosenCountry().compare(ShownCountry, Qt::CaseInsensitive) != 0) {
        Edit3->clear();
    }
    ShownCountry = ChosenCountry();

    const std::string country = ChosenCountry().toStdString();
    QStringList zones;
    QStringList cities;
    for (const kiv::TZoneData& zone : Database.Zones) {
        if (!kiv::SameText(zone.Country, country)) {
            continue;
        }
        zones.push_back(QString::fromStdString(zone.ZoneName));
        // The places of a zone carry the part of its name after the first "/".
        const std::size_t slash = zone.ZoneName.find('/');
        const std::string_view key = slash == std::string::npos
                                         ? std::string_view(zone.ZoneName)
                                         : std::string_view(zone.ZoneName).substr(slash + 1);
        for (const kiv::TTimeZonePlaces& place : Database.Places) {
            if (kiv::SameText(place.ZoneKey, key)) {
                cities.push_back(QString::fromStdString(place.Name));
            }
        }
    }
    Fill(Cities, std::move(cities));
    Fill(ZonesSide, std::move(zones));
    Edit1->setFocus();
}

void TWizard2::Fill(TSide& side, QStringList names) {
    SortIgnoringCase(names);
    side.Folded.clear();
    side.Folded.reserve(static_cast<std::size_t>(names.size()));
    for (const QString& name : names) {
        side.Folded.push_back(FoldLatinLetters(name));
    }
    Updating = true;
    side.List->addItems(names);
    Updating = false;
}

void TWizard2::ClearSide(TSide& side) {
    Updating = true;
    side.List->clearSelection();
    side.List->setCurrentItem(nullptr);
    Updating = false;
    side.Edit->clear();
}

void TWizard2::Select(QListWidget* list, int row) {
    Updating = true;
    list->setCurrentRow(row);
    Updating = false;
    list->scrollToItem(list->item(row));
}

bool TWizard2::Search(TSide& side) {
    const QString needle = FoldLatinLetters(side.Edit->text());
    if (needle.isEmpty()) {
        return false;
    }
    // A name that begins with the text is the likelier one: "shang" means
    // Shanghai rather than Loushanguan.
    int found = -1;
    for (std::size_t i = 0; i < side.Folded.size(); ++i) {
        if (side.Folded[i].startsWith(needle)) {
            found = static_cast<int>(i);
            break;
        }
        if (found < 0 && side.Folded[i].contains(needle)) {
            found = static_cast<int>(i);
        }
    }
    if (found < 0) {
        return false;
    }
    Select(side.List, found);
    return true;
}

void TWizard2::ListClicked(QListWidget* list) {
    if (list == ListBox1) {
        ListBox1Click();
    } else {
        ListBox2Click();
    }
}

void TWizard2::ListBox1Click() {
    const int row = SelectedRow(ListBox1);
    if (row < 0) {
        return;
    }
    const QString city = ListBox1->item(row)->text();
    ClearSide(ZonesSide);
    Edit1->setText(city);
    Edit3->setText(city + QStringLiteral(", ") + ChosenCountry());
}

void TWizard2::Edit1Change() {
    ClearSide(ZonesSide);
    Search(Cities);
    if (!Edit1->text().isEmpty()) {
        const int row = SelectedRow(ListBox1);
        const QString city = row >= 0 ? ListBox1->item(row)->text() : QString();
        Edit3->setText(city + QStringLiteral(", ") + ChosenCountry());
    }
}

void TWizard2::ListBox2Click() {
    const int row = SelectedRow(ListBox2);
    if (row < 0) {
        return;
    }
    const QString zone = ListBox2->item(row)->text();
    ClearSide(Cities);
    Edit2->setText(zone);
    Edit3->setText(zone);
}

void TWizard2::Edit2Change() {
    ClearSide(Cities);
    Search(ZonesSide);
    if (!Edit2->text().isEmpty()) {
        const int row = SelectedRow(ListBox2);
        Edit3->setText(row >= 0 ? ListBox2->item(row)->text() : QString());
    }
}

void TWizard2::ButtonAddClick() {
    const int city = SelectedRow(ListBox1);
    const int zone = SelectedRow(ListBox2);
    if (city < 0 && zone < 0) {
        return;
    }
    QString zoneName;
    double latitude = 0;
    double longitude = 0;
    try {
        if (zone >= 0) {
            // The zone edit's text must name a zone: a partly typed name that
            // merely selected one is refused.
            const kiv::TZoneData& found = Database.FindZone(Edit2->text().toStdString());
            zoneName = QString::fromStdString(found.ZoneName);
            latitude = found.Latitude;
            longitude = found.Longitude;
        } else {
            // Names repeat across countries (Valencia, Tripoli, ...): the place
            // of the chosen country, and only when it has none the first place
            // of the name anywhere.
            const std::string name = ListBox1->item(city)->text().toStdString();
            int index = Database.IndexOfPlaceInCountry(name, ChosenCountry().toStdString());
            if (index < 0) {
                index = Database.IndexOfPlace(name);
            }
            zoneName = QString::fromStdString(Database.ZoneNameOfPlace(index));
            const kiv::TTimeZonePlaces& place = Database.Places[static_cast<std::size_t>(index)];
            latitude = place.Latitude;
            longitude = place.Longitude;
        }
    } catch (const std::exception& e) {
        ShowError(this, QString::fromUtf8(e.what()));
        return;
    }
    DisplayName = Edit3->text();
    ZoneName = zoneName;
    Latitude = latitude;
    Longitude = longitude;
    accept();
}

void TWizard2::ButtonBackClick() {
    done(Back);
}

bool RunAddLocationPages(TWizard1& page1, TWizard2& page2,
                         const std::function<int(QDialog&)>& showModal) {
    if (page1.isVisible() || page2.isVisible()) {
        return false;
    }
    for (;;) {
        if (showModal(page1) != QDialog::Accepted) {
            return false;
        }
        const int result = showModal(page2);
        if (result == QDialog::Accepted) {
            return true;
        }
        if (result != TWizard2::Back) {
            return false;
        }
    }
}

} // namespace app
