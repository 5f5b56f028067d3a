// "Working Hours...": the start, end and days of a place's working hours in
// its local time, or "any time". OK stays off while the hours could not be
// kept (the start equal to the end, or no day).
#pragma once

#include "kiv/KivWorkingHours.h"

#include <QDialog>

#include <array>
#include <memory>

class QCheckBox;

namespace Ui {
class TWorkingHoursDialog;
}

namespace app {

class TWorkingHoursDialog : public QDialog {
    Q_OBJECT
public:
    TWorkingHoursDialog(const QString& placeTitle, const kiv::TWorkingHours& hours,
                        QWidget* parent);
    ~TWorkingHoursDialog() override;

    // The hours as the dialog shows them.
    kiv::TWorkingHours Hours() const;

private:
    void Follow();

    std::unique_ptr<Ui::TWorkingHoursDialog> Form;
    std::array<QCheckBox*, 7> DayBoxes{};
};

} // namespace app
