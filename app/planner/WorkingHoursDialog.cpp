#include "app/planner/WorkingHoursDialog.h"

#include "app/text/StringTable.h"
#include "app/text/Translation.h"
#include "ui_WorkingHoursDialog.h"

#include <QPushButton>

namespace app {

TWorkingHoursDialog::TWorkingHoursDialog(const QString& placeTitle, const kiv::TWorkingHours& hours,
                                         QWidget* parent)
    : QDialog(parent), Form(std::make_unique<Ui::TWorkingHoursDialog>()) {
    Form->setupUi(this);
    DayBoxes = {Form->DayBox1, Form->DayBox2, Form->DayBox3, Form->DayBox4,
                Form->DayBox5, Form->DayBox6, Form->DayBox7};
    TranslateWindow(this);
    Form->PlaceLabel->setText(
        TranslateMessage(QString::fromUtf8(strings::WorkingHoursOf)).arg(placeTitle));
    Form->AnyTimeBox->setChecked(hours.AnyTime);
    Form->StartEdit->setTime(QTime(hours.StartMinutes / 60, hours.StartMinutes % 60));
    Form->EndEdit->setTime(QTime(hours.EndMinutes / 60, hours.EndMinutes % 60));
    for (int d = 1; d <= 7; ++d) {
        DayBoxes[static_cast<std::size_t>(d - 1)]->setChecked(hours.HasDay(d));
        connect(DayBoxes[static_cast<std::size_t>(d - 1)], &QCheckBox::toggled, this,
                &TWorkingHoursDialog::Follow);
    }
    connect(Form->AnyTimeBox, &QCheckBox::toggled, this, &TWorkingHoursDialog::Follow);
    connect(Form->StartEdit, &QTimeEdit::timeChanged, this, &TWorkingHoursDialog::Follow);
    connect(Form->EndEdit, &QTimeEdit::timeChanged, this, &TWorkingHoursDialog::Follow);
    connect(Form->Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Form->Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    Follow();
}

TWorkingHoursDialog::~TWorkingHoursDialog() = default;

kiv::TWorkingHours TWorkingHoursDialog::Hours() const {
    kiv::TWorkingHours hours;
    hours.AnyTime = Form->AnyTimeBox->isChecked();
    const QTime start = Form->StartEdit->time();
    const QTime end = Form->EndEdit->time();
    hours.StartMinutes = start.hour() * 60 + start.minute();
    hours.EndMinutes = end.hour() * 60 + end.minute();
    for (int d = 1; d <= 7; ++d) {
        hours.SetDay(d, DayBoxes[static_cast<std::size_t>(d - 1)]->isChecked());
    }
    return hours;
}

void TWorkingHoursDialog::Follow() {
    const bool anyTime = Form->AnyTimeBox->isChecked();
    Form->StartEdit->setEnabled(!anyTime);
    Form->EndEdit->setEnabled(!anyTime);
    Form->DaysBox->setEnabled(!anyTime);
    kiv::TWorkingHours hours = Hours();
    Form->Buttons->button(QDialogButtonBox::Ok)->setEnabled(hours.IsValid());
}

} // namespace app
