#include "app/dialogs/WizardParts.h"

#include "app/text/LocaleText.h"

#include <QCollator>
#include <QFont>
#include <QLabel>
#include <QLocale>
#include <QPalette>

#include <algorithm>
#include <utility>
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

TWizardPage::TWizardPage(const QString& objectName, const QString& title, const QString& heading,
                         QWidget* parent)
    : QDialog(parent) {
    setObjectName(objectName);
    setWindowTitle(title);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(121, 229);
    Image1->setPixmap(WizardPicture());

    LabelTitle = MakeWizardHeading(heading, this);
    LabelTitle->setObjectName(QStringLiteral("LabelTitle"));
}

void SortIgnoringCase(QStringList& names) {
    const QCollator collator = NameCollator();
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

QString FoldLatinLetters(const QString& text) {
    QString folded = text;
    for (QChar& c : folded) {
        const char16_t u = c.unicode();
        if (u >= u'a' && u <= u'z') {
            c = QChar(static_cast<char16_t>(u - (u'a' - u'A')));
        }
    }
    return folded;
}

} // namespace app
