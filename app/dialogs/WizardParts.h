// What both pages of the add-location wizard share: the picture, the heading,
// the order of their lists and the look of their selections, and the letter
// folding of the city and zone search.
#pragma once

#include <QDialog>
#include <QPixmap>
#include <QString>
#include <QStringList>

class QLabel;
class QWidget;

namespace app {

// The picture on the left of both wizard pages, 121 x 229 pixels, from the
// program's resources.
QPixmap WizardPicture();

// The heading of a wizard page: Verdana, 16 pixels, bold.
QLabel* MakeWizardHeading(const QString& text, QWidget* parent);

// What both pages are: a dialog with the picture on the left (Image1) and
// the page's heading (LabelTitle) above its controls.
class TWizardPage : public QDialog {
    Q_OBJECT
public:
    QLabel* Image1 = nullptr;
    QLabel* LabelTitle = nullptr;

protected:
    TWizardPage(const QString& objectName, const QString& title, const QString& heading,
                QWidget* parent);
};

// Sorts names in the order of NameCollator() (the user's alphabet, letter
// case ignored); names that compare equal keep their order.
void SortIgnoringCase(QStringList& names);

// Makes a list show its selection in the same colours when it is not focused.
void KeepSelectionVisible(QWidget* list);

// Folds the letters a to z to upper case and leaves every other character as
// it is: the page-2 search matches "BOURNE" in "Melbourne" but "é" only in "é".
QString FoldLatinLetters(const QString& text);

} // namespace app
