#pragma once
#include "uDateTime.h"

#include <QDialog>

class QComboBox;
class QDateEdit;
class QPushButton;
class QTimeEdit;

// The modal "Временной диапазон" dialog; on OK (result 1) writes the chosen
// start and stop back, otherwise leaves both unchanged.
int ShowRangeDialog(TDateTime &Start, TDateTime &Stop);

// Start and stop each as a date and a time picker, and "Интервал" to set the
// start a day, a week, a month or a year before the stop. OK refuses a start
// later than the stop with "Неверный диапазон".
class TFormRangeDT : public QDialog {
    Q_OBJECT
public:
    // Missing parts are shown as yesterday / today and the current time of day.
    TFormRangeDT(TDateTime Start, TDateTime Stop, QWidget *Parent = nullptr);

    TDateTime Start() const;
    TDateTime Stop() const;

private:
    void IntervalChosen(int Index);
    void PickerChanged();
    void Confirm();

    QDateEdit *dtpStartDate = nullptr;
    QTimeEdit *dtpStartTime = nullptr;
    QDateEdit *dtpStopDate = nullptr;
    QTimeEdit *dtpStopTime = nullptr;
    QComboBox *cmbInterval = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnCancel = nullptr;
    bool FFilling = false; // pickers set by the dialog itself, not by the user
};
